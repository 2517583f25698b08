#include "app/tableexport.h"

#include "engine/dataset/table.h"
#include "export.h"
#include "platform/msg.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStringList>

#include <exception>

namespace tv::app {

size_t exportRecords(const Table& table, const QString& path, ExportKind kind,
                     const std::function<bool(size_t, size_t)>& progress)
{
    const TableFile* file = table.file();
    if (!file)
        throw EngineError("The table is not open");
    tvdump::ConvertOptions options;
    options.records = &table.visibleIds();
    if (progress)
        options.progress = [&progress](size_t done, size_t total) {
            if (!progress(done, total))
                throw ExportStopped{};
        };
    const auto format = kind == ExportKind::Csv ? tvdump::ExportFormat::Csv
                      : kind == ExportKind::JsonLines ? tvdump::ExportFormat::JsonLines
                                                      : tvdump::ExportFormat::Sqlite;
    const std::string tablePath = table.path();
    const std::string name = QFileInfo(QString::fromStdString(tablePath)).completeBaseName().toStdString();
    tvdump::exportTable(*file, tablePath, QFile::encodeName(path).toStdString(), format, options, name);
    return options.records->size();
}

namespace {

QString lastFolder;   // where the last export went, for the next one

} // namespace

void exportShown(QWidget* parent, const Table& table)
{
    if (!table.isOpen())
        return;
    const QString csv = QStringLiteral("CSV (*.csv)");
    const QString jsonl = QStringLiteral("JSON Lines (*.jsonl)");
    const QString sqlite = QStringLiteral("SQLite database (*.sqlite *.db)");
    QStringList filters{csv, jsonl};
    if (tvdump::canExportSqlite())
        filters << sqlite;
    const QString stem = QFileInfo(QString::fromStdString(table.path())).completeBaseName();
    const QString folder = lastFolder.isEmpty() ? QDir::homePath() : lastFolder;
    QString chosen = csv;
    // An existing database gets a table added; an existing text file is asked about below.
    QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("Export"), folder + QLatin1Char('/') + stem + QStringLiteral(".csv"),
                                                filters.join(QStringLiteral(";;")), &chosen, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty())
        return;
    // A name's own extension says the kind; without one the chosen file type does.
    const QString suffix = QFileInfo(path).suffix().toLower();
    ExportKind kind = chosen == jsonl ? ExportKind::JsonLines : chosen == sqlite ? ExportKind::Sqlite : ExportKind::Csv;
    if (suffix == QLatin1String("csv"))
        kind = ExportKind::Csv;
    else if (suffix == QLatin1String("jsonl") || suffix == QLatin1String("json"))
        kind = ExportKind::JsonLines;
    else if (tvdump::canExportSqlite() && (suffix == QLatin1String("sqlite") || suffix == QLatin1String("sqlite3") || suffix == QLatin1String("db")))
        kind = ExportKind::Sqlite;
    if (suffix.isEmpty())
        path += kind == ExportKind::Csv ? QStringLiteral(".csv") : kind == ExportKind::JsonLines ? QStringLiteral(".jsonl") : QStringLiteral(".sqlite");
    lastFolder = QFileInfo(path).absolutePath();
    if (QFileInfo::exists(path)) {
        const QString question = kind == ExportKind::Sqlite
            ? QStringLiteral("%1 exists. Put the records into its table \"%2\", replacing that table if it is there?").arg(path, stem)
            : QStringLiteral("%1 exists. Replace it?").arg(path);
        if (!msg::confirm(question, parent))
            return;
    }
    QProgressDialog bar(QStringLiteral("Exporting to %1...").arg(QFileInfo(path).fileName()), QStringLiteral("Cancel"), 0, 1000, parent);
    bar.setWindowTitle(QStringLiteral("Export"));
    bar.setWindowModality(Qt::WindowModal);
    bar.setMinimumDuration(300);
    bar.setValue(0);
    try {
        const size_t count = exportRecords(table, path, kind, [&bar](size_t done, size_t total) {
            bar.setValue(total ? int(done * 1000 / total) : 0);
            return !bar.wasCanceled();
        });
        bar.reset();
        msg::information(QStringLiteral("%1 %2 exported to %3.")
                             .arg(QLocale().toString(qulonglong(count)), count == 1 ? QStringLiteral("record") : QStringLiteral("records"), path),
                         parent);
    } catch (const ExportStopped&) {
        bar.reset();
        msg::information(QStringLiteral("Export cancelled; nothing was written to %1.").arg(path), parent);
    } catch (const std::exception& e) {
        bar.reset();
        msg::error(QStringLiteral("Cannot export to %1: %2").arg(path, QString::fromUtf8(e.what())), parent);
    }
}

} // namespace tv::app
