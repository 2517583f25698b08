// Filter, Cancel Filter, Search and Locate on the main window: which base each command acts on
// for every page, the components the window owns, the repeat buttons of Locate, the word
// located marked, and the messages for a missing base.

#include "apptest.h"

#include "support/modalscript.h"
#include "app/datamodule.h"
#include "dbaware/dbgrid.h"
#include "dbaware/filterdialog.h"
#include "dbaware/locatedialog.h"
#include "dbaware/memohighlight.h"
#include "dbaware/searchdialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>

using namespace apptest;
using tvtest::ModalScript;

namespace {

// A word that begins the field of some records of the table but not of all of them: the
// first word of the field's text on the first record. Empty when there is none.
std::string leadingWord(tv::Table& t, const char* field)
{
    t.first();
    const std::string text = t.displayText(field);
    return text.substr(0, text.find(' '));
}

// Rows of the (unfiltered) table whose field begins with `word`, letter case ignored.
std::vector<std::optional<tv::RecordId>> idsStartingWith(tv::Table& t, const char* field, const std::string& word)
{
    std::vector<std::optional<tv::RecordId>> ids;
    const int f = t.fieldByName(field);
    for (int r = 0; r < t.recordCount(); ++r)
        if (tv::matchText(t.displayTextAt(r, f), word, tv::fdMatchStart, false))
            ids.push_back(t.recordIdAt(r));
    return ids;
}

void filterOn(tv::Table& t, const char* field, const std::string& word)
{
    tv::FieldCondition c;
    c.fieldName = field;
    c.matchType = tv::fdMatchAny;
    c.value = word;
    t.setFilter({c});
}

} // namespace

class FilteringTest : public WindowTest {
    Q_OBJECT
private slots:
    void theWindowOwnsTheComponents()
    {
        SampleSession s;
        for (int n : {1, 2, 3, 4, 5, 6, 7, 9, 40}) {
            tv::FilterDialog* f = s.form().filterDialog(n);
            QVERIFY2(f, qPrintable(QStringLiteral("wwFilterDialog%1").arg(n)));
            QCOMPARE(f->objectName(), QStringLiteral("wwFilterDialog%1").arg(n));
            QCOMPARE(f->parent(), &s.form());
            QCOMPARE(f->dataSource(), tv::app::baseDataSource(n));
            QCOMPARE(f->defaultMatchType, tv::fdMatchStart);
            QCOMPARE(f->sortBy, tv::fdSortByFieldNo);
        }
        QVERIFY(s.form().filterDialog(8) && !s.form().filterDialog(8)->dataSource());
        QCOMPARE(s.form().searchDialog()->caption, QStringLiteral("Search"));
        QCOMPARE(s.form().searchDialog()->searchTable(), tv::app::baseTable(1));
        auto* lookup = s.form().findChild<tv::LookupDialog*>(QStringLiteral("wwLookupDialog1"));
        QVERIFY(lookup);
        QCOMPARE(lookup->caption, QStringLiteral("Lookup"));
        QCOMPARE(lookup->lookupTable(), tv::app::baseTable(1));
        QCOMPARE(s.form().locateDialog()->matchType, tv::fdMatchStart);
        QVERIFY(!s.form().locateDialog()->caseSensitive);
    }

