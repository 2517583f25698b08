#include "testsupport.h"

#include "writeset.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace mkbases::test {

ScratchDir::ScratchDir()
{
    std::string pattern = (fs::temp_directory_path() / "mkbases-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a scratch folder");
    path_ = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

const std::string& sampleDir()
{
    static ScratchDir dir;
    static const bool written = [] {
        writeBaseSet(dir.path(), sampleJobs(), WriteOptions{});
        return true;
    }();
    (void)written;
    return dir.path();
}

std::unique_ptr<tv::TableFile> openSample(Base b) { return tv::openTableFile(sampleDir() + "/" + baseDef(b).file); }

std::vector<tv::Record> readAll(const tv::TableFile& t)
{
    std::vector<tv::Record> out;
    for (tv::RecordId id : t.recordIds()) {
        tv::Record r;
        for (size_t f = 0; f < t.fields().size(); ++f)
            r.push_back(t.value(id, int(f)));
        out.push_back(std::move(r));
    }
    return out;
}

std::string textOf(const tv::Value& v)
{
    if (const auto* s = std::get_if<std::string>(&v))
        return *s;
    return {};
}

std::string recordText(const tv::Record& r)
{
    std::ostringstream out;
    for (const auto& v : r) {
        if (const auto* s = std::get_if<std::string>(&v))
            out << "s:" << *s;
        else if (const auto* i = std::get_if<int64_t>(&v))
            out << "i:" << *i;
        else if (const auto* d = std::get_if<double>(&v))
            out << "f:" << std::hexfloat << *d << std::defaultfloat;
        else if (const auto* dt = std::get_if<tv::Date>(&v))
            out << "d:" << dt->day;
        else if (const auto* b = std::get_if<tv::Blob>(&v))
            out << "b:" << b->bytes;
        else if (tv::isNull(v))
            out << "null";
        else
            out << "other";
        out << '\x01';
    }
    return out.str();
}

std::vector<std::string> recordTexts(const std::vector<tv::Record>& recs)
{
    std::vector<std::string> out;
    for (const auto& r : recs)
        out.push_back(recordText(r));
    return out;
}

std::string lowerAscii(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

bool containsNoCase(const std::string& haystack, const std::string& needle)
{
    return lowerAscii(haystack).find(lowerAscii(needle)) != std::string::npos;
}

std::string readFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

int runCommand(const std::string& command, std::string* output)
{
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return -1;
    std::string out;
    std::array<char, 65536> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        out.append(buf.data(), n);
    const int status = pclose(p);
    if (output)
        *output = std::move(out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace mkbases::test
