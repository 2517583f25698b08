// Saving the private notes base: the machine's fsync time, and one post or delete followed by
// the save the program makes after it (Table::saveChanges: the change is on disk when it
// returns), in a base of 1,000 notes and in one of --records notes (1,000,000 by default),
// beside SQLite committing the same change to a table of the same size and shape in its
// default rollback-journal mode with synchronous=FULL.
//
// The bases are written once per run into a fresh folder under the work folder, which is
// removed at the end.

#include "bench.h"

#include "engine/dataset/table.h"
#include "synth.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

#ifdef TV_HAVE_SQLITE
#include <sqlite3.h>
#endif

namespace {

namespace fs = std::filesystem;
using mkbases::Base;

constexpr long kSmall = 1000;
constexpr uint64_t kSeed = 1;

const mkbases::BaseDef& privateDef() { return mkbases::baseDef(Base::Private); }

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The median of this many changes, on either side (a save takes about a millisecond on a
// base of any size; the first one also reads the table's block chains).
int runsFor(long) { return 15; }

// The run's folder with the bases, made on first use and removed at exit.
class Workspace {
public:
    static Workspace& get(const tvbench::Options& opt)
    {
        static Workspace w(opt.workDir);
        return w;
    }
    ~Workspace()
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    const std::string& dir() const { return dir_; }
    std::string sqlite(long records) const { return dir_ + "/private" + std::to_string(records) + ".sqlite"; }

    // The private base of that many notes, written through the engine on first use.
    std::string paradox(long records)
    {
        const std::string path = dir_ + "/px" + std::to_string(records) + "/private.db";
        if (fs::exists(path))
            return path;
        fs::create_directories(fs::path(path).parent_path());
        tvbench::Stopwatch sw;
        {
            auto file = tv::createParadoxTable(path, privateDef().spec);
            for (long i = 0; i < records; ++i)
                file->insert(mkbases::synthRecord(privateDef(), kSeed, uint64_t(i)));
            file->flush();
        }
        tvbench::report("private.create_" + std::to_string(records) + ".seconds", sw.seconds(), "s");
        return path;
    }

private:
    explicit Workspace(const std::string& parent)
    {
        fs::create_directories(parent);
        std::string pattern = parent + "/private-XXXXXX";
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a folder in " + parent);
        dir_ = pattern;
    }
    std::string dir_;
};

// Runs a benchmark body; a failure is told on stderr and the other benchmarks still run.
template <class Fn>
void guarded(const char* name, Fn&& fn)
{
    try {
        fn();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tvbench: %s: %s\n", name, e.what());
    }
}

void benchFsync(const tvbench::Options& opt)
{
    guarded("fsync", [&] {
        const std::string path = Workspace::get(opt).dir() + "/fsync.probe";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0)
            throw std::runtime_error("cannot create " + path);
        const std::string block(4096, 'x');
        std::vector<double> times;
        for (int i = 0; i < 11; ++i) {
            tvbench::Stopwatch sw;
            const bool ok = ::pwrite(fd, block.data(), block.size(), 0) == ssize_t(block.size()) && ::fsync(fd) == 0;
            times.push_back(sw.seconds());
            if (!ok) {
                ::close(fd);
                throw std::runtime_error("cannot write " + path);
            }
        }
        ::close(fd);
        fs::remove(path);
        tvbench::report("fsync.seconds", median(times), "s");
    });
}

// One post or delete and the save after it, timed on the private base of `records` notes.
// Deletes take a note from the middle.
double timeChanges(Workspace& w, long records, bool deleting)
{
    tv::Table t;
    t.open(w.paradox(records), tv::OpenMode::ReadWrite);
    std::vector<double> times;
    for (int k = 0; k < runsFor(records); ++k) {
        if (deleting) {
            t.moveTo(t.recordCount() / 2);
            tvbench::Stopwatch sw;
            t.remove();
            t.saveChanges();
            times.push_back(sw.seconds());
        } else {
            // As the program does: one more than the largest ID (record i carries the ID i + 1).
            const tv::Record note = mkbases::synthRecord(privateDef(), kSeed, uint64_t(t.largestInteger(0)));
            tvbench::Stopwatch sw;
            t.append();
            for (size_t f = 0; f < note.size(); ++f)
                t.setValue(int(f), note[f]);
            t.post();
            t.saveChanges();
            times.push_back(sw.seconds());
        }
    }
    return median(times);
}

#ifdef TV_HAVE_SQLITE
// The private base's table in SQLite: the same columns, key and indexes.
class SqlitePrivate {
public:
    // Opens the table at `path`, first writing it with that many notes when it is not there.
    SqlitePrivate(const std::string& path, long records)
    {
        const auto& spec = privateDef().spec;
        std::string marks;
        for (size_t f = 0; f < spec.fields.size(); ++f)
            marks += f ? ",?" : "?";
        const std::string insertSql = "INSERT INTO private VALUES(" + marks + ")";
        if (!fs::exists(path)) {
            open(path);
            exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-500000");
            std::string create = "CREATE TABLE private(";
            for (size_t f = 0; f < spec.fields.size(); ++f) {
                const tv::FieldDef& d = spec.fields[f];
                create += (f ? ", \"" : "\"") + d.name + "\"";
                create += f == 0 ? " INTEGER PRIMARY KEY" : (d.type == tv::FieldType::Date ? " INTEGER" : " TEXT");
            }
            exec(create + ")");
            insert_ = prepare(insertSql);
            exec("BEGIN");
            for (long i = 0; i < records; ++i)
                insert(mkbases::synthRecord(privateDef(), kSeed, uint64_t(i)));
            exec("COMMIT");
            for (const tv::IndexDef& x : spec.secondary)
                exec("CREATE INDEX \"" + x.name + "\" ON private(\"" + x.fields.front() + "\"" +
                     (x.caseInsensitive ? " COLLATE NOCASE)" : ")"));
            sqlite3_finalize(insert_);
            sqlite3_close(db_);
        }
        // As a program would use it: the default journal, every commit durable.
        open(path);
        exec("PRAGMA synchronous=FULL");
        insert_ = prepare(insertSql);
        remove_ = prepare("DELETE FROM private WHERE \"" + spec.fields.front().name + "\" = ?");
    }
    ~SqlitePrivate()
    {
        sqlite3_finalize(insert_);
        sqlite3_finalize(remove_);
        sqlite3_close(db_);
    }

