// The data module: finding, opening and reporting the bases at start-up.

#include "data/dm1.h"
#include "engine/dataset/fieldtext.h"
#include "engine/dataset/memorytable.h"
#include "engine/paradox/pxlock.h"
#include "support/modalanswerer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace tv;
using namespace tvtest;

namespace {

const int kAllBases[] = {1, 2, 3, 4, 40, 5, 6, 7, 9};

const QString kNoDatabases = QStringLiteral(
    "Sorry, no databases available. Please see \"Readme.txt\" file to see how to get the databases. "
    "We have to terminate the application");

QString fileOf(int base)
{
    const auto name = data::baseByNumber(base)->fileName;
    return QString::fromLatin1(name.data(), qsizetype(name.size()));
}

// Writes base `number` with its declared fields and a few records into `dir`.
void makeBase(const QString& dir, int number, int records = 3)
{
    const data::BaseDecl* decl = data::baseByNumber(number);
    const std::string path = QDir(dir).filePath(fileOf(number)).toStdString();
    const TableSpec spec = data::tableSpecFor(*decl);
    auto file = decl->format == data::Format::Dbase ? createDbaseTable(path, spec) : createParadoxTable(path, spec);
    for (int i = 1; i <= records; ++i) {
        Record r(spec.fields.size());
        for (size_t f = 0; f < spec.fields.size(); ++f) {
            switch (kindOf(spec.fields[f].type)) {
            case FieldKind::Integer: r[f] = int64_t(i); break;
            case FieldKind::Float: r[f] = double(i); break;
            case FieldKind::Text: r[f] = (std::string("T") + std::to_string(i)).substr(0, size_t(spec.fields[f].size)); break;
            case FieldKind::Date: r[f] = dateFromYmd(1999, 1, i); break;
            case FieldKind::Memo: r[f] = std::string("memo ") + std::to_string(i); break;
            default: break;
            }
        }
        file->insert(r);
    }
    file->flush();
}

void corrupt(const QString& path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    for (int i = 0; i < std::min<int>(64, int(bytes.size())); ++i)
        bytes[i] = char(0xA5 ^ i);
    f.seek(0);
    f.write(bytes);
}

std::vector<int> presentBases()
{
    std::vector<int> out;
    for (int n = 0; n <= data::kMaxBaseNumber; ++n)
        if (BasePresent[n])
            out.push_back(n);
    return out;
}

} // namespace

