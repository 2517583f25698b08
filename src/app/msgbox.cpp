#include "app/msgbox.h"

#include "engine/engineerror.h"

#include <QApplication>
#include <QMessageBox>

namespace tv::app {

bool confirm(QWidget* parent, const QString& text)
{
    return QMessageBox::question(parent, QStringLiteral("Confirm"), text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
        == QMessageBox::Yes;
}

void information(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, QStringLiteral("Information"), text, QMessageBox::Ok);
}

void showEngineError(QWidget* parent, const tv::EngineError& err)
{
    QMessageBox::critical(parent, QApplication::applicationDisplayName(), QString::fromUtf8(err.what()),
                          QMessageBox::Ok);
}

} // namespace tv::app
