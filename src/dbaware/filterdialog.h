#pragma once
// FilterDialog: the filter component of a data source. It keeps nothing of its own: the
// conditions are the base filter of the bound table. execute() shows a dialog that edits a
// copy of them and, when OK is pressed after a change, puts the copy in place and applies it.
//
// The dialog identifies each condition by its display label (the display label of the field,
// "~" counting as a blank). A condition without a label (one made by a program, not by the
// dialog) belongs to the field it names, so it is shown and kept like any other.

#include "dbaware/datasource.h"

#include <QDialog>
#include <QPointer>

#include <string_view>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QLayout;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabBar;
class QTabWidget;

namespace tv {

// Order of the dialog's field list at start.
enum FilterSortField { fdSortByFieldNo, fdSortByFieldName };
// How the conditions reach the table (only the table's own record filter is offered).
enum FilterMethod { fdByFilter };
// What a new condition becomes: a range when range bounds were typed (smart), or always
// a value, or always a range.
enum FilterByKind { fdSmartFilter, fdFilterByValue, fdFilterByRange };

namespace filterdlg {
// True when two display labels name the same field; "~" counts as a blank on both sides.
bool sameLabel(std::string_view a, std::string_view b);
// The field a condition belongs to: the field whose display label equals the condition's
// label; for a condition without a label, the field it names. -1 when none.
int fieldOfCondition(const Table& table, const FieldCondition& c);
// Words of the search summary for a match type.
QString matchWord(FilterMatchType type);
// The summary's value column: the value, or ">= min, <= max" for a range.
QString summaryValue(const FieldCondition& c);
// Checks a range bound against the field's type; empty when it is fine, else the message.
QString checkBound(const Table& table, int field, const QString& text);
} // namespace filterdlg

class FilterDialogForm;

class FilterDialog : public QObject {
    Q_OBJECT
public:
    explicit FilterDialog(QObject* parent = nullptr);
    ~FilterDialog() override;

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return source_; }
    // The bound table, or nullptr.
    Table* table() const;

    FilterSortField sortBy = fdSortByFieldNo;
    FilterMethod filterMethod = fdByFilter;
    FilterMatchType defaultMatchType = fdMatchStart;
    FilterByKind defaultFilterBy = fdSmartFilter;
    bool defaultCaseSensitive = false;

    // Shows the dialog for the bound table (modal). Returns true when the conditions were
    // replaced and applied. Without an open table, shows the error box and returns false.
    bool execute(QWidget* parent = nullptr);
    // Drops every condition and shows every record again (no dialog).
    void clearFilter();
    // Applies the conditions as they are (no dialog).
    void applyFilter();

    // The dialog while execute() runs (for keyboard-free use in tests), else nullptr.
    FilterDialogForm* form() const { return form_; }

private:
    QPointer<DataSource> source_;
    QPointer<FilterDialogForm> form_;
};

// The dialog window of FilterDialog.
class FilterDialogForm : public QDialog {
    Q_OBJECT
public:
    FilterDialogForm(FilterDialog& owner, Table& table, QWidget* parent = nullptr);

    // The working copy as it stands (the entries of the selected field taken in).
    FilterConditions conditions();
    // Selects a field of the list by its display label; false when it is not listed.
    bool selectField(const QString& label);
    // Display label of the selected field (empty when none).
    QString selectedLabel() const;
    // Labels in the list, top to bottom.
    QStringList listedLabels() const;

    void newSearch();
    void viewSummary();

    void accept() override;

private:
    struct Entry {
        FieldCondition cond;
        int field;   // -1: belongs to no field of the table (kept as it is)
    };
    void build();
    // The parts of the form, made in tab order.
    QLayout* buildFieldChooser();
    QWidget* buildValuePage();
    QWidget* buildRangePage();
    QLayout* buildCommands();
    void fillList();
    void onFieldChanged();
    void showField(int field);
    // The match type and case choice a field without a condition starts from.
    void showDefaultMatch();
    void takeEntries();
    int entryOf(int field) const;
    FilterConditions collect() const;
    QString checkRanges() const;
    void updateButtons();

    FilterDialog& owner_;
    Table& table_;
    std::vector<Entry> work_;
    FilterConditions initial_;
    int field_ = -1;
    bool loading_ = false;

    QRadioButton* rbAlphabetic_ = nullptr;
    QRadioButton* rbLogical_ = nullptr;
    QTabBar* fieldSet_ = nullptr;
    QListWidget* fields_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QLineEdit* value_ = nullptr;
    QButtonGroup* match_ = nullptr;
    QCheckBox* case_ = nullptr;
    QLineEdit* from_ = nullptr;
    QLineEdit* to_ = nullptr;
    QPushButton* newSearch_ = nullptr;
};

} // namespace tv
