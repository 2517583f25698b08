// Fuzzes the .FPT memo reader: the first input byte picks a Visual FoxPro table (binary block
// numbers, memo, blob and OLE fields) or a FoxPro 2 table (block numbers as digits); the rest
// is its memo file.
#include "fuzz_dbase_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tv::fuzz;
    if (size == 0)
        return 0;
    static const bool tables = [] {
        writeBytes(folder() + "/vfp.dbf", sampleFoxDbf(false));
        writeBytes(folder() + "/fox2.dbf", sampleFoxDbf(true));
        return true;
    }();
    (void)tables;
    const std::string base = folder() + ((data[0] & 1) ? "/fox2" : "/vfp");
    writeBytes(base + ".fpt", std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    readEverything(base + ".dbf");
    return 0;
}
