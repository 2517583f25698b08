// The main window's frame: the two button rows, the menu bar, the page control and the status
// bar, and the binding of every command to its handler.

#include "app/mainform.h"
#include "app/widgets.h"
#include "controls/docklayout.h"
#include "controls/explbtn.h"
#include "controls/status.h"
#include "dbaware/dbcontrols.h"
#include "dbaware/engineguard.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>

namespace tv::app {

namespace {

struct ButtonSpec {
    const char* name;
    int x;
    int tag;
    const char* hint;
    enum { Enabled, Disabled, Hidden } state;
};

// clang-format off
constexpr ButtonSpec kToolbar[] = {
    {"btnOpen",        5,   0, "Open File",      ButtonSpec::Hidden},
    {"btnExit",        30,  0, "Exit",           ButtonSpec::Enabled},
    {"btnPrintSetup",  61,  0, "Create Report",  ButtonSpec::Hidden},
    {"btnReport",      86,  0, "Create Report",  ButtonSpec::Disabled},
    {"btnPrint",       111, 2, "Print Report",   ButtonSpec::Disabled},
    {"btnPreview",     136, 1, "Preview Report", ButtonSpec::Enabled},
    {"BtnCut",         167, 1, "Cut",            ButtonSpec::Enabled},
    {"BtnCopy",        192, 2, "Copy",           ButtonSpec::Enabled},
    {"btnPaste",       217, 3, "Paste",          ButtonSpec::Enabled},
    {"btnGridSwitch",  248, 0, "Toggle View",    ButtonSpec::Enabled},
    {"btnDBIndex",     279, 0, "Select Index ",  ButtonSpec::Enabled},
    {"btnFilter",      304, 0, "Filter",         ButtonSpec::Enabled},
    {"btnNoFilter",    328, 0, "Cancel Filter",  ButtonSpec::Enabled},
    {"btnSearch",      353, 0, "Search",         ButtonSpec::Enabled},
    {"btnLocate",      378, 0, "Locate",         ButtonSpec::Enabled},
    {"btnLocateFirst", 403, 0, "Locate First",   ButtonSpec::Enabled},
    {"btnLocateNext",  428, 0, "Locate Next",    ButtonSpec::Enabled},
    {"btnAbout",       459, 0, "About... ",      ButtonSpec::Enabled},
    {"btnHelpIndex",   484, 0, "Help Index",     ButtonSpec::Enabled},
    {"btnHelp",        509, 0, "Help",           ButtonSpec::Enabled},
    {"btnTip",         534, 0, "Tip of the Day", ButtonSpec::Enabled},
};
// The window's size when it is not maximized.
constexpr QSize kDesignedSize(640, 480);

constexpr int kToolbarSeparators[] = {57, 163, 244, 275, 455};

constexpr ButtonSpec kRecordRow[] = {
    {"btnSetBookmark",   86,  3,  "Set Bookmark",            ButtonSpec::Enabled},
    {"btnGotoBookmark",  111, 4,  "Go to Bookmark",          ButtonSpec::Disabled},
    {"BtnClearBookmark", 136, 5,  "Clear Bookmark",          ButtonSpec::Disabled},
    {"btnFirst",         167, 6,  "First Record",            ButtonSpec::Enabled},
    {"btnRewind",        192, 7,  "Move back 10 Records",    ButtonSpec::Enabled},
    {"btnPrior",         217, 8,  "Prior Record",            ButtonSpec::Enabled},
    {"btnNext",          242, 9,  "Next Record",             ButtonSpec::Enabled},
    {"btnForward",       267, 10, "Move forward 10 Records", ButtonSpec::Enabled},
    {"btnLast",          292, 11, "Last Record",             ButtonSpec::Enabled},
    {"btnInsert",        323, 12, "Append Record",           ButtonSpec::Enabled},
    {"btnDelete",        348, 13, "Delete Record",           ButtonSpec::Enabled},
    {"btnEditRecord",    373, 14, "Edit Record",             ButtonSpec::Enabled},
    {"btnPostRecord",    398, 15, "Post Record",             ButtonSpec::Disabled},
    {"btnCancelEdit",    423, 16, "Cancel Edit",             ButtonSpec::Disabled},
    {"btnRefreshRecord", 448, 17, "Refresh Records",         ButtonSpec::Enabled},
};
// clang-format on

void buildRow(QWidget* row, const ButtonSpec* begin, const ButtonSpec* end)
{
    for (const ButtonSpec* b = begin; b != end; ++b) {
        TExplorerButton* btn = flatButton(row, b->name, b->x, b->tag, QString::fromLatin1(b->hint));
        btn->setEnabled(b->state != ButtonSpec::Disabled);
        if (b->state == ButtonSpec::Hidden)
            btn->hide();
    }
}

} // namespace

void TMainForm::buildButtonRows(QWidget* central)
{
    TPanel* speed = dockedPanel(central, "SpeedPanel", alTop, 30, bvRaised);
    // It holds the focus at start, but a click on one of its buttons must not take the focus
    // from the memo pane the clipboard buttons act on.
    speed->setFocusPolicy(Qt::TabFocus);
    buildRow(speed, std::begin(kToolbar), std::end(kToolbar));
    for (int x : kToolbarSeparators)
        separator(speed, x);

    TPanel* row = dockedPanel(central, "Panel9", alTop, 29, bvRaised);
    buildRow(row, std::begin(kRecordRow), std::end(kRecordRow));
    separator(row, 163, "Panel29");
    separator(row, 319, "Panel30");
}

namespace {

QAction* entry(QMenu* menu, const char* objectName, const QString& text, int tag = 0)
{
    QAction* a = menu->addAction(text);
    if (objectName)
        name(a, objectName, tag);
    return a;
}

} // namespace

void TMainForm::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = bar->addMenu(QStringLiteral("File"));
    entry(file, "mnuPrint", QStringLiteral("Print"));
    entry(file, "mnuPrintSetup", QStringLiteral("Print Setup"));
    file->addSeparator();
    entry(file, "mnuExit", QStringLiteral("Exit"));

