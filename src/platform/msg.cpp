#include "platform/msg.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

namespace tv::msg {

namespace {

QMessageBox::Icon qtIcon(Icon icon)
{
    switch (icon) {
    case Icon::Information: return QMessageBox::Information;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Critical: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton run(Icon icon, const QString& caption, const QString& text,
                                QMessageBox::StandardButtons buttons, QMessageBox::StandardButton def,
                                QWidget* parent)
{
    // On the heap: a parent destroyed while the box is open (a window closing itself from the
    // box's own event loop) takes the box with it, and exec() then answers NoButton.
    QPointer<QMessageBox> box = new QMessageBox(qtIcon(icon), caption, text, buttons, parent);
    box->setDefaultButton(def);
    box->setTextFormat(Qt::PlainText);
    const auto answer = QMessageBox::StandardButton(box->exec());
    delete box.data();
    return answer;
}

} // namespace

void notify(Icon icon, const QString& caption, const QString& text, QWidget* parent)
{
    run(icon, caption, text, QMessageBox::Ok, QMessageBox::Ok, parent);
}

bool ask(Icon icon, const QString& caption, const QString& text, QWidget* parent)
{
    return run(icon, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, parent) == QMessageBox::Yes;
}

bool confirm(const QString& text, QWidget* parent)
{
    return ask(Icon::Question, QStringLiteral("Confirm"), text, parent);
}

void information(const QString& text, QWidget* parent)
{
    notify(Icon::Information, QStringLiteral("Information"), text, parent);
}

void warning(const QString& text, QWidget* parent)
{
    notify(Icon::Warning, QStringLiteral("Warning"), text, parent);
}

void error(const QString& text, QWidget* parent)
{
    notify(Icon::Critical, applicationTitle(), text, parent);
}

QString applicationTitle()
{
    const QString display = QGuiApplication::applicationDisplayName();
    return display.isEmpty() ? QCoreApplication::applicationName() : display;
}

} // namespace tv::msg
