// Fuzzes the Paradox table reader with whole .DB images (no memo file).
#include "fuzz_paradox_common.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        const auto t = tv::ParadoxTable::openImage("fuzz.db", std::string_view(reinterpret_cast<const char*>(data), size), {});
        pxfuzz::readEverything(*t);
    } catch (const tv::EngineError&) {
    }
    return 0;
}
