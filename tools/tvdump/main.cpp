// tvdump: prints a Paradox or dBASE table in the canonical dump format, or converts it to CSV,
// JSON Lines or an SQLite database.
#include "convert.h"
#include "dump.h"
#include "output.h"
#include "engine/codepage.h"
#ifdef TV_HAVE_SQLITE
#include "tosqlite.h"
#endif

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "usage: tvdump [OPTIONS] FILE\n"
    "       tvdump --indexes [-o OUT] FILE\n"
    "       tvdump --info [--jsonl] [-o OUT] FILE\n"
    "       tvdump --csv [-o OUT] [CONVERSION OPTIONS] [--separator C] [--no-header] FILE\n"
    "       tvdump --jsonl [-o OUT] [CONVERSION OPTIONS] FILE\n"
    "       tvdump --sqlite OUT.db [--replace] [--table NAME]... [CONVERSION OPTIONS] FILE...\n"
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
    "'-' when none applies. A Paradox primary index has an empty name. A dBASE or FoxPro tag\n"
    "adds a column on its key tree: \"key tree read: N keys\" (a .CDX tree that orders the\n"
    "records), \"key tree not used: WHY\" or \"key tree not read\" (.MDX): the tag's key orders them.\n"
    "--info (or --schema) describes the table: format and version, code page, record counts,\n"
    "fields (name, type, length, decimals) and indexes; with --jsonl as one JSON object.\n"
    "\n"
    "Conversions:\n"
    "  --csv           CSV (RFC 4180, UTF-8, CRLF line ends) with a header row of field names;\n"
    "                  NULL is an empty value, dates and times ISO 8601 (2024-02-29T13:05:00),\n"
    "                  logicals true/false, blobs base64.\n"
    "  --jsonl         one JSON object per record and line, typed: numbers, booleans, null;\n"
    "                  dates and times as ISO 8601 strings, blobs as base64 strings.\n"
    "  --sqlite OUT.db one SQLite table per FILE, named after the file, with typed columns, the\n"
    "                  primary key and the secondary indexes; all in one transaction. Logicals\n"
    "                  are 1/0, timestamps 2024-02-29 13:05:00 (SQLite's own forms).\n"
    "Options (CONVERSION OPTIONS are --encoding, --fields, --deleted, --no-blobs, --salvage;\n"
    "--deleted and --salvage go with the dump too, --salvage with --info and --indexes):\n"
    "  -o, --output OUT  write to OUT instead of standard output ('-': standard output). A\n"
    "                  regular file is replaced only once the output is complete (a symbolic\n"
    "                  link is followed); a device or FIFO is written as it is. The table read\n"
    "                  and its companion files are never written.\n"
    "  --encoding CP   decode text with code page CP (e.g. 866, cp1251, utf-8, koi8-r: any name\n"
    "                  iconv knows) instead of the one the table declares.\n"
    "  --fields A,B,C  write only these fields, in this order (letter case aside).\n"
    "  --deleted       also write the dBASE records marked deleted, with a leading _deleted\n"
    "                  column (true/false) in every format.\n"
    "  --no-blobs      leave graphic, OLE, binary and bytes fields out; when the memo file is\n"
    "                  missing or unreadable, read the table without it (memo fields NULL).\n"
    "  --salvage       read the table without touching its memo file (with any output): memo\n"
    "                  and blob fields are NULL (a warning says so).\n"
    "  --separator C   with --csv: the value separator (default ','): 'tab', or a character that\n"
    "                  is not a letter, digit, quote, line end or one of .-+:/=\n"
    "  --no-header     with --csv: no header row.\n"
    "  --replace       with --sqlite: drop a table of the same name first (else an error).\n"
    "  --table NAME    with --sqlite: the SQLite table name for the next FILE in order (given\n"
    "                  once per FILE; the others are named after their files).\n"
    "  --              ends the options: what follows are files.\n"
    "  --version       print the version; -h, --help: this text.\n"
    "\n"
    "On a damaged or unsupported file prints one line 'tvdump: FILE: message' and exits 1; an\n"
    "output file is then left as it was (a new one is not created). With --sqlite and several\n"
    "files, a table with no fields is skipped with a message, the others are converted, and\n"
    "the exit status is 3. Usage errors exit 2.\n"
    "See tvdump(1).\n";

