// The filter component: the dialog edits a copy of the table's base filter; OK after a change
// puts it in place, Cancel and OK without a change leave it alone.

#include "dbaware/filterdialog.h"
#include "support/modalscript.h"
#include "support/testtables.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>

using namespace tv;
using namespace tvtest;

namespace {

constexpr int kCount = 30;

// Expected visible rows: records of the sample that pass `pass`.
int expectedCount(const std::function<bool(const Record&)>& pass)
{
    int n = 0;
    for (int i = 1; i <= kCount; ++i)
        n += pass(sampleRecord(i, kCount)) ? 1 : 0;
    return n;
}

std::string text(const Record& r, int col)
{
    return std::get<std::string>(r[size_t(col)]);
}

bool startsWithNoCase(const std::string& s, const std::string& prefix)
{
    return foldAsciiUpper(s).rfind(foldAsciiUpper(prefix), 0) == 0;
}

template <typename T>
T* child(QWidget* w, const char* name)
{
    T* c = w->findChild<T*>(QLatin1String(name));
    if (!c)
        qWarning("no control %s", name);
    return c;
}

// Types a value condition for `label` into the open dialog.
void typeValue(FilterDialogForm* f, const QString& label, const QString& value, const char* matchButton = "rbStart")
{
    QVERIFY(f->selectField(label));
    child<QTabWidget>(f, "pgcMatch")->setCurrentIndex(0);
    child<QLineEdit>(f, "edValue")->setText(value);
    child<QRadioButton>(f, matchButton)->setChecked(true);
}

// A sample table with a filter component bound to it.
struct Bound {
    explicit Bound(int count) : s(makeSample(count)), ds(s.table.get()) { fd.setDataSource(&ds); }
    SampleTable s;
    DataSource ds;
    FilterDialog fd;
};

void pressOk(FilterDialogForm* f)
{
    ModalScript::click(child<QAbstractButton>(f, "btnOK"));
}

} // namespace

class FilterDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { pinLocale(); }

    void labelsIdentifyConditions()
    {
        QVERIFY(filterdlg::sameLabel("File~Name", "File Name"));
        QVERIFY(filterdlg::sameLabel("A B", "A~B"));
        QVERIFY(!filterdlg::sameLabel("Name", "name"));
        QVERIFY(!filterdlg::sameLabel("Name", "Name "));

        auto s = makeSample(3);
        s.table->setDisplayLabel("Category", "Group~Of");
        FieldCondition c;
        c.displayLabel = "Group Of";
        QCOMPARE(filterdlg::fieldOfCondition(*s.table, c), int(cCategory));
        c.displayLabel = "Nothing like it";
        QCOMPARE(filterdlg::fieldOfCondition(*s.table, c), -1);
        c.displayLabel.clear();   // a condition made without the dialog: by its field name
        c.fieldName = "NAME";
        QCOMPARE(filterdlg::fieldOfCondition(*s.table, c), int(cName));
    }

    void summaryTexts()
    {
        FieldCondition c;
        c.matchType = fdMatchAny;
        c.value = "abc";
        QCOMPARE(filterdlg::summaryValue(c), QStringLiteral("abc"));
        c.matchType = fdMatchRange;
        c.minimum = "3";
        c.maximum = "9";
        QCOMPARE(filterdlg::summaryValue(c), QStringLiteral(">= 3, <= 9"));
        c.minimum.clear();
        QCOMPARE(filterdlg::summaryValue(c), QStringLiteral("<= 9"));
        QCOMPARE(filterdlg::matchWord(fdMatchRange), QStringLiteral("Range"));
        QCOMPARE(filterdlg::matchWord(fdMatchExact), QStringLiteral("Exact Match"));
    }

    void boundsAreCheckedByType()
    {
        auto s = makeSample(3);
        QVERIFY(filterdlg::checkBound(*s.table, cAmount, QStringLiteral("1,234.5")).isEmpty());
        QVERIFY(filterdlg::checkBound(*s.table, cWhen, QStringLiteral("1/5/1999")).isEmpty());
        QVERIFY(filterdlg::checkBound(*s.table, cName, QStringLiteral("anything")).isEmpty());
        QVERIFY(filterdlg::checkBound(*s.table, cAmount, QStringLiteral("abc")).contains(QStringLiteral("'abc'")));
        QVERIFY(!filterdlg::checkBound(*s.table, cWhen, QStringLiteral("13/45/1999")).isEmpty());
        QVERIFY(!filterdlg::checkBound(*s.table, cNotes, QStringLiteral("x")).isEmpty());
    }

    // A condition, then another one on a second field: both must hold; the dialog reopens on
    // the searched fields with the first condition shown.
    void refineThenReplace()
    {
        Bound b(kCount);
        SampleTable& s = b.s;
        FilterDialog& fd = b.fd;

        ModalScript script;
        script.on<FilterDialogForm>([](FilterDialogForm* f) {
            QCOMPARE(child<QTabBar>(f, "tabFieldSet")->currentIndex(), 0);   // nothing searched yet
            QVERIFY(!child<QAbstractButton>(f, "btnNewSearch")->isEnabled());
            QVERIFY(child<QRadioButton>(f, "rbStart")->isChecked());        // default match type
            QCOMPARE(f->listedLabels().first(), QStringLiteral("ID"));       // table order
            typeValue(f, QStringLiteral("Name"), QStringLiteral("name 00001"));
            pressOk(f);
        });
        QVERIFY(fd.execute());
        QVERIFY(script.done());
        const auto byName = [](const Record& r) { return startsWithNoCase(text(r, cName), "name 00001"); };
        QCOMPARE(s.table->recordCount(), expectedCount(byName));
        QVERIFY(s.table->recordCount() > 0 && s.table->recordCount() < kCount);

        QString shownValue, shownField;
        QStringList searched;
        script.on<FilterDialogForm>([&](FilterDialogForm* f) {
            shownField = f->selectedLabel();
            shownValue = child<QLineEdit>(f, "edValue")->text();
            searched = f->listedLabels();
            QVERIFY(child<QAbstractButton>(f, "btnNewSearch")->isEnabled());
            child<QTabBar>(f, "tabFieldSet")->setCurrentIndex(0);
            typeValue(f, QStringLiteral("Category"), QStringLiteral("Cat 1"), "rbExact");
            child<QCheckBox>(f, "cbCaseSensitive")->setChecked(true);
            // A field without a condition starts from the defaults, not from the field before.
            QVERIFY(f->selectField(QStringLiteral("ID")));
            QVERIFY(child<QRadioButton>(f, "rbStart")->isChecked());
            QVERIFY(!child<QCheckBox>(f, "cbCaseSensitive")->isChecked());
            pressOk(f);
        });
        QVERIFY(fd.execute());
        QCOMPARE(shownField, QStringLiteral("Name"));
        QCOMPARE(shownValue, QStringLiteral("name 00001"));
        QCOMPARE(searched, QStringList{QStringLiteral("Name")});
        QCOMPARE(int(s.table->filterConditions().size()), 2);
        const auto both = [&](const Record& r) { return byName(r) && text(r, cCategory) == "Cat 1"; };
        QCOMPARE(s.table->recordCount(), expectedCount(both));
        QVERIFY(s.table->recordCount() > 0);

        // New Search drops both; the condition typed afterwards is the only one.
        script.on<FilterDialogForm>([&](FilterDialogForm* f) {
            f->newSearch();
            QVERIFY(!child<QAbstractButton>(f, "btnNewSearch")->isEnabled());
            QCOMPARE(child<QTabBar>(f, "tabFieldSet")->currentIndex(), 0);
            QVERIFY(child<QRadioButton>(f, "rbStart")->isChecked());
            QVERIFY(child<QLineEdit>(f, "edValue")->text().isEmpty());
            typeValue(f, QStringLiteral("Category"), QStringLiteral("cat 2"), "rbAny");
            pressOk(f);
        });
        QVERIFY(fd.execute());
        QCOMPARE(int(s.table->filterConditions().size()), 1);
        QCOMPARE(s.table->recordCount(), expectedCount([](const Record& r) { return text(r, cCategory) == "Cat 2"; }));

        fd.clearFilter();
        QCOMPARE(s.table->recordCount(), kCount);
        QVERIFY(s.table->filterConditions().empty());
    }

    void cancelAndUnchangedOkLeaveTheFilter()
    {
        Bound b(kCount);
        SampleTable& s = b.s;
        FilterDialog& fd = b.fd;
        FieldCondition c{"Category", "Category", fdMatchExact, "Cat 0", "", "", false};
        s.table->setFilter({c});
        s.table->moveTo(2);
        const auto id = s.table->currentId();

        ModalScript script;
        script.on<FilterDialogForm>([](FilterDialogForm* f) {
            child<QTabBar>(f, "tabFieldSet")->setCurrentIndex(0);
            typeValue(f, QStringLiteral("Name"), QStringLiteral("x"));
            ModalScript::click(child<QAbstractButton>(f, "btnCancel"));
        });
        QVERIFY(!fd.execute());
        script.on<FilterDialogForm>([](FilterDialogForm* f) { pressOk(f); });
        QVERIFY(!fd.execute());
        QVERIFY(script.done());
        QCOMPARE(s.table->filterConditions(), FilterConditions{c});
        QCOMPARE(s.table->currentId(), id);   // nothing was re-applied
    }

    // A condition made without the dialog (no display label) is shown on its field and kept
    // when another condition is added.
    void conditionWithoutLabelIsKept()
    {
        Bound b(kCount);
        SampleTable& s = b.s;
        FilterDialog& fd = b.fd;
        FieldCondition sweep;
        sweep.fieldName = "CATEGORY";
        sweep.matchType = fdMatchAny;
        sweep.value = "cat 1";
        s.table->setFilter({sweep});

        ModalScript script;
        QString shown;
        script.on<FilterDialogForm>([&](FilterDialogForm* f) {
            shown = f->selectedLabel() + "=" + child<QLineEdit>(f, "edValue")->text();
            child<QTabBar>(f, "tabFieldSet")->setCurrentIndex(0);
            typeValue(f, QStringLiteral("Name"), QStringLiteral("Name 00002"));
            pressOk(f);
        });
        QVERIFY(fd.execute());
        QCOMPARE(shown, QStringLiteral("Category=cat 1"));
        const auto both = [](const Record& r) {
            return text(r, cCategory) == "Cat 1" && startsWithNoCase(text(r, cName), "Name 00002");
        };
        QCOMPARE(s.table->recordCount(), expectedCount(both));
        QVERIFY(s.table->recordCount() > 0);
        QCOMPARE(s.table->filterConditions().front().fieldName, std::string("Category"));
    }

    void rangeConditionsAndBadBounds()
    {
        Bound b(kCount);
        SampleTable& s = b.s;
        FilterDialog& fd = b.fd;

        ModalScript script;
        script.on<FilterDialogForm>([](FilterDialogForm* f) {
            QVERIFY(f->selectField(QStringLiteral("Notes")));
            QVERIFY(!child<QTabWidget>(f, "pgcMatch")->isTabEnabled(1));   // no range on a memo
            QVERIFY(f->selectField(QStringLiteral("Amount")));
            child<QTabWidget>(f, "pgcMatch")->setCurrentIndex(1);
            child<QLineEdit>(f, "edRangeFrom")->setText(QStringLiteral("abc"));
            pressOk(f);
        });
        script.answer();   // the bad bound is refused, the dialog stays
        script.on<FilterDialogForm>([](FilterDialogForm* f) {
            child<QLineEdit>(f, "edRangeFrom")->setText(QStringLiteral("6"));
            child<QLineEdit>(f, "edRangeTo")->setText(QStringLiteral("15"));
            pressOk(f);
        });
        QVERIFY(fd.execute());
        QVERIFY(script.done());
        QCOMPARE(script.icons.value(0), QMessageBox::Critical);
        QVERIFY(script.texts.value(0).contains(QStringLiteral("abc")));
        QCOMPARE(s.table->filterConditions().front().matchType, fdMatchRange);
        QCOMPARE(s.table->recordCount(), expectedCount([](const Record& r) {
                     const double a = std::get<double>(r[cAmount]);
                     return a >= 6 && a <= 15;
                 }));
    }

    void summaryShowsTheConditions()
    {
        Bound b(kCount);
        SampleTable& s = b.s;
        FilterDialog& fd = b.fd;
        ModalScript script;
        QStringList rows;
        script.on<FilterDialogForm>([](FilterDialogForm* f) {
            // Nothing entered: a message instead of the summary.
            QMetaObject::invokeMethod(f, [f] { f->viewSummary(); }, Qt::QueuedConnection);
        });
        script.answer();
        script.on<FilterDialogForm>([](FilterDialogForm* f) {
            typeValue(f, QStringLiteral("Name"), QStringLiteral("Name 1"), "rbAny");
            QMetaObject::invokeMethod(f, [f] { f->viewSummary(); }, Qt::QueuedConnection);
        });
        script.on<QDialog>([&](QDialog* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Show Search Summary"));
            auto* g = child<QTableWidget>(d, "grdSummary");
            for (int r = 0; r < g->rowCount(); ++r)
                rows << g->item(r, 0)->text() + "|" + g->item(r, 1)->text() + "|" + g->item(r, 2)->text();
            d->reject();
        }, QStringLiteral("SearchSummary"));
        script.on<FilterDialogForm>([](FilterDialogForm* f) { ModalScript::click(child<QAbstractButton>(f, "btnCancel")); });
        QVERIFY(!fd.execute());
        QVERIFY(script.done());
        QCOMPARE(script.texts.size(), 1);
        QCOMPARE(rows, QStringList{QStringLiteral("Name|Partial Match Anywhere|Name 1")});
        QVERIFY(s.table->filterConditions().empty());   // the summary took nothing into the table
    }

    void inactiveTableIsAnError()
    {
        auto s = makeSample(3);
        DataSource ds(s.table.get());
        FilterDialog fd;
        ModalScript script;
        script.answer().answer();
        QVERIFY(!fd.execute());   // bound to nothing
        fd.setDataSource(&ds);
        s.table->close();
        QVERIFY(!fd.execute());
        QVERIFY(script.done());
        const QString text = QStringLiteral("Dataset must be active to perform local filtering (FilterMethod=fdByFilter).");
        QCOMPARE(script.texts, (QStringList{text, text}));
        QCOMPARE(script.icons.value(1), QMessageBox::Critical);
    }
};

QTEST_MAIN(FilterDialogTest)
#include "filterdialog_test.moc"
