#pragma once
// One table (or the records of it a view shows) written to one file, as the program's Export
// command does it: the same conversions as tvdump, and nothing left behind when it fails or is
// stopped.

#include "convert.h"

#include <string>

namespace tvdump {

enum class ExportFormat { Csv, JsonLines, Sqlite };

// Writes `table` (read from `tablePath`) to `output`. For SQLite, `sqliteName` names the table
// made in the database, which may exist already; an existing table of that name is replaced.
// Throws std::runtime_error (or EngineError) on failure, and whatever `options.progress` throws
// to stop the run: a new file is then removed, an existing one left as it was.
void exportTable(const tv::TableFile& table, const std::string& tablePath, const std::string& output,
                 ExportFormat format, const ConvertOptions& options, const std::string& sqliteName = {});

// Whether this build writes SQLite.
bool canExportSqlite();

} // namespace tvdump
