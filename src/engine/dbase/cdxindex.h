#pragma once
// The structural .CDX index of a FoxPro or Visual FoxPro table: its tags (name, key expression,
// order) are read from the tag directory, a compact index whose keys are the tag names; the key
// tree of a tag gives the order of the table's records by that tag.
#include "engine/tablefile.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tv::dbase {

// One key of a compact index leaf: the key bytes (trailing bytes restored as blanks) and the
// number that goes with it (record number, or the offset of a tag header in the directory).
struct CdxKey {
    std::string key;
    uint32_t number = 0;
};

// Hands every key of the compact index whose header lies at `headerOffset` of `bytes` to `visit`,
// in the order the tree keeps them, read through its interior nodes; the leaves' links are
// checked once all are read. Trailing bytes a leaf leaves out are restored as `fill`. Throws
// EngineError naming `path` when a node is damaged or the tree loops.
using CdxKeyVisitor = std::function<void(std::string_view key, uint32_t number)>;
void forEachCdxKey(std::string_view bytes, size_t headerOffset, const std::string& path, char fill, const CdxKeyVisitor& visit);
// The same keys in a list.
std::vector<CdxKey> readCdxKeys(std::string_view bytes, size_t headerOffset, const std::string& path, char fill = ' ');

// The records (numbered from 0) of the tag whose header lies at `headerOffset`, in the tag's
// order, ascending or descending as the header says, ties as the tree has them. Checked against
// a table of `recordCount` records: each record once, and every record (deleted ones too) unless
// the tag has a FOR condition or is unique; keys in order. `fill` is the byte a key is padded with (a blank
// for text keys, zero for the others). Throws EngineError naming `path` and what is wrong.
std::vector<uint32_t> readCdxOrder(std::string_view bytes, size_t headerOffset, const std::string& path, uint32_t recordCount,
                                   char fill);

// The tags of a whole .CDX file, in the directory's order, with the offsets of their headers in
// `headers` when given. Field names in the result are spelt as in `fields`. Throws EngineError
// naming `path` when the file is damaged.
std::vector<IndexDef> readCdxTags(std::string_view bytes, const std::string& path, const std::vector<FieldDef>& fields,
                                  int codePage, std::vector<uint32_t>* headers = nullptr);

} // namespace tv::dbase
