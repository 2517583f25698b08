#pragma once
// The program's main window: toolbar, record-tool row, menus, the eleven pages and the status
// bar. The implementation is split by concern:
//   mainform_life.cpp         creation, hints, help, the two ways out
//   mainform_layout.cpp       button rows, menus, status bar, page control, focus watching
//   mainform_pages.cpp        the base pages (credit strips, grids, record panes, notices)
//   mainform_sweep.cpp        building the search page and the Info page
//   mainform_sweepsearch.cpp  the search across the bases (the go button)
//   mainform_paging.cpp       page switching, record tools, notices, grid/record view
//   mainform_records.cpp      navigation, editing, bookmarks and the forum choice
//   mainform_filtering.cpp    filter, search and locate
//   mainform_ordering.cpp     the index chooser, title-click ordering and title colours
//   mainform_aids.cpp         clipboard, book ratings, the date box's calendar, tips, about box
//   mainform_reports.cpp      the report holders, preview/print and printer setup
//   mainform_hooks.cpp        the hidden file-open button, memo panes switching the clipboard tools
//   mainform_conflict.cpp     the question when another copy saved the note being edited
// Every control a handler acts on is held by a typed member set while the window is built;
// the objectNames stay for the tests.

#include "app/datamodule.h"
#include "app/pagetable.h"
#include "app/sweeptable.h"
#include "dbaware/memohighlight.h"
#include "engine/dataset/table.h"

#include <QMainWindow>

#include <array>
#include <map>
#include <utility>

class QAction;
class QButtonGroup;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;

namespace tv::reports {
class ReportCommand;
}

namespace tv {
class DBComboDlg;
class DBGrid;
class FilterDialog;
class LocateDialog;
class SearchDialog;
class TExplorerButton;
class TStatus;
class TTips;
class TdbIndex;
}

namespace tv::app {

// The window's size when it is not maximized.
inline constexpr QSize kDesignedSize(640, 480);

// The buttons of the toolbar and of the record-tool row, in the order they stand.
enum class Tool {
    Open, Exit, PrintSetup, Report, Print, Preview, Cut, Copy, Paste, GridSwitch, DBIndex, Filter,
    NoFilter, Search, Locate, LocateFirst, LocateNext, About, HelpIndex, Help, Tip,
    SetBookmark, GotoBookmark, ClearBookmark, First, Rewind, Prior, Next, Forward, Last,
    Insert, Delete, EditRecord, PostRecord, CancelEdit, RefreshRecord,
    Count
};

// The Tag numbers of the record tools (buttons and the Records menu): the bookmark handler and
// the navigation/editing handler act on the Tag of the control that called them.
enum RecordTag : int {
    tagSetBookmark = 3, tagGotoBookmark, tagClearBookmark,
    tagFirst, tagRewind, tagPrior, tagNext, tagForward, tagLast,
    tagInsert, tagDelete, tagEdit, tagPost, tagCancel, tagRefresh,
};

// The controls of one page that page switching, the view switch and the clipboard act on
// (nullptr where the page has none).
struct PageView {
    tv::DBGrid* grid = nullptr;
    QWidget* recordPane = nullptr;
    QWidget* missingA = nullptr;
    QWidget* missingB = nullptr;
    QPlainTextEdit* clipboardMemo = nullptr;
};

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // --- Life cycle, hints, help (mainform_life.cpp)
    void FormCreate();
    void ShowHint(const QString& hint);
    void ExitItemClick();
    void btnHelpClick();
    void btnHelpIndexClick();
    void SetClipboardTools(bool enabled);
    void DisableRecordTools();

    // --- Page switching and views (mainform_paging.cpp)
    void PageControl1Changing();
    void PageControl1Change();
    void PageControl1Exit();
    void btnGridSwitchClick();

    // --- Records (mainform_records.cpp)
    void btnFirstClick(QObject* sender);
    void btnSetBookmarkClick(QObject* sender);
    void rgpDelphiClick();

    // --- Small commands (mainform_hooks.cpp)
    void btnOpenClick();
    void DBMemo1Enter();
    void DBMemo1Exit();

    // --- Filter, search and locate (mainform_filtering.cpp)
    void btnFilterClick();
    void btnNoFilterClick();
    void Find1Click();
    void btnLocateClick();
    void btnLocateFirstClick();
    void btnLocateNextClick();
    // The filter component of base n (wwFilterDialogN), the search window and the locate dialog.
    tv::FilterDialog* filterDialog(int base) const;
    tv::SearchDialog* searchDialog() const { return m_search; }
    tv::LocateDialog* locateDialog() const { return m_locate; }
    // The word the last Sweep, filter or locate on a base looked for, marked in the record view
    // of the page that shows the base (nullptr for a page without a record view); F3 and
    // Shift+F3 step through it in the page's memo.
    tv::MemoHighlighter* foundWords(int tab) const { return m_found[static_cast<size_t>(tab)]; }
    void nextFound(bool forward);

    // --- Editing aids (mainform_aids.cpp): clipboard, book ratings, the private date box,
    // tip of the day and about box
    void ClipboardClick(QObject* sender);
    void DBEdit5Change();
    void DBEdit6Change();
    void DBEdit7Change();
    void DBEdit8Change();
    void EditLevelChange();
    void wwDBComboDlg1CustomDlg(tv::DBComboDlg* box);
    void About1Click();
    void btnTipClick();
    tv::TTips* Tips1() const { return m_tips; }

    // --- Reports (mainform_reports.cpp)
    // Creates the fourteen report holders (start-up, after the main window) and the command.
    void createReportHolders();
    void btnPreviewClick(QObject* sender);
    void mnuPrintSetupClick();

