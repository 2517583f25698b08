#include "pxblob.h"

#include "pxbytes.h"

namespace tv::px {

BlobPointer blobPointer(const uint8_t* field, int width)
{
    const uint8_t* p = field + width - 10;
    return BlobPointer{le32(p), le32(p + 4), le16(p + 8)};
}

void checkMemoHeader(const uint8_t* data, size_t size, const std::string& mbPath)
{
    if (size < 3)
        throw EngineError(mbPath + ": the memo file is too short for its header (" + std::to_string(size) + " bytes)");
    if (data[0] != 0)
        throw EngineError(mbPath + ": the memo file does not start with its header block");
    const size_t units = le16(data + 1);
    if (units == 0 || units * kMbBlock > size)
        throw EngineError(mbPath + ": the header block of the memo file (" + std::to_string(units) +
                          " x 4096 bytes) does not fit the file of " + std::to_string(size) + " bytes");
}

std::optional<std::string_view> readBlob(const MappedFile* mb, const uint8_t* field, int width, FieldType type,
                                         const std::string& mbPath)
{
    const BlobPointer ptr = blobPointer(field, width);
    if (ptr.length == 0)
        return std::nullopt;
    const size_t leader = size_t(width) - 10;
    const uint32_t offset = ptr.offsetIndex & 0xFFFFFF00u;
    const uint32_t index = ptr.offsetIndex & 0xFFu;
    std::string_view data;
    if (offset == 0) {
        if (ptr.length > leader)
            throw EngineError(mbPath + ": a blob pointer is damaged (no block for a value of " + std::to_string(ptr.length) + " bytes)");
        data = std::string_view(reinterpret_cast<const char*>(field), ptr.length);
        // The leader of a graphic shows the picture, not the prefix that the length counts.
        if (type == FieldType::Graphic) {
            if (data.size() < kGraphicPrefix)
                throw EngineError(mbPath + ": a graphic blob is too short");
            return data.substr(0, data.size() - kGraphicPrefix);
        }
    } else {
        if (!mb)
            throw EngineError(mbPath + ": the memo file is missing");
        if (offset % kMbBlock != 0 || !mb->contains(offset, 12))
            throw EngineError(mbPath + ": a blob pointer points outside the memo file");
        const uint8_t* block = mb->data() + offset;
        if (index == 0xFF) {
            if (block[0] != 2)
                throw EngineError(mbPath + ": a blob pointer does not point to a blob block");
            // The record's length is the value's; some writers do not pad the last block.
            if (!mb->contains(uint64_t(offset) + 9, ptr.length))
                throw EngineError(mbPath + ": a blob runs past the end of the memo file");
            data = mb->view(offset + 9, ptr.length);
        } else {
            if (block[0] != 3 || !mb->contains(offset, kMbBlock))
                throw EngineError(mbPath + ": a blob pointer does not point to a sub-allocated block");
            if (index >= 64)
                throw EngineError(mbPath + ": a blob pointer has a bad slot number");
            const uint8_t* slot = block + 12 + 5 * index;
            const size_t start = size_t(slot[0]) * 16;
            const size_t chunks = slot[1];
            const size_t last = slot[4];
            if (chunks == 0 || last == 0 || last > 16)
                throw EngineError(mbPath + ": a blob pointer refers to an empty slot");
            const size_t length = ptr.length;
            if (length > chunks * 16)
                throw EngineError(mbPath + ": a blob is longer than its slot");
            if (start < 12 + 64 * 5 || start + length > kMbBlock)
                throw EngineError(mbPath + ": a blob slot lies outside its block");
            data = mb->view(offset + start, length);
        }
    }
    if (type == FieldType::Graphic) {
        if (data.size() < kGraphicPrefix)
            throw EngineError(mbPath + ": a graphic blob is too short");
        data.remove_prefix(kGraphicPrefix);
    }
    return data;
}

} // namespace tv::px
