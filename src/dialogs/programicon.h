#pragma once
#include <QPixmap>

namespace tv {

// The program's 64 x 64 picture in the sixteen standard colours: a strongbox holding a light.
QPixmap programIcon();

} // namespace tv
