#include "pxprimary.h"

#include "pxbytes.h"

namespace tv::px {

namespace {

struct Walk {
    const uint8_t* px;
    size_t size;
    size_t headerSize, blockSize, entrySize, blocksInIndex, tableBlocks, perDataBlock;
    std::vector<uint8_t> seenIndex, seenData;
    std::vector<IndexedBlock> out;
    uint64_t records = 0;

    // Lists the data blocks below index block `b` at tree level `level` (1 = leaves).
    bool visit(size_t b, int level)
    {
        if (b < 1 || b > blocksInIndex || seenIndex[b])
            return false;
        seenIndex[b] = 1;
        const uint8_t* p = px + headerSize + (b - 1) * blockSize;
        const int16_t last = int16_t(le16(p + 4));
        if (last < 0 || size_t(last) % entrySize != 0 || size_t(last) + entrySize > blockSize - 6)
            return false;
        const size_t entries = size_t(last) / entrySize + 1;
        const size_t keyBytes = entrySize - 6;
        for (size_t i = 0; i < entries; ++i) {
            const uint8_t* e = p + 6 + i * entrySize + keyBytes;
            // Block numbers run up to 65,535: the two bytes are read without a sign.
            const int64_t child = int64_t(uint16_t(decodeInt(e, 2))), count = decodeInt(e + 2, 2);
            if (level > 1) {
                if (child < 1 || !visit(size_t(child), level - 1))
                    return false;
                continue;
            }
            if (child < 1 || size_t(child) > tableBlocks || seenData[size_t(child)] || count < 1 ||
                size_t(count) > perDataBlock)
                return false;
            seenData[size_t(child)] = 1;
            out.push_back({uint32_t(child), uint32_t(count)});
            records += uint64_t(count);
        }
        return true;
    }
};

} // namespace

std::optional<std::vector<IndexedBlock>> blocksFromPrimaryIndex(const uint8_t* px, size_t size, const Header& table,
                                                                size_t tableBlocks)
{
    Header h;
    try {
        h = parseHeader(px, size, "primary index");
    } catch (const EngineError&) {
        return std::nullopt;
    }
    const size_t blockSize = h.blockSize();
    if (h.fileType != kPrimaryIndex || blockSize == 0 || h.recordSize < 7 || h.levels < 1 || h.levels > 8 ||
        size < h.headerSize || table.recordSize == 0 || table.blockSize() <= 6)
        return std::nullopt;
    Walk w{px, size, h.headerSize, blockSize, h.recordSize, (size - h.headerSize) / blockSize, tableBlocks,
           (table.blockSize() - 6) / table.recordSize, {}, {}, {}, 0};
    w.seenIndex.assign(w.blocksInIndex + 1, 0);
    w.seenData.assign(tableBlocks + 1, 0);
    if (!w.visit(h.rootBlock, h.levels) || w.records != table.numRecords)
        return std::nullopt;
    return std::move(w.out);
}

} // namespace tv::px