    // --- Search across the bases (mainform_sweepsearch.cpp)
    void btnGOClick();

    // --- Order of the bases (mainform_ordering.cpp)
    void btnDBIndexClick();
    void wwDBGrid1TitleButtonClick(tv::DBGrid* grid, const QString& fieldName);
    void wwDBGrid1CalcTitleAttributes(tv::DBGrid* grid, const QString& fieldName, QColor& background);

    // --- State shared with the other modules
    int activePage() const;
    // Base shown on a page now (page 4 follows the forum choice); 0 when none.
    int pageBase(int tab) const;
    // Table shown on a page now, or nullptr.
    tv::Table* pageTable(int tab) const;
    tv::Table* CurrentTable() const { return m_currentTable; }
    bool BookmarkSet() const { return m_bookmarkSet; }
    bool gridVisible(int tab) const;
    TdbIndex* indexChooser() const { return m_indexChooser; }

    // The data side of leaving the program: post a pending private note and save every
    // change of the private base not yet on disk, then release the bookmark, close the opened
    // bases and then the database. When a post or save fails the user chooses: try again,
    // go on without it, or stay; false when they stay (nothing was closed).
    bool shutdownData();
    bool settlePrivateBase();
    // The session is ending: the private base is saved without asking (saveNotesWithoutAsking)
    // and the window then closes without asking. Returns what could not be saved.
    QString endWithoutAsking();

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

signals:
    void firstActivated();

private:
    // Building (mainform_layout.cpp, mainform_pages.cpp, mainform_sweep.cpp)
    void buildMenus();
    void buildButtonRows(QWidget* central);
    void buildPageControl(QWidget* central);
    void buildStatusBar(QWidget* central);
    // Back from maximized to normal: the designed size, centred on the screen.
    void restoreDesignedSize(Qt::WindowStates oldState);
    void buildBasePages();
    void buildSweepPage(QWidget* sheet);
    void buildInfoPage(QWidget* sheet);
    void buildRecordPane(int tab, QWidget* parent);
    void bindCommands();

    // Paging helpers (mainform_paging.cpp)
    TExplorerButton* button(Tool t) const { return m_buttons[static_cast<size_t>(t)]; }
    void setRecordTools(RecordToolSet set);
    void centreHorizontally(QWidget* w) const;
    void centrePanel(QWidget* w) const;
    void releaseBookmark();
    void setButtonsEnabled(std::initializer_list<Tool> tools, bool enabled);

    // Records (mainform_records.cpp)
    void updateBackTrio(bool atBeginning);
    void updateForwardTrio(bool atEnd);
    void setEditButtons(bool editing);
    // The editing buttons follow the private base's state on page 9, however an edit
    // started or ended (a button, typing, a paste, the date box, a move that posted).
    void privateStateChanged(tv::TableState state);
    // After Append and Edit: the keyboard goes to the note's first field, cursor at its start.
    void focusFirstNoteField();

    // Filter, search and locate (mainform_filtering.cpp)
    void createFilterTools();
    int toolBase() const;   // the base the filter, search and locate commands act on
    void createFoundWordMarks();
    // Every record view marks the word its base was last searched for; a filter command or a
    // Sweep on a table drops the word of its last Locate (`table` nullptr: none dropped).
    void markFoundWords(const tv::Table* filtered = nullptr);
    void rememberLocateWord();
    // Locate First and Next may move the base Locate was last used on (readyToLeaveNote).
    bool locateMayMove();

    // Editing aids (mainform_aids.cpp)
    void bindEditingAids();
    // The private base asks the user when another copy of the program saved the note being
    // edited since the edit began (mainform_conflict.cpp).
    void bindConflictQuestion();
    void showRating(const char* field, int row);

    QTabWidget* m_pages = nullptr;
    QWidget* m_speedPanel = nullptr;
    TStatus* m_status = nullptr;
    std::array<TExplorerButton*, static_cast<size_t>(Tool::Count)> m_buttons{};
    std::array<QAction*, 3> m_clipboardEntries{};   // Edit menu: Cut, Copy, Paste
    std::array<PageView, kPageCount> m_views{};
    QButtonGroup* m_forumChoice = nullptr;          // page 4: "Delphi" (0) or "Delphi32" (1)
    BooksView m_books;
    tv::DBComboDlg* m_dateBox = nullptr;            // the private base's date box
    QLineEdit* m_noteTopic = nullptr;               // the private base's first field box
    // The search page: the field choice of every base (as kSweepBases), the search type, the word.
    std::array<QGroupBox*, kSweepBaseCount> m_sweepGroups{};
    std::array<QButtonGroup*, kSweepBaseCount> m_sweepChoices{};
    QButtonGroup* m_searchType = nullptr;
    QLineEdit* m_sweepWord = nullptr;
    QWidget* m_sweepPanel = nullptr;
    QWidget* m_infoPanel = nullptr;
    std::array<std::pair<int, tv::FilterDialog*>, 10> m_filters{};   // base, its filter component
    tv::SearchDialog* m_search = nullptr;
    tv::LocateDialog* m_locate = nullptr;
    std::array<tv::MemoHighlighter*, kPageCount> m_found{};
    std::map<const tv::Table*, tv::SearchWord> m_locateWords;   // the word of the last Locate on a table

    TdbIndex* m_indexChooser = nullptr;
    TTips* m_tips = nullptr;
    tv::reports::ReportCommand* m_reports = nullptr;
    tv::Table* m_currentTable = nullptr;
    tv::Table* m_bookmarkTable = nullptr;
    bool m_bookmarkSet = false;
    tv::Bookmark m_bookmark;
    bool m_wasActivated = false;
    bool m_closing = false;
};

} // namespace tv::app
