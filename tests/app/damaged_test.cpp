// Damaged and missing companion files of the bases, and records whose memo cannot be read:
// the program never ends on its own, says what is wrong once, and every other base works.

#include "apptest.h"

#include "support/modalscript.h"
#include "app/datamodule.h"
#include "app/program.h"
#include "dbaware/engineguard.h"
#include "dbaware/filterdialog.h"
#include "dbaware/locatedialog.h"
#include "engine/paradox/pxbytes.h"
#include "engine/paradox/pxheader.h"
#include "reportengine/previewwindow.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTest>

using namespace apptest;
using tv::app::Program;
using tvtest::ModalScript;

namespace {

const int kAllBases[] = {1, 2, 3, 4, 40, 5, 6, 7, 9};

int baseOfFile(const QString& file)
{
    return kAllBases[allBaseFiles().indexOf(file)];   // the files are listed in the same order
}

// Points the memo field `field` of the first, a middle and the last record of a Paradox table
// (or of every record) outside its memo file.
void scribbleBlobPointers(const QString& path, const char* field, bool everyRecord = false)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    std::string db = f.readAll().toStdString();
    const auto* d = reinterpret_cast<const uint8_t*>(db.data());
    const tv::px::Header h = tv::px::parseHeader(d, db.size(), path.toStdString());
    std::vector<size_t> records;
    for (size_t b = h.firstBlock; b != 0;) {
        const size_t at = h.headerSize + (b - 1) * h.blockSize();
        const int16_t last = int16_t(tv::px::le16(d + at + 4));
        for (int r = 0; last >= 0 && r <= last / h.recordSize; ++r)
            records.push_back(at + 6 + size_t(r) * h.recordSize);
        b = tv::px::le16(d + at);
    }
    const size_t n = std::find(h.fieldNames.begin(), h.fieldNames.end(), field) - h.fieldNames.begin();
    QVERIFY(n < h.fields.size() && records.size() > 2);
    const tv::px::FieldDesc& fd = h.fields[n];
    if (!everyRecord)
        records = {records.front(), records[records.size() / 2], records.back()};
    for (size_t r : records) {
        tv::px::put32(db, r + size_t(fd.offset + fd.width - 10), 0x7FFFF000u | 1u);
        tv::px::put32(db, r + size_t(fd.offset + fd.width - 6), 5000);
    }
    f.seek(0);
    f.write(db.data(), qint64(db.size()));
}

} // namespace

class DamagedTest : public WindowTest {
    Q_OBJECT
private slots:
    // Each companion file of each base, removed and then overwritten at its start.
    void everyCompanionFileMissingOrDamaged()
    {
        const BaseFolder all, bases;   // the sample set, and the copy that is damaged
        for (const QString& table : allBaseFiles()) {
            const int base = baseOfFile(table);
            const QString stem = table.section(QLatin1Char('.'), 0, 0);
            const QStringList companions = QDir(all.path()).entryList({stem + QStringLiteral(".*")}, QDir::Files);
            for (const QString& companion : companions) {
                if (companion == table)
                    continue;
                for (bool remove : {true, false}) {
                    const QString what = companion + (remove ? QStringLiteral(" missing") : QStringLiteral(" damaged"));
                    const QString path = QDir(bases.path()).filePath(companion);
                    if (remove)
                        QFile::remove(path);
                    else
                        bases.damage(companion);
                    const auto restore = qScopeGuard([&] {
                        QFile::remove(path);
                        QFile::copy(QDir(all.path()).filePath(companion), path);
                    });
                    ModalAnswerer ok{QMessageBox::Ok};
                    Program p(bases.path());
                    QVERIFY2(!p.terminating(), qPrintable(what));
                    for (int n : kAllBases)
                        QVERIFY2(n == base || tv::app::basePresent(n), qPrintable(what));
                    QVERIFY2(ok.texts().size() <= 1, qPrintable(what));
                    if (!tv::app::basePresent(base)) {
                        QVERIFY2(ok.texts().size() == 1 && ok.texts().front().contains(companion, Qt::CaseInsensitive),
                                 qPrintable(what + QStringLiteral(": ") + ok.texts().join(QLatin1Char('|'))));
                        QCOMPARE(ok.captions().front(), QStringLiteral("Tipvault"));
                    }
                }
            }
        }
    }

