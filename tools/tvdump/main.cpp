// tvdump: prints a Paradox or dBASE table in the canonical dump format, or converts it to CSV,
// JSON Lines or an SQLite database.
#include "convert.h"
#include "dump.h"
#include "engine/codepage.h"
#ifdef TV_HAVE_SQLITE
#include "tosqlite.h"
#endif

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "usage: tvdump FILE\n"
    "       tvdump --indexes FILE\n"
    "       tvdump --csv [-o OUT] [--encoding CP] [--no-blobs] FILE\n"
    "       tvdump --jsonl [-o OUT] [--encoding CP] [--no-blobs] FILE\n"
    "       tvdump --sqlite OUT.db [--replace] [--encoding CP] [--no-blobs] FILE...\n"
    "\n"
    "Reads Paradox (.db) and dBASE (.dbf) tables with their memo, blob and index files.\n"
    "\n"
    "Without an option, prints FILE in the canonical dump format: a #fields line (NAME:TYPE:SIZE\n"
    "per field), a #records line with the record count stored in the header, then one line per\n"
    "record with the values separated by TABs.\n"
    "\n"
    "--indexes prints one line per index definition instead:\n"
    "    NAME<TAB>FIELDS<TAB>FLAGS\n"
    "FIELDS are the key fields joined by ';' (for an expression index: the key expression).\n"
    "FLAGS are letters: P primary index, I case-insensitive, D descending, E expression index;\n"
    "'-' when none applies. A Paradox primary index has an empty name.\n"
    "\n"
    "Conversions:\n"
    "  --csv           CSV (RFC 4180, UTF-8, CRLF line ends) with a header row of field names;\n"
    "                  NULL is an empty value, dates and times ISO 8601, logicals true/false,\n"
    "                  blobs base64.\n"
    "  --jsonl         one JSON object per record and line, typed: numbers, booleans, null;\n"
    "                  dates and times as ISO 8601 strings, blobs as base64 strings.\n"
    "  --sqlite OUT.db one SQLite table per FILE, named after the file, with typed columns, the\n"
    "                  primary key and the secondary indexes; all in one transaction.\n"
    "  -o, --output OUT  write CSV or JSON Lines to OUT instead of standard output.\n"
    "  --encoding CP   decode text with code page CP (e.g. 866, cp1251, utf-8, koi8-r: any name\n"
    "                  iconv knows) instead of the one the table declares.\n"
    "  --no-blobs      leave graphic, OLE, binary and bytes fields out.\n"
    "  --replace       with --sqlite: drop a table of the same name first (else an error).\n"
    "\n"
    "On a damaged or unsupported file prints one line 'tvdump: FILE: message' and exits 1; an\n"
    "output file is then left as it was (a new one is not created). Usage errors exit 2.\n"
    "See tvdump(1).\n";

enum class Mode { Dump, Indexes, Csv, Jsonl, Sqlite };

// The error message of a failure reading `file`, without the path the engine puts first.
std::string messageFor(const std::string& file, const std::exception& e)
{
    std::string msg = e.what();
    const std::string prefix = file + ": ";
    if (msg.rfind(prefix, 0) == 0)
        msg.erase(0, prefix.size());
    return msg;
}

int failure(const std::string& file, const std::string& msg)
{
    std::fprintf(stderr, "tvdump: %s: %s\n", file.c_str(), msg.c_str());
    return 1;
}

// Opens a table for reading only (nothing beside it is applied or removed) and says on the
// error stream what was found and left alone.
std::unique_ptr<tv::TableFile> openForReading(const std::string& file)
{
    auto table = tv::openTableFile(file, tv::OpenMode::ReadOnly);
    for (const auto& notice : table->takeNotices())
        std::fprintf(stderr, "tvdump: note: %s\n", notice.c_str());
    return table;
}

