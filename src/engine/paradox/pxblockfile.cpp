#include "pxblockfile.h"

#include "pxbytes.h"

#include <algorithm>
#include "pxwriter.h"
#include <cstddef>
#include <cstring>
#include <map>

namespace tv::px {

bool SortedBlocks::load(const uint8_t* data, size_t size, const Header& h, size_t keyBytes, bool descending)
{
    *this = SortedBlocks();
    headerSize_ = h.headerSize;
    blockSize_ = h.blockSize();
    recordSize_ = h.recordSize;
    keyBytes_ = keyBytes;
    descending_ = descending;
    if (recordSize_ == 0 || blockSize_ <= 6 + recordSize_ || keyBytes_ > recordSize_ || size < headerSize_)
        return false;
    perBlock_ = (blockSize_ - 6) / recordSize_;
    fileBlocks_ = h.fileBlocks;
    if ((size - headerSize_) / blockSize_ < fileBlocks_)
        return false;
    std::vector<bool> seen(size_t(fileBlocks_) + 1, false);
    for (size_t b = h.firstBlock; b != 0;) {
        if (b > fileBlocks_ || seen[b])
            return false;
        seen[b] = true;
        const uint8_t* p = data + blockOffset(uint16_t(b));
        const int16_t last = int16_t(le16(p + 4));
        if (last < 0 || size_t(last) % recordSize_ != 0 || size_t(last) / recordSize_ >= perBlock_)
            return false;   // an empty block in the chain: left to a whole rewrite
        const uint16_t count = uint16_t(size_t(last) / recordSize_ + 1);
        blocks_.push_back(uint16_t(b));
        counts_.push_back(count);
        keys_.append(reinterpret_cast<const char*>(p + 6), keyBytes_);
        records_ += count;
        b = le16(p);
    }
    for (size_t b = 1; b <= fileBlocks_; ++b)
        if (!seen[b])
            free_.push_back(uint16_t(b));
    std::reverse(free_.begin(), free_.end());   // the lowest is taken first
    if (records_ != h.numRecords || blocks_.empty()) {
        *this = SortedBlocks();
        return false;
    }
    return true;
}

int SortedBlocks::compare(const char* a, const char* b) const
{
    const int c = std::memcmp(a, b, keyBytes_);
    return descending_ ? -c : c;
}

size_t SortedBlocks::blockFor(const char* key) const
{
    size_t lo = 0, hi = blocks_.size();
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (compare(keys_.data() + mid * keyBytes_, key) <= 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo == 0 ? 0 : lo - 1;
}

std::optional<SortedBlocks::Plan> SortedBlocks::plan(std::vector<Op> ops, const uint8_t* data, size_t size)
{
    for (const auto& op : ops)
        if (op.key.size() != keyBytes_ || (!op.record.empty() && op.record.size() != recordSize_))
            return std::nullopt;
    std::stable_sort(ops.begin(), ops.end(), [this](const Op& a, const Op& b) { return compare(a.key.data(), b.key.data()) < 0; });
    for (size_t i = 1; i < ops.size(); ++i)
        if (compare(ops[i - 1].key.data(), ops[i].key.data()) == 0)
            return std::nullopt;

    Plan p;
    int64_t records = records_;
    struct Content {
        uint16_t block;
        std::string records;
        std::vector<uint16_t> from;
    };
    std::vector<Content> contents;
    // Each block changed, by its place in the chain as it was: the pieces it becomes (none
    // when it empties), a run of `contents`.
    struct Splice {
        size_t pos, first, pieces;
    };
    std::vector<Splice> splices;

    // The blocks the changes fall in are worked out against the chain as it is; the chain
    // itself is changed after.
    for (size_t j = 0; j < ops.size();) {
        const size_t pos = blockFor(ops[j].key.data());
        size_t until = j + 1;
        while (until < ops.size() && (pos + 1 == blocks_.size() || compare(ops[until].key.data(), keys_.data() + (pos + 1) * keyBytes_) < 0))
            ++until;
        const uint16_t block = blocks_[pos];
        // Merge the block's records with its changes.
        const uint64_t at = blockOffset(block) + 6;
        if (at + uint64_t(counts_[pos]) * recordSize_ > size)
            return std::nullopt;
        const char* old = reinterpret_cast<const char*>(data + at);
        Content c{block, {}, {}};
        size_t i = 0;
        while (i < counts_[pos] || j < until) {
            const char* rec = old + i * recordSize_;
            const int cmp = i == counts_[pos] ? 1 : j == until ? -1 : compare(rec, ops[j].key.data());
            if (cmp < 0) {
                c.records.append(rec, recordSize_);
                c.from.push_back(block);
                ++i;
                continue;
            }
            if (!ops[j].record.empty()) {
                c.records += ops[j].record;
                c.from.push_back(cmp == 0 ? block : 0);
            } else if (cmp != 0) {
                return std::nullopt;   // deleting a record that is not there
            }
            if (cmp == 0)
                ++i;
            ++j;
        }
        const size_t n = c.from.size();
        records += int64_t(n) - int64_t(counts_[pos]);
        if (n == 0) {
            free_.push_back(block);
            splices.push_back({pos, contents.size(), 0});
            p.reshaped = true;
            continue;
        }
        // An overflowing block is split: evenly in the middle of the chain, and at its end
        // filled up, since records added at the end mostly keep coming there.
        const size_t pieces = (n + perBlock_ - 1) / perBlock_;
        p.reshaped = p.reshaped || pieces > 1;
        const bool last = pos + 1 == blocks_.size();
        splices.push_back({pos, contents.size(), pieces});
        size_t start = 0;
        for (size_t k = 0; k < pieces; ++k) {
            const size_t count = last ? std::min(perBlock_, n - start) : n / pieces + (k < n % pieces ? 1 : 0);
            uint16_t number = block;
            if (k > 0) {
                if (!free_.empty()) {
                    number = free_.back();
                    free_.pop_back();
                } else {
                    if (fileBlocks_ == 0xFFFF)
                        return std::nullopt;
                    number = ++fileBlocks_;
                }
            }
            contents.push_back({number, c.records.substr(start * recordSize_, count * recordSize_),
                                std::vector<uint16_t>(c.from.begin() + std::ptrdiff_t(start), c.from.begin() + std::ptrdiff_t(start + count))});
            start += count;
        }
    }
    std::ptrdiff_t chainAfter = std::ptrdiff_t(blocks_.size());
    for (const Splice& sp : splices)
        chainAfter += std::ptrdiff_t(sp.pieces) - 1;
    if (chainAfter <= 0)
        return std::nullopt;

    // The chain takes the new blocks in, the last change first so that the places of the
    // earlier ones hold.
    for (size_t k = splices.size(); k-- > 0;) {
        const Splice& sp = splices[k];
        if (sp.pieces == 1) {
            const Content& c = contents[sp.first];
            blocks_[sp.pos] = c.block;
            counts_[sp.pos] = uint16_t(c.from.size());
            keys_.replace(sp.pos * keyBytes_, keyBytes_, c.records, 0, keyBytes_);
            continue;
        }
        std::vector<uint16_t> blocks, counts;
        std::string keys;
        for (size_t q = sp.first; q < sp.first + sp.pieces; ++q) {
            blocks.push_back(contents[q].block);
            counts.push_back(uint16_t(contents[q].from.size()));
            keys.append(contents[q].records, 0, keyBytes_);
        }
        blocks_.erase(blocks_.begin() + std::ptrdiff_t(sp.pos));
        blocks_.insert(blocks_.begin() + std::ptrdiff_t(sp.pos), blocks.begin(), blocks.end());
        counts_.erase(counts_.begin() + std::ptrdiff_t(sp.pos));
        counts_.insert(counts_.begin() + std::ptrdiff_t(sp.pos), counts.begin(), counts.end());
        keys_.replace(sp.pos * keyBytes_, keyBytes_, keys);
    }
    records_ = uint32_t(records);
    // Where each change now is in the chain.
    std::vector<size_t> seams;   // chain positions where blocks were unlinked
    std::ptrdiff_t shift = 0;   // blocks added to the chain before the change, less those taken out
    for (const Splice& sp : splices) {
        const size_t at = size_t(std::ptrdiff_t(sp.pos) + shift);
        if (sp.pieces == 0)
            seams.push_back(at);
        for (size_t k = 0; k < sp.pieces; ++k)
            p.rewritten.push_back(at + k);
        shift += std::ptrdiff_t(sp.pieces) - 1;
    }
    SortedBlocks& a = *this;

    // Each block's links: the rewritten ones get theirs in their new image; a block beside a
    // rewritten or unlinked one gets its links written when they changed.
    auto linksAt = [&](size_t k) {
        return uint32_t(k + 1 < a.blocks_.size() ? a.blocks_[k + 1] : 0) | uint32_t(k > 0 ? a.blocks_[k - 1] : 0) << 16;
    };
    std::vector<size_t> imageOf(contents.size());
    for (size_t k = 0; k < contents.size(); ++k) {
        const Content& c = contents[k];
        const uint32_t links = linksAt(p.rewritten[k]);
        std::string img(blockSize_, '\0');
        put16(img, 0, links & 0xFFFF);
        put16(img, 2, links >> 16);
        put16(img, 4, uint32_t((c.from.size() - 1) * recordSize_));
        std::memcpy(img.data() + 6, c.records.data(), c.records.size());
        imageOf[k] = p.writes.size();
        p.writes.emplace_back(blockOffset(c.block), std::move(img));
    }
    std::vector<size_t> beside;
    for (size_t k : p.rewritten) {
        if (k > 0)
            beside.push_back(k - 1);
        beside.push_back(k + 1);
    }
    for (size_t k : seams) {
        if (k > 0)
            beside.push_back(k - 1);
        beside.push_back(k);
    }
    std::sort(beside.begin(), beside.end());
    beside.erase(std::unique(beside.begin(), beside.end()), beside.end());
    for (size_t k : beside) {
        if (k >= a.blocks_.size() || std::binary_search(p.rewritten.begin(), p.rewritten.end(), k))
            continue;
        const uint64_t at = blockOffset(a.blocks_[k]);
        if (at + 4 > size)
            return std::nullopt;
        const uint32_t links = linksAt(k);
        if (le32(data + at) != links) {
            std::string link(4, '\0');
            put32(link, 0, links);
            p.writes.emplace_back(at, std::move(link));
        }
    }
    for (size_t k = 0; k < contents.size(); ++k) {
        const std::string& img = p.writes[imageOf[k]].second;
        for (size_t r = 0; r < contents[k].from.size(); ++r)
            p.placed.push_back({std::string_view(img).substr(6 + r * recordSize_, recordSize_), contents[k].block, uint16_t(r),
                                contents[k].from[r]});
    }
    return p;
}

TreeImage::Update TreeImage::update(const SortedBlocks& blocks, const std::vector<size_t>& changed, bool reshaped) const
{
    size_t keyBytes = 0;
    for (const auto& f : keyFields_)
        keyBytes += size_t(f.width);
    const size_t entrySize = keyBytes + 6, blockSize = size_t(blockKiB_) * 1024;
    const size_t per = (blockSize - 6) / entrySize;
    const size_t n = blocks.blockCount();
    const auto* old = reinterpret_cast<const uint8_t*>(image_.data());
    const size_t headerSize = image_.size() >= 0x58 ? le16(old + 2) : 0;
    // The levels as laid out: blocks per level, bottom up, numbered one level after another;
    // each level has an entry per block of the level below (the first, one per data block).
    std::vector<size_t> levelBlocks;
    for (size_t entries = n; entries > 0 && per >= 2;) {
        levelBlocks.push_back((entries + per - 1) / per);
        if (levelBlocks.back() == 1)
            break;
        entries = levelBlocks.back();
    }
    size_t blocksNow = 0, entriesNow = n;
    for (size_t k = 0; k < levelBlocks.size(); ++k) {
        blocksNow += levelBlocks[k];
        if (k + 1 < levelBlocks.size())
            entriesNow += levelBlocks[k];
    }
    Update u;
    if (reshaped || !laidOut_ || headerSize == 0 || levelBlocks.empty() || le32(old + 6) != entriesNow || image_.size() != headerSize + blocksNow * blockSize) {
        StringSink out;
        writeTreeFile(out, fileType_, blockKiB_, keyFields_, fileName_, blocks.leafLevel());
        u.writes = changedRanges(image_, out.bytes, le16(reinterpret_cast<const uint8_t*>(out.bytes.data()) + 2), blockSize);
        u.size = out.bytes.size();
        u.whole = std::move(out.bytes);
        return u;
    }
    // Tree blocks (0-based) being changed, copied from the image on first touch.
    std::map<size_t, std::string> dirty;
    auto entryAt = [&](size_t levelStart, size_t j, bool writing) -> uint8_t* {
        const size_t b = levelStart + j / per;
        auto it = dirty.find(b);
        if (it == dirty.end()) {
            if (!writing)
                return const_cast<uint8_t*>(old) + headerSize + b * blockSize + 6 + (j % per) * entrySize;
            it = dirty.emplace(b, image_.substr(headerSize + b * blockSize, blockSize)).first;
        }
        return reinterpret_cast<uint8_t*>(it->second.data()) + 6 + (j % per) * entrySize;
    };
    std::vector<size_t> touched(changed);
    size_t levelStart = 0;
    for (size_t level = 0; level < levelBlocks.size(); ++level) {
        std::sort(touched.begin(), touched.end());
        touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
        std::vector<size_t> above;
        for (size_t j : touched) {
            uint8_t* e = entryAt(levelStart, j, true);
            if (level == 0) {
                const BlockEntry leaf = blocks.leaf(j);
                std::memcpy(e, leaf.firstKey.data(), keyBytes);
                encodeInt(e + keyBytes, 2, leaf.block);
                encodeInt(e + keyBytes + 2, 2, leaf.count);
            } else {
                // Entry j stands for block j of the level below: its first key and its count.
                const size_t below = levelStart - levelBlocks[level - 1];
                const size_t entriesBelow = level == 1 ? n : levelBlocks[level - 2];
                const size_t first = j * per, last = std::min(first + per, entriesBelow);
                std::memcpy(e, entryAt(below, first, false), keyBytes);
                uint32_t count = 0;
                for (size_t i = first; i < last; ++i)
                    count += uint32_t(decodeInt(entryAt(below, i, false) + keyBytes + 2, 2));
                encodeInt(e + keyBytes + 2, 2, std::min<uint32_t>(count, 0x7FFF));
            }
            above.push_back(j / per);
        }
        touched = std::move(above);
        levelStart += levelBlocks[level];
    }
    for (auto& [b, bytes] : dirty)
        if (image_.compare(headerSize + b * blockSize, blockSize, bytes) != 0)
            u.writes.emplace_back(headerSize + b * blockSize, std::move(bytes));
    u.size = image_.size();
    return u;
}

void TreeImage::adopt(const Update& u)
{
    if (u.whole) {
        image_ = *u.whole;
    } else {
        for (const auto& [offset, bytes] : u.writes)
            image_.replace(size_t(offset), bytes.size(), bytes);
    }
    laidOut_ = true;
}

std::string countedHeader(std::string head, const SortedBlocks& b)
{
    put32(head, 0x06, b.records());
    put16(head, 0x0A, b.fileBlocks());
    put16(head, 0x0C, b.fileBlocks());
    put16(head, 0x0E, b.firstBlock());
    put16(head, 0x10, b.lastBlock());
    put16(head, 0x3A, b.fileBlocks());
    return head;
}

std::vector<std::pair<uint64_t, std::string>> changedRanges(const std::string& old, const std::string& now, size_t headerSize,
                                                             size_t blockSize)
{
    std::vector<std::pair<uint64_t, std::string>> out;
    auto differs = [&](size_t at, size_t n) { return at + n > old.size() || std::memcmp(old.data() + at, now.data() + at, n) != 0; };
    if (differs(0, std::min(headerSize, now.size())))
        out.emplace_back(0, now.substr(0, headerSize));
    for (size_t at = headerSize; at < now.size(); at += blockSize) {
        const size_t n = std::min(blockSize, now.size() - at);
        if (differs(at, n))
            out.emplace_back(at, now.substr(at, n));
    }
    return out;
}

} // namespace tv::px
