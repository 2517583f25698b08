// The main window's inventory: every named control with its Tag, hint, place and initial state;
// menus with their entries and shortcuts; pages, grids, record panes, notices, search page.

#include "apptest.h"

#include "data/catalogue.h"
#include "controls/explbtn.h"
#include "controls/rzlabel.h"
#include "controls/status.h"
#include "controls/winsplit.h"
#include "dbaware/dbcontrols.h"
#include "dbaware/dbgrid.h"

#include <QAction>
#include <QButtonGroup>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

using namespace apptest;
using tv::app::TMainForm;

class InventoryTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        initApplication();
        m_s = std::make_unique<SampleSession>();
    }
    void cleanupTestCase() { m_s.reset(); }

    void buttonRowsHaveTheirPlacesTagsHintsAndStartStates()
    {
        struct B {
            const char* name;
            const char* row;
            int x, tag;
            const char* hint;
            bool enabled, hidden;
        };
        // After creation: Cut, Copy, Paste and the 25 record tools are disabled.
        const B buttons[] = {
            {"btnOpen", "SpeedPanel", 5, 0, "Open File", true, true},
            {"btnExit", "SpeedPanel", 30, 0, "Exit", true, false},
            {"btnPrintSetup", "SpeedPanel", 61, 0, "Create Report", true, true},
            {"btnReport", "SpeedPanel", 86, 0, "Create Report", false, false},
            {"btnPrint", "SpeedPanel", 111, 2, "Print Report", false, false},
            {"btnPreview", "SpeedPanel", 136, 1, "Preview Report", false, false},
            {"BtnCut", "SpeedPanel", 167, 1, "Cut", false, false},
            {"BtnCopy", "SpeedPanel", 192, 2, "Copy", false, false},
            {"btnPaste", "SpeedPanel", 217, 3, "Paste", false, false},
            {"btnGridSwitch", "SpeedPanel", 248, 0, "Toggle View", false, false},
            {"btnDBIndex", "SpeedPanel", 279, 0, "Select Index ", false, false},
            {"btnFilter", "SpeedPanel", 304, 0, "Filter", false, false},
            {"btnNoFilter", "SpeedPanel", 328, 0, "Cancel Filter", false, false},
            {"btnSearch", "SpeedPanel", 353, 0, "Search", false, false},
            {"btnLocate", "SpeedPanel", 378, 0, "Locate", false, false},
            {"btnLocateFirst", "SpeedPanel", 403, 0, "Locate First", false, false},
            {"btnLocateNext", "SpeedPanel", 428, 0, "Locate Next", false, false},
            {"btnAbout", "SpeedPanel", 459, 0, "About... ", true, false},
            {"btnHelpIndex", "SpeedPanel", 484, 0, "Help Index", true, false},
            {"btnHelp", "SpeedPanel", 509, 0, "Help", true, false},
            {"btnTip", "SpeedPanel", 534, 0, "Tip of the Day", true, false},
            {"btnSetBookmark", "Panel9", 86, 3, "Set Bookmark", false, false},
            {"btnGotoBookmark", "Panel9", 111, 4, "Go to Bookmark", false, false},
            {"BtnClearBookmark", "Panel9", 136, 5, "Clear Bookmark", false, false},
            {"btnFirst", "Panel9", 167, 6, "First Record", false, false},
            {"btnRewind", "Panel9", 192, 7, "Move back 10 Records", false, false},
            {"btnPrior", "Panel9", 217, 8, "Prior Record", false, false},
            {"btnNext", "Panel9", 242, 9, "Next Record", false, false},
            {"btnForward", "Panel9", 267, 10, "Move forward 10 Records", false, false},
            {"btnLast", "Panel9", 292, 11, "Last Record", false, false},
            {"btnInsert", "Panel9", 323, 12, "Append Record", false, false},
            {"btnDelete", "Panel9", 348, 13, "Delete Record", false, false},
            {"btnEditRecord", "Panel9", 373, 14, "Edit Record", false, false},
            {"btnPostRecord", "Panel9", 398, 15, "Post Record", false, false},
            {"btnCancelEdit", "Panel9", 423, 16, "Cancel Edit", false, false},
            {"btnRefreshRecord", "Panel9", 448, 17, "Refresh Records", false, false},
        };
        for (const B& b : buttons) {
            auto* btn = qobject_cast<tv::TExplorerButton*>(m_s->w(b.name));
            QVERIFY2(btn, b.name);
            QCOMPARE(btn->parentWidget()->objectName(), QString::fromLatin1(b.row));
            QCOMPARE(btn->geometry(), QRect(b.x, 2, 25, 25));
            QCOMPARE(btn->property("Tag").toInt(), b.tag);
            QCOMPARE(btn->toolTip(), QString::fromLatin1(b.hint));
            QCOMPARE(btn->statusTip(), QString::fromLatin1(b.hint));
            QVERIFY2(btn->isEnabled() == b.enabled, b.name);
            QVERIFY2(btn->isHidden() == b.hidden, b.name);
            QVERIFY2(!btn->Bitmap().isNull(), b.name);
        }
        QCOMPARE(m_s->w("SpeedPanel")->height(), 30);
        QCOMPARE(m_s->w("Panel9")->height(), 29);
        QCOMPARE(m_s->w("SpeedPanel")->y() + 30, m_s->w("Panel9")->y());
        QCOMPARE(m_s->w("Panel29")->geometry(), QRect(163, 2, 2, 26));
        QCOMPARE(m_s->w("Panel30")->geometry(), QRect(319, 2, 2, 26));
        QCOMPARE(m_s->form().windowTitle(), QStringLiteral("Tipvault"));
        QCOMPARE(m_s->form().objectName(), QStringLiteral("MainForm"));
    }

    // At rest an enabled button's picture is clearly stronger than the same picture disabled,
    // so that nobody reads an enabled button as a disabled one.
    void enabledPicturesAtRestAreStrongerThanDisabledOnes()
    {
        // How much darker than the button face the picture's pixels are, all together.
        auto ink = [](QWidget* b) {
            const QImage img = b->grab().toImage();
            const int face = qGray(b->palette().color(QPalette::Button).rgb());
            qint64 sum = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    sum += std::max(0, face - qGray(img.pixel(x, y)));
            return sum;
        };
        for (const char* n : {"btnInsert", "btnDelete", "btnEditRecord", "btnPostRecord", "btnCancelEdit",
                              "btnRefreshRecord", "btnFirst", "btnFilter"}) {
            QWidget* b = m_s->w(n);
            QVERIFY2(!b->isEnabled(), n);
            const qint64 disabled = ink(b);
            b->setEnabled(true);
            const qint64 atRest = ink(b);
            b->setEnabled(false);
            QVERIFY2(atRest > disabled * 3 / 2, qPrintable(QStringLiteral("%1: %2 at rest, %3 disabled").arg(n).arg(atRest).arg(disabled)));
        }
    }

    void menusHaveTheirEntriesTagsAndShortcuts()
    {
        QMenuBar* bar = m_s->form().menuBar();
        QStringList titles;
        for (QAction* a : bar->actions())
            titles << a->text();
        QCOMPARE(titles, (QStringList{"File", "Edit", "Database", "Records", "Reports", "Help"}));

        struct E {
            const char* menu;
            const char* name;
            const char* text;
            int tag;
            QKeySequence key;
        };
        const E entries[] = {
            {"File", "mnuPrint", "Print", 0, {}},
            {"File", "mnuPrintSetup", "Print Setup", 0, {}},
            {"File", "mnuExit", "Exit", 0, {}},
            {"Edit", "MnuCopy", "&Copy", 0, QKeySequence(Qt::CTRL | Qt::Key_C)},
            {"Edit", "mnuCut", "Cu&t", 0, QKeySequence(Qt::CTRL | Qt::Key_X)},
            {"Edit", "MnuPaste", "&Paste", 0, QKeySequence(Qt::CTRL | Qt::Key_V)},
            {"Database", "mnuSearch", "Search", 0, {}},
            {"Database", "mnuLocate", "Locate", 0, {}},
            {"Database", "mnuFilter", "Filter", 0, {}},
            {"Database", "mnuNoFilter", "Cancel Filter", 0, {}},
            {"Database", "mnuSort", "Sort", 0, {}},
            {"Records", "mnuSetBookmark", "Set Bookmark", 3, {}},
            {"Records", "mnuGotoBookmark", "Goto Bookmark", 4, {}},
            {"Records", "mnuClearBookmark", "Clear Bookmark", 5, {}},
            {"Reports", "mnuPreview", "Preview", 0, {}},
            {"Help", "mnuHelp", "Help", 0, {}},
            {"Help", "mnuHelpIndex", "Help Index", 0, {}},
            {"Help", "mnuAbout", "About...", 0, {}},
        };
        for (const E& e : entries) {
            QAction* a = m_s->action(e.name);
            QVERIFY2(a, e.name);
            QCOMPARE(a->text(), QString::fromLatin1(e.text));
            QCOMPARE(a->property("Tag").toInt(), e.tag);
            QCOMPARE(a->shortcut(), e.key);
            QVERIFY(a->statusTip().isEmpty());
            auto* menu = qobject_cast<QMenu*>(a->parent());
            QVERIFY2(menu && menu->title() == QLatin1String(e.menu), e.name);
            // Only the clipboard entries start disabled.
            const bool clipboard = QByteArray(e.menu) == "Edit";
            QCOMPARE(a->isEnabled(), !clipboard);
        }
        QCOMPARE(m_s->form().findChild<QMenu*>(QStringLiteral("mnuEdit"))->title(), QStringLiteral("Edit"));
        // "Create" in the Reports menu stays disabled.
        QAction* create = nullptr;
        for (QAction* a : m_s->form().findChildren<QAction*>())
            if (a->text() == QLatin1String("Create"))
                create = a;
        QVERIFY(create && !create->isEnabled());
    }

    void pagesGridsAndColumnLists()
    {
        auto* pc = m_s->form().findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        QVERIFY(pc);
        QCOMPARE(pc->count(), 11);
        QCOMPARE(pc->currentIndex(), 0);
        const char* captions[] = {"Sweep", "DTopics", "DBK", "Delphi News", "CompuServe", "DSP",
                                  "SWAG",  "Books",   "TI/FQA", "Private", "Info"};
        for (int i = 0; i < 11; ++i) {
            QCOMPARE(pc->tabText(i), QString::fromLatin1(captions[i]));
            QCOMPARE(pc->widget(i)->objectName(), QStringLiteral("TabSheet%1").arg(i));
            QCOMPARE(pc->widget(i)->property("Tag").toInt(), i);
        }
        QVERIFY(pc->tabBar()->font().bold());
        QCOMPARE(pc->tabBar()->font().pixelSize(), 12);

        for (const auto& e : tv::app::kPages) {
            if (!tv::app::isBasePage(e.tab))
                continue;
            auto* grid = qobject_cast<tv::DBGrid*>(m_s->w(e.grid));
            QVERIFY2(grid, e.grid);
            QVERIFY(grid->parentWidget() == pc->widget(e.tab));
            QCOMPARE(grid->property("Tag").toInt(), e.base);
            QVERIFY(!grid->isHidden());
            QCOMPARE(grid->isReadOnly(), e.tab != tv::app::kPrivatePage);
            QVERIFY(grid->dataSource() != nullptr);
            // Every visible field of the base shows, in the catalogue's order, with its label and width.
            tv::GridModel* model = grid->gridModel();
            int col = 0;
            for (const tv::data::FieldDecl& f : tv::data::baseByNumber(e.base)->fields) {
                if (!f.visible)
                    continue;
                const QString title = QString::fromLatin1(tv::data::displayLabel(f));
                QCOMPARE(model->fieldNameOf(col).toUpper(), QString::fromLatin1(f.name).toUpper());
                QCOMPARE(model->headerData(col, Qt::Horizontal).toString(), title);
                QCOMPARE(model->widthOf(col), f.displayWidth);
                // Real values as long as the declared width, and the title, show unelided.
                const int room = grid->columnWidth(col) - 1;   // less the grid line
                QVERIFY(QFontMetrics(grid->horizontalHeader()->font()).horizontalAdvance(title) + 6 <= room);
                for (int row = 0; row < std::min(model->rowCount(), 400); ++row) {
                    const QModelIndex cell = model->index(row, col);
                    if (cell.data().toString().size() <= f.displayWidth)
                        QVERIFY2(grid->sizeHintForIndex(cell).width() <= room,
                                 qPrintable(e.grid + QStringLiteral(": ") + cell.data().toString()));
                }
                ++col;
            }
            QCOMPARE(model->columnCount(), col);
            if (e.recordPane)
                QVERIFY2(m_s->w(e.recordPane)->isHidden(), e.recordPane);
        }
        QVERIFY(m_s->w("wwDBGrid3")->font().pixelSize() == 11);
    }

    void recordPanesHaveTheirFieldsWidthsAndSplitters()
    {
        const std::pair<const char*, int> panels[] = {{"Panel4", 262}, {"Panel5", 272}, {"Panel25", 320},
                                                      {"Panel8", 320}, {"Panel14", 463}, {"Panel35", 296}};
        // The forum's panel grows so that a name and a CIS ID fit whole beside each other.
        for (const auto& [n, width] : panels)
            QVERIFY2(QByteArray(n) == "Panel8" ? m_s->w(n)->width() >= width : m_s->w(n)->width() == width, n);
        const std::pair<const char*, const char*> splits[] = {{"WinSplit2", "Panel4"},   {"WinSplit1", "Panel5"},
                                                              {"WinSplit3", "DBMemo2a"}, {"WinSplit7", "Panel25"},
                                                              {"WinSplit4", "Panel8"},   {"WinSplit6", "Panel14"},
                                                              {"WinSplit8", "Panel35"}};
        for (const auto& [n, target] : splits) {
            auto* s = qobject_cast<tv::TWinSplit*>(m_s->w(n));
            QVERIFY2(s && s->TargetControl() == m_s->w(target), n);
            QCOMPARE(s->Vertical() ? s->width() : s->height(), 3);
        }
        QCOMPARE(m_s->w("DBMemo2a")->height(), 61);
        QCOMPARE(m_s->w("DBMemo5")->size(), QSize(292, 99));

        const std::pair<const char*, const char*> memos[] = {{"DBMemo1", "DESCRIPTION"}, {"DBMemo2a", "Q"},
                                                             {"DBMemo2", "A"},           {"DBMemo3", "INFO"},
                                                             {"DBMemo4", "Comments"},    {"DBMemo5", "Description"},
                                                             {"DBMemo7", "Comments"},    {"DBMemo9", "Description"}};
        for (const auto& [n, field] : memos) {
            auto* m = qobject_cast<tv::DBMemo*>(m_s->w(n));
            QVERIFY2(m, n);
            QCOMPARE(m->dataField(), QString::fromLatin1(field));
            QCOMPARE(m->isReadOnly(), QByteArray(n) != "DBMemo9");
        }
        // Page 4's named field boxes, their fields and widths; all read-only.
        struct F {
            const char* name;
            const char* field;
            int width;
        };
        const F forum[] = {{"EditSection", "Section", 47},   {"EditTitle", "Title", 271},
                           {"EditCISName", "CIS Name", 160}, {"EditCISID", "CIS ID", 76},
                           {"EditFileName", "File Name", 75}, {"EditFileType", "File Type", 75},
                           {"EditFileSize", "File Size", 65}, {"EditDLCount", "DL Count", 75},
                           {"EditULDate", "UL Date", 75},   {"EditUpdate", "Update", 65},
                           {"EditForum", "Forum", 75},      {"DBEdit1", "Keywords", 288}};
        for (const F& f : forum) {
            auto* e = qobject_cast<tv::DBEdit*>(m_s->w(f.name));
            QVERIFY2(e, f.name);
            QCOMPARE(e->dataField(), QString::fromLatin1(f.field));
            QVERIFY2(e->width() >= f.width, f.name);   // wider where its values need it
            QVERIFY(e->isReadOnly());
        }
        // Every field box of pages 1 to 7 refuses typing; on page 9 all but "Number:" take it.
        for (int tab : {1, 2, 3, 4, 5, 7}) {
            const auto& e = tv::app::kPages[static_cast<size_t>(tab)];
            for (auto* edit : m_s->w(e.recordPane)->findChildren<tv::DBEdit*>())
                QVERIFY2(edit->isReadOnly(), qPrintable(edit->objectName()));
        }
        for (auto* edit : m_s->w("Panel34")->findChildren<tv::DBEdit*>())
            QVERIFY2(!edit->isReadOnly(), qPrintable(edit->objectName()));
        QVERIFY(qobject_cast<tv::DBText*>(m_s->w("DBText1")));
        QCOMPARE(qobject_cast<tv::DBText*>(m_s->w("DBText1"))->dataField(), QStringLiteral("ID"));
        QVERIFY(qobject_cast<tv::DBComboDlg*>(m_s->w("wwDBComboDlg1")));
        QVERIFY(m_s->w("wwDBComboDlg1")->width() >= 121 && m_s->w("wwDBComboDlg1")->height() == 23);
        auto* cat = qobject_cast<tv::DBComboBox*>(m_s->w("wwDBComboBox1"));
        QVERIFY(cat && cat->count() == 19 && cat->itemText(18) == QLatin1String("3rd Party Products"));
        QCOMPARE(cat->maxVisibleItems(), 8);
        auto* delphi = qobject_cast<tv::DBComboBox*>(m_s->w("wwDBComboBox2"));
        QVERIFY(delphi && delphi->count() == 4 && delphi->itemText(3) == QLatin1String("General"));
        // The combos show the record's own values from the start, not their first items.
        tv::Table* notes = tv::app::baseTable(9);
        QCOMPARE(cat->currentText(), QString::fromStdString(notes->displayText("Category")));
        QCOMPARE(delphi->currentText(), QString::fromStdString(notes->displayText("Delphi")));

        // Books page: cover picture, fixed picture, rating pictures (already showing the first
        // book's ratings, since the first filling of the page counts as a change), hidden edits.
        QCOMPARE(m_s->w("DBImage2")->size(), QSize(180, 220));
        QCOMPARE(m_s->w("Image0")->size(), QSize(101, 132));
        for (int i = 1; i <= 20; ++i) {
            QWidget* img = m_s->w(qPrintable(QStringLiteral("Image%1").arg(i)));
            QVERIFY(img && img->size() == QSize(20, 19));
            QCOMPARE(img->geometry().topLeft(),
                     QPoint(QList<int>{338, 358, 379, 399, 419}[(i - 1) % 5], QList<int>{159, 186, 214, 241}[(i - 1) / 5]));
        }
        for (const char* n : {"DBEdit5", "DBEdit6", "DBEdit7", "DBEdit8", "EditLevel"})
            QVERIFY2(m_s->w(n) && m_s->w(n)->isHidden(), n);
        QVERIFY(m_s->w("Label45"));
        QVERIFY(!m_s->w("TabSheet6")->findChild<tv::DBMemo*>());
    }

    void missingBaseNoticesCarryTheirTexts()
    {
        for (const auto& c : tv::app::kPages) {
            if (!tv::app::isBasePage(c.tab))
                continue;
            auto* a = qobject_cast<tv::TRzLabel*>(m_s->w(c.missingA));
            auto* b = qobject_cast<tv::TRzLabel*>(m_s->w(c.missingB));
            QVERIFY2(a && b, c.missingA);
            QCOMPARE(a->Caption(), QString::fromUtf8(c.noticeA));
            QCOMPARE(b->Caption(), QString::fromUtf8(c.noticeB));
            QCOMPARE(a->geometry(), QRect(147, 59, 360, 63));
            QCOMPARE(b->size(), QSize(360, 31));
            QVERIFY(b->x() >= 146 && b->x() <= 174 && b->y() >= 133 && b->y() <= 138);
            QCOMPARE(a->TextStyle(), tv::TRzLabel::tsShadow);
            QCOMPARE(b->TextStyle(), tv::TRzLabel::tsRaised);
            QCOMPARE(a->font().italic(), c.tab == 7);
            QCOMPARE(b->font().pixelSize(), 32);
            QVERIFY(a->WordWrap());
        }
        QCOMPARE(qobject_cast<tv::TRzLabel*>(m_s->w("Missing1a"))->Caption(),
                 QStringLiteral("You can receive the \"Delphi Topics\" database on Compuserve. Look in Delphi32 for "
                                "\"dtopics2.zip\" file."));
        QCOMPARE(qobject_cast<tv::TRzLabel*>(m_s->w("Missing9a"))->Caption(),
                 QStringLiteral("Ooopps! Looks like you are missing your personal database. Try to install "
                                "\"Tipvault\" again."));
        QVERIFY(qobject_cast<tv::TRzLabel*>(m_s->w("Missing2a"))->Caption().startsWith(
            QStringLiteral("You can receive the \"Delphi Knowledge Base\" database on the Web. Look at ")));
        QVERIFY(qobject_cast<tv::TRzLabel*>(m_s->w("Missing3a"))->Caption().startsWith(
            QStringLiteral("You can receive the \"Delphi News\" database on the Web. Look for \"delpnews.zip\" at ")));
        auto* m8 = qobject_cast<tv::TRzLabel*>(m_s->w("Missing8a"));
        QVERIFY(m8 && m8->Caption() == QLatin1String("Sorry, not available yet....."));
        QCOMPARE(m8->size(), QSize(360, 63));
    }

    void searchPageControls()
    {
        QWidget* panel = m_s->w("Panel24");
        QCOMPARE(panel->size(), QSize(620, 324));   // centred on the screen from the start (paging test)
        struct G {
            const char* name;
            int x;
            QStringList items;
        };
        const QStringList six = {"Nothing", "Topic", "Category", "Keywords", "Description", "Delphi"};
        const G groups[] = {
            {"rgpDTopics", 20, six},
            {"rgpDKB", 103, six},
            {"rgpDNews", 187, {"Nothing", "Topic", "Keywords", "Description", "Name"}},
            {"rgpCSI", 271, {"Nothing", "Title", "Keywords", "Comments", "Name"}},
            {"rgpDSP", 354, {"Nothing", "File", "Category", "Description", "Delphi", "Name"}},
            {"rgpSWAG", 438, {"Nothing", "Subject", "Library", "Name"}},
            {"rgpPrivate", 522, {"Nothing", "Topic", "Category", "Keywords", "Description", "Delphi", "Name"}},
        };
        for (const G& g : groups) {
            auto* box = qobject_cast<QGroupBox*>(m_s->w(g.name));
            QVERIFY2(box, g.name);
            QCOMPARE(box->geometry(), QRect(g.x, 43, 85, 168));
            QVERIFY(box->isEnabled());
            auto* items = box->findChild<QButtonGroup*>();
            QStringList texts;
            for (QAbstractButton* b : items->buttons())
                texts << b->text();
            QCOMPARE(texts, g.items);
            QCOMPARE(items->checkedId(), 0);
        }
        auto* type = qobject_cast<QGroupBox*>(m_s->w("rgpSearch"));
        QCOMPARE(type->title(), QStringLiteral("Search Type"));
        QCOMPARE(type->geometry(), QRect(253, 219, 160, 82));
        QCOMPARE(type->findChild<QButtonGroup*>()->checkedId(), 2);
        QCOMPARE(type->findChild<QButtonGroup*>()->button(2)->text(), QStringLiteral("Partial match Anywhere"));
        auto* ed = qobject_cast<QLineEdit*>(m_s->w("edSweep"));
        QVERIFY(ed && ed->text().isEmpty() && ed->geometry() == QRect(88, 245, 146, 23));
        auto* go = qobject_cast<QPushButton*>(m_s->w("btnGO"));
        QVERIFY(go && go->text() == QLatin1String("  GO!!!") && !go->icon().isNull());
        QCOMPARE(go->geometry(), QRect(433, 245, 73, 25));
        QCOMPARE(qobject_cast<QLabel*>(m_s->w("Label46"))->text(), QStringLiteral("You're looking for:"));

        QCOMPARE(m_s->w("Panel39")->size(), QSize(600, 317));
        auto* forum = qobject_cast<QGroupBox*>(m_s->w("rgpDelphi"));
        QVERIFY(forum && forum->title() == QLatin1String("Forum") && forum->geometry() == QRect(325, 1, 149, 30));
        QCOMPARE(forum->findChild<QButtonGroup*>()->checkedId(), 1);
    }

    void hintGoesToTheStatusBar()
    {
        auto* status = qobject_cast<tv::TStatus*>(m_s->w("Status1"));
        QVERIFY(status);
        QCOMPARE(status->height(), 23);
        QVERIFY(status->Caption().trimmed().isEmpty());
        QWidget* toggle = m_s->w("btnGridSwitch");
        QTest::mouseMove(toggle, toggle->rect().center());
        QTRY_COMPARE(status->Caption(), QStringLiteral(" Toggle View"));
        QWidget* page = m_s->w("TabSheet0");
        QTest::mouseMove(page, QPoint(700, 400));
        QTRY_COMPARE(status->Caption().trimmed(), QString());
        // A direct hint change reaches the same caption.
        m_s->form().ShowHint(QStringLiteral("Exit"));
        QCOMPARE(status->Caption(), QStringLiteral(" Exit"));
    }

private:
    std::unique_ptr<SampleSession> m_s;
};

QTEST_MAIN(InventoryTest)
#include "inventory_test.moc"
