#include "export.h"
#include "output.h"
#ifdef TV_HAVE_SQLITE
#include "tosqlite.h"
#endif

#include <stdexcept>

namespace tvdump {

void exportTable(const tv::TableFile& table, const std::string& tablePath, const std::string& output,
                 ExportFormat format, const ConvertOptions& options, const std::string& sqliteName)
{
    TableFiles reading;
    reading.add(tablePath);
    if (format == ExportFormat::Sqlite) {
#ifdef TV_HAVE_SQLITE
        SqliteTarget target(output, reading);
        {
            SqliteOutput db(target.path(), target.fresh());
            db.add(table, sqliteName, options, true);
            db.commit();
        }
        target.finish();
        return;
#else
        throw std::runtime_error("this build writes no SQLite databases");
#endif
    }
    if (output == "-")
        throw std::runtime_error("an export needs a file name");
    Output out(output, reading);
    const auto flush = [&](std::string& text) { out.write(text); };
    if (format == ExportFormat::Csv)
        writeCsv(table, options, flush);
    else
        writeJsonLines(table, options, flush);
    out.finish();
}

bool canExportSqlite()
{
#ifdef TV_HAVE_SQLITE
    return true;
#else
    return false;
#endif
}

} // namespace tvdump
