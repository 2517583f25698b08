#include "msg.h"

#include <QApplication>
#include <QMessageBox>

namespace tv::msg {

namespace {

QMessageBox::StandardButton run(QMessageBox::Icon icon, const QString& caption, const QString& text,
                                QMessageBox::StandardButtons buttons, QMessageBox::StandardButton def,
                                QWidget* parent)
{
    QMessageBox box(icon, caption, text, buttons, parent);
    box.setDefaultButton(def);
    box.setTextFormat(Qt::PlainText);
    return QMessageBox::StandardButton(box.exec());
}

} // namespace

bool confirm(const QString& text, QWidget* parent)
{
    return run(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::Yes | QMessageBox::No,
               QMessageBox::Yes, parent)
        == QMessageBox::Yes;
}

void information(const QString& text, QWidget* parent)
{
    run(QMessageBox::Information, QStringLiteral("Information"), text, QMessageBox::Ok, QMessageBox::Ok, parent);
}

void warning(const QString& text, QWidget* parent)
{
    run(QMessageBox::Warning, QStringLiteral("Warning"), text, QMessageBox::Ok, QMessageBox::Ok, parent);
}

void error(const QString& text, QWidget* parent)
{
    run(QMessageBox::Critical, applicationTitle(), text, QMessageBox::Ok, QMessageBox::Ok, parent);
}

QString applicationTitle()
{
    const QString display = QGuiApplication::applicationDisplayName();
    return display.isEmpty() ? QCoreApplication::applicationName() : display;
}

} // namespace tv::msg