// "tvdump: FILE: 41% (410000 of 1000000 records)", redrawn in place on a terminal once a
// conversion has run for a second.
class Progress {
public:
    explicit Progress(std::string file) : file_(std::move(file)), enabled_(isatty(2) == 1) {}
    ~Progress()
    {
        if (shown_)
            std::fputs("\r\033[K", stderr);
    }
    void operator()(size_t done, size_t total)
    {
        if (!enabled_)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (now - start_ < std::chrono::seconds(1) || now - last_ < std::chrono::milliseconds(200))
            return;
        last_ = now;
        shown_ = true;
        std::fprintf(stderr, "\rtvdump: %s: %d%% (%zu of %zu records)\033[K", file_.c_str(), total ? int(done * 100 / total) : 100, done,
                     total);
    }

private:
    std::string file_;
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now(), last_;
};

// The unfinished output, removed when the user interrupts the conversion.
const char* volatile gPendingPath = nullptr;

extern "C" void dropPendingAndExit(int sig)
{
    if (const char* path = gPendingPath)
        unlink(path);
    _exit(128 + sig);
}

// An output file written under a temporary name beside it and renamed into place once complete.
class PendingFile {
public:
    explicit PendingFile(const std::string& path) : path_(path), temp_(path + ".XXXXXX")
    {
        const int fd = mkstemp(temp_.data());
        if (fd < 0)
            throw std::runtime_error(std::string("cannot create a file beside it: ") + std::strerror(errno));
        // mkstemp makes the file private; give it the permissions a plain new file would get.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
        gPendingPath = temp_.c_str();
        file_ = fdopen(fd, "wb");
        if (!file_) {
            ::close(fd);
            std::remove(temp_.c_str());
            throw std::runtime_error("cannot open the output");
        }
    }
    ~PendingFile()
    {
        gPendingPath = nullptr;
        if (file_)
            std::fclose(file_);
        if (!done_)
            std::remove(temp_.c_str());
    }
    std::FILE* stream() const { return file_; }
    const std::string& tempPath() const { return temp_; }
    void closeStream()
    {
        const bool ok = std::fflush(file_) == 0 && fsync(fileno(file_)) == 0;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        if (!ok || !closed)
            throw std::runtime_error(std::string("cannot write: ") + std::strerror(errno));
    }
    void commit()
    {
        if (file_)
            closeStream();
        gPendingPath = nullptr;
        if (std::rename(temp_.c_str(), path_.c_str()) != 0)
            throw std::runtime_error(std::string("cannot rename the finished output: ") + std::strerror(errno));
        done_ = true;
    }

private:
    std::string path_, temp_;
    std::FILE* file_ = nullptr;
    bool done_ = false;
};

int convertText(Mode mode, const std::string& file, const std::string& output, tvdump::ConvertOptions options)
{
    std::FILE* out = stdout;
    std::unique_ptr<PendingFile> pending;
    const std::string target = output.empty() ? file : output;
    try {
        if (!output.empty()) {
            pending = std::make_unique<PendingFile>(output);
            out = pending->stream();
        }
    } catch (const std::exception& e) {
        return failure(output, e.what());
    }
    std::string failedFile = file;
    try {
        const auto table = openForReading(file);
        Progress progress(file);
        options.progress = [&progress](size_t done, size_t total) { progress(done, total); };
        bool writeFailed = false;
        const auto flush = [&](std::string& text) {
            if (!writeFailed && std::fwrite(text.data(), 1, text.size(), out) != text.size())
                writeFailed = true;
            text.clear();
        };
        if (mode == Mode::Csv)
            tvdump::writeCsv(*table, options, flush);
        else
            tvdump::writeJsonLines(*table, options, flush);
        failedFile = target;
        if (writeFailed || std::fflush(out) != 0)
            throw std::runtime_error("cannot write the output");
        if (pending)
            pending->commit();
    } catch (const std::exception& e) {
        return failure(failedFile, messageFor(failedFile, e));
    }
    return 0;
}

