// Editing aids of the pages: the clipboard commands on the memo panes, the star rows and the
// level word of the Books page, the calendar of the private base's date box, and the two
// auxiliary windows (tip of the day, about box).

#include "app/mainform.h"

#include "dbaware/dbcontrols.h"
#include "dbaware/engineguard.h"
#include "dbaware/msg.h"
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

int clipboardOperation(QObject* sender)
{
    if (!sender)
        return opNone;
    const int tag = sender->property("Tag").toInt();
    if (tag != opNone)
        return tag;
    // The Edit menu entries carry no code of their own; they act like the toolbar buttons.
    const QString name = sender->objectName();
    if (name == QLatin1String("mnuCut"))
        return opCut;
    if (name == QLatin1String("MnuCopy"))
        return opCopy;
    if (name == QLatin1String("MnuPaste"))
        return opPaste;
    return opNone;
}

} // namespace

void TMainForm::ClipboardClick(QObject* sender)
{
    const char* paneName = activeEntry().clipboardMemo;
    if (!paneName)
        return;
    auto* pane = findChild<QPlainTextEdit*>(QString::fromLatin1(paneName));
    if (!pane)
        return;
    // The Edit menu and its keys (Ctrl+C, ...) act where the user works: on the memo pane of
    // this page that has the focus, such as the question pane of the DBK page.
    if (qobject_cast<QAction*>(sender)) {
        auto* focused = qobject_cast<DBMemo*>(QApplication::focusWidget());
        if (focused && m_pages->currentWidget()->isAncestorOf(focused))
            pane = focused;
    }
    try {
        switch (clipboardOperation(sender)) {
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
    } catch (const EngineError& e) {
        msg::error(QString::fromStdString(e.what()), this);
    }
}

void TMainForm::bindEditingAids()
{
    m_tips = createTips1(this);

    const std::pair<const char*, void (TMainForm::*)()> changeSources[] = {
        {"DBEdit5", &TMainForm::DBEdit5Change}, {"DBEdit6", &TMainForm::DBEdit6Change},
        {"DBEdit7", &TMainForm::DBEdit7Change}, {"DBEdit8", &TMainForm::DBEdit8Change},
        {"EditLevel", &TMainForm::EditLevelChange}};
    for (const auto& [boxName, handler] : changeSources) {
        if (auto* box = findChild<QLineEdit*>(QString::fromLatin1(boxName))) {
            connect(box, &QLineEdit::textChanged, this, handler);
            // The boxes were filled before they were connected: that first filling counts.
            (this->*handler)();
        }
    }
    if (auto* dateBox = findChild<DBComboDlg*>(QStringLiteral("wwDBComboDlg1")))
        connect(dateBox, &DBComboDlg::customDlg, this, &TMainForm::wwDBComboDlg1CustomDlg);
}

// One star row: ratings 1 to 5 show that many stars; anything else (none, 0, 6, ...) shows
// an empty row rather than the stars of the book seen before.
void TMainForm::showRating(const char* field, int firstImage)
{
    Table* books = pageTable(7);
    if (!books || !books->isOpen())
        return;
    int64_t v = 0;   // stays 0 (an empty row) when the rating cannot be read
    guarded([&] { v = books->asInteger(field); });
    if (v < 1 || v > 5)
        v = 0;
    for (int i = 0; i < 5; ++i) {
        if (QWidget* cell = control(("Image" + std::to_string(firstImage + i)).c_str()))
            cell->setVisible(i < v);
    }
}

void TMainForm::DBEdit5Change() { showRating("TechnicalContentsQuality", 1); }
void TMainForm::DBEdit6Change() { showRating("QualityOfWriting", 6); }
void TMainForm::DBEdit7Change() { showRating("ValueForMoney", 11); }
void TMainForm::DBEdit8Change() { showRating("OverallAssessment", 16); }

void TMainForm::EditLevelChange()
{
    Table* books = pageTable(7);
    if (!books || !books->isOpen())
        return;
    static const char* const words[] = {"Beginer", "Intermediate", "Advanced"};
    int64_t level = 0;
    guarded([&] { level = books->asInteger("Level"); });
    const bool known = level >= 1 && level <= 3;
    if (auto* label = findChild<QLabel*>(QStringLiteral("Label45")))
        label->setText(known ? QString::fromLatin1(words[level - 1]) : QString());
}

void TMainForm::wwDBComboDlg1CustomDlg(DBComboDlg* box)
{
    DateBox target;
    target.widget = box;
    target.text = [box] { return box->text(); };
    target.writeField = [this, box](const QString& text) {
        try {
            box->setFieldText(text);
        } catch (const EngineError& e) {
            msg::error(QString::fromStdString(e.what()), this);
        }
    };
    ShowCalendarFor(target);
}

void TMainForm::About1Click() { showAboutBox(this); }

void TMainForm::btnTipClick() { m_tips->Execute(this); }

} // namespace tv::app
