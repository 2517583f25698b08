#pragma once
// Memo and blob values: the pointer at the end of the field in the record and the blocks of
// the .MB file.

#include "engine/tablefile.h"
#include "engine/mappedfile.h"

#include <optional>
#include <string>
#include <string_view>

namespace tv::px {

constexpr size_t kMbBlock = 4096;
// Graphic blobs carry this many bytes before the picture itself.
constexpr size_t kGraphicPrefix = 8;

struct BlobPointer {
    uint32_t offsetIndex = 0;
    uint32_t length = 0;
    uint16_t modification = 0;
};
BlobPointer blobPointer(const uint8_t* field, int width);

// Checks the header block of a memo file of `size` bytes; throws EngineError naming `mbPath`
// when the file is too short for it or does not start with one.
void checkMemoHeader(const uint8_t* data, size_t size, const std::string& mbPath);

// The whole value of a memo or blob field (for graphics without their prefix), or nullopt when
// the field is empty. `mb` is null when the table has no memo file. Throws EngineError naming
// `mbPath` when the pointer or the memo file is damaged.
std::optional<std::string_view> readBlob(const MappedFile* mb, const uint8_t* field, int width, FieldType type,
                                         const std::string& mbPath);

} // namespace tv::px
