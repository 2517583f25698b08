// The locate dialog (find by one field's value, first and next, remembered criteria) and the
// incremental search window.

#include "dbaware/locatedialog.h"
#include "dbaware/searchdialog.h"
#include "support/modalscript.h"
#include "support/testtables.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace tv;
using namespace tvtest;

namespace {

constexpr int kCount = 40;

std::string category(const Table& t) { return t.displayText("Category"); }

// Rows of the visible set whose Category begins with `prefix` (letter case ignored).
std::vector<int> matchingRows(const Table& t, const std::string& prefix)
{
    std::vector<int> rows;
    for (int r = 0; r < t.recordCount(); ++r)
        if (foldAsciiUpper(t.displayTextAt(r, cCategory)).rfind(foldAsciiUpper(prefix), 0) == 0)
            rows.push_back(r);
    return rows;
}

template <typename T>
T* child(QWidget* w, const char* name)
{
    return w->findChild<T*>(QLatin1String(name));
}

void fillLocate(LocateDialogForm* f, const QString& field, const QString& value, const char* match)
{
    auto* list = child<QListWidget>(f, "lstFields");
    const auto items = list->findItems(field, Qt::MatchExactly);
    QCOMPARE(items.size(), 1);
    list->setCurrentItem(items.first());
    child<QLineEdit>(f, "edValue")->setText(value);
    child<QRadioButton>(f, match)->setChecked(true);
}

} // namespace

class LocateSearchTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { pinLocale(); }

    void locateFirstThenNextToTheEnd()
    {
        auto s = makeSample(kCount);
        DataSource ds(s.table.get());
        LocateDialog loc;
        loc.setDataSource(&ds);
        s.table->moveTo(5);

        ModalScript script;
        QStringList fields;
        bool nextIsDefault = false;
        script.on<LocateDialogForm>([&](LocateDialogForm* f) {
            QCOMPARE(f->windowTitle(), QStringLiteral("Locate Field Value"));
            auto* list = child<QListWidget>(f, "lstFields");
            for (int i = 0; i < list->count(); ++i)
                fields << list->item(i)->text();
            nextIsDefault = child<QPushButton>(f, "btnNext")->isDefault();
            QVERIFY(child<QRadioButton>(f, "rbStart")->isChecked());
            fillLocate(f, QStringLiteral("Category"), QStringLiteral("cat 2"), "rbStart");
            ModalScript::click(child<QAbstractButton>(f, "btnFirst"));
        });
        QVERIFY(loc.execute());
        QVERIFY(nextIsDefault);
        QStringList sorted = fields;
        std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
        QCOMPARE(fields, sorted);
        QCOMPARE(fields.size(), s.table->fieldCount());

        const std::vector<int> rows = matchingRows(*s.table, "cat 2");
        QVERIFY(rows.size() > 2);
        QCOMPARE(s.table->recNo(), rows.front());
        for (size_t i = 1; i < rows.size(); ++i) {
            QVERIFY(loc.findNext());
            QCOMPARE(s.table->recNo(), rows[i]);
            QCOMPARE(category(*s.table), std::string("Cat 2"));
        }
        script.answer();
        QVERIFY(!loc.findNext());   // past the last match
        QVERIFY(script.done());
        QCOMPARE(script.texts, QStringList{QStringLiteral("No more matches found")});
        QCOMPARE(script.icons.value(0), QMessageBox::Information);
        QCOMPARE(s.table->recNo(), rows.back());
        QVERIFY(loc.findFirst());
        QCOMPARE(s.table->recNo(), rows.front());
        QCOMPARE(loc.fieldName, QStringLiteral("Category"));
    }

    void criteriaAreRemembered()
    {
        auto s = makeSample(kCount);
        DataSource ds(s.table.get());
        LocateDialog loc;
        loc.setDataSource(&ds);
        ModalScript script;
        // Case-sensitive: the lower-case word finds nothing and the dialog stays open.
        script.on<LocateDialogForm>([](LocateDialogForm* f) {
            fillLocate(f, QStringLiteral("Name"), QStringLiteral("name 0000"), "rbAny");
            child<QAbstractButton>(f, "cbCaseSensitive")->setChecked(true);
            ModalScript::click(child<QAbstractButton>(f, "btnNext"));
        });
        script.answer();
        QString value, field;
        bool caseOn = false, anyOn = false;
        script.on<LocateDialogForm>([&](LocateDialogForm* f) {
            ModalScript::click(child<QAbstractButton>(f, "btnCancel"));
        });
        QVERIFY(!loc.execute());
        script.on<LocateDialogForm>([&](LocateDialogForm* f) {
            value = child<QLineEdit>(f, "edValue")->text();
            field = child<QListWidget>(f, "lstFields")->currentItem()->text();
            caseOn = child<QAbstractButton>(f, "cbCaseSensitive")->isChecked();
            anyOn = child<QRadioButton>(f, "rbAny")->isChecked();
            ModalScript::click(child<QAbstractButton>(f, "btnCancel"));
        });
        QVERIFY(!loc.execute());
        QVERIFY(script.done());
        QCOMPARE(script.texts, QStringList{QStringLiteral("No more matches found")});
        QCOMPARE(value, QStringLiteral("name 0000"));
        QCOMPARE(field, QStringLiteral("Name"));
        QVERIFY(caseOn);
        QVERIFY(anyOn);
        loc.caseSensitive = false;
        QVERIFY(loc.findFirst());
        QVERIFY(s.table->displayText("Name").find("Name 0000") != std::string::npos);
    }

    void noValueOpensTheDialogAndInactiveWarns()
    {
        auto s = makeSample(5);
        DataSource ds(s.table.get());
        LocateDialog loc;
        loc.setDataSource(&ds);
        ModalScript script;
        bool firstIsDefault = false;
        script.on<LocateDialogForm>([&](LocateDialogForm* f) {
            firstIsDefault = child<QPushButton>(f, "btnFirst")->isDefault();
            ModalScript::click(child<QAbstractButton>(f, "btnCancel"));
        });
        QVERIFY(!loc.findFirst());
        QVERIFY(firstIsDefault);

        s.table->close();
        script.answer().answer();
        QVERIFY(!loc.findNext());
        loc.setDataSource(nullptr);
        QVERIFY(!loc.execute());
        QVERIFY(script.done());
        const QString text = QStringLiteral("DataSource does not refer to an active table!");
        QCOMPARE(script.texts, (QStringList{text, text}));
        QCOMPARE(script.icons.value(0), QMessageBox::Warning);
    }

    void incrementalSearchFindsTheFirstKey()
    {
        auto s = makeSample(kCount);
        Table& t = *s.table;
        // File order (by ID): a scan; the name order: a binary search. Both must agree with
        // a plain look at every row.
        for (const char* order : {"", "ByName"}) {
            t.setIndexName(order);
            for (const QString& word : {QStringLiteral("name 00002"), QStringLiteral("NAME 000031"),
                                        QStringLiteral("Name 0001"), QStringLiteral("zz"), QString()}) {
                int expected = -1;
                const std::string w = foldAsciiUpper(word.toStdString());
                for (int r = 0; r < t.recordCount() && expected < 0 && !w.empty(); ++r)
                    if (foldAsciiUpper(t.displayTextAt(r, cName)).rfind(w, 0) == 0)
                        expected = r;
                QCOMPARE(incrementalSearchRow(t, cName, word), expected);
            }
        }
    }

    void searchWindowMovesTheTableAndCancelPutsItBack()
    {
        auto s = makeSample(kCount);
        Table& t = *s.table;
        SearchDialog sd;
        sd.setSearchTable(&t);
        t.moveTo(3);
        const auto start = t.currentId();

        ModalScript script;
        int height = 0;
        QString caption;
        script.on<SearchDialogForm>([&](SearchDialogForm* f) {
            caption = f->windowTitle();
            height = f->maximumHeight();
            auto* index = child<QComboBox>(f, "cbxIndex");
            const int byName = index->findData(QStringLiteral("ByName"));
            QVERIFY(byName >= 0);
            index->setCurrentIndex(byName);
            emit index->activated(byName);
            QTest::keyClicks(child<QLineEdit>(f, "edSearch"), QStringLiteral("Name 00001"));
            ModalScript::click(f->findChild<QAbstractButton*>(QStringLiteral("btnCancel")));
        });
        QVERIFY(!sd.execute());
        QCOMPARE(caption, QStringLiteral("Search"));
        QVERIFY(height > 0 && height <= 209);
        QCOMPARE(t.currentId(), start);
        QCOMPARE(t.indexName(), std::string());

        script.on<SearchDialogForm>([&](SearchDialogForm* f) {
            auto* index = child<QComboBox>(f, "cbxIndex");
            index->setCurrentIndex(index->findData(QStringLiteral("ByName")));
            emit index->activated(index->currentIndex());
            QTest::keyClicks(child<QLineEdit>(f, "edSearch"), QStringLiteral("Name 00002"));
            ModalScript::click(f->findChild<QAbstractButton*>(QStringLiteral("btnOK")));
        });
        QVERIFY(sd.execute());
        QVERIFY(script.done());
        QCOMPARE(t.indexName(), std::string("ByName"));   // OK keeps the order searched by
        QCOMPARE(t.recNo(), incrementalSearchRow(t, cName, QStringLiteral("Name 00002")));
        QVERIFY(t.displayText("Name").rfind("Name 00002", 0) == 0);
    }

    // Return in the locate value presses the default button (Next); the arrow keys in the
    // search box move through the search window's grid.
    void keyboard()
    {
        auto s = makeSample(kCount);
        Table& t = *s.table;
        DataSource ds(&t);
        LocateDialog loc;
        loc.setDataSource(&ds);
        t.moveTo(0);
        ModalScript script;
        script.on<LocateDialogForm>([](LocateDialogForm* f) {
            fillLocate(f, QStringLiteral("Category"), QStringLiteral("Cat 0"), "rbExact");
            QTest::keyClick(child<QLineEdit>(f, "edValue"), Qt::Key_Return);
        });
        QVERIFY(loc.execute());
        const std::vector<int> rows = matchingRows(t, "Cat 0");
        QCOMPARE(t.recNo(), rows.front());   // Next looks after the current (first) row

        SearchDialog sd;
        sd.setSearchTable(&t);
        t.moveTo(4);
        int afterDown = -1, afterUp = -1;
        script.on<SearchDialogForm>([&](SearchDialogForm* f) {
            auto* edit = child<QLineEdit>(f, "edSearch");
            QTest::keyClick(edit, Qt::Key_Down);
            QTest::keyClick(edit, Qt::Key_Down);
            afterDown = t.recNo();
            QTest::keyClick(edit, Qt::Key_Up);
            afterUp = t.recNo();
            QTest::keyClick(edit, Qt::Key_Return);
        });
        QVERIFY(sd.execute());
        QVERIFY(script.done());
        QCOMPARE(afterDown, 6);
        QCOMPARE(afterUp, 5);
        QCOMPARE(t.recNo(), 5);
    }

    void inactiveSearchTableWarns()
    {
        auto s = makeSample(3);
        SearchDialog sd;
        LookupDialog lookup;
        QCOMPARE(lookup.caption, QStringLiteral("Lookup"));
        ModalScript script;
        script.answer().answer();
        QVERIFY(!sd.execute());   // no table
        s.table->close();
        lookup.setLookupTable(s.table.get());
        QVERIFY(!lookup.execute());
        QVERIFY(script.done());
        QCOMPARE(script.texts, (QStringList{QStringLiteral("Search Table is not active."),
                                            QStringLiteral("Lookup Table is not active.")}));
        QCOMPARE(script.icons.value(0), QMessageBox::Warning);
    }
};

QTEST_MAIN(LocateSearchTest)
#include "locatesearch_test.moc"
