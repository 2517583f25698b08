#pragma once
// The fourteen report holder windows. Each is created at start-up as a hidden window owned
// by the main window, is never shown, and only owns its layout and the layout's table binding.

#include "reportengine/layout.h"
#include "reports/tablereportdata.h"

#include <QWidget>

#include <functional>
#include <vector>

namespace tv {
class Table;
}

namespace tv::reports {

// The table of a base number (1..7, 9, 40), or nullptr when there is none.
using TableLookup = std::function<Table*(int base)>;

class ReportHolder : public QWidget {
    Q_OBJECT
public:
    const report::Layout& layout() const { return layout_; }
    report::Layout& layout() { return layout_; }
    QString layoutName() const { return layout_.name; }
    // The base the layout is designed for (4 for the two forum layouts, which are bound to
    // base 4 or 40 on each run).
    int base() const { return base_; }

    // Binds the layout and all its data items to `table`.
    void bindTable(const Table* table);
    const Table* boundTable() const { return data_.table(); }

protected:
    ReportHolder(QWidget* owner, const char* instanceName, const char* layoutName, int base);

private:
    report::Layout layout_;
    TableReportData data_;
    int base_ = 0;
};

class TDNewsMemoForm : public ReportHolder {
    Q_OBJECT
public:
    explicit TDNewsMemoForm(QWidget* owner = nullptr);
};
class TDNewsForm : public ReportHolder {
    Q_OBJECT
public:
    explicit TDNewsForm(QWidget* owner = nullptr);
};
class TDKBMemoForm1 : public ReportHolder {
    Q_OBJECT
public:
    explicit TDKBMemoForm1(QWidget* owner = nullptr);
};
class TDKBForm1 : public ReportHolder {
    Q_OBJECT
public:
    explicit TDKBForm1(QWidget* owner = nullptr);
};
class TCISForm1 : public ReportHolder {
    Q_OBJECT
public:
    explicit TCISForm1(QWidget* owner = nullptr);
};
class TCISMemoForm1 : public ReportHolder {
    Q_OBJECT
public:
    explicit TCISMemoForm1(QWidget* owner = nullptr);
};
class TDSPForm1 : public ReportHolder {
    Q_OBJECT
public:
    explicit TDSPForm1(QWidget* owner = nullptr);
};
class TDSPMemoForm1 : public ReportHolder {
    Q_OBJECT
public:
    explicit TDSPMemoForm1(QWidget* owner = nullptr);
};
class TSWAGForm : public ReportHolder {
    Q_OBJECT
public:
    explicit TSWAGForm(QWidget* owner = nullptr);
};
class TBooksForm1 : public ReportHolder {
    Q_OBJECT
public:
    explicit TBooksForm1(QWidget* owner = nullptr);
};
class TDTopicsForm : public ReportHolder {
    Q_OBJECT
public:
    explicit TDTopicsForm(QWidget* owner = nullptr);
};
class TDTopicsMemoForm : public ReportHolder {
    Q_OBJECT
public:
    explicit TDTopicsMemoForm(QWidget* owner = nullptr);
};
class TPrivatForm : public ReportHolder {
    Q_OBJECT
public:
    explicit TPrivatForm(QWidget* owner = nullptr);
};
class TPrivatMemoForm : public ReportHolder {
    Q_OBJECT
public:
    explicit TPrivatMemoForm(QWidget* owner = nullptr);
};

// Creates the fourteen holders, owned by `owner`, in start-up order (DNewsMemoForm, DNewsForm,
// DKBMemoForm1, DKBForm1, CISForm1, CISMemoForm1, DSPForm1, DSPMemoForm1, SWAGForm,
// BooksForm1, DTopicsForm, DTopicsMemoForm, PrivatForm, PrivatMemoForm), each bound to the
// table of its base. Their object names are those instance names.
std::vector<ReportHolder*> createHolders(QWidget* owner, const TableLookup& tables);

// The holder of that instance name under `owner`, or nullptr.
ReportHolder* findHolder(const QWidget* owner, const QString& instanceName);

} // namespace tv::reports
