#pragma once
// Shared frame of the dBASE fuzz targets: writes a table's files into a private folder, then
// opens the table and reads every value. EngineError is the expected answer to bad input;
// anything else (a crash, a sanitizer report, another exception) is a finding.
#include "engine/codepage.h"
#include "engine/dbase/dbasetable.h"
#include "engine/tablefile.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
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

// The 32-byte fixed part of a .DBF header for five records, zero-padded to `headerLength`.
inline std::string dbfHeader(uint8_t version, size_t headerLength, size_t recordLength, uint8_t flags)
{
    std::string h(headerLength, '\0');
    h[0] = char(version);
    h[4] = 5;
    h[8] = char(headerLength & 0xFF);
    h[9] = char(headerLength >> 8);
    h[10] = char(recordLength);
    h[0x1C] = char(flags);
    h[0x1D] = 0x03;
    return h;
}

// A valid table of the given version with a memo field pointing at blocks 1, 2, 3, 7 and 99,
// plus text, number, date and logical fields.
inline std::string sampleDbf(uint8_t version, bool productionIndex)
{
    const std::string fields[][3] = {{"NAME", "C", "\x0A"}, {"NUM", "N", "\x06"}, {"DAY", "D", "\x08"},
                                     {"OK", "L", "\x01"},   {"NOTE", "M", "\x0A"}};
    const size_t headerLength = 32 + 32 * 5 + 1;
    const size_t recordLength = 1 + 10 + 6 + 8 + 1 + 10;
    std::string h = dbfHeader(version, headerLength, recordLength, productionIndex ? 1 : 0);
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

// A valid Visual FoxPro table (0x30) with a structural index flag, memo fields (4-byte block
// numbers 8, 9, 12, 40 and 0), a nullable varchar with its _NullFlags and the binary types; or,
// with `foxPro2`, a FoxPro 2 table (0xF5) whose memo cells are 10 digits.
inline std::string sampleFoxDbf(bool foxPro2)
{
    struct F { const char* name; char type; uint8_t length, flags; };
    const F vfp[] = {{"NAME", 'C', 6, 0},  {"NOTE", 'M', 4, 0},  {"PIC", 'W', 4, 0}, {"OLE", 'G', 4, 0},
                     {"V", 'V', 5, 2},      {"Y", 'Y', 8, 0},     {"T", 'T', 8, 0},   {"I", 'I', 4, 0},
                     {"B", 'B', 8, 0},      {"_NullFlags", '0', 1, 1}};
    const F fox[] = {{"NAME", 'C', 6, 0}, {"NOTE", 'M', 10, 0}, {"OLE", 'G', 10, 0}};
    const F* fields = foxPro2 ? fox : vfp;
    const size_t n = foxPro2 ? 3 : 10;
    size_t recordLength = 1;
    for (size_t i = 0; i < n; ++i)
        recordLength += fields[i].length;
    const size_t headerLength = 32 + 32 * n + 1 + (foxPro2 ? 0 : 263);
    std::string h = dbfHeader(foxPro2 ? 0xF5 : 0x30, headerLength, recordLength, foxPro2 ? 0 : 3);
    for (size_t i = 0; i < n; ++i) {
        h.replace(32 + 32 * i, std::string(fields[i].name).size(), fields[i].name);
        h[32 + 32 * i + 11] = fields[i].type;
        h[32 + 32 * i + 16] = char(fields[i].length);
        h[32 + 32 * i + 18] = char(fields[i].flags);
    }
    h[32 + 32 * n] = '\x0D';
    const uint32_t blocks[] = {8, 9, 12, 40, 0};
    for (int r = 0; r < 5; ++r) {
        std::string rec = " name" + std::to_string(r) + " ";
        for (size_t i = 1; i < n; ++i) {
            std::string c(fields[i].length, char(r * 37 + int(i)));
            if (fields[i].type == 'M' || fields[i].type == 'W' || fields[i].type == 'G') {
                if (fields[i].length == 10)
                    c = std::string(9, ' ') + char('0' + blocks[r] % 10);
                else
                    put32(c, 0, blocks[(r + i) % 5]);
            }
            rec += c;
        }
        h += rec;
    }
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
        // A key tree's order, when one is used, holds every record of the table once.
        for (size_t i = 0; i < t->indexes().size(); ++i) {
            const IndexDef& d = t->indexes()[i];
            (void)d.fieldList();
            if (const auto order = t->storedKeyOrder(d)) {
                std::vector<uint8_t> seen(t->headerRecordCount(), 0);
                for (RecordId id : *order)
                    if (id >= seen.size() || seen[id]++)
                        std::abort();
                if (order->size() != seen.size())
                    std::abort();
            }
            if (const auto* dbf = dynamic_cast<const DbaseTable*>(t.get()))
                (void)dbf->keyTreeState(i);
        }
        (void)t->takeNotices();
        (void)t->headerRecordCount();
        (void)t->codePage();
    } catch (const EngineError&) {
    }
}

} // namespace tv::fuzz
