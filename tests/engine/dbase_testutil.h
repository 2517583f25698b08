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
        const size_t headerLength = 32 + 32 * fields.size() + 1;
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
        for (size_t i = 0; i < fields.size(); ++i) {
            char* d = &h[32 + 32 * i];
            std::copy(fields[i].name.begin(), fields[i].name.end(), d);
            d[11] = fields[i].type;
            d[16] = char(fields[i].length);
            d[17] = char(fields[i].decimals);
        }
        h[headerLength - 1] = '\x0D';
        for (const std::string& r : records)
            h += r;
        return h + '\x1A';
    }
};

} // namespace tv::test
