// Page switching: record tools per page, CurrentTable, missing-base notices and their centring
// on the screen in use, the search page's groups, grid and record view, bookmarks released on
// leaving a page, and the record-tool row's navigation and editing.

#include "apptest.h"

#include "app/datamodule.h"
#include "dbaware/datasource.h"
#include "dbaware/dbcontrols.h"
#include "dbaware/dbgrid.h"
#include "platform/msg.h"
#include "platform/platform.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QTest>

using namespace apptest;
using tv::app::kPages;

namespace {

const char* const kRecordTools[] = {
    "btnPrint",       "btnPreview",      "btnGridSwitch",    "btnDBIndex", "btnFilter",  "btnNoFilter",
    "btnSearch",      "btnLocate",       "btnLocateFirst",   "btnLocateNext", "btnSetBookmark",
    "btnGotoBookmark", "BtnClearBookmark", "btnFirst",       "btnRewind",  "btnPrior",   "btnNext",
    "btnForward",     "btnLast",         "btnInsert",        "btnDelete",  "btnEditRecord",
    "btnPostRecord",  "btnCancelEdit",   "btnRefreshRecord"};

// Expected left edge of a centred notice and place of a centred panel on this screen.
int noticeLeft(int designed)
{
    const QSize s = tv::platform::screenSize();
    return s.width() > 640 ? (s.width() - 360) / 2 : designed;
}

// A panel is never lifted above its page (its top edge would hide under the tabs).
QPoint panelPlace(QPoint designed)
{
    const QSize s = tv::platform::screenSize();
    return {s.width() > 640 ? (s.width() - 620) / 2 : designed.x(),
            s.height() > 480 ? std::max((s.height() - 480) / 2 - 70, 0) : designed.y()};
}

} // namespace

class PagingTest : public WindowTest {
    Q_OBJECT
private slots:
    void theFormulasMatchTheWorkedExamples()
    {
        // The worked figures for the two common screens, then the formula for any other.
        const QSize s = tv::platform::screenSize();
        qInfo("screen %dx%d", s.width(), s.height());
        if (s == QSize(800, 600)) {
            QCOMPARE(panelPlace({1, 1}), QPoint(90, 0));   // (90, -10) by the formula alone
            QCOMPARE(noticeLeft(147), 220);
        } else if (s == QSize(1024, 768)) {
            QCOMPARE(panelPlace({1, 1}), QPoint(202, 74));
            QCOMPARE(noticeLeft(147), 332);
        } else if (s == QSize(640, 480)) {
            QCOMPARE(panelPlace({1, 1}), QPoint(1, 1));
            QCOMPARE(noticeLeft(147), 147);
        }
    }

    void recordToolsAndCurrentTableFollowThePage()
    {
        SampleSession s;
        QVERIFY(s.form().CurrentTable() == nullptr);
        for (int tab : {1, 2, 3, 4, 5, 6, 7, 9, 0, 8, 10, 1}) {
            s.showPage(tab);
            const auto& e = kPages[static_cast<size_t>(tab)];
            for (int i = 0; i < 25; ++i) {
                bool on = false;
                switch (e.tools) {
                case tv::app::RecordToolSet::None: on = false; break;
                default:
                    on = !(i == 8 || i == 9 || i == 11 || i == 12);   // locate first/next, go to/clear
                    if (i == 2)
                        on = e.tools != tv::app::RecordToolSet::BrowseGrid;
                    if (i >= 19)
                        on = e.tools == tv::app::RecordToolSet::Edit;
                }
                QVERIFY2(s.w(kRecordTools[i])->isEnabled() == on,
                         qPrintable(QStringLiteral("page %1 %2").arg(tab).arg(QLatin1String(kRecordTools[i]))));
            }
            // Never touched by page changes.
            for (const char* n : {"btnExit", "btnAbout", "btnHelpIndex", "btnHelp", "btnTip"})
                QVERIFY(s.w(n)->isEnabled());
            for (const char* n : {"BtnCut", "BtnCopy", "btnPaste"})
                QVERIFY(!s.w(n)->isEnabled());
            for (const char* n : {"mnuFilter", "mnuSetBookmark", "mnuSort", "mnuPreview"})
                QVERIFY(s.action(n)->isEnabled());
            if (tv::app::isBasePage(tab))
                QVERIFY(s.form().CurrentTable() == tv::app::baseTable(e.base));
        }
        // The search, placeholder and Info pages left the last base page's table current.
        s.showPage(7);
        s.showPage(0);
        s.showPage(10);
        QVERIFY(s.form().CurrentTable() == tv::app::baseTable(7));
        // With every base present, no grid was hidden and no search group disabled.
        for (int tab : {1, 2, 3, 4, 5, 6, 7, 9})
            QVERIFY(!s.w(kPages[static_cast<size_t>(tab)].grid)->isHidden());
        for (const char* g : {"rgpDTopics", "rgpDKB", "rgpDNews", "rgpCSI", "rgpDSP", "rgpSWAG", "rgpPrivate"})
            QVERIFY(s.w(g)->isEnabled());
    }

