#include "tablereportdata.h"

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
    return QString::fromStdString(table_->displayTextAt(row, *it));
}

} // namespace tv::reports
