// Fuzzes the structural index reader: the input is the .CDX of a valid Visual FoxPro table that
// declares one.
#include "fuzz_dbase_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tv::fuzz;
    static const bool table = [] {
        writeBytes(folder() + "/c.dbf", sampleFoxDbf(false));
        std::string fpt(512, '\0');
        fpt[7] = 64;
        writeBytes(folder() + "/c.fpt", fpt);
        return true;
    }();
    (void)table;
    writeBytes(folder() + "/c.cdx", std::string(reinterpret_cast<const char*>(data), size));
    readEverything(folder() + "/c.dbf");
    return 0;
}
