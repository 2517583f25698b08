// The editing aids on the pages: the clipboard commands on memo panes, the book rating rows
// and level word, the private base's date box with its calendar, the tip and about windows.

#include "apptest.h"
#include "support/modalhelper.h"

#include "dbaware/dbcontrols.h"
#include "dialogs/aboutbox.h"
#include "dialogs/calendar.h"
#include "dialogs/tips.h"
#include "platform/platform.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QClipboard>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace apptest;

namespace {

// Gives a pane the keyboard focus inside the (activated) main window.
void focusPane(Session& s, QWidget* pane)
{
    s.form().activateWindow();
    QTRY_VERIFY(s.form().isActiveWindow());
    pane->setFocus();
    QTRY_VERIFY(pane->hasFocus());
}

int starsShown(Session& s, int row)
{
    int n = 0;
    for (int i = 1; i <= 5; ++i)
        n += !s.w(("Image" + std::to_string(row * 5 + i)).c_str())->isHidden();
    return n;
}

// The four ratings of the current book.
std::array<int, 4> ratingsHere(tv::Table* books)
{
    return {int(books->asInteger("TechnicalContentsQuality")), int(books->asInteger("QualityOfWriting")),
            int(books->asInteger("ValueForMoney")), int(books->asInteger("OverallAssessment"))};
}

bool allRated(const std::array<int, 4>& r)
{
    for (int v : r)
        if (v < 1 || v > 5)
            return false;
    return true;
}

} // namespace

class AidsTest : public WindowTest {
    Q_OBJECT

private slots:
    void copyTakesExactlyTheSelectionAndReadOnlyPanesRefuseCutAndPaste()
    {
        SampleSession s;
        s.showPage(1);
        s.click("btnGridSwitch");
        auto* memo = qobject_cast<QPlainTextEdit*>(s.w("DBMemo1"));
        focusPane(s, memo);
        const QString before = memo->toPlainText();
        QVERIFY(before.size() > 10);
        QTextCursor c = memo->textCursor();
        c.setPosition(0);
        c.setPosition(5, QTextCursor::KeepAnchor);
        memo->setTextCursor(c);
        QApplication::clipboard()->setText("unchanged");
        s.click("BtnCopy");
        QCOMPARE(QApplication::clipboard()->text(), before.left(5));

        QApplication::clipboard()->setText("pasted");
        s.click("BtnCut");
        s.click("btnPaste");
        QCOMPARE(memo->toPlainText(), before);
        QCOMPARE(tv::app::baseTable(1)->state(), tv::TableState::Browse);
        QCOMPARE(QApplication::clipboard()->text(), QString("pasted"));
    }

