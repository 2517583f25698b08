#pragma once
// SearchDialog: the incremental search window over a table. The user picks the index to
// search by and types; each character moves the selection of the window's grid to the first
// record whose key begins with what was typed (letter case ignored). The window works on the
// table itself, so the record selected when it closes with OK is the table's current record;
// Cancel puts back the order and the record the table had.
//
// LookupDialog is the same window under the caption "Lookup", over its lookup table.

#include "engine/dataset/table.h"

#include <QDialog>
#include <QPointer>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;

namespace tv {

class DataSource;
class DBGrid;

// The row of the first record, in the table's current order, whose field `field` begins
// with `text` (ASCII letters folded); -1 when none. When the order is by that text field
// the search is a binary search, otherwise a scan.
int incrementalSearchRow(const Table& table, int field, const QString& text);

class SearchDialog : public QObject {
    Q_OBJECT
public:
    explicit SearchDialog(QObject* parent = nullptr);

    void setSearchTable(Table* table) { table_ = table; }
    Table* searchTable() const { return table_; }
    QString caption = QStringLiteral("Search");
    // Most the window may be high, in pixels (0: no limit).
    int maxHeight = 209;

    // Shows the window (modal). True when it was closed with OK. Without an open table, warns
    // "Search Table is not active." and returns false.
    bool execute(QWidget* parent = nullptr);

protected:
    virtual QString notActiveText() const { return QStringLiteral("Search Table is not active."); }

private:
    Table* table_ = nullptr;
};

class LookupDialog : public SearchDialog {
    Q_OBJECT
public:
    explicit LookupDialog(QObject* parent = nullptr) : SearchDialog(parent) { caption = QStringLiteral("Lookup"); }
    void setLookupTable(Table* table) { setSearchTable(table); }
    Table* lookupTable() const { return searchTable(); }

protected:
    QString notActiveText() const override { return QStringLiteral("Lookup Table is not active."); }
};

// The window of SearchDialog.
class SearchDialogForm : public QDialog {
    Q_OBJECT
public:
    SearchDialogForm(const SearchDialog& owner, Table& table, QWidget* parent = nullptr);
    ~SearchDialogForm() override;

    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillIndexes();
    void indexChosen();
    void searchFor(const QString& text);
    void updateStatus();
    int searchField() const;

    Table& table_;
    DataSource* source_;
    DBGrid* grid_;
    QLineEdit* edit_;
    QComboBox* indexes_;
    QLabel* status_;
    std::string oldIndex_;
    Bookmark oldRecord_;
};

} // namespace tv
