// Filter, search and locate: the filter components of the bases, the search window and the
// locate dialog, and the six commands that use them on the active page.
//
// Which base a command acts on comes from the page table: a base page acts on the base it
// shows (the forum page on the forum chosen), the search, placeholder and Info pages, reachable
// only through the menu, act on the private base.

#include "app/mainform.h"
#include "dbaware/engineguard.h"
#include "dbaware/filterdialog.h"
#include "dbaware/locatedialog.h"
#include "platform/msg.h"
#include "dbaware/searchdialog.h"

#include <QString>

namespace tv::app {

namespace {

// Bases with a filter component of their own on the main window (8 is bound to nothing).
constexpr int kFilterBases[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 40};

QString filterName(int base)
{
    return QStringLiteral("wwFilterDialog%1").arg(base);
}

} // namespace

void TMainForm::createFilterTools()
{
    for (size_t i = 0; i < std::size(kFilterBases); ++i) {
        const int base = kFilterBases[i];
        auto* f = new FilterDialog(this);
        m_filters[i] = {base, f};
        f->setObjectName(filterName(base));
        f->sortBy = fdSortByFieldNo;
        f->filterMethod = fdByFilter;
        f->defaultMatchType = fdMatchStart;
        f->defaultFilterBy = fdSmartFilter;
        f->defaultCaseSensitive = false;
        f->setDataSource(base == 8 ? nullptr : baseDataSource(base));
    }
    auto* search = m_search = new SearchDialog(this);
    search->setObjectName(QStringLiteral("wwSearchDialog1"));
    search->caption = QStringLiteral("Search");
    search->maxHeight = 209;
    search->setSearchTable(baseTable(1));

    auto* lookup = new LookupDialog(this);
    lookup->setObjectName(QStringLiteral("wwLookupDialog1"));
    lookup->setLookupTable(baseTable(1));

    auto* locate = m_locate = new LocateDialog(this);
    locate->setObjectName(QStringLiteral("wwLocateDialog1"));
    locate->matchType = fdMatchStart;
    locate->caseSensitive = false;
    locate->showMessages = true;
}

int TMainForm::toolBase() const
{
    const int tab = activePage();
    return isBasePage(tab) ? pageBase(tab) : kPrivateBase;
}

FilterDialog* TMainForm::filterDialog(int base) const
{
    for (const auto& [b, f] : m_filters)
        if (b == base)
            return f;
    return nullptr;
}

void TMainForm::btnFilterClick()
{
    if (FilterDialog* f = filterDialog(toolBase()))
        f->execute(this);
}

void TMainForm::btnNoFilterClick()
{
    if (!isBasePage(activePage()))
        return;
    if (FilterDialog* f = filterDialog(toolBase())) {
        guardedCommand(this, [&] { f->clearFilter(); });
    }
}

void TMainForm::Find1Click()
{
    SearchDialog* s = searchDialog();
    // The placeholder page keeps the table searched last.
    if (activePage() != kPlaceholderPage)
        s->setSearchTable(baseTable(toolBase()));
    s->execute(this);
}

void TMainForm::btnLocateClick()
{
    LocateDialog* l = locateDialog();
    l->setDataSource(baseDataSource(toolBase()));
    l->execute(this);
    setButtonsEnabled({Tool::LocateFirst, Tool::LocateNext}, true);
}

void TMainForm::btnLocateFirstClick()
{
    locateDialog()->findFirst(this);
}

void TMainForm::btnLocateNextClick()
{
    locateDialog()->findNext(this);
}

} // namespace tv::app
