// The Sweep and the program's start on the scale set of real table files (written by the
// engine through mkbases): each measurement in a fresh process, so that nothing opened,
// mapped or cached by an earlier run helps. The parent re-runs this program with a hidden
// first argument; the child prints its figures, the parent passes them on.

#include "bench.h"

#include "engine/dataset/table.h"
#include "synth.h"
#include "writeset.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <strings.h>
#include <string>
#include <unistd.h>
#include <vector>

using namespace tv;

namespace {

namespace fs = std::filesystem;

struct SweepField {
    const char* file;
    const char* field;   // the field the Sweep searches when its memo/description item is chosen
};

// The seven bases of the Sweep page with their description or memo field (SWAG has no memo:
// its subject), in the order the page searches them.
constexpr SweepField kSweep[] = {
    {"DTOPICS.DB", "Description"}, {"QA.DB", "A"},        {"Filesd32.db", "Comments"}, {"DSP.db", "Description"},
    {"SWAG.db", "Subject"},        {"DELPNEWS.DBF", "Info"}, {"private.db", "Description"},
};
constexpr const char* kAllBases[] = {"DTOPICS.DB", "QA.DB", "DELPNEWS.DBF", "Filesd32.db", "Filesdel.db",
                                     "DSP.db",     "SWAG.db", "DELBOOKS.DB", "private.db"};
constexpr const char* kWord = "tform";
constexpr size_t kMemoLimit = 32767;
constexpr int kFirstScreenRows = 40;

OpenMode modeOf(const std::string& file) { return file == "private.db" ? OpenMode::ReadWrite : OpenMode::ReadOnly; }

std::string label(long records)
{
    if (records % 1000000 == 0)
        return std::to_string(records / 1000000) + "m";
    if (records % 1000 == 0)
        return std::to_string(records / 1000) + "k";
    return std::to_string(records);
}

// The processor time of the process: all its threads.
double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// ---- the children -------------------------------------------------------------------------

// Opens every base as the program does and reads its first screen of rows.
int childOpen(const std::string& dir)
{
    tvbench::Stopwatch sw;
    std::vector<std::unique_ptr<Table>> tables;
    size_t sink = 0;
    for (const char* f : kAllBases) {
        const double t0 = sw.seconds();
        auto t = std::make_unique<Table>();
        t->open((fs::path(dir) / f).string(), modeOf(f));
        t->first();
        for (int r = 0; r < kFirstScreenRows && r < t->recordCount(); ++r)
            for (int c = 0; c < t->fieldCount(); ++c)
                sink += t->displayTextAt(r, c).size();
        tables.push_back(std::move(t));
        if (std::getenv("TVBENCH_VERBOSE"))
            std::fprintf(stderr, "%s\t%.3f s\n", f, sw.seconds() - t0);
    }
    std::printf("open\t%.6f\t%zu\n", sw.seconds(), sink);
    return 0;
}

// Opens the seven bases, then times the Sweep for one word in their memo fields: the same
// calls the Sweep page makes (one condition set as each base's filter). The Sweep runs twice,
// as a user searching again would: the second time the files are in the page cache but no
// longer in this process's mappings (a search lets go of the pages it read). Then the
// resident memory the program is left holding.
int childSweep(const std::string& dir)
{
    std::vector<std::unique_ptr<Table>> tables;
    for (const SweepField& s : kSweep) {
        tables.push_back(std::make_unique<Table>());
        tables.back()->open((fs::path(dir) / s.file).string(), modeOf(s.file));
    }
    size_t hits = 0;
    double cpu = 0;
    auto sweep = [&] {
        tvbench::Stopwatch sw;
        const double cpu0 = cpuSeconds();
        hits = 0;
        for (size_t i = 0; i < tables.size(); ++i) {
            FieldCondition c;
            c.fieldName = kSweep[i].field;
            c.matchType = fdMatchAny;
            c.value = kWord;
            const double t0 = sw.seconds(), c0 = cpuSeconds();
            tables[i]->setFilter({c});
            hits += size_t(tables[i]->recordCount());
            if (std::getenv("TVBENCH_VERBOSE"))
                std::fprintf(stderr, "%s\t%.3f s\t%.3f cpu s\n", kSweep[i].file, sw.seconds() - t0, cpuSeconds() - c0);
        }
        cpu = cpuSeconds() - cpu0;
        return sw.seconds();
    };
    const double seconds = sweep();
    const double firstCpu = cpu;
    const double next = sweep();
    const double nextCpu = cpu;
    const double rssMb = double(tvbench::currentRssBytes()) / double(1 << 20);
    // The bytes the search had to look at: every text of the searched fields.
    size_t bytes = 0;
    for (size_t i = 0; i < tables.size(); ++i) {
        Table& t = *tables[i];
        t.clearFilter();
        const int f = t.fieldByName(kSweep[i].field);
        for (RecordId id : t.visibleIds())
            bytes += std::min(t.file()->rawText(id, f).size(), kMemoLimit);
    }
    std::printf("sweep\t%.6f\t%zu\t%zu\t%.6f\t%.6f\t%.1f\t%.6f\n", seconds, bytes, hits, firstCpu, next, rssMb, nextCpu);
    return 0;
}

// ---- the parent ---------------------------------------------------------------------------

std::string selfPath()
{
    std::error_code ec;
    const fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("tvbench") : p.string();
}

// Runs this program again with `args` and returns the fields of its first output line.
std::vector<std::string> runChild(const std::string& args)
{
    const std::string cmd = "'" + selfPath() + "' " + args;
    std::vector<std::string> fields;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p)
        return fields;
    char line[512] = {};
    if (std::fgets(line, sizeof line, p)) {
        std::stringstream in(line);
        std::string f;
        while (std::getline(in, f, '\t'))
            fields.push_back(f);
    }
    if (::pclose(p) != 0)
        fields.clear();
    return fields;
}

