#pragma once
// Hands the next modal window to a callback: polls for the active modal widget (`tries` times,
// 10 ms apart), then gives up.
#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

inline void whenModal(std::function<void(QWidget*)> act, int tries = 300)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto left = std::make_shared<int>(tries);
    QObject::connect(timer, &QTimer::timeout, [timer, act, left]() {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(w);
        } else if (--*left <= 0) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// What a window of fixed size fails to tell the window manager: empty when it asks for a
// dialog's title bar without minimise or maximise and its least and most sizes are its size.
inline QString fixedSizeFault(const QWidget* w)
{
    const Qt::WindowFlags f = w->windowFlags();
    QStringList faults;
    if ((f & Qt::WindowType_Mask) != Qt::Dialog)
        faults << QStringLiteral("not a dialog");
    if (!f.testFlag(Qt::MSWindowsFixedSizeDialogHint) || !f.testFlag(Qt::CustomizeWindowHint))
        faults << QStringLiteral("no fixed-size title bar asked for");
    if (f & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint))
        faults << QStringLiteral("minimise or maximise asked for");
    if (w->minimumSize() != w->maximumSize() || w->minimumSize() != w->size())
        faults << QStringLiteral("size %1x%2 between %3x%4 and %5x%6")
                      .arg(w->width()).arg(w->height()).arg(w->minimumWidth()).arg(w->minimumHeight())
                      .arg(w->maximumWidth()).arg(w->maximumHeight());
    return faults.join(QStringLiteral(", "));
}
