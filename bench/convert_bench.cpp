// convert: tvdump's conversions of the generated Paradox table, beside SQLite doing the same
// work on the same data: CSV out of the table vs CSV out of an SQLite copy (as `sqlite3 -csv`
// writes it), and the table into SQLite vs importing the CSV into SQLite (as `.import` does).
#include "bench.h"
#include "gen_paradox.h"

#include "convert.h"

#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#ifdef TV_HAVE_SQLITE
#include "tosqlite.h"
#include <sqlite3.h>
#endif

namespace {

// Heap bytes in use (what malloc has handed out and not taken back).
long long heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return (long long)(m.uordblks + m.hblkhd);
}

struct OutFile {
    std::FILE* f;
    explicit OutFile(const std::string& path) : f(std::fopen(path.c_str(), "wb"))
    {
        if (!f)
            throw std::runtime_error("cannot create " + path);
    }
    ~OutFile() { std::fclose(f); }
    void write(std::string& text)
    {
        std::fwrite(text.data(), 1, text.size(), f);
        text.clear();
    }
};

#ifdef TV_HAVE_SQLITE
void check(int rc, sqlite3* db, const char* what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

// Every row of `table` as CSV the way the sqlite3 shell's -csv mode writes it: the column names
// first, text quoted when it holds a comma, quote or line break, rows ended by CRLF.
void exportCsv(const std::string& dbPath, const std::string& table, const std::string& csvPath)
{
    sqlite3* db = nullptr;
    check(sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), db, "open");
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, ("SELECT * FROM " + tvdump::quoteIdentifier(table)).c_str(), -1, &st, nullptr), db, "select");
    OutFile out(csvPath);
    std::string text;
    const int n = sqlite3_column_count(st);
    auto put = [&text](const char* s, size_t len, bool quoteAlways) {
        const std::string_view v(s, len);
        if (!quoteAlways && v.find_first_of(",\"\r\n") == std::string_view::npos) {
            text += v;
            return;
        }
        text += '"';
        for (char c : v) {
            text += c;
            if (c == '"')
                text += '"';
        }
        text += '"';
    };
    for (int c = 0; c < n; ++c) {
        if (c)
            text += ',';
        const char* name = sqlite3_column_name(st, c);
        put(name, std::strlen(name), false);
    }
    text += "\r\n";
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < n; ++c) {
            if (c)
                text += ',';
            if (sqlite3_column_type(st, c) == SQLITE_NULL)
                continue;
            const auto* v = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            put(v, size_t(sqlite3_column_bytes(st, c)), false);
        }
        text += "\r\n";
        if (text.size() >= (1u << 20))
            out.write(text);
    }
    out.write(text);
    sqlite3_finalize(st);
    sqlite3_close(db);
}

// Reads a CSV file into a new table of TEXT columns named by its header row, in one
// transaction through one prepared statement, the way the sqlite3 shell's .import does.
void importCsv(const std::string& csvPath, const std::string& dbPath)
{
    std::filesystem::remove(dbPath);
    std::FILE* in = std::fopen(csvPath.c_str(), "rb");
    if (!in)
        throw std::runtime_error("cannot read " + csvPath);
    sqlite3* db = nullptr;
    check(sqlite3_open(dbPath.c_str(), &db), db, "open");
    check(sqlite3_exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;", nullptr, nullptr, nullptr), db, "begin");
    std::vector<char> buf(1 << 20);
    size_t len = 0, pos = 0;
    bool eof = false;
    auto next = [&]() -> int {
        if (pos == len) {
            if (eof)
                return -1;
            len = std::fread(buf.data(), 1, buf.size(), in);
            pos = 0;
            if (len == 0) {
                eof = true;
                return -1;
            }
        }
        return static_cast<unsigned char>(buf[pos++]);
    };
    std::vector<std::string> fields;
    // One record into `fields`; false at the end of the file.
    auto readRecord = [&]() {
        fields.assign(1, std::string());
        int c = next();
        if (c < 0)
            return false;
        bool quoted = false;
        for (; c >= 0; c = next()) {
            if (quoted) {
                if (c == '"') {
                    c = next();
                    if (c != '"') {
                        quoted = false;
                        if (c < 0)
                            break;
                        goto plain;
                    }
                }
                fields.back() += char(c);
                continue;
            }
        plain:
            if (c == '"' && fields.back().empty())
                quoted = true;
            else if (c == ',')
                fields.emplace_back();
            else if (c == '\n')
                break;
            else if (c != '\r')
                fields.back() += char(c);
        }
        return true;
    };
    readRecord();
    std::string create = "CREATE TABLE imported(", insert = "INSERT INTO imported VALUES(";
    for (size_t i = 0; i < fields.size(); ++i) {
        create += (i ? ", " : "") + tvdump::quoteIdentifier(fields[i]) + " TEXT";
        insert += i ? ",?" : "?";
    }
    const size_t columns = fields.size();
    check(sqlite3_exec(db, (create + ")").c_str(), nullptr, nullptr, nullptr), db, "create");
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, (insert + ")").c_str(), -1, &st, nullptr), db, "insert");
    while (readRecord()) {
        for (size_t i = 0; i < columns; ++i) {
            if (i < fields.size())
                sqlite3_bind_text(st, int(i) + 1, fields[i].data(), int(fields[i].size()), SQLITE_STATIC);
            else
                sqlite3_bind_null(st, int(i) + 1);
        }
        check(sqlite3_step(st), db, "insert");
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    check(sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr), db, "commit");
    sqlite3_close(db);
    std::fclose(in);
}
#endif

