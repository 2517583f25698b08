#include "app/program.h"

#include "app/mainform.h"
#include "app/splash.h"
#include "app/datamodule.h"
#include "platform/endsignals.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

namespace tv::app {

namespace {

// Nobody is there to read a box at these ends: what could not be saved goes to the error output.
void reportUnsaved(const QString& failure)
{
    if (!failure.isEmpty())
        qWarning("Tipvault: changes to the private notes could not be saved: %s", qUtf8Printable(failure));
}

} // namespace

Program::Program(const QString& dataDir)
{
    // The program ends by its own quit requests only (Exit, the close box, the session's end,
    // no base at all), never because its last window went, such as the splash window while
    // a start-up message is up.
    QApplication::setQuitOnLastWindowClosed(false);
    // From the first box on (a start-up message), the session's end is a quit request.
    m_endSignals = std::make_unique<QObject>();
    tv::platform::onEndSignals(m_endSignals.get(), [this] { endWithoutAsking(); });
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto* splash = new TSplash;
    splash->show();
    splash->repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    // The name only: a display name would be appended by the platform to the caption of every
    // window and message box ("Confirm — Tipvault"), which must read just as given.
    QApplication::setApplicationName(QStringLiteral("Tipvault"));
    qApp->setProperty("HelpFile", QStringLiteral("Tipvault.hlp"));

    const bool found = createDataModule(dataDir);
    m_terminate = m_terminate || !found;

    m_form = std::make_unique<TMainForm>();
    QObject::connect(m_form.get(), &TMainForm::firstActivated, [] {
        if (TSplash* s = Splash())
            s->FormDeactivate();
    });
    m_form->createReportHolders();
}

Program::~Program()
{
    m_form.reset();
    if (TSplash* s = Splash()) {
        s->FormDeactivate();
        delete s;
    }
    destroyDataModule();
}

void Program::show()
{
    // Maximized also where no window manager does it.
    if (QScreen* s = QGuiApplication::primaryScreen())
        m_form->setGeometry(s->availableGeometry());
    m_form->showMaximized();
    m_form->activateWindow();
    m_form->raise();
    // Where the platform never activates the main window, the splash still goes in the end.
    QTimer::singleShot(3000, qApp, [] {
        if (TSplash* s = Splash())
            s->FormDeactivate();
    });
}

void Program::endWithoutAsking()
{
    reportUnsaved(m_form ? m_form->endWithoutAsking() : saveNotesWithoutAsking());
    m_terminate = true;
    // Open boxes and dialogs give way too (one open while starting runs before the loop does).
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

int Program::exec()
{
    // The window system's plugin ends the program with exit() when the display goes.
    tv::platform::setLastChance([] { reportUnsaved(saveNotesWithoutAsking()); });
    if (m_terminate) {
        if (TSplash* s = Splash())
            s->FormDeactivate();
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    } else {
        show();
    }
    const int code = QApplication::exec();
    tv::platform::clearLastChance();
    return code;
}

} // namespace tv::app
