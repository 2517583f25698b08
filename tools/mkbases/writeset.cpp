#include "writeset.h"

#include "content.h"
#include "engine/engineerror.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace mkbases {

namespace {

std::string lowerAscii(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

std::string stemOf(const std::string& file)
{
    const auto dot = file.find_last_of('.');
    return dot == std::string::npos ? file : file.substr(0, dot);
}

// A fresh folder inside dir, so that the final moves are renames on one file system.
fs::path makeTempFolder(const fs::path& dir)
{
    std::string pattern = (dir / ".mkbases-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw tv::EngineError(dir.string() + ": cannot create a temporary folder (" +
                              std::error_code(errno, std::generic_category()).message() + ")");
    return fs::path(pattern);
}

// Removes the temporary folder whatever happens.
struct TempFolder {
    fs::path path;
    ~TempFolder()
    {
        std::error_code ec;
        if (!path.empty())
            fs::remove_all(path, ec);
    }
};

bool isPrivate(const BaseDef& def) { return def.base == Base::Private; }

// Whether two files hold the same bytes; an identical file is left in place, so a rebuild
// that produces the same bases does not touch them.
bool sameContent(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    if (!fs::is_regular_file(b, ec) || fs::file_size(a, ec) != fs::file_size(b, ec) || ec)
        return false;
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    std::vector<char> ba(1 << 16), bb(1 << 16);
    while (fa && fb) {
        fa.read(ba.data(), std::streamsize(ba.size()));
        fb.read(bb.data(), std::streamsize(bb.size()));
        if (fa.gcount() != fb.gcount() || !std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin()))
            return false;
    }
    return fa.eof() && fb.eof();
}

} // namespace

std::vector<std::string> companionFiles(const std::string& dir, const std::string& file)
{
    std::vector<std::string> out;
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        return out;
    const std::string stem = lowerAscii(stemOf(file));
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file())
            continue;
        const std::string name = entry.path().filename().string();
        const auto dot = name.find_last_of('.');
        if (dot != std::string::npos && lowerAscii(name.substr(0, dot)) == stem)
            out.push_back(name);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<BaseReport> writeBaseSet(const std::string& dirName, const std::vector<BaseJob>& jobs,
                                     const WriteOptions& options)
{
    const fs::path dir(dirName);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir))
        throw tv::EngineError(dirName + ": cannot create the folder (" + ec.message() + ")");

    // A run that was killed leaves its temporary folder behind; nothing in it is complete.
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_directory() && entry.path().filename().string().rfind(".mkbases-", 0) == 0)
            fs::remove_all(entry.path(), ec);

    TempFolder temp{makeTempFolder(dir)};
    std::vector<BaseReport> reports;
    std::vector<const BaseJob*> written;

    for (const BaseJob& job : jobs) {
        const BaseDef& def = *job.def;
        BaseReport report;
        report.file = def.file;
        if (options.keepPrivate && isPrivate(def) && fs::exists(dir / def.file)) {
            report.skipped = true;
            if (options.log)
                *options.log << def.file << ": kept as it is (it holds your notes)\n";
            reports.push_back(report);
            continue;
        }
        const auto start = std::chrono::steady_clock::now();
        const std::string path = (temp.path / def.file).string();
        {
            auto table = def.format == Format::Paradox ? tv::createParadoxTable(path, def.spec)
                                                       : tv::createDbaseTable(path, def.spec);
            job.source([&](const tv::Record& r) {
                table->insert(r);
                ++report.records;
            });
            table->flush();
        }
        report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        for (const auto& name : companionFiles(temp.path.string(), def.file))
            report.bytes += fs::file_size(temp.path / name);
        if (options.log)
            *options.log << def.file << ": " << report.records << " records, " << report.bytes << " bytes, "
                         << report.seconds << " s" << std::endl;
        reports.push_back(report);
        written.push_back(&job);
    }

    // Every table is complete: move them in. Companions go first and the table file last, so
    // that a table file in dir always has its new companions beside it; files of an older
    // layout (an index that is no longer declared, another letter case) are removed after.
    for (const BaseJob* job : written) {
        const std::string& file = job->def->file;
        std::vector<std::string> fresh = companionFiles(temp.path.string(), file);
        std::stable_partition(fresh.begin(), fresh.end(), [&](const std::string& n) { return n != file; });
        for (const auto& name : fresh)
            if (!sameContent(temp.path / name, dir / name))
                fs::rename(temp.path / name, dir / name);
        for (const auto& name : companionFiles(dir.string(), file))
            if (std::find(fresh.begin(), fresh.end(), name) == fresh.end())
                fs::remove(dir / name);
    }
    return reports;
}

std::vector<BaseJob> sampleJobs()
{
    std::vector<BaseJob> jobs;
    for (const BaseDef& def : catalog()) {
        const Base b = def.base;
        jobs.push_back({&def, [b](const RecordSink& sink) {
                            for (const auto& r : sampleRecords(b))
                                sink(r);
                        }});
    }
    return jobs;
}

} // namespace mkbases
