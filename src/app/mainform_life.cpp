// Creation, hints, help commands and the two ways out of the program.

#include "app/mainform.h"

#include "dbaware/datasource.h"
#include "data/dm1.h"
#include "controls/dbindex.h"
#include "controls/status.h"
#include "platform/msg.h"
#include "app/pagetable.h"
#include "app/widgets.h"
#include "platform/platform.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QVariant>
#include <QWindowStateChangeEvent>

namespace tv::app {

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Tipvault"));
    QFont base(QStringLiteral("System"));
    base.setPixelSize(13);
    setFont(base);
    resize(kDesignedSize);

    auto* central = new QWidget(this);
    setCentralWidget(central);
    buildMenus();
    buildButtonRows(central);
    buildStatusBar(central);
    buildPageControl(central);
    buildSweepPage(m_pages->widget(kSweepPage));
    buildBasePages();
    buildInfoPage(m_pages->widget(kInfoPage));
    m_pages->setCurrentIndex(kSweepPage);
    bindCommands();
    bindEditingAids();
    bindConflictQuestion();
    createFilterTools();
    FormCreate();
    m_speedPanel->setFocus();
    qApp->installEventFilter(this);
}

TMainForm::~TMainForm()
{
    // The pages and their children go after this body has run: focus moving among them then
    // (a memo losing the focus, a grid moving) must not reach a handler of a window that is no
    // longer whole.
    if (Table* t9 = baseTable(kPrivateBase))
        t9->setConflictHandler(nullptr);
    if (qApp) {
        qApp->removeEventFilter(this);
        disconnect(qApp, nullptr, this, nullptr);
    }
    for (QObject* child : findChildren<QObject*>())
        disconnect(child, nullptr, this, nullptr);
}

void TMainForm::FormCreate()
{
    // Hints reach the status bar through the status-tip events of the window (see event()).
    SetClipboardTools(false);
    m_indexChooser = new TdbIndex(this);
    DisableRecordTools();
    // The search page is in front at start, and no page change announces it: its panel is
    // placed now where every later visit puts it, not first at the top left and then moved.
    centrePanel(m_sweepPanel);
}

void TMainForm::ShowHint(const QString& hint)
{
    m_status->setCaption(hint);
}

bool TMainForm::event(QEvent* e)
{
    if (e->type() == QEvent::StatusTip) {
        ShowHint(static_cast<QStatusTipEvent*>(e)->tip());
        return true;
    }
    return QMainWindow::event(e);
}

void TMainForm::SetClipboardTools(bool enabled)
{
    setButtonsEnabled({Tool::Cut, Tool::Copy, Tool::Paste}, enabled);
    for (QAction* a : m_clipboardEntries)
        a->setEnabled(enabled);
}

void TMainForm::btnHelpClick()
{
    tv::platform::showHelp(this, QApplication::instance()->property("HelpFile").toString(),
                           tv::platform::HelpCommand::Contents);
}

void TMainForm::btnHelpIndexClick()
{
    tv::platform::showHelp(this, QApplication::instance()->property("HelpFile").toString(),
                           tv::platform::HelpCommand::Finder);
}

namespace {

// The question at exit about something not yet on disk: try again, leave without it, or stay.
msg::Retry askAtExit(const QString& what, const QString& failure, QWidget* parent)
{
    return msg::askRetry(msg::Icon::Warning, msg::applicationTitle(), what + QStringLiteral("\n\n") + failure,
                         QStringLiteral("Try Again"), QStringLiteral("Exit Without Saving"), QStringLiteral("Stay"),
                         parent);
}

} // namespace

bool TMainForm::settlePrivateBase()
{
    Table* t9 = baseTable(kPrivateBase);
    if (!t9 || !basePresent(kPrivateBase) || !t9->isOpen() || !DM1)
        return true;
    // Only the question below speaks of a failure here, not the save's own error box.
    const bool report = DM1->reportSaveFailures;
    DM1->reportSaveFailures = false;
    struct Restore {
        bool value;
        ~Restore() { if (DM1) DM1->reportSaveFailures = value; }
    } restore{report};

    // A note typed and not yet posted is posted first (its save follows the post).
    while (t9->state() == TableState::Edit || t9->state() == TableState::Insert) {
        try {
            baseDataSource(kPrivateBase)->post();
        } catch (const EngineError& err) {
            switch (askAtExit(QStringLiteral("The note being edited cannot be posted; leaving now would lose "
                                             "what you typed."),
                              QString::fromUtf8(err.what()), this)) {
            case msg::Retry::TryAgain: continue;
            case msg::Retry::GiveUp: t9->cancel(); break;
            case msg::Retry::Stay: return false;
            }
        }
    }
    // Changes posted or deleted earlier whose save failed.
    while (t9->hasUnsavedChanges()) {
        QString failure = DM1->savePrivateBase();
        if (!t9->hasUnsavedChanges())
            break;
        if (failure.isEmpty())
            failure = QStringLiteral("The private notes could not be written.");
        switch (askAtExit(QStringLiteral("Changes to your private notes are not on disk; leaving now would "
                                         "lose them."),
                          failure, this)) {
        case msg::Retry::TryAgain: continue;
        case msg::Retry::GiveUp: return true;
        case msg::Retry::Stay: return false;
        }
    }
    return true;
}

bool TMainForm::shutdownData()
{
    if (!settlePrivateBase())
        return false;
    releaseBookmark();
    if (DM1)
        DM1->closeAll();
    return true;
}

QString TMainForm::endWithoutAsking()
{
    const QString failure = saveNotesWithoutAsking();
    releaseBookmark();
    m_closing = true;
    return failure;
}

void TMainForm::ExitItemClick()
{
    if (!msg::confirm(QStringLiteral("Terminate the application?"), this))
        return;
    if (!shutdownData())
        return;
    m_closing = true;
    QCoreApplication::quit();
}

void TMainForm::closeEvent(QCloseEvent* e)
{
    if (m_closing) {
        e->accept();
        return;
    }
    if (!msg::confirm(QStringLiteral("Ternminate the application?"), this) || !shutdownData()) {
        e->ignore();
        return;
    }
    m_closing = true;
    e->accept();
    QCoreApplication::quit();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* e)
{
    // The status bar shows the Insert toggle, which only the program can keep.
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Insert
        && !static_cast<QKeyEvent*>(e)->isAutoRepeat() && watched == QApplication::focusWidget()
        && QApplication::focusWidget()->window() == this)
        tv::platform::noteInsertKeyPress();
    return QMainWindow::eventFilter(watched, e);
}

void TMainForm::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::WindowStateChange)
        restoreDesignedSize(static_cast<QWindowStateChangeEvent*>(e)->oldState());
    if (e->type() == QEvent::ActivationChange && isActiveWindow() && !m_wasActivated) {
        m_wasActivated = true;
        emit firstActivated();
    }
    QMainWindow::changeEvent(e);
}

} // namespace tv::app
