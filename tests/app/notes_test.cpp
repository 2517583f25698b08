// The private notes base keeps what the user typed or deleted: deletes are on disk at once
// (checked across a kill -9), new notes get a free ID whatever the filter shows, a failed save
// is kept, retried and asked about at exit, and text the base cannot store is refused, not
// altered, and a note another copy of the program deleted or saved while it was edited here is
// never lost nor overwritten without a question.

#include "apptest.h"

#include "app/datamodule.h"
#include "app/program.h"
#include "controls/dbindex.h"
#include "dbaware/dbcontrols.h"
#include "dbaware/dbgrid.h"
#include "engine/paradox/pxlock.h"

#include <QButtonGroup>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QProcess>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QThread>

#include <csignal>
#include <functional>
#include <map>
#include <sys/resource.h>

using namespace apptest;

namespace {

const char* const kChildFolder = "TV_NOTES_CHILD_FOLDER";

// ID -> Topic of every note in the private base file as it is on disk.
std::map<int64_t, std::string> notesOnDisk(const QString& folder, const char* field = "Topic")
{
    tv::Table t;
    t.open(QDir(folder).filePath(QStringLiteral("private.db")).toStdString());
    std::map<int64_t, std::string> notes;
    for (int r = 0; r < t.recordCount(); ++r)
        notes[std::get<int64_t>(t.valueAt(r, 0))] = t.displayTextAt(r, t.fieldByName(field));
    return notes;
}

// While alive, every write that would grow a file fails (as on a full disk).
class WritesFail {
public:
    WritesFail()
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit none = m_old;
        none.rlim_cur = 0;
        setrlimit(RLIMIT_FSIZE, &none);
    }
    ~WritesFail() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

// The child of the kill test: deletes the first note through the data module, says which,
// then waits to be killed.
int deleteAndWait(int argc, char** argv)
{
    QApplication app(argc, argv);
    initApplication();
    tv::app::createDataModule(qEnvironmentVariable(kChildFolder));
    tv::Table* t9 = tv::app::baseTable(9);
    t9->first();
    const int64_t id = t9->asInteger(0);
    t9->remove();
    printf("%lld\n", static_cast<long long>(id));
    fflush(stdout);
    QThread::sleep(60);
    return 0;
}

const char* const kChildEnd = "TV_NOTES_CHILD_END";

// The child of the session-end test: starts the program, types a note without posting it
// (its date only half typed) and says so; then the session ends as the parent says: SIGTERM
// from the parent, or "exit" as the window system's plugin does when the display is gone.
int typeAndWait(int argc, char** argv)
{
    QApplication app(argc, argv);
    initApplication();
    tv::app::Program program(qEnvironmentVariable(kChildFolder));
    program.show();
    tv::app::TMainForm& form = *program.mainForm();
    if (!QTest::qWaitForWindowActive(&form))
        qWarning("main window not active");
    form.findChild<QTabWidget*>(QStringLiteral("PageControl1"))->setCurrentIndex(9);
    auto* append = form.findChild<QWidget*>(QStringLiteral("btnInsert"));
    QTest::mouseClick(append, Qt::LeftButton, {}, append->rect().center());
    QTest::keyClicks(QApplication::focusWidget(), "half-typed");
    QTest::keyClicks(form.findChild<QWidget*>(QStringLiteral("wwDBComboDlg1")), "3/1");
    printf("%lld\n", static_cast<long long>(tv::app::baseTable(9)->asInteger(0)));
    fflush(stdout);
    if (qEnvironmentVariable(kChildEnd) == QLatin1String("exit"))
        QTimer::singleShot(100, [] { std::exit(1); });
    return program.exec();
}

// Which of the six editing buttons are on, as "Append Delete Edit Post Cancel Refresh" flags.
QString editButtons(const Session& s)
{
    QString on;
    for (const char* n : {"btnInsert", "btnDelete", "btnEditRecord", "btnPostRecord", "btnCancelEdit", "btnRefreshRecord"})
        on += s.w(n)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return on;
}

const QString kBrowsing = QStringLiteral("111001");
const QString kEditing = QStringLiteral("000110");

} // namespace