    double timeChanges(long records, bool deleting)
    {
        std::vector<double> times;
        for (int k = 0; k < runsFor(records); ++k) {
            const tv::Record note = mkbases::synthRecord(privateDef(), kSeed, uint64_t(records + k));
            tvbench::Stopwatch sw;
            exec("BEGIN");
            if (deleting) {
                sqlite3_bind_int64(remove_, 1, records / 2 + k);
                step(remove_);
            } else {
                insert(note);
            }
            exec("COMMIT");
            times.push_back(sw.seconds());
        }
        return median(times);
    }

private:
    void open(const std::string& path)
    {
        if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path);
    }
    void exec(const std::string& sql)
    {
        char* error = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string text = error ? error : "failed";
            sqlite3_free(error);
            throw std::runtime_error("SQLite: " + sql + ": " + text);
        }
    }
    sqlite3_stmt* prepare(const std::string& sql)
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string("SQLite: ") + sqlite3_errmsg(db_));
        return st;
    }
    void step(sqlite3_stmt* st)
    {
        const int rc = sqlite3_step(st);
        sqlite3_reset(st);
        if (rc != SQLITE_DONE)
            throw std::runtime_error(std::string("SQLite: ") + sqlite3_errmsg(db_));
    }
    void insert(const tv::Record& note)
    {
        for (size_t f = 0; f < note.size(); ++f) {
            const int col = int(f) + 1;
            const tv::Value& v = note[f];
            if (const auto* n = std::get_if<int64_t>(&v))
                sqlite3_bind_int64(insert_, col, *n);
            else if (const auto* s = std::get_if<std::string>(&v))
                sqlite3_bind_text(insert_, col, s->data(), int(s->size()), SQLITE_TRANSIENT);
            else if (const auto* d = std::get_if<tv::Date>(&v))
                sqlite3_bind_int64(insert_, col, d->day);
            else
                sqlite3_bind_null(insert_, col);
        }
        step(insert_);
    }

    sqlite3* db_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* remove_ = nullptr;
};
#endif

// post.private_* or delete.private_*: the base of 1,000 notes ("1k"), then the one of
// --records notes ("1m") beside SQLite.
void benchChanges(const tvbench::Options& opt, bool deleting)
{
    const std::string what = deleting ? "delete" : "post";
    guarded(deleting ? "delete.private" : "post.private", [&] {
        Workspace& w = Workspace::get(opt);
        tvbench::report(what + ".private_1k.seconds", timeChanges(w, kSmall, deleting), "s");
        const std::string name = what + ".private_1m";
        tvbench::report(name + ".records", double(opt.records), "notes");
        const double ours = timeChanges(w, opt.records, deleting);
        tvbench::report(name + ".seconds", ours, "s");
#ifdef TV_HAVE_SQLITE
        const double theirs = SqlitePrivate(w.sqlite(opt.records), opt.records).timeChanges(opt.records, deleting);
        tvbench::report("sqlite." + name + ".seconds", theirs, "s");
        tvbench::report(name + ".vs_sqlite", theirs / ours, "x");
#endif
    });
}

void benchPost(const tvbench::Options& opt) { benchChanges(opt, false); }
void benchDelete(const tvbench::Options& opt) { benchChanges(opt, true); }

TVBENCH("fsync", benchFsync);
TVBENCH("post.private", benchPost);
TVBENCH("delete.private", benchDelete);

} // namespace
