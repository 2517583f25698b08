// Values the engine cannot read: the grid and the bound controls show the marker, the error
// reaches the user once, and nothing raised in a view or a handler of the data source gets
// past it.
#include "dbaware/dbcontrols.h"
#include "dbaware/dbgrid.h"
#include "dbaware/engineguard.h"
#include "engine/tablefile.h"
#include "support/modalanswerer.h"
#include "support/testtables.h"

#include <QTemporaryDir>
#include <QTest>

#include <set>

using namespace tv;
using namespace tvtest;

namespace {

// A sample table whose memo field cannot be read in some records, each with its own message.
class DamagedMemos : public MemoryTable {
public:
    DamagedMemos(std::set<RecordId> bad, std::string tag) : MemoryTable(sampleSpec(), tag + ".db"), bad_(std::move(bad)), tag_(std::move(tag)) {}
    Value value(RecordId id, int field) const override
    {
        check(id, field);
        return MemoryTable::value(id, field);
    }
    std::string_view rawText(RecordId id, int field) const override
    {
        check(id, field);
        return MemoryTable::rawText(id, field);
    }

private:
    void check(RecordId id, int field) const
    {
        if (field == cNotes && bad_.count(id))
            throw EngineError(tag_ + ".mb: a blob pointer of record " + std::to_string(id) + " is damaged");
    }
    std::set<RecordId> bad_;
    std::string tag_;
};

struct Damaged {
    Table table;
    DataSource source{&table};
    DBGrid grid;
    DBMemo memo;

    Damaged(int rows, std::set<RecordId> bad, const std::string& tag, bool writable = false)
    {
        auto file = std::make_unique<DamagedMemos>(std::move(bad), tag);
        for (int i = 1; i <= rows; ++i)
            file->insert(sampleRecord(i, rows));
        file->setWritable(writable);
        table.open(std::move(file));
        grid.setDataSource(&source);
        grid.setColumns({{"Name", 10, {}}, {"Notes", 20, {}}});
        grid.resize(400, 600);
        memo.setDataSource(&source);
        memo.setDataField(QStringLiteral("Notes"));
    }
    QString cell(int row, int column) const { return grid.model()->index(row, column).data().toString(); }
};

} // namespace

class DamagedTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { pinLocale(); }

    // The first, a middle and the last record are damaged; the grid shows all three at once.
    void markersAndOneBoxPerBurst()
    {
        ModalAnswerer boxes;
        Damaged d(30, {1, 15, 30}, "burst");   // record ids count from 1
        d.grid.show();
        d.memo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d.grid));
        QCOMPARE(d.cell(0, 1), damagedMarker());
        QCOMPARE(d.cell(14, 1), damagedMarker());
        QCOMPARE(d.cell(1, 1), QString::fromStdString(d.table.displayTextAt(1, cNotes)).section(QLatin1Char('\n'), 0, 0));
        QCOMPARE(d.memo.toPlainText(), damagedMarker());
        QTRY_COMPARE(boxes.seen().size(), size_t(1));
        QVERIFY(boxes.seen().front().text.startsWith(QStringLiteral("burst.mb: ")));

        // Moving through the damaged records shows each of them, but no box again for what was
        // already reported.
        const size_t before = boxes.seen().size();
        for (int row : {14, 29, 0, 1}) {
            d.table.moveTo(row);
            QTest::qWait(30);
            QCOMPARE(d.memo.toPlainText() == damagedMarker(), row != 1);
        }
        QVERIFY(boxes.seen().size() <= before + 1);
    }

    // A handler behind the data source that cannot read a value stops there; typing into the
    // marker of a writable table changes nothing.
    void guardsOfTheDataSourceAndTheControls()
    {
        ModalAnswerer boxes;
        Damaged d(5, {3}, "guard", true);
        int reached = 0;
        QObject::connect(&d.source, &DataSource::currentChanged, &d.grid, [&] {
            ++reached;
            d.table.value(cNotes);
        });
        d.table.moveTo(2);   // no exception gets back to the caller
        QCOMPARE(reached, 1);
        QVERIFY(d.memo.link()->damaged());
        d.memo.insertPlainText(QStringLiteral("typed"));
        QCOMPARE(d.table.state(), TableState::Browse);
        QCOMPARE(d.memo.toPlainText(), damagedMarker());
        QTRY_COMPARE(boxes.seen().size(), size_t(1));
        QVERIFY(boxes.seen().front().text.startsWith(QStringLiteral("guard.mb: ")));

        QVERIFY(!guarded([] { throw EngineError("guard.db: no such record"); }));
        QTRY_COMPARE(boxes.seen().size(), size_t(2));
    }

    // Another program saves a writable table in place (a second copy of the program on the
    // private base): the views read it again and show its new content, with no box and no
    // marker.
    void aTableChangedElsewhereIsReadAgain()
    {
        ModalAnswerer boxes;
        QTemporaryDir dir;
        const std::string path = dir.filePath(QStringLiteral("notes.db")).toStdString();
        TableSpec spec;
        spec.fields = {FieldDef{"Id", FieldType::Long, 4, 0}, FieldDef{"Name", FieldType::Alpha, 20, 0}};
        spec.primaryKeyFields = 1;
        auto name = [](int i) { return "name " + std::to_string(i); };
        {
            const auto t = createParadoxTable(path, spec);
            for (int i = 1; i <= 30; ++i)
                t->insert({int64_t(i), name(i)});
            t->flush();
        }
        Table table;
        table.open(path, OpenMode::ReadWrite);
        DataSource source{&table};
        DBGrid grid;
        grid.setDataSource(&source);
        grid.setColumns({{"Name", 10, {}}});
        grid.resize(300, 600);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        auto cell = [&](int row) { return grid.model()->index(row, 0).data().toString(); };
        QCOMPARE(cell(0), QStringLiteral("name 1"));
        {
            const auto other = openTableFile(path, OpenMode::ReadWrite);
            other->remove(other->recordIds().front());
            other->insert({int64_t(31), name(31)});
            other->flush();
        }
        QVERIFY(table.changedElsewhere());
        QVERIFY(cell(0) != damagedMarker());
        QTRY_COMPARE(cell(0), QStringLiteral("name 2"));
        QCOMPARE(cell(29), QStringLiteral("name 31"));
        QTest::qWait(50);
        QVERIFY(boxes.seen().empty());
    }
};

QTEST_MAIN(DamagedTest)
#include "damaged_test.moc"
