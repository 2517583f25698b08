#pragma once
// Record orders computed in memory from an index definition.

#include "engine/tablefile.h"

#include <cstdint>
#include <vector>

namespace tv {

// Field positions an index sorts by: its field list, or for an expression index the fields
// of a simple key expression ("UPPER(NAME)+CITY"); empty when they cannot be worked out.
// `foldCase` is set when the expression upper-cases its text.
std::vector<int> indexKeyFields(const TableFile& file, const IndexDef& index, bool* foldCase = nullptr);

// Positions into `all` (the file's record ids) in the order of the index: the order of the key
// tree the file keeps for it where it keeps a sound one (TableFile::storedKeyOrder), else
// multi-field, optionally case-insensitive (a-z folded) and descending; equal keys keep file
// order. An index whose fields cannot be resolved leaves the file order.
std::vector<uint32_t> computeOrder(const TableFile& file, const std::vector<RecordId>& all, const IndexDef& index);

} // namespace tv
