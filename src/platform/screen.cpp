// The screen the program runs on.

#include "platform.h"

#include <QGuiApplication>
#include <QScreen>

namespace tv::platform {

QSize screenSize()
{
    if (QScreen* s = QGuiApplication::primaryScreen())
        return s->geometry().size();
    return QSize(800, 600);
}

} // namespace tv::platform
