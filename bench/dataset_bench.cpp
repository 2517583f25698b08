// Dataset level figures: filter, order, locate and memory of an open table of generated
// records (short text fields and a memo of ~600 bytes of mixed-case English-like text),
// beside SQLite on the same data in the same run.
//
// Each timing is printed twice: elapsed time (`.seconds`) and the processor time of the
// whole process, every thread counted (`.cpu_seconds`). A filter over many records runs on
// all cores, so the two differ there. `.vs_sqlite` compares elapsed times, what a user waits
// for; `.vs_sqlite_cpu` compares processor time (SQLite uses one thread).

#include "bench.h"
#include "gen_paradox.h"

#include "engine/dataset/memorytable.h"
#include "engine/dataset/table.h"
#include "engine/dataset/textscan.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#ifdef TV_HAVE_SQLITE
#include <sqlite3.h>
#endif

namespace {

using namespace tv;

const char* const kWords[] = {
    "the", "of", "and", "to", "in", "is", "that", "for", "it", "as", "with", "was", "on", "be", "at", "by", "this",
    "have", "from", "or", "one", "had", "not", "but", "what", "all", "were", "when", "we", "there", "can", "an",
    "your", "which", "their", "said", "if", "do", "will", "each", "about", "how", "up", "out", "them", "then",
    "she", "many", "some", "so", "these", "would", "other", "into", "has", "more", "her", "two", "like", "him",
    "see", "time", "could", "no", "make", "than", "first", "been", "its", "who", "now", "people", "my", "made",
    "over", "did", "down", "only", "way", "find", "use", "may", "water", "long", "little", "very", "after",
    "words", "called", "just", "where", "most", "know", "form", "component", "database", "table", "record",
    "field", "index", "query", "string", "integer", "memo", "window", "button", "event", "handler", "property",
    "method", "class", "object", "pointer", "memory", "printer", "report", "grid", "cursor", "file", "folder",
    "program", "compiler", "linker", "unit", "package", "library", "version", "release", "install", "setup",
    "Delphi", "Pascal", "Windows", "TForm", "TTable", "TQuery", "TDataSource", "VCL", "BDE", "API", "DLL",
    "value", "default", "option", "error", "exception", "message", "dialog", "control", "edit", "label", "panel",
    "menu", "toolbar", "status", "bitmap", "image", "picture", "font", "color", "canvas", "draw", "paint",
};
constexpr size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);
const char* const kFirst[] = {"John", "Mary", "Peter", "Anna", "Mark", "Julia", "Steve", "Laura", "David", "Nina"};
const char* const kLast[] = {"Smith", "Miller", "Brown", "Wilson", "Taylor", "Clark", "Lewis", "Walker", "Young", "King",
                             "Wright", "Green", "Baker", "Adams", "Nelson", "Hill", "Scott", "Moore", "Allen", "Hall"};
const char* const kCategory[] = {"Database", "Forms", "Graphics", "Internet", "Printing", "System", "Tools", "VCL"};

// The memo word searched for, put into about one memo in 500; and the short-field words.
const char* const kMemoWord = "bookmark";
const char* const kTitleWord = "quer";     // inside "query", "TQuery"
const char* const kPrefix = "data";        // titles beginning with "Database"
const char* const kExactName = "Anna Walker";

struct Generated {
    std::unique_ptr<MemoryTable> file;
    size_t memoBytes = 0;
};

void appendWord(std::string& s, std::mt19937& rng, bool capital)
{
    std::string w = kWords[rng() % kWordCount];
    if (capital && w[0] >= 'a' && w[0] <= 'z')
        w[0] = char(w[0] - 32);
    s += w;
}

