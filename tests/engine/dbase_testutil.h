#pragma once
// Helpers of the dBASE tests: the canonical dump of a table, temporary folders, file bytes and
// hand-made table files.
#include "engine/tablefile.h"

#include "dump.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tv::test {

// The table in the canonical dump format, as the dump tool prints it.
inline std::string dumpTable(const TableFile& t)
{
    std::string out;
    tvdump::dumpTable(t, out);
    return out;
}

// One value as the dump prints it.
inline std::string formatValue(FieldType type, const Value& v)
{
    std::string out;
    tvdump::appendValue(out, type, v);
    return out;
}

inline std::string readFile(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void writeFile(const std::filesystem::path& p, const std::string& bytes)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tvdbase-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Assembles .DBF bytes by hand, so that tests can build files that the writer would never make.
struct DbfBuilder {
    struct Field {
        std::string name;
        char type;
        int length;
        int decimals = 0;
        uint8_t flags = 0;   // Visual FoxPro: 0x01 hidden system field, 0x02 may be NULL
    };
    uint8_t version = 0x03;
    uint8_t languageDriver = 0x03;
    bool productionIndex = false;
    std::vector<Field> fields;
    std::vector<std::string> records;  // each including its flag byte

    int recordLength() const
    {
        int n = 1;
        for (const Field& f : fields)
            n += f.length;
        return n;
    }
    bool dbase7() const { return version == 0x04 || version == 0x8C; }
    bool visualFoxPro() const { return version >= 0x30 && version <= 0x32; }
    // A record from cells given in field order; each is padded with blanks to the field length.
    void addRecord(const std::vector<std::string>& cells, bool deleted = false)
    {
        std::string r(1, deleted ? '*' : ' ');
        for (size_t i = 0; i < fields.size(); ++i) {
            std::string c = i < cells.size() ? cells[i] : std::string();
            c.resize(size_t(fields[i].length), ' ');
            r += c;
        }
        records.push_back(r);
    }
    std::string bytes() const
    {
        // dBASE 7: the language driver's name after the header and 48-byte descriptors; Visual
        // FoxPro: the database container's path after the field list.
        const size_t fixedPart = dbase7() ? 68 : 32, descriptorSize = dbase7() ? 48 : 32;
        const size_t headerLength = fixedPart + descriptorSize * fields.size() + 1 + (visualFoxPro() ? 263 : 0);
        std::string h(headerLength, '\0');
        h[0] = char(version);
        h[1] = 124;
        h[2] = 1;
        h[3] = 2;
        const uint32_t n = uint32_t(records.size());
        for (int i = 0; i < 4; ++i)
            h[4 + i] = char((n >> (8 * i)) & 0xFF);
        h[8] = char(headerLength & 0xFF);
        h[9] = char(headerLength >> 8);
        h[10] = char(recordLength() & 0xFF);
        h[11] = char(recordLength() >> 8);
        h[0x1C] = productionIndex ? 1 : 0;
        h[0x1D] = char(languageDriver);
        const size_t typeAt = dbase7() ? 32 : 11, lengthAt = dbase7() ? 33 : 16;
        for (size_t i = 0; i < fields.size(); ++i) {
            char* d = &h[fixedPart + descriptorSize * i];
            std::copy(fields[i].name.begin(), fields[i].name.end(), d);
            d[typeAt] = fields[i].type;
            d[lengthAt] = char(fields[i].length);
            d[lengthAt + 1] = char(fields[i].decimals);
            if (!dbase7())
                d[18] = char(fields[i].flags);
        }
        h[fixedPart + descriptorSize * fields.size()] = '\x0D';
        for (const std::string& r : records)
            h += r;
        return h + '\x1A';
    }
};

// Little- and big-endian integers of n bytes.
inline std::string le(uint64_t v, size_t n)
{
    std::string out;
    for (size_t i = 0; i < n; ++i)
        out += char((v >> (8 * i)) & 0xFF);
    return out;
}

inline std::string be(uint64_t v, size_t n)
{
    std::string out = le(v, n);
    return std::string(out.rbegin(), out.rend());
}

// A FoxPro memo file of `blockSize`-byte blocks after its 512-byte header; each memo is (block
// type, bytes): 1 text, 0 picture, 2 object.
inline std::string fpt(const std::vector<std::pair<int, std::string>>& memos, std::vector<int>& blocks, size_t blockSize = 64)
{
    std::string f((512 + blockSize - 1) / blockSize * blockSize, '\0');   // the header, in whole blocks
    f.replace(6, 2, be(blockSize, 2));
    for (const auto& [type, data] : memos) {
        blocks.push_back(int(f.size() / blockSize));
        std::string m = be(uint32_t(type), 4) + be(data.size(), 4) + data;
        m.resize((m.size() + blockSize - 1) / blockSize * blockSize, '\0');
        f += m;
    }
    f.replace(0, 4, be(f.size() / blockSize, 4));
    return f;
}

// A compact index leaf of `keys` (key bytes padded with `fill` to `keyLength` <= 15, number),
// each keeping only what differs from the key before; `left`/`right` link its neighbours.
using CdxKeys = std::vector<std::pair<std::string, uint32_t>>;
inline std::string cdxLeaf(const CdxKeys& keys, size_t keyLength, char fill, uint32_t left, uint32_t right, bool root)
{
    std::string leaf(512, '\0');
    leaf.replace(0, 2, le(root ? 3 : 2, 2));
    leaf.replace(2, 2, le(keys.size(), 2));
    leaf.replace(4, 4, le(left, 4));
    leaf.replace(8, 4, le(right, 4));
    leaf.replace(14, 4, le(0xFFFFFF, 4));   // 24 bits of number, 4 of shared and 4 of trailing bytes
    leaf[18] = 0x0F;
    leaf[19] = 0x0F;
    leaf[20] = 24;
    leaf[21] = 4;
    leaf[22] = 4;
    leaf[23] = 4;
    std::string previous;
    size_t keyEnd = 512;
    for (size_t i = 0; i < keys.size(); ++i) {
        std::string key = keys[i].first;
        key.resize(keyLength, fill);
        const size_t kept = key.find_last_not_of(fill) + 1;   // 0 for a key all fill
        size_t dup = 0;
        while (dup < kept && dup < previous.size() && key[dup] == previous[dup])
            ++dup;
        const size_t fresh = kept - dup;
        keyEnd -= fresh;
        leaf.replace(keyEnd, fresh, key.substr(dup, fresh));
        leaf.replace(24 + 4 * i, 4, le(keys[i].second | (dup << 24) | ((keyLength - kept) << 28), 4));
        previous = key;
    }
    return leaf;
}

// A structural .CDX whose tag directory (one leaf) lists `tags`, each with a tag header holding
// its key expression and a key tree of `keys` in the order given: leaves of `perLeaf` keys
// under one interior root when there are more.
struct CdxTag {
    std::string name;
    std::string expression;
    bool descending = false;
    std::string forCondition = {};
    CdxKeys keys = {};   // record numbers from 1
    size_t keyLength = 10;
    char fill = ' ';
    size_t perLeaf = 3;
    bool unique = false;   // one record of each key
};

inline std::string cdx(const std::vector<CdxTag>& tags)
{
    std::string f(1536 + 1024 * tags.size(), '\0');
    f.replace(0, 4, le(1024, 4));
    f.replace(12, 2, le(10, 2));
    f[14] = 0x60;
    CdxKeys names;
    for (size_t i = 0; i < tags.size(); ++i)
        names.emplace_back(tags[i].name, uint32_t(1536 + 1024 * i));
    f.replace(1024, 512, cdxLeaf(names, 10, ' ', ~0u, ~0u, true));
    for (size_t i = 0; i < tags.size(); ++i) {
        const CdxTag& t = tags[i];
        std::string h(1024, '\0');
        h.replace(12, 2, le(t.keyLength, 2));
        h[14] = char(0x60 | (t.forCondition.empty() ? 0 : 0x08) | (t.unique ? 0x01 : 0));
        h[502] = t.descending ? 1 : 0;
        h.replace(510, 2, le(t.expression.size() + 1, 2));
        h.replace(512, t.expression.size(), t.expression);
        if (!t.forCondition.empty()) {
            h.replace(504, 2, le(t.expression.size() + 1, 2));
            h.replace(506, 2, le(t.forCondition.size() + 1, 2));
            h.replace(512 + t.expression.size() + 1, t.forCondition.size(), t.forCondition);
        }
        // The tree's nodes go at the end of the file: the leaves, then the root over them.
        const size_t leaves = std::max<size_t>(1, (t.keys.size() + t.perLeaf - 1) / t.perLeaf);
        const uint32_t first = uint32_t(f.size());
        std::string interior(512, '\0');
        interior.replace(0, 2, le(1, 2));
        interior.replace(2, 2, le(leaves, 2));
        interior.replace(4, 8, std::string(8, '\xFF'));
        for (size_t l = 0; l < leaves; ++l) {
            const auto from = t.keys.begin() + std::ptrdiff_t(std::min(t.keys.size(), l * t.perLeaf));
            const auto to = t.keys.begin() + std::ptrdiff_t(std::min(t.keys.size(), (l + 1) * t.perLeaf));
            const uint32_t at = first + uint32_t(512 * l);
            f += cdxLeaf(CdxKeys(from, to), t.keyLength, t.fill, l == 0 ? ~0u : at - 512, l + 1 == leaves ? ~0u : at + 512, leaves == 1);
            std::string last = from == to ? std::string() : (to - 1)->first;
            last.resize(t.keyLength, t.fill);
            const size_t e = 12 + l * (t.keyLength + 8);
            interior.replace(e, t.keyLength, last);
            interior.replace(e + t.keyLength, 4, be(from == to ? 0 : (to - 1)->second, 4));
            interior.replace(e + t.keyLength + 4, 4, be(at, 4));
        }
        if (leaves > 1)
            f += interior;
        h.replace(0, 4, le(leaves > 1 ? f.size() - 512 : first, 4));
        f.replace(1536 + 1024 * i, 1024, h);
    }
    return f;
}

} // namespace tv::test
