#include "dialogs/dialoglook.h"
#include "platform/platform.h"

#include <QDialog>
#include <QPalette>

namespace tv {

QFont sansSerif8()
{
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(8);
    return f;
}

void setFixedDialogLook(QDialog* dialog, QSize size)
{
    platform::markFixedSize(dialog, size);
    dialog->setFont(sansSerif8());
    QPalette pal = dialog->palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    dialog->setPalette(pal);
}

} // namespace tv
