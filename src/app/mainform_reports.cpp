// The report command of the toolbar and the menus, and the printer choice.

#include "app/mainform.h"

#include "reports/holders.h"
#include "reports/reportcommand.h"

namespace tv::app {

void TMainForm::createReportHolders()
{
    const tv::reports::TableLookup tables = [](int base) { return baseTable(base); };
    tv::reports::createHolders(this, tables);
    m_reports = new tv::reports::ReportCommand(this, tables);
}

void TMainForm::btnPreviewClick(QObject* sender)
{
    const int page = activePage();
    // The private base held by another copy since start-up is busy, not closed.
    if (page == kPrivatePage && heldElsewhere(baseTable(kPrivateBase)))
        return;
    if (!m_reports)
        return;
    const tv::reports::ActivePage active{page, !gridVisible(page), pageBase(kForumPage) == 40 ? 0 : 1};
    m_reports->btnPreviewClick(active, tv::reports::operationOf(sender));
}

void TMainForm::mnuPrintSetupClick()
{
    if (m_reports)
        m_reports->mnuPrintSetupClick();
}

} // namespace tv::app
