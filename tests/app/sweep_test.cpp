// The search page's go button: the chosen field of every chosen base gets one filter condition
// with the word and the search type; bases at "Nothing" and missing bases are left alone; the
// closing message; the map from choices to fields names real fields of every base.

#include "apptest.h"

#include "app/datamodule.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>

#include <algorithm>
#include <set>

using namespace apptest;

namespace {

const QString kDone = QStringLiteral("             I am done               ");

struct Group {
    const char* name;
    int base;
};
const Group kGroups[] = {{"rgpDTopics", 1}, {"rgpDKB", 2}, {"rgpDNews", 3}, {"rgpCSI", 4},
                         {"rgpDSP", 5},     {"rgpSWAG", 6}, {"rgpPrivate", 9}};

QButtonGroup* items(Session& s, const char* group)
{
    return s.w(group)->findChild<QButtonGroup*>();
}

void choose(Session& s, const char* group, int item)
{
    items(s, group)->button(item)->setChecked(true);
}

void chooseType(Session& s, int item)
{
    items(s, "rgpSearch")->button(item)->setChecked(true);
}

void typeWord(Session& s, const QString& word)
{
    auto* ed = static_cast<QLineEdit*>(s.w("edSweep"));
    ed->clear();
    if (!word.isEmpty())
        QTest::keyClicks(ed, word);
}

// Presses the go button and answers the closing message; returns the texts of every box.
QStringList go(Session& s)
{
    ModalAnswerer ok{QMessageBox::Ok};
    s.click("btnGO");
    return ok.texts();
}

std::string fold(std::string t)
{
    for (char& c : t)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return t;
}

// The records of a table whose field passes the match, worked out row by row over the whole
// table (the table's filter is dropped first).
std::set<tv::RecordId> expectedHits(tv::Table* t, const char* field, const std::string& word, tv::FilterMatchType m)
{
    t->clearFilter();
    const int f = t->fieldIndex(field);
    const std::string w = fold(word);
    std::set<tv::RecordId> hits;
    for (int row = 0; row < t->recordCount(); ++row) {
        std::string text = t->displayTextAt(row, f);
        if (text.size() > 32767)
            text.resize(32767);
        text = fold(text);
        bool pass = false;
        if (m == tv::fdMatchExact)
            pass = text == w;
        else if (w.empty())
            pass = false;
        else if (m == tv::fdMatchStart)
            pass = text.rfind(w, 0) == 0;
        else
            pass = text.find(w) != std::string::npos;
        if (pass)
            hits.insert(t->recordIdAt(row));
    }
    return hits;
}

std::set<tv::RecordId> visible(tv::Table* t)
{
    return {t->visibleIds().begin(), t->visibleIds().end()};
}

} // namespace

class SweepTest : public WindowTest {
    Q_OBJECT
private slots:
    void everyChoiceNamesAFieldOfItsBase()
    {
        // Each item of each group, alone, searched with a word: the condition names a field the
        // base has, and the few choices whose field differs from the item's text go where the
        // catalogue of searches says.
        SampleSession s;
        typeWord(s, QStringLiteral("x"));
        for (const Group& g : kGroups) {
            tv::Table* t = tv::app::baseTable(g.base);
            QVERIFY(t && t->isOpen());
            const int count = static_cast<int>(items(s, g.name)->buttons().size());
            for (int item = 1; item < count; ++item) {
                choose(s, g.name, item);
                QCOMPARE(go(s), QStringList{kDone});
                QCOMPARE(t->filterConditions().size(), size_t(1));
                const std::string field = t->filterConditions().front().fieldName;
                QVERIFY2(t->fieldIndex(field) >= 0, (std::string(g.name) + ": " + field).c_str());
            }
            choose(s, g.name, 0);
        }
        const auto fieldFor = [&](const char* group, int item, int base) {
            for (const Group& g : kGroups)
                choose(s, g.name, 0);
            choose(s, group, item);
            go(s);
            return tv::app::baseTable(base)->filterConditions().front().fieldName;
        };
        QCOMPARE(fieldFor("rgpDKB", 4, 2), std::string("A"));               // "Description": the answer
        QCOMPARE(fieldFor("rgpPrivate", 6, 9), std::string("Source"));      // "Name" on the private base
        QCOMPARE(fieldFor("rgpDSP", 4, 5), std::string("Delphi Version"));  // "Delphi"
        QCOMPARE(fieldFor("rgpDTopics", 5, 1), std::string("Release"));
        QCOMPARE(fieldFor("rgpDNews", 4, 3), std::string("Author"));
        QCOMPARE(fieldFor("rgpSWAG", 3, 6), std::string("Contributor"));
        QCOMPARE(fieldFor("rgpCSI", 4, 4), std::string("CIS Name"));
    }

