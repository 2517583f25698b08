#include "reportdata.h"

#include <QHash>

#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace tv::report {

namespace {

// Every text of the chosen fields, copied row by row.
class CopiedData : public ReportData {
public:
    CopiedData(const ReportData& from, const QStringList& fields) : rows_(from.rowCount())
    {
        for (const QString& f : fields) {
            if (fields_.contains(f))
                continue;
            fields_.insert(f, int(fields_.size()));
            if (from.wholeValue(f))
                whole_ << f;
        }
        texts_.resize(size_t(rows_) * size_t(fields_.size()));
        for (int row = 0; row < rows_; ++row)
            for (auto it = fields_.cbegin(); it != fields_.cend(); ++it)
                texts_[size_t(row) * size_t(fields_.size()) + size_t(it.value())] = from.text(row, it.key());
    }

    int rowCount() const override { return rows_; }
    QString text(int row, const QString& field) const override
    {
        const auto it = fields_.constFind(field);
        if (it == fields_.cend() || row < 0 || row >= rows_)
            return {};
        return texts_[size_t(row) * size_t(fields_.size()) + size_t(it.value())];
    }
    bool wholeValue(const QString& field) const override { return whole_.contains(field); }
    std::shared_ptr<const ReportData> snapshot(const QStringList&) const override
    {
        return std::make_shared<CopiedData>(*this);
    }

private:
    int rows_ = 0;
    QHash<QString, int> fields_;
    QStringList whole_;
    std::vector<QString> texts_;
};

} // namespace

std::shared_ptr<const ReportData> ReportData::snapshot(const QStringList& fields) const
{
    return std::make_shared<CopiedData>(*this, fields);
}

void giveBackFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

} // namespace tv::report
