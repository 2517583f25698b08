#pragma once
// The .DBT memo file of a dBASE table, in its two block layouts:
// dBASE III: 512-byte blocks, text running to the first 0x1A;
// dBASE IV: blocks of the size in the header, each memo led by FF FF 08 00 and its length;
// FoxPro's .FPT: big-endian header with the block size at 6, each memo led by its type and length.
#include "dbfformat.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tv::dbase {

constexpr uint32_t kMemoBlockSize = 512;

class MemoFile {
public:
    MemoFile() = default;
    // Checks the header of `bytes` (the whole .DBT). Throws EngineError naming `path`.
    MemoFile(std::string_view bytes, MemoLayout layout, const std::string& path);

    uint32_t blockSize() const { return blockSize_; }
    MemoLayout layout() const { return layout_; }
    void setBytes(std::string_view bytes) { bytes_ = bytes; }
    std::string_view bytes() const { return bytes_; }
    // Where the first `limit` bytes of the memo at `block` lie at most, told without reading the
    // memo file: [from, to) within bytes(). False when the block lies outside the file.
    bool span(uint64_t block, size_t limit, uint64_t& from, uint64_t& to) const;
    // The memo stored at `block` (block > 0). Throws EngineError naming the file, the block
    // and `where` (the record and field) when it lies outside the file or is damaged.
    std::string_view text(uint64_t block, const std::string& where) const;
    // The same without building a message: false when text() would throw.
    bool tryText(uint64_t block, std::string_view& out) const;

    // Writing: the header block of a new, empty memo file.
    static std::string newFileHeader(MemoLayout layout, const std::string& tableBaseName);
    // The block index at which the next memo goes in a file image of `size` bytes whose
    // header says `headerNextFree` is the next free block.
    uint64_t nextFreeBlock(uint64_t size, uint32_t headerNextFree) const;
    // Appends `text` (in the table's code page) as a memo at block `block` of `image`
    // (image.size() == block * blockSize) padded to whole blocks, and sets the header's next
    // free block. Throws EngineError when a dBASE III memo would hold a 0x1A byte.
    void append(std::string& image, uint64_t block, std::string_view text, const std::string& where) const;

private:
    std::string path_;
    std::string_view bytes_;
    MemoLayout layout_ = MemoLayout::None;
    uint32_t blockSize_ = kMemoBlockSize;
};

} // namespace tv::dbase
