// Record order: the index chooser's pop-up menu over the active page's base (its entries, the
// check mark, choosing an entry), ordering by a click on a column title, and the yellow title
// of the column the base is ordered by.

#include "apptest.h"
#include "support/menus.h"

#include "app/datamodule.h"
#include "controls/dbindex.h"
#include "dbaware/dbgrid.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QHeaderView>
#include <QMenu>
#include <QTest>

using namespace apptest;
using tvtest::captions;

namespace {

const QColor kYellow(255, 255, 0);

QMenu* popUpIndexMenu(Session& s)
{
    s.form().btnDBIndexClick();
    QMenu* menu = s.form().indexChooser()->Menu();
    menu->hide();
    return menu;
}

QStringList checkedEntries(const QMenu* menu)
{
    QStringList list;
    for (const QAction* a : menu->actions())
        if (a->isChecked())
            list << a->text();
    return list;
}

QAction* entry(const QMenu* menu, const QString& caption)
{
    for (QAction* a : menu->actions())
        if (a->text() == caption)
            return a;
    return nullptr;
}

tv::DBGrid* grid(Session& s, const char* name)
{
    return static_cast<tv::DBGrid*>(s.w(name));
}

// A real click on a column title.
void clickTitle(tv::DBGrid* g, const QString& field)
{
    const int c = gridColumn(g, field);
    QVERIFY(c >= 0);
    QHeaderView* h = g->horizontalHeader();
    g->scrollTo(g->model()->index(0, c));
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(c) + 4, h->height() / 2));
}

// Columns whose title is drawn yellow.
QStringList yellowTitles(tv::DBGrid* g)
{
    QStringList list;
    for (int c = 0; c < g->gridModel()->columnCount(); ++c)
        if (g->titleBackground(c) == kYellow)
            list << g->gridModel()->fieldNameOf(c);
    return list;
}

// The records of the visible set are in the order of the folded text of a field.
bool sortedByText(tv::Table* t, const char* field)
{
    const int f = t->fieldIndex(field);
    for (int row = 1; row < t->recordCount(); ++row)
        if (QString::fromStdString(t->displayTextAt(row - 1, f))
                .compare(QString::fromStdString(t->displayTextAt(row, f)), Qt::CaseInsensitive)
            > 0)
            return false;
    return true;
}

} // namespace

class OrderingTest : public WindowTest {
    Q_OBJECT
private slots:
    void indexMenuListsTheIndexesOfThePage()
    {
        SampleSession s;
        s.showPage(1);
        tv::Table* t = tv::app::baseTable(1);
        QMenu* menu = popUpIndexMenu(s);
        // One entry per index in the table's order: its name, or its fields when it has none.
        QCOMPARE(menu->actions().size(), int(t->indexDefs().size()));
        for (int n = 0; n < menu->actions().size(); ++n) {
            const tv::IndexDef& d = t->indexDefs()[size_t(n)];
            QCOMPARE(menu->actions()[n]->text(), QString::fromStdString(d.name.empty() ? d.fieldList() : d.name));
        }
        QCOMPARE(menu->actions().front()->text(), QStringLiteral("ID"));   // the unnamed primary index
        QCOMPARE(checkedEntries(menu), QStringList{QStringLiteral("ID")});
        QVERIFY(captions(menu).contains(QStringLiteral("ByTopic")));

        // Another page lists its own base; the search page keeps the last binding ("Sort").
        s.showPage(2);
        const QStringList qa = captions(popUpIndexMenu(s));
        QVERIFY(qa.contains(QStringLiteral("ByCategory")) && qa.front() == QStringLiteral("Number"));
        s.showPage(0);
        s.action("mnuSort")->trigger();
        menu->hide();
        QCOMPARE(captions(menu), qa);
        // Page 4 lists the indexes of the forum list on view.
        s.showPage(4);
        const QStringList delphi32 = captions(popUpIndexMenu(s));
        QVERIFY(delphi32.contains(QStringLiteral("ByKeywords")));   // only base 4 has it
        s.w("rgpDelphi")->findChild<QButtonGroup*>()->button(0)->click();
        const QStringList delphi = captions(popUpIndexMenu(s));
        QVERIFY(!delphi.contains(QStringLiteral("ByKeywords")));
        QVERIFY(delphi.contains(QStringLiteral("ByTitle")));
    }

