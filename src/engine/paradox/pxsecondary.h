#pragma once
// A secondary index as a save writes it: a sorted copy of the indexed fields (.Xnn/.XGn)
// whose entries lead back to the table's records, and the tree over it (.Ynn/.YGn).

#include "engine/tablefile.h"
#include "pxheader.h"
#include "pxwriter.h"

#include <string>
#include <vector>

namespace tv::px {

struct SecondaryLayout {
    std::vector<size_t> cols;        // the indexed fields
    bool single = false;             // a plain index on one field (.Xnn), else a named one (.XGn)
    bool keyed = false;              // of a table with a primary key
    bool descending = false;
    bool caseInsensitive = false;
    std::string xExt, yExt;          // upper-cased extensions of its two files
    FileLayout xl;                   // the data file of entries
    size_t entrySize = 0;
    size_t treeFields = 0, treeBytes = 0;   // the sort key: the leading fields of an entry
    size_t tableKeyBytes = 0;

    // The entry of the table record `rec`, which sits in data block `block` (as record `tupNo`
    // of the table, in slot `slot`, for a table without a key). `x` holds entrySize bytes.
    void entry(const uint8_t* rec, const std::vector<FieldDesc>& tableFields, uint16_t block, uint32_t tupNo, uint16_t slot,
               char* x) const;
    std::vector<FieldDesc> treeKey() const { return {xl.fields.begin(), xl.fields.begin() + std::ptrdiff_t(treeFields)}; }
    uint8_t treeType() const { return single ? kSecondaryTree : kCompositeTree; }
};

// The layouts of the table's secondary indexes (`indexes` may hold the primary one, which is
// skipped), for a table with header `h` whose data file is `tablePath`. Throws EngineError
// naming `tablePath` when an index cannot be saved.
std::vector<SecondaryLayout> secondaryLayouts(const std::vector<IndexDef>& indexes, const std::vector<FieldDef>& fields, const Header& h,
                                              int codePage, uint8_t blockKiB, uint16_t changeCount, const std::string& tablePath);

} // namespace tv::px
