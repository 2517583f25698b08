// paradox.scan: opening a generated Paradox table and reading every field of every record,
// beside SQLite reading the same data.
#include "bench.h"
#include "gen_paradox.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#ifdef TV_HAVE_SQLITE
#include <sqlite3.h>
#endif

namespace {

long long statusBytes(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, n, key) == 0)
            return std::atoll(line.c_str() + n) * 1024;
    return 0;
}

#ifdef TV_HAVE_SQLITE
std::string ensureSqliteBench(const std::string& dir, long records)
{
    const std::string path = dir + "/notes" + std::to_string(records) + ".sqlite";
    const std::string done = path + ".complete";
    if (std::filesystem::exists(done) && std::filesystem::exists(path))
        return path;
    std::filesystem::remove(path);
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot create " + path);
    sqlite3_exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                     "CREATE TABLE notes(id INTEGER PRIMARY KEY, title TEXT, count INTEGER, price REAL, day INTEGER, done INTEGER, body TEXT);"
                     "BEGIN;",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO notes VALUES(?,?,?,?,?,?,?)", -1, &st, nullptr);
    tvbench::BenchNote note;
    for (long n = 0; n < records; ++n) {
        tvbench::benchNote(n, note);
        sqlite3_bind_int64(st, 1, note.id);
        sqlite3_bind_text(st, 2, note.title.data(), int(note.title.size()), SQLITE_STATIC);
        sqlite3_bind_int64(st, 3, note.count);
        sqlite3_bind_double(st, 4, note.price);
        sqlite3_bind_int64(st, 5, note.day.day);
        sqlite3_bind_int64(st, 6, note.done);
        sqlite3_bind_text(st, 7, note.body.data(), int(note.body.size()), SQLITE_STATIC);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    std::ofstream(done).put('\n');
    return path;
}

double scanSqlite(const std::string& path, size_t& checksum)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    tvbench::Stopwatch sw;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT id, title, count, price, day, done, body FROM notes", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        checksum += size_t(sqlite3_column_int64(st, 0));
        checksum += size_t(sqlite3_column_bytes(st, 1)) + (sqlite3_column_text(st, 1) ? 1 : 0);
        checksum += size_t(sqlite3_column_int64(st, 2));
        checksum += size_t(sqlite3_column_double(st, 3));
        checksum += size_t(sqlite3_column_int64(st, 4));
        checksum += size_t(sqlite3_column_int64(st, 5));
        const unsigned char* body = sqlite3_column_text(st, 6);
        checksum += size_t(sqlite3_column_bytes(st, 6)) + (body ? body[0] : 0);
    }
    sqlite3_finalize(st);
    const double seconds = sw.seconds();
    sqlite3_close(db);
    return seconds;
}
#endif

void paradoxScan(const tvbench::Options& opt)
{
    const std::string path = tvbench::ensureParadoxBench(opt.workDir, opt.records);
#ifdef TV_HAVE_SQLITE
    const std::string sqlitePath = ensureSqliteBench(opt.workDir, opt.records);
#endif
    const long long anonBefore = statusBytes("RssAnon:"), fileBefore = statusBytes("RssFile:");
    tvbench::Stopwatch openTimer;
    const auto table = tv::openTableFile(path);
    const double openSeconds = openTimer.seconds();

    size_t checksum = 0;
    tvbench::Stopwatch scanTimer;
    const int nFields = int(table->fields().size());
    for (tv::RecordId id : table->recordIds())
        for (int f = 0; f < nFields; ++f) {
            const tv::Value v = table->value(id, f);
            if (const auto* s = std::get_if<std::string>(&v))
                checksum += s->size() + size_t(s->empty() ? 0 : (unsigned char)(*s)[0]);
            else
                checksum += v.index();
        }
    const double scanSeconds = scanTimer.seconds();
    if (table->recordIds().size() != size_t(opt.records))
        std::fprintf(stderr, "paradox.scan: expected %ld records, read %zu\n", opt.records, table->recordIds().size());

    tvbench::report("open.paradox.seconds", openSeconds, "s");
    tvbench::report("scan.paradox.seconds", scanSeconds, "s");
    tvbench::report("memory.paradox.bytes", double(statusBytes("RssAnon:") - anonBefore), "bytes");
    tvbench::report("memory.paradox.mapped.bytes", double(statusBytes("RssFile:") - fileBefore), "bytes");
#ifdef TV_HAVE_SQLITE
    size_t sqliteChecksum = 0;
    const double sqliteSeconds = scanSqlite(sqlitePath, sqliteChecksum);
    tvbench::report("scan.sqlite.seconds", sqliteSeconds, "s");
    tvbench::report("scan.paradox.vs_sqlite", sqliteSeconds / scanSeconds, "x");
#endif
    if (checksum == 1)
        std::puts("");
}

} // namespace

TVBENCH("paradox.scan", paradoxScan);
