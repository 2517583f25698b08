#pragma once
// Hands the next modal window to a callback: polls for the active modal widget (`tries` times,
// 10 ms apart), then gives up.
#include <QApplication>
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