enum class Mode { Dump, Indexes, Info, Csv, Jsonl, Sqlite };

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

// A usage error: what was wrong in one line, and where to read more.
int usageError(const std::string& what)
{
    std::fprintf(stderr, "tvdump: %s (tvdump --help shows the usage)\n", what.c_str());
    return 2;
}

struct Settings {
    Mode mode = Mode::Dump;
    std::string output = "-";
    bool json = false;       // --info --jsonl
    bool noBlobs = false;
    bool salvage = false;
    bool deleted = false;
    bool replace = false;
    std::vector<std::string> tables;   // --table names, for the files in order
    tvdump::ConvertOptions options;
};

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

// Opens a table for reading only (nothing beside it is applied or removed) and says on the
// error stream what was found and left alone.
std::unique_ptr<tv::TableFile> openForReading(const std::string& file, const tv::SalvageOptions& salvage)
{
    auto table = tv::openTableFile(file, salvage);
    for (const auto& notice : table->takeNotices())
        std::fprintf(stderr, "tvdump: note: %s\n", notice.c_str());
    return table;
}

// Opens a table as the settings ask; with --no-blobs a table whose memo file is missing or
// cannot be read is opened without it, with a warning.
std::unique_ptr<tv::TableFile> openInput(const std::string& file, const Settings& s)
{
    struct stat st;
    if (stat(file.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw std::runtime_error("is a directory");
    tv::SalvageOptions salvage;
    salvage.deletedRecords = s.deleted;
    salvage.withoutMemoFile = s.salvage;
    const auto warn = [&](const std::string& why) {
        std::fprintf(stderr, "tvdump: %s: warning: %smemo and blob fields are written as NULL\n", file.c_str(), why.c_str());
    };
    const auto hasMemoFields = [](const tv::TableFile& t) {
        return std::any_of(t.fields().begin(), t.fields().end(), [](const tv::FieldDef& f) {
            return tv::kindOf(f.type) == tv::FieldKind::Memo || tv::kindOf(f.type) == tv::FieldKind::Blob;
        });
    };
    if (s.salvage) {
        auto table = openForReading(file, salvage);
        if (hasMemoFields(*table))
            warn("the memo file is not read; ");
        return table;
    }
    try {
        return openForReading(file, salvage);
    } catch (const std::exception& e) {
        if (!s.noBlobs)
            throw;
        salvage.withoutMemoFile = true;
        std::unique_ptr<tv::TableFile> table;
        try {
            table = openForReading(file, salvage);
        } catch (const std::exception&) {
            throw std::runtime_error(messageFor(file, e));   // the memo file was not what stood in the way
        }
        warn(messageFor(file, e) + "; ");
        return table;
    }
}

std::string jsonString(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char u[8];
            std::snprintf(u, sizeof u, "\\u%04x", c);
            out += u;
        } else {
            out += char(c);
        }
    }
    return out + '"';
}