    void missingBasesShowCentredNotices()
    {
        SampleSession s({"private.db", "Filesdel.db"});
        // The first screen already shows the search panel where every later visit puts it
        // (no page change announces the page in front at start); all groups enabled.
        QCOMPARE(s.w("Panel24")->pos(), panelPlace({1, 1}));
        QVERIFY(s.w("Panel24")->isVisible());
        for (const char* g : {"rgpDTopics", "rgpDKB", "rgpDNews", "rgpCSI", "rgpDSP", "rgpSWAG", "rgpPrivate"})
            QVERIFY(s.w(g)->isEnabled());

        s.showPage(9);
        tv::Table* privateTable = s.form().CurrentTable();
        QVERIFY(privateTable == tv::app::baseTable(9));
        QVERIFY(!s.w("wwDBGrid9")->isHidden());
        for (int tab : {1, 2, 3, 4, 5, 6, 7}) {
            s.showPage(tab);
            const auto& e = kPages[static_cast<size_t>(tab)];
            QVERIFY2(s.w(e.grid)->isHidden(), e.grid);
            if (e.recordPane)
                QVERIFY(s.w(e.recordPane)->isHidden());
            QCOMPARE(s.w(e.missingA)->pos(), QPoint(noticeLeft(147), 59));
            QCOMPARE(s.w(e.missingB)->x(), noticeLeft(s.w(e.missingB)->x()));
            QVERIFY(s.w(e.missingA)->isVisibleTo(s.w(e.sheet)));
            for (const char* t : kRecordTools)
                QVERIFY(!s.w(t)->isEnabled());
            // Page 4 counts as missing although "Filesdel.db" is there.
            QVERIFY(s.form().CurrentTable() == privateTable);
        }
        s.showPage(8);
        QCOMPARE(s.w("Missing8a")->pos(), QPoint(noticeLeft(147), 59));
        s.showPage(10);
        QCOMPARE(s.w("Panel39")->pos(), panelPlace({10, 8}));
        s.showPage(0);
        QCOMPARE(s.w("Panel24")->pos(), panelPlace({1, 1}));
        for (const char* g : {"rgpDTopics", "rgpDKB", "rgpDNews", "rgpCSI", "rgpDSP", "rgpSWAG"})
            QVERIFY2(!s.w(g)->isEnabled(), g);
        QVERIFY(s.w("rgpPrivate")->isEnabled());
        // A missing base's page stays so; its grid-switch button cannot bring a pane back.
        s.showPage(1);
        QVERIFY(!s.w("btnGridSwitch")->isEnabled());
        QVERIFY(s.w("wwDBGrid1")->isHidden() && s.w("Panel2")->isHidden());
    }

    void eachPageKeepsItsView()
    {
        SampleSession s;
        s.showPage(1);
        tv::Table* t1 = tv::app::baseTable(1);
        t1->moveBy(3);
        const int row = t1->recNo();
        s.click("btnGridSwitch");
        QVERIFY(s.w("wwDBGrid1")->isHidden());
        QVERIFY(!s.w("Panel2")->isHidden());
        QCOMPARE(t1->recNo(), row);
        s.click("btnGridSwitch");
        QVERIFY(!s.w("wwDBGrid1")->isHidden());
        QVERIFY(s.w("Panel2")->isHidden());
        QCOMPARE(t1->recNo(), row);

        // A double click on the grid is the same command.
        auto* grid = qobject_cast<tv::DBGrid*>(s.w("wwDBGrid1"));
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, QPoint(40, 10));
        QVERIFY(grid->isHidden() && !s.w("Panel2")->isHidden());
        s.click("btnGridSwitch");