void convertBench(const tvbench::Options& opt)
{
    const std::string path = tvbench::ensureParadoxBench(opt.workDir, opt.records);
    const std::string csvPath = opt.workDir + "/convert.csv";
    const auto table = tv::openTableFile(path);

    // Peak growth of the heap during the conversion, sampled as it goes.
    const long long heapBefore = heapInUse();
    long long heapPeak = heapBefore;
    tvdump::ConvertOptions options;
    options.progress = [&heapPeak](size_t, size_t) { heapPeak = std::max(heapPeak, heapInUse()); };
    double csvSeconds = 0;
    {
        OutFile out(csvPath);
        tvbench::Stopwatch sw;
        tvdump::writeCsv(*table, options, [&out](std::string& text) { out.write(text); });
        std::fflush(out.f);
        csvSeconds = sw.seconds();
    }
    tvbench::report("convert.csv.seconds", csvSeconds, "s");
    tvbench::report("convert.csv.memory.bytes", double(heapPeak - heapBefore), "bytes");
    tvbench::report("convert.csv.bytes", double(std::filesystem::file_size(csvPath)), "bytes");

#ifdef TV_HAVE_SQLITE
    const std::string dbPath = opt.workDir + "/convert.sqlite", sqliteCsvPath = opt.workDir + "/convert-sqlite.csv",
                      importPath = opt.workDir + "/convert-import.sqlite";
    std::filesystem::remove(dbPath);
    double sqliteSeconds = 0;
    {
        tvbench::Stopwatch sw;
        tvdump::SqliteOutput db(dbPath, true);
        db.add(*table, "notes", options, false);
        db.commit();
        sqliteSeconds = sw.seconds();
    }
    tvbench::Stopwatch exportTimer;
    exportCsv(dbPath, "notes", sqliteCsvPath);
    const double exportSeconds = exportTimer.seconds();
    tvbench::Stopwatch importTimer;
    importCsv(csvPath, importPath);
    const double importSeconds = importTimer.seconds();

    tvbench::report("convert.csv.sqlite.seconds", exportSeconds, "s");
    tvbench::report("convert.csv.vs_sqlite", exportSeconds / csvSeconds, "x");
    tvbench::report("convert.sqlite.seconds", sqliteSeconds, "s");
    tvbench::report("convert.sqlite.import.seconds", importSeconds, "s");
    tvbench::report("convert.sqlite.vs_import", importSeconds / sqliteSeconds, "x");
    // The sqlite3 shell itself, when it is installed.
    if (std::system("command -v sqlite3 > /dev/null 2>&1") == 0) {
        tvbench::Stopwatch shellExport;
        const int exportRc = std::system(("sqlite3 -csv -header '" + dbPath + "' 'SELECT * FROM notes' > '" + sqliteCsvPath + "'").c_str());
        const double shellExportSeconds = shellExport.seconds();
        std::filesystem::remove(importPath);
        tvbench::Stopwatch shellImport;
        const int importRc = std::system(("sqlite3 '" + importPath + "' '.import --csv " + csvPath + " notes'").c_str());
        const double shellImportSeconds = shellImport.seconds();
        if (exportRc == 0 && importRc == 0) {
            tvbench::report("convert.csv.vs_sqlite_shell", shellExportSeconds / csvSeconds, "x");
            tvbench::report("convert.sqlite.vs_shell_import", shellImportSeconds / sqliteSeconds, "x");
        }
    }
    for (const auto& p : {dbPath, sqliteCsvPath, importPath})
        std::filesystem::remove(p);
#endif
    std::filesystem::remove(csvPath);
}

} // namespace

TVBENCH("convert", convertBench);