class DM1Test : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QApplication::setApplicationName(QStringLiteral("Tipvault"));
    }

    void allBases()
    {
        QTemporaryDir dir;
        for (int n : kAllBases)
            makeBase(dir.path(), n);
        ModalAnswerer answer;
        TDM1 dm(nullptr, dir.path());
        QVERIFY(answer.seen().empty());
        QCOMPARE(DM1, &dm);
        QCOMPARE(presentBases(), std::vector<int>({1, 2, 3, 4, 5, 6, 7, 9, 40}));
        QCOMPARE(DatabaseOpened, 1);
        QVERIFY(!dm.terminateRequested());
        QCOMPARE(dm.DBC->Params.value(0), QStringLiteral("Path=") + QDir::toNativeSeparators(dir.path()));
        QCOMPARE(dm.DBC->DatabaseName, QStringLiteral("TPVdata"));
        QVERIFY(dm.DBC->Connected());

        // Every base open; only the private base can be written.
        for (int n : kAllBases) {
            Table* t = dm.table(n);
            QVERIFY(t && t->isOpen());
            QCOMPARE(t->recordCount(), 3);
            QCOMPARE(t->readOnly(), n != 9);
            QCOMPARE(dm.dataSource(n)->table(), t);
            QCOMPARE(dm.dataSource(n)->objectName(), QStringLiteral("wwDataSource%1").arg(n));
            QCOMPARE(dm.findChild<DataSource*>(QStringLiteral("wwDataSource%1").arg(n)), dm.dataSource(n));
            QCOMPARE(dm.tableByName(QStringLiteral("wwTable%1").arg(n)), t);
        }
        QCOMPARE(dm.table(8), nullptr);
        QCOMPARE(dm.dataSource(8), nullptr);
        QCOMPARE(dm.wwTable40, dm.table(40));
        QCOMPARE(dm.wwDataSource7, dm.dataSource(7));

        // The declared display attributes are in place.
        QCOMPARE(dm.wwTable1->displayLabel(dm.wwTable1->fieldByName("CATEGORY")), std::string("Categ."));
        QCOMPARE(dm.wwTable1->displayWidth(dm.wwTable1->fieldByName("CATEGORY")), 13);
        QVERIFY(!dm.wwTable1->visible(dm.wwTable1->fieldByName("DESCRIPTION")));
        QCOMPARE(dm.wwTable2->displayLabel(dm.wwTable2->fieldByName("Topic")), std::string("Topic"));
        QCOMPARE(dm.wwTable7->displayLabel(dm.wwTable7->fieldByName("TechnicalContentsQuality")),
                 std::string("Technical Contents"));
        QCOMPARE(dm.wwTable5->picture(dm.wwTable5->fieldByName("Size")).mask(), std::string("[###,][###,][###]"));
        // Dates and money in the system's way (pinned to US English here).
        dm.wwTable1->first();
        QCOMPARE(dm.wwTable1->displayText("LASTCHANGED"), std::string("1/1/1999"));
        dm.wwTable7->first();
        QCOMPARE(dm.wwTable7->displayText("Price"), std::string("$1.00"));

        dm.closeAll();
        QVERIFY(!dm.wwTable9->isOpen());
        QVERIFY(!dm.DBC->Connected());
    }

    void onlyThePrivateBase()
    {
        QTemporaryDir dir;
        makeBase(dir.path(), 9);
        ModalAnswerer answer;
        TDM1 dm(nullptr, dir.path());
        QVERIFY(answer.seen().empty());
        QCOMPARE(presentBases(), std::vector<int>({9}));
        QCOMPARE(DatabaseOpened, 1);
        QVERIFY(!dm.terminateRequested());
        QVERIFY(!dm.wwTable1->isOpen());

        // The private base's date field holds to its picture.
        dm.wwTable9->first();
        dm.wwTable9->edit();
        dm.wwTable9->setText("Date", "1/2/99");
        dm.wwTable9->setText("Date", "01/02/1999");
        QVERIFY_THROWS_EXCEPTION(EngineError, dm.wwTable9->setText("Date", "1999-01-02"));
        QVERIFY_THROWS_EXCEPTION(EngineError, dm.wwTable9->setText("Date", "1/2/199"));
        dm.wwTable9->cancel();
    }

    void moneyAsTheLocaleWritesIt()
    {
        // Under Hungarian the forint follows the amount, after a comma and the fillér.
        QTemporaryDir dir;
        makeBase(dir.path(), 7);
        const CurrencyFormat saved = systemCurrencyFormat();
        QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary));
        {
            ModalAnswerer answer;
            TDM1 dm(nullptr, dir.path());
            dm.wwTable7->first();
            QCOMPARE(QString::fromStdString(dm.wwTable7->displayText("Price")), QStringLiteral("1,00\u00A0Ft"));
            dm.closeAll();
        }
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        setSystemCurrencyFormat(saved);
    }

    void noBaseAtAll()
    {
        QTemporaryDir dir;
        // Companion files alone and folders named like a base do not count.
        QFile(QDir(dir.path()).filePath("DTOPICS.MB")).open(QIODevice::WriteOnly);
        QDir(dir.path()).mkdir(QStringLiteral("QA.DB"));
        ModalAnswerer answer;
        TDM1 dm(nullptr, dir.path());
        QCOMPARE(answer.seen().size(), size_t(1));
        const SeenBox& box = answer.seen()[0];
        QCOMPARE(box.caption, QStringLiteral("Information"));
        QCOMPARE(box.icon, QMessageBox::Information);
        QCOMPARE(box.text, kNoDatabases);
        QCOMPARE(box.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
        QVERIFY(dm.terminateRequested());
        QCOMPARE(DatabaseOpened, 0);
        QVERIFY(presentBases().empty());
        QVERIFY(!dm.DBC->Connected());
    }

    void damagedBaseIsReportedAndSkipped()
    {
        QTemporaryDir dir;
        for (int n : {1, 2, 3, 9})
            makeBase(dir.path(), n);
        corrupt(QDir(dir.path()).filePath(fileOf(1)));
        corrupt(QDir(dir.path()).filePath(fileOf(3)));
        ModalAnswerer answer;
        TDM1 dm(nullptr, dir.path());
        // One error box per damaged base, in the opening order, with the engine's text.
        QCOMPARE(answer.seen().size(), size_t(2));
        for (size_t i = 0; i < 2; ++i) {
            QCOMPARE(answer.seen()[i].caption, QStringLiteral("Tipvault"));
            QCOMPARE(answer.seen()[i].icon, QMessageBox::Critical);
        }
        QVERIFY(answer.seen()[0].text.contains(fileOf(1)));
        QVERIFY(answer.seen()[1].text.contains(fileOf(3)));
        // The bases after a damaged one are still opened.
        QCOMPARE(presentBases(), std::vector<int>({2, 9}));
        QVERIFY(!dm.wwTable1->isOpen());
        QVERIFY(!dm.terminateRequested());
    }

    void unfinishedSavesAreReportedOnceAndLeftAlone()
    {
        QTemporaryDir dir;
        for (int n : {1, 9})
            makeBase(dir.path(), n);
        const QDir d(dir.path());
        // A checksummed journal beside a read-only base that would remove its primary index,
        // and a save log of the private base whose only transaction a crash cut off.
        const QString journal = d.filePath(QStringLiteral("DTOPICS.DB.tvjournal"));
        {
            QFile f(journal);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray::fromStdString(px::journalText({{'R', "DTOPICS.DB"}, {'D', "DTOPICS.PX"}})));
        }
        {
            QFile f(d.filePath(QStringLiteral("private.db.tvlog")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("TVL1\x40\0\0\0cut off", 15));
        }
        QVERIFY(QFile::exists(d.filePath(QStringLiteral("DTOPICS.PX"))));
        {
            ModalAnswerer answer;
            TDM1 dm(nullptr, dir.path());
            QCOMPARE(presentBases(), std::vector<int>({1, 9}));
            QCOMPARE(answer.seen().size(), size_t(2));
            QCOMPARE(answer.seen()[0].icon, QMessageBox::Warning);
            QVERIFY(answer.seen()[0].text.contains(QStringLiteral("DTOPICS.DB")));
            QVERIFY(answer.seen()[0].text.contains(QStringLiteral("left alone")));
            QVERIFY(answer.seen()[1].text.contains(QStringLiteral("private.db.tvlog")));
            QVERIFY(answer.seen()[1].text.contains(QStringLiteral("may be missing")));
        }
        QVERIFY(QFile::exists(d.filePath(QStringLiteral("DTOPICS.PX"))));
        QVERIFY(QFile::exists(journal));
        // Said once: the private base's log is empty now, the read-only base's journal is
        // still there and is said again.
        ModalAnswerer again;
        TDM1 dm(nullptr, dir.path());
        QCOMPARE(again.seen().size(), size_t(1));
        QVERIFY(again.seen()[0].text.contains(QStringLiteral("DTOPICS.DB")));
    }

    void baseLockedAtStartIsBusyNotMissing()
    {
        QTemporaryDir dir;
        for (int n : {1, 9})
            makeBase(dir.path(), n);
        // Another program saving the private base holds its lock.
        auto held = std::make_unique<px::TableLock>(QDir(dir.path()).filePath(fileOf(9)).toStdString());
        held->lockExclusive();
        ModalAnswerer answer;
        TDM1 dm(nullptr, dir.path());
        QCOMPARE(presentBases(), std::vector<int>({1, 9}));
        QCOMPARE(answer.seen().size(), size_t(1));
        QCOMPARE(answer.seen()[0].icon, QMessageBox::Information);
        QVERIFY(answer.seen()[0].text.contains(QStringLiteral("in use by another program")));
        QVERIFY(!dm.wwTable9->isOpen());
        // Let go: the base opens by itself, with its records.
        held.reset();
        QTRY_VERIFY_WITH_TIMEOUT(dm.wwTable9->isOpen(), 5000);
        QCOMPARE(dm.wwTable9->recordCount(), 3);
        QCOMPARE(answer.seen().size(), size_t(1));
    }

    void onlyADamagedBase()
    {
        QTemporaryDir dir;
        makeBase(dir.path(), 6);
        corrupt(QDir(dir.path()).filePath(fileOf(6)));
        ModalAnswerer answer;
        TDM1 dm(nullptr, dir.path());
        QCOMPARE(answer.seen().size(), size_t(2));
        QCOMPARE(answer.seen()[0].icon, QMessageBox::Critical);
        QCOMPARE(answer.seen()[1].text, kNoDatabases);
        QVERIFY(dm.terminateRequested());
        QVERIFY(presentBases().empty());
    }

    void baseWithoutADeclaredField()
    {
        QTemporaryDir dir;
        // A topics table whose "KEYWORDS" field is missing.
        TableSpec spec = data::tableSpecFor(*data::baseByNumber(1));
        std::erase_if(spec.fields, [](const FieldDef& f) { return f.name == "KEYWORDS"; });
        createParadoxTable(QDir(dir.path()).filePath("DTOPICS.DB").toStdString(), spec)->flush();
        makeBase(dir.path(), 9);
        ModalAnswerer answer;
        TDM1 dm(nullptr, dir.path());
        QCOMPARE(answer.seen().size(), size_t(1));
        QVERIFY(answer.seen()[0].text.contains(QStringLiteral("KEYWORDS")));
        QCOMPARE(presentBases(), std::vector<int>({9}));
    }

    void secondForumAloneIsPresentOnItsOwn()
    {
        QTemporaryDir dir;
        makeBase(dir.path(), 40);
        ModalAnswerer answer;
        TDM1 dm(nullptr, dir.path());
        QCOMPARE(presentBases(), std::vector<int>({40}));
        QCOMPARE(BasePresent[4], 0);
    }

    void dataFolderIsTheProgramsOwn()
    {
        QCOMPARE(TDM1::programDirectory(), QCoreApplication::applicationDirPath());
        QVERIFY(!TDM1::programDirectory().endsWith(QLatin1Char('/')));

        // Bases in the working directory are not looked at: whatever is found comes from the
        // program's folder (where the build may have put the sample set).
        QTemporaryDir dir;
        makeBase(dir.path(), 6);
        makeBase(dir.path(), 9);
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        ModalAnswerer answer;
        TDM1 dm;
        QDir::setCurrent(before);
        const QString appDir = QCoreApplication::applicationDirPath();
        QCOMPARE(dm.dataDirectory(), appDir);
        QCOMPARE(dm.DBC->Params.value(0), QStringLiteral("Path=") + QDir::toNativeSeparators(appDir));
        for (int n : {6, 9}) {
            if (BasePresent[n])
                QCOMPARE(QFileInfo(QString::fromStdString(dm.table(n)->path())).absolutePath(), appDir);
            else
                QVERIFY(!QFileInfo::exists(QDir(appDir).filePath(fileOf(n))) || !answer.seen().empty());
        }
        QCOMPARE(dm.terminateRequested(), presentBases().empty());
    }

    void shippedSampleSetOpens()
    {
        // The build writes the sample bases beside the programs, this test included.
        const QDir programDir(TDM1::programDirectory());
        for (int n : kAllBases)
            if (!programDir.exists(fileOf(n)))
                QSKIP("the sample bases are not beside the program");
        // A copy, so that no other program using those files is in the way.
        QTemporaryDir dir;
        for (const QFileInfo& f : programDir.entryInfoList(QDir::Files)) {
            const QString stem = f.completeBaseName().toUpper();
            for (int n : kAllBases)
                if (QFileInfo(fileOf(n)).completeBaseName().toUpper() == stem)
                    QVERIFY(QFile::copy(f.filePath(), QDir(dir.path()).filePath(f.fileName())));
        }
        ModalAnswerer answer;
        TDM1 dm(nullptr, dir.path());
        for (const SeenBox& box : answer.seen())
            qWarning("%s", qPrintable(box.text));
        QVERIFY(answer.seen().empty());
        QCOMPARE(presentBases(), std::vector<int>({1, 2, 3, 4, 5, 6, 7, 9, 40}));
        for (int n : kAllBases)
            QVERIFY(dm.table(n)->recordCount() > 0);
    }

    void postedNoteIsOnDiskAtOnce()
    {
        QTemporaryDir dir;
        makeBase(dir.path(), 9, 0);
        {
            ModalAnswerer answer;
            TDM1 dm(nullptr, dir.path());
            QVERIFY(answer.seen().empty());
            Table* t = dm.wwTable9;
            t->append();
            t->setInteger(t->fieldByName("ID"), 1);
            t->setText("Topic", "Kept note");
            t->setText("Date", "3/4/2001");
            t->post();
            QCOMPARE(t->recordCount(), 1);

            // Another reader of the file sees the note while the program still runs.
            Table reader;
            reader.open(QDir(dir.path()).filePath("private.db").toStdString(), OpenMode::ReadOnly);
            QCOMPARE(reader.recordCount(), 1);
            reader.first();
            QCOMPARE(reader.displayText("Topic"), std::string("Kept note"));

            // Every successful post asks for the changes to be saved, and only then.
            auto memory = std::make_unique<MemoryTable>(data::tableSpecFor(*data::baseByNumber(9)), "private.db");
            MemoryTable* file = memory.get();
            t->open(std::move(memory));
            t->append();
            t->setInteger(t->fieldByName("ID"), 7);
            QCOMPARE(file->flushCount(), 0);
            t->post();
            QCOMPARE(file->flushCount(), 1);
            t->first();
            t->edit();
            t->setText("Topic", "x");
            t->cancel();
            QCOMPARE(file->flushCount(), 1);
        }
    }

    void cleanup()
    {
        // Each case starts from cleared flags, as the program does.
        std::fill(std::begin(BasePresent), std::end(BasePresent), 0);
        DatabaseOpened = 0;
    }
};

QTEST_MAIN(DM1Test)
#include "dm1_test.moc"