class NotesTest : public WindowTest {
    Q_OBJECT
private slots:
    // After Append and Edit the keyboard is in the Topic box, at its start; typing into a box
    // of a browsed note (keys, a paste, the date box) shows the edit on the buttons, which
    // then cancel or post it.
    void typingANoteShowsWhereItGoesAndOnTheButtons()
    {
        SampleSession s({"private.db"});
        s.showPage(9);
        tv::Table* t9 = tv::app::baseTable(9);
        auto* topic = qobject_cast<QLineEdit*>(s.w("DBEdit9"));
        QCOMPARE(editButtons(s), QStringLiteral("111111"));

        s.click("btnInsert");
        QCOMPARE(QApplication::focusWidget(), topic);
        QTest::keyClicks(QApplication::focusWidget(), "abc");
        QCOMPARE(t9->displayText("Topic"), std::string("abc"));
        QCOMPARE(editButtons(s), kEditing);
        s.click("btnPostRecord");
        const int64_t id = t9->asInteger(0);
        QCOMPARE(notesOnDisk(s.path()).at(id), std::string("abc"));
        QCOMPARE(editButtons(s), kBrowsing);

        t9->first();
        const std::string first = t9->displayText("Topic");
        s.click("btnEditRecord");
        QCOMPARE(QApplication::focusWidget(), topic);
        QCOMPARE(topic->cursorPosition(), 0);
        QVERIFY(!topic->hasSelectedText());
        QTest::keyClicks(topic, "X");
        QCOMPARE(t9->displayText("Topic"), "X" + first);
        s.click("btnCancelEdit");

        // Browsing: keys, a paste and the date box each start an edit the buttons show.
        const std::function<void()> starts[] = {
            [&] { QTest::keyClicks(topic, "Y"); },
            [&] {
                QApplication::clipboard()->setText(QStringLiteral("pasted"));
                auto* keywords = qobject_cast<QLineEdit*>(s.w("DBEdit10"));
                keywords->setFocus();
                keywords->paste();
            },
            [&] {
                QTimer::singleShot(100, [] {
                    if (QWidget* cal = QApplication::activeModalWidget())
                        cal->close();
                });
                qobject_cast<tv::DBComboDlg*>(s.w("wwDBComboDlg1"))->clickButton();
            }};
        for (const auto& start : starts) {
            QCOMPARE(editButtons(s), kBrowsing);
            start();
            QCOMPARE(t9->state(), tv::TableState::Edit);
            QCOMPARE(editButtons(s), kEditing);
            s.click("btnCancelEdit");
            QCOMPARE(t9->state(), tv::TableState::Browse);
            QCOMPARE(t9->displayText("Topic"), first);
        }
        // A move posts the typed change, and the buttons say so.
        QTest::keyClicks(topic, "Z");
        QCOMPARE(editButtons(s), kEditing);
        s.click("btnNext");
        QCOMPARE(editButtons(s), kBrowsing);
    }

    // In grid view the text typed into a cell reaches the note whichever way the cell is left
    // (Post, Enter, Tab, a click on another control or on another row); Escape and Cancel drop
    // it. The buttons show the edit from the first key on.
    void textTypedIntoAGridCellIsPostedHoweverTheCellIsLeft()
    {
        SampleSession s({"private.db"});
        s.showPage(9);
        tv::Table* t9 = tv::app::baseTable(9);
        auto* grid = qobject_cast<tv::DBGrid*>(s.w("wwDBGrid9"));
        QVERIFY(grid && grid->isVisible());
        QVERIFY(t9->recordCount() >= 3);
        tv::GridModel* m = grid->gridModel();
        const int topicCol = gridColumn(grid, QStringLiteral("Topic"));
        QVERIFY(topicCol >= 0);
        const int topic = t9->fieldByName("Topic");
        const auto idAt = [&](int row) { return std::get<int64_t>(t9->valueAt(row, 0)); };
        const auto cellCentre = [&](int row, int col) { return grid->visualRect(m->index(row, col)).center(); };
        // Picks the Topic cell of a row with the mouse and types into it as a user does.
        const auto typeInto = [&](int row, const QString& text) {
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(row, topicCol));
            QCOMPARE(grid->currentIndex(), m->index(row, topicCol));
            QTest::keyClick(grid, text.at(0).toLatin1());
            QCOMPARE(editButtons(s), kEditing);
            auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
            QVERIFY(editor && grid->isAncestorOf(editor));
            QTest::keyClicks(editor, text.mid(1));
            QCOMPARE(editor->text(), text);
        };

