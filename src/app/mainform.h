#pragma once
// The program's main window: toolbar, record-tool row, menus, the eleven pages and the status
// bar. The implementation is split by concern:
//   mainform_layout.cpp   button rows, menus, status bar, page control
//   mainform_pages.cpp    the base pages (credit strips, grids, record panes, notices)
//   mainform_sweep.cpp    the search page and the Info page
//   mainform_sweepsearch.cpp  the search across the bases (the go button)
//   mainform_ordering.cpp the index chooser, title-click ordering and title colours
//   mainform_life.cpp     creation, hints, help, exit
//   mainform_paging.cpp   page switching, record tools, notices, grid/record view
//   mainform_records.cpp  navigation, editing and bookmarks
//   mainform_filtering.cpp filter, search and locate
//   mainform_hooks.cpp    commands served by other modules (reports, dialogs, filters, ...)

#include "app/datamodule.h"
#include "app/pagetable.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <optional>

class QAction;
class QButtonGroup;
class QLineEdit;
class QMenu;
class QTabWidget;
class QAbstractButton;
class QGroupBox;
class QFrame;

namespace tv::reports {
class ReportCommand;
}

namespace tv {
class DBComboDlg;
class FilterDialog;
class LocateDialog;
class SearchDialog;
class TTips;
class TdbIndex;
class DBGrid;
class TStatus;
}

#include "engine/dataset/table.h"

namespace tv::app {

class PageCanvas;

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

    // --- Commands served by other modules (mainform_hooks.cpp)
    void btnPreviewClick(QObject* sender);
    void mnuPrintSetupClick();
    void ClipboardClick(QObject* sender);
    void About1Click();
    void btnTipClick();
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
    tv::SearchDialog* searchDialog() const;
    tv::LocateDialog* locateDialog() const;

    // --- Editing aids (mainform_aids.cpp): book ratings, the private date box
    void DBEdit5Change();
    void DBEdit6Change();
    void DBEdit7Change();
    void DBEdit8Change();
    void EditLevelChange();
    void wwDBComboDlg1CustomDlg(tv::DBComboDlg* box);

    // --- Reports (mainform_reports.cpp)
    // Creates the fourteen report holders (start-up, after the main window) and the command.
    void createReportHolders();
    tv::reports::ReportCommand* reportCommand() const { return m_reports; }
    tv::TTips* Tips1() const { return m_tips; }

    // --- Search across the bases (mainform_sweepsearch.cpp)
    void btnGOClick();

    // --- Order of the bases (mainform_ordering.cpp)
    void btnDBIndexClick();
    void wwDBGrid1TitleButtonClick(tv::DBGrid* grid, const QString& fieldName);
    void wwDBGrid1CalcTitleAttributes(tv::DBGrid* grid, const QString& fieldName, QColor& background);

    // --- State shared with the other modules
    int activePage() const;
    const PageEntry& activeEntry() const { return kPages[static_cast<size_t>(activePage())]; }
    // Base shown on a page now (page 4 follows the forum choice); 0 when none.
    int pageBase(int tab) const;
    // Table shown on a page now, or nullptr.
    tv::Table* pageTable(int tab) const;
    tv::Table* CurrentTable() const { return m_currentTable; }
    bool BookmarkSet() const { return m_bookmarkSet; }
    bool gridVisible(int tab) const;
    TdbIndex* indexChooser() const { return m_indexChooser; }
    QWidget* control(const char* name) const;   // any named child widget
    QAction* action(const char* name) const;    // any named menu entry

    // The data side of leaving the program: post a pending private note and save every
    // change of the private base not yet on disk, then release the bookmark, close the opened
    // bases and then the database. When a post or save fails the user chooses: try again,
    // go on without it, or stay; false when they stay (nothing was closed).
    bool shutdownData();
    bool settlePrivateBase();

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
    QWidget* buildRecordPane(int tab, QWidget* parent);
    void bindCommands();

    // Paging helpers (mainform_paging.cpp)
    void setRecordTools(RecordToolSet set);
    void centreHorizontally(QWidget* w) const;
    void centrePanel(QWidget* w) const;
    void releaseBookmark();
    void setButtonsEnabled(std::initializer_list<const char*> names, bool enabled);

    // Records (mainform_records.cpp)
    void updateBackTrio(bool atBeginning);
    void updateForwardTrio(bool atEnd);
    void setEditButtons(bool editing);

    // Filter, search and locate (mainform_filtering.cpp)
    void createFilterTools();
    int toolBase() const;   // the base the filter, search and locate commands act on

    // Editing aids (mainform_aids.cpp)
    void bindEditingAids();
    void showRating(const char* field, int firstImage);

    QTabWidget* m_pages = nullptr;
    TStatus* m_status = nullptr;
    TdbIndex* m_indexChooser = nullptr;
    TTips* m_tips = nullptr;
    tv::reports::ReportCommand* m_reports = nullptr;
    tv::Table* m_currentTable = nullptr;
    tv::Table* m_bookmarkTable = nullptr;
    bool m_bookmarkSet = false;
    tv::Bookmark m_bookmark;
    bool m_wasActivated = false;
    bool m_closing = false;
    int m_lastPage = 0;
};

} // namespace tv::app
