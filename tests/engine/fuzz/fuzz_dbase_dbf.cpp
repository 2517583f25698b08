// Fuzzes the .DBF reader (dBASE III/IV/7, FoxPro and Visual FoxPro headers, seeded with the
// samples of each): the input is the table file; valid memo files and indexes of both families
// lie beside it.
#include "fuzz_dbase_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tv::fuzz;
    static const bool companions = [] {
        std::string dbt(512, '\0');
        dbt[0x15] = 2;  // 512-byte blocks for the dBASE IV layout
        for (int b = 1; b <= 3; ++b) {
            std::string memo("\xFF\xFF\x08\x00\0\0\0\0memo text\x1A\x1A", 19);
            put32(memo, 4, 17);
            memo.resize(512, ' ');
            dbt += memo;
        }
        writeBytes(folder() + "/t.dbt", dbt);
        std::string mdx(0x800 + 1024, '\0');
        mdx[0x19] = 48;
        mdx[0x1A] = 32;
        mdx[0x1C] = 1;
        put32(mdx, 0x220, 4);
        mdx.replace(0x224, 4, "NAME");
        mdx.replace(4 * 512 + 0x18, 11, "UPPER(NAME)");
        writeBytes(folder() + "/t.mdx", mdx);
        std::string fpt(512, '\0');
        fpt[7] = 64;
        for (int b = 0; b < 4; ++b)
            fpt += std::string("\0\0\0\1\0\0\0\x09memo text", 17) + std::string(47, '\0');
        fpt[3] = char(fpt.size() / 64);
        writeBytes(folder() + "/t.fpt", fpt);
        return true;
    }();
    (void)companions;
    const std::string path = folder() + "/t.dbf";
    writeBytes(path, std::string(reinterpret_cast<const char*>(data), size));
    readEverything(path);
    return 0;
}