    void editMenuEntriesActLikeTheButtons()
    {
        SampleSession s;
        s.showPage(3);
        s.click("btnGridSwitch");
        auto* memo = qobject_cast<QPlainTextEdit*>(s.w("DBMemo3"));
        focusPane(s, memo);
        memo->selectAll();
        QApplication::clipboard()->clear();
        s.action("MnuCopy")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), memo->toPlainText());

        // Every Insert press on a control of the window flips the status bar's toggle once.
        tv::platform::resetInsertState();
        QTest::keyClick(memo, Qt::Key_Insert);
        QVERIFY(tv::platform::insertOn());
        QTest::keyClick(memo, Qt::Key_Insert);
        QTest::keyClick(memo, Qt::Key_A);
        QVERIFY(!tv::platform::insertOn());
    }

    void answerPaneServesTheQuestionPaneToo()
    {
        SampleSession s;
        s.showPage(2);
        s.click("btnGridSwitch");
        auto* question = qobject_cast<QPlainTextEdit*>(s.w("DBMemo2a"));
        auto* answer = qobject_cast<QPlainTextEdit*>(s.w("DBMemo2"));
        answer->selectAll();
        focusPane(s, question);
        QVERIFY(s.w("BtnCopy")->isEnabled());
        QApplication::clipboard()->clear();
        s.click("BtnCopy");
        QCOMPARE(QApplication::clipboard()->text(), answer->toPlainText());

        // The keys of the Edit menu act on the pane that has the focus.
        QTextCursor c = question->textCursor();
        c.setPosition(0);
        c.setPosition(4, QTextCursor::KeepAnchor);
        question->setTextCursor(c);
        QTest::keyClick(s.form().windowHandle(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), question->toPlainText().left(4));

        // The menu bar taken from the keyboard keeps the memo's tools for its Edit menu; the
        // focus going on to another control takes them away.
        s.form().menuBar()->setFocus(Qt::MenuBarFocusReason);
        QTRY_VERIFY(s.form().menuBar()->hasFocus());
        QCOMPARE(s.clipboardToolsOn(), 6);
        s.w("SpeedPanel")->setFocus();
        QTRY_COMPARE(s.clipboardToolsOn(), 0);
        // So does the focus going to a control of another page.
        question->setFocus();
        QTRY_COMPARE(s.clipboardToolsOn(), 6);
        s.showPage(6);
        s.w("wwDBGrid6")->setFocus();
        QTRY_COMPARE(s.clipboardToolsOn(), 0);
    }

    void pasteIntoThePrivateMemoStartsAnEditKeptUntilPost()
    {
        SampleSession s;
        s.showPage(9);
        s.click("btnGridSwitch");
        tv::Table* notes = tv::app::baseTable(9);
        auto* memo = qobject_cast<QPlainTextEdit*>(s.w("DBMemo9"));
        focusPane(s, memo);
        memo->moveCursor(QTextCursor::End);
        QApplication::clipboard()->setText(" -- pasted line");
        s.click("btnPaste");
        QCOMPARE(notes->state(), tv::TableState::Edit);
        QVERIFY(memo->toPlainText().endsWith(" -- pasted line"));
        s.click("btnPostRecord");
        QCOMPARE(notes->state(), tv::TableState::Browse);
        QVERIFY(QString::fromStdString(notes->displayText("Description")).endsWith(" -- pasted line"));
    }

    void ratingRowsShowAsManyStarsAsTheRatingAndLevelWords()
    {
        SampleSession s;
        s.showPage(7);
        s.click("btnGridSwitch");
        tv::Table* books = tv::app::baseTable(7);
        books->first();
        int rated = 0, unrated = 0;
        for (int i = 0; i < books->recordCount(); ++i, books->next()) {
            const auto r = ratingsHere(books);
            // A rating outside 1..5 (none, 0, 6, ...) shows an empty row, never the stars of
            // the book seen before.
            for (int row = 0; row < 4; ++row) {
                const int v = r[size_t(row)];
                QCOMPARE(starsShown(s, row), v >= 1 && v <= 5 ? v : 0);
            }
            ++(allRated(r) ? rated : unrated);
            const int64_t level = books->asInteger("Level");
            const char* words[] = {"", "Beginer", "Intermediate", "Advanced"};
            QCOMPARE(qobject_cast<QLabel*>(s.w("Label45"))->text(),
                     QString(words[level >= 1 && level <= 3 ? level : 0]));
        }
        QVERIFY(rated >= 10 && unrated >= 1);
        QCOMPARE(s.w("Image1")->size(), QSize(20, 19));
        QCOMPARE(s.w("Image1")->pos(), QPoint(338, 159));
        QCOMPARE(s.w("Image20")->pos(), QPoint(419, 241));
    }

    void calendarWritesTheDateIntoThePrivateRecord()
    {
        SampleSession s;
        s.showPage(9);
        s.click("btnGridSwitch");
        tv::Table* notes = tv::app::baseTable(9);
        notes->first();
        auto* box = qobject_cast<tv::DBComboDlg*>(s.w("wwDBComboDlg1"));
        QVERIFY(box);
        const QString before = box->text();
        QDate opened;
        whenModal([&](QWidget* w) {
            auto* cal = qobject_cast<tv::TMyCalendar*>(w);
            QVERIFY(cal);
            opened = cal->Calendar1->selectedDate();
            cal->Calendar1->setSelectedDate(QDate(1998, 7, 4));
            emit cal->Calendar1->activated(QDate(1998, 7, 4));  // a double click on the day
        });
        box->clickButton();
        QVERIFY(opened.isValid());
        QCOMPARE(QLocale().toString(opened, "M/d/yyyy"), before);
        QCOMPARE(notes->state(), tv::TableState::Edit);
        QCOMPARE(box->text(), QString("7/4/1998"));
        QCOMPARE(QString::fromStdString(notes->displayText("Date")), QString("7/4/1998"));
        s.click("btnPostRecord");
        QCOMPARE(notes->state(), tv::TableState::Browse);

        // Esc leaves the date alone; the record stays in editing all the same.
        whenModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
        box->clickButton();
        QCOMPARE(QString::fromStdString(notes->displayText("Date")), QString("7/4/1998"));
        QCOMPARE(notes->state(), tv::TableState::Edit);
        s.click("btnCancelEdit");
    }

    void aDateStillBeingTypedIsRefusedAtPostNeverDropped()
    {
        SampleSession s;
        s.showPage(9);
        s.click("btnGridSwitch");
        tv::Table* notes = tv::app::baseTable(9);
        notes->first();
        const std::string before = notes->displayText("Date");
        auto* box = qobject_cast<tv::DBComboDlg*>(s.w("wwDBComboDlg1"));
        focusPane(s, box);
        box->selectAll();
        QTest::keyClicks(box, "12/25/9");
        QCOMPARE(notes->state(), tv::TableState::Edit);
        ModalAnswerer ok{QMessageBox::Ok};
        s.click("btnPostRecord");
        QCOMPARE(ok.texts().size(), 1);
        QVERIFY2(ok.texts().first().contains("Date"), qPrintable(ok.texts().first()));
        QCOMPARE(notes->state(), tv::TableState::Edit);
        // Completed, the same date posts.
        QTest::keyClicks(box, "8");
        s.click("btnPostRecord");
        QCOMPARE(notes->state(), tv::TableState::Browse);
        QCOMPARE(QString::fromStdString(notes->displayText("Date")), QString("12/25/1998"));
        QVERIFY(notes->displayText("Date") != before);
    }

    void tipAndAboutOpenFromTheToolbar()
    {
        SampleSession s;
        QVERIFY(s.form().Tips1());
        QCOMPARE(s.form().Tips1()->TipsCount(), uint16_t(10));
        QString tipCaption;
        whenModal([&](QWidget* w) {
            tipCaption = w->windowTitle();
            qobject_cast<tv::TTipForm*>(w)->Ok->click();
        });
        s.click("btnTip");
        QCOMPARE(tipCaption, QString("Tip of the Day"));

        QString aboutCaption;
        whenModal([&](QWidget* w) {
            aboutCaption = w->windowTitle();
            qobject_cast<tv::TAboutBoxForm*>(w)->BitBtn1->click();
        });
        s.click("btnAbout");
        QCOMPARE(aboutCaption, QString("About"));
    }
};

QTEST_MAIN(AidsTest)
#include "aids_test.moc"
