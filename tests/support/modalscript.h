#pragma once
// Drives modal windows in tests: a queue of steps, each run on the active modal widget when
// it is of the wanted kind. Polls QApplication::activeModalWidget() on a short timer. A step
// that presses a button which opens another modal window must press it queued (click()), so
// that the poll can go on inside the new window's loop.
//
// When a step finds nothing to act on for a long while, every modal window is closed so that
// a broken test fails on its assertions instead of hanging; `stuck` then tells so.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>

#include <deque>
#include <functional>

namespace tvtest {

class ModalScript : public QObject {
public:
    using Step = std::function<bool(QWidget*)>;   // true: the step acted on the widget

    ModalScript()
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
        timer_.start();
    }

    // Runs `fn` on the next active modal window of type T (and of that object name, when
    // one is given).
    template <typename T>
    ModalScript& on(std::function<void(T*)> fn, const QString& objectName = QString())
    {
        steps_.push_back([fn, objectName](QWidget* w) {
            auto* t = qobject_cast<T*>(w);
            if (!t || !t->isVisible() || (!objectName.isEmpty() && t->objectName() != objectName))
                return false;
            fn(t);
            return true;
        });
        return *this;
    }

    // Answers the next message box with `button`, keeping its caption, text and icon.
    ModalScript& answer(QMessageBox::StandardButton button = QMessageBox::Ok)
    {
        return on<QMessageBox>([this, button](QMessageBox* box) {
            captions << box->windowTitle();
            texts << box->text();
            icons << box->icon();
            click(box->button(button));
        });
    }

    bool done() const { return steps_.empty(); }

    QStringList captions;
    QStringList texts;
    QList<QMessageBox::Icon> icons;
    bool stuck = false;

    // Presses a button after the current step has returned.
    static void click(QAbstractButton* b)
    {
        if (b)
            QMetaObject::invokeMethod(b, &QAbstractButton::click, Qt::QueuedConnection);
    }

private:
    void poll()
    {
        QWidget* w = QApplication::activeModalWidget();
        if (steps_.empty() || !w) {
            idle_ = 0;
            return;
        }
        if (steps_.front()(w)) {
            steps_.pop_front();
            idle_ = 0;
            return;
        }
        if (++idle_ > 1000) {   // nothing it expects has come: give up rather than hang
            stuck = true;
            steps_.clear();
            while (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                d->reject();
        }
    }

    QTimer timer_;
    std::deque<Step> steps_;
    int idle_ = 0;
};

} // namespace tvtest
