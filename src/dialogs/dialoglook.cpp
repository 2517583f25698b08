#include "dialogs/dialoglook.h"

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
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                           | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialog->setFixedSize(size);
    dialog->setFont(sansSerif8());
    QPalette pal = dialog->palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    dialog->setPalette(pal);
}

} // namespace tv