    // The first, a middle and the last record of the forum list hold bad memo pointers; every
    // command that reads them says so at most once and the program goes on.
    void badBlobPointersThroughEveryCommand()
    {
        BaseFolder bases;
        scribbleBlobPointers(QDir(bases.path()).filePath(QStringLiteral("Filesd32.db")), "Comments");
        ModalAnswerer ok{QMessageBox::Ok};
        Program p(bases.path());
        QVERIFY(tv::app::basePresent(4));
        p.show();
        tv::app::TMainForm& form = *p.mainForm();
        auto click = [&](const char* name) {
            QWidget* b = control(&form, name);
            QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
        };
        qsizetype seen = 0;
        auto step = [&](const char* what, const std::function<void()>& fn) {
            fn();
            QTest::qWait(60);
            QVERIFY2(ok.texts().size() - seen <= 1, qPrintable(QString::fromLatin1(what) + QStringLiteral(": ") + ok.texts().join(QLatin1Char('|'))));
            seen = ok.texts().size();
            QVERIFY(form.isVisible());
        };
        auto* forum = control(&form, "rgpDelphi")->findChild<QButtonGroup*>();
        step("page", [&] { form.findChild<QTabWidget*>(QStringLiteral("PageControl1"))->setCurrentIndex(4); });
        step("view", [&] { click("btnGridSwitch"); });
        step("forum Delphi", [&] { forum->button(0)->click(); });
        step("forum Delphi32", [&] { forum->button(1)->click(); });
        for (const char* b : {"btnLast", "btnFirst", "btnForward", "btnForward", "btnForward"})
            step(b, [&] { click(b); });
        step("sweep", [&] {
            control(&form, "rgpCSI")->findChild<QButtonGroup*>()->button(3)->setChecked(true);   // "Comments"
            auto* word = static_cast<QLineEdit*>(control(&form, "edSweep"));
            word->setText(QStringLiteral("zzz"));
            click("btnGO");
        });
        step("filter", [&] {
            ModalScript script;
            script.on<tv::FilterDialogForm>([&](tv::FilterDialogForm* f) {
                QVERIFY(f->selectField(QStringLiteral("Comments")));
                f->findChild<QLineEdit*>(QStringLiteral("edValue"))->setText(QStringLiteral("zzz"));
                ModalScript::click(f->findChild<QAbstractButton*>(QStringLiteral("btnOK")));
                if (f->isVisible())
                    f->reject();
            });
            click("btnFilter");
        });
        step("locate", [&] {
            tv::LocateDialog* l = form.locateDialog();
            l->setDataSource(tv::app::baseDataSource(4));
            l->fieldName = QStringLiteral("Comments");
            l->fieldValue = QStringLiteral("zzz");
            l->findFirst(&form);
        });
        step("report", [&] { click("btnPreview"); });
        for (auto* w : QApplication::topLevelWidgets())
            if (qobject_cast<tv::report::PreviewWindow*>(w))
                w->close();
        QVERIFY(!ok.texts().isEmpty());
        for (const QString& t : ok.texts())
            QVERIFY2(t.contains(QStringLiteral("Filesd32.mb"), Qt::CaseInsensitive) || t.contains(QStringLiteral("No match"), Qt::CaseInsensitive) ||
                         t.contains(QStringLiteral("No more matches"), Qt::CaseInsensitive) ||
                         t.contains(QStringLiteral("done"), Qt::CaseInsensitive),
                     qPrintable(t));
    }

    // The search meets three damaged memos of the forum list: its other records are searched,
    // and so are the bases after it; the closing message says how many records of which base
    // could not be searched and why, naming the file. A list whose memo file cannot be read at
    // all keeps the filter it had.
    void aDamagedBaseDoesNotStopTheSweep()
    {
        for (const bool everyRecord : {false, true}) {
            BaseFolder bases;
            scribbleBlobPointers(QDir(bases.path()).filePath(QStringLiteral("Filesd32.db")), "Comments", everyRecord);
            ModalAnswerer ok{QMessageBox::Ok};
            Session s(bases.path());
            tv::Table* forum = tv::app::baseTable(4);
            forum->setFilter({tv::FieldCondition{"Title", "", tv::fdMatchStart, "T", "", "", false}});
            const tv::FilterConditions before = forum->filterConditions();
            const int rows = forum->recordCount();
            const std::pair<const char*, int> chosen[] = {{"rgpDTopics", 1}, {"rgpCSI", 3}, {"rgpSWAG", 1}, {"rgpDNews", 1}};
            for (const auto& [group, item] : chosen)
                control(&s.form(), group)->findChild<QButtonGroup*>()->button(item)->setChecked(true);
            static_cast<QLineEdit*>(s.w("edSweep"))->setText(QStringLiteral("a"));
            const qsizetype seen = ok.texts().size();
            s.click("btnGO");
            QCOMPARE(ok.texts().size(), seen + 1);
            const QString said = ok.texts().back();
            QVERIFY(said.startsWith(QStringLiteral("             I am done               \n")));
            const QString saying = everyRecord ? QStringLiteral("CompuServe could not be searched: ")
                                               : QStringLiteral("CompuServe: 3 records could not be searched: ");
            QVERIFY2(said.contains(saying) && said.contains(QStringLiteral("Filesd32.mb"), Qt::CaseInsensitive), qPrintable(said));
            QCOMPARE(ok.captions().back(), QStringLiteral("Warning"));
            for (int base : {1, 6, 3})
                QVERIFY(tv::app::baseTable(base)->filterConditions().size() == 1);
            if (everyRecord) {
                QVERIFY(forum->filterConditions() == before);
                QCOMPARE(forum->recordCount(), rows);
            } else {
                QCOMPARE(forum->filterConditions().front().value, std::string("a"));
                QVERIFY(forum->recordCount() > 0);
            }
        }
    }
};

QTEST_MAIN(DamagedTest)
#include "damaged_test.moc"