// --info: what the table is, as text or as one JSON object.
std::string describe(const tv::TableFile& t, const std::string& file, bool json)
{
    std::string out;
    const auto& fields = t.fields();
    const auto& indexes = t.indexes();
    if (json) {
        out = "{\"table\":" + jsonString(file) + ",\"format\":" + jsonString(t.formatName()) +
              ",\"codePage\":" + std::to_string(t.codePage()) + ",\"headerRecords\":" + std::to_string(t.headerRecordCount()) +
              ",\"records\":" + std::to_string(t.recordIds().size()) + ",\"fields\":[";
        for (size_t i = 0; i < fields.size(); ++i)
            out += std::string(i ? "," : "") + "{\"name\":" + jsonString(fields[i].name) + ",\"type\":" + jsonString(tv::typeLetter(fields[i].type)) +
                   ",\"length\":" + std::to_string(fields[i].size) + ",\"decimals\":" + std::to_string(fields[i].decimals) + '}';
        out += "],\"indexes\":[";
        for (size_t i = 0; i < indexes.size(); ++i) {
            const auto& ix = indexes[i];
            out += std::string(i ? "," : "") + "{\"name\":" + jsonString(ix.name) + ",\"fields\":[";
            for (size_t f = 0; f < ix.fields.size(); ++f)
                out += (f ? "," : "") + jsonString(ix.fields[f]);
            out += std::string("],\"expression\":") + (ix.expression ? jsonString(ix.expressionText) : "null") +
                   ",\"primary\":" + (ix.primary ? "true" : "false") + ",\"caseInsensitive\":" + (ix.caseInsensitive ? "true" : "false") +
                   ",\"descending\":" + (ix.descending ? "true" : "false") + '}';
        }
        return out + "]}\n";
    }
    out = "table\t" + file + "\nformat\t" + t.formatName() + "\ncode page\t" + std::to_string(t.codePage()) +
          "\nrecords\t" + std::to_string(t.recordIds().size()) + "\nrecords in header\t" + std::to_string(t.headerRecordCount()) +
          "\nfields\t" + std::to_string(fields.size()) + '\n';
    for (const auto& f : fields) {
        out += "field\t";
        tvdump::appendEscaped(out, f.name);
        out += '\t' + tv::typeLetter(f.type) + '\t' + std::to_string(f.size) + '\t' + std::to_string(f.decimals) + '\n';
    }
    out += "indexes\t" + std::to_string(indexes.size()) + '\n';
    for (const auto& ix : indexes) {
        out += "index\t";
        tvdump::appendEscaped(out, ix.name);
        out += '\t';
        tvdump::appendEscaped(out, ix.expression ? ix.expressionText : ix.fieldList());
        out += '\t';
        std::string flags = std::string(ix.primary ? "P" : "") + (ix.caseInsensitive ? "I" : "") + (ix.descending ? "D" : "") + (ix.expression ? "E" : "");
        out += (flags.empty() ? "-" : flags) + '\n';
    }
    return out;
}

// Every mode but --sqlite: one table to one output.
int convertOne(const Settings& s, const std::string& file)
{
    std::unique_ptr<tvdump::Output> out;
    try {
        tvdump::TableFiles reading;
        reading.add(file);
        out = std::make_unique<tvdump::Output>(s.output, reading);
    } catch (const std::exception& e) {
        return failure(s.output, e.what());
    }
    try {
        const auto table = openInput(file, s);
        Progress progress(file);
        tvdump::ConvertOptions options = s.options;
        options.progress = [&progress](size_t done, size_t total) { progress(done, total); };
        const auto flush = [&](std::string& text) { out->write(text); };
        std::string text;
        switch (s.mode) {
        case Mode::Csv: tvdump::writeCsv(*table, options, flush); break;
        case Mode::Jsonl: tvdump::writeJsonLines(*table, options, flush); break;
        case Mode::Indexes: text = tvdump::dumpIndexes(*table); break;
        case Mode::Info: text = describe(*table, file, s.json); break;
        case Mode::Dump:
            tvdump::dumpTable(*table, text, [](std::string& t, void* o) { static_cast<tvdump::Output*>(o)->write(t); }, out.get(), s.deleted);
            break;
        case Mode::Sqlite: break;
        }
        out->write(text);
    } catch (const tvdump::OutputError& e) {
        return failure(out->name(), e.what());
    } catch (const std::exception& e) {
        return failure(file, messageFor(file, e));
    }
    try {
        out->finish();
    } catch (const std::exception& e) {
        return failure(out->name(), e.what());
    }
    return 0;
}

