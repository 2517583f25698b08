// Fuzzes the readers of Paradox index files (.PX, .Xnn, .Ynn, .XGn, .YGn): definitions and headers.
#include "fuzz_paradox_common.h"

#include "engine/paradox/pxheader.h"

#include <cstdint>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::vector<tv::FieldDef> fields = [] {
        std::vector<tv::FieldDef> f;
        for (int i = 0; i < 10; ++i)
            f.push_back(tv::FieldDef{"F" + std::to_string(i), tv::FieldType::Alpha, 10, 0});
        return f;
    }();
    try {
        const tv::IndexDef def = tv::indexDefinition(data, size, "fuzz.X02", fields, 1);
        if (def.fields.empty())
            std::abort();
    } catch (const tv::EngineError&) {
    }
    try {
        const tv::px::Header h = tv::px::parseHeader(data, size, "fuzz.PX");
        if (h.fields.size() != h.numFields)
            std::abort();
    } catch (const tv::EngineError&) {
    }
    try {
        const auto t = tv::ParadoxTable::openImage("fuzz.xg0", std::string_view(reinterpret_cast<const char*>(data), size), {});
        pxfuzz::readEverything(*t);
    } catch (const tv::EngineError&) {
    }
    return 0;
}
