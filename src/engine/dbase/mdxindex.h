#pragma once
// The production .MDX index of a dBASE IV table: its tag definitions (name, key expression,
// order). Keys are not read; the dataset layer orders records itself.
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

// A production .MDX holding the definitions of `indexes` over `fields` (no keys yet).
// Throws EngineError naming `path` for an index dBASE cannot express.
std::string buildMdx(const std::string& path, const std::string& tableBaseName, const std::vector<IndexDef>& indexes,
                     const std::vector<FieldDef>& fields, int codePage, int year, int month, int day);

} // namespace tv::dbase
