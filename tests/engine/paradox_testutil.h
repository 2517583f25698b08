#pragma once
// Helpers of the Paradox tests: temporary folders, file bytes, dump comparison.
#include "dump.h"
#include "engine/paradox/pxbytes.h"
#include "engine/paradox/pxheader.h"
#include "engine/paradox/pxlock.h"
#include "engine/paradox/pxprimary.h"
#include "engine/tablefile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace tv::pxtest {

namespace fs = std::filesystem;

class ScratchDir {
public:
    explicit ScratchDir(const fs::path& base = fs::temp_directory_path())
    {
        std::string tmpl = (base / "tvpx-XXXXXX").string();
        if (!::mkdtemp(tmpl.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~ScratchDir()
    {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

inline std::string readBytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeBytes(const fs::path& p, const std::string& bytes)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

inline std::string dump(const TableFile& t)
{
    std::string out;
    tvdump::dumpTable(t, out);
    return out;
}

inline std::vector<std::string> splitLines(const std::string& s)
{
    std::vector<std::string> lines;
    std::string cur;
    std::istringstream in(s);
    while (std::getline(in, cur))
        lines.push_back(cur);
    return lines;
}

inline std::vector<std::string> splitTabs(const std::string& s)
{
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        const size_t tab = s.find('\t', start);
        out.push_back(s.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return out;
        start = tab + 1;
    }
}

// Compares a dump with a reference dump by the rules of the team's comparison tool: number
// columns (N, $, dN, dF) as doubles with relative tolerance 1e-12, '?' matches anything,
// everything else exactly. Returns the first difference, or "" when equal.
inline std::string compareDumps(const std::string& expected, const std::string& actual)
{
    const auto e = splitLines(expected), a = splitLines(actual);
    if (e.size() != a.size())
        return "line count " + std::to_string(a.size()) + ", expected " + std::to_string(e.size());
    std::vector<bool> numeric;
    if (!e.empty())
        for (const auto& col : splitTabs(e[0])) {
            const auto last = col.rfind(':');
            const auto prev = last == std::string::npos || last == 0 ? std::string::npos : col.rfind(':', last - 1);
            const std::string type = prev == std::string::npos ? "" : col.substr(prev + 1, last - prev - 1);
            numeric.push_back(type == "N" || type == "$" || type == "dN" || type == "dF");
        }
    for (size_t i = 0; i < e.size(); ++i) {
        if (i < 2) {
            if (e[i] != a[i])
                return "header line " + std::to_string(i + 1) + ": " + a[i];
            continue;
        }
        const auto ev = splitTabs(e[i]), av = splitTabs(a[i]);
        if (ev.size() != av.size())
            return "line " + std::to_string(i + 1) + " has " + std::to_string(av.size()) + " values";
        for (size_t j = 0; j < ev.size(); ++j) {
            if (ev[j] == "?" || ev[j] == av[j])
                continue;
            const bool num = j + 1 < numeric.size() && numeric[j + 1] && ev[j] != "\\N" && av[j] != "\\N";
            if (num) {
                const double x = std::strtod(ev[j].c_str(), nullptr), y = std::strtod(av[j].c_str(), nullptr);
                if (x == y || std::fabs(x - y) <= 1e-12 * std::max(std::fabs(x), std::fabs(y)))
                    continue;
            }
            return "line " + std::to_string(i + 1) + " value " + std::to_string(j + 1) + ": got " + av[j].substr(0, 80) + ", expected " +
                   ev[j].substr(0, 80);
        }
    }
    return {};
}

inline std::string samples() { return TV_SAMPLES_DIR; }

// The records of a Paradox data or index file in block chain order, with the block each is in.
inline std::vector<std::pair<std::string, uint16_t>> chainRecords(const std::string& bytes, const px::Header& h)
{
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    std::vector<std::pair<std::string, uint16_t>> out;
    for (size_t b = h.firstBlock, guard = 0; b != 0 && guard <= h.fileBlocks; ++guard) {
        if (h.headerSize + b * h.blockSize() > bytes.size())
            break;
        const uint8_t* block = p + h.headerSize + (b - 1) * h.blockSize();
        const int16_t last = int16_t(px::le16(block + 4));
        for (int r = 0; last >= 0 && r <= last / h.recordSize; ++r)
            out.emplace_back(std::string(reinterpret_cast<const char*>(block) + 6 + r * h.recordSize, h.recordSize), uint16_t(b));
        b = px::le16(block);
    }
    return out;
}

// What is wrong between the files of the keyed table at `path` ("" when nothing): its block
// chain and header count, its primary index (which must list the data blocks), and each
// secondary index, which must hold one entry per record, in order, naming the block the
// record is in.
inline std::string tableFileProblems(const std::string& path)
{
    const std::string db = readBytes(path);
    const px::Header h = px::parseHeader(reinterpret_cast<const uint8_t*>(db.data()), db.size(), path);
    const auto records = chainRecords(db, h);
    if (records.size() != h.numRecords)
        return "the data file's chain holds " + std::to_string(records.size()) + " records, its header " + std::to_string(h.numRecords);
    size_t keyBytes = 0;
    for (int i = 0; i < h.keyFields; ++i)
        keyBytes += size_t(h.fields[size_t(i)].width);
    std::map<std::string, uint16_t> blockOfKey;
    for (const auto& [rec, block] : records)
        blockOfKey[rec.substr(0, keyBytes)] = block;
    if (blockOfKey.size() != records.size())
        return "keys repeat in the data file";
    if (records.empty())
        return {};
    const std::string pxBytes = readBytes(px::companionPath(path, "PX"));
    const auto listed = px::blocksFromPrimaryIndex(reinterpret_cast<const uint8_t*>(pxBytes.data()), pxBytes.size(), h,
                                                   (db.size() - h.headerSize) / h.blockSize());
    if (!listed)
        return "the primary index does not stand for the data blocks";
    size_t at = 0;
    for (const auto& b : *listed) {
        if (at >= records.size() || records[at].second != b.block)
            return "the primary index lists the blocks out of chain order";
        at += b.count;
    }
    auto isIndex = [](const std::string& ext) { return ext.size() == 3 && ext[0] == 'X'; };
    for (const auto& file : px::companionFiles(path, isIndex)) {
        const std::string x = readBytes(file);
        const px::Header xh = px::parseHeader(reinterpret_cast<const uint8_t*>(x.data()), x.size(), file);
        const auto entries = chainRecords(x, xh);
        if (entries.size() != records.size())
            return file + " holds " + std::to_string(entries.size()) + " entries for " + std::to_string(records.size()) + " records";
        const size_t sortBytes = xh.recordSize - 2;   // all but the block number
        const bool descending = (xh.options & 0x10) != 0;
        for (size_t i = 0; i < entries.size(); ++i) {
            const std::string& e = entries[i].first;
            const auto found = blockOfKey.find(e.substr(sortBytes - keyBytes, keyBytes));
            if (found == blockOfKey.end())
                return file + ": entry " + std::to_string(i) + " is for a record that is not there";
            if (px::decodeInt(reinterpret_cast<const uint8_t*>(e.data()) + sortBytes, 2) != found->second)
                return file + ": entry " + std::to_string(i) + " names the wrong block";
            const int c = i == 0 ? (descending ? 1 : -1) : entries[i - 1].first.compare(0, sortBytes, e, 0, sortBytes);
            if (descending ? c <= 0 : c >= 0)
                return file + ": entries out of order at " + std::to_string(i);
        }
    }
    return {};
}

// A table shaped like the private notes base: an autoincrement key, a text, a memo and a
// check value.
inline TableSpec notesSpec()
{
    TableSpec s;
    s.fields = {FieldDef{"Id", FieldType::AutoInc, 4, 0}, FieldDef{"Seq", FieldType::Alpha, 24, 0}, FieldDef{"Body", FieldType::Memo, 20, 0},
                FieldDef{"Check", FieldType::Long, 4, 0}};
    s.primaryKeyFields = 1;
    return s;
}

// Everything in a note follows from its sequence number, so a torn record shows.
inline std::string bodyFor(uint64_t seq)
{
    const size_t len = size_t(seq % 5000);
    std::string b(len, '\0');
    for (size_t i = 0; i < len; ++i)
        b[i] = char('a' + (seq + i) % 26);
    return b;
}

inline Record noteFor(uint64_t seq, Value id = Value())
{
    return {std::move(id), std::to_string(seq), bodyFor(seq), int64_t(seq % 1000003)};
}

} // namespace tv::pxtest