// Brings the files of the Sweep's bases into the page cache as a reader leaves them there: each
// file is let go from the cache and read back once from start to end. A file written a moment
// ago (the scale set is written by this program when missing) sits in the cache in the small
// pieces it was written in, mapped a small page at a time, and the figure would depend on
// whether the set was written in this run or read back since.
void warm(const std::string& dir)
{
    std::vector<char> buf(size_t(1) << 20);
    for (const auto& e : fs::directory_iterator(dir)) {
        std::string stem = e.path().stem().string();
        bool wanted = false;
        for (const SweepField& s : kSweep)
            wanted = wanted || strcasecmp(fs::path(s.file).stem().string().c_str(), stem.c_str()) == 0;
        if (!wanted || !e.is_regular_file())
            continue;
        const int fd = ::open(e.path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        ::fdatasync(fd);   // pages not yet on disk cannot be let go
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        while (::read(fd, buf.data(), buf.size()) > 0) {
        }
        ::close(fd);
    }
}

// Drops the page cache (needs root); false where not allowed.
bool dropCaches()
{
    ::sync();
    std::ofstream out("/proc/sys/vm/drop_caches");
    if (!out)
        return false;
    out << "1\n";
    out.flush();
    return bool(out);
}

double memchrGbps()
{
    const size_t n = size_t(512) << 20;
    std::string buf(n, 'x');
    const void* volatile sink = nullptr;
    double best = 1e300;
    for (int i = 0; i < 5; ++i) {
        tvbench::Stopwatch sw;
        sink = std::memchr(buf.data(), 1, buf.size());
        best = std::min(best, sw.seconds());
    }
    (void)sink;
    return double(n) / best / 1e9;
}

std::string ensureBases(const tvbench::Options& opt)
{
    const fs::path dir = opt.basesDir.empty() ? fs::path(opt.workDir) / ("bases_" + label(opt.records)) : fs::path(opt.basesDir);
    bool complete = true;
    for (const char* f : kAllBases)
        complete = complete && fs::exists(dir / f);
    if (!complete) {
        std::fprintf(stderr, "tvbench: writing the scale set into %s\n", dir.string().c_str());
        mkbases::SynthOptions so;
        so.records = uint64_t(opt.records);
        so.seed = 1;
        mkbases::writeBaseSet(dir.string(), mkbases::synthJobs(so), {});
    }
    return dir.string();
}

void benchSweepFiles(const tvbench::Options& opt)
{
    const std::string dir = ensureBases(opt);
    const std::string name = "files_" + label(opt.records);
    const double gbps = memchrGbps();
    tvbench::report("memchr.bandwidth.gbps", gbps, "GB/s");

    warm(dir);
    for (int run = 1; run <= 2; ++run) {
        const auto f = runChild("--child-sweep '" + dir + "'");
        if (f.size() < 4) {
            std::fprintf(stderr, "tvbench: the sweep run failed\n");
            return;
        }
        const double seconds = std::stod(f[1]);
        const double bytes = std::stod(f[2]);
        const std::string suffix = run == 1 ? "" : ".run2";
        tvbench::report("sweep." + name + ".seconds" + suffix, seconds, "s");
        tvbench::report("sweep." + name + ".bandwidth_share" + suffix, bytes / seconds / 1e9 / gbps, "of memchr");
        if (f.size() >= 5) {
            // Processor time of all threads: the share per second of processor time, which
            // another load on the machine changes less than the elapsed time.
            const double cpu = std::stod(f[4]);
            tvbench::report("sweep." + name + ".cpu_seconds" + suffix, cpu, "s");
            tvbench::report("sweep." + name + ".bandwidth_share_cpu" + suffix, bytes / cpu / 1e9 / gbps, "of memchr");
        }
        if (f.size() >= 7) {
            // The Sweep run again in the same process, and what the process holds after both.
            tvbench::report("sweep." + name + ".next_seconds" + suffix, std::stod(f[5]), "s");
            tvbench::report("sweep." + name + ".rss_after" + suffix, std::stod(f[6]), "MB");
        }
        if (f.size() >= 8)
            tvbench::report("sweep." + name + ".next_cpu_seconds" + suffix, std::stod(f[7]), "s");
        if (run == 1) {
            tvbench::report("sweep." + name + ".bytes", bytes, "bytes");
            tvbench::report("sweep." + name + ".hits", std::stod(f[3]), "records");
        }
    }
    for (int run = 1; run <= 2; ++run) {
        const auto f = runChild("--child-open '" + dir + "'");
        if (f.size() >= 2)
            tvbench::report("open." + name + "_warm.seconds" + std::string(run == 1 ? "" : ".run2"), std::stod(f[1]), "s");
    }
    for (int run = 1; run <= 2; ++run) {
        if (!dropCaches()) {
            std::fprintf(stderr, "tvbench: the page cache cannot be dropped here; no cold figure\n");
            break;
        }
        const auto f = runChild("--child-open '" + dir + "'");
        if (f.size() >= 2)
            tvbench::report("open." + name + "_cold.seconds" + std::string(run == 1 ? "" : ".run2"), std::stod(f[1]), "s");
    }
}

TVBENCH("sweep.files", benchSweepFiles);

} // namespace

namespace tvbench {

int runChildMode(int argc, char** argv)
{
    if (argc != 3)
        return -1;
    try {
        if (std::strcmp(argv[1], "--child-sweep") == 0)
            return childSweep(argv[2]);
        if (std::strcmp(argv[1], "--child-open") == 0)
            return childOpen(argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tvbench: %s\n", e.what());
        return 1;
    }
    return -1;
}

} // namespace tvbench
