// Fuzzes the memo file reader: a fixed table whose blob pointers lead into a fuzzed .MB image.
// The first 9 bytes of the input may rewrite one record's blob pointer.
#include "fuzz_paradox_common.h"

#include "engine/paradox/pxbytes.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const pxfuzz::Template base = pxfuzz::makeTemplate();
    std::string db = base.db;
    std::string_view mb(reinterpret_cast<const char*>(data), size);
    if (size >= 9 && data[0] == 0xB1) {
        // Record data[1] of the first block: its memo pointer becomes bytes 2..9.
        const size_t headerSize = tv::px::le16(reinterpret_cast<const uint8_t*>(db.data()) + 2);
        const size_t recordSize = tv::px::le16(reinterpret_cast<const uint8_t*>(db.data()));
        const size_t at = headerSize + 6 + size_t(data[1] % 24) * recordSize + 4 + 5;
        if (at + 8 <= db.size())
            db.replace(at, 8, reinterpret_cast<const char*>(data + 1), 8);
        mb.remove_prefix(9);
    }
    try {
        const auto t = tv::ParadoxTable::openImage("fuzz.db", db, mb);
        pxfuzz::readEverything(*t);
    } catch (const tv::EngineError&) {
    }
    return 0;
}
