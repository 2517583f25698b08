#pragma once
// tvbench: every benchmark registers itself here and prints its figures as
// name<TAB>value<TAB>unit lines, so runs can be compared by anyone.

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace tvbench {

struct Options {
    long records = 1000000;
    std::string only;     // run only benchmarks whose name starts with this, or the one printing that figure
    std::string workDir;  // where generated data goes
    std::string basesDir; // the scale set of bases (default: written into workDir when missing)
};

using BenchFn = std::function<void(const Options&)>;

struct Registration {
    Registration(const char* name, BenchFn fn);
};

#define TVBENCH(name, fn) static ::tvbench::Registration tvbench_reg_##fn(name, fn)

void report(const std::string& name, double value, const char* unit);

class Stopwatch {
public:
    Stopwatch() : start_(std::chrono::steady_clock::now()) {}
    double seconds() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }

private:
    std::chrono::steady_clock::time_point start_;
};

// Runs one measurement of a child process started by a benchmark (argv[1] names it); -1 when
// argv is no such request.
int runChildMode(int argc, char** argv);

// Peak resident set size of this process so far, in bytes (VmHWM).
long long peakRssBytes();
// Current resident set size, in bytes (VmRSS).
long long currentRssBytes();

} // namespace tvbench
