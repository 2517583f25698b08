#pragma once
// The production .MDX index of a dBASE IV table: its tag definitions (name, key expression,
// order) are read; keys are not read (the dataset layer orders records itself), but written in
// full, so that other dBASE programs find every record through the tags.
#include "dbfformat.h"

#include "engine/tablefile.h"

#include <string>
#include <string_view>
#include <vector>

namespace tv::dbase {

// The tags of a whole .MDX file, in tag-table order. Throws EngineError naming `path` when the
// file is damaged. Field names in the result are spelt as in `fields`.
std::vector<IndexDef> readMdxTags(std::string_view bytes, const std::string& path,
                                  const std::vector<FieldDef>& fields, int codePage);

// Fills fields/caseInsensitive/expression of `def` from `def.expressionText`: a plain field name
// or UPPER(field) is a field index (UPPER: case-insensitive), anything else an expression.
void interpretKeyExpression(IndexDef& def, const std::vector<FieldDef>& fields);

// A production .MDX holding `indexes` with a key tree each, built from the records of `dbf` (a
// whole .DBF image laid out as `layout`). Throws EngineError naming `path` for an index dBASE
// cannot express or whose keys cannot be built.
std::string buildMdx(const std::string& path, const std::string& tableBaseName, const std::vector<IndexDef>& indexes,
                     const DbfLayout& layout, std::string_view dbf, int year, int month, int day);

} // namespace tv::dbase
