#include "dbtmemo.h"

#include "bytes.h"

#include <algorithm>
#include <cstring>

namespace tv::dbase {

namespace {

constexpr char kMemo4Signature[4] = {'\xFF', '\xFF', '\x08', '\x00'};
constexpr size_t kMemo4LeadSize = 8;
constexpr size_t kFptLeadSize = 8;        // u32 block type (0 picture, 1 text, 2 object), u32 length
constexpr size_t kFptHeaderSize = 512;

uint32_t beU32(std::string_view b, size_t off)
{
    return (uint32_t(uint8_t(b[off])) << 24) | (uint32_t(uint8_t(b[off + 1])) << 16) |
           (uint32_t(uint8_t(b[off + 2])) << 8) | uint8_t(b[off + 3]);
}

} // namespace

MemoFile::MemoFile(std::string_view bytes, MemoLayout layout, const std::string& path)
    : path_(path), bytes_(bytes), layout_(layout)
{
    if (layout == MemoLayout::Dbase4) {
        if (bytes.size() < 0x16)
            throw EngineError(path + ": memo file is too short for its header (" + std::to_string(bytes.size()) +
                              " bytes)");
        const uint32_t size = uint8_t(bytes[0x14]) | (uint32_t(uint8_t(bytes[0x15])) << 8);
        blockSize_ = size == 0 ? kMemoBlockSize : size;
        if (blockSize_ < kMemo4LeadSize)
            throw EngineError(path + ": memo block size " + std::to_string(blockSize_) + " is too small");
    }
    if (layout == MemoLayout::Fpt) {
        if (bytes.size() < kFptHeaderSize)
            throw EngineError(path + ": memo file is too short for its header (" + std::to_string(bytes.size()) +
                              " bytes)");
        blockSize_ = (uint32_t(uint8_t(bytes[6])) << 8) | uint8_t(bytes[7]);
        if (blockSize_ == 0)
            throw EngineError(path + ": memo block size 0 in the header");
    }
    if (layout == MemoLayout::None)
        return;
    if (bytes.size() < 4)
        throw EngineError(path + ": memo file is too short for its header (" + std::to_string(bytes.size()) + " bytes)");
    // The next free block lies at the end of the file (not padded by every writer) or before it.
    const uint64_t nextFree = layout == MemoLayout::Fpt ? beU32(bytes, 0) : u32At(bytes, 0);
    const uint64_t blocks = (uint64_t(bytes.size()) + blockSize_ - 1) / blockSize_;
    if (nextFree > blocks)
        throw EngineError(path + ": the header's next free block " + std::to_string(nextFree) + " lies past the end of the file (" +
                          std::to_string(blocks) + " blocks of " + std::to_string(blockSize_) + " bytes)");
}

bool MemoFile::tryText(uint64_t block, std::string_view& out) const
{
    const uint64_t offset = block * blockSize_;
    if (block == 0 || offset >= bytes_.size())
        return false;
    const std::string_view rest = bytes_.substr(size_t(offset));
    if (layout_ == MemoLayout::Dbase3) {
        out = rest.substr(0, rest.find('\x1A'));
        return true;
    }
    if (layout_ == MemoLayout::Fpt) {
        if (offset < kFptHeaderSize || rest.size() < kFptLeadSize || beU32(rest, 4) > rest.size() - kFptLeadSize)
            return false;
        out = rest.substr(kFptLeadSize, beU32(rest, 4));
        return true;
    }
    if (rest.size() < kMemo4LeadSize || std::memcmp(rest.data(), kMemo4Signature, 4) != 0)
        return false;
    const uint32_t length = u32At(rest, 4);
    if (length < kMemo4LeadSize || length > rest.size())
        return false;
    out = rest.substr(kMemo4LeadSize, length - kMemo4LeadSize);
    return true;
}

bool MemoFile::span(uint64_t block, size_t limit, uint64_t& from, uint64_t& to) const
{
    const uint64_t offset = block * blockSize_;
    const uint64_t lead = layout_ == MemoLayout::Dbase4 ? kMemo4LeadSize : layout_ == MemoLayout::Fpt ? kFptLeadSize : 0;
    if (block == 0 || offset + lead >= bytes_.size())
        return false;
    from = offset + lead;
    to = std::min<uint64_t>(bytes_.size(), from + limit);
    return true;
}

std::string_view MemoFile::text(uint64_t block, const std::string& where) const
{
    const uint64_t offset = block * blockSize_;  // block < 10^10, blockSize < 2^16: no overflow
    if (block == 0 || offset >= bytes_.size())
        throw EngineError(path_ + ": memo block " + std::to_string(block) + " of " + where +
                          " lies beyond the end of the memo file");
    const std::string_view rest = bytes_.substr(size_t(offset));
    if (layout_ == MemoLayout::Dbase3) {
        const size_t end = rest.find('\x1A');
        return end == std::string_view::npos ? rest : rest.substr(0, end);
    }
    if (layout_ == MemoLayout::Fpt) {
        if (offset < kFptHeaderSize)
            throw EngineError(path_ + ": memo block " + std::to_string(block) + " of " + where +
                              " lies in the memo file's header");
        if (rest.size() < kFptLeadSize || beU32(rest, 4) > rest.size() - kFptLeadSize)
            throw EngineError(path_ + ": memo in block " + std::to_string(block) + " of " + where + " has length " +
                              std::to_string(rest.size() < kFptLeadSize ? 0 : beU32(rest, 4)) +
                              ", which does not fit the memo file");
        return rest.substr(kFptLeadSize, beU32(rest, 4));
    }
    if (rest.size() < kMemo4LeadSize || std::memcmp(rest.data(), kMemo4Signature, 4) != 0)
        throw EngineError(path_ + ": memo block " + std::to_string(block) + " of " + where +
                          " does not start a memo");
    const uint32_t length = u32At(rest, 4);
    if (length < kMemo4LeadSize || length > rest.size())
        throw EngineError(path_ + ": memo in block " + std::to_string(block) + " of " + where + " has length " +
                          std::to_string(length) + ", which does not fit the memo file");
    return rest.substr(kMemo4LeadSize, length - kMemo4LeadSize);
}

std::string MemoFile::newFileHeader(MemoLayout layout, const std::string& tableBaseName)
{
    std::string h(kMemoBlockSize, '\0');
    putU32(&h[0], 1);
    if (layout == MemoLayout::Dbase4) {
        std::memcpy(&h[8], tableBaseName.data(), std::min<size_t>(tableBaseName.size(), 8));
        h[0x12] = 0x02;
        h[0x13] = 0x01;
        h[0x14] = char(kMemoBlockSize & 0xFF);
        h[0x15] = char(kMemoBlockSize >> 8);
    } else {
        h[0x10] = 0x03;
    }
    return h;
}

uint64_t MemoFile::nextFreeBlock(uint64_t size, uint32_t headerNextFree) const
{
    const uint64_t used = (size + blockSize_ - 1) / blockSize_;
    return std::max<uint64_t>({used, headerNextFree, 1});
}

void MemoFile::append(std::string& image, uint64_t block, std::string_view text, const std::string& where) const
{
    std::string memo;
    if (layout_ == MemoLayout::Dbase4) {
        memo.assign(kMemo4Signature, 4);
        memo.resize(kMemo4LeadSize);
        if (text.size() > UINT32_MAX - kMemo4LeadSize)
            throw EngineError(path_ + ": memo of " + where + " is too long");
        putU32(&memo[4], uint32_t(text.size() + kMemo4LeadSize));
        memo += text;
    } else {
        if (text.find('\x1A') != std::string_view::npos)
            throw EngineError(path_ + ": memo of " + where + " holds the character 0x1A, which ends a memo in this file");
        memo.assign(text);
        memo += "\x1A\x1A";
    }
    const uint64_t blocks = (memo.size() + blockSize_ - 1) / blockSize_;
    if (block + blocks > UINT32_MAX)
        throw EngineError(path_ + ": memo file is full");
    memo.resize(size_t(blocks * blockSize_), '\0');
    image.resize(size_t(block * blockSize_), '\0');
    image += memo;
    putU32(&image[0], uint32_t(block + blocks));
}

} // namespace tv::dbase
