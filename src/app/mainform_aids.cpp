// Editing aids of the pages: the clipboard commands on the memo panes, the star rows and the
// level word of the Books page, the calendar of the private base's date box, and the two
// auxiliary windows (tip of the day, about box).

#include "app/mainform.h"

#include "dbaware/dbcontrols.h"
#include "dbaware/engineguard.h"
#include "platform/msg.h"
#include "dialogs/aboutbox.h"
#include "dialogs/calendar.h"
#include "dialogs/maintips.h"
#include "engine/engineerror.h"

#include <QAction>
#include <QApplication>
#include <QTabWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace tv::app {

namespace {

// Operation codes of the clipboard controls.
enum ClipboardOp { opNone = 0, opCut = 1, opCopy = 2, opPaste = 3 };

// The Edit menu entries (Cut, Copy, Paste) carry no code of their own; they act like the
// toolbar buttons.
int clipboardOperation(QObject* sender, const std::array<QAction*, 3>& entries)
{
    if (!sender)
        return opNone;
    const int tag = sender->property("Tag").toInt();
    if (tag != opNone)
        return tag;
    for (int i = 0; i < 3; ++i)
        if (sender == entries[static_cast<size_t>(i)])
            return opCut + i;
    return opNone;
}

} // namespace

void TMainForm::ClipboardClick(QObject* sender)
{
    QPlainTextEdit* pane = m_views[static_cast<size_t>(activePage())].clipboardMemo;
    if (!pane)
        return;
    // The Edit menu and its keys (Ctrl+C, ...) act where the user works: on the memo pane of
    // this page that has the focus, such as the question pane of the DBK page.
    if (qobject_cast<QAction*>(sender)) {
        auto* focused = qobject_cast<DBMemo*>(QApplication::focusWidget());
        if (focused && m_pages->currentWidget()->isAncestorOf(focused))
            pane = focused;
    }
    guardedCommand(this, [&] {
        switch (clipboardOperation(sender, m_clipboardEntries)) {
        case opCut:
            pane->cut();
            break;
        case opCopy:
            pane->copy();
            break;
        case opPaste:
            pane->paste();
            break;
        default:
            break;
        }
    });
}

void TMainForm::bindEditingAids()
{
    m_tips = createTips1(this);

    const std::pair<QLineEdit*, void (TMainForm::*)()> changeSources[] = {
        {m_books.ratings[0], &TMainForm::DBEdit5Change}, {m_books.ratings[1], &TMainForm::DBEdit6Change},
        {m_books.ratings[2], &TMainForm::DBEdit7Change}, {m_books.ratings[3], &TMainForm::DBEdit8Change},
        {m_books.level, &TMainForm::EditLevelChange}};
    for (const auto& [box, handler] : changeSources) {
        connect(box, &QLineEdit::textChanged, this, handler);
        // The boxes were filled before they were connected: that first filling counts.
        (this->*handler)();
    }
    connect(m_dateBox, &DBComboDlg::customDlg, this, &TMainForm::wwDBComboDlg1CustomDlg);
}

// One star row: ratings 1 to 5 show that many stars; anything else (none, 0, 6, ...) shows
// an empty row rather than the stars of the book seen before.
void TMainForm::showRating(const char* field, int row)
{
    Table* books = pageTable(kBooksPage);
    if (!books || !books->isOpen())
        return;
    int64_t v = 0;   // stays 0 (an empty row) when the rating cannot be read
    guarded([&] { v = books->asInteger(field); });
    if (v < 1 || v > 5)
        v = 0;
    for (int i = 0; i < 5; ++i)
        m_books.stars[static_cast<size_t>(row * 5 + i)]->setVisible(i < v);
}

void TMainForm::DBEdit5Change() { showRating("TechnicalContentsQuality", 0); }
void TMainForm::DBEdit6Change() { showRating("QualityOfWriting", 1); }
void TMainForm::DBEdit7Change() { showRating("ValueForMoney", 2); }
void TMainForm::DBEdit8Change() { showRating("OverallAssessment", 3); }

void TMainForm::EditLevelChange()
{
    Table* books = pageTable(kBooksPage);
    if (!books || !books->isOpen())
        return;
    static const char* const words[] = {"Beginer", "Intermediate", "Advanced"};
    int64_t level = 0;
    guarded([&] { level = books->asInteger("Level"); });
    const bool known = level >= 1 && level <= 3;
    m_books.levelWord->setText(known ? QString::fromLatin1(words[level - 1]) : QString());
}

void TMainForm::wwDBComboDlg1CustomDlg(DBComboDlg* box)
{
    DateBox target;
    target.widget = box;
    target.text = [box] { return box->text(); };
    target.writeField = [this, box](const QString& text) {
        guardedCommand(this, [&] { box->setFieldText(text); });
    };
    ShowCalendarFor(target);
}

void TMainForm::About1Click() { showAboutBox(this); }

void TMainForm::btnTipClick() { m_tips->Execute(this); }

} // namespace tv::app
