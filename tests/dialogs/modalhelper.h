#pragma once
// Answers modal windows in tests: polls for the active modal widget and hands it to a callback.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

inline void whenModal(std::function<void(QWidget*)> act, int tries = 200)
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
