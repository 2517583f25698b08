#pragma once
// The one table that ties every page of the main window to its base and to the objects that
// serve it. Every handler that acts "on the active page" looks its objects up here; none of
// them keeps a chain of page tests of its own.

#include <array>

namespace tv::app {

// Which record tools a page enables when it becomes active with its base present.
enum class RecordToolSet {
    None,       // search page, placeholder page, Info page: all record tools off
    Browse,     // read-only base with grid and record view
    BrowseGrid, // read-only base without a record view (no grid switch)
    Edit,       // the private base: browsing plus the six editing buttons
};

struct PageEntry {
    int tab;
    const char* sheet;          // TabSheetN
    const char* caption;        // tab caption
    int base;                   // base number shown (0 = none; 8 = reserved, never present)
    int altBase;                // second base of the page (forum "Delphi" on page 4), else 0
    const char* table;          // wwTableN of `base`
    const char* altTable;       // wwTable40 on page 4
    const char* dataSource;     // wwDataSourceN of `base`
    const char* altDataSource;  // wwDataSource40 on page 4
    const char* grid;           // wwDBGridN, or nullptr
    const char* recordPane;     // record view panel, or nullptr
    const char* filterDialog;   // wwFilterDialogN, or nullptr
    const char* listReport;     // report holder used in grid view, or nullptr
    const char* memoReport;     // report holder used in record view (same as list if none)
    const char* missingA;       // first missing-base notice, or nullptr
    const char* missingB;       // second missing-base notice, or nullptr
    const char* clipboardMemo;  // memo pane that Cut/Copy/Paste act on, or nullptr
    RecordToolSet tools;
};

inline constexpr int kPageCount = 11;
inline constexpr int kSweepPage = 0;
inline constexpr int kForumPage = 4;
inline constexpr int kPlaceholderPage = 8;
inline constexpr int kPrivatePage = 9;
inline constexpr int kInfoPage = 10;

// clang-format off
inline constexpr std::array<PageEntry, kPageCount> kPages = {{
    {0,  "TabSheet0",  "Sweep",       0, 0,  nullptr,    nullptr,     nullptr,         nullptr,          nullptr,     nullptr,   nullptr,           nullptr,        nullptr,           nullptr,     nullptr,     nullptr,    RecordToolSet::None},
    {1,  "TabSheet1",  "DTopics",     1, 0,  "wwTable1", nullptr,     "wwDataSource1", nullptr,          "wwDBGrid1", "Panel2",  "wwFilterDialog1", "DTopicsForm",  "DTopicsMemoForm", "Missing1a", "Missing1b", "DBMemo1",  RecordToolSet::Browse},
    {2,  "TabSheet2",  "DBK",         2, 0,  "wwTable2", nullptr,     "wwDataSource2", nullptr,          "wwDBGrid2", "Panel3",  "wwFilterDialog2", "DKBForm1",     "DKBMemoForm1",    "Missing2a", "Missing2b", "DBMemo2",  RecordToolSet::Browse},
    {3,  "TabSheet3",  "Delphi News", 3, 0,  "wwTable3", nullptr,     "wwDataSource3", nullptr,          "wwDBGrid3", "Panel23", "wwFilterDialog3", "DNewsForm",    "DNewsMemoForm",   "Missing3a", "Missing3b", "DBMemo3",  RecordToolSet::Browse},
    {4,  "TabSheet4",  "CompuServe",  4, 40, "wwTable4", "wwTable40", "wwDataSource4", "wwDataSource40", "wwDBGrid4", "Panel7",  "wwFilterDialog4", "CISForm1",     "CISMemoForm1",    "Missing4a", "Missing4b", "DBMemo4",  RecordToolSet::Browse},
    {5,  "TabSheet5",  "DSP",         5, 0,  "wwTable5", nullptr,     "wwDataSource5", nullptr,          "wwDBGrid5", "Panel10", "wwFilterDialog5", "DSPForm1",     "DSPMemoForm1",    "Missing5a", "Missing5b", "DBMemo5",  RecordToolSet::Browse},
    {6,  "TabSheet6",  "SWAG",        6, 0,  "wwTable6", nullptr,     "wwDataSource6", nullptr,          "wwDBGrid6", nullptr,   "wwFilterDialog6", "SWAGForm",     "SWAGForm",        "Missing6a", "Missing6b", nullptr,    RecordToolSet::BrowseGrid},
    {7,  "TabSheet7",  "Books",       7, 0,  "wwTable7", nullptr,     "wwDataSource7", nullptr,          "wwDBGrid7", "Panel13", "wwFilterDialog7", "BooksForm1",   "BooksForm1",      "Missing7a", "Missing7b", "DBMemo7",  RecordToolSet::Browse},
    {8,  "TabSheet8",  "TI/FQA",      8, 0,  nullptr,    nullptr,     nullptr,         nullptr,          nullptr,     nullptr,   nullptr,           nullptr,        nullptr,           "Missing8a", nullptr,     nullptr,    RecordToolSet::None},
    {9,  "TabSheet9",  "Private",     9, 0,  "wwTable9", nullptr,     "wwDataSource9", nullptr,          "wwDBGrid9", "Panel34", "wwFilterDialog9", "PrivatForm",   "PrivatMemoForm",  "Missing9a", "Missing9b", "DBMemo9",  RecordToolSet::Edit},
    {10, "TabSheet10", "Info",        0, 0,  nullptr,    nullptr,     nullptr,         nullptr,          nullptr,     nullptr,   nullptr,           nullptr,        nullptr,           nullptr,     nullptr,     nullptr,    RecordToolSet::None},
}};
// clang-format on

// Base numbers in the order the bases are closed at exit.
inline constexpr std::array<int, 9> kCloseOrder = {1, 2, 3, 4, 5, 6, 7, 9, 40};

// True for a page that shows a base of its own (pages 1 to 7 and 9).
constexpr bool isBasePage(int tab)
{
    return tab >= 0 && tab < kPageCount && kPages[tab].table != nullptr;
}

} // namespace tv::app