    QMenu* edit = bar->addMenu(QStringLiteral("Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    entry(edit, "MnuCopy", QStringLiteral("&Copy"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    entry(edit, "mnuCut", QStringLiteral("Cu&t"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    entry(edit, "MnuPaste", QStringLiteral("&Paste"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));

    QMenu* db = bar->addMenu(QStringLiteral("Database"));
    entry(db, "mnuSearch", QStringLiteral("Search"));
    entry(db, "mnuLocate", QStringLiteral("Locate"));
    entry(db, "mnuFilter", QStringLiteral("Filter"));
    entry(db, "mnuNoFilter", QStringLiteral("Cancel Filter"));
    entry(db, "mnuSort", QStringLiteral("Sort"));

    QMenu* records = bar->addMenu(QStringLiteral("Records"));
    entry(records, "mnuSetBookmark", QStringLiteral("Set Bookmark"), 3);
    entry(records, "mnuGotoBookmark", QStringLiteral("Goto Bookmark"), 4);
    entry(records, "mnuClearBookmark", QStringLiteral("Clear Bookmark"), 5);

    QMenu* reports = bar->addMenu(QStringLiteral("Reports"));
    entry(reports, "mnuPreview", QStringLiteral("Preview"));
    entry(reports, nullptr, QStringLiteral("Create"))->setEnabled(false);

    QMenu* help = bar->addMenu(QStringLiteral("Help"));
    entry(help, "mnuHelp", QStringLiteral("Help"));
    entry(help, "mnuHelpIndex", QStringLiteral("Help Index"));
    help->addSeparator();
    entry(help, "mnuAbout", QStringLiteral("About..."));
}

void TMainForm::buildPageControl(QWidget* central)
{
    m_pages = new QTabWidget(central);
    name(m_pages, "PageControl1");
    tv::setAlign(m_pages, alClient);
    QFont tabFont = arialPx(12, true);
    m_pages->tabBar()->setFont(tabFont);
    QPalette pal = m_pages->tabBar()->palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    pal.setColor(QPalette::ButtonText, Qt::black);
    m_pages->tabBar()->setPalette(pal);
    m_pages->tabBar()->setUsesScrollButtons(true);
    m_pages->tabBar()->setExpanding(false);
    for (const PageEntry& p : kPages) {
        auto* sheet = new QWidget;
        name(sheet, p.sheet, p.tab);
        m_pages->addTab(sheet, QString::fromLatin1(p.caption));
    }
}

void TMainForm::restoreDesignedSize(Qt::WindowStates oldState)
{
    // The window opens maximized, so its normal geometry would be the whole screen (and, with
    // a frame around it, its caption bar above the screen's top).
    const Qt::WindowStates notNormal = Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen;
    if (!(oldState & Qt::WindowMaximized) || (windowState() & notNormal))
        return;
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    QRect r(QPoint(), kDesignedSize);
    r.moveCenter(s->availableGeometry().center());
    setGeometry(r);
}

void TMainForm::buildStatusBar(QWidget* central)
{
    m_status = new TStatus(central);
    name(m_status, "Status1");
    m_status->resize(m_status->width(), 23);
    m_status->setBevelInner(bvLowered);
    m_status->setFont(arialPx(11));
    m_status->setCaption(QString(144, QLatin1Char(' ')));
}

namespace {

// Every command goes through the engine guard: a value it cannot read never ends the program.
template <typename Slot>
void onClick(QObject* o, TMainForm* form, Slot slot)
{
    if (auto* e = qobject_cast<TExplorerButton*>(o))
        QObject::connect(e, &TExplorerButton::OnClick, form, [form, slot, e] { guarded([&] { slot(form, e); }); });
    else if (auto* b = qobject_cast<QAbstractButton*>(o))
        QObject::connect(b, &QAbstractButton::clicked, form, [form, slot, b] { guarded([&] { slot(form, b); }); });
    else if (auto* a = qobject_cast<QAction*>(o))
        QObject::connect(a, &QAction::triggered, form, [form, slot, a] { guarded([&] { slot(form, a); }); });
}

} // namespace

void TMainForm::bindCommands()
{
    using F = TMainForm;
    // name -> handler; a handler that takes the sender gets it (Tag dispatch).
    const std::initializer_list<std::pair<const char*, void (*)(F*, QObject*)>> table = {
        {"btnOpen", [](F* f, QObject*) { f->btnOpenClick(); }},
        {"btnExit", [](F* f, QObject*) { f->ExitItemClick(); }},
        {"mnuExit", [](F* f, QObject*) { f->ExitItemClick(); }},
        {"btnPrint", [](F* f, QObject* s) { f->btnPreviewClick(s); }},
        {"btnPreview", [](F* f, QObject* s) { f->btnPreviewClick(s); }},
        {"mnuPrint", [](F* f, QObject* s) { f->btnPreviewClick(s); }},
        {"mnuPreview", [](F* f, QObject* s) { f->btnPreviewClick(s); }},
        {"mnuPrintSetup", [](F* f, QObject*) { f->mnuPrintSetupClick(); }},
        {"BtnCut", [](F* f, QObject* s) { f->ClipboardClick(s); }},
        {"BtnCopy", [](F* f, QObject* s) { f->ClipboardClick(s); }},
        {"btnPaste", [](F* f, QObject* s) { f->ClipboardClick(s); }},
        {"mnuCut", [](F* f, QObject* s) { f->ClipboardClick(s); }},
        {"MnuCopy", [](F* f, QObject* s) { f->ClipboardClick(s); }},
        {"MnuPaste", [](F* f, QObject* s) { f->ClipboardClick(s); }},
        {"btnGridSwitch", [](F* f, QObject*) { f->btnGridSwitchClick(); }},
        {"btnDBIndex", [](F* f, QObject*) { f->btnDBIndexClick(); }},
        {"mnuSort", [](F* f, QObject*) { f->btnDBIndexClick(); }},
        {"btnFilter", [](F* f, QObject*) { f->btnFilterClick(); }},
        {"mnuFilter", [](F* f, QObject*) { f->btnFilterClick(); }},
        {"btnNoFilter", [](F* f, QObject*) { f->btnNoFilterClick(); }},
        {"mnuNoFilter", [](F* f, QObject*) { f->btnNoFilterClick(); }},
        {"btnSearch", [](F* f, QObject*) { f->Find1Click(); }},
        {"mnuSearch", [](F* f, QObject*) { f->Find1Click(); }},
        {"btnLocate", [](F* f, QObject*) { f->btnLocateClick(); }},
        {"mnuLocate", [](F* f, QObject*) { f->btnLocateClick(); }},
        {"btnLocateFirst", [](F* f, QObject*) { f->btnLocateFirstClick(); }},
        {"btnLocateNext", [](F* f, QObject*) { f->btnLocateNextClick(); }},
        {"btnAbout", [](F* f, QObject*) { f->About1Click(); }},
        {"mnuAbout", [](F* f, QObject*) { f->About1Click(); }},
        {"btnHelpIndex", [](F* f, QObject*) { f->btnHelpIndexClick(); }},
        {"mnuHelpIndex", [](F* f, QObject*) { f->btnHelpIndexClick(); }},
        {"btnHelp", [](F* f, QObject*) { f->btnHelpClick(); }},
        {"mnuHelp", [](F* f, QObject*) { f->btnHelpClick(); }},
        {"btnTip", [](F* f, QObject*) { f->btnTipClick(); }},
        {"btnGO", [](F* f, QObject*) { f->btnGOClick(); }},
    };
    for (const auto& [objName, slot] : table) {
        const QString n = QString::fromLatin1(objName);
        if (QObject* o = findChild<QWidget*>(n))
            onClick(o, this, slot);
        else if (QObject* a = findChild<QAction*>(n))
            onClick(a, this, slot);
    }
    for (const char* n : {"btnSetBookmark", "btnGotoBookmark", "BtnClearBookmark", "mnuSetBookmark",
                          "mnuGotoBookmark", "mnuClearBookmark"}) {
        QObject* o = findChild<QWidget*>(QString::fromLatin1(n));
        if (!o)
            o = findChild<QAction*>(QString::fromLatin1(n));
        onClick(o, this, [](F* f, QObject* s) { f->btnSetBookmarkClick(s); });
    }
    for (const char* n : {"btnFirst", "btnRewind", "btnPrior", "btnNext", "btnForward", "btnLast", "btnInsert",
                          "btnDelete", "btnEditRecord", "btnPostRecord", "btnCancelEdit", "btnRefreshRecord"})
        onClick(findChild<QWidget*>(QString::fromLatin1(n)), this,
                [](F* f, QObject* s) { f->btnFirstClick(s); });

    connect(m_pages, &QTabWidget::currentChanged, this, [this] {
        guarded([this] {
            PageControl1Changing();
            PageControl1Change();
        });
    });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        auto inside = [this](QWidget* w) { return w && (w == m_pages || m_pages->isAncestorOf(w)); };
        // Leaving the page control means another control of this window taking the focus: a
        // dialog or message box in front, or the menu bar under the keyboard, does not count.
        if (inside(old) && now && !inside(now) && now->window() == this && now != menuBar())
            PageControl1Exit();
        // A memo hands the focus to the menu bar while its menus are used from the keyboard
        // and keeps the clipboard tools; when the focus goes on elsewhere they go off.
        if (old && old == menuBar() && !qobject_cast<DBMemo*>(now))
            SetClipboardTools(false);
    });
}

} // namespace tv::app
