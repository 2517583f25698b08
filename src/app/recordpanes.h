#pragma once
// The record views of the base pages: one builder a page, each filling the page's record pane
// with its field boxes, memo panes and splitters.

#include <array>

class QLabel;
class QLineEdit;

namespace tv {
class DBComboDlg;
class DBMemo;
class TPanel;
}

namespace tv::app {

// The rating rows and the level of the Books page.
struct BooksView {
    std::array<QLabel*, 20> stars{};          // five stars a row, four rows
    std::array<QLineEdit*, 4> ratings{};      // the hidden boxes of the four ratings
    QLineEdit* level = nullptr;               // hidden box of the level number
    QLabel* levelWord = nullptr;
};

// What a builder hands back to the window.
struct RecordPaneParts {
    tv::DBMemo* memo = nullptr;               // the memo pane the clipboard commands act on
    BooksView books;                          // Books page only
    tv::DBComboDlg* dateBox = nullptr;        // private page only
    QLineEdit* firstField = nullptr;          // private page only: where typing a note starts
};

// Fills `pane` (docked client in its page) for page `tab` showing base `base`.
using RecordPaneBuilder = RecordPaneParts (*)(tv::TPanel* pane, int tab, int base);

RecordPaneParts topicsPane(tv::TPanel* pane, int tab, int base);
RecordPaneParts questionsPane(tv::TPanel* pane, int tab, int base);
RecordPaneParts newsPane(tv::TPanel* pane, int tab, int base);
RecordPaneParts forumPane(tv::TPanel* pane, int tab, int base);
RecordPaneParts downloadsPane(tv::TPanel* pane, int tab, int base);
RecordPaneParts booksPane(tv::TPanel* pane, int tab, int base);
RecordPaneParts notesPane(tv::TPanel* pane, int tab, int base);

} // namespace tv::app
