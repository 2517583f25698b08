// The screen the program runs on, and what its fixed-size windows tell the window manager.

#include "platform.h"

#include <QGuiApplication>
#include <QEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace tv::platform {

QSize screenSize()
{
    if (QScreen* s = QGuiApplication::primaryScreen())
        return s->geometry().size();
    return QSize(800, 600);
}

namespace {

// Some window managers draw a minimise button on every dialog whatever it asks for; a
// minimised modal box takes its main window down with it, and on a desktop without a task
// bar nothing brings either back. Such a window comes straight back instead.
class StayRestored : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        auto* w = qobject_cast<QWidget*>(watched);
        if (e->type() == QEvent::WindowStateChange && w && w->isWindow() && w->windowState().testFlag(Qt::WindowMinimized))
            QTimer::singleShot(0, w, [w] {
                w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
                w->raise();
                w->activateWindow();
            });
        return false;
    }
};

} // namespace

void markFixedSize(QWidget* window, QSize size)
{
    const Qt::WindowFlags kept = window->windowFlags() & Qt::WindowStaysOnTopHint;
    window->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                           | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | kept);
    if (size.isValid())
        window->setFixedSize(size);
    const QString guard = QStringLiteral("stayRestored");
    if (!window->findChild<QObject*>(guard, Qt::FindDirectChildrenOnly)) {
        auto* filter = new StayRestored(window);
        filter->setObjectName(guard);
        window->installEventFilter(filter);
    }
}

} // namespace tv::platform