    void wordAnywhereInSeveralBases()
    {
        SampleSession s;
        // A filter the user set earlier on a base left at "Nothing" stays.
        tv::Table* dsp = tv::app::baseTable(5);
        dsp->setFilter({tv::FieldCondition{"File", "", tv::fdMatchStart, "Z", "", "", false}});
        const tv::FilterConditions dspBefore = dsp->filterConditions();
        const int dspRows = dsp->recordCount();

        struct Case {
            const char* group;
            int item;
            int base;
            const char* field;
        };
        const Case cases[] = {{"rgpDTopics", 1, 1, "TOPIC"},    // "Topic" finds the upper-case field
                              {"rgpDKB", 4, 2, "A"},
                              {"rgpCSI", 1, 4, "Title"},
                              {"rgpSWAG", 1, 6, "Subject"},
                              {"rgpDNews", 3, 3, "INFO"}};
        std::vector<std::set<tv::RecordId>> expected;
        for (const Case& c : cases) {
            expected.push_back(expectedHits(tv::app::baseTable(c.base), c.field, "tform", tv::fdMatchAny));
            choose(s, c.group, c.item);
        }
        QVERIFY(!expected[0].empty());   // the word is in the sample topics
        QVERIFY(!expected[2].empty());
        typeWord(s, QStringLiteral("tform"));   // letter case is ignored
        QCOMPARE(items(s, "rgpSearch")->checkedId(), 2);
        QCOMPARE(go(s), QStringList{kDone});

        for (size_t i = 0; i < std::size(cases); ++i) {
            tv::Table* t = tv::app::baseTable(cases[i].base);
            QCOMPARE(t->filterConditions().size(), size_t(1));
            const tv::FieldCondition& c = t->filterConditions().front();
            QCOMPARE(c.matchType, tv::fdMatchAny);
            QCOMPARE(c.value, std::string("tform"));
            QVERIFY(c.displayLabel.empty() && c.minimum.empty() && c.maximum.empty() && !c.caseSensitive);
            QVERIFY2(visible(t) == expected[i], cases[i].group);
        }
        QVERIFY(dsp->filterConditions() == dspBefore);
        QCOMPARE(dsp->recordCount(), dspRows);
        // Neither the page nor any choice changed.
        QCOMPARE(s.form().activePage(), 0);
        QCOMPARE(items(s, "rgpDTopics")->checkedId(), 1);
        QCOMPARE(items(s, "rgpPrivate")->checkedId(), 0);
        QCOMPARE(static_cast<QLineEdit*>(s.w("edSweep"))->text(), QStringLiteral("tform"));
        // The topics page lists the hits only.
        s.showPage(1);
        QCOMPARE(tv::app::baseTable(1)->recordCount(), int(expected[0].size()));
    }