    void menuOpensBelowTheIndexButton()
    {
        SampleSession s;
        s.showPage(1);
        QWidget* b = s.w("btnDBIndex");
        for (bool fromMenu : {false, true}) {
            if (fromMenu)
                s.action("mnuSort")->trigger();
            else
                s.click("btnDBIndex");
            QMenu* menu = s.form().indexChooser()->Menu();
            QVERIFY(menu->isVisible());
            QCOMPARE(menu->pos(), b->mapToGlobal(QPoint(0, b->height())));
            menu->hide();
        }
    }

    void choosingAnIndexKeepsTheRecord()
    {
        SampleSession s;
        s.showPage(1);
        tv::Table* t = tv::app::baseTable(1);
        QVERIFY(t->recordCount() > 6);
        t->moveTo(5);
        const auto id = t->currentId();
        QMenu* menu = popUpIndexMenu(s);
        entry(menu, QStringLiteral("ByTopic"))->trigger();
        QCOMPARE(QString::fromStdString(t->indexName()), QStringLiteral("ByTopic"));
        QVERIFY(t->currentId() == id);
        QVERIFY(sortedByText(t, "TOPIC"));
        menu = popUpIndexMenu(s);
        QCOMPARE(checkedEntries(menu), QStringList{QStringLiteral("ByTopic")});
        QCOMPARE(yellowTitles(grid(s, "wwDBGrid1")), QStringList{QStringLiteral("TOPIC")});
        // Back to the primary index by its entry.
        entry(menu, QStringLiteral("ID"))->trigger();
        QCOMPARE(t->indexName(), std::string());
        QVERIFY(t->currentId() == id);
        QCOMPARE(yellowTitles(grid(s, "wwDBGrid1")), QStringList{QStringLiteral("ID")});
    }

    void titleClickOrdersByAnIndexOfThatField()
    {
        SampleSession s;
        s.showPage(1);
        tv::Table* t = tv::app::baseTable(1);
        tv::DBGrid* g = grid(s, "wwDBGrid1");
        QCOMPARE(yellowTitles(g), QStringList{QStringLiteral("ID")});
        t->moveTo(3);
        const auto id = t->currentId();
        clickTitle(g, QStringLiteral("TOPIC"));
        QCOMPARE(t->indexName(), std::string("ByTopic"));
        QVERIFY(t->currentId() == id);
        QCOMPARE(yellowTitles(g), QStringList{QStringLiteral("TOPIC")});
        // A second click on the same title changes nothing.
        t->moveTo(1);
        const auto second = t->currentId();
        clickTitle(g, QStringLiteral("TOPIC"));
        QCOMPARE(t->indexName(), std::string("ByTopic"));
        QCOMPARE(t->recNo(), 1);
        QVERIFY(t->currentId() == second);
        // A column without an index: nothing happens.
        clickTitle(g, QStringLiteral("SOURCE"));
        QCOMPARE(t->indexName(), std::string("ByTopic"));
        QCOMPARE(yellowTitles(g), QStringList{QStringLiteral("TOPIC")});
        // A date column whose index is case-sensitive is found on the second pass.
        clickTitle(g, QStringLiteral("LASTCHANGED"));
        QCOMPARE(t->indexName(), std::string("LASTCHANGED"));
        QCOMPARE(yellowTitles(g), QStringList{QStringLiteral("LASTCHANGED")});
        QVERIFY(t->currentId() == second);
    }

