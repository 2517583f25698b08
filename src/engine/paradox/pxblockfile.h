#pragma once
// A data file whose records are kept in key order in a chain of blocks (the .DB of a keyed
// table, a secondary index's .Xnn/.XGn), changed in place: a batch of insertions, deletions
// and replacements rewrites only the blocks it touches, splits a block that overflows into
// blocks taken from the free ones or added at the end, and unlinks a block it empties.

#include "pxheader.h"
#include "pxwriter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tv::px {

class SortedBlocks {
public:
    // One change: `record` replaces the record with sort key `key` or is inserted (the key must
    // then be absent); an empty `record` deletes the record with that key.
    struct Op {
        std::string key;
        std::string record;
    };
    // Where a record of a rewritten block ends up, and the block it was in before (0: new).
    struct Placed {
        std::string_view record;
        uint16_t block = 0;
        uint16_t slot = 0;
        uint16_t from = 0;
    };
    struct Plan;

    // Reads the chain of the file (`data`, `size` bytes, header `h`); the first `keyBytes` of
    // a record are its sort key. False when the chain and the header disagree.
    bool load(const uint8_t* data, size_t size, const Header& h, size_t keyBytes, bool descending);
    bool loaded() const { return !blocks_.empty(); }
    // Works out the batch against the file's current content (`data`, as loaded or as the last
    // plan left it) and takes the chain to what it is after the batch: the plan holds the
    // writes that bring the file there. nullopt when the batch cannot be done in place (a key
    // that is not where it should be, an emptied file, more blocks than a header can count).
    // Once a batch is planned, the chain no longer describes the file as it is; when the plan
    // is not carried out, or there is none, the chain must be loaded again.
    std::optional<Plan> plan(std::vector<Op> ops, const uint8_t* data, size_t size);

    uint32_t records() const { return records_; }
    uint16_t fileBlocks() const { return fileBlocks_; }
    uint16_t firstBlock() const { return blocks_.empty() ? 0 : blocks_.front(); }
    uint16_t lastBlock() const { return blocks_.empty() ? 0 : blocks_.back(); }
    // The level above the blocks, as the tree file lists it.
    TreeLevel leafLevel() const { return {keys_, blocks_, counts_}; }
    size_t blockCount() const { return blocks_.size(); }
    BlockEntry leaf(size_t pos) const { return {keys_.substr(pos * keyBytes_, keyBytes_), blocks_[pos], counts_[pos]}; }
    uint64_t blockOffset(uint16_t block) const { return headerSize_ + uint64_t(block - 1) * blockSize_; }

private:
    friend struct Plan;
    int compare(const char* a, const char* b) const;
    size_t blockFor(const char* key) const;
    std::vector<uint16_t> blocks_, counts_;   // the chain, in key order
    std::string keys_;                        // each block's first key
    std::vector<uint16_t> free_;              // blocks in the file outside the chain
    uint16_t fileBlocks_ = 0;
    uint32_t records_ = 0;
    size_t headerSize_ = 0, blockSize_ = 0, recordSize_ = 0, keyBytes_ = 0, perBlock_ = 0;
    bool descending_ = false;
};

struct SortedBlocks::Plan {
    std::vector<std::pair<uint64_t, std::string>> writes;   // file offset, new bytes
    std::vector<Placed> placed;
    std::vector<size_t> rewritten;   // chain positions (after the batch) of the blocks rewritten
    bool reshaped = false;           // blocks were split off or unlinked: positions moved
};

// A tree file (.PX, .Ynn/.YGn) over a data file's blocks, as writeTreeFile lays it out, kept
// in memory and brought up to date with the blocks after each change.
class TreeImage {
public:
    TreeImage(uint8_t fileType, uint8_t blockKiB, std::vector<FieldDesc> keyFields, std::string fileName)
        : fileType_(fileType), blockKiB_(blockKiB), keyFields_(std::move(keyFields)), fileName_(std::move(fileName))
    {
    }
    // The file as it is on disk.
    void setFile(std::string bytes) { image_ = std::move(bytes), laidOut_ = false; }
    // What brings the file in line with `blocks`, whose chain positions `changed` are all
    // that changed since the last update (unless `reshaped`). When the blocks kept their
    // places and the file
    // is laid out as writeTreeFile lays it out, only the entries of those blocks and the
    // entries above them change; otherwise the tree is laid out anew (`whole`).
    struct Update {
        std::vector<std::pair<uint64_t, std::string>> writes;
        std::optional<std::string> whole;
        uint64_t size = 0;
    };
    Update update(const SortedBlocks& blocks, const std::vector<size_t>& changed, bool reshaped) const;
    // Takes an update over once it is in the file.
    void adopt(const Update& u);
    const std::string& image() const { return image_; }

private:
    uint8_t fileType_, blockKiB_;
    std::vector<FieldDesc> keyFields_;
    std::string fileName_;
    std::string image_;
    bool laidOut_ = false;
};

// The header of a data file with its counts set to what `b` holds (a copy of `head`, the
// file's fixed header).
std::string countedHeader(std::string head, const SortedBlocks& b);

// The writes that turn `old` (a file's bytes) into `now`, compared block by block after a
// header of `headerSize` bytes.
std::vector<std::pair<uint64_t, std::string>> changedRanges(const std::string& old, const std::string& now, size_t headerSize,
                                                             size_t blockSize);

} // namespace tv::px
