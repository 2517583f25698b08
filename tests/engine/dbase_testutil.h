#pragma once
// Helpers of the dBASE tests: the canonical dump of a table, temporary folders, file bytes and
// hand-made table files.
#include "engine/tablefile.h"

#include "dump.h"

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

// A FoxPro memo file of 64-byte blocks; each memo is (block type, bytes): 1 text, 0 picture.
inline std::string fpt(const std::vector<std::pair<int, std::string>>& memos, std::vector<int>& blocks)
{
    std::string f(512, '\0');
    f.replace(6, 2, be(64, 2));
    for (const auto& [type, data] : memos) {
        blocks.push_back(int(f.size() / 64));
        std::string m = be(uint32_t(type), 4) + be(data.size(), 4) + data;
        m.resize((m.size() + 63) / 64 * 64, '\0');
        f += m;
    }
    f.replace(0, 4, be(f.size() / 64, 4));
    return f;
}

// A structural .CDX whose tag directory (one leaf, keys sharing leading bytes with the one
// before) lists `tags`, each with a tag header holding its key expression.
struct CdxTag {
    std::string name;
    std::string expression;
    bool descending = false;
    std::string forCondition = {};
};

inline std::string cdx(const std::vector<CdxTag>& tags)
{
    std::string f(1536 + 1024 * tags.size(), '\0');
    f.replace(0, 4, le(1024, 4));
    f.replace(12, 2, le(10, 2));
    f[14] = 0x60;
    std::string leaf(512, '\0');
    leaf.replace(0, 2, le(3, 2));   // root and leaf
    leaf.replace(2, 2, le(tags.size(), 2));
    leaf.replace(4, 8, std::string(8, '\xFF'));
    leaf.replace(14, 4, le(0xFFFFFF, 4));
    leaf[18] = 0x0F;
    leaf[19] = 0x0F;
    leaf[20] = 24;
    leaf[21] = 4;
    leaf[22] = 4;
    leaf[23] = 4;
    std::string previous(10, ' ');
    size_t keyEnd = 512;
    for (size_t i = 0; i < tags.size(); ++i) {
        std::string key = tags[i].name;
        key.resize(10, ' ');
        size_t dup = 0;
        while (dup < 10 && key[dup] == previous[dup] && key[dup] != ' ')
            ++dup;
        const size_t trail = 10 - key.find_last_not_of(' ') - 1;
        const size_t fresh = 10 - dup - trail;
        keyEnd -= fresh;
        leaf.replace(keyEnd, fresh, key.substr(dup, fresh));
        const uint32_t header = uint32_t(1536 + 1024 * i);
        leaf.replace(24 + 4 * i, 4, le(header | (dup << 24) | (trail << 28), 4));
        previous = key;
        std::string h(1024, '\0');
        h[502] = tags[i].descending ? 1 : 0;
        h.replace(510, 2, le(tags[i].expression.size() + 1, 2));
        h.replace(512, tags[i].expression.size(), tags[i].expression);
        if (!tags[i].forCondition.empty()) {
            h[14] = 0x08;
            h.replace(504, 2, le(tags[i].expression.size() + 1, 2));
            h.replace(506, 2, le(tags[i].forCondition.size() + 1, 2));
            h.replace(512 + tags[i].expression.size() + 1, tags[i].forCondition.size(), tags[i].forCondition);
        }
        f.replace(header, 1024, h);
    }
    f.replace(1024, 512, leaf);
    return f;
}

} // namespace tv::test