Generated generate(long n)
{
    TableSpec spec;
    auto field = [](const char* name, FieldType t, int size) {
        FieldDef f;
        f.name = name;
        f.type = t;
        f.size = size;
        return f;
    };
    spec.fields = {field("ID", FieldType::Long, 4), field("Title", FieldType::Alpha, 30), field("Name", FieldType::Alpha, 20),
                   field("Category", FieldType::Alpha, 10), field("Description", FieldType::Memo, 10)};
    IndexDef byTitle;
    byTitle.name = "TitleCI";
    byTitle.fields = {"Title"};
    byTitle.caseInsensitive = true;
    spec.secondary = {byTitle};
    Generated g;
    g.file = std::make_unique<MemoryTable>(spec, "generated");
    g.file->reserve(size_t(n));
    std::mt19937 rng(20261207);
    std::string title, memo;
    for (long i = 0; i < n; ++i) {
        title.clear();
        while (title.size() < 22) {
            if (!title.empty())
                title += ' ';
            appendWord(title, rng, true);
        }
        if (title.size() > 30)
            title.resize(30);
        memo.clear();
        bool sentenceStart = true;
        while (memo.size() < 600) {
            if (!memo.empty())
                memo += ' ';
            if (rng() % 2600 == 0)
                memo += (rng() % 2) ? "Bookmark" : kMemoWord;
            else
                appendWord(memo, rng, sentenceStart || rng() % 9 == 0);
            sentenceStart = false;
            if (rng() % 11 == 0) {
                memo += (rng() % 4 == 0) ? ".\r\n" : ".";
                sentenceStart = true;
            }
        }
        g.memoBytes += memo.size();
        const std::string name = std::string(kFirst[rng() % 10]) + " " + kLast[rng() % 20];
        g.file->insert({Value(int64_t(i + 1)), Value(title), Value(name), Value(std::string(kCategory[rng() % 8])), Value(memo)});
    }
    return g;
}

// The processor time of the process: all its threads.
double cpuNow()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

struct Timing {
    double wall = 1e300;
    double cpu = 1e300;
};

template <class Fn>
Timing bestOf(int runs, Fn&& fn)
{
    Timing best;
    for (int i = 0; i < runs; ++i) {
        const double c0 = cpuNow();
        tvbench::Stopwatch sw;
        fn();
        best.wall = std::min(best.wall, sw.seconds());
        best.cpu = std::min(best.cpu, cpuNow() - c0);
    }
    return best;
}

void reportTiming(const std::string& name, const Timing& t)
{
    tvbench::report(name + ".seconds", t.wall, "s");
    tvbench::report(name + ".cpu_seconds", t.cpu, "s");
}

void reportRatio(const std::string& name, const Timing& theirs, const Timing& ours)
{
    tvbench::report(name + ".vs_sqlite", theirs.wall / ours.wall, "x");
    tvbench::report(name + ".vs_sqlite_cpu", theirs.cpu / ours.cpu, "x");
}

FieldCondition condition(const char* field, FilterMatchType type, const char* value)
{
    FieldCondition c;
    c.fieldName = field;
    c.matchType = type;
    c.value = value;
    return c;
}

#ifdef TV_HAVE_SQLITE
class Sqlite {
public:
    Sqlite()
    {
        sqlite3_open(":memory:", &db_);
        exec("PRAGMA journal_mode=OFF");
        exec("PRAGMA synchronous=OFF");
        exec("PRAGMA cache_size=-2000000");
        exec("CREATE TABLE t(id INTEGER, title TEXT, name TEXT, category TEXT, description TEXT)");
    }
    ~Sqlite() { sqlite3_close(db_); }

    void exec(const char* sql) { sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }

    void load(const TableFile& file)
    {
        exec("BEGIN");
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db_, "INSERT INTO t VALUES(?,?,?,?,?)", -1, &st, nullptr);
        for (RecordId id : file.recordIds()) {
            sqlite3_bind_int64(st, 1, std::get<int64_t>(file.value(id, 0)));
            for (int f = 1; f <= 4; ++f) {
                const std::string_view s = file.rawText(id, f);
                sqlite3_bind_text(st, f + 1, s.data(), int(s.size()), SQLITE_STATIC);
            }
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        exec("COMMIT");
    }

    long count(const std::string& sql)
    {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr);
        long n = 0;
        if (sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        return n;
    }

private:
    sqlite3* db_ = nullptr;
};
#endif

