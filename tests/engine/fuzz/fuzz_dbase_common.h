#pragma once
// Shared frame of the dBASE fuzz targets: writes a table's files into a private folder, then
// opens the table and reads every value. EngineError is the expected answer to bad input;
// anything else (a crash, a sanitizer report, another exception) is a finding.
#include "engine/codepage.h"
#include "engine/tablefile.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace tv::fuzz {

inline const std::string& folder()
{
    static const std::string dir = [] {
        char tmpl[] = "/tmp/tvfuzz-dbase-XXXXXX";
        const char* d = mkdtemp(tmpl);
        if (!d)
            std::abort();
        return std::string(d);
    }();
    return dir;
}

inline void writeBytes(const std::string& path, const std::string& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
        std::abort();
    std::fclose(f);
}

inline void put32(std::string& b, size_t off, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[off + size_t(i)] = char((v >> (8 * i)) & 0xFF);
}

// A valid table of the given version with a memo field pointing at blocks 1, 2, 3, 7 and 99,
// plus text, number, date and logical fields.
inline std::string sampleDbf(uint8_t version, bool productionIndex)
{
    const std::string fields[][3] = {{"NAME", "C", "\x0A"}, {"NUM", "N", "\x06"}, {"DAY", "D", "\x08"},
                                     {"OK", "L", "\x01"},   {"NOTE", "M", "\x0A"}};
    const size_t headerLength = 32 + 32 * 5 + 1;
    const size_t recordLength = 1 + 10 + 6 + 8 + 1 + 10;
    std::string h(headerLength, '\0');
    h[0] = char(version);
    h[4] = 5;
    h[8] = char(headerLength & 0xFF);
    h[9] = char(headerLength >> 8);
    h[10] = char(recordLength);
    h[0x1C] = productionIndex ? 1 : 0;
    h[0x1D] = 0x03;
    for (size_t i = 0; i < 5; ++i) {
        h.replace(32 + 32 * i, fields[i][0].size(), fields[i][0]);
        h[32 + 32 * i + 11] = fields[i][1][0];
        h[32 + 32 * i + 16] = fields[i][2][0];
        if (i == 1)
            h[32 + 32 * i + 17] = 2;
    }
    h[headerLength - 1] = '\x0D';
    const char* blocks[] = {"         1", "         2", "3         ", "         7", "        99"};
    for (int r = 0; r < 5; ++r)
        h += std::string(" text") + char('0' + r) + "     " + " 12.50" + "20240131" + "T" + blocks[r];
    return h + '\x1A';
}

// Text read from a table must survive the way back into its code page unchanged (unless it
// holds bytes the code page does not define).
inline void checkRoundTrip(int codePage, const Value& v)
{
    const auto* s = std::get_if<std::string>(&v);
    if (!s || s->find("\xEF\xBF\xBD") != std::string::npos)
        return;
    if (decodeText(codePage, encodeText(codePage, *s)) != *s)
        std::abort();
}

// The exact digits of a number field read as the number the table gives for it.
inline void checkDecimalText(const TableFile& t, RecordId id, int field, const Value& v)
{
    const std::string exact = t.decimalText(id, field);
    if (exact.empty())
        return;
    double d = 0;
    const auto* number = std::get_if<double>(&v);
    if (!number || std::from_chars(exact.data(), exact.data() + exact.size(), d).ec != std::errc() || d != *number)
        std::abort();
}

inline void readEverything(const std::string& path)
{
    try {
        const auto t = openTableFile(path);
        for (RecordId id : t->recordIds())
            for (size_t f = 0; f < t->fields().size(); ++f) {
                try {
                    const Value v = t->value(id, int(f));
                    checkRoundTrip(t->codePage(), v);
                    checkDecimalText(*t, id, int(f), v);
                    (void)t->rawText(id, int(f));
                } catch (const EngineError&) {
                }
            }
        for (const IndexDef& d : t->indexes())
            (void)d.fieldList();
        (void)t->headerRecordCount();
        (void)t->codePage();
    } catch (const EngineError&) {
    }
}

} // namespace tv::fuzz