    // Filter on page 1 narrows base 1 and its grid; Cancel Filter on page 1 shows every record
    // of base 1 again and leaves the filter of another base alone.
    void filterAndCancelFilterOnAPage()
    {
        SampleSession s;
        tv::Table& t1 = *tv::app::baseTable(1);
        tv::Table& t2 = *tv::app::baseTable(2);
        const int all1 = t1.recordCount();
        const std::string word = leadingWord(t1, "TOPIC");
        QVERIFY(!word.empty());
        const auto expected = idsStartingWith(t1, "TOPIC", word);
        QVERIFY(!expected.empty());
        filterOn(t2, "Topic", leadingWord(t2, "Topic"));
        const int filtered2 = t2.recordCount();

        s.showPage(1);
        ModalScript script;
        script.on<tv::FilterDialogForm>([&](tv::FilterDialogForm* f) {
            QVERIFY(f->selectField(QStringLiteral("Topic")));
            f->findChild<QLineEdit*>(QStringLiteral("edValue"))->setText(QString::fromStdString(word));
            ModalScript::click(f->findChild<QAbstractButton*>(QStringLiteral("btnOK")));
        });
        s.click("btnFilter");
        QVERIFY(script.done());
        QCOMPARE(t1.recordCount(), int(expected.size()));
        for (int r = 0; r < t1.recordCount(); ++r)
            QCOMPARE(std::optional<tv::RecordId>(t1.recordIdAt(r)), expected[size_t(r)]);
        auto* grid = qobject_cast<tv::DBGrid*>(s.w("wwDBGrid1"));
        QCOMPARE(grid->model()->rowCount(), t1.recordCount());

        s.click("btnNoFilter");
        QCOMPARE(t1.recordCount(), all1);
        QVERIFY(t1.filterConditions().empty());
        QCOMPARE(grid->model()->rowCount(), all1);
        QCOMPARE(t2.recordCount(), filtered2);   // another base keeps its filter
        QVERIFY(!t2.filterConditions().empty());
    }

    // The search, placeholder and Info pages reach the commands through the menu only: Filter
    // edits the private base's filter, Cancel Filter does nothing, Search uses the private
    // base (the placeholder page keeps the table searched last), Locate the private base.
    // The forum page acts on the forum on view.
    void pagesWithoutABaseUseThePrivateBase()
    {
        SampleSession s;
        tv::Table* t9 = tv::app::baseTable(9);
        filterOn(*t9, "Topic", leadingWord(*t9, "Topic"));
        const auto conditions9 = t9->filterConditions();

        ModalScript script;
        tv::FilterDialog* opened = nullptr;
        script.on<tv::FilterDialogForm>([&](tv::FilterDialogForm* f) {
            for (int n : {1, 2, 3, 4, 5, 6, 7, 9, 40})
                if (s.form().filterDialog(n)->form() == f)
                    opened = s.form().filterDialog(n);
            f->reject();
        });
        s.showPage(0);
        s.action("mnuFilter")->trigger();
        QCOMPARE(opened, s.form().filterDialog(9));
        for (int tab : {0, 8, 10}) {
            s.showPage(tab);
            s.action("mnuNoFilter")->trigger();
            QCOMPARE(t9->filterConditions(), conditions9);
        }

        const auto searchOn = [&](int tab) {
            s.showPage(tab);
            tv::Table* searched = nullptr;
            script.on<tv::SearchDialogForm>([&](tv::SearchDialogForm* f) {
                searched = s.form().searchDialog()->searchTable();
                f->reject();
            });
            s.action("mnuSearch")->trigger();
            return searched;
        };
        QCOMPARE(searchOn(2), tv::app::baseTable(2));
        QCOMPARE(searchOn(8), tv::app::baseTable(2));   // the table searched last
        QCOMPARE(searchOn(10), t9);
        QCOMPARE(searchOn(1), tv::app::baseTable(1));
        // The forum page searches the forum on view.
        s.showPage(4);
        s.w("rgpDelphi")->findChild<QButtonGroup*>()->button(0)->click();
        QCOMPARE(searchOn(4), tv::app::baseTable(40));
        script.on<tv::FilterDialogForm>([&](tv::FilterDialogForm* f) {
            opened = s.form().filterDialog(40)->form() == f ? s.form().filterDialog(40) : nullptr;
            f->reject();
        });
        s.click("btnFilter");
        QCOMPARE(opened, s.form().filterDialog(40));
        script.on<tv::LocateDialogForm>([](tv::LocateDialogForm* f) { f->reject(); });
        s.click("btnLocate");
        QCOMPARE(s.form().locateDialog()->dataSource(), tv::app::baseDataSource(40));

        script.on<tv::LocateDialogForm>([](tv::LocateDialogForm* f) { f->reject(); });
        s.showPage(10);
        s.action("mnuLocate")->trigger();
        QVERIFY(script.done());
        QCOMPARE(s.form().locateDialog()->dataSource(), tv::app::baseDataSource(9));
    }

