// tvdump: prints a Paradox or dBASE table in the canonical dump format.
#include "dump.h"

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

const char* const kUsage =
    "usage: tvdump FILE\n"
    "       tvdump --indexes FILE\n"
    "\n"
    "Prints the table FILE (.db Paradox, .dbf dBASE) in the canonical dump format: a #fields line\n"
    "(NAME:TYPE:SIZE per field), a #records line with the record count stored in the header, then\n"
    "one line per record with the values separated by TABs.\n"
    "\n"
    "--indexes prints one line per index definition instead:\n"
    "    NAME<TAB>FIELDS<TAB>FLAGS\n"
    "FIELDS are the key fields joined by ';' (for an expression index: the key expression).\n"
    "FLAGS are letters: P primary index, I case-insensitive, D descending, E expression index;\n"
    "'-' when none applies. A Paradox primary index has an empty name.\n"
    "\n"
    "On a damaged or unsupported file prints one line 'tvdump: FILE: message' and exits 1.\n";

void writeOut(std::string& out, void*)
{
    std::fwrite(out.data(), 1, out.size(), stdout);
    out.clear();
}

} // namespace

int main(int argc, char** argv)
{
    bool indexes = false;
    const char* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--indexes") == 0)
            indexes = true;
        else if (!file)
            file = argv[i];
        else
            file = nullptr, i = argc;
    }
    if (!file) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        const auto table = tv::openTableFile(file, tv::OpenMode::ReadOnly);
        std::string out;
        if (indexes)
            out = tvdump::dumpIndexes(*table);
        else
            tvdump::dumpTable(*table, out, writeOut, nullptr);
        writeOut(out, nullptr);
        if (std::fflush(stdout) != 0) {
            std::fprintf(stderr, "tvdump: %s: cannot write the output\n", file);
            return 1;
        }
    } catch (const std::exception& e) {
        std::string msg = e.what();
        // The engine's messages start with the path; print it once.
        const std::string prefix = std::string(file) + ": ";
        if (msg.rfind(prefix, 0) == 0)
            msg.erase(0, prefix.size());
        std::fprintf(stderr, "tvdump: %s: %s\n", file, msg.c_str());
        return 1;
    }
    return 0;
}
