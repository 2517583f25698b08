#include "pxblockfile.h"

#include "pxbytes.h"

#include <algorithm>
#include <cstring>

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

std::optional<SortedBlocks::Plan> SortedBlocks::plan(std::vector<Op> ops, const uint8_t* data, size_t size) const
{
    for (const auto& op : ops)
        if (op.key.size() != keyBytes_ || (!op.record.empty() && op.record.size() != recordSize_))
            return std::nullopt;
    std::stable_sort(ops.begin(), ops.end(), [this](const Op& a, const Op& b) { return compare(a.key.data(), b.key.data()) < 0; });
    for (size_t i = 1; i < ops.size(); ++i)
        if (compare(ops[i - 1].key.data(), ops[i].key.data()) == 0)
            return std::nullopt;

    Plan p;
    SortedBlocks& a = p.after;
    a = *this;
    a.blocks_.clear();
    a.counts_.clear();
    a.keys_.clear();
    a.records_ = 0;
    struct Content {
        uint16_t block;
        std::string records;
        std::vector<uint16_t> from;
    };
    std::vector<Content> contents;
    std::vector<bool> rewritten(size_t(fileBlocks_) + 1, false);

    size_t j = 0;
    for (size_t pos = 0; pos < blocks_.size(); ++pos) {
        const uint16_t block = blocks_[pos];
        size_t until = j;
        if (pos + 1 == blocks_.size())
            until = ops.size();
        else
            while (until < ops.size() && blockFor(ops[until].key.data()) == pos)
                ++until;
        if (until == j) {
            a.blocks_.push_back(block);
            a.counts_.push_back(counts_[pos]);
            a.keys_.append(keys_, pos * keyBytes_, keyBytes_);
            a.records_ += counts_[pos];
            continue;
        }
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
        if (n == 0) {
            a.free_.push_back(block);
            continue;
        }
        // An overflowing block is split: evenly in the middle of the chain, and at its end
        // filled up, since records added at the end mostly keep coming there.
        const size_t pieces = (n + perBlock_ - 1) / perBlock_;
        const bool last = pos + 1 == blocks_.size();
        size_t start = 0;
        for (size_t k = 0; k < pieces; ++k) {
            const size_t count = last ? std::min(perBlock_, n - start) : n / pieces + (k < n % pieces ? 1 : 0);
            uint16_t number = block;
            if (k > 0) {
                if (!a.free_.empty()) {
                    number = a.free_.back();
                    a.free_.pop_back();
                } else {
                    if (a.fileBlocks_ == 0xFFFF)
                        return std::nullopt;
                    number = ++a.fileBlocks_;
                    rewritten.resize(size_t(number) + 1, false);
                }
            }
            Content piece{number, c.records.substr(start * recordSize_, count * recordSize_),
                          std::vector<uint16_t>(c.from.begin() + std::ptrdiff_t(start), c.from.begin() + std::ptrdiff_t(start + count))};
            a.blocks_.push_back(number);
            a.counts_.push_back(uint16_t(count));
            a.keys_.append(piece.records, 0, keyBytes_);
            a.records_ += uint32_t(count);
            rewritten[number] = true;
            contents.push_back(std::move(piece));
            start += count;
        }
    }
    if (a.blocks_.empty())
        return std::nullopt;

    // The links as they were and as they are to be.
    std::vector<uint32_t> oldLinks(size_t(a.fileBlocks_) + 1, 0), newLinks(size_t(a.fileBlocks_) + 1, 0);
    for (size_t k = 0; k < blocks_.size(); ++k)
        oldLinks[blocks_[k]] = uint32_t(k + 1 < blocks_.size() ? blocks_[k + 1] : 0) | uint32_t(k > 0 ? blocks_[k - 1] : 0) << 16;
    for (size_t k = 0; k < a.blocks_.size(); ++k)
        newLinks[a.blocks_[k]] = uint32_t(k + 1 < a.blocks_.size() ? a.blocks_[k + 1] : 0) | uint32_t(k > 0 ? a.blocks_[k - 1] : 0) << 16;
    std::vector<size_t> imageOf(contents.size());
    for (size_t k = 0; k < contents.size(); ++k) {
        const Content& c = contents[k];
        std::string img(blockSize_, '\0');
        put16(img, 0, newLinks[c.block] & 0xFFFF);
        put16(img, 2, newLinks[c.block] >> 16);
        put16(img, 4, uint32_t((c.from.size() - 1) * recordSize_));
        std::memcpy(img.data() + 6, c.records.data(), c.records.size());
        imageOf[k] = p.writes.size();
        p.writes.emplace_back(blockOffset(c.block), std::move(img));
    }
    for (uint16_t b : a.blocks_)
        if (!rewritten[b] && newLinks[b] != oldLinks[b]) {
            std::string link(4, '\0');
            put32(link, 0, newLinks[b]);
            p.writes.emplace_back(blockOffset(b), std::move(link));
        }
    for (size_t k = 0; k < contents.size(); ++k) {
        const std::string& img = p.writes[imageOf[k]].second;
        for (size_t r = 0; r < contents[k].from.size(); ++r)
            p.placed.push_back({std::string_view(img).substr(6 + r * recordSize_, recordSize_), contents[k].block, uint16_t(r),
                                contents[k].from[r]});
    }
    return p;
}

void SortedBlocks::adopt(Plan&& p) { *this = std::move(p.after); }

std::vector<BlockEntry> SortedBlocks::leaves() const
{
    std::vector<BlockEntry> out(blocks_.size());
    for (size_t k = 0; k < blocks_.size(); ++k)
        out[k] = {keys_.substr(k * keyBytes_, keyBytes_), blocks_[k], counts_[k]};
    return out;
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