    // After a Sweep the record view of a searched base marks the word, letter case ignored as
    // the search ignored it, in the memo and the one-line boxes; F3 and Shift+F3 step through
    // the memo; the marks follow the records and go with Cancel Filter.
    void theWordFoundIsMarkedInTheRecordView()
    {
        SampleSession s;
        choose(s, "rgpDTopics", 4);   // "Description"
        typeWord(s, QStringLiteral("tform"));
        go(s);
        s.showPage(1);
        s.click("btnGridSwitch");
        auto* memo = qobject_cast<QPlainTextEdit*>(s.w("DBMemo1"));
        QVERIFY(memo && memo->isVisible());
        const auto places = [](const QString& text) {
            QList<int> at;
            for (qsizetype i = text.indexOf(QStringLiteral("tform"), 0, Qt::CaseInsensitive); i >= 0; i = text.indexOf(QStringLiteral("tform"), i + 5, Qt::CaseInsensitive))
                at << int(i);
            return at;
        };
        const auto marked = [&] {
            QList<int> at;
            for (const QTextEdit::ExtraSelection& m : memo->extraSelections())
                at << m.cursor.selectionStart();
            return at;
        };
        const QList<int> first = places(memo->toPlainText());
        QVERIFY(first.size() >= 2);
        QCOMPARE(marked(), first);
        // A one-line box of the record holding the word shows it tinted.
        const auto tinted = [](QLineEdit* box) {
            const QImage img = box->grab().toImage();
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    if (qRed(img.pixel(x, y)) > 200 && qGreen(img.pixel(x, y)) > 180 && qBlue(img.pixel(x, y)) < 100)
                        return true;
            return false;
        };
        QList<QLineEdit*> boxes;
        for (QLineEdit* box : s.w("Panel2")->findChildren<QLineEdit*>())
            if (box->isVisible() && box->text().contains(QStringLiteral("tform"), Qt::CaseInsensitive))
                boxes << box;
        QVERIFY(!boxes.isEmpty());
        for (QLineEdit* box : boxes)
            QVERIFY2(tinted(box), qPrintable(box->objectName()));

        s.form().activateWindow();
        QTRY_VERIFY(s.form().isActiveWindow());
        QWindow* window = s.form().windowHandle();
        QTest::keyClick(window, Qt::Key_F3);
        QCOMPARE(memo->textCursor().selectionStart(), first[0]);
        QTest::keyClick(window, Qt::Key_F3);
        QCOMPARE(memo->textCursor().selectionStart(), first[1]);
        QTest::keyClick(window, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(memo->textCursor().selectionStart(), first[0]);
        QCOMPARE(memo->textCursor().selectedText().toLower(), QStringLiteral("tform"));

        s.click("btnNext");
        QVERIFY(!places(memo->toPlainText()).isEmpty());
        QCOMPARE(marked(), places(memo->toPlainText()));
        s.click("btnNoFilter");
        QVERIFY(memo->extraSelections().isEmpty());
        for (QLineEdit* box : boxes)
            QVERIFY2(!tinted(box), qPrintable(box->objectName()));
        QTest::keyClick(window, Qt::Key_F3);   // no word: the cursor stays
        QCOMPARE(memo->textCursor().selectionStart(), memo->textCursor().selectionEnd());
    }

    void searchTypesAndWordsReplaceEachOther()
    {
        SampleSession s;
        tv::Table* t = tv::app::baseTable(1);
        choose(s, "rgpDTopics", 3);   // "Keywords"
        const tv::FilterMatchType types[] = {tv::fdMatchExact, tv::fdMatchStart, tv::fdMatchAny};
        std::vector<size_t> sizes;
        for (int type = 0; type < 3; ++type) {
            const auto want = expectedHits(t, "KEYWORDS", "TForm", types[type]);
            chooseType(s, type);
            typeWord(s, QStringLiteral("TForm"));
            go(s);
            QCOMPARE(t->filterConditions().size(), size_t(1));
            QCOMPARE(t->filterConditions().front().matchType, types[type]);
            QVERIFY(visible(t) == want);
            sizes.push_back(want.size());
        }
        // Exact hits are start hits, start hits are hits anywhere; the word does occur.
        QVERIFY(sizes[0] <= sizes[1] && sizes[1] <= sizes[2] && sizes[2] > 0);

        // A second word on the same base replaces the first; it never narrows it.
        const auto second = expectedHits(t, "KEYWORDS", "Table", tv::fdMatchAny);
        QVERIFY(!second.empty());
        typeWord(s, QStringLiteral("Table"));
        go(s);
        QCOMPARE(t->filterConditions().size(), size_t(1));
        QCOMPARE(t->filterConditions().front().value, std::string("Table"));
        QVERIFY(visible(t) == second);

        // The Filter dialog's conditions go too when the base is searched again.
        t->setFilter({tv::FieldCondition{"TOPIC", "Topic", tv::fdMatchStart, "A", "", "", false},
                      tv::FieldCondition{"SOURCE", "Source", tv::fdMatchAny, "B", "", "", false}});
        go(s);
        QCOMPARE(t->filterConditions().size(), size_t(1));
        QCOMPARE(t->filterConditions().front().fieldName, std::string("Keywords"));
    }

    void emptyWordFindsNothingAnywhere()
    {
        SampleSession s;
        tv::Table* topics = tv::app::baseTable(1);
        tv::Table* notes = tv::app::baseTable(9);
        QVERIFY(topics->recordCount() > 0 && notes->recordCount() > 0);
        choose(s, "rgpDTopics", 4);   // a memo
        choose(s, "rgpPrivate", 1);
        typeWord(s, QString());
        QCOMPARE(go(s), QStringList{kDone});
        QCOMPARE(topics->recordCount(), 0);
        QCOMPARE(notes->recordCount(), 0);
        QCOMPARE(topics->filterConditions().front().value, std::string());

        // An exact match on the empty word lets through the records whose field is empty.
        chooseType(s, 0);
        choose(s, "rgpDTopics", 5);   // "Release"
        const auto empties = expectedHits(topics, "RELEASE", "", tv::fdMatchExact);
        go(s);
        QVERIFY(visible(topics) == empties);
    }

    void nothingChosenOnlySaysDone()
    {
        SampleSession s;
        tv::Table* t = tv::app::baseTable(2);
        t->setFilter({tv::FieldCondition{"Topic", "", tv::fdMatchAny, "form", "", "", false}});
        const int rows = t->recordCount();
        typeWord(s, QStringLiteral("TForm"));
        const QStringList texts = go(s);
        QCOMPARE(texts, QStringList{kDone});
        QCOMPARE(t->filterConditions().size(), size_t(1));
        QCOMPARE(t->filterConditions().front().value, std::string("form"));
        QCOMPARE(t->recordCount(), rows);
        for (int base : {1, 3, 4, 5, 6, 9})
            QVERIFY(tv::app::baseTable(base)->filterConditions().empty());
    }

    void missingBasesAreSkippedSilently()
    {
        SampleSession s({"DTOPICS.DB", "DELPNEWS.DBF", "Filesdel.db", "DSP.db", "private.db"});
        QVERIFY(!tv::app::basePresent(2) && !tv::app::basePresent(4) && !tv::app::basePresent(6));
        // Before any page change every group can be chosen, missing bases too.
        for (const Group& g : kGroups) {
            QVERIFY(s.w(g.name)->isEnabled());
            choose(s, g.name, 1);
        }
        typeWord(s, QStringLiteral("TForm"));
        const auto want = expectedHits(tv::app::baseTable(1), "TOPIC", "TForm", tv::fdMatchAny);
        QCOMPARE(go(s), QStringList{kDone});   // no other box: nothing reported for the skipped bases
        QVERIFY(visible(tv::app::baseTable(1)) == want);
        for (int base : {3, 5, 9})
            QCOMPARE(tv::app::baseTable(base)->filterConditions().size(), size_t(1));
        // The present forum list of page 4 (base 40) is never searched from here.
        QVERIFY(tv::app::baseTable(40)->filterConditions().empty());
    }

    void aNoteThatCannotBePostedStopsTheSearch()
    {
        // Filtering the private base posts a pending change first. When that fails, the engine's
        // text is shown, the note stays in its edit with the filter it had, and the search ends.
        SampleSession s;
        tv::Table* notes = tv::app::baseTable(9);
        QVERIFY(notes->recordCount() > 1);
        notes->setFilter({tv::FieldCondition{"Topic", "", tv::fdMatchAny, "a", "", "", false}});
        const tv::FilterConditions before = notes->filterConditions();
        notes->first();
        const int64_t taken = notes->asInteger("ID");
        notes->next();
        notes->edit();
        notes->setInteger(notes->fieldIndex("ID"), taken);   // a key that another note has
        choose(s, "rgpPrivate", 1);
        typeWord(s, QStringLiteral("TForm"));
        ModalAnswerer ok{QMessageBox::Ok};
        s.click("btnGO");
        QCOMPARE(ok.texts().size(), 1);
        QVERIFY(ok.texts().front() != kDone);
        QCOMPARE(ok.captions().front(), QStringLiteral("Tipvault"));   // the standard error box
        QCOMPARE(notes->state(), tv::TableState::Edit);
        QVERIFY(notes->filterConditions() == before);
        notes->cancel();
    }

    void aBaseSavedByAnotherCopyIsSearchedAsItIsNow()
    {
        // Another copy of the program saves a note into the private base, in place.
        SampleSession s;
        tv::Table* notes = tv::app::baseTable(9);
        {
            const auto other = tv::openTableFile((s.path() + QStringLiteral("/private.db")).toStdString(), tv::OpenMode::ReadWrite);
            tv::Record note(other->fields().size());
            note[2] = std::string("Zyzzyva in a note of the other copy");
            other->insert(note);
            other->flush();
        }
        QVERIFY(notes->changedElsewhere());
        choose(s, "rgpPrivate", 1);
        typeWord(s, QStringLiteral("Zyzzyva"));
        QCOMPARE(go(s), QStringList{kDone});
        QCOMPARE(notes->recordCount(), 1);
    }

    void compuServeMeansBase4WhateverTheForum()
    {
        SampleSession s;
        s.showPage(4);
        s.w("rgpDelphi")->findChild<QButtonGroup*>()->button(0)->click();   // "Delphi": base 40 on view
        QVERIFY(s.form().CurrentTable() == tv::app::baseTable(40));
        s.showPage(0);
        choose(s, "rgpCSI", 1);
        typeWord(s, QStringLiteral("TForm"));
        const auto want = expectedHits(tv::app::baseTable(4), "Title", "TForm", tv::fdMatchAny);
        const int forty = tv::app::baseTable(40)->recordCount();
        go(s);
        QVERIFY(visible(tv::app::baseTable(4)) == want);
        QVERIFY(tv::app::baseTable(40)->filterConditions().empty());
        QCOMPARE(tv::app::baseTable(40)->recordCount(), forty);
    }
};

QTEST_MAIN(SweepTest)
#include "sweep_test.moc"
