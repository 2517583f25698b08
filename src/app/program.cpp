#include "app/program.h"

#include "app/mainform.h"
#include "app/splash.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

namespace tv::app {

Program::Program(const QString& dataDir)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto* splash = new TSplash;
    splash->show();
    splash->repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    // The name only: a display name would be appended by the platform to the caption of every
    // window and message box ("Confirm — Tipvault"), which must read just as given.
    QApplication::setApplicationName(QStringLiteral("Tipvault"));
    qApp->setProperty("HelpFile", QStringLiteral("Tipvault.hlp"));

    m_terminate = !createDataModule(dataDir);

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

int Program::exec()
{
    if (m_terminate) {
        if (TSplash* s = Splash())
            s->FormDeactivate();
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return QApplication::exec();
    }
    show();
    return QApplication::exec();
}

} // namespace tv::app
