// Any table file opened in a window of its own, and Export of what a view shows.

#include "support/modalanswerer.h"
#include "support/modalscript.h"
#include "support/testtables.h"
#include "app/tableexport.h"
#include "app/tablewindow.h"
#include "dbaware/dbgrid.h"
#include "dbaware/engineguard.h"
#include "dbaware/filterdialog.h"
#include "dbaware/locatedialog.h"
#include "dbaware/memohighlight.h"

#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using tv::app::ExportKind;
using tv::app::TableWindow;
using tvtest::ModalAnswerer;
using tvtest::ModalScript;

namespace {

// What the independent readers' dump says of a table: its field names and record count.
struct Expected {
    QStringList fields;
    int records = -1;
};

// The independent readers' dump of a sample table.
QString expectedFile(const QString& table)
{
    const QString rel = QDir(QStringLiteral(TV_SAMPLES_DIR)).relativeFilePath(table);
    return QStringLiteral(TV_SAMPLES_DIR "/expected/") + rel + QStringLiteral(".tsv");
}

Expected expectedOf(const QString& table)
{
    QFile f(expectedFile(table));
    Expected e;
    if (!f.open(QIODevice::ReadOnly))
        return e;
    // The field list, the header's count (deleted records too), then one line per record shown.
    const QStringList cells = QString::fromUtf8(f.readLine()).trimmed().split(QLatin1Char('\t'));
    for (const QString& c : cells.mid(1))
        e.fields << c.section(QLatin1Char(':'), 0, -3);   // name:type:size
    f.readLine();
    for (e.records = 0; !f.atEnd(); f.readLine())
        ++e.records;
    return e;
}

// A Paradox table of `count` sample records (without the memo and graphic) in `dir`.
QString writeSampleTable(const QTemporaryDir& dir, int count)
{
    const QString path = dir.filePath(QStringLiteral("sample.db"));
    tv::TableSpec spec = tvtest::sampleSpec();
    spec.fields.resize(tvtest::cNotes);
    auto file = tv::createParadoxTable(path.toStdString(), spec);
    for (int i = 1; i <= count; ++i) {
        tv::Record r = tvtest::sampleRecord(i, count);
        r.resize(spec.fields.size());
        file->insert(r);
    }
    file->flush();
    return path;
}

// The records of a table as the independent readers' dump lists them, in the file's order.
QList<QStringList> expectedRows(const QString& table)
{
    QFile f(expectedFile(table));
    QList<QStringList> rows;
    if (f.open(QIODevice::ReadOnly))
        while (!f.atEnd())
            if (const QString line = QString::fromUtf8(f.readLine()); !line.startsWith(QLatin1Char('#')))
                rows << line.split(QLatin1Char('\t'));
    return rows;
}

QStringList readLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TableWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        tvtest::pinLocale();
        qputenv("XDG_DATA_HOME", m_home.path().toUtf8());
    }

    // Every Paradox and dBASE sample opens showing the fields and record count the independent
    // readers find, or is refused with the engine's error and no window.
    void everySampleTable()
    {
        int compared = 0;
        for (const char* kind : {"paradox", "dbase", "foxpro"}) {
            QDirIterator it(QStringLiteral(TV_SAMPLES_DIR "/") + QLatin1String(kind), {QStringLiteral("*.db"), QStringLiteral("*.DB"), QStringLiteral("*.dbf")},
                            QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                const Expected e = expectedOf(path);
                ModalAnswerer ok{QMessageBox::Ok};
                TableWindow* w = TableWindow::openTable(path);
                if (!w) {
                    QVERIFY2(ok.texts().size() == 1 && ok.texts().front().contains(QFileInfo(path).fileName()), qPrintable(path));
                    QVERIFY2(e.records < 0, qPrintable(path + QStringLiteral(" is read by the other readers")));
                    continue;
                }
                const auto closing = qScopeGuard([w] { w->close(); });
                QVERIFY2(ok.texts().isEmpty(), qPrintable(path + ok.texts().join(QLatin1Char('|'))));
                QCOMPARE(w->windowTitle().section(QStringLiteral(" - "), 0, 0), QFileInfo(path).fileName());
                tv::GridModel* grid = w->grid()->gridModel();
                QCOMPARE(grid->columnCount(), w->table().fieldCount());
                // Every row reads without a damaged marker, and a number, date or flag shows
                // whole in its column.
                const QFontMetrics fm(w->grid()->font());
                for (int r = 0; r < grid->rowCount(); ++r)
                    for (int c = 0; c < grid->columnCount(); ++c) {
                        const QString text = grid->data(grid->index(r, c)).toString();
                        QVERIFY2(!text.contains(tv::damagedMarker()), qPrintable(path));
                        const tv::FieldKind kind = tv::kindOf(w->table().field(grid->fieldOf(c)).type);
                        if (kind != tv::FieldKind::Text && kind != tv::FieldKind::Memo && kind != tv::FieldKind::Blob)
                            QVERIFY2(fm.horizontalAdvance(text) < w->grid()->columnWidth(c),
                                     qPrintable(path + QLatin1Char(' ') + grid->fieldNameOf(c) + QLatin1Char(' ') + text));
                    }
                if (e.records < 0)
                    continue;
                ++compared;
                QCOMPARE(grid->rowCount(), e.records);
                QVERIFY2(w->statusText().contains(QStringLiteral(" %1 record").arg(QLocale().toString(e.records))), qPrintable(w->statusText()));
                QStringList titles;
                for (int c = 0; c < grid->columnCount(); ++c)
                    titles << grid->fieldNameOf(c);
                QCOMPARE(titles, e.fields);
            }
        }
        QVERIFY(compared > 20);
        QVERIFY(TableWindow::recentTables().size() == 8);
    }

    // Filter and Locate run from the Database menu through their dialogs: the grid and the
    // status line show the customers whose city holds the value, letter case ignored, as the
    // independent readers read them, and the value is the word marked; Cancel Filter shows all
    // again and drops the mark; Locate makes the first customer whose name begins with the
    // value current.
    void filterAndLocateThroughTheDialogs()
    {
        const QString path = QStringLiteral(TV_SAMPLES_DIR "/paradox/db/CUSTOMER.DB");
        const QList<QStringList> rows = expectedRows(path);   // CustNo, FirstName, LastName, EMail, Street, City, ...
        QCOMPARE(rows.size(), 20);
        const auto count = std::count_if(rows.begin(), rows.end(), [](const QStringList& r) { return r.value(5).contains(QStringLiteral("an"), Qt::CaseInsensitive); });
        QVERIFY(count > 1 && count < 20);
        const auto flo = std::find_if(rows.begin(), rows.end(), [](const QStringList& r) { return r.value(2).startsWith(QStringLiteral("Flo")); });
        QVERIFY(flo != rows.end());

        TableWindow* w = TableWindow::openTable(path);
        QVERIFY(w);
        const auto closing = qScopeGuard([w] { w->close(); });
        auto* status = w->findChild<QLabel*>(QStringLiteral("TableStatus"));
        const auto menu = [w](const char* name) { w->findChild<QAction*>(QLatin1String(name))->trigger(); };

        ModalScript script;
        script.on<tv::FilterDialogForm>([](tv::FilterDialogForm* f) {
            QVERIFY(f->selectField(QStringLiteral("City")));
            f->findChild<QLineEdit*>(QStringLiteral("edValue"))->setText(QStringLiteral("AN"));
            f->findChild<QAbstractButton*>(QStringLiteral("rbAny"))->click();
            ModalScript::click(f->findChild<QAbstractButton*>(QStringLiteral("btnOK")));
        });
        menu("mnuFilter");
        QVERIFY(script.done());
        QCOMPARE(w->grid()->gridModel()->rowCount(), int(count));
        QVERIFY2(status->text().endsWith(QStringLiteral("20 records   %1 shown").arg(count)), qPrintable(status->text()));
        QCOMPARE(w->highlighter()->word(), QStringLiteral("AN"));
        QVERIFY(!w->highlighter()->caseSensitive());

        menu("mnuNoFilter");
        QCOMPARE(w->grid()->gridModel()->rowCount(), 20);
        QVERIFY2(status->text().endsWith(QStringLiteral("20 records   20 shown")), qPrintable(status->text()));
        QVERIFY(w->highlighter()->word().isEmpty());

        script.on<tv::LocateDialogForm>([](tv::LocateDialogForm* f) {
            auto* list = f->findChild<QListWidget*>(QStringLiteral("lstFields"));
            list->setCurrentItem(list->findItems(QStringLiteral("LastName"), Qt::MatchFixedString).value(0));
            f->findChild<QLineEdit*>(QStringLiteral("edValue"))->setText(QStringLiteral("Flo"));
            ModalScript::click(f->findChild<QAbstractButton*>(QStringLiteral("btnFirst")));
        });
        menu("mnuLocate");
        QVERIFY(script.done());
        QCOMPARE(QString::fromStdString(w->table().displayText("CustNo")), flo->value(0));
        QCOMPARE(w->highlighter()->word(), QStringLiteral("Flo"));
    }

    // A table that is cut short: the engine's error, no window, and the program goes on.
    void damagedTable()
    {
        QTemporaryDir dir;
        const QString path = writeSampleTable(dir, 50);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.resize(0x30));
        f.close();
        ModalAnswerer ok{QMessageBox::Ok};
        QVERIFY(!TableWindow::openTable(path));
        QCOMPARE(ok.texts().size(), 1);
        QVERIFY(ok.texts().front().contains(QStringLiteral("sample.db")));
    }

    // A filtered view of a sample table in the order of a secondary index exports the same
    // lines tvdump writes for those records, in that order.
    void exportMatchesTvdump()
    {
        QTemporaryDir dir;
        const QString path = QStringLiteral(TV_SAMPLES_DIR "/paradox/db/CUSTOMER.DB");
        TableWindow* w = TableWindow::openTable(path);
        QVERIFY(w);
        const auto closing = qScopeGuard([w] { w->close(); });
        tv::Table& t = w->table();
        const auto& defs = t.indexDefs();
        const auto secondary = std::find_if(defs.begin(), defs.end(), [](const tv::IndexDef& d) { return !d.primary; });
        QVERIFY(secondary != defs.end());
        t.setIndexName(secondary->name);
        t.setFilter({{"City", "", tv::fdMatchAny, "an", "", "", false}});
        t.applyFilter();
        const int shown = t.recordCount();
        QVERIFY(shown > 1 && size_t(shown) < t.file()->recordIds().size());
        QVERIFY(w->statusText().endsWith(QStringLiteral("20 records   %1 shown").arg(shown)));

        const QString out = dir.filePath(QStringLiteral("view.jsonl"));
        QCOMPARE(tv::app::exportRecords(t, out, ExportKind::JsonLines), size_t(shown));
        QProcess dump;
        dump.start(QStringLiteral(TVDUMP), {QStringLiteral("--jsonl"), path, QStringLiteral("-o"), dir.filePath(QStringLiteral("all.jsonl"))});
        QVERIFY(dump.waitForFinished() && dump.exitCode() == 0);
        const QStringList all = readLines(dir.filePath(QStringLiteral("all.jsonl")));
        const auto& stored = t.file()->recordIds();
        QStringList expected;
        for (tv::RecordId id : t.visibleIds())
            expected << all.value(int(std::find(stored.begin(), stored.end(), id) - stored.begin()));
        QCOMPARE(readLines(out), expected);
    }

    // An export stopped half way, to a new file or a new database, leaves nothing beside the table.
    void cancelledExportLeavesNothing()
    {
        QTemporaryDir dir;
        const QString path = writeSampleTable(dir, 10000);
        const QStringList before = QDir(dir.path()).entryList(QDir::Files);
        tv::Table t;
        t.open(path.toStdString());
        for (ExportKind kind : {ExportKind::Csv, ExportKind::JsonLines, ExportKind::Sqlite}) {
            size_t calls = 0;
            const auto stopHalfWay = [&](size_t done, size_t total) { ++calls; return done < total / 2; };
            QVERIFY_THROWS_EXCEPTION(tv::app::ExportStopped, tv::app::exportRecords(t, dir.filePath(QStringLiteral("out")), kind, stopHalfWay));
            QVERIFY(calls >= 2);
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files), before);
        }
    }

private:
    QTemporaryDir m_home;
};

QTEST_MAIN(TableWindowTest)
#include "tablewindow_test.moc"
