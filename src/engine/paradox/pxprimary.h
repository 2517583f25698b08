#pragma once
// The leaf level of a keyed table's primary index (.PX): the table's data blocks in key order
// with the number of records each holds. Opening a large table from it reads a few hundred
// kilobytes instead of the header of every data block.

#include "pxheader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tv::px {

struct IndexedBlock {
    uint32_t block = 0;   // data block number (1 = first)
    uint32_t count = 0;   // records in it
};

// The data blocks the primary index `px` lists, for a table with header `table` and
// `tableBlocks` blocks in its file. nullopt when the index cannot stand in for the block
// chain: damaged, stale (its counts do not add up to the table's), or of another layout.
// The blocks themselves are not read.
std::optional<std::vector<IndexedBlock>> blocksFromPrimaryIndex(const uint8_t* px, size_t size, const Header& table,
                                                                size_t tableBlocks);

} // namespace tv::px