    // Locate enables Locate First and Locate Next; Next walks the matches in order and ends
    // with the message; a page change disables both again.
    void locateThenRepeat()
    {
        SampleSession s;
        tv::Table& t5 = *tv::app::baseTable(5);
        const std::string word = leadingWord(t5, "CATEGORY");
        const auto expected = idsStartingWith(t5, "CATEGORY", word);
        QVERIFY(expected.size() >= 2);
        s.showPage(5);
        QVERIFY(!s.w("btnLocateFirst")->isEnabled());

        ModalScript script;
        script.on<tv::LocateDialogForm>([&](tv::LocateDialogForm* f) {
            auto* list = f->findChild<QListWidget*>(QStringLiteral("lstFields"));
            list->setCurrentItem(list->findItems(QStringLiteral("CATEGORY"), Qt::MatchFixedString).value(0));
            f->findChild<QLineEdit*>(QStringLiteral("edValue"))->setText(QString::fromStdString(word));
            ModalScript::click(f->findChild<QAbstractButton*>(QStringLiteral("btnFirst")));
        });
        s.click("btnLocate");
        QVERIFY(script.done());
        QVERIFY(s.w("btnLocateFirst")->isEnabled());
        QVERIFY(s.w("btnLocateNext")->isEnabled());
        QCOMPARE(t5.currentId(), expected.front());
        for (size_t i = 1; i < expected.size(); ++i) {
            s.click("btnLocateNext");
            QCOMPARE(t5.currentId(), expected[i]);
        }
        script.answer();
        s.click("btnLocateNext");
        QVERIFY(script.done());
        QCOMPARE(script.texts, QStringList{QStringLiteral("No more matches found")});
        QCOMPARE(t5.currentId(), expected.back());
        s.click("btnLocateFirst");
        QCOMPARE(t5.currentId(), expected.front());
        // The word located is marked in the page's record view until a filter command on the
        // base (whose filter looks for no word) takes over.
        QCOMPARE(s.form().foundWords(5)->word(), QString::fromStdString(word));
        s.click("btnNoFilter");
        QVERIFY(s.form().foundWords(5)->word().isEmpty());

        s.showPage(6);
        s.showPage(5);
        QVERIFY(!s.w("btnLocateFirst")->isEnabled());
        QVERIFY(!s.w("btnLocateNext")->isEnabled());
    }

    void missingBaseThroughTheMenu()
    {
        QStringList files = allBaseFiles();
        files.removeAll(QStringLiteral("DTOPICS.DB"));
        SampleSession s(files);
        s.showPage(1);
        ModalScript script;
        script.answer().answer().answer().answer();
        s.action("mnuFilter")->trigger();
        s.action("mnuSearch")->trigger();
        s.action("mnuLocate")->trigger();
        s.form().btnLocateNextClick();
        QVERIFY(script.done());
        QCOMPARE(script.texts,
                 (QStringList{QStringLiteral("Dataset must be active to perform local filtering (FilterMethod=fdByFilter)."),
                              QStringLiteral("Search Table is not active."),
                              QStringLiteral("DataSource does not refer to an active table!"),
                              QStringLiteral("DataSource does not refer to an active table!")}));
        QCOMPARE(script.icons,
                 (QList<QMessageBox::Icon>{QMessageBox::Critical, QMessageBox::Warning, QMessageBox::Warning,
                                           QMessageBox::Warning}));
        QCOMPARE(script.captions.value(0), QStringLiteral("Tipvault"));
        // Cancel Filter on the page of a missing base changes nothing and says nothing.
        s.action("mnuNoFilter")->trigger();
        QVERIFY(tv::app::baseTable(1)->filterConditions().empty());
    }
};

QTEST_MAIN(FilteringTest)
#include "filtering_test.moc"
