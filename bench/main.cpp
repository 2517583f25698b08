#include "bench.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace tvbench {

namespace {
std::vector<std::pair<std::string, BenchFn>>& registry()
{
    static std::vector<std::pair<std::string, BenchFn>> r;
    return r;
}

long long statusField(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, n, key) == 0)
            return std::atoll(line.c_str() + n + 1) * 1024;
    return 0;
}
} // namespace

Registration::Registration(const char* name, BenchFn fn) { registry().emplace_back(name, std::move(fn)); }

void report(const std::string& name, double value, const char* unit)
{
    std::printf("%s\t%.6g\t%s\n", name.c_str(), value, unit);
    std::fflush(stdout);
}

long long peakRssBytes() { return statusField("VmHWM:"); }
long long currentRssBytes() { return statusField("VmRSS:"); }

} // namespace tvbench

int main(int argc, char** argv)
{
    if (const int rc = tvbench::runChildMode(argc, argv); rc >= 0)
        return rc;
    tvbench::Options opt;
    opt.workDir = (std::filesystem::temp_directory_path() / "tvbench").string();
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--records" && i + 1 < argc)
            opt.records = std::atol(argv[++i]);
        else if (a == "--only" && i + 1 < argc)
            opt.only = argv[++i];
        else if (a == "--dir" && i + 1 < argc)
            opt.workDir = argv[++i];
        else if (a == "--bases" && i + 1 < argc)
            opt.basesDir = argv[++i];
        else {
            std::fprintf(stderr, "usage: tvbench [--records N] [--only NAME] [--dir DIR] [--bases DIR]\n");
            return 2;
        }
    }
    std::filesystem::create_directories(opt.workDir);
    // --only picks the benchmarks whose names begin with it; failing that, the one that prints
    // the figure it names: the longest benchmark name it begins with ("post.private_1m.seconds"
    // runs "post.private").
    auto& all = tvbench::registry();
    const auto startsWith = [](const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; };
    const bool byBenchName = std::any_of(all.begin(), all.end(), [&](const auto& r) { return startsWith(r.first, opt.only); });
    std::string producer;
    for (const auto& r : all)
        if (!byBenchName && startsWith(opt.only, r.first) && r.first.size() > producer.size())
            producer = r.first;
    for (auto& [name, fn] : all)
        if (byBenchName ? startsWith(name, opt.only) : name == producer)
            fn(opt);
    return 0;
}