void benchDataset(const tvbench::Options& opt)
{
    const long n = opt.records;
    tvbench::Stopwatch genWatch;
    Generated g = generate(n);
    const MemoryTable* file = g.file.get();
    tvbench::report("dataset.generate.seconds", genWatch.seconds(), "s");
    tvbench::report("dataset.memo.bytes", double(g.memoBytes), "bytes");

    // The machine's memchr over the same number of bytes, in one piece.
    std::string memoCopy;
    memoCopy.reserve(g.memoBytes);
    for (RecordId id : file->recordIds())
        memoCopy.append(file->rawText(id, 4));
    const void* volatile sink = nullptr;
    const Timing memchrTime = bestOf(5, [&] { sink = std::memchr(memoCopy.data(), 1, memoCopy.size()); });
    (void)sink;
    // One thread, so elapsed and processor time agree on an idle machine.
    const double memchrGbps = double(memoCopy.size()) / memchrTime.wall / 1e9;
    tvbench::report("memchr.bandwidth.gbps", memchrGbps, "GB/s");
    std::string().swap(memoCopy);

    const long long rssBefore = tvbench::currentRssBytes();
    Table t;
    tvbench::Stopwatch openWatch;
    t.open(std::move(g.file));
    tvbench::report("dataset.open.seconds", openWatch.seconds(), "s");
    tvbench::report("dataset.vector", 0, TextScanner::vectorKind());

    // The first filter on a short field also gathers the field's text column (kept until
    // the data changes); later filters on that field scan the column only. Both are shown.
    auto filterSeconds = [&](const FieldCondition& c, long& hits) {
        tvbench::Stopwatch first;
        t.setFilter({c});
        tvbench::report(std::string("filter.") + c.fieldName + "." + std::to_string(int(c.matchType)) + ".first_seconds",
                        first.seconds(), "s");
        const Timing s = bestOf(3, [&] { t.setFilter({c}); });
        hits = t.recordCount();
        t.clearFilter();
        return s;
    };

    long memoHits = 0, anyHits = 0, prefixHits = 0, exactHits = 0;
    const Timing memoAny = filterSeconds(condition("Description", fdMatchAny, kMemoWord), memoHits);
    const Timing shortAny = filterSeconds(condition("Title", fdMatchAny, kTitleWord), anyHits);
    const Timing shortPrefix = filterSeconds(condition("Title", fdMatchStart, kPrefix), prefixHits);
    const Timing shortExact = filterSeconds(condition("Name", fdMatchExact, kExactName), exactHits);
    reportTiming("filter.memo_any", memoAny);
    tvbench::report("filter.memo_any.hits", double(memoHits), "records");
    // The filter's bytes per elapsed second against single-thread memchr's; and per second of
    // processor time (what one core of the filter achieves).
    tvbench::report("filter.memo_any.bandwidth_gbps", double(g.memoBytes) / memoAny.wall / 1e9, "GB/s");
    tvbench::report("filter.memo_any.bandwidth_share", memchrTime.wall / memoAny.wall, "of memchr");
    tvbench::report("filter.memo_any.bandwidth_share_cpu", memchrTime.wall / memoAny.cpu, "of memchr");
    reportTiming("filter.short_any", shortAny);
    reportTiming("filter.short_prefix", shortPrefix);
    reportTiming("filter.short_exact", shortExact);

    // Ordering by a case-insensitive index on the 30-character title, from file order,
    // with nothing cached.
    Timing order;
    for (int i = 0; i < 3; ++i) {
        t.setIndexName("");
        t.refresh();
        const Timing one = bestOf(1, [&] { t.setIndexName("TitleCI"); });
        order.wall = std::min(order.wall, one.wall);
        order.cpu = std::min(order.cpu, one.cpu);
    }
    reportTiming("order.text_index", order);

    // Locate next: from the first record to a match near the end, through every record.
    t.setIndexName("");
    const std::string lastTitle = t.displayTextAt(t.recordCount() - 1, 1);
    const Timing locate = bestOf(3, [&] {
        t.first();
        t.locateNext("Title", lastTitle, fdMatchExact);
    });
    reportTiming("locate.next", locate);

    t.setIndexName("TitleCI");
    t.setFilter({condition("Description", fdMatchAny, kMemoWord)});
    tvbench::report("memory.dataset.bytes", double(t.memoryBytes()), "bytes");
    tvbench::report("memory.dataset_rss.bytes", double(tvbench::currentRssBytes() - rssBefore), "bytes");
    t.clearFilter();

#ifdef TV_HAVE_SQLITE
    Sqlite sql;
    tvbench::Stopwatch loadWatch;
    sql.load(*t.file());
    tvbench::report("sqlite.load.seconds", loadWatch.seconds(), "s");
    long sqlHits = 0;
    auto sqlSeconds = [&](const std::string& q, long& hits) { return bestOf(2, [&] { hits = sql.count(q); }); };
    const Timing sMemo = sqlSeconds(std::string("SELECT count(*) FROM t WHERE description LIKE '%") + kMemoWord + "%'", sqlHits);
    reportTiming("sqlite.memo_any", sMemo);
    reportRatio("filter.memo_any", sMemo, memoAny);
    if (sqlHits != memoHits)
        tvbench::report("filter.memo_any.hit_mismatch", double(sqlHits - memoHits), "records");
    const Timing sAny = sqlSeconds(std::string("SELECT count(*) FROM t WHERE title LIKE '%") + kTitleWord + "%'", sqlHits);
    reportRatio("filter.short_any", sAny, shortAny);
    if (sqlHits != anyHits)
        tvbench::report("filter.short_any.hit_mismatch", double(sqlHits - anyHits), "records");
    const Timing sPrefix = sqlSeconds(std::string("SELECT count(*) FROM t WHERE title LIKE '") + kPrefix + "%'", sqlHits);
    reportRatio("filter.short_prefix", sPrefix, shortPrefix);
    if (sqlHits != prefixHits)
        tvbench::report("filter.short_prefix.hit_mismatch", double(sqlHits - prefixHits), "records");
    const Timing sExact = sqlSeconds(std::string("SELECT count(*) FROM t WHERE name = '") + kExactName + "' COLLATE NOCASE", sqlHits);
    reportRatio("filter.short_exact", sExact, shortExact);
    if (sqlHits != exactHits)
        tvbench::report("filter.short_exact.hit_mismatch", double(sqlHits - exactHits), "records");
    const Timing sOrder = bestOf(1, [&] { sql.exec("CREATE INDEX ix_title ON t(title COLLATE NOCASE)"); });
    reportTiming("sqlite.order", sOrder);
    reportRatio("order.text_index", sOrder, order);
#endif
}

