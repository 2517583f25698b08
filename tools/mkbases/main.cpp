// mkbases: writes the knowledge bases that ship beside the program.
//
//   mkbases DIR                           the sample set (replaces every base in DIR)
//   mkbases --keep-private DIR            the same, but an existing private.db stays as it is
//   mkbases --records N --seed S DIR      N synthetic records per base, for load tests
//
// Exit status 0 on success, 1 on a failure (DIR is then left as it was), 2 on a usage error.
#include "synth.h"
#include "writeset.h"

#include <charconv>
#include <chrono>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>

namespace {

int usage(const char* why)
{
    std::cerr << "mkbases: " << why << "\n"
              << "usage: mkbases [--keep-private] [--quiet] [--records N [--seed S]] DIR\n";
    return 2;
}

bool parseCount(const char* text, uint64_t& out)
{
    const char* end = text + std::strlen(text);
    const auto r = std::from_chars(text, end, out);
    return r.ec == std::errc() && r.ptr == end;
}

} // namespace

int main(int argc, char** argv)
{
    mkbases::WriteOptions options;
    mkbases::SynthOptions synth;
    bool synthetic = false, quiet = false;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--keep-private") {
            options.keepPrivate = true;
        } else if (a == "--quiet") {
            quiet = true;
        } else if (a == "--records" || a == "--seed") {
            if (i + 1 >= argc)
                return usage((a + " needs a number").c_str());
            uint64_t& target = a == "--records" ? synth.records : synth.seed;
            if (!parseCount(argv[++i], target))
                return usage((a + " needs a whole number, not \"" + argv[i] + "\"").c_str());
            if (a == "--records")
                synthetic = true;
        } else if (a == "-h" || a == "--help") {
            usage("writes the knowledge bases into DIR");
            return 0;
        } else if (!a.empty() && a[0] == '-') {
            return usage(("unknown option " + a).c_str());
        } else if (dir.empty()) {
            dir = a;
        } else {
            return usage("only one folder can be given");
        }
    }
    if (dir.empty())
        return usage("no folder given");

    if (!quiet)
        options.log = &std::cout;
    try {
        const auto start = std::chrono::steady_clock::now();
        const auto jobs = synthetic ? mkbases::synthJobs(synth) : mkbases::sampleJobs();
        const auto reports = mkbases::writeBaseSet(dir, jobs, options);
        uint64_t bytes = 0;
        for (const auto& r : reports)
            bytes += r.bytes;
        if (!quiet)
            std::cout << "mkbases: " << reports.size() << " bases in " << dir << ", " << bytes << " bytes, "
                      << std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() << " s\n";
    } catch (const std::exception& e) {
        std::cerr << "mkbases: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
