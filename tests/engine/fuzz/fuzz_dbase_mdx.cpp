// Fuzzes the production index reader: the input is the .MDX of a valid table that declares one.
#include "fuzz_dbase_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tv::fuzz;
    static const bool table = [] {
        writeBytes(folder() + "/x.dbf", sampleDbf(0x03, true));
        std::string dbt(512, '\0');
        dbt += "memo\x1A\x1A";
        writeBytes(folder() + "/x.dbt", dbt);
        return true;
    }();
    (void)table;
    writeBytes(folder() + "/x.mdx", std::string(reinterpret_cast<const char*>(data), size));
    readEverything(folder() + "/x.dbf");
    return 0;
}