    void newsTitlesOfTheNaturalOrderStayPlain()
    {
        // The dBASE news base starts in its natural order: no title is marked, until a title
        // with a tag is clicked.
        SampleSession s;
        s.showPage(3);
        tv::Table* t = tv::app::baseTable(3);
        tv::DBGrid* g = grid(s, "wwDBGrid3");
        QVERIFY(yellowTitles(g).isEmpty());
        QVERIFY(checkedEntries(popUpIndexMenu(s)).isEmpty());
        clickTitle(g, QStringLiteral("KEYLIST"));   // no tag
        QVERIFY(yellowTitles(g).isEmpty());
        clickTitle(g, QStringLiteral("SUBJECT"));
        QCOMPARE(yellowTitles(g), QStringList{QStringLiteral("SUBJECT")});
        QVERIFY(sortedByText(t, "SUBJECT"));
        QCOMPARE(checkedEntries(popUpIndexMenu(s)), QStringList{QStringLiteral("SUBJECT")});
    }

    void forumTitlesOrderTheListOnView()
    {
        // With the forum "Delphi" on view a title click orders base 40, and the yellow title
        // marks base 40's order: the marks always speak of the list on view.
        SampleSession s;
        s.showPage(4);
        s.w("rgpDelphi")->findChild<QButtonGroup*>()->button(0)->click();
        tv::Table* t4 = tv::app::baseTable(4);
        tv::Table* t40 = tv::app::baseTable(40);
        tv::DBGrid* g = grid(s, "wwDBGrid4");
        clickTitle(g, QStringLiteral("Title"));
        QCOMPARE(t40->indexName(), std::string("ByTitle"));
        QCOMPARE(t4->indexName(), std::string());
        QCOMPARE(yellowTitles(g), QStringList{QStringLiteral("Title")});
        // Back on "Delphi32" the mark shows base 4's own order; the same click orders base 4.
        s.w("rgpDelphi")->findChild<QButtonGroup*>()->button(1)->click();
        QCOMPARE(yellowTitles(g), QStringList{QStringLiteral("Section")});
        clickTitle(g, QStringLiteral("Title"));
        QCOMPARE(t4->indexName(), std::string("ByTitle"));
        QCOMPARE(yellowTitles(g), QStringList{QStringLiteral("Title")});
    }

    void nothingToChooseShowsNoMenuAndTheChooserGoesOnWorking()
    {
        QStringList files = allBaseFiles();
        files.removeAll(QStringLiteral("Filesdel.db"));
        SampleSession s(files);
        QMenu* menu = s.form().indexChooser()->Menu();
        auto attempt = [&](bool expectMenu) {
            s.action("mnuSort")->trigger();
            QCOMPARE(menu->isVisible(), expectMenu);
            QCOMPARE(QApplication::activePopupWidget() != nullptr, expectMenu);
            menu->hide();
        };
        // "Sort" on the search page before any base page bound the chooser: nothing to list.
        attempt(false);
        // Page 4 with the forum whose base is missing, before any list was built.
        s.showPage(4);
        s.w("rgpDelphi")->findChild<QButtonGroup*>()->button(0)->click();
        attempt(false);
        attempt(false);
        // Every page with a base still gets its menu, from the menu entry and the button.
        for (int tab : {1, 2, 6}) {
            s.showPage(tab);
            attempt(true);
            s.click("btnDBIndex");
            QVERIFY(menu->isVisible() && !menu->actions().isEmpty());
            menu->hide();
        }
    }

    void missingBasePageKeepsTheLastMenu()
    {
        SampleSession s({"QA.DB", "SWAG.db"});
        s.showPage(6);
        const QStringList swag = captions(popUpIndexMenu(s));
        QVERIFY(swag.contains(QStringLiteral("BySubject")));
        s.showPage(1);   // base 1 is missing: the entries are not rebuilt
        s.action("mnuSort")->trigger();
        QMenu* menu = s.form().indexChooser()->Menu();
        menu->hide();
        QCOMPARE(captions(menu), swag);
    }
};

QTEST_MAIN(OrderingTest)
#include "ordering_test.moc"