#ifdef TV_HAVE_SQLITE
int convertSqlite(const std::string& output, const std::vector<std::string>& files, const Settings& s)
{
    namespace fs = std::filesystem;
    bool skipped = false;
    std::string current = output;
    try {
        tvdump::TableFiles inputs;
        for (const auto& file : files)
            inputs.add(file);
        tvdump::SqliteTarget target(output, inputs);
        {
            tvdump::SqliteOutput db(target.path(), target.fresh());
            std::set<std::string> names;
            for (size_t i = 0; i < files.size(); ++i) {
                const std::string& file = files[i];
                current = file;
                const std::string name = i < s.tables.size() ? s.tables[i] : fs::path(file).stem().string();
                if (!names.insert(tv::foldAsciiUpper(name)).second)
                    throw std::runtime_error("another table given is called \"" + name + "\" too (--table gives it another name)");
                const auto table = openInput(file, s);
                if (files.size() > 1 && tvdump::RecordReader(*table, s.options).columns().empty()) {
                    std::fprintf(stderr, "tvdump: %s: the table has no fields to make SQLite columns of; skipped\n", file.c_str());
                    skipped = true;
                    continue;
                }
                Progress progress(file);
                tvdump::ConvertOptions options = s.options;
                options.progress = [&progress](size_t done, size_t total) { progress(done, total); };
                db.add(*table, name, options, s.replace);
            }
            current = output;
            db.commit();
        }
        target.finish();
    } catch (const std::exception& e) {
        return failure(current, messageFor(current, e));
    }
    return skipped ? 3 : 0;
}
#endif

// "tab", "\t" or one character that no unquoted value holds: not a quote, a line end, or a
// character of numbers, dates, times and base64.
bool parseSeparator(const std::string& text, char& out)
{
    if (text == "tab" || text == "\\t" || text == "\t")
        out = '\t';
    else if (text.size() == 1 && !std::isalnum(static_cast<unsigned char>(text[0])) && std::strchr("\"\r\n.-+:/=", text[0]) == nullptr)
        out = text[0];
    else
        return false;
    return true;
}

std::vector<std::string> splitList(const std::string& text)
{
    std::vector<std::string> out;
    size_t at = 0;
    for (;;) {
        const size_t comma = text.find(',', at);
        out.push_back(text.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
        if (comma == std::string::npos)
            return out;
        at = comma + 1;
    }
}

} // namespace

