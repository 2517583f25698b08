// Filter, search and locate: the filter components of the bases, the search window and the
// locate dialog, and the six commands that use them on the active page; the word they looked
// for, marked in the record views, and F3 / Shift+F3 stepping through it.
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

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QLineEdit>
#include <QPlainTextEdit>
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
    createFoundWordMarks();
}

void TMainForm::createFoundWordMarks()
{
    for (size_t tab = 0; tab < m_views.size(); ++tab) {
        QWidget* pane = m_views[tab].recordPane;
        if (!pane)
            continue;
        auto* marks = m_found[tab] = new MemoHighlighter(this);
        for (QPlainTextEdit* memo : pane->findChildren<QPlainTextEdit*>())
            marks->addPane(memo);
        for (QLineEdit* edit : pane->findChildren<QLineEdit*>())
            marks->addEdit(edit);
    }
    // Keys of the window's own, in no menu: the designed menus stay as they are.
    for (const auto& [key, forward] : {std::pair{QKeySequence(Qt::Key_F3), true}, std::pair{QKeySequence(Qt::SHIFT | Qt::Key_F3), false}}) {
        auto* a = new QAction(this);
        a->setObjectName(forward ? QStringLiteral("actNextFound") : QStringLiteral("actPreviousFound"));
        a->setShortcut(key);
        connect(a, &QAction::triggered, this, [this, forward] { nextFound(forward); });
        addAction(a);
    }
    // The forum page shows the word of the forum now on view.
    if (m_forumChoice)
        connect(m_forumChoice, &QButtonGroup::idClicked, this, [this] { markFoundWords(); });
}

void TMainForm::markFoundWords(const Table* filtered)
{
    m_locateWords.erase(filtered);
    for (size_t tab = 0; tab < m_found.size(); ++tab) {
        const Table* t = m_found[tab] ? pageTable(int(tab)) : nullptr;
        if (!t)
            continue;
        const auto located = m_locateWords.find(t);
        m_found[tab]->setWord(located != m_locateWords.end() ? located->second : filterWord(*t));
    }
}

void TMainForm::rememberLocateWord()
{
    const Table* t = m_locate->dataSource() ? m_locate->dataSource()->table() : nullptr;
    if (!t)
        return;
    // A Locate that looks for no text leaves the filter's word, if any, to be marked.
    const SearchWord w = locateWord(*m_locate, *t);
    if (w.word.isEmpty())
        m_locateWords.erase(t);
    else
        m_locateWords[t] = w;
    markFoundWords();
}

void TMainForm::nextFound(bool forward)
{
    const auto tab = static_cast<size_t>(activePage());
    MemoHighlighter* marks = m_found[tab];
    QWidget* pane = m_views[tab].recordPane;
    if (!marks || marks->word().isEmpty() || pane->isHidden())
        return;
    // The memo the keyboard is in, else the first of the page's memos that holds the word (the
    // one the clipboard commands act on first).
    QList<QPlainTextEdit*> memos = pane->findChildren<QPlainTextEdit*>();
    if (auto* focused = qobject_cast<QPlainTextEdit*>(QApplication::focusWidget()); focused && memos.contains(focused))
        memos = {focused};
    else if (QPlainTextEdit* main = m_views[tab].clipboardMemo)
        memos.move(memos.indexOf(main), 0);
    for (QPlainTextEdit* memo : memos)
        if (forward ? marks->next(memo) : marks->previous(memo))
            return;
    ShowHint(QStringLiteral("\"%1\" is not in the memo of this record.").arg(marks->word()));
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
    // Each of these commands may move the base on view, which posts a note being edited: its
    // typed text goes first, as for a move (see readyToLeaveNote).
    if (FilterDialog* f = filterDialog(toolBase())) {
        if (!readyToLeaveNote(f->table(), this))
            return;
        f->execute(this);
        markFoundWords(baseTable(toolBase()));
    }
}

void TMainForm::btnNoFilterClick()
{
    if (!isBasePage(activePage()))
        return;
    if (FilterDialog* f = filterDialog(toolBase())) {
        if (!readyToLeaveNote(f->table(), this))
            return;
        guardedCommand(this, [&] { f->clearFilter(); });
        markFoundWords(baseTable(toolBase()));
    }
}

void TMainForm::Find1Click()
{
    SearchDialog* s = searchDialog();
    // The placeholder page keeps the table searched last.
    if (activePage() != kPlaceholderPage)
        s->setSearchTable(baseTable(toolBase()));
    if (readyToLeaveNote(s->searchTable(), this))
        s->execute(this);
}

void TMainForm::btnLocateClick()
{
    LocateDialog* l = locateDialog();
    l->setDataSource(baseDataSource(toolBase()));
    if (!readyToLeaveNote(baseTable(toolBase()), this))
        return;
    l->execute(this);
    setButtonsEnabled({Tool::LocateFirst, Tool::LocateNext}, true);
    rememberLocateWord();
}

bool TMainForm::locateMayMove()
{
    const DataSource* source = locateDialog()->dataSource();
    return readyToLeaveNote(source ? source->table() : nullptr, this);
}

void TMainForm::btnLocateFirstClick()
{
    if (!locateMayMove())
        return;
    locateDialog()->findFirst(this);
    rememberLocateWord();
}

void TMainForm::btnLocateNextClick()
{
    if (!locateMayMove())
        return;
    locateDialog()->findNext(this);
    rememberLocateWord();
}

} // namespace tv::app