        s.showPage(2);
        s.click("btnGridSwitch");
        s.showPage(3);
        QVERIFY(!s.w("wwDBGrid3")->isHidden());
        s.showPage(2);
        QVERIFY(s.w("wwDBGrid2")->isHidden() && !s.w("Panel3")->isHidden());

        // Page 6 has no record view: the button is disabled and a double click changes nothing.
        s.showPage(6);
        QVERIFY(!s.w("btnGridSwitch")->isEnabled());
        auto* grid6 = qobject_cast<tv::DBGrid*>(s.w("wwDBGrid6"));
        QTest::mouseDClick(grid6->viewport(), Qt::LeftButton, {}, QPoint(40, 10));
        QVERIFY(!grid6->isHidden());
        s.form().btnGridSwitchClick();
        QVERIFY(!grid6->isHidden());
        // The search page has no views either.
        s.showPage(0);
        s.form().btnGridSwitchClick();
        QVERIFY(s.w("wwDBGrid2")->isHidden());

        // Page 4 keeps its view when the forum changes.
        s.showPage(4);
        s.click("btnGridSwitch");
        auto* delphi = s.w("rgpDelphi")->findChild<QButtonGroup*>()->button(0);
        QTest::mouseClick(delphi, Qt::LeftButton, {}, QPoint(4, delphi->height() / 2));
        QVERIFY(s.w("wwDBGrid4")->isHidden() && !s.w("Panel7")->isHidden());
        QVERIFY(s.form().CurrentTable() == tv::app::baseTable(40));
        QVERIFY(qobject_cast<tv::DBGrid*>(s.w("wwDBGrid4"))->dataSource() == tv::app::baseDataSource(40));
        s.showPage(1);
        s.showPage(4);
        QVERIFY(s.form().CurrentTable() == tv::app::baseTable(40));
    }

    // Every bound box of a record view for a code, number, date or name (a declared width of
    // up to 20) shows a value that wide whole (the widest digits, and every sample value that
    // long); every box lies inside its panel, beside the other boxes and the pictures.
    void recordViewBoxesShowValuesOfTheirDeclaredWidthWhole()
    {
        SampleSession s;
        QStringList cut;
        auto fits = [](tv::DBEdit* e, const QString& v) {
            e->setText(v);
            e->setCursorPosition(0);
            e->grab();   // lays the text out as painting does
            const int start = e->inputMethodQuery(Qt::ImCursorRectangle).toRect().x();
            e->setCursorPosition(int(v.size()));
            e->grab();
            return e->inputMethodQuery(Qt::ImCursorRectangle).toRect().x() - start >= e->fontMetrics().horizontalAdvance(v);
        };
        for (int tab : {1, 2, 3, 4, 5, 7, 9}) {
            s.showPage(tab);
            s.click("btnGridSwitch");
            for (int forum = 0; forum < (tab == 4 ? 2 : 1); ++forum) {
                if (forum == 1) {
                    auto* delphi = s.w("rgpDelphi")->findChild<QButtonGroup*>()->button(0);
                    QTest::mouseClick(delphi, Qt::LeftButton, {}, QPoint(4, delphi->height() / 2));
                }
                QWidget* pane = s.w(kPages[size_t(tab)].recordPane);
                const auto boxes = pane->findChildren<tv::DBEdit*>();
                for (tv::DBEdit* e : boxes) {
                    if (e->isHidden())
                        continue;
                    const tv::Table* t = e->link()->table();
                    const int f = e->link()->field();
                    QVERIFY2(t && f >= 0, qPrintable(e->objectName()));
                    const int n = std::min(t->displayWidth(f), e->maxLength());   // no more than the field holds
                    QChar widest = u'0';
                    for (char c = '0'; c <= '9'; ++c)
                        if (e->fontMetrics().horizontalAdvance(QLatin1Char(c)) > e->fontMetrics().horizontalAdvance(widest))
                            widest = QLatin1Char(c);
                    QStringList values{QString(n, widest)};
                    for (int r = 0; r < std::min(t->recordCount(), 500); ++r) {
                        const QString v = QString::fromStdString(t->displayTextAt(r, f));
                        if (v.size() <= n)
                            values << v;
                    }
                    for (const QString& v : values)
                        if (n <= 20 && !fits(e, v)) {
                            cut << QStringLiteral("%1 \"%2\" in %3 px").arg(e->objectName(), v).arg(e->width());
                            break;
                        }
                    e->link()->onRefresh();
                    const QRect g = e->geometry();
                    if (g.right() >= e->parentWidget()->width())
                        cut << e->objectName() + QStringLiteral(" beyond its panel");
                    // Nor over another box or a picture.
                    for (QWidget* other : e->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                        auto* picture = qobject_cast<QLabel*>(other);
                        if (other != e && !other->isHidden() && other->geometry().intersects(g)
                            && (qobject_cast<QLineEdit*>(other) || (picture && !picture->pixmap().isNull())))
                            cut << e->objectName() + QStringLiteral(" over ") + other->objectName();
                    }
                }
            }
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
    }

    void bookmarksAreGivenUpOnLeavingAPage()
    {
        SampleSession s;
        s.showPage(1);
        tv::Table* t1 = tv::app::baseTable(1);
        t1->moveBy(11);
        const int marked = t1->recNo();
        s.click("btnSetBookmark");
        QVERIFY(s.form().BookmarkSet());
        QVERIFY(s.w("btnGotoBookmark")->isEnabled() && s.w("BtnClearBookmark")->isEnabled());
        t1->moveBy(5);
        s.click("btnGotoBookmark");
        QCOMPARE(t1->recNo(), marked);
        t1->last();
        s.click("btnGotoBookmark");
        QCOMPARE(t1->recNo(), marked);

        s.showPage(2);
        QVERIFY(!s.form().BookmarkSet());
        QVERIFY(!s.w("btnGotoBookmark")->isEnabled() && !s.w("BtnClearBookmark")->isEnabled());
        s.showPage(1);
        QVERIFY(!s.w("btnGotoBookmark")->isEnabled());
        // The menu entry does nothing without a bookmark.
        t1->first();
        s.action("mnuGotoBookmark")->trigger();
        QCOMPARE(t1->recNo(), 0);

        // A dialog or message box in front is no leaving: the bookmark is still there after it.
        t1->moveBy(3);
        const int again = t1->recNo();
        s.click("btnSetBookmark");
        s.w("wwDBGrid1")->setFocus();
        QTRY_VERIFY(s.w("wwDBGrid1")->hasFocus());
        {
            ModalAnswerer ok{QMessageBox::Ok};
            tv::msg::information(QStringLiteral("in front"), &s.form());
            QCOMPARE(ok.texts().size(), 1);
        }
        s.form().activateWindow();
        QTRY_VERIFY(s.form().isActiveWindow());
        t1->last();
        s.click("btnGotoBookmark");
        QVERIFY(s.form().BookmarkSet());
        QCOMPARE(t1->recNo(), again);
        // Another control of the window taking the focus gives it up, and its tools go off.
        s.w("SpeedPanel")->setFocus();
        QTRY_VERIFY(!s.form().BookmarkSet());
        QVERIFY(!s.w("btnGotoBookmark")->isEnabled() && !s.w("BtnClearBookmark")->isEnabled());

        // With no current record there is nothing to mark, and nothing to complain about.
        tv::FieldCondition nothing;
        nothing.fieldName = "TOPIC";
        nothing.matchType = tv::fdMatchExact;
        nothing.value = "no topic reads like this";
        t1->setFilter({nothing});
        QCOMPARE(t1->recordCount(), 0);
        ModalAnswerer none{QMessageBox::Ok};
        s.click("btnSetBookmark");
        QTest::qWait(100);
        QVERIFY(none.texts().isEmpty());
        QVERIFY(!s.form().BookmarkSet() && !s.w("btnGotoBookmark")->isEnabled());
        t1->clearFilter();
    }

    void restoringFromMaximizedGivesTheDesignedSizeCentred()
    {
        SampleSession s({"QA.DB"});
        QWidget& w = s.form();
        w.showMaximized();
        QTRY_VERIFY(w.isMaximized());
        w.showNormal();
        QTRY_VERIFY(!w.isMaximized());
        const QRect screen = w.screen()->availableGeometry();
        QTRY_COMPARE(w.size(), QSize(640, 480));
        QVERIFY(qAbs(w.geometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(w.geometry().center().y() - screen.center().y()) <= 1);
    }

    void navigationMovesTheCurrentTable()
    {
        SampleSession s;
        s.showPage(1);
        tv::Table* t = tv::app::baseTable(1);
        QVERIFY(t->recordCount() > 12);
        s.click("btnFirst");
        QCOMPARE(t->recNo(), 0);
        for (const char* n : {"btnFirst", "btnRewind", "btnPrior"})
            QVERIFY(!s.w(n)->isEnabled());
        for (const char* n : {"btnNext", "btnForward", "btnLast"})
            QVERIFY(s.w(n)->isEnabled());
        s.click("btnForward");
        QCOMPARE(t->recNo(), 10);
        QVERIFY(s.w("btnPrior")->isEnabled());
        s.click("btnNext");
        QCOMPARE(t->recNo(), 11);
        s.click("btnLast");
        QCOMPARE(t->recNo(), t->recordCount() - 1);
        for (const char* n : {"btnNext", "btnForward", "btnLast"})
            QVERIFY(!s.w(n)->isEnabled());
        s.click("btnRewind");
        QCOMPARE(t->recNo(), t->recordCount() - 11);
        QVERIFY(s.w("btnLast")->isEnabled());
        // From row 4 a move back by 10 stops on the first row and disables the back trio.
        t->moveTo(4);
        s.click("btnRewind");
        QCOMPARE(t->recNo(), 0);
        QVERIFY(!s.w("btnPrior")->isEnabled());
    }

    void privateBaseEditing()
    {
        SampleSession s;
        s.showPage(9);
        tv::Table* t9 = tv::app::baseTable(9);
        for (const char* n : {"btnInsert", "btnDelete", "btnEditRecord", "btnPostRecord", "btnCancelEdit",
                              "btnRefreshRecord"})
            QVERIFY2(s.w(n)->isEnabled(), n);
        int64_t maxId = 0;
        for (int r = 0; r < t9->recordCount(); ++r)
            maxId = std::max<int64_t>(maxId, std::get<int64_t>(t9->valueAt(r, 0)));
        const int before = t9->recordCount();

        s.click("btnInsert");   // from grid view: switches to the record view
        QVERIFY(s.w("wwDBGrid9")->isHidden() && !s.w("Panel34")->isHidden());
        QCOMPARE(t9->state(), tv::TableState::Insert);
        QCOMPARE(t9->asInteger(0), maxId + 1);
        for (const char* n : {"btnInsert", "btnDelete", "btnEditRecord", "btnRefreshRecord"})
            QVERIFY(!s.w(n)->isEnabled());
        QVERIFY(s.w("btnPostRecord")->isEnabled() && s.w("btnCancelEdit")->isEnabled());
        s.click("btnCancelEdit");
        QCOMPARE(t9->state(), tv::TableState::Browse);
        QCOMPARE(t9->recordCount(), before);
        QVERIFY(s.w("btnInsert")->isEnabled() && !s.w("btnPostRecord")->isEnabled());

        s.click("btnInsert");
        t9->setText("Topic", "A note typed in the test");
        s.click("btnPostRecord");
        QCOMPARE(t9->state(), tv::TableState::Browse);
        QCOMPARE(t9->recordCount(), before + 1);

        // Delete answered No leaves the record and the buttons alone.
        {
            ModalAnswerer no{QMessageBox::No};
            s.click("btnDelete");
            QCOMPARE(no.texts(), QStringList{QStringLiteral("Are you sure to delete this record?")});
        }
        QCOMPARE(t9->recordCount(), before + 1);
        {
            ModalAnswerer yes{QMessageBox::Yes};
            s.click("btnDelete");
        }
        QCOMPARE(t9->recordCount(), before);

        // A failed post (the key is taken) shows the engine's error and stays in editing.
        s.click("btnInsert");
        t9->setInteger(0, maxId);
        {
            ModalAnswerer ok{QMessageBox::Ok};
            s.click("btnPostRecord");
            QCOMPARE(ok.texts().size(), 1);
            QCOMPARE(ok.captions().front(), QStringLiteral("Tipvault"));
        }
        QCOMPARE(t9->state(), tv::TableState::Insert);
        QVERIFY(s.w("btnPostRecord")->isEnabled() && s.w("btnCancelEdit")->isEnabled());
        s.click("btnCancelEdit");
        // Leaving page 9 in an edit neither posts nor cancels it.
        s.click("btnEditRecord");
        s.showPage(1);
        QCOMPARE(t9->state(), tv::TableState::Edit);
        s.showPage(9);
        QCOMPARE(t9->state(), tv::TableState::Edit);
        s.click("btnCancelEdit");
    }
};

QTEST_MAIN(PagingTest)
#include "paging_test.moc"