int main(int argc, char** argv)
{
    Settings s;
    std::vector<std::string> files;
    std::string sqliteOut;
    bool info = false, outputGiven = false;
    std::set<std::string> given;   // the options met, for the checks after
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--") {
            files.insert(files.end(), argv + i + 1, argv + argc);
            break;
        }
        if (a.size() < 2 || a[0] != '-') {
            files.push_back(a);
            continue;
        }
        // --name=value is --name value.
        std::string value;
        bool haveValue = false;
        if (const auto eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = a.substr(eq + 1);
            a.erase(eq);
            haveValue = true;
        }
        static const std::set<std::string> takesValue = {"--sqlite", "-o", "--output", "--encoding", "--fields", "--separator", "--table"};
        const bool needsValue = takesValue.count(a) != 0;
        if (needsValue && !haveValue) {
            if (i + 1 >= argc)
                return usageError(a + " needs a value");
            value = argv[++i];
        } else if (!needsValue && haveValue) {
            return usageError(a + " takes no value");
        }
        const auto setMode = [&](Mode m) { return s.mode == Mode::Dump || s.mode == m; };
        given.insert(a);
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("tvdump (Tipvault) %s\n", TV_VERSION);
            return 0;
        } else if (a == "--indexes" || a == "--csv" || a == "--jsonl" || a == "--sqlite") {
            const Mode m = a == "--indexes" ? Mode::Indexes : a == "--csv" ? Mode::Csv : a == "--jsonl" ? Mode::Jsonl : Mode::Sqlite;
            if (!setMode(m))
                return usageError(a + " cannot be combined with another output format");
            s.mode = m;
            if (m == Mode::Sqlite)
                sqliteOut = value;
        } else if (a == "--info" || a == "--schema") {
            info = true;
        } else if (a == "-o" || a == "--output") {
            s.output = value;
            outputGiven = true;
        } else if (a == "--encoding") {
            s.options.codePage = tvdump::parseCodePage(value);
            if (s.options.codePage == 0)
                return usageError("unknown code page '" + value + "'; name " + tv::kCodePageNaming);
        } else if (a == "--fields") {
            s.options.fields = splitList(value);
            if (std::any_of(s.options.fields.begin(), s.options.fields.end(), [](const std::string& f) { return f.empty(); }))
                return usageError("--fields needs field names separated by commas");
        } else if (a == "--separator") {
            if (!parseSeparator(value, s.options.separator))
                return usageError("--separator needs 'tab' or one character that is not a letter, a digit, a quote, a line end or one of .-+:/=");
        } else if (a == "--table") {
            if (value.empty())
                return usageError("--table needs a name");
            s.tables.push_back(value);
        } else if (a == "--no-header") {
            s.options.header = false;
        } else if (a == "--no-blobs") {
            s.noBlobs = true;
            s.options.blobs = false;
        } else if (a == "--salvage") {
            s.salvage = true;
        } else if (a == "--deleted") {
            s.deleted = true;
            s.options.deletedColumn = true;
        } else if (a == "--replace") {
            s.replace = true;
        } else {
            return usageError("unknown option '" + a + "'");
        }
    }
    if (info) {
        if (s.mode != Mode::Dump && s.mode != Mode::Jsonl)
            return usageError("--info is written as text or, with --jsonl, as JSON only");
        s.json = s.mode == Mode::Jsonl;
        s.mode = Mode::Info;
    }
    const bool converting = s.mode == Mode::Csv || s.mode == Mode::Jsonl || s.mode == Mode::Sqlite;
    const auto only = [&](const char* option, bool allowed, const char* where) {
        return given.count(option) && !allowed ? usageError(std::string(option) + " goes with " + where) : 0;
    };
    for (const char* o : {"--encoding", "--fields", "--no-blobs"})
        if (const int rc = only(o, converting, "--csv, --jsonl or --sqlite"))
            return rc;
    for (const char* o : {"--separator", "--no-header"})
        if (const int rc = only(o, s.mode == Mode::Csv, "--csv"))
            return rc;
    for (const char* o : {"--replace", "--table"})
        if (const int rc = only(o, s.mode == Mode::Sqlite, "--sqlite"))
            return rc;
    if (const int rc = only("--deleted", converting || s.mode == Mode::Dump, "the dump, --csv, --jsonl or --sqlite"))
        return rc;
    if (outputGiven && s.mode == Mode::Sqlite)
        return usageError("--sqlite names its database itself; -o goes with the other formats");
    if (files.empty())
        return usageError("no table file given");
    if (s.mode != Mode::Sqlite && files.size() > 1)
        return usageError("one table file at a time (only --sqlite takes several)");
    if (s.tables.size() > files.size())
        return usageError("more --table names than table files");
    if (s.mode == Mode::Sqlite && sqliteOut == "-")
        return usageError("an SQLite database cannot go to standard output");
    if (converting || s.output != "-")
        tvdump::dropPendingOnSignals();
    if (s.mode != Mode::Sqlite)
        return convertOne(s, files[0]);
#ifdef TV_HAVE_SQLITE
    return convertSqlite(sqliteOut, files, s);
#else
    std::fputs("tvdump: this build has no SQLite support\n", stderr);
    return 1;
#endif
}
