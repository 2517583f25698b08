#pragma once
// Answers modal message boxes in tests: polls QApplication::activeModalWidget() on a short
// timer, records what each box said and presses the requested button (QMessageBox::Escape:
// the Escape key).

#include "support/modalhelper.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <initializer_list>
#include <vector>

namespace tvtest {

struct SeenBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
    QStringList labels;   // the buttons' texts, in the order of `buttons`
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QMessageBox::StandardButton escapeButton = QMessageBox::NoButton;
    bool onTop = false;   // asks the window manager to keep it above other windows
    Qt::WindowModality modality = Qt::NonModal;
    QString fixedSizeFault;   // what it fails to tell the window manager of its fixed size

    QString label(QMessageBox::StandardButton b) const { return labels.value(buttons.indexOf(b)); }
};

class ModalAnswerer : public QObject {
public:
    explicit ModalAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok) : answer_(answer)
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
        timer_.start();
    }

    // The answers to give, in order; the last one also answers every later box.
    ModalAnswerer(std::initializer_list<QMessageBox::StandardButton> answers)
        : ModalAnswerer(answers.size() ? *(answers.end() - 1) : QMessageBox::Ok)
    {
        queued_.assign(answers.begin(), answers.end());
    }

    // The answers to give, in order; after the last one, the default answer is used.
    void queue(QMessageBox::StandardButton b) { queued_.push_back(b); }

    const std::vector<SeenBox>& seen() const { return seen_; }
    // The text of the last box answered; empty when none was.
    QString lastText() const { return seen_.empty() ? QString() : seen_.back().text; }
    // The text, or the caption, of every box answered.
    QStringList texts() const { return collect(&SeenBox::text); }
    QStringList captions() const { return collect(&SeenBox::caption); }

private:
    void poll()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box->property("tvAnswered").toBool())
            return;
        box->setProperty("tvAnswered", true);
        SeenBox s;
        s.caption = box->windowTitle();
        s.text = box->text();
        s.icon = box->icon();
        for (QAbstractButton* b : box->buttons()) {
            s.buttons.push_back(box->standardButton(b));
            s.labels.push_back(b->text());
        }
        s.defaultButton = box->standardButton(box->defaultButton());
        s.escapeButton = box->standardButton(box->escapeButton());
        s.onTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        s.modality = box->windowModality();
        s.fixedSizeFault = ::fixedSizeFault(box);
        seen_.push_back(s);
        QMessageBox::StandardButton want = answer_;
        if (next_ < queued_.size())
            want = queued_[next_++];
        if (want == QMessageBox::Escape) {
            QTimer::singleShot(0, box, [box] { QTest::keyClick(box, Qt::Key_Escape); });
            return;
        }
        QAbstractButton* button = box->button(want);
        if (!button && !box->buttons().isEmpty())
            button = box->buttons().first();
        if (button)
            QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
    }

    QStringList collect(QString SeenBox::*part) const
    {
        QStringList all;
        for (const SeenBox& s : seen_)
            all << s.*part;
        return all;
    }

    QTimer timer_;
    QMessageBox::StandardButton answer_;
    std::vector<QMessageBox::StandardButton> queued_;
    size_t next_ = 0;
    std::vector<SeenBox> seen_;
};

} // namespace tvtest
