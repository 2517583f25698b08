// The record-tool row: navigation on the current table, editing of the private base, and the
// bookmark of the active page; and the forum choice of the file-list page.

#include "app/dbwidgets.h"
#include "app/mainform.h"
#include "dbaware/engineguard.h"

#include "controls/explbtn.h"
#include "dbaware/datasource.h"
#include "dbaware/dbgrid.h"
#include "platform/msg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <QVariant>

namespace tv::app {

namespace {

int tagOf(QObject* sender)
{
    return sender ? sender->property("Tag").toInt() : 0;
}

} // namespace

void TMainForm::updateBackTrio(bool atBeginning)
{
    setButtonsEnabled({Tool::Prior, Tool::Rewind, Tool::First}, !atBeginning);
}

void TMainForm::updateForwardTrio(bool atEnd)
{
    setButtonsEnabled({Tool::Next, Tool::Forward, Tool::Last}, !atEnd);
}

void TMainForm::setEditButtons(bool editing)
{
    setButtonsEnabled({Tool::Insert, Tool::Delete, Tool::EditRecord, Tool::RefreshRecord}, !editing);
    setButtonsEnabled({Tool::PostRecord, Tool::CancelEdit}, editing);
}

void TMainForm::privateStateChanged(TableState state)
{
    // Elsewhere the editing buttons stay off; page 9 sets them again when it is entered.
    if (activePage() != kPrivatePage || !basePresent(kPrivateBase))
        return;
    setEditButtons(state == TableState::Edit || state == TableState::Insert);
}

void TMainForm::focusFirstNoteField()
{
    const PageView& notes = m_views[kPrivatePage];
    if (!notes.recordPane->isHidden() && m_noteTopic) {
        m_noteTopic->setFocus(Qt::OtherFocusReason);
        m_noteTopic->deselect();
        m_noteTopic->setCursorPosition(0);
        return;
    }
    // Grid view (Edit): the Topic cell of the current row, open for typing.
    DBGrid* grid = notes.grid;
    const QModelIndex row = grid->currentIndex();
    grid->setFocus(Qt::OtherFocusReason);
    for (int c = 0; c < grid->gridModel()->columnCount(); ++c)
        if (grid->gridModel()->fieldNameOf(c).compare(QLatin1String("Topic"), Qt::CaseInsensitive) == 0
            && row.isValid()) {
            const QModelIndex cell = grid->gridModel()->index(row.row(), c);
            grid->setCurrentIndex(cell);
            static_cast<QAbstractItemView*>(grid)->edit(cell);
            if (auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget())) {
                editor->deselect();
                editor->setCursorPosition(0);
            }
            break;
        }
}

void TMainForm::btnFirstClick(QObject* sender)
{
    const int tag = tagOf(sender);
    guardedCommand(this, [&] {
        if (tag >= tagFirst && tag <= tagLast) {
            Table* t = m_currentTable;
            // A move posts the note being edited (the table does so): first the text a box
            // still holds goes into it, as for Post; what the note cannot take yet (a date
            // half typed) stops the move with Post's error, and the text stays in its box.
            // Held by another copy, the base is said to be busy.
            if (!readyToLeaveNote(t, this))
                return;
            if (!t || !t->isOpen())
                throw EngineError("Cannot perform this operation on a closed dataset");
            switch (tag) {
            case tagFirst: t->first(); break;
            case tagRewind: t->moveBy(-10); break;
            case tagPrior: t->moveBy(-1); break;
            case tagNext: t->moveBy(1); break;
            case tagForward: t->moveBy(10); break;
            default: t->last(); break;
            }
            if (tag <= tagPrior) {
                updateForwardTrio(false);
                updateBackTrio(t->atBeginning());
            } else {
                updateBackTrio(false);
                updateForwardTrio(t->atEnd());
            }
            return;
        }
        Table* t9 = baseTable(kPrivateBase);
        if (tag >= tagInsert && tag <= tagRefresh) {
            // Held by another copy (since start-up, or saving right now): said at once, never
            // a closed dataset nor a window frozen waiting for the lock. A base let go meanwhile
            // is opened here (the data module also keeps trying by itself).
            const bool open = t9 && t9->isOpen();
            if ((!open || tag != tagCancel) && baseBusy(kPrivateBase))
                return;
            if (!t9 || !t9->isOpen())
                throw EngineError("Cannot perform this operation on a closed dataset");
        }
        switch (tag) {
        case tagInsert: {
            releaseBookmark();   // to the table it was taken from
            const PageView& notes = m_views[kPrivatePage];
            if (notes.recordPane->isHidden()) {
                notes.recordPane->show();
                notes.grid->hide();
            }
            t9->setIndexName(std::string());
            t9->last();
            // The new note's ID is worked out once append() has read again files another
            // program rewrote: one more than the largest ID of the whole table, as a filter
            // hiding the top IDs must not hand out one that is taken.
            t9->append();
            setEditButtons(true);
            t9->setInteger(0, t9->largestInteger(0) + 1);
            focusFirstNoteField();
            break;
        }
        case tagDelete: {
            if (msg::ask(msg::Icon::Information, QStringLiteral("Information"),
                         QStringLiteral("Are you sure to delete this record?"), this))
                t9->remove();
            break;
        }
        case tagEdit:
            t9->edit();
            setEditButtons(true);
            focusFirstNoteField();
            break;
        case tagPost:
            // Through the data source: text still held by a bound box (a date being typed)
            // goes into the record first, so it is posted or refused, never dropped.
            baseDataSource(kPrivateBase)->post();
            setEditButtons(false);
            break;
        case tagCancel:
            t9->cancel();
            setEditButtons(false);
            break;
        case tagRefresh:
            t9->refresh();
            break;
        default:
            break;
        }
    });
}

void TMainForm::btnSetBookmarkClick(QObject* sender)
{
    Table* t = pageTable(activePage());
    if (t && !t->isOpen())
        t = nullptr;
    guardedCommand(this, [&] {
        switch (tagOf(sender)) {
        case tagSetBookmark:
            // With no current record (an empty table or set) there is nothing to mark.
            if (t && !t->currentId())
                break;
            if (t) {
                const Bookmark b = t->getBookmark();
                if (m_bookmarkSet && m_bookmarkTable && m_bookmarkTable->isOpen())
                    m_bookmarkTable->freeBookmark(m_bookmark);
                m_bookmark = b;
                m_bookmarkTable = t;
            }
            m_bookmarkSet = true;
            setButtonsEnabled({Tool::GotoBookmark, Tool::ClearBookmark}, true);
            break;
        case tagGotoBookmark:
            if (m_bookmarkSet && t && m_bookmarkTable == t && m_bookmark && readyToLeaveNote(t, this))
                t->gotoBookmark(m_bookmark);
            break;
        case tagClearBookmark:
            releaseBookmark();
            setButtonsEnabled({Tool::GotoBookmark, Tool::ClearBookmark}, false);
            break;
        default:
            break;
        }
    });
}

void TMainForm::rgpDelphiClick()
{
    // The forum's controls follow the base now on view.
    const PageEntry& forum = kPages[kForumPage];
    const int shown = pageBase(kForumPage);
    releaseBookmark();
    rebindControls(m_pages->widget(kForumPage), shown == forum.base ? forum.altBase : forum.base, shown);
    m_currentTable = baseTable(shown);
}

} // namespace tv::app
