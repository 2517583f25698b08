#include "controls/dbindex.h"
#include "support/menus.h"

#include <QAction>
#include <QApplication>
#include <QLocale>
#include <QMenu>
#include <QTest>

using namespace tv;
using tvtest::captions;
using I = TdbIndex;

namespace {

// A table with indexes, as the data layer would describe it.
struct FakeTable : TdbIndexSource {
    bool open = true;
    bool loading = false;
    QList<TIndexInfo> defs;
    QString indexName, indexFieldNames;
    QStringList switches;
    int refreshes = 0;

    bool IsOpen() const override { return open; }
    bool IsLoading() const override { return loading; }
    QList<TIndexInfo> RefreshIndexDefs() override
    {
        ++refreshes;
        return defs;
    }
    QString IndexName() const override { return indexName; }
    QString IndexFieldNames() const override { return indexFieldNames; }
    void SwitchToIndex(const QString& name) override
    {
        switches << name;
        indexName = name;
    }
};

FakeTable topics()
{
    FakeTable t;
    t.defs = {{QString(), QStringLiteral("ID"), true, false, false},
              {QStringLiteral("Topic"), QStringLiteral("Topic"), false, true, false},
              {QStringLiteral("Category"), QStringLiteral("Category;Topic"), false, false, false},
              {QStringLiteral("Expr"), QString(), false, false, true}};
    return t;
}

QList<bool> checks(const QMenu* m)
{
    QList<bool> out;
    for (const QAction* a : m->actions())
        out << a->isChecked();
    return out;
}

} // namespace

class DbIndexTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // The primary index has no name: listed under its fields and checked while current.
    void menuEntriesAndCheckMark()
    {
        QWidget owner;
        FakeTable t = topics();
        I chooser(&owner);
        QCOMPARE(chooser.Menu()->parent(), &owner);
        QVERIFY(chooser.Menu()->actions().isEmpty());
        chooser.setDataSource(&t);
        QCOMPARE(captions(chooser.Menu()), (QStringList{"ID", "Topic", "Category", "Expr"}));
        QCOMPARE(checks(chooser.Menu()), (QList<bool>{true, false, false, false}));
        QCOMPARE(chooser.Menu()->actions().at(2)->data().toInt(), 2);

        chooser.setOptions(I::ioPrimaryIndex);
        chooser.BuildMenu();
        QCOMPARE(captions(chooser.Menu()).first(), QStringLiteral("Primary Index"));
        chooser.setOptions(I::ioShowFields | I::ioPrimaryIndex);
        chooser.BuildMenu();
        QCOMPARE(captions(chooser.Menu()), (QStringList{"ID", "Topic", "Category;Topic", ""}));
        chooser.setOptions(I::ioShowIndexInfo);
        chooser.BuildMenu();
        QCOMPARE(captions(chooser.Menu()), (QStringList{"ID", "Topic", "Category", "Expr"}));
    }

    void currentIndexTest()
    {
        const TIndexInfo primary{QString(), QStringLiteral("ID"), true, false, false};
        const TIndexInfo topic{QStringLiteral("Topic"), QStringLiteral("Topic"), false, true, false};
        QVERIFY(I::IsCurrent(primary, QString(), QString()));
        QVERIFY(!I::IsCurrent(topic, QString(), QString()));
        QVERIFY(I::IsCurrent(topic, QStringLiteral("Topic"), QStringLiteral("ID")));  // the name decides
        QVERIFY(!I::IsCurrent(topic, QStringLiteral("topic"), QString()));          // exactly
        QVERIFY(I::IsCurrent(topic, QString(), QStringLiteral("Topic")));
        QVERIFY(!I::IsCurrent(primary, QString(), QStringLiteral("Topic")));
    }

    void choosingAnEntrySwitchesOnlyWhenItIsNotCurrent()
    {
        QWidget owner;
        FakeTable t = topics();
        I chooser(&owner);
        chooser.setDataSource(&t);
        chooser.Menu()->actions().at(0)->trigger();  // already current
        QVERIFY(t.switches.isEmpty());
        chooser.Menu()->actions().at(1)->trigger();
        QCOMPARE(t.switches, QStringList{QStringLiteral("Topic")});
        chooser.ChooseIndex(1);
        QCOMPARE(t.switches.size(), 1);
        chooser.ChooseIndex(99);
        QCOMPARE(t.switches.size(), 1);
        // The next pop-up shows the new order.
        chooser.Popup(QPoint(40, 50));
        QVERIFY(chooser.Menu()->isVisible());
        QCOMPARE(chooser.Menu()->pos(), QPoint(40, 50));
        QCOMPARE(checks(chooser.Menu()), (QList<bool>{false, true, false, false}));
        chooser.Menu()->close();
    }

    // The menu is rebuilt only for an open table that is not still loading.
    void closedOrLoadingTablesKeepTheOldEntries()
    {
        QWidget owner;
        FakeTable t = topics();
        FakeTable missing;
        missing.open = false;
        I chooser(&owner);
        chooser.setDataSource(&t);
        chooser.setDataSource(&missing);
        QCOMPARE(missing.refreshes, 0);
        QCOMPARE(captions(chooser.Menu()).size(), 4);
        FakeTable loading = topics();
        loading.loading = true;
        chooser.setDataSource(&loading);
        QCOMPARE(loading.refreshes, 0);
        chooser.Popup(QPoint(0, 0));  // the pop-up builds anyway
        QCOMPARE(loading.refreshes, 1);
        chooser.Menu()->close();
    }

    void assignCopiesOptions()
    {
        QWidget owner;
        I a(&owner), b(&owner);
        QCOMPARE(a.Options(), I::TnavIndexOptions());
        b.setOptions(I::ioShowFields);
        a.Assign(b);
        QCOMPARE(a.Options(), I::TnavIndexOptions(I::ioShowFields));
    }

    void titleClickFindsAnIndexStartingWithTheField()
    {
        const QList<TIndexInfo> defs = {
            {QString(), QStringLiteral("ID"), true, false, false},
            {QStringLiteral("ByTitle"), QStringLiteral("Title;ID"), false, false, false},
            {QStringLiteral("ByTitleCI"), QStringLiteral("TITLE"), false, true, false},
            {QStringLiteral("ByAuthor"), QStringLiteral("Author;Title"), false, false, false},
            {QStringLiteral("ByYear"), QStringLiteral("Years"), false, false, false},
        };
        QCOMPARE(I::FindIndexForField(defs, QStringLiteral("title")), 2);  // case-insensitive first
        QCOMPARE(I::FindIndexForField(defs, QStringLiteral("Author")), 3);
        QCOMPARE(I::FindIndexForField(defs, QStringLiteral("id")), 0);
        QCOMPARE(I::FindIndexForField(defs, QStringLiteral("Year")), -1);    // a prefix is not a field
        QCOMPARE(I::FindIndexForField(defs, QStringLiteral("Years")), 4);
        QCOMPARE(I::FindIndexForField(defs, QString()), -1);
        QList<TIndexInfo> noCi = defs;
        noCi.removeAt(2);
        QCOMPARE(I::FindIndexForField(noCi, QStringLiteral("TITLE")), 1);
        // Second field only: none.
        const QList<TIndexInfo> second = {{QStringLiteral("A"), QStringLiteral("Author;Title"), false, true, false}};
        QCOMPARE(I::FindIndexForField(second, QStringLiteral("Title")), -1);
    }

    void firstFieldOfTheCurrentOrder()
    {
        const QList<TIndexInfo> defs = {
            {QStringLiteral("PrimaryKey"), QStringLiteral("Num;Sub"), true, false, false},
            {QStringLiteral("ByTopic"), QStringLiteral("Topic;Num"), false, true, false},
        };
        QCOMPARE(I::OrderFirstField(defs, QString(), QStringLiteral("Kind;Num")), QStringLiteral("Kind"));
        QCOMPARE(I::OrderFirstField(defs, QStringLiteral("ByTopic"), QString()), QStringLiteral("Topic"));
        QCOMPARE(I::OrderFirstField(defs, QString(), QString()), QStringLiteral("Num"));
        QCOMPARE(I::OrderFirstField(defs, QStringLiteral("Missing"), QString()), QString());
        const QList<TIndexInfo> paradox = {{QString(), QStringLiteral("ID"), true, false, false}};
        QCOMPARE(I::OrderFirstField(paradox, QString(), QString()), QStringLiteral("ID"));
    }
};

QTEST_MAIN(DbIndexTest)
#include "dbindex_test.moc"
