#pragma once
// What the program's fixed-size windows (the about box, the tip of the day) share.
#include <QFont>
#include <QSize>

class QDialog;

namespace tv {

// 8-point MS Sans Serif, the text of those windows.
QFont sansSerif8();

// A title bar with only the system menu and close box, a fixed size, sansSerif8() and black
// text.
void setFixedDialogLook(QDialog* dialog, QSize size);

} // namespace tv
