// Start-up in order with different sets of bases beside the program, the splash window and the
// hourglass, the report holders, help commands, and the two ways out with their confirmations.

#include "apptest.h"

#include "app/datamodule.h"
#include "app/program.h"
#include "reports/holders.h"
#include "app/splash.h"
#include "app/tablewindow.h"
#include "data/dm1.h"
#include "platform/msg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QMenu>
#include <QMimeData>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using namespace apptest;
using tv::app::Program;

namespace {

const int kAllBases[] = {1, 2, 3, 4, 5, 6, 7, 9, 40};

bool anyTableOpen()
{
    for (int n : kAllBases)
        if (tv::Table* t = tv::app::baseTable(n); t && t->isOpen())
            return true;
    return false;
}

// Stands in for the desktop's handler of files: keeps what it is asked to open.
class OpenedFiles : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

} // namespace

class StartupTest : public WindowTest {
    Q_OBJECT
private slots:
    void startWithEveryBase()
    {
        BaseFolder bases;
        auto unexpected = std::make_unique<ModalAnswerer>(QMessageBox::Ok);   // gone before the exit questions
        Program p(bases.path());
        QVERIFY(unexpected->texts().isEmpty());
        unexpected.reset();
        QVERIFY(!p.terminating());
        for (int n : kAllBases)
            QVERIFY2(tv::app::basePresent(n), qPrintable(QString::number(n)));
        QVERIFY(!tv::app::basePresent(8));
        QVERIFY(tv::app::databaseOpened());
        // The name, but no display name of its own, which the platform would append to the
        // caption of every box ("Confirm" must not read "Confirm — Tipvault").
        QCOMPARE(QApplication::applicationName(), QStringLiteral("Tipvault"));
        QApplication::setApplicationName(QStringLiteral("probe"));
        QCOMPARE(QApplication::applicationDisplayName(), QStringLiteral("probe"));
        QApplication::setApplicationName(QStringLiteral("Tipvault"));
        QCOMPARE(qApp->property("HelpFile").toString(), QStringLiteral("Tipvault.hlp"));

        // The splash is up and the hourglass on until the main window first becomes active.
        QVERIFY(tv::app::Splash());
        QCOMPARE(tv::app::Splash()->size(), QSize(365, 452));
        QCOMPARE(tv::app::TSplash::picture().size(), QSize(358, 445));
        QVERIFY(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);

        // The fourteen report holders, in order, never shown.
        const std::pair<const char*, const char*> holders[] = {
            {"DNewsMemoForm", "TDNewsMemoForm"}, {"DNewsForm", "TDNewsForm"}, {"DKBMemoForm1", "TDKBMemoForm1"},
            {"DKBForm1", "TDKBForm1"},           {"CISForm1", "TCISForm1"},   {"CISMemoForm1", "TCISMemoForm1"},
            {"DSPForm1", "TDSPForm1"},           {"DSPMemoForm1", "TDSPMemoForm1"}, {"SWAGForm", "TSWAGForm"},
            {"BooksForm1", "TBooksForm1"},       {"DTopicsForm", "TDTopicsForm"},
            {"DTopicsMemoForm", "TDTopicsMemoForm"}, {"PrivatForm", "TPrivatForm"},
            {"PrivatMemoForm", "TPrivatMemoForm"}};
        QWidgetList created;
        for (QObject* child : p.mainForm()->children())
            if (auto* w = qobject_cast<tv::reports::ReportHolder*>(child))
                created << w;
        QCOMPARE(created.size(), 14);
        for (size_t i = 0; i < std::size(holders); ++i) {
            QWidget* h = created.at(int(i));
            QCOMPARE(h->objectName(), QString::fromLatin1(holders[i].first));
            QVERIFY2(QByteArray(h->metaObject()->className()).endsWith(QByteArray("::") + holders[i].second), holders[i].second);
            QVERIFY(!h->isVisible());
        }

        p.show();
        QTRY_VERIFY(tv::app::Splash() == nullptr);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(p.mainForm()->isVisible());
        QVERIFY(p.mainForm()->windowState() & Qt::WindowMaximized);
        QCOMPARE(p.mainForm()->findChild<QTabWidget*>(QStringLiteral("PageControl1"))->currentIndex(), 0);

        // Exit answered No changes nothing; Yes closes every base and the database.
        tv::Table* t1 = tv::app::baseTable(1);
        t1->moveBy(4);
        {
            ModalAnswerer no{QMessageBox::No};
            p.mainForm()->ExitItemClick();
            QCOMPARE(no.texts(), QStringList{QStringLiteral("Terminate the application?")});
            QCOMPARE(no.captions(), QStringList{QStringLiteral("Confirm")});
        }
        QVERIFY(t1->isOpen());
        QCOMPARE(t1->recNo(), 4);
        {
            ModalAnswerer yes{QMessageBox::Yes};
            p.mainForm()->ExitItemClick();
            QCOMPARE(yes.texts().size(), 1);
        }
        QVERIFY(!anyTableOpen());
        QVERIFY(!tv::DM1->DBC->Connected());
    }

