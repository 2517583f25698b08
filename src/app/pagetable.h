#pragma once
// The one table of the main window's pages: each page's sheet, base, grid, record view,
// missing-base notices, credit strip and record tools. Every handler that acts "on the active
// page" looks its facts up here; none of them keeps a chain of page tests of its own. The
// fields, labels and widths of a grid's columns come from the data module's catalogue.

#include "app/recordpanes.h"

#include <array>

namespace tv::app {

// Which record tools a page enables when it becomes active with its base present.
enum class RecordToolSet {
    None,       // search page, placeholder page, Info page: all record tools off
    Browse,     // read-only base with grid and record view
    BrowseGrid, // read-only base without a record view (no grid switch)
    Edit,       // the private base: browsing plus the six editing buttons
};

// The grid's fonts.
enum class GridLook {
    Standard,     // the page's font
    Small,        // 11-pixel cells under 12-pixel bold titles
    LargeTitles,  // 13-pixel bold titles
};

struct PageEntry {
    int tab;
    const char* sheet;                     // TabSheetN
    const char* caption;                   // tab caption
    int base = 0;                          // base number shown (0 = none; 8 = reserved, never present)
    int altBase = 0;                       // second base of the page (forum "Delphi" on page 4), else 0
    const char* grid = nullptr;            // wwDBGridN of a page with a base of its own, else nullptr
    GridLook gridLook = GridLook::Standard;
    const char* recordPane = nullptr;      // record view panel, or nullptr
    RecordPaneBuilder buildPane = nullptr; // fills the record view
    const char* missingA = nullptr;        // first missing-base notice, or nullptr
    const char* missingB = nullptr;        // second missing-base notice, or nullptr
    RecordToolSet tools = RecordToolSet::None;
    // The credit strip above the grid
    int stripHeight = 26;
    const char* compiler = nullptr;        // red name
    const char* contact = nullptr;         // black contact address
    const char* secondLine = nullptr;      // a second line of names and addresses
    // The texts of the missing-base notices
    const char* noticeA = nullptr;
    bool noticeAItalic = false;
    const char* noticeB = nullptr;
    int noticeBLeft = 0, noticeBTop = 0;   // designed place of the second notice
};

inline constexpr int kPageCount = 11;
inline constexpr int kSweepPage = 0;
inline constexpr int kForumPage = 4;
inline constexpr int kBooksPage = 7;
inline constexpr int kPlaceholderPage = 8;
inline constexpr int kPrivatePage = 9;
inline constexpr int kInfoPage = 10;

// clang-format off
inline constexpr std::array<PageEntry, kPageCount> kPages = {{
    {.tab = 0, .sheet = "TabSheet0", .caption = "Sweep"},
    {.tab = 1, .sheet = "TabSheet1", .caption = "DTopics", .base = 1,
     .grid = "wwDBGrid1", .recordPane = "Panel2", .buildPane = topicsPane,
     .missingA = "Missing1a", .missingB = "Missing1b", .tools = RecordToolSet::Browse,
     .compiler = "Martin Albrecht", .contact = "malbrecht@tipvault.example",
     .noticeA = "You can receive the \"Delphi Topics\" database on Compuserve. Look in Delphi32 for \"dtopics2.zip\" file.",
     .noticeB = "Good luck!!!!!", .noticeBLeft = 160, .noticeBTop = 133},
    {.tab = 2, .sheet = "TabSheet2", .caption = "DBK", .base = 2,
     .grid = "wwDBGrid2", .recordPane = "Panel3", .buildPane = questionsPane,
     .missingA = "Missing2a", .missingB = "Missing2b", .tools = RecordToolSet::Browse,
     .compiler = "Carla Benedetti", .contact = "http://www.tipvault.example/dkb/",
     .noticeA = "You can receive the \"Delphi Knowledge Base\" database on the Web. Look at http://www.tipvault.example/dkb/",
     .noticeB = "Good luck!!!!!", .noticeBLeft = 150, .noticeBTop = 135},
    {.tab = 3, .sheet = "TabSheet3", .caption = "Delphi News", .base = 3,
     .grid = "wwDBGrid3", .gridLook = GridLook::Small, .recordPane = "Panel23", .buildPane = newsPane,
     .missingA = "Missing3a", .missingB = "Missing3b", .tools = RecordToolSet::Browse,
     .compiler = "Oliver Grant", .contact = "ogrant@tipvault.example",
     .noticeA = "You can receive the \"Delphi News\" database on the Web. Look for \"delpnews.zip\" at "
                "http://www.tipvault.example/news/",
     .noticeB = "Good luck!!!!!", .noticeBLeft = 174, .noticeBTop = 138},
    {.tab = 4, .sheet = "TabSheet4", .caption = "CompuServe", .base = 4, .altBase = 40,
     .grid = "wwDBGrid4", .recordPane = "Panel7", .buildPane = forumPane,
     .missingA = "Missing4a", .missingB = "Missing4b", .tools = RecordToolSet::Browse,
     .stripHeight = 34, .compiler = "Helen Kowalski", .contact = "CIS 70000,1234",
     .noticeA = "You can receive the \"Delphi Files\" databases on Compuserve. Look in Delphi32 for \"filesdel.zip\" and "
                "\"filesd32.zip\" files.",
     .noticeB = "Good luck!!!", .noticeBLeft = 146, .noticeBTop = 133},
    {.tab = 5, .sheet = "TabSheet5", .caption = "DSP", .base = 5,
     .grid = "wwDBGrid5", .gridLook = GridLook::Small, .recordPane = "Panel10", .buildPane = downloadsPane,
     .missingA = "Missing5a", .missingB = "Missing5b", .tools = RecordToolSet::Browse,
     .compiler = "Pierre Laval", .contact = "http://www.tipvault.example/dsp/",
     .noticeA = "You can receive the \"Delphi Super Page\" database on Compuserve. Look in Delphi32 for \"dspdb.zip\" file.",
     .noticeB = "Good Luck!!!", .noticeBLeft = 160, .noticeBTop = 136},
    {.tab = 6, .sheet = "TabSheet6", .caption = "SWAG", .base = 6,
     .grid = "wwDBGrid6",
     .missingA = "Missing6a", .missingB = "Missing6b", .tools = RecordToolSet::BrowseGrid,
     .stripHeight = 41, .compiler = "Ann Rowe, Tom Becker, Li Wei", .contact = "arowe@tipvault.example",
     .secondLine = "Archive keepers: swag@tipvault.example,  http://www.tipvault.example/swag/",
     .noticeA = "You can receive the \"SWAG Files\" databases on Compuserve. Look in Delphi32 for \"swagdb.zip\" file.",
     .noticeB = "Good luck!!!", .noticeBLeft = 155, .noticeBTop = 134},
    {.tab = 7, .sheet = "TabSheet7", .caption = "Books", .base = 7,
     .grid = "wwDBGrid7", .recordPane = "Panel13", .buildPane = booksPane,
     .missingA = "Missing7a", .missingB = "Missing7b", .tools = RecordToolSet::Browse,
     .compiler = "George Miles", .contact = "gmiles@tipvault.example",
     .noticeA = "You can receive the \"Delphi Books\" database on Compuserve. Look in Delphi32 for \"delbooks.zip\" file.",
     .noticeAItalic = true, .noticeB = "Good luck!!!!!", .noticeBLeft = 165, .noticeBTop = 137},
    {.tab = 8, .sheet = "TabSheet8", .caption = "TI/FQA", .base = 8,
     .missingA = "Missing8a",
     .noticeA = "Sorry, not available yet....."},
    {.tab = 9, .sheet = "TabSheet9", .caption = "Private", .base = 9,
     .grid = "wwDBGrid9", .gridLook = GridLook::LargeTitles, .recordPane = "Panel34", .buildPane = notesPane,
     .missingA = "Missing9a", .missingB = "Missing9b", .tools = RecordToolSet::Edit,
     .compiler = "It's Your Page....", .contact = "",
     .noticeA = "Ooopps! Looks like you are missing your personal database. Try to install \"Tipvault\" again.",
     .noticeB = "Good luck!!!", .noticeBLeft = 150, .noticeBTop = 133},
    {.tab = 10, .sheet = "TabSheet10", .caption = "Info"},
}};
// clang-format on

// True for a page that shows a base of its own (pages 1 to 7 and 9).
constexpr bool isBasePage(int tab)
{
    return tab >= 0 && tab < kPageCount && kPages[static_cast<size_t>(tab)].grid != nullptr;
}

} // namespace tv::app
