#pragma once
// The nine knowledge-base files that ship beside the program: file names and field layouts
// from the program's catalogue, and the key and indexes each one carries. Both the sample
// content and the scale generator write through these definitions, so the two can never
// disagree on a layout.

#include "data/catalogue.h"
#include "engine/tablefile.h"

#include <string>
#include <vector>

namespace mkbases {

using Format = tv::data::Format;

// Base numbers as the program knows them (40 is the second forum list).
enum class Base { Topics = 1, QA = 2, News = 3, Forum32 = 4, ForumDelphi = 40, Dsp = 5, Swag = 6, Books = 7, Private = 9 };

struct BaseDef {
    Base base;
    std::string file;   // exact file name in the data folder
    Format format;
    tv::TableSpec spec;
};

// All nine bases, in the order the program opens them (1, 2, 3, 4, 40, 5, 6, 7, 9).
const std::vector<BaseDef>& catalog();
const BaseDef& baseDef(Base b);

// Position of a field in a base's layout; throws std::out_of_range for an unknown name.
int fieldIndex(const BaseDef& def, const std::string& name);

} // namespace mkbases