    void startWithOnlyThePrivateBase()
    {
        BaseFolder bases({"private.db"});
        ModalAnswerer unexpected{QMessageBox::Ok};
        Program p(bases.path());
        QVERIFY(unexpected.texts().isEmpty());
        QVERIFY(!p.terminating());
        QVERIFY(tv::app::basePresent(9));
        for (int n : {1, 2, 3, 4, 5, 6, 7, 40})
            QVERIFY(!tv::app::basePresent(n));
        p.show();
        auto* pc = p.mainForm()->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        pc->setCurrentIndex(3);
        QVERIFY(apptest::control(p.mainForm(), "wwDBGrid3")->isHidden());
        QVERIFY(apptest::control(p.mainForm(), "Missing3a")->isVisible());
        pc->setCurrentIndex(9);
        QVERIFY(apptest::control(p.mainForm(), "wwDBGrid9")->isVisible());
        // Ending closes only the one opened base (and never touches the missing ones).
        ModalAnswerer yes{QMessageBox::Yes};
        p.mainForm()->ExitItemClick();
        QVERIFY(!tv::app::baseTable(9)->isOpen());
    }

    // Other tables: the File menu's commands, a table file dropped on the window and tables
    // named on the command line open in windows of their own; Export only on a base page.
    void otherTablesOpenBesideTheMainWindow()
    {
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", home.path().toUtf8());
        const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", oldHome); });
        BaseFolder bases({"private.db"});
        Program p(bases.path());
        p.show();
        tv::app::TMainForm* form = p.mainForm();
        auto* open = form->findChild<QAction*>(QStringLiteral("mnuOpenTable"));
        auto* exportEntry = form->findChild<QAction*>(QStringLiteral("mnuExport"));
        QVERIFY(open && exportEntry && form->findChild<QMenu*>(QStringLiteral("mnuRecentTables")));
        QCOMPARE(open->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
        auto* file = qobject_cast<QMenu*>(exportEntry->parent());
        auto* pc = form->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        for (int tab : {0, 9}) {
            pc->setCurrentIndex(tab);
            emit file->aboutToShow();
            QCOMPARE(exportEntry->isEnabled(), tab == 9);
        }

        const QString customer = QStringLiteral(TV_SAMPLES_DIR "/paradox/db/CUSTOMER.DB");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(customer), QUrl::fromLocalFile(QStringLiteral(TV_SAMPLES_DIR "/dbase/LICENSE"))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form, &drop);
        QTRY_COMPARE(form->findChildren<tv::app::TableWindow*>().size(), 1);
        QCOMPARE(form->findChild<tv::app::TableWindow*>()->table().recordCount(), 20);

        tv::app::openTablesGiven({QStringLiteral("--verbose"), QStringLiteral(TV_SAMPLES_DIR "/dbase/dbase_83.dbf")}, form);
        QCOMPARE(form->findChildren<tv::app::TableWindow*>().size(), 2);
        QCOMPARE(tv::app::TableWindow::recentTables(),
                 (QStringList{QStringLiteral(TV_SAMPLES_DIR "/dbase/dbase_83.dbf"), customer}));
        ModalAnswerer yes{QMessageBox::Yes};
        form->ExitItemClick();
    }

