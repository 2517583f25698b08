#pragma once
// The bases of the "Sweep" page: each one's radio group of field choices and the field every
// item searches. Shared by the search itself and by page switching (which disables the groups
// of missing bases).

#include <array>

namespace tv::app {

struct SweepBase {
    const char* group;                   // the base's radio group of field choices
    int base;
    std::array<const char*, 6> fields;   // field searched by items 1 to 6 (nullptr: no item)
};

// In the order the bases are searched. Item 0 of every group is "Nothing".
// clang-format off
inline constexpr SweepBase kSweepBases[] = {
    {"rgpDTopics", 1, {"Topic",   "Category",     "Keywords",    "Description",    "Release", nullptr}},
    {"rgpDKB",     2, {"Topic",   "Category",     "Keywords",    "A",              "Ver",     nullptr}},
    {"rgpCSI",     4, {"Title",   "Keywords",     "Comments",    "CIS Name",       nullptr,   nullptr}},
    {"rgpDSP",     5, {"File",    "Category",     "Description", "Delphi Version", "Name",    nullptr}},
    {"rgpSWAG",    6, {"Subject", "SWAG Library", "Contributor", nullptr,          nullptr,   nullptr}},
    {"rgpDNews",   3, {"Subject", "Keylist",      "Info",        "Author",         nullptr,   nullptr}},
    {"rgpPrivate", 9, {"Topic",   "Category",     "Keywords",    "Description",    "Delphi",  "Source"}},
};
// clang-format on

} // namespace tv::app
