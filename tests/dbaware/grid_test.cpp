// The data source and the record grid over in-memory tables.

#include "dbaware/dbgrid.h"
#include "support/modalanswerer.h"
#include "support/testtables.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using namespace tv;
using namespace tvtest;

namespace {

// A grid bound to a sample table through a data source.
struct GridOver {
    SampleTable s;
    DataSource ds;
    DBGrid grid;

    GridOver(int rows, const QList<GridColumn>& columns, bool writable = false)
        : s(makeSample(rows, writable)), ds(s.table.get())
    {
        grid.resize(500, 200);
        grid.setDataSource(&ds);
        grid.setColumns(columns);
    }
    bool show()
    {
        grid.show();
        return QTest::qWaitForWindowExposed(&grid);
    }
};

} // namespace

class GridTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { pinLocale(); }

    void dataSourceRelaysTableEvents()
    {
        auto s = makeSample(20);
        auto other = makeSample(3);   // outlives the data source bound to it below
        DataSource ds(s.table.get());
        QSignalSpy current(&ds, &DataSource::currentChanged);
        QSignalSpy data(&ds, &DataSource::dataChanged);
        s.table->moveTo(5);
        QVERIFY(current.count() >= 1);
        s.table->setFilter({{"Category", "", fdMatchExact, "Cat 1", "", "", false}});
        QVERIFY(data.count() >= 1);
        QCOMPARE(s.table->recordCount(), 7);

        // Once the data source is gone, table events reach nobody (and crash nothing).
        {
            DataSource shortLived(s.table.get());
            QSignalSpy spy(&shortLived, &DataSource::currentChanged);
            s.table->next();
            QCOMPARE(spy.count(), 1);
        }
        s.table->first();
        s.table->next();

        // Rebinding moves the listeners along.
        current.clear();
        ds.setTable(other.table.get());
        current.clear();
        s.table->last();
        QCOMPARE(current.count(), 0);
        other.table->last();
        QCOMPARE(current.count(), 1);
    }

    void dataSourceEditRules()
    {
        auto ro = makeSample(5, false);
        DataSource roSource(ro.table.get());
        QVERIFY(!roSource.writable());
        QVERIFY_THROWS_EXCEPTION(EngineError, roSource.edit());
        QCOMPARE(ro.table->state(), TableState::Browse);

        auto rw = makeSample(5, true);
        DataSource rwSource(rw.table.get());
        QSignalSpy state(&rwSource, &DataSource::stateChanged);
        rwSource.edit();
        QCOMPARE(rw.table->state(), TableState::Edit);
        QCOMPARE(state.count(), 1);
        rwSource.edit();  // already editing: nothing more
        QCOMPARE(rw.table->state(), TableState::Edit);
        rw.table->cancel();

        // Editing an empty table inserts a record.
        auto empty = makeSample(0, true);
        DataSource emptySource(empty.table.get());
        emptySource.edit();
        QCOMPARE(empty.table->state(), TableState::Insert);

        DataSource unbound;
        QVERIFY(!unbound.active());
        QVERIFY_THROWS_EXCEPTION(EngineError, unbound.edit());
    }

    void modelColumnsAndCells()
    {
        auto s = makeSample(50);
        s.table->setDisplayLabel("Amount", "Sum");
        s.table->setDisplayWidth("Amount", 9);
        s.table->setVisible("Notes", false);
        s.table->setVisible("Pic", false);
        DataSource ds(s.table.get());
        DBGrid grid;
        grid.setDataSource(&ds);
        GridModel* m = grid.gridModel();

        // Without a column list: the visible fields with their display attributes.
        QCOMPARE(m->columnCount(), 5);
        QCOMPARE(m->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Sum"));
        QCOMPARE(m->widthOf(3), 9);

        // A column list: names matched without regard to case, unknown names give no column.
        grid.setColumns({{"VERSION", 4, "Delphi"}, {"name", 12, "Title"}, {"AMOUNT", 0, ""}, {"When", 10, "Date"}});
        QCOMPARE(m->columnCount(), 3);
        QCOMPARE(m->fieldNameOf(0), QStringLiteral("Name"));
        QCOMPARE(m->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Title"));
        QCOMPARE(m->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Sum"));
        QCOMPARE(m->widthOf(1), 9);
        QCOMPARE(m->rowCount(), 50);

        // Cells read the row directly, whatever the current record.
        s.table->moveTo(10);
        for (int row : {0, 17, 49})
            for (int col = 0; col < 3; ++col)
                QCOMPARE(m->data(m->index(row, col)).toString(),
                         QString::fromStdString(s.table->displayTextAt(row, m->fieldOf(col))));
        QCOMPARE(s.table->recNo(), 10);
        QCOMPARE(m->data(m->index(0, 2)).toString(), QStringLiteral("1/2/1999"));
        QVERIFY(m->data(m->index(0, 1), Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
        QVERIFY(m->data(m->index(0, 0), Qt::TextAlignmentRole).toInt() & Qt::AlignLeft);

        // Widths in characters follow the grid's font: the values and the titles show whole, in
        // any font.
        for (int px : {11, 13, 20}) {
            QFont f(QStringLiteral("Arial"));
            f.setPixelSize(px);
            grid.setFont(f);
            grid.setTitleFont(f);
            for (int c = 0; c < m->columnCount(); ++c) {
                const int room = grid.columnWidth(c) - 1;   // less the grid line
                const QString title = m->headerData(c, Qt::Horizontal).toString();
                QVERIFY(QFontMetrics(f).horizontalAdvance(title) + 6 <= room);
                for (int row = 0; row < m->rowCount(); ++row)
                    QVERIFY2(grid.sizeHintForIndex(m->index(row, c)).width() <= room,
                             qPrintable(m->index(row, c).data().toString()));
            }
        }

        // Memo cells show their first line only.
        grid.setColumns({{"Notes", 20, ""}});
        QCOMPARE(m->data(m->index(0, 0)).toString(), QStringLiteral("Notes of 1"));

        // A closed table shows nothing.
        s.table->close();
        QCOMPARE(m->rowCount(), 0);
        QCOMPARE(m->columnCount(), 0);
    }

    void currentRowFollowsBothWays()
    {
        GridOver g(300, {{"ID", 4, ""}, {"Name", 12, ""}});
        auto& s = g.s;
        auto& grid = g.grid;
        QVERIFY(g.show());

        QCOMPARE(grid.currentIndex().row(), 0);
        s.table->moveTo(250);
        QCOMPARE(grid.currentIndex().row(), 250);
        s.table->moveBy(-10);
        QCOMPARE(grid.currentIndex().row(), 240);

        // Picking a row moves the table.
        grid.setCurrentIndex(grid.gridModel()->index(42, 1));
        QCOMPARE(s.table->recNo(), 42);
        QCOMPARE(grid.currentIndex().column(), 1);

        // A click on a visible row, and the keyboard.
        grid.scrollToTop();
        const QRect r = grid.visualRect(grid.gridModel()->index(3, 0));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(s.table->recNo(), 3);
        QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(s.table->recNo(), 4);
        QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(s.table->recNo(), 299);
    }

    void filterAndOrderResetTheModel()
    {
        GridOver g(30, {{"ID", 4, ""}, {"Name", 12, ""}, {"Category", 8, ""}});
        auto& s = g.s;
        auto& grid = g.grid;
        QSignalSpy reset(grid.gridModel(), &QAbstractItemModel::modelReset);

        s.table->setFilter({{"Category", "", fdMatchExact, "Cat 2", "", "", false}});
        QVERIFY(reset.count() >= 1);
        QCOMPARE(grid.gridModel()->rowCount(), 10);
        for (int row = 0; row < 10; ++row)
            QCOMPARE(grid.gridModel()->data(grid.gridModel()->index(row, 2)).toString(), QStringLiteral("Cat 2"));
        QCOMPARE(grid.currentIndex().row(), s.table->recNo());

        // Ordering by name reverses the ids (names count down); the current record stays current.
        s.table->moveTo(3);
        const auto id = s.table->currentId();
        reset.clear();
        QVERIFY(s.table->orderByField("Name"));
        QVERIFY(reset.count() >= 1);
        QCOMPARE(s.table->currentId(), id);
        QCOMPARE(grid.currentIndex().row(), s.table->recNo());
        QCOMPARE(grid.gridModel()->data(grid.gridModel()->index(0, 0)).toString(), QStringLiteral("29"));

        s.table->clearFilter();
        QCOMPARE(grid.gridModel()->rowCount(), 30);
        QCOMPARE(grid.currentIndex().row(), s.table->recNo());
    }

    void titleButtonsAndTitleColours()
    {
        GridOver g(5, {{"ID", 6, ""}, {"Name", 14, ""}, {"Category", 10, ""}});
        auto& s = g.s;
        auto& grid = g.grid;
        QVERIFY(g.show());

        QSignalSpy clicked(&grid, &DBGrid::titleButtonClick);
        QHeaderView* header = grid.horizontalHeader();
        const int x = header->sectionViewportPosition(1) + header->sectionSize(1) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).toString(), QStringLiteral("Name"));
        // A title click never moves the record.
        QCOMPARE(s.table->recNo(), 0);

        // The callback recolours the title of the ordered column.
        const QColor face = grid.palette().color(QPalette::Button);
        QCOMPARE(grid.titleBackground(1), face);
        grid.setTitleAttributesCallback([](DBGrid* g, const QString& field, QColor& bg) {
            QVERIFY(g);
            if (field.toUpper() == QLatin1String("CATEGORY"))
                bg = QColor(255, 255, 0);
        });
        QCOMPARE(grid.titleBackground(2), QColor(255, 255, 0));
        QCOMPARE(grid.titleBackground(1), face);

        const QImage shot = header->grab().toImage();
        const int yellowX = header->sectionViewportPosition(2) + header->sectionSize(2) - 4;
        const int plainX = header->sectionViewportPosition(1) + header->sectionSize(1) - 4;
        QCOMPARE(QColor(shot.pixel(yellowX, header->height() / 2)), QColor(255, 255, 0));
        QCOMPARE(QColor(shot.pixel(plainX, header->height() / 2)), face);
    }

    void readOnlyUnlessTold()
    {
        auto ro = makeSample(5, false);
        DataSource roSource(ro.table.get());
        DBGrid roGrid;
        roGrid.setDataSource(&roSource);
        roGrid.setColumns({{"Name", 12, ""}});
        QVERIFY(!(roGrid.gridModel()->flags(roGrid.gridModel()->index(0, 0)) & Qt::ItemIsEditable));
        roGrid.setReadOnly(false);  // a read-only table stays read-only
        QVERIFY(!(roGrid.gridModel()->flags(roGrid.gridModel()->index(0, 0)) & Qt::ItemIsEditable));

        auto rw = makeSample(5, true);
        DataSource rwSource(rw.table.get());
        DBGrid grid;
        grid.setDataSource(&rwSource);
        grid.setColumns({{"ID", 4, ""}, {"Name", 12, ""}, {"When", 10, ""}});
        GridModel* m = grid.gridModel();
        QVERIFY(grid.isReadOnly());
        QVERIFY(!(m->flags(m->index(0, 1)) & Qt::ItemIsEditable));
        QVERIFY(!m->setData(m->index(0, 1), QStringLiteral("x")));
        QCOMPARE(rw.table->state(), TableState::Browse);

        grid.setReadOnly(false);
        QVERIFY(m->flags(m->index(0, 1)) & Qt::ItemIsEditable);
        QVERIFY(m->setData(m->index(2, 1), QStringLiteral("Typed")));
        QCOMPARE(grid.currentIndex().row(), 2);
        QCOMPARE(rw.table->state(), TableState::Edit);
        QCOMPARE(rw.table->recNo(), 2);
        QCOMPARE(rw.table->displayText("Name"), std::string("Typed"));
        QCOMPARE(m->data(m->index(2, 1)).toString(), QStringLiteral("Typed"));

        // Typing into a cell starts the edit as soon as the cell editor opens.
        rw.table->cancel();
        grid.resize(400, 200);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        rw.table->setPicture("When", "#[#]/#[#]/##[##]");
        grid.setCurrentIndex(m->index(1, 2));
        QCOMPARE(rw.table->recNo(), 1);
        QTest::keyClick(&grid, Qt::Key_1);
        QCOMPARE(rw.table->state(), TableState::Edit);
        auto* editor = grid.findChild<QLineEdit*>();
        QVERIFY(editor && editor->validator());
        QTest::keyClicks(editor, QStringLiteral("/x2/2003"));   // the picture refuses the letter
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();   // the editor commits through a queued call
        QCOMPARE(rw.table->displayText("When"), std::string("1/2/2003"));
        rw.table->post();

        // A value the table refuses is reported, not stored.
        ModalAnswerer answer;
        QVERIFY(!m->setData(m->index(2, 2), QStringLiteral("not a date")));
        QTRY_COMPARE(answer.seen().size(), size_t(1));
        QCOMPARE(answer.seen()[0].icon, QMessageBox::Critical);
        rw.table->cancel();
        QCOMPARE(m->data(m->index(2, 1)).toString(), QStringLiteral("Name 000003"));
    }

    void insertionRowComesAndGoes()
    {
        GridOver g(4, {{"ID", 4, ""}, {"Name", 12, ""}}, true);
        auto& s = g.s;
        auto& grid = g.grid;
        QCOMPARE(grid.gridModel()->rowCount(), 4);
        s.table->append();
        QCOMPARE(grid.gridModel()->rowCount(), 5);
        QCOMPARE(grid.currentIndex().row(), 4);
        s.table->cancel();
        QCOMPARE(grid.gridModel()->rowCount(), 4);

        s.table->append();
        s.table->setInteger(cId, 99);
        s.table->setText(cName, "New one");
        s.table->post();
        QCOMPARE(grid.gridModel()->rowCount(), 5);
        QCOMPARE(grid.currentIndex().row(), s.table->recNo());
        QCOMPARE(grid.gridModel()->data(grid.gridModel()->index(s.table->recNo(), 1)).toString(),
                 QStringLiteral("New one"));

        s.table->remove();
        QCOMPARE(grid.gridModel()->rowCount(), 4);
    }

    void doubleClickAnywhere()
    {
        GridOver g(3, {});
        auto& grid = g.grid;
        QVERIFY(g.show());
        QSignalSpy dbl(&grid, &DBGrid::gridDoubleClicked);
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(grid.gridModel()->index(1, 0)).center());
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, QPoint(5, grid.viewport()->height() - 5));
        QCOMPARE(dbl.count(), 2);
    }

    void largeTableReadsRowsDirectly()
    {
        constexpr int kRows = 200000;
        GridOver g(kRows, {{"ID", 8, ""}, {"Name", 12, ""}});
        auto& s = g.s;
        auto& grid = g.grid;
        QVERIFY(g.show());
        QCOMPARE(grid.gridModel()->rowCount(), kRows);
        s.table->last();
        QCOMPARE(grid.currentIndex().row(), kRows - 1);
        QVERIFY(grid.viewport()->rect().intersects(grid.visualRect(grid.currentIndex())));
        QCOMPARE(grid.gridModel()->data(grid.gridModel()->index(kRows - 1, 0)).toString(), QString::number(kRows));
    }
};

QTEST_MAIN(GridTest)
#include "grid_test.moc"
