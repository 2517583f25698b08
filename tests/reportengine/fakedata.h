#pragma once
// Rows of texts for the engine's tests.

#include "reportengine/reportdata.h"

#include <QHash>
#include <QList>

class FakeData : public tv::report::ReportData {
public:
    QList<QHash<QString, QString>> rows;
    QStringList whole;  // fields of numbers or dates

    int rowCount() const override { return int(rows.size()); }
    QString text(int row, const QString& field) const override { return rows.value(row).value(field); }
    bool wholeValue(const QString& field) const override { return whole.contains(field); }

    void add(std::initializer_list<std::pair<QString, QString>> fields)
    {
        QHash<QString, QString> r;
        for (const auto& [k, v] : fields)
            r.insert(k, v);
        rows << r;
    }
};
