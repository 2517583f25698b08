#pragma once
// Field conditions of a table's base filter and the matching rules they follow.
//
// A record passes the filter when it satisfies every condition ("and"). A condition looks at
// the field's text (its display text; for a memo the first 32,767 characters of the memo):
//   - unless the condition is case-sensitive, only the letters a-z are folded to A-Z on both
//     sides (accented letters keep their case);
//   - fdMatchExact: the text equals the value; fdMatchStart: the value begins the text;
//     fdMatchAny: the value occurs anywhere; fdMatchEnd: the value ends the text;
//   - fdMatchRange: the field's value is not below `minimum` and not above `maximum`,
//     compared by the field's type (text, integer, floating point, date, time, timestamp);
//     an empty bound is open; never true for memo fields;
//   - an empty value is found nowhere: fdMatchStart/fdMatchAny/fdMatchEnd let no record
//     pass, fdMatchExact lets through the records whose (non-memo) field is empty;
//   - a condition on a field the table does not have lets no record pass.

#include "engine/codepage.h"

#include <string>
#include <string_view>
#include <vector>

namespace tv {

// The match types in their fixed order (the numbers are part of the interface).
enum FilterMatchType : int {
    fdMatchStart = 0,
    fdMatchAny = 1,
    fdMatchExact = 2,
    fdMatchEnd = 3,
    fdMatchRange = 4,
};

struct FieldCondition {
    std::string fieldName;      // looked up without regard to letter case
    std::string displayLabel;   // the label by which a filter dialog identifies the condition
    FilterMatchType matchType = fdMatchStart;
    std::string value;          // for fdMatchStart/Any/Exact/End
    std::string minimum;        // for fdMatchRange; empty = open
    std::string maximum;        // for fdMatchRange; empty = open
    bool caseSensitive = false;

    bool operator==(const FieldCondition&) const = default;
};

using FilterConditions = std::vector<FieldCondition>;

// What a filter told to go on past damage could not read: those records do not pass.
struct FilterDamage {
    size_t records = 0;   // records whose value could not be read
    std::string first;    // the first fault met, in the engine's words (names the file)
};

// Matches one text against a condition's value with the text rules above (not ranges).
// `text` and `value` are compared as given; the caller limits memo text.
bool matchText(std::string_view text, std::string_view value, FilterMatchType type, bool caseSensitive);

} // namespace tv
