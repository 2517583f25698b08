// Fuzzes the .DBT memo reader: the first input byte picks the dBASE III or IV layout, the rest
// is the memo file of a valid table whose memos point at several blocks.
#include "fuzz_dbase_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tv::fuzz;
    if (size == 0)
        return 0;
    const std::string path = folder() + ((data[0] & 1) ? "/iv.dbf" : "/iii.dbf");
    static const bool tables = [] {
        writeBytes(folder() + "/iv.dbf", sampleDbf(0x8B, false));
        writeBytes(folder() + "/iii.dbf", sampleDbf(0x83, false));
        return true;
    }();
    (void)tables;
    writeBytes(path.substr(0, path.size() - 3) + "dbt", std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    readEverything(path);
    return 0;
}
