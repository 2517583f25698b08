#include "tablereportdata.h"

#include "dbaware/engineguard.h"
#include "engine/dataset/table.h"

namespace tv::reports {

void TableReportData::setTable(const Table* table)
{
    table_ = table;
    fields_.clear();
}

int TableReportData::rowCount() const
{
    fields_.clear();
    return table_ && table_->isOpen() ? table_->recordCount() : 0;
}

QString TableReportData::text(int row, const QString& field) const
{
    if (!table_ || !table_->isOpen())
        return {};
    auto it = fields_.find(field);
    if (it == fields_.end())
        it = fields_.insert(field, table_->fieldIndex(field.toStdString()));
    if (*it < 0)
        return {};
    try {
        return QString::fromStdString(table_->displayTextAt(row, *it));
    } catch (const EngineError& e) {
        // The report goes on; the value that could not be read shows the marker.
        reportEngineError(e);
        return damagedMarker();
    }
}

} // namespace tv::reports
