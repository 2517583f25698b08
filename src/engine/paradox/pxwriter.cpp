#include "pxwriter.h"

#include "engine/fileio.h"
#include "engine/engineerror.h"
#include "pxblob.h"
#include "pxbytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tv::px {

// ---------------------------------------------------------------------------------------------
// FileSink

FileSink::FileSink(const std::string& path, mode_t mode) : path_(path)
{
    fd_ = openPlainFile(path, O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW, mode);   // never through a link left in its place
    if (fd_ < 0)
        throw EngineError(path + ": cannot create the file (" + std::strerror(errno) + ")");
}

FileSink::~FileSink()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void FileSink::drain(size_t bytes)
{
    size_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::pwrite(fd_, buffer_.data() + done, bytes - done, off_t(written_ + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EngineError(path_ + ": writing failed (" + std::strerror(errno) + ")");
        done += size_t(n);
    }
    written_ += bytes;
    buffer_.erase(0, bytes);
}

void FileSink::append(const void* data, size_t n)
{
    // Written in whole 2 MiB stretches: the page cache then holds the file in large pieces,
    // which a mapping of it later reads with far fewer faults.
    constexpr size_t kStretch = 2u << 20;
    buffer_.append(static_cast<const char*>(data), n);
    if (buffer_.size() >= 2 * kStretch)
        drain(buffer_.size() / kStretch * kStretch);
}

void FileSink::patch(uint64_t offset, const void* data, size_t n)
{
    const char* p = static_cast<const char*>(data);
    while (n > 0 && offset < written_) {
        const size_t chunk = size_t(std::min<uint64_t>(n, written_ - offset));
        if (::pwrite(fd_, p, chunk, off_t(offset)) != ssize_t(chunk))
            throw EngineError(path_ + ": writing failed (" + std::strerror(errno) + ")");
        p += chunk;
        offset += chunk;
        n -= chunk;
    }
    if (n > 0)
        std::memcpy(buffer_.data() + (offset - written_), p, n);
}

void FileSink::close()
{
    drain(buffer_.size());
    if (::fsync(fd_) != 0)
        throw EngineError(path_ + ": syncing failed (" + std::strerror(errno) + ")");
    ::close(fd_);
    fd_ = -1;
}

// ---------------------------------------------------------------------------------------------
// Headers

int FileLayout::recordSize() const
{
    int n = 0;
    for (const auto& f : fields)
        n += f.width;
    return n;
}

namespace {

const char* const kSortOrderName = "ascii";

void putFieldList(std::string& h, const std::vector<FieldDesc>& fields)
{
    for (const auto& f : fields) {
        h += char(f.code);
        h += char(f.size);
    }
}

// The fixed part shared by every file type.
std::string fixedHeader(uint16_t recordSize, uint8_t fileType, uint8_t blockKiB, uint32_t records, uint16_t blocks,
                        uint16_t numFields, uint16_t keyFields)
{
    std::string h(0x58, '\0');
    put16(h, 0x00, recordSize);
    put16(h, 0x04, 0);
    h[0x04] = char(fileType);
    h[0x05] = char(blockKiB);
    put32(h, 0x06, records);
    put16(h, 0x0A, blocks);
    put16(h, 0x0C, blocks);
    put16(h, 0x0E, blocks ? 1 : 0);
    put16(h, 0x10, blocks);
    put16(h, 0x21, numFields);
    put16(h, 0x23, keyFields);
    h[0x39] = char(kVersion7);
    put16(h, 0x3A, blocks);
    // Paradox's own files carry these per file type (meaning unknown).
    switch (fileType) {
    case kKeyedTable:
    case kUnkeyedTable: put16(h, 0x12, 3); break;
    case kPrimaryIndex:
    case kSecondaryNonIncr:
    case kCompositeNonIncr: put16(h, 0x12, 4); break;
    case kSecondaryIncr:
    case kCompositeIncr: put16(h, 0x12, 5); break;
    default: put16(h, 0x12, 0x0F); break;
    }
    if (fileType != kPrimaryIndex && fileType != kSecondaryTree && fileType != kCompositeTree)
        put16(h, 0x3E, 0x0F1F);
    return h;
}

std::string paddedName(const std::string& name)
{
    std::string n = name.substr(0, 260);
    n.resize(261, '\0');
    return n;
}

size_t roundHeader(size_t n) { return (n + 0x7FF) / 0x800 * 0x800; }

} // namespace

std::string dataFileHeader(const FileLayout& l, uint32_t records, uint16_t blocks, uint32_t autoInc)
{
    const uint16_t nf = uint16_t(l.fields.size());
    std::string h = fixedHeader(uint16_t(l.recordSize()), l.fileType, l.blockKiB, records, blocks, nf, l.keyFields);
    h[0x15] = char(l.indexFieldNumber);
    // Version 4 and later .DB/.Xnn files keep the real encryption word at 0x5C.
    h[0x25] = 0x00;
    h[0x26] = char(0xFF);
    h[0x27] = 0x00;
    h[0x28] = char(0xFF);
    h[0x2D] = char(l.changeCount & 0xFF);
    put32(h, 0x49, autoInc);
    h[0x55] = char(l.options);
    h[0x56] = 0x20;
    h.resize(0x78, '\0');
    put16(h, 0x58, 0x0100 | kVersion7);
    put16(h, 0x5A, 0x0100 | kVersion7);
    put16(h, 0x64, uint16_t(nf + 1));
    put16(h, 0x6A, l.codePage);
    h[0x6C] = 1;
    h[0x6D] = 1;
    put16(h, 0x70, l.changeCount);
    putFieldList(h, l.fields);
    h.append(4 + 4 * size_t(nf), '\0');  // name pointers: meaningless on disk
    h += paddedName(l.tableName);
    for (const auto& name : l.fieldNames) {
        h += name;
        h += '\0';
    }
    for (size_t i = 0; i < nf; ++i) {
        const uint16_t num = i < l.fieldNumbers.size() ? l.fieldNumbers[i] : uint16_t(i + 1);
        h += char(num & 0xFF);
        h += char(num >> 8);
    }
    h += kSortOrderName;
    h += '\0';
    if (l.fileType != kKeyedTable && l.fileType != kUnkeyedTable) {
        h += l.indexName;
        h += '\0';
    }
    const size_t size = roundHeader(h.size());
    if (size > 0xF800)
        throw EngineError(l.tableName + ": the field list is too long for a table header");
    put16(h, 0x02, uint16_t(size));
    h.resize(size, '\0');
    return h;
}

// ---------------------------------------------------------------------------------------------
// Data files

uint8_t blockKiBFor(size_t records, size_t recordSize, uint8_t atLeast)
{
    uint8_t kib = 4;
    while (kib < atLeast && kib < 32)
        kib = uint8_t(kib * 2);
    for (; kib < 32; kib = uint8_t(kib * 2)) {
        const size_t perBlock = recordSize ? (size_t(kib) * 1024 - 6) / recordSize : 0;
        if (perBlock > 0 && (records + perBlock - 1) / perBlock <= 0xFFFF)
            break;
    }
    return kib;
}

DataFileWriter::DataFileWriter(Sink& out, FileLayout layout, size_t keyBytes, unsigned fillPercent)
    : out_(out), layout_(std::move(layout)), recordSize_(size_t(layout_.recordSize())), blockSize_(size_t(layout_.blockKiB) * 1024),
      keyBytes_(keyBytes)
{
    perBlock_ = std::max<size_t>(1, (blockSize_ - 6) / recordSize_ * std::min(fillPercent, 100u) / 100);
    const std::string h = dataFileHeader(layout_, 0, 0, 0);
    out_.append(h.data(), h.size());
}

uint16_t DataFileWriter::add(const uint8_t* record)
{
    if (inBlock_ == 0) {
        if (blocks_.size() >= 0xFFFF)
            throw EngineError(layout_.tableName + ": the table is too large for the block size");
        block_.assign(blockSize_, '\0');
        blocks_.push_back({std::string(reinterpret_cast<const char*>(record), keyBytes_), uint16_t(blocks_.size() + 1), 0});
    }
    std::memcpy(block_.data() + 6 + inBlock_ * recordSize_, record, recordSize_);
    ++inBlock_;
    ++records_;
    blocks_.back().count = uint16_t(inBlock_);
    const uint16_t number = blocks_.back().block;
    if (inBlock_ == perBlock_)
        closeBlock();
    return number;
}

void DataFileWriter::closeBlock()
{
    if (inBlock_ == 0)
        return;
    const size_t n = blocks_.size();
    // The next pointer is known only for full blocks followed by more; finish() fixes the last.
    put16(block_, 0, uint32_t(n + 1));
    put16(block_, 2, uint32_t(n - 1));
    put16(block_, 4, uint32_t((inBlock_ - 1) * recordSize_));
    out_.append(block_.data(), block_.size());
    inBlock_ = 0;
}

void DataFileWriter::finish(uint32_t autoInc)
{
    closeBlock();
    const uint16_t n = uint16_t(blocks_.size());
    if (n > 0) {
        // The last block has no successor.
        const uint64_t headerSize = dataFileHeader(layout_, 0, 0, 0).size();
        const uint8_t zero[2] = {0, 0};
        out_.patch(headerSize + uint64_t(n - 1) * blockSize_, zero, 2);
    }
    const std::string h = dataFileHeader(layout_, records_, n, autoInc);
    out_.patch(0, h.data(), h.size());
}

// ---------------------------------------------------------------------------------------------
// B-tree files

void writeTreeFile(Sink& out, uint8_t fileType, uint8_t blockKiB, const std::vector<FieldDesc>& keyFields,
                   const std::string& tableName, const std::vector<BlockEntry>& leaves)
{
    size_t keyBytes = 0;
    for (const auto& f : keyFields)
        keyBytes += size_t(f.width);
    TreeLevel level;
    level.keys.assign(leaves.size() * keyBytes, '\0');
    for (size_t i = 0; i < leaves.size(); ++i) {
        std::memcpy(level.keys.data() + i * keyBytes, leaves[i].firstKey.data(), std::min(keyBytes, leaves[i].firstKey.size()));
        level.blocks.push_back(leaves[i].block);
        level.counts.push_back(leaves[i].count);
    }
    writeTreeFile(out, fileType, blockKiB, keyFields, tableName, std::move(level));
}

void writeTreeFile(Sink& out, uint8_t fileType, uint8_t blockKiB, const std::vector<FieldDesc>& keyFields,
                   const std::string& tableName, TreeLevel level)
{
    size_t keyBytes = 0;
    for (const auto& f : keyFields)
        keyBytes += size_t(f.width);
    const size_t entrySize = keyBytes + 6;
    const size_t blockSize = size_t(blockKiB) * 1024;
    const size_t perBlock = (blockSize - 6) / entrySize;
    if (perBlock < 2)
        throw EngineError(tableName + ": the key is too long for an index block");

    // Build the levels bottom-up; every level's blocks are numbered after the previous level's.
    std::string blocks;
    size_t blockCount = 0;
    uint32_t entries = 0;
    int levels = 0;
    while (!level.blocks.empty()) {
        ++levels;
        TreeLevel above;
        const size_t n = level.blocks.size();
        for (size_t i = 0; i < n; i += perBlock) {
            const size_t m = std::min(perBlock, n - i);
            const size_t number = blockCount + 1;
            if (blockCount >= 0xFFFF)
                throw EngineError(tableName + ": the index is too large for the block size");
            blocks.append(blockSize, '\0');
            uint8_t* b = reinterpret_cast<uint8_t*>(blocks.data()) + blockCount * blockSize;
            ++blockCount;
            // All blocks form one chain in file order, so that readers walking the chain from the
            // first block see every entry the header counts; the last link is cut below.
            put16(b, uint32_t(number + 1));
            put16(b + 2, uint32_t(number - 1));
            put16(b + 4, uint32_t((m - 1) * entrySize));
            uint32_t below = 0;
            for (size_t j = 0; j < m; ++j) {
                uint8_t* p = b + 6 + j * entrySize;
                std::memcpy(p, level.keys.data() + (i + j) * keyBytes, keyBytes);
                encodeInt(p + keyBytes, 2, level.blocks[i + j]);
                encodeInt(p + keyBytes + 2, 2, level.counts[i + j]);
                encodeInt(p + keyBytes + 4, 2, 0);
                below += level.counts[i + j];
            }
            entries += uint32_t(m);
            above.keys.append(level.keys, i * keyBytes, keyBytes);
            above.blocks.push_back(uint16_t(number));
            above.counts.push_back(uint16_t(std::min<uint32_t>(below, 0x7FFF)));
        }
        if (above.blocks.size() == 1)
            break;
        level = std::move(above);
    }

    if (blockCount > 0)
        put16(reinterpret_cast<uint8_t*>(blocks.data()) + (blockCount - 1) * blockSize, 0);
    std::string h = fixedHeader(uint16_t(entrySize), fileType, blockKiB, entries, uint16_t(blockCount), uint16_t(keyFields.size()), 0);
    put16(h, 0x1E, uint32_t(blockCount));  // the root is the last block written
    h[0x20] = char(blockCount == 0 ? 0 : levels);
    putFieldList(h, keyFields);
    h.append(4, '\0');
    h += paddedName(tableName);
    const size_t size = roundHeader(h.size());
    put16(h, 0x02, uint16_t(size));
    h.resize(size, '\0');
    out.append(h.data(), h.size());
    out.append(blocks.data(), blocks.size());
}

// ---------------------------------------------------------------------------------------------
// Memo files

namespace {
constexpr size_t kSlotArea = 12 + 64 * 5;          // sub-allocated block: header and slot table
constexpr size_t kFirstChunk = 0x150 / 16;         // data starts at 0x150
constexpr size_t kChunks = kMbBlock / 16;
constexpr size_t kSmallLimit = 2048;               // larger values get blocks of their own
static_assert(kSlotArea <= 0x150);
} // namespace

MemoFileWriter::MemoFileWriter(Sink& out, bool header, SmallBlock small) : out_(out)
{
    if (!header) {
        smallOffset_ = small.offset;
        small_ = std::move(small.image);
        nextSlot_ = small_.empty() ? -1 : small.nextSlot;
        nextChunk_ = small.nextChunk;
        return;
    }
    std::string h(kMbBlock, '\0');
    h[0] = 0;        // header block
    put16(h, 1, 1);  // one 4 KiB unit
    put16(h, 3, 1);  // modification counter
    const uint8_t magic[] = {0x82, 0x73, 0x02, 0x00, 0x29};
    std::memcpy(h.data() + 5, magic, sizeof magic);
    out_.append(h.data(), h.size());
}

void MemoFileWriter::closeSmallBlock()
{
    // A block whose last slot was just taken (nextSlot_ < 0) must still be written.
    if (small_.empty())
        return;
    out_.patch(smallOffset_, small_.data(), small_.size());
    small_.clear();
    nextSlot_ = -1;
}

void MemoFileWriter::store(std::string_view data, uint8_t* field, int width, size_t leaderFrom)
{
    const size_t leader = size_t(width) - 10;
    uint8_t* ptr = field + leader;
    std::memset(field, 0, size_t(width));
    if (data.empty())
        return;
    const std::string_view shown = data.substr(std::min(leaderFrom, data.size()));
    std::memcpy(field, shown.data(), std::min(leader, shown.size()));
    put32(ptr + 4, uint32_t(data.size()));
    if (data.size() <= leader && leaderFrom == 0)
        return;  // the leader holds it all
    put16(ptr + 8, 1);
    if (data.size() <= kSmallLimit) {
        const size_t chunks = (data.size() + 15) / 16;
        if (nextSlot_ < 0 || nextChunk_ + chunks > kChunks) {
            closeSmallBlock();
            smallOffset_ = out_.size();
            small_.assign(kMbBlock, '\0');
            out_.append(small_.data(), small_.size());  // reserved; written when full
            small_[0] = 3;
            put16(small_, 1, 1);
            nextSlot_ = 63;
            nextChunk_ = kFirstChunk;
        }
        uint8_t* slot = reinterpret_cast<uint8_t*>(small_.data()) + 12 + 5 * nextSlot_;
        slot[0] = uint8_t(nextChunk_);
        slot[1] = uint8_t(chunks);
        put16(slot + 2, 1);
        slot[4] = uint8_t(data.size() - (chunks - 1) * 16);
        std::memcpy(small_.data() + nextChunk_ * 16, data.data(), data.size());
        put32(ptr, uint32_t(smallOffset_) | uint32_t(nextSlot_));
        nextChunk_ += chunks;
        if (--nextSlot_ < 0)
            closeSmallBlock();
        return;
    }
    const uint64_t offset = out_.size();
    if (offset > 0xFFFFF000u)
        throw EngineError("the memo file would grow beyond 4 GiB");
    const size_t units = (9 + data.size() + kMbBlock - 1) / kMbBlock;
    if (units > 0xFFFF)
        throw EngineError("a memo or blob value is too large");
    uint8_t head[9];
    head[0] = 2;
    put16(head + 1, uint32_t(units));
    put32(head + 3, uint32_t(data.size()));
    put16(head + 7, 1);
    out_.append(head, 9);
    out_.append(data.data(), data.size());
    const std::string pad(units * kMbBlock - 9 - data.size(), '\0');
    out_.append(pad.data(), pad.size());
    put32(ptr, uint32_t(offset) | 0xFF);
}

void MemoFileWriter::storeValue(std::string_view value, FieldType type, uint8_t* field, int width)
{
    if (type != FieldType::Graphic || value.empty()) {
        store(value, field, width);
        return;
    }
    // As Paradox writes a graphic: the prefix and the picture in the memo file, however short
    // (the record's length counts the prefix), and the picture's first bytes in the leader.
    std::string data(kGraphicPrefix, '\0');
    data[0] = 1;
    data[3] = 1;
    put32(data, 4, uint32_t(value.size()));
    data.append(value);
    store(data, field, width, kGraphicPrefix);
}

void MemoFileWriter::finish() { closeSmallBlock(); }

MemoFileWriter::SmallBlock MemoFileWriter::keepSmallBlock()
{
    if (nextSlot_ < 0 || small_.empty())
        return {};
    out_.patch(smallOffset_, small_.data(), small_.size());
    return {smallOffset_, small_, nextSlot_, nextChunk_};
}

void ExtendingSink::patch(uint64_t offset, const void* data, size_t n)
{
    const char* p = static_cast<const char*>(data);
    if (offset >= base_) {
        tail_.replace(size_t(offset - base_), n, p, n);
        return;
    }
    for (auto& w : patches_)
        if (w.first == offset && w.second.size() == n) {
            w.second.assign(p, n);
            return;
        }
    patches_.emplace_back(offset, std::string(p, n));
}

std::vector<std::pair<uint64_t, std::string>> ExtendingSink::take()
{
    std::vector<std::pair<uint64_t, std::string>> out = std::move(patches_);
    if (!tail_.empty())
        out.emplace_back(base_, std::move(tail_));
    return out;
}

} // namespace tv::px
