// The main window's frame: the two button rows, the menu bar, the page control and the status
// bar, and the binding of every command to its handler.

#include "app/mainform.h"
#include "app/pagetable.h"
#include "app/tablewindow.h"
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

#include <span>

namespace tv::app {

namespace {

using F = TMainForm;
// A command: a handler that takes the sender gets it (Tag dispatch).
using Command = void (*)(F*, QObject*);

// How page switching treats a button (see setRecordTools).
enum class ToolRole {
    Other,      // not a record tool: left as it is
    Browse,     // on for every page with its base present
    ViewSwitch, // on where the page has a record view to switch to
    Later,      // off on every page change; the command before it turns it on
    Editing,    // on for the private base only
};

struct ButtonSpec {
    Tool id;
    const char* name;
    int x;
    int tag;
    const char* hint;
    enum { Enabled, Disabled, Hidden } state;
    ToolRole role;
    Command click;
};

constexpr Command kPreview = [](F* f, QObject* s) { f->btnPreviewClick(s); };
constexpr Command kClipboard = [](F* f, QObject* s) { f->ClipboardClick(s); };
constexpr Command kBookmark = [](F* f, QObject* s) { f->btnSetBookmarkClick(s); };
constexpr Command kRecord = [](F* f, QObject* s) { f->btnFirstClick(s); };
template <void (F::*handler)()>
constexpr Command kCall = [](F* f, QObject*) { (f->*handler)(); };

using R = ToolRole;
using B = ButtonSpec;
// clang-format off
constexpr ButtonSpec kToolbar[] = {
    {Tool::Open,        "btnOpen",        5,   0, "Open File",      B::Hidden,   R::Other,      kCall<&F::btnOpenClick>},
    {Tool::Exit,        "btnExit",        30,  0, "Exit",           B::Enabled,  R::Other,      kCall<&F::ExitItemClick>},
    {Tool::PrintSetup,  "btnPrintSetup",  61,  0, "Create Report",  B::Hidden,   R::Other,      nullptr},
    {Tool::Report,      "btnReport",      86,  0, "Create Report",  B::Disabled, R::Other,      nullptr},
    {Tool::Print,       "btnPrint",       111, 2, "Print Report",   B::Disabled, R::Browse,     kPreview},
    {Tool::Preview,     "btnPreview",     136, 1, "Preview Report", B::Enabled,  R::Browse,     kPreview},
    {Tool::Cut,         "BtnCut",         167, 1, "Cut",            B::Enabled,  R::Other,      kClipboard},
    {Tool::Copy,        "BtnCopy",        192, 2, "Copy",           B::Enabled,  R::Other,      kClipboard},
    {Tool::Paste,       "btnPaste",       217, 3, "Paste",          B::Enabled,  R::Other,      kClipboard},
    {Tool::GridSwitch,  "btnGridSwitch",  248, 0, "Toggle View",    B::Enabled,  R::ViewSwitch, kCall<&F::btnGridSwitchClick>},
    {Tool::DBIndex,     "btnDBIndex",     279, 0, "Select Index ",  B::Enabled,  R::Browse,     kCall<&F::btnDBIndexClick>},
    {Tool::Filter,      "btnFilter",      304, 0, "Filter",         B::Enabled,  R::Browse,     kCall<&F::btnFilterClick>},
    {Tool::NoFilter,    "btnNoFilter",    328, 0, "Cancel Filter",  B::Enabled,  R::Browse,     kCall<&F::btnNoFilterClick>},
    {Tool::Search,      "btnSearch",      353, 0, "Search",         B::Enabled,  R::Browse,     kCall<&F::Find1Click>},
    {Tool::Locate,      "btnLocate",      378, 0, "Locate",         B::Enabled,  R::Browse,     kCall<&F::btnLocateClick>},
    {Tool::LocateFirst, "btnLocateFirst", 403, 0, "Locate First",   B::Enabled,  R::Later,      kCall<&F::btnLocateFirstClick>},
    {Tool::LocateNext,  "btnLocateNext",  428, 0, "Locate Next",    B::Enabled,  R::Later,      kCall<&F::btnLocateNextClick>},
    {Tool::About,       "btnAbout",       459, 0, "About... ",      B::Enabled,  R::Other,      kCall<&F::About1Click>},
    {Tool::HelpIndex,   "btnHelpIndex",   484, 0, "Help Index",     B::Enabled,  R::Other,      kCall<&F::btnHelpIndexClick>},
    {Tool::Help,        "btnHelp",        509, 0, "Help",           B::Enabled,  R::Other,      kCall<&F::btnHelpClick>},
    {Tool::Tip,         "btnTip",         534, 0, "Tip of the Day", B::Enabled,  R::Other,      kCall<&F::btnTipClick>},
};
constexpr int kToolbarSeparators[] = {57, 163, 244, 275, 455};

constexpr ButtonSpec kRecordRow[] = {
    {Tool::SetBookmark,   "btnSetBookmark",   86,  tagSetBookmark,   "Set Bookmark",            B::Enabled,  R::Browse,  kBookmark},
    {Tool::GotoBookmark,  "btnGotoBookmark",  111, tagGotoBookmark,  "Go to Bookmark",          B::Disabled, R::Later,   kBookmark},
    {Tool::ClearBookmark, "BtnClearBookmark", 136, tagClearBookmark, "Clear Bookmark",          B::Disabled, R::Later,   kBookmark},
    {Tool::First,         "btnFirst",         167, tagFirst,         "First Record",            B::Enabled,  R::Browse,  kRecord},
    {Tool::Rewind,        "btnRewind",        192, tagRewind,        "Move back 10 Records",    B::Enabled,  R::Browse,  kRecord},
    {Tool::Prior,         "btnPrior",         217, tagPrior,         "Prior Record",            B::Enabled,  R::Browse,  kRecord},
    {Tool::Next,          "btnNext",          242, tagNext,          "Next Record",             B::Enabled,  R::Browse,  kRecord},
    {Tool::Forward,       "btnForward",       267, tagForward,       "Move forward 10 Records", B::Enabled,  R::Browse,  kRecord},
    {Tool::Last,          "btnLast",          292, tagLast,          "Last Record",             B::Enabled,  R::Browse,  kRecord},
    {Tool::Insert,        "btnInsert",        323, tagInsert,        "Append Record",           B::Enabled,  R::Editing, kRecord},
    {Tool::Delete,        "btnDelete",        348, tagDelete,        "Delete Record",           B::Enabled,  R::Editing, kRecord},
    {Tool::EditRecord,    "btnEditRecord",    373, tagEdit,          "Edit Record",             B::Enabled,  R::Editing, kRecord},
    {Tool::PostRecord,    "btnPostRecord",    398, tagPost,          "Post Record",             B::Disabled, R::Editing, kRecord},
    {Tool::CancelEdit,    "btnCancelEdit",    423, tagCancel,        "Cancel Edit",             B::Disabled, R::Editing, kRecord},
    {Tool::RefreshRecord, "btnRefreshRecord", 448, tagRefresh,       "Refresh Records",         B::Enabled,  R::Editing, kRecord},
};
// clang-format on

// Whether a record tool is on when a page with that tool set becomes active.
bool toolOn(RecordToolSet set, ToolRole role)
{
    if (set == RecordToolSet::None)
        return false;
    switch (role) {
    case ToolRole::ViewSwitch: return set != RecordToolSet::BrowseGrid;
    case ToolRole::Later: return false;
    case ToolRole::Editing: return set == RecordToolSet::Edit;
    default: return true;
    }
}

// Calls `command` with the sender on a click of a button or a pick of a menu entry. Every
// command goes through the engine guard: a value it cannot read never ends the program.
void onClick(TExplorerButton* b, F* form, Command command)
{
    QObject::connect(b, &TExplorerButton::OnClick, form, [form, command, b] { guarded([&] { command(form, b); }); });
}

void onClick(QAction* a, F* form, Command command)
{
    QObject::connect(a, &QAction::triggered, form, [form, command, a] { guarded([&] { command(form, a); }); });
}

} // namespace

void TMainForm::setRecordTools(RecordToolSet set)
{
    for (const std::span<const ButtonSpec> row : {std::span<const ButtonSpec>(kToolbar), std::span<const ButtonSpec>(kRecordRow)})
        for (const ButtonSpec& b : row)
            if (b.role != ToolRole::Other)
                button(b.id)->setEnabled(toolOn(set, b.role));
}

void TMainForm::buildButtonRows(QWidget* central)
{
    TPanel* speed = dockedPanel(central, "SpeedPanel", alTop, 30, bvRaised);
    // It holds the focus at start, but a click on one of its buttons must not take the focus
    // from the memo pane the clipboard buttons act on.
    speed->setFocusPolicy(Qt::TabFocus);
    m_speedPanel = speed;
    auto buildRow = [this](QWidget* row, const auto& specs) {
        for (const ButtonSpec& b : specs) {
            TExplorerButton* btn = flatButton(row, b.name, b.x, b.tag, QString::fromLatin1(b.hint));
            btn->setEnabled(b.state != ButtonSpec::Disabled);
            if (b.state == ButtonSpec::Hidden)
                btn->hide();
            if (b.click)
                onClick(btn, this, b.click);
            m_buttons[static_cast<size_t>(b.id)] = btn;
        }
    };
    buildRow(speed, kToolbar);
    for (int x : kToolbarSeparators)
        separator(speed, x);

    TPanel* row = dockedPanel(central, "Panel9", alTop, 29, bvRaised);
    buildRow(row, kRecordRow);
    separator(row, 163, "Panel29");
    separator(row, 319, "Panel30");
}

namespace {

QAction* entry(QMenu* menu, const char* objectName, const QString& text, F* form, Command command, int tag = 0)
{
    QAction* a = menu->addAction(text);
    if (objectName)
        name(a, objectName, tag);
    if (command)
        onClick(a, form, command);
    return a;
}

} // namespace

void TMainForm::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = bar->addMenu(QStringLiteral("File"));
    entry(file, "mnuPrint", QStringLiteral("Print"), this, kPreview);
    entry(file, "mnuPrintSetup", QStringLiteral("Print Setup"), this, kCall<&F::mnuPrintSetupClick>);
    file->addSeparator();
    entry(file, "mnuExit", QStringLiteral("Exit"), this, kCall<&F::ExitItemClick>);
    // Any table file, opened in a window of its own; Export of what a base page shows.
    addTableCommands(file, this, [this]() -> const tv::Table* {
        const int tab = activePage();
        return isBasePage(tab) ? pageTable(tab) : nullptr;
    });

