#pragma once
// What a report reads: rows in the order they are to be printed and the display text of a
// field of a row. Adapters over the program's tables live outside the engine.

#include <QString>

namespace tv::report {

class ReportData {
public:
    virtual ~ReportData() = default;
    // Number of rows to print, in printing order.
    virtual int rowCount() const = 0;
    // The display text of `field` in row `row` (0-based). An unknown field gives an empty text.
    virtual QString text(int row, const QString& field) const = 0;
};

} // namespace tv::report
