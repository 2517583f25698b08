// Page switching: record tools per page, the table navigation acts on, missing-base notices
// and their centring, the search page's groups, and grid view versus record view.

#include "app/mainform.h"
#include "app/sweeptable.h"
#include "platform/platform.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QButtonGroup>
#include <QEvent>
#include <QGroupBox>
#include <QTabWidget>

namespace tv::app {

namespace {

// The 25 record tools, in the order of the table of tool states below.
constexpr const char* kRecordTools[] = {
    "btnPrint",  "btnPreview",     "btnGridSwitch",   "btnDBIndex",     "btnFilter",
    "btnNoFilter", "btnSearch",    "btnLocate",       "btnLocateFirst", "btnLocateNext",
    "btnSetBookmark", "btnGotoBookmark", "BtnClearBookmark", "btnFirst", "btnRewind",
    "btnPrior",  "btnNext",        "btnForward",      "btnLast",        "btnInsert",
    "btnDelete", "btnEditRecord",  "btnPostRecord",   "btnCancelEdit",  "btnRefreshRecord",
};

bool toolOn(RecordToolSet set, int i)
{
    if (set == RecordToolSet::None)
        return false;
    if (i == 2)   // grid switch
        return set != RecordToolSet::BrowseGrid;
    if (i == 8 || i == 9 || i == 11 || i == 12)   // locate first/next, go to/clear bookmark
        return false;
    if (i >= 19)  // editing buttons
        return set == RecordToolSet::Edit;
    return true;
}

} // namespace

int TMainForm::activePage() const
{
    return m_pages->currentIndex();
}

int TMainForm::pageBase(int tab) const
{
    const PageEntry& e = kPages[static_cast<size_t>(tab)];
    if (e.altBase == 0)
        return e.base;
    auto* group = findChild<QButtonGroup*>(QStringLiteral("rgpDelphiItems"));
    return group && group->checkedId() == 1 ? e.base : e.altBase;
}

tv::Table* TMainForm::pageTable(int tab) const
{
    if (!isBasePage(tab))
        return nullptr;
    return baseTable(pageBase(tab));
}

bool TMainForm::gridVisible(int tab) const
{
    const char* g = kPages[static_cast<size_t>(tab)].grid;
    QWidget* w = g ? control(g) : nullptr;
    return w && !w->isHidden();
}

void TMainForm::DisableRecordTools()
{
    setRecordTools(RecordToolSet::None);
}

void TMainForm::setRecordTools(RecordToolSet set)
{
    for (int i = 0; i < static_cast<int>(std::size(kRecordTools)); ++i)
        control(kRecordTools[i])->setEnabled(toolOn(set, i));
}

void TMainForm::setButtonsEnabled(std::initializer_list<const char*> names, bool enabled)
{
    for (const char* n : names)
        control(n)->setEnabled(enabled);
}

void TMainForm::centreHorizontally(QWidget* w) const
{
    const QSize screen = tv::platform::screenSize();
    if (screen.width() > 640)
        w->move((screen.width() - 360) / 2, w->y());
}

void TMainForm::centrePanel(QWidget* w) const
{
    const QSize screen = tv::platform::screenSize();
    int x = w->x(), y = w->y();
    if (screen.width() > 640)
        x = (screen.width() - 620) / 2;
    if (screen.height() > 480)
        y = (screen.height() - 480) / 2 - 70;
    w->move(x, y);
}

void TMainForm::releaseBookmark()
{
    if (!m_bookmarkSet)
        return;
    m_bookmarkSet = false;
    if (m_bookmarkTable && m_bookmarkTable->isOpen())
        m_bookmarkTable->freeBookmark(m_bookmark);
    m_bookmarkTable = nullptr;
    m_bookmark = {};
}

void TMainForm::PageControl1Changing()
{
    releaseBookmark();
}

void TMainForm::PageControl1Exit()
{
    if (!m_bookmarkSet)
        return;
    releaseBookmark();
    // The tools of a bookmark that is gone do nothing any more.
    setButtonsEnabled({"btnGotoBookmark", "BtnClearBookmark"}, false);
}

void TMainForm::PageControl1Change()
{
    const int tab = activePage();
    const PageEntry& e = kPages[static_cast<size_t>(tab)];
    m_lastPage = tab;

    if (tab == kSweepPage) {
        DisableRecordTools();
        centrePanel(control("Panel24"));
        for (const SweepBase& b : kSweepBases)
            if (!basePresent(b.base))
                control(b.group)->setEnabled(false);
        return;
    }
    if (tab == kInfoPage) {
        DisableRecordTools();
        QWidget* info = control("Panel39");
        centrePanel(info);
        // On a low screen the centring lifts the panel above the page, and its heading with
        // it: the panel then starts at the page's top.
        if (info->y() < 0)
            info->move(info->x(), 0);
        return;
    }
    // The presence test of a page is on its own base (base 4 on page 4, whatever the forum).
    if (!basePresent(e.base)) {
        DisableRecordTools();
        if (e.grid)
            control(e.grid)->hide();
        if (e.recordPane)
            control(e.recordPane)->hide();
        for (const char* n : {e.missingA, e.missingB})
            if (n)
                centreHorizontally(control(n));
        return;
    }
    setRecordTools(e.tools);
    m_currentTable = pageTable(tab);
}

void TMainForm::btnGridSwitchClick()
{
    const PageEntry& e = activeEntry();
    if (!e.grid || !e.recordPane)
        return;
    QWidget* pane = control(e.recordPane);
    QWidget* grid = control(e.grid);
    pane->setVisible(pane->isHidden());
    grid->setVisible(grid->isHidden());
}

} // namespace tv::app
