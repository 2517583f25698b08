#pragma once
// A table file opened by the user (File > Open Table, the command line, a file dropped on the
// main window): read-only, in a window of its own with the record grid, a record view, the
// Search, Locate and Filter dialogs, ordering, bookmarks and Export.

#include "engine/dataset/table.h"

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QMenu;

namespace tv {
class DataSource;
class DBGrid;
class FilterDialog;
class LocateDialog;
class MemoHighlighter;
class SearchDialog;
}

namespace tv::app {

class TableWindow : public QMainWindow {
    Q_OBJECT
public:
    // Opens the table at `path` read-only (nothing beside it is recovered or written) and shows
    // it in a new window that deletes itself when closed. When the engine cannot read it, shows
    // the engine's error over `parent` and returns nullptr.
    static TableWindow* openTable(const QString& path, QWidget* parent = nullptr);
    // Asks for a table file and opens it.
    static void chooseTable(QWidget* parent);
    ~TableWindow() override;

    Table& table() { return *m_table; }
    tv::DBGrid* grid() const { return m_grid; }
    tv::MemoHighlighter* highlighter() const { return m_highlight; }
    // Kind and version, code page, record count and how many are shown.
    QString statusText() const;

    // The text a blob field shows: "(graphic, N bytes)"; empty when the field is empty.
    static QString blobText(const FieldDef& field, const Value& value);

    // The last tables opened, most recent first, kept in the user's data folder.
    static QStringList recentTables();
    static void rememberTable(const QString& path);

private:
    TableWindow(std::unique_ptr<Table> table, const QString& path, QWidget* parent);
    void buildMenus();
    QWidget* buildRecordView();
    void fillOrderMenu();
    void showBlobs();
    void updateStatus();
    void titleClicked(const QString& fieldName);
    // The word of the filter or the locate just run is marked in the memo panes.
    void markFilterWord();
    void moveToWord(bool forward);
    void setBookmark();
    void gotoBookmark();

    std::unique_ptr<Table> m_table;
    QString m_path;
    tv::DataSource* m_source = nullptr;
    tv::DBGrid* m_grid = nullptr;
    tv::FilterDialog* m_filter = nullptr;
    tv::SearchDialog* m_search = nullptr;
    tv::LocateDialog* m_locate = nullptr;
    tv::MemoHighlighter* m_highlight = nullptr;
    class QTabWidget* m_memos = nullptr;
    QMenu* m_orderMenu = nullptr;
    QLabel* m_status = nullptr;
    std::vector<std::pair<int, QLineEdit*>> m_blobBoxes;   // field, box
    Bookmark m_bookmark;
};

// The main window's part: File menu entries "Open Table...", the recent tables and "Export..."
// (of the table `shown` gives, nullptr when the page shows none), and tables dropped on `window`.
void addTableCommands(QMenu* file, QWidget* window, std::function<const Table*()> shown);
// Opens every table named on the command line (arguments that are not options).
void openTablesGiven(const QStringList& arguments, QWidget* parent);

} // namespace tv::app
