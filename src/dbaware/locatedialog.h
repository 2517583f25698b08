#pragma once
// LocateDialog: finds a record by one field's value. The dialog ("Locate Field Value") takes a
// field, a value, a match type and the case setting; "First" searches from the top of the
// visible records, "Next" from the record after the current one. The component remembers the
// last criteria for the whole run, so that findFirst()/findNext() can repeat them without the
// dialog.

#include "dbaware/datasource.h"

#include <QDialog>
#include <QPointer>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tv {

class LocateDialog : public QObject {
    Q_OBJECT
public:
    enum class Button { First, Next };

    explicit LocateDialog(QObject* parent = nullptr);

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return source_; }

    // Remembered criteria (a field name of the table; an empty value: nothing entered yet).
    QString fieldName;
    QString fieldValue;
    FilterMatchType matchType = fdMatchStart;
    bool caseSensitive = false;
    // Every failed search says "No more matches found".
    bool showMessages = true;

    // Shows the dialog (modal) with `defaultButton` as its default button. Returns true when a
    // record was found (it is then current). Without an active table, warns and returns false.
    bool execute(QWidget* parent = nullptr, Button defaultButton = Button::Next);
    // Repeats the remembered locate from the top (First) or after the current record (Next).
    // With no value remembered yet, opens the dialog instead. Returns true when found.
    bool findFirst(QWidget* parent = nullptr);
    bool findNext(QWidget* parent = nullptr);

    // Runs the remembered criteria without any message: true when found; throws EngineError.
    bool locate(Button from);

private:
    bool find(Button from, QWidget* parent);
    bool checkActive(QWidget* parent) const;

    QPointer<DataSource> source_;
};

// The dialog window of LocateDialog.
class LocateDialogForm : public QDialog {
    Q_OBJECT
public:
    LocateDialogForm(LocateDialog& owner, Table& table, LocateDialog::Button defaultButton, QWidget* parent = nullptr);
    bool found() const { return found_; }

private:
    void run(LocateDialog::Button from);

    LocateDialog& owner_;
    Table& table_;
    QLineEdit* value_;
    QCheckBox* case_;
    QButtonGroup* match_;
    QListWidget* fields_;
    bool found_ = false;
};

} // namespace tv
