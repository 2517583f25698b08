#pragma once
// Writes Paradox 7 files: data files (.DB, .Xnn/.XGn) block by block, the B-tree files that
// index them (.PX, .Ynn/.YGn) and the .MB memo file.

#include "pxheader.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace tv::px {

// Where a file's bytes go: a string in memory or a file on disk.
class Sink {
public:
    virtual ~Sink() = default;
    virtual void append(const void* data, size_t n) = 0;
    virtual uint64_t size() const = 0;
    // Overwrites bytes already appended.
    virtual void patch(uint64_t offset, const void* data, size_t n) = 0;
};

class StringSink : public Sink {
public:
    void append(const void* data, size_t n) override { bytes.append(static_cast<const char*>(data), n); }
    uint64_t size() const override { return bytes.size(); }
    void patch(uint64_t offset, const void* data, size_t n) override { bytes.replace(size_t(offset), n, static_cast<const char*>(data), n); }
    std::string bytes;
};

// A buffered file; close() syncs it. Throws EngineError on any failure.
class FileSink : public Sink {
public:
    explicit FileSink(const std::string& path, mode_t mode = 0666);   // created with `mode` less the umask
    ~FileSink() override;
    void append(const void* data, size_t n) override;
    uint64_t size() const override { return written_ + buffer_.size(); }
    void patch(uint64_t offset, const void* data, size_t n) override;
    void close();

private:
    void drain(size_t bytes);
    std::string path_;
    int fd_ = -1;
    uint64_t written_ = 0;
    std::string buffer_;
};

// What goes into the header of a data file.
struct FileLayout {
    uint8_t fileType = kKeyedTable;
    uint8_t blockKiB = 4;
    std::vector<FieldDesc> fields;          // offsets and widths filled in
    std::vector<std::string> fieldNames;    // in the table's code page
    std::vector<uint16_t> fieldNumbers;
    uint16_t keyFields = 0;
    uint16_t codePage = 1252;
    std::string tableName;                  // file name written into the header
    std::string indexName;                  // secondary index files only
    uint8_t indexFieldNumber = 0;
    uint8_t options = 0;
    uint16_t changeCount = 1;
    int recordSize() const;
    size_t blockSize() const { return size_t(blockKiB) * 1024; }
};

// One entry of the level above a block: its first key, its number and its record count.
struct BlockEntry {
    std::string firstKey;
    uint16_t block = 0;
    uint16_t count = 0;
};

// Streams records into a data file. Records must arrive in their final order. Blocks are
// filled to `fillPercent` of what they can hold, leaving room for records added later.
class DataFileWriter {
public:
    DataFileWriter(Sink& out, FileLayout layout, size_t keyBytes, unsigned fillPercent = 100);
    // Returns the number of the block that received the record.
    uint16_t add(const uint8_t* record);
    void finish(uint32_t autoInc);
    const std::vector<BlockEntry>& blocks() const { return blocks_; }
    size_t recordsPerBlock() const { return perBlock_; }
    size_t inBlock() const { return inBlock_; }

private:
    void closeBlock();
    Sink& out_;
    FileLayout layout_;
    size_t recordSize_;
    size_t blockSize_;
    size_t keyBytes_;
    size_t perBlock_;
    std::string block_;
    size_t inBlock_ = 0;
    uint32_t records_ = 0;
    std::vector<BlockEntry> blocks_;
};

// The block size (KiB) a data file of `records` records of `recordSize` bytes needs: the
// smallest of 4, 8, 16 and 32 KiB (and not below `atLeast`) that keeps the file within the
// 65,535 blocks a Paradox header can count; 32 when even that is not enough.
uint8_t blockKiBFor(size_t records, size_t recordSize, uint8_t atLeast);

// One level of a B-tree: the first key (key bytes each, one after another), number and record
// count of every block below.
struct TreeLevel {
    std::string keys;
    std::vector<uint16_t> blocks, counts;
};

// Writes the B-tree file over the blocks of a data file. `keyFields` describe the key bytes.
void writeTreeFile(Sink& out, uint8_t fileType, uint8_t blockKiB, const std::vector<FieldDesc>& keyFields, const std::string& tableName,
                   TreeLevel leaves);
void writeTreeFile(Sink& out, uint8_t fileType, uint8_t blockKiB, const std::vector<FieldDesc>& keyFields,
                   const std::string& tableName, const std::vector<BlockEntry>& leaves);

// Streams memo and blob values into an .MB file and returns the 10-byte pointers for records.
// The sub-allocated block of a memo file being filled, which a later save to the same file may
// go on with.
struct MemoSmallBlock {
    uint64_t offset = 0;
    std::string image;
    int nextSlot = -1;
    size_t nextChunk = 0;
};

class MemoFileWriter {
public:
    using SmallBlock = MemoSmallBlock;
    // Starts a new memo file with its header block; `header` false adds to an existing one
    // (the sink then stands for its end) and, when given, goes on filling `small`.
    explicit MemoFileWriter(Sink& out, bool header = true, SmallBlock small = {});
    // Stores `data` (already carrying any graphic prefix) and fills the record's field (leader
    // and pointer) of `width` bytes. The leader shows `data` from `leaderFrom` on; a value
    // shown from elsewhere than its start always goes to the memo file.
    void store(std::string_view data, uint8_t* field, int width, size_t leaderFrom = 0);
    // The same for the value of a field of type `type` (a graphic gets its prefix here).
    void storeValue(std::string_view value, FieldType type, uint8_t* field, int width);
    void finish();
    // Writes the small block being filled as it stands and returns it, still open.
    SmallBlock keepSmallBlock();

private:
    void closeSmallBlock();
    Sink& out_;
    std::string small_;          // the sub-allocated block being filled
    uint64_t smallOffset_ = 0;
    int nextSlot_ = -1;
    size_t nextChunk_ = 0;
};

// Stands for the end of an existing file: appended bytes are gathered, and patches of bytes
// before `base` are kept as writes of their own.
class ExtendingSink : public Sink {
public:
    explicit ExtendingSink(uint64_t base) : base_(base) {}
    void append(const void* data, size_t n) override { tail_.append(static_cast<const char*>(data), n); }
    uint64_t size() const override { return base_ + tail_.size(); }
    void patch(uint64_t offset, const void* data, size_t n) override;
    // Every write, the appended bytes last.
    std::vector<std::pair<uint64_t, std::string>> take();

private:
    uint64_t base_;
    std::string tail_;
    std::vector<std::pair<uint64_t, std::string>> patches_;
};

// Headers for a file layout (exposed for tests).
std::string dataFileHeader(const FileLayout& layout, uint32_t records, uint16_t blocks, uint32_t autoInc);

} // namespace tv::px
