#include "tablereportdata.h"

#include "dbaware/engineguard.h"
#include "engine/dataset/fieldtext.h"
#include "engine/dataset/table.h"
#include "engine/mappedfile.h"

#include <QLocale>

#include <atomic>
#include <vector>

namespace tv::reports {

namespace {

// A report reads its table through the file mappings, and every page of the files it passes
// would stay in the program's resident memory (a memo report over a large base passes all of
// its memo file). The pages are let go every so many values read, and when a report is done
// with its rows: they stay in the system's file cache, so reading them again costs no disk
// access. (The call lets go of every file mapping of the program; those still in use come
// back on their next read.)
std::atomic<int> g_reads{0};
std::atomic<size_t> g_bytes{0};

void letGoOfPages()
{
    g_reads.store(0, std::memory_order_relaxed);
    g_bytes.store(0, std::memory_order_relaxed);
    MappedFile::releaseResidentPages();
}

void countRead(size_t bytes)
{
    constexpr int kReads = 1024;
    constexpr size_t kBytes = size_t(8) << 20;
    if (g_reads.fetch_add(1, std::memory_order_relaxed) + 1 >= kReads
        || g_bytes.fetch_add(bytes, std::memory_order_relaxed) + bytes >= kBytes)
        letGoOfPages();
}

// A value that cannot be read prints as the marker, and the report goes on. As UTF-8.
template <typename Read>
std::string readUtf8(Read read)
{
    try {
        std::string text = read();
        countRead(text.size());
        return text;
    } catch (const EngineError& e) {
        reportEngineError(e);
        return damagedMarker().toStdString();
    }
}

template <typename Read>
QString readText(Read read)
{
    return QString::fromStdString(readUtf8(read));
}

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
    }

    ReadOnlyRows(const ReadOnlyRows&) = default;
    ~ReadOnlyRows() override { letGoOfPages(); }

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
            return readText([&] { return table_.displayTextAt(row, f); });
        return readText([&] { return formatValue(table_.field(f), file_->value(ids_[size_t(row)], f), fmt_); });
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

// The visible rows of a table that can change, copied: every text of the fields a report
// reads, as UTF-8 in large blocks that go back to the system as a whole when the report is
// closed.
class CopiedRows : public report::ReportData {
public:
    CopiedRows(const Table& table, const QStringList& fields) : rows_(table.recordCount())
    {
        std::vector<int> columns;
        for (const QString& name : fields) {
            const int f = table.fieldIndex(name.toStdString());
            if (f < 0 || fields_.contains(name))
                continue;
            fields_.insert(name, int(columns.size()));
            if (isValueKind(kindOf(table.field(f).type)))
                whole_ << name;
            columns.push_back(f);
        }
        width_ = columns.size();
        cells_.reserve(size_t(rows_) * width_);
        for (int row = 0; row < rows_; ++row)
            for (int f : columns)
                cells_.push_back(store(readUtf8([&] { return table.displayTextAt(row, f); })));
        letGoOfPages();
    }
    CopiedRows(const CopiedRows&) = default;
    ~CopiedRows() override
    {
        blocks_.clear();
        cells_ = {};
        report::giveBackFreedMemory();
    }

    int rowCount() const override { return rows_; }
    QString text(int row, const QString& field) const override
    {
        const auto it = fields_.constFind(field);
        if (it == fields_.cend() || row < 0 || row >= rows_)
            return {};
        const Cell& c = cells_[size_t(row) * width_ + size_t(*it)];
        return QString::fromUtf8(blocks_[c.block].data() + c.offset, qsizetype(c.length));
    }
    bool wholeValue(const QString& field) const override { return whole_.contains(field); }
    std::shared_ptr<const report::ReportData> snapshot(const QStringList&) const override
    {
        return std::make_shared<CopiedRows>(*this);
    }

private:
    struct Cell {
        quint32 block;
        quint32 offset;
        quint32 length;
    };
    static constexpr size_t kBlock = size_t(4) << 20;

    Cell store(const std::string& text)
    {
        if (blocks_.empty() || blocks_.back().size() + text.size() > blocks_.back().capacity()) {
            blocks_.emplace_back();
            blocks_.back().reserve(std::max(kBlock, text.size()));
        }
        std::vector<char>& b = blocks_.back();
        const Cell c{quint32(blocks_.size() - 1), quint32(b.size()), quint32(text.size())};
        b.insert(b.end(), text.begin(), text.end());
        return c;
    }

    int rows_ = 0;
    size_t width_ = 0;
    QHash<QString, int> fields_;
    QStringList whole_;
    std::vector<Cell> cells_;
    std::vector<std::vector<char>> blocks_;
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
    return readText([&] { return table_->displayTextAt(row, f); });
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
    if (table_ && table_->isOpen())
        return std::make_shared<CopiedRows>(*table_, fields);
    return ReportData::snapshot(fields);
}

} // namespace tv::reports