// The memo filter on a real Paradox table file (the generated notes table, memos in its .MB
// file), with memchr over the same memo bytes.
void benchParadoxFile(const tvbench::Options& opt)
{
    const std::string path = tvbench::ensureParadoxBench(opt.workDir, opt.records);
    Table t;
    tvbench::Stopwatch openWatch;
    t.open(path);
    tvbench::report("pxfile.open.seconds", openWatch.seconds(), "s");
    const int body = t.fieldByName("Body");
    std::string memoCopy;
    for (RecordId id : t.visibleIds())
        memoCopy.append(t.file()->rawText(id, body));
    const void* volatile sink = nullptr;
    const Timing memchrTime = bestOf(5, [&] { sink = std::memchr(memoCopy.data(), 1, memoCopy.size()); });
    (void)sink;
    std::string().swap(memoCopy);
    // A word that occurs in no memo: every byte is scanned.
    const Timing memo = bestOf(3, [&] { t.setFilter({condition("Body", fdMatchAny, kMemoWord)}); });
    reportTiming("pxfile.filter.memo_any", memo);
    tvbench::report("pxfile.filter.memo_any.bandwidth_share", memchrTime.wall / memo.wall, "of memchr");
    tvbench::report("pxfile.filter.memo_any.bandwidth_share_cpu", memchrTime.wall / memo.cpu, "of memchr");
    t.clearFilter();
    const Timing title = bestOf(3, [&] { t.setFilter({condition("Title", fdMatchAny, "keyboard")}); });
    reportTiming("pxfile.filter.short_any", title);
    tvbench::report("pxfile.memory.dataset.bytes", double(t.memoryBytes()), "bytes");
}

TVBENCH("dataset", benchDataset);
TVBENCH("dataset.pxfile", benchParadoxFile);

} // namespace
