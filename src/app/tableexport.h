#pragma once
// Export: the records a view shows (its filter and order applied) written to CSV, JSON Lines or
// an SQLite database by the same conversions as tvdump.

#include <QString>

#include <cstddef>
#include <functional>

class QWidget;

namespace tv {
class Table;
}

namespace tv::app {

enum class ExportKind { Csv, JsonLines, Sqlite };

// Writes the visible records of `table` to `path`. `progress` gets the records done and the
// total now and then and returns false to stop. Returns the number of records written; throws
// std::exception with the message on failure, ExportStopped when stopped. Either way nothing
// of a new file is left, and an existing database is as it was.
struct ExportStopped {};
size_t exportRecords(const Table& table, const QString& path, ExportKind kind,
                     const std::function<bool(size_t done, size_t total)>& progress = {});

// The Export command: asks for the file and its kind, writes with a progress window and
// Cancel, and tells the file and the record count at the end (or why it failed).
void exportShown(QWidget* parent, const Table& table);

} // namespace tv::app
