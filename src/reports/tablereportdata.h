#pragma once
// Feeds a report from a table: the rows of its visible set in the current order under the
// current filter, read by row so the table's current record never moves.

#include "reportengine/reportdata.h"

#include <QHash>

namespace tv {
class Table;
}

namespace tv::reports {

class TableReportData : public report::ReportData {
public:
    explicit TableReportData(const Table* table = nullptr) : table_(table) {}

    void setTable(const Table* table);
    const Table* table() const { return table_; }

    // 0 for no table or a closed one. Also forgets the field positions it looked up, so a
    // table reopened between two runs is read correctly.
    int rowCount() const override;
    QString text(int row, const QString& field) const override;
    // Numbers, money, dates and times.
    bool wholeValue(const QString& field) const override;
    // A read-only table keeps its records: the rows are held as the ids of the visible set
    // and read when asked for. A table that can change is copied.
    std::shared_ptr<const report::ReportData> snapshot(const QStringList& fields) const override;

private:
    int fieldAt(const QString& field) const;

    const Table* table_ = nullptr;
    mutable QHash<QString, int> fields_;
};

} // namespace tv::reports