#ifdef TV_HAVE_SQLITE
int convertSqlite(const std::string& output, const std::vector<std::string>& files, bool replace, tvdump::ConvertOptions options)
{
    namespace fs = std::filesystem;
    // A new database is built under a temporary name; an existing one is changed in one
    // transaction that rolls back on any failure.
    const bool fresh = !fs::exists(output);
    std::unique_ptr<PendingFile> pending;
    std::string current = output;
    try {
        std::string dbPath = output;
        if (fresh) {
            pending = std::make_unique<PendingFile>(output);
            pending->closeStream();
            dbPath = pending->tempPath();
        }
        {
            tvdump::SqliteOutput db(dbPath, fresh);
            std::set<std::string> names;
            for (const auto& file : files) {
                current = file;
                const std::string name = fs::path(file).stem().string();
                if (!names.insert(tv::foldAsciiUpper(name)).second)
                    throw std::runtime_error("another table given is called \"" + name + "\" too");
                const auto table = openForReading(file);
                Progress progress(file);
                options.progress = [&progress](size_t done, size_t total) { progress(done, total); };
                db.add(*table, name, options, replace);
            }
            current = output;
            db.commit();
        }
        if (pending) {
            const int fd = ::open(pending->tempPath().c_str(), O_RDONLY);
            const bool synced = fd >= 0 && fsync(fd) == 0;
            if (fd >= 0)
                ::close(fd);
            if (!synced)
                throw std::runtime_error("cannot write the database");
            pending->commit();
        }
    } catch (const std::exception& e) {
        return failure(current, messageFor(current, e));
    }
    return 0;
}
#endif

void writeOut(std::string& out, void*)
{
    std::fwrite(out.data(), 1, out.size(), stdout);
    out.clear();
}

int dump(Mode mode, const std::string& file)
{
    try {
        const auto table = openForReading(file);
        std::string out;
        if (mode == Mode::Indexes)
            out = tvdump::dumpIndexes(*table);
        else
            tvdump::dumpTable(*table, out, writeOut, nullptr);
        writeOut(out, nullptr);
        if (std::fflush(stdout) != 0)
            return failure(file, "cannot write the output");
    } catch (const std::exception& e) {
        return failure(file, messageFor(file, e));
    }
    return 0;
}

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    Mode mode = Mode::Dump;
    std::string output, sqliteOut;
    std::vector<std::string> files;
    tvdump::ConvertOptions options;
    bool replace = false, converting = false;
    auto setMode = [&](Mode m) {
        const bool clash = mode != Mode::Dump && mode != m;
        mode = m;
        return !clash;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "--indexes") {
            if (!setMode(Mode::Indexes))
                return usage();
        } else if (a == "--csv" || a == "--jsonl") {
            if (!setMode(a == "--csv" ? Mode::Csv : Mode::Jsonl))
                return usage();
        } else if (a == "--sqlite" && hasValue) {
            if (!setMode(Mode::Sqlite))
                return usage();
            sqliteOut = argv[++i];
        } else if ((a == "-o" || a == "--output") && hasValue) {
            output = argv[++i];
            converting = true;
        } else if (a == "--encoding" && hasValue) {
            options.codePage = tvdump::parseCodePage(argv[++i]);
            if (options.codePage == 0) {
                std::fprintf(stderr, "tvdump: unknown code page '%s'; name %s\n", argv[i], tv::kCodePageNaming);
                return 2;
            }
            converting = true;
        } else if (a == "--no-blobs") {
            options.blobs = false;
            converting = true;
        } else if (a == "--replace") {
            replace = true;
            converting = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return usage();
        } else {
            files.push_back(a);
        }
    }
    const bool textMode = mode == Mode::Csv || mode == Mode::Jsonl;
    if (files.empty() || (mode != Mode::Sqlite && files.size() > 1) || (converting && !textMode && mode != Mode::Sqlite) ||
        (replace && mode != Mode::Sqlite) || (!output.empty() && !textMode))
        return usage();
    if (textMode || mode == Mode::Sqlite)
        for (int sig : {SIGINT, SIGTERM, SIGHUP})
            std::signal(sig, dropPendingAndExit);
    switch (mode) {
    case Mode::Dump:
    case Mode::Indexes: return dump(mode, files[0]);
    case Mode::Csv:
    case Mode::Jsonl: return convertText(mode, files[0], output, options);
    case Mode::Sqlite:
#ifdef TV_HAVE_SQLITE
        return convertSqlite(sqliteOut, files, replace, options);
#else
        std::fputs("tvdump: this build has no SQLite support\n", stderr);
        return 1;
#endif
    }
    return 0;
}