    QMenu* edit = bar->addMenu(QStringLiteral("Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    m_clipboardEntries[1] = entry(edit, "MnuCopy", QStringLiteral("&Copy"), this, kClipboard);
    m_clipboardEntries[0] = entry(edit, "mnuCut", QStringLiteral("Cu&t"), this, kClipboard);
    m_clipboardEntries[2] = entry(edit, "MnuPaste", QStringLiteral("&Paste"), this, kClipboard);
    m_clipboardEntries[0]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    m_clipboardEntries[1]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    m_clipboardEntries[2]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));

    QMenu* db = bar->addMenu(QStringLiteral("Database"));
    entry(db, "mnuSearch", QStringLiteral("Search"), this, kCall<&F::Find1Click>);
    entry(db, "mnuLocate", QStringLiteral("Locate"), this, kCall<&F::btnLocateClick>);
    entry(db, "mnuFilter", QStringLiteral("Filter"), this, kCall<&F::btnFilterClick>);
    entry(db, "mnuNoFilter", QStringLiteral("Cancel Filter"), this, kCall<&F::btnNoFilterClick>);
    entry(db, "mnuSort", QStringLiteral("Sort"), this, kCall<&F::btnDBIndexClick>);

    QMenu* records = bar->addMenu(QStringLiteral("Records"));
    entry(records, "mnuSetBookmark", QStringLiteral("Set Bookmark"), this, kBookmark, tagSetBookmark);
    entry(records, "mnuGotoBookmark", QStringLiteral("Goto Bookmark"), this, kBookmark, tagGotoBookmark);
    entry(records, "mnuClearBookmark", QStringLiteral("Clear Bookmark"), this, kBookmark, tagClearBookmark);

    QMenu* reports = bar->addMenu(QStringLiteral("Reports"));
    entry(reports, "mnuPreview", QStringLiteral("Preview"), this, kPreview);
    entry(reports, nullptr, QStringLiteral("Create"), this, nullptr)->setEnabled(false);

    QMenu* help = bar->addMenu(QStringLiteral("Help"));
    entry(help, "mnuHelp", QStringLiteral("Help"), this, kCall<&F::btnHelpClick>);
    entry(help, "mnuHelpIndex", QStringLiteral("Help Index"), this, kCall<&F::btnHelpIndexClick>);
    help->addSeparator();
    entry(help, "mnuAbout", QStringLiteral("About..."), this, kCall<&F::About1Click>);
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

void TMainForm::bindCommands()
{
    if (DataSource* notes = baseDataSource(kPrivateBase))
        connect(notes, &DataSource::stateChanged, this, &TMainForm::privateStateChanged);
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
