#pragma once
// The structural .CDX index of a FoxPro or Visual FoxPro table: its tags (name, key expression,
// order) are read from the tag directory, a compact index whose keys are the tag names.
#include "engine/tablefile.h"

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

// Every key of the compact index whose header lies at `headerOffset` of `bytes`, in key order.
// Throws EngineError naming `path` when a node is damaged or the tree loops.
std::vector<CdxKey> readCdxKeys(std::string_view bytes, size_t headerOffset, const std::string& path);

// The tags of a whole .CDX file, in the directory's order. Field names in the result are spelt
// as in `fields`. Throws EngineError naming `path` when the file is damaged.
std::vector<IndexDef> readCdxTags(std::string_view bytes, const std::string& path,
                                  const std::vector<FieldDef>& fields, int codePage);

} // namespace tv::dbase
