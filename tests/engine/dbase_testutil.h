#pragma once
// Helpers of the dBASE tests: the canonical dump of a table, temporary folders, file bytes.
#include "engine/tablefile.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tv::test {

inline std::string escapeText(const std::string& s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\0': out += "\\0"; break;
        default: out += c;
        }
    }
    return out;
}

inline std::string formatDouble(double v)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

inline std::string formatValue(const Value& v)
{
    if (isNull(v))
        return "\\N";
    if (const auto* s = std::get_if<std::string>(&v))
        return s->empty() ? "\\N" : escapeText(*s);
    if (const auto* d = std::get_if<double>(&v))
        return formatDouble(*d);
    if (const auto* i = std::get_if<int64_t>(&v))
        return std::to_string(*i);
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? "T" : "F";
    if (const auto* dt = std::get_if<Date>(&v)) {
        int y = 0, m = 0, d = 0;
        ymdFromDate(*dt, y, m, d);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
        return buf;
    }
    return "<unexpected>";
}

// The table in the canonical dump format (the value kinds dBASE tables have).
inline std::string dumpTable(const TableFile& t)
{
    std::string out = "#fields";
    for (const FieldDef& f : t.fields())
        out += "\t" + escapeText(f.name) + ":" + typeLetter(f.type) + ":" + std::to_string(f.size);
    out += "\n#records\t" + std::to_string(t.headerRecordCount()) + "\n";
    for (RecordId id : t.recordIds()) {
        for (size_t i = 0; i < t.fields().size(); ++i) {
            if (i)
                out += '\t';
            out += formatValue(t.value(id, int(i)));
        }
        out += '\n';
    }
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

} // namespace tv::test
