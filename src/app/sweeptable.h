#pragma once
// The bases of the "Sweep" page: each one's radio group of field choices, where it stands on
// the page and the field every item searches. Shared by the page's building, by the search
// itself and by page switching (which disables the groups of missing bases).

#include <array>

namespace tv::app {

struct SweepBase {
    const char* group;                   // the base's radio group of field choices
    int base;
    std::array<const char*, 6> fields;   // field searched by items 1 to 6 (nullptr: no item)
    const char* caption;                 // the label above the group
    const char* captionName;             // its objectName
    int captionX, captionY;
    int x;                               // the group's left edge; groups stand left to right
    std::array<const char*, 7> items;    // the group's items ("Nothing" first; nullptr: none)
};

inline constexpr int kSweepBaseCount = 7;

// In the order the bases are searched.
// clang-format off
inline constexpr std::array<SweepBase, kSweepBaseCount> kSweepBases = {{
    {"rgpDTopics", 1, {"Topic",   "Category",     "Keywords",    "Description",    "Release", nullptr},
     "DTopics",     "Label50", 38,  28, 20,  {"Nothing", "Topic", "Category", "Keywords", "Description", "Delphi"}},
    {"rgpDKB",     2, {"Topic",   "Category",     "Keywords",    "A",              "Ver",     nullptr},
     "DKB",         "lblDKB",  128, 28, 103, {"Nothing", "Topic", "Category", "Keywords", "Description", "Delphi"}},
    {"rgpCSI",     4, {"Title",   "Keywords",     "Comments",    "CIS Name",       nullptr,   nullptr},
     "CompuServe",  "Label52", 275, 28, 271, {"Nothing", "Title", "Keywords", "Comments", "Name"}},
    {"rgpDSP",     5, {"File",    "Category",     "Description", "Delphi Version", "Name",    nullptr},
     "DSP",         "Label53", 382, 28, 354, {"Nothing", "File", "Category", "Description", "Delphi", "Name"}},
    {"rgpSWAG",    6, {"Subject", "SWAG Library", "Contributor", nullptr,          nullptr,   nullptr},
     "SWAG",        "Label54", 456, 28, 438, {"Nothing", "Subject", "Library", "Name"}},
    {"rgpDNews",   3, {"Subject", "Keylist",      "Info",        "Author",         nullptr,   nullptr},
     "Delphi News", "Label56", 196, 28, 187, {"Nothing", "Topic", "Keywords", "Description", "Name"}},
    {"rgpPrivate", 9, {"Topic",   "Category",     "Keywords",    "Description",    "Delphi",  "Source"},
     "Private",     "Label32", 544, 29, 522, {"Nothing", "Topic", "Category", "Keywords", "Description", "Delphi", "Name"}},
}};
// clang-format on

} // namespace tv::app
