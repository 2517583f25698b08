#include "tablereportdata.h"

#include "engine/dataset/fieldtext.h"
#include "engine/dataset/table.h"

#include <QLocale>

#include <vector>

namespace tv::reports {

namespace {

bool isValueKind(FieldKind k)
{
    return k != FieldKind::Text && k != FieldKind::Memo && k != FieldKind::Blob;
}

// The visible rows of a read-only table as they were, read by record id. The table object
// lives as long as the program; should its file be closed or replaced, the rows read empty.
class ReadOnlyRows : public report::ReportData {
public:
    explicit ReadOnlyRows(const Table& table)
        : table_(table), file_(table.file()), ids_(table.visibleIds())
    {
        fmt_.shortDate = table.shortDateFormat();
        fmt_.currency = QLocale().currencySymbol().toStdString();
        if (fmt_.currency.empty())
            fmt_.currency = "$";
    }

    int rowCount() const override { return int(ids_.size()); }

    QString text(int row, const QString& field) const override
    {
        const int f = fieldAt(field);
        if (f < 0 || row < 0 || row >= rowCount() || !table_.isOpen() || table_.file() != file_)
            return {};
        // While the table still shows that record in that row (as it does unless its filter
        // or order changed), it formats the value itself; otherwise the value is formatted
        // here the way the data module sets tables up.
        const std::vector<RecordId>& now = table_.visibleIds();
        if (size_t(row) < now.size() && now[size_t(row)] == ids_[size_t(row)] && table_.state() == TableState::Browse)
            return QString::fromStdString(table_.displayTextAt(row, f));
        return QString::fromStdString(formatValue(table_.field(f), file_->value(ids_[size_t(row)], f), fmt_));
    }

    bool wholeValue(const QString& field) const override
    {
        const int f = fieldAt(field);
        return f >= 0 && isValueKind(kindOf(table_.field(f).type));
    }

    std::shared_ptr<const report::ReportData> snapshot(const QStringList&) const override
    {
        return std::make_shared<ReadOnlyRows>(*this);
    }

private:
    int fieldAt(const QString& field) const
    {
        auto it = fields_.constFind(field);
        if (it == fields_.cend())
            it = fields_.insert(field, table_.isOpen() ? table_.fieldIndex(field.toStdString()) : -1);
        return *it;
    }

    const Table& table_;
    const TableFile* file_;
    std::vector<RecordId> ids_;
    TextFormat fmt_;
    mutable QHash<QString, int> fields_;
};

} // namespace

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

int TableReportData::fieldAt(const QString& field) const
{
    auto it = fields_.find(field);
    if (it == fields_.end())
        it = fields_.insert(field, table_->fieldIndex(field.toStdString()));
    return *it;
}

QString TableReportData::text(int row, const QString& field) const
{
    if (!table_ || !table_->isOpen())
        return {};
    const int f = fieldAt(field);
    if (f < 0)
        return {};
    return QString::fromStdString(table_->displayTextAt(row, f));
}

bool TableReportData::wholeValue(const QString& field) const
{
    if (!table_ || !table_->isOpen())
        return false;
    const int f = fieldAt(field);
    return f >= 0 && isValueKind(kindOf(table_->field(f).type));
}

std::shared_ptr<const report::ReportData> TableReportData::snapshot(const QStringList& fields) const
{
    if (table_ && table_->isOpen() && table_->readOnly() && table_->file() && !table_->file()->writable()
        && table_->state() == TableState::Browse)
        return std::make_shared<ReadOnlyRows>(*table_);
    return ReportData::snapshot(fields);
}

} // namespace tv::reports
