#include "platform/msg.h"

#include <QApplication>
#include <QMessageBox>

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
    QMessageBox box(qtIcon(icon), caption, text, buttons, parent);
    box.setDefaultButton(def);
    box.setTextFormat(Qt::PlainText);
    return QMessageBox::StandardButton(box.exec());
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