    void startWithNoBaseEndsAfterTheMessage()
    {
        QTemporaryDir empty;
        ModalAnswerer ok{QMessageBox::Ok};
        Program p(empty.path());
        QCOMPARE(ok.texts(),
                 QStringList{QStringLiteral("Sorry, no databases available. Please see \"Readme.txt\" file to see how "
                                            "to get the databases. We have to terminate the application")});
        // Shown over the splash window (which stays on top) and modal until answered.
        QVERIFY(ok.seen().front().onTop);
        QCOMPARE(ok.seen().front().modality, Qt::ApplicationModal);
        QCOMPARE(ok.seen().front().fixedSizeFault, QString());
        QVERIFY(p.terminating());
        QVERIFY(!tv::app::databaseOpened());
        QCOMPARE(p.exec(), 0);   // the loop ends at once
        QVERIFY(!p.mainForm()->isVisible());
        QVERIFY(tv::app::Splash() == nullptr);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void aDamagedBaseIsReportedAndSkipped()
    {
        BaseFolder bases;
        bases.damage(QStringLiteral("QA.DB"));
        ModalAnswerer ok{QMessageBox::Ok};
        Program p(bases.path());
        QCOMPARE(ok.texts().size(), 1);
        QCOMPARE(ok.captions().front(), QStringLiteral("Tipvault"));
        QVERIFY(!ok.texts().front().isEmpty());
        QVERIFY(!p.terminating());
        QVERIFY(!tv::app::basePresent(2));
        for (int n : {1, 3, 4, 5, 6, 7, 9, 40})
            QVERIFY2(tv::app::basePresent(n), qPrintable(QString::number(n)));
        p.show();
        p.mainForm()->findChild<QTabWidget*>(QStringLiteral("PageControl1"))->setCurrentIndex(2);
        QVERIFY(apptest::control(p.mainForm(), "wwDBGrid2")->isHidden());
        QVERIFY(!apptest::control(p.mainForm(), "btnFirst")->isEnabled());
    }

    // An error box over the splash (the active window while starting) stays until answered
    // even when the splash ends meanwhile; the splash goes after it.
    void anErrorBoxOutlivesTheSplashEnding()
    {
        BaseFolder bases({"private.db"});
        Program p(bases.path());
        ModalAnswerer ok;
        QTimer::singleShot(0, qApp, [] { tv::app::Splash()->FormDeactivate(); });   // runs inside the box
        tv::msg::error(QStringLiteral("Damaged memo"), tv::app::Splash());
        QCOMPARE(ok.texts(), QStringList{QStringLiteral("Damaged memo")});
        QTRY_VERIFY(!tv::app::Splash());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void closeBoxAsksItsOwnQuestion()
    {
        BaseFolder bases;
        Program p(bases.path());
        p.show();
        {
            ModalAnswerer no{QMessageBox::No};
            QVERIFY(!p.mainForm()->close());
            QCOMPARE(no.texts(), QStringList{QStringLiteral("Ternminate the application?")});
            QCOMPARE(no.seen().front().fixedSizeFault, QString());
        }
        QVERIFY(p.mainForm()->isVisible());
        QVERIFY(tv::app::baseTable(1)->isOpen());
        {
            ModalAnswerer yes{QMessageBox::Yes};
            QVERIFY(p.mainForm()->close());
        }
        QVERIFY(!p.mainForm()->isVisible());
        QVERIFY(!anyTableOpen());
    }

    void aTypedNoteIsPostedAtExit()
    {
        BaseFolder bases;
        const QString text = QStringLiteral("Typed just before leaving");
        {
            Program p(bases.path());
            p.show();
            tv::Table* t9 = tv::app::baseTable(9);
            t9->edit();
            t9->setText("Topic", text.toStdString());
            ModalAnswerer yes{QMessageBox::Yes};
            p.mainForm()->ExitItemClick();
            QVERIFY(!t9->isOpen());
        }
        tv::Table check;
        check.open(QDir(bases.path()).filePath(QStringLiteral("private.db")).toStdString());
        bool found = false;
        for (int r = 0; r < check.recordCount(); ++r)
            found = found || check.displayTextAt(r, check.fieldByName("Topic")) == text.toStdString();
        QVERIFY(found);
    }

    void aNoteThatCannotBePostedKeepsTheProgramOpen()
    {
        BaseFolder bases;
        Program p(bases.path());
        p.show();
        tv::Table* t9 = tv::app::baseTable(9);
        const int64_t taken = std::get<int64_t>(t9->valueAt(0, 0));
        t9->append();
        t9->setInteger(0, taken);   // the key is in use: the post fails
        ModalAnswerer answers{QMessageBox::Yes, QMessageBox::Escape};   // asked: Escape stays
        p.mainForm()->ExitItemClick();
        QCOMPARE(answers.texts().size(), 2);
        const tvtest::SeenBox& asked = answers.seen()[1];
        QCOMPARE(asked.caption, QStringLiteral("Tipvault"));
        QCOMPARE(asked.icon, QMessageBox::Warning);
        QCOMPARE(asked.label(QMessageBox::Retry), QStringLiteral("Try Again"));
        QCOMPARE(asked.label(QMessageBox::Discard), QStringLiteral("Exit Without Saving"));
        QCOMPARE(asked.label(QMessageBox::Cancel), QStringLiteral("Stay"));
        QCOMPARE(asked.defaultButton, QMessageBox::Retry);
        QVERIFY(t9->isOpen());
        QVERIFY(tv::app::baseTable(1)->isOpen());
        QCOMPARE(t9->state(), tv::TableState::Insert);
        t9->cancel();
    }

    void helpCommandsOpenTheGuide()
    {
        BaseFolder bases;
        Program p(bases.path());
        p.show();
        // The build puts the guide beside the program: Help opens it, Help Index its index.
        OpenedFiles opened;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
        for (auto [entry, page] : {std::pair{"mnuHelp", "tipvault.html"}, {"mnuHelpIndex", "tipvault-index.html"}}) {
            ModalAnswerer ok{QMessageBox::Ok};
            apptest::action(p.mainForm(), entry)->trigger();
            QVERIFY(ok.texts().isEmpty());
            QCOMPARE(opened.urls.size(), 1);
            const QFileInfo shown(opened.urls.takeFirst().toLocalFile());
            QCOMPARE(shown.fileName(), QString::fromLatin1(page));
            QCOMPARE(shown.path(), QCoreApplication::applicationDirPath());
            QVERIFY(shown.isFile());
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

        // No program to open it with (as offscreen), or no guide at all: the message names the
        // page's path.
        const QString guide = QCoreApplication::applicationDirPath() + QStringLiteral("/tipvault.html");
        {
            ModalAnswerer ok{QMessageBox::Ok};
            apptest::action(p.mainForm(), "mnuHelp")->trigger();
            QCOMPARE(ok.texts().size(), 1);
            QVERIFY2(ok.texts().front().contains(QLatin1Char('"') + guide + QLatin1Char('"')), qPrintable(ok.texts().front()));
        }
        qApp->setProperty("HelpFile", bases.path() + QStringLiteral("/Tipvault.hlp"));
        ModalAnswerer ok{QMessageBox::Ok};
        apptest::action(p.mainForm(), "mnuHelpIndex")->trigger();
        qApp->setProperty("HelpFile", QStringLiteral("Tipvault.hlp"));
        QCOMPARE(ok.texts(), QStringList{QStringLiteral("Cannot find the help file \"%1/tipvault-index.html\".").arg(bases.path())});
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
