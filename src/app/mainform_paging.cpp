// Page switching: record tools per page, the table navigation acts on, missing-base notices
// and their centring, the search page's groups, and grid view versus record view.

#include "app/mainform.h"
#include "app/sweeptable.h"
#include "controls/explbtn.h"
#include "dbaware/dbgrid.h"
#include "platform/platform.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QButtonGroup>
#include <QEvent>
#include <QGroupBox>
#include <QTabWidget>

#include <algorithm>

namespace tv::app {

int TMainForm::activePage() const
{
    return m_pages->currentIndex();
}

int TMainForm::pageBase(int tab) const
{
    const PageEntry& e = kPages[static_cast<size_t>(tab)];
    if (e.altBase == 0)
        return e.base;
    return m_forumChoice && m_forumChoice->checkedId() == 1 ? e.base : e.altBase;
}

tv::Table* TMainForm::pageTable(int tab) const
{
    if (!isBasePage(tab))
        return nullptr;
    return baseTable(pageBase(tab));
}

bool TMainForm::gridVisible(int tab) const
{
    const QWidget* grid = m_views[static_cast<size_t>(tab)].grid;
    return grid && !grid->isHidden();
}

void TMainForm::DisableRecordTools()
{
    setRecordTools(RecordToolSet::None);
}

void TMainForm::setButtonsEnabled(std::initializer_list<Tool> tools, bool enabled)
{
    for (Tool t : tools)
        button(t)->setEnabled(enabled);
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
    // On a low screen (600 pixels) the formula lifts the panel above its page, which would
    // hide its top edge and captions under the tabs: it then starts at the page's top.
    w->move(std::max(x, 0), std::max(y, 0));
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
    setButtonsEnabled({Tool::GotoBookmark, Tool::ClearBookmark}, false);
}

void TMainForm::PageControl1Change()
{
    const int tab = activePage();
    const PageEntry& e = kPages[static_cast<size_t>(tab)];
    const PageView& v = m_views[static_cast<size_t>(tab)];

    if (tab == kSweepPage) {
        DisableRecordTools();
        centrePanel(m_sweepPanel);
        for (size_t i = 0; i < kSweepBases.size(); ++i)
            if (!basePresent(kSweepBases[i].base))
                m_sweepGroups[i]->setEnabled(false);
        return;
    }
    if (tab == kInfoPage) {
        DisableRecordTools();
        centrePanel(m_infoPanel);
        return;
    }
    // The presence test of a page is on its own base (base 4 on page 4, whatever the forum).
    if (!basePresent(e.base)) {
        DisableRecordTools();
        for (QWidget* w : {static_cast<QWidget*>(v.grid), v.recordPane})
            if (w)
                w->hide();
        for (QWidget* notice : {v.missingA, v.missingB})
            if (notice)
                centreHorizontally(notice);
        return;
    }
    setRecordTools(e.tools);
    m_currentTable = pageTable(tab);
}

void TMainForm::btnGridSwitchClick()
{
    const PageView& v = m_views[static_cast<size_t>(activePage())];
    if (!v.grid || !v.recordPane)
        return;
    QWidget* pane = v.recordPane;
    QWidget* grid = v.grid;
    pane->setVisible(pane->isHidden());
    grid->setVisible(grid->isHidden());
}

} // namespace tv::app
