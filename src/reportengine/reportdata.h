#pragma once
// What a report reads: rows in the order they are to be printed and the display text of a
// field of a row. Adapters over the program's tables live outside the engine.

#include <QString>
#include <QStringList>

#include <memory>

namespace tv::report {

class ReportData {
public:
    virtual ~ReportData() = default;
    // Number of rows to print, in printing order.
    virtual int rowCount() const = 0;
    // The display text of `field` in row `row` (0-based). An unknown field gives an empty text.
    virtual QString text(int row, const QString& field) const = 0;
    // Whether `field` holds a value that must never be shown in part (a number or a date): it
    // is squeezed into its box instead of cut.
    virtual bool wholeValue(const QString& field) const
    {
        Q_UNUSED(field);
        return false;
    }
    // The rows as they are now, unchanged by later changes of the data: a report laid out or
    // drawn later reads them. This one copies the texts of `fields`; sources whose rows cannot
    // change can do with less.
    virtual std::shared_ptr<const ReportData> snapshot(const QStringList& fields) const;
};

// Hands memory freed by a large report (its rows, its page plans) back to the system. The
// allocator keeps what is freed in its heap, and a closed report should leave the program
// as small as it found it.
void giveBackFreedMemory();

} // namespace tv::report