        // Post, with the keyboard still in the cell.
        typeInto(0, QStringLiteral("Posted from the grid"));
        s.click("btnPostRecord");
        QCOMPARE(t9->state(), tv::TableState::Browse);
        QCOMPARE(editButtons(s), kBrowsing);
        QCOMPARE(notesOnDisk(s.path()).at(idAt(0)), std::string("Posted from the grid"));
        QVERIFY(!grid->findChild<QLineEdit*>() || !grid->findChild<QLineEdit*>()->isVisible());

        // Enter and Tab close the cell into the record; Post stores it.
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Tab}) {
            const QString text = key == Qt::Key_Return ? QStringLiteral("By Enter") : QStringLiteral("By Tab");
            typeInto(1, text);
            QTest::keyClick(QApplication::focusWidget(), key);
            QTRY_COMPARE(QString::fromStdString(t9->displayText(topic)), text);
            QCOMPARE(editButtons(s), kEditing);
            s.click("btnPostRecord");
            QCOMPARE(notesOnDisk(s.path()).at(idAt(1)), text.toStdString());
        }

        // A click on another control: the search page's word box.
        typeInto(2, QStringLiteral("Then elsewhere"));
        auto* tabs = s.form().findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(0).center());
        QCOMPARE(tabs->currentIndex(), 0);
        QTest::mouseClick(s.w("edSweep"), Qt::LeftButton, {}, QPoint(4, 4));
        QCOMPARE(QApplication::focusWidget(), s.w("edSweep"));
        QCOMPARE(t9->displayText(topic), std::string("Then elsewhere"));
        s.showPage(9);
        s.click("btnPostRecord");
        QCOMPARE(notesOnDisk(s.path()).at(idAt(2)), std::string("Then elsewhere"));

        // A click on another row posts the note as a move does.
        typeInto(0, QStringLiteral("Left for another row"));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(1, topicCol));
        QCOMPARE(t9->state(), tv::TableState::Browse);
        QCOMPARE(editButtons(s), kBrowsing);
        QCOMPARE(notesOnDisk(s.path()).at(idAt(0)), std::string("Left for another row"));

        // So does "Next Record", which leaves the cell open.
        typeInto(0, QStringLiteral("Moved on"));
        s.click("btnNext");
        QCOMPARE(editButtons(s), kBrowsing);
        QCOMPARE(notesOnDisk(s.path()).at(idAt(0)), std::string("Moved on"));

        // Escape drops what the cell holds; Cancel drops it too, and leaving the cell afterwards
        // does not bring it back.
        const auto before = notesOnDisk(s.path());
        typeInto(1, QStringLiteral("Escaped"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(t9->displayText(topic), before.at(idAt(1)));
        s.click("btnCancelEdit");
        typeInto(1, QStringLiteral("Cancelled"));
        s.click("btnCancelEdit");
        QCOMPARE(t9->state(), tv::TableState::Browse);
        QCOMPARE(editButtons(s), kBrowsing);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(2, topicCol));
        QCOMPARE(t9->state(), tv::TableState::Browse);
        QCOMPARE(editButtons(s), kBrowsing);
        QCOMPARE(notesOnDisk(s.path()), before);
        QCOMPARE(m->data(m->index(1, topicCol)).toString().toStdString(), before.at(idAt(1)));
    }

    void aDeleteSurvivesAKillRightAfterIt()
    {
        BaseFolder bases({"private.db"});
        const auto before = notesOnDisk(bases.path());
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kChildFolder), bases.path());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForReadyRead(30000));
        const int64_t deleted = child.readLine().trimmed().toLongLong();
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        auto after = notesOnDisk(bases.path());
        QVERIFY(before.count(deleted) && !after.count(deleted));
        after[deleted] = before.at(deleted);
        QCOMPARE(after, before);
    }

    // The end of the session (SIGTERM at logout, SIGHUP) and the loss of the display leave no
    // one to ask: the note being typed is posted and saved, and the program ends; the date it
    // could not take yet is kept in the note's description.
    void aNoteBeingTypedSurvivesTheEndOfTheSession()
    {
        for (const char* end : {"term", "exit"}) {
            BaseFolder bases({"private.db"});
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QString::fromLatin1(kChildFolder), bases.path());
            env.insert(QString::fromLatin1(kChildEnd), QString::fromLatin1(end));
            child.setProcessEnvironment(env);
            child.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(child.waitForReadyRead(30000));
            const int64_t id = child.readLine().trimmed().toLongLong();
            QVERIFY(!notesOnDisk(bases.path()).count(id));
            if (QByteArray(end) == "term")
                ::kill(pid_t(child.processId()), SIGTERM);
            QVERIFY(child.waitForFinished(20000));
            QCOMPARE(child.exitStatus(), QProcess::NormalExit);
            QCOMPARE(child.exitCode(), QByteArray(end) == "term" ? 0 : 1);
            QCOMPARE(notesOnDisk(bases.path())[id], std::string("half-typed"));
            const std::string kept = notesOnDisk(bases.path(), "Description")[id];
            QVERIFY2(kept.find("Date: 3/1") != std::string::npos, kept.c_str());
        }
    }

    void appendTakesAFreeIdWhateverTheFilterShows()
    {
        SampleSession s({"private.db"});
        s.showPage(9);
        tv::Table* t9 = tv::app::baseTable(9);
        const int64_t top = notesOnDisk(s.path()).rbegin()->first;
        const std::pair<const char*, std::function<void()>> shapes[] = {
            {"the top ID hidden", [&] { t9->setFilter({{"ID", "", tv::fdMatchRange, "", "", std::to_string(top - 1)}}); }},
            {"nothing shown", [&] { t9->setFilter({{"Topic", "", tv::fdMatchExact, "no note is called this", "", ""}}); }},
            {"an empty table", [&] {
                 t9->clearFilter();
                 while (t9->recordCount() > 0)
                     t9->remove();
             }}};
        for (const auto& [topic, shape] : shapes) {
            shape();
            const auto onDisk = notesOnDisk(s.path());
            const int64_t expected = onDisk.empty() ? 1 : onDisk.rbegin()->first + 1;
            ModalAnswerer ok{QMessageBox::Ok};
            s.click("btnInsert");
            QCOMPARE(t9->asInteger(0), expected);
            t9->setText("Topic", topic);
            s.click("btnPostRecord");
            QCOMPARE(ok.texts(), QStringList());
            QCOMPARE(notesOnDisk(s.path()).at(expected), std::string(topic));
        }
    }

    void aFailedSaveIsKeptRetriedAndAskedAboutAtExit()
    {
        SampleSession s({"private.db"});
        s.showPage(9);
        tv::Table* t9 = tv::app::baseTable(9);
        const auto original = notesOnDisk(s.path());
        const int64_t doomed = original.begin()->first;
        int64_t noteA = 0;
        {
            WritesFail full;
            {
                ModalAnswerer boxes{QMessageBox::Ok, QMessageBox::Yes, QMessageBox::Ok};
                s.click("btnInsert");
                noteA = t9->asInteger(0);
                t9->setText("Topic", "Posted while the disk is full");
                s.click("btnPostRecord");
                QCOMPARE(t9->state(), tv::TableState::Browse);
                t9->first();
                s.click("btnDelete");
                QCOMPARE(boxes.texts().size(), 3);
                QVERIFY(boxes.texts()[0].contains(QStringLiteral("not on disk yet")));
                QVERIFY(t9->hasUnsavedChanges());
            }

            // Exit asks; trying again fails again and asks again; staying keeps everything.
            ModalAnswerer exit{QMessageBox::Yes, QMessageBox::Retry, QMessageBox::Cancel};
            s.form().ExitItemClick();
            QCOMPARE(exit.texts().size(), 3);
            QVERIFY(exit.texts()[1].contains(QStringLiteral("not on disk")));
            QVERIFY(t9->isOpen() && t9->hasUnsavedChanges());
            QCOMPARE(notesOnDisk(s.path()), original);
        }
        // The next post writes the earlier changes too.
        s.click("btnInsert");
        const int64_t noteB = t9->asInteger(0);
        t9->setText("Topic", "Posted once the disk has room");
        s.click("btnPostRecord");
        QVERIFY(!t9->hasUnsavedChanges());
        auto onDisk = notesOnDisk(s.path());
        QVERIFY(onDisk.count(noteA) && onDisk.count(noteB) && !onDisk.count(doomed));

        // An edit whose save failed, then a pending note that cannot be posted (its ID is
        // taken): exit asks about the note; leaving without it drops only it, and the edit is
        // saved.
        {
            WritesFail full;
            ModalAnswerer ok{QMessageBox::Ok};
            s.click("btnEditRecord");
            t9->setText("Topic", "Edited while the disk is full");
            s.click("btnPostRecord");
            QCOMPARE(ok.texts().size(), 1);
        }
        const int64_t edited = t9->asInteger(0);
        s.click("btnInsert");
        t9->setInteger(0, noteA);
        {
            ModalAnswerer leave{QMessageBox::Yes, QMessageBox::Discard};
            s.form().ExitItemClick();
            QCOMPARE(leave.texts().size(), 2);
            QVERIFY(leave.texts()[1].contains(QStringLiteral("Key violation")));
        }
        QVERIFY(!t9->isOpen());
        onDisk = notesOnDisk(s.path());
        QCOMPARE(onDisk.at(edited), std::string("Edited while the disk is full"));
        QVERIFY(onDisk.count(noteA) && onDisk.count(noteB) && !onDisk.count(doomed));
    }

    void anotherCopysDeleteOrSaveOfTheNoteBeingEditedLosesNothing()
    {
        SampleSession s({"private.db"});
        s.showPage(9);
        tv::Table* t9 = tv::app::baseTable(9);
        tv::Table other;   // the other copy of the program
        other.open(QDir(s.path()).filePath(QStringLiteral("private.db")).toStdString(), tv::OpenMode::ReadWrite);
        auto editFirst = [&](const char* topic) {
            t9->first();
            s.click("btnEditRecord");
            t9->setText("Topic", topic);
        };
        auto otherSaves = [&](const std::string* topic) {
            other.first();
            if (topic) {
                other.edit();
                other.setText("Topic", *topic);
                other.post();
            } else {
                other.remove();
            }
            other.saveChanges();
        };

        // The note is deleted there: the edit here is kept as a new note, and the user told.
        auto expected = notesOnDisk(s.path());
        editFirst("mine, its note deleted");
        const int64_t deleted = expected.begin()->first;
        otherSaves(nullptr);
        {
            ModalAnswerer ok{QMessageBox::Ok};
            s.click("btnPostRecord");
            QCOMPARE(ok.texts().size(), 1);
            QVERIFY2(ok.lastText().contains(QStringLiteral("kept as a new record")), qPrintable(ok.lastText()));
        }
        expected.erase(deleted);
        expected[expected.rbegin()->first + 1] = "mine, its note deleted";
        QCOMPARE(notesOnDisk(s.path()), expected);

        // The note is saved there: asked, with Escape keeping both, then keeping mine and theirs.
        const std::pair<QMessageBox::StandardButton, const char*> answers[] = {
            {QMessageBox::Escape, "both"}, {QMessageBox::Yes, "mine"}, {QMessageBox::No, "theirs"}};
        for (const auto& [answer, kept] : answers) {
            expected = notesOnDisk(s.path());
            const int64_t id = expected.begin()->first;
            editFirst(kept);
            const std::string theirs = std::string("theirs, when mine was kept: ") + kept;
            otherSaves(&theirs);
            ModalAnswerer ask{answer};
            s.click("btnPostRecord");
            const bool both = std::string(kept) == "both";
            QCOMPARE(ask.texts().size(), both ? 2 : 1);   // keeping both says under which ID
            QVERIFY(ask.texts().front().startsWith(
                QStringLiteral("This note was changed by another copy of Tipvault since you began editing it.")));
            QCOMPARE(ask.seen().front().escapeButton, QMessageBox::Cancel);
            QCOMPARE(t9->state(), tv::TableState::Browse);
            expected[id] = std::string(kept) == "mine" ? "mine" : theirs;
            if (both)
                expected[expected.rbegin()->first + 1] = kept;
            QCOMPARE(notesOnDisk(s.path()), expected);
        }
    }

    // A move (and a filter, search, locate, order or Sweep, which move the base too) first
    // takes the text a box still holds; what the note cannot take yet (a date half typed)
    // stops it with the error Post shows, and the text stays where it was typed, in the record
    // view's date box as in a grid cell, open and in view.
    void aMoveFirstTakesWhatTheFocusedBoxHolds()
    {
        SampleSession s({"private.db"});
        s.showPage(9);
        tv::Table* t9 = tv::app::baseTable(9);
        QVERIFY(t9->recordCount() >= 3);
        const int dateField = t9->fieldByName("Date");
        const char* const moves[] = {"btnFirst", "btnRewind", "btnPrior", "btnNext", "btnForward", "btnLast",
                                     "btnGotoBookmark"};
        t9->moveTo(0);
        s.click("btnSetBookmark");
        // With half a date typed into a box of `area` (the date box, a grid cell), Post and every
        // move are refused with the same words, and the note and its place stay; so does the
        // box, open with the typed text and the keyboard in it, once the error box is closed.
        const auto typedBox = [](QWidget* area) {
            // The window's keyboard focus, which it has again once active.
            auto* box = qobject_cast<QLineEdit*>(area->window()->focusWidget());
            return box && box->isVisible() && (box == area || area->isAncestorOf(box)) ? box : nullptr;
        };
        const auto refused = [&](QWidget* area, const std::vector<std::function<void()>>& otherMoves) {
            QVERIFY(typedBox(area));
            const QString half = typedBox(area)->text();
            QString postSaid;
            {
                ModalAnswerer ok{QMessageBox::Ok};
                s.click("btnPostRecord");
                QCOMPARE(ok.texts().size(), 1);
                postSaid = ok.texts().front();
            }
            std::vector<std::function<void()>> tries;
            for (const char* move : moves)
                tries.push_back([&s, move] { s.click(move); });
            tries.insert(tries.end(), otherMoves.begin(), otherMoves.end());
            for (size_t i = 0; i < tries.size(); ++i) {
                ModalAnswerer ok{QMessageBox::Ok};
                // A dialog that opens instead of the refusal is closed (and the test fails).
                QTimer closer;
                QObject::connect(&closer, &QTimer::timeout, [] {
                    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()); d && !qobject_cast<QMessageBox*>(d))
                        d->reject();
                });
                closer.start(300);
                tries[i]();
                QVERIFY2(ok.texts() == QStringList{postSaid}, qPrintable(QStringLiteral("move %1: ").arg(i) + ok.texts().join(u'|')));
                QCOMPARE(t9->recNo(), 1);
                QCOMPARE(t9->state(), tv::TableState::Edit);
                QCOMPARE(editButtons(s), kEditing);
                QTRY_VERIFY(typedBox(area));
                QCOMPARE(typedBox(area)->text(), half);
                if (auto* g = qobject_cast<QAbstractItemView*>(area))   // the note's row is the one selected
                    QTRY_COMPARE(g->selectionModel()->selectedRows().value(0).row(), 1);
            }
        };

        s.click("btnGridSwitch");
        t9->moveTo(1);
        auto* date = qobject_cast<tv::DBComboDlg*>(s.w("wwDBComboDlg1"));
        date->setFocus();
        date->selectAll();
        QTest::keyClicks(date, "3/1");
        // Filtering, searching, locating and ordering the base move it as well.
        auto* grid = qobject_cast<tv::DBGrid*>(s.w("wwDBGrid9"));
        const auto command = [&s](const char* name) { return [&s, name] { s.click(name); }; };
        refused(date, {command("btnFilter"), command("btnNoFilter"), command("btnSearch"), command("btnLocate"),
                       [&] { s.form().btnLocateFirstClick(); }, [&] { s.form().btnLocateNextClick(); },
                       [&] { s.form().wwDBGrid1TitleButtonClick(grid, QStringLiteral("Topic")); },
                       [&] {
                           s.form().btnDBIndexClick();
                           QMenu* menu = s.form().indexChooser()->Menu();
                           menu->hide();
                           menu->actions().back()->trigger();   // the last index, not the current one
                       },
                       [&] {   // Sweep in the private base's topics, from the page on view
                           qobject_cast<QLineEdit*>(s.w("edSweep"))->setText(QStringLiteral("a"));
                           s.form().findChild<QButtonGroup*>(QStringLiteral("rgpPrivateItems"))->button(1)->setChecked(true);
                           qobject_cast<QAbstractButton*>(s.w("btnGO"))->click();
                       }});
        // Completed, the date goes with the note and the command is carried out.
        date->selectAll();
        QTest::keyClicks(date, "3/1/2024");
        s.click("btnNoFilter");
        QCOMPARE(t9->recNo(), 0);
        QCOMPARE(t9->state(), tv::TableState::Browse);
        QCOMPARE(t9->displayTextAt(1, dateField), std::string("3/1/2024"));

        s.click("btnGridSwitch");
        t9->moveTo(1);
        tv::GridModel* m = grid->gridModel();
        const int dateCol = gridColumn(grid, QStringLiteral("Date"));
        QVERIFY(dateCol >= 0);
        s.form().activateWindow();   // after the boxes
        QTRY_VERIFY(s.form().isActiveWindow());
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(m->index(1, dateCol)).center());
        QTest::keyClick(grid, '4');
        auto* cell = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(cell && grid->isAncestorOf(cell));
        QTest::keyClicks(cell, "/2");
        // A click on another row is a move too.
        refused(grid, {[&] {
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(m->index(2, dateCol)).center());
        }});
        // Completed in its cell, the date goes with the note and the move is made.
        QTest::keyClicks(s.form().focusWidget(), "/2024");
        s.click("btnNext");
        QCOMPARE(t9->recNo(), 2);
        QCOMPARE(t9->state(), tv::TableState::Browse);
        QCOMPARE(t9->displayTextAt(1, dateField), std::string("4/2/2024"));
    }

    // Another copy held the base locked at start-up: until it lets go, every editing and
    // navigation button (Refresh Records too), Filter, Search, Locate, the index choice,
    // Preview and Print say the base is busy, never that it is missing or closed; Refresh
    // Records once it is free opens it at once. Later, while that copy saves, a post (by Post,
    // by leaving the note in the grid or by a move) says so instead of waiting for it, and the
    // note stays as typed.
    void aBaseHeldByAnotherCopyIsBusyUntilRefreshedOnceFree()
    {
        BaseFolder bases({"private.db"});
        auto held = std::make_unique<tv::px::TableLock>(QDir(bases.path()).filePath(QStringLiteral("private.db")).toStdString());
        held->lockExclusive();
        ModalAnswerer boxes{QMessageBox::Ok};
        Session s(bases.path());
        s.showPage(9);
        tv::Table* t9 = tv::app::baseTable(9);
        QVERIFY(!t9->isOpen());
        QCOMPARE(boxes.texts().size(), 1);   // said once at start-up
        const char* const buttons[] = {"btnRefreshRecord", "btnInsert", "btnEditRecord", "btnDelete", "btnLast", "btnFilter",
                                       "btnSearch", "btnLocate", "btnDBIndex", "btnPreview", "btnPrint", "btnRefreshRecord"};
        for (size_t i = 0; i < std::size(buttons); ++i) {
            const QString button = QString::fromLatin1(buttons[i]);
            s.click(buttons[i]);
            QCOMPARE(boxes.texts().size(), i + 2);
            QCOMPARE(boxes.seen().back().icon, QMessageBox::Information);
            QVERIFY2(boxes.lastText().contains(QStringLiteral("in use by another program"))
                         && boxes.lastText().contains(QStringLiteral("private.db")),
                     qPrintable(button + (": " + boxes.lastText())));
            QVERIFY(!t9->isOpen());
        }
        const int startBoxes = 1 + int(std::size(buttons));
        QCOMPARE(boxes.texts().size(), startBoxes);
        held.reset();
        s.click("btnRefreshRecord");
        QVERIFY(t9->isOpen());
        QCOMPARE(t9->recordCount(), int(notesOnDisk(bases.path()).size()));
        QCOMPARE(boxes.texts().size(), startBoxes);
        QCOMPARE(editButtons(s), kBrowsing);

        // Open, and the other copy saving: a note being typed waits for the Post after it.
        s.click("btnInsert");
        t9->setText("Topic", "posted once the other copy is done");
        held = std::make_unique<tv::px::TableLock>(QDir(bases.path()).filePath(QStringLiteral("private.db")).toStdString());
        held->lockExclusive();
        s.click("btnPostRecord");
        QCOMPARE(boxes.texts().size(), startBoxes + 1);
        QVERIFY2(boxes.lastText().contains(QStringLiteral("saving the base right now")), qPrintable(boxes.lastText()));
        QCOMPARE(t9->state(), tv::TableState::Insert);
        QCOMPARE(editButtons(s), kEditing);
        held.reset();
        s.click("btnPostRecord");
        QCOMPARE(boxes.texts().size(), startBoxes + 1);
        QCOMPARE(notesOnDisk(bases.path()).rbegin()->second, std::string("posted once the other copy is done"));

        // So does a note typed into the grid and left for another row, by a click or a button.
        s.click("btnGridSwitch");
        auto* grid = qobject_cast<tv::DBGrid*>(s.w("wwDBGrid9"));
        const QModelIndex topic = grid->gridModel()->index(0, gridColumn(grid, QStringLiteral("Topic")));
        s.form().activateWindow();   // after the boxes
        QTRY_VERIFY(s.form().isActiveWindow());
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(topic).center());
        QTest::keyClick(grid, 'G');
        QTest::keyClicks(QApplication::focusWidget(), "rid note");
        held = std::make_unique<tv::px::TableLock>(QDir(bases.path()).filePath(QStringLiteral("private.db")).toStdString());
        held->lockExclusive();
        const std::function<void()> leaves[] = {
            [&] { QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(topic.siblingAtRow(1)).center()); },
            [&] { s.click("btnNext"); }};
        for (const auto& leave : leaves) {
            const int before = int(boxes.texts().size());
            leave();
            QCOMPARE(boxes.texts().size(), before + 1);
            QVERIFY2(boxes.lastText().contains(QStringLiteral("saving the base right now")), qPrintable(boxes.lastText()));
            QCOMPARE(t9->state(), tv::TableState::Edit);
            QCOMPARE(t9->recNo(), 0);
            QCOMPARE(t9->displayText("Topic"), std::string("Grid note"));
            QCOMPARE(editButtons(s), kEditing);
        }
        held.reset();
        s.click("btnNext");
        QCOMPARE(t9->recNo(), 1);
        QCOMPARE(notesOnDisk(bases.path()).begin()->second, std::string("Grid note"));
    }

    void textTheBaseCannotStoreIsRefusedNotAltered()
    {
        SampleSession s({"private.db"});
        s.showPage(9);
        tv::Table* t9 = tv::app::baseTable(9);
        s.click("btnInsert");
        const int64_t id = t9->asInteger(0);
        const std::string typed = "Tea \u2615 at the caf\u00e9 \u65e5\u672c \u2615";
        t9->setText("Topic", typed);
        {
            ModalAnswerer ok{QMessageBox::Ok};
            s.click("btnPostRecord");
            QCOMPARE(ok.texts().size(), 1);
            const QString text = ok.texts().front();
            QVERIFY2(text.contains(QStringLiteral("'Topic'")) && text.count(QString::fromUtf8("\u2615")) == 1
                         && text.contains(QStringLiteral("U+2615")) && text.contains(QString::fromUtf8("\u65e5"))
                         && text.contains(QString::fromUtf8("\u672c")) && !text.contains(QString::fromUtf8("\u00e9")),
                     qPrintable(text));
        }
        QCOMPARE(t9->state(), tv::TableState::Insert);
        QCOMPARE(t9->displayText("Topic"), typed);
        QVERIFY(!notesOnDisk(s.path()).count(id));

        t9->setText("Topic", "Tea at the caf\u00e9");
        s.click("btnPostRecord");
        QCOMPARE(t9->state(), tv::TableState::Browse);
        QCOMPARE(notesOnDisk(s.path()).at(id), std::string("Tea at the caf\u00e9"));
    }
};

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet(kChildEnd))
        return typeAndWait(argc, argv);
    if (qEnvironmentVariableIsSet(kChildFolder))
        return deleteAndWait(argc, argv);
    QApplication app(argc, argv);
    NotesTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "notes_test.moc"
