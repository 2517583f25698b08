#pragma once
// The pictures of the toolbar and record-tool buttons and of the GO button, drawn in code.

#include <QIcon>
#include <QString>

namespace tv::app {

// The picture of the button with this design name (an empty icon for an unknown name).
QIcon buttonGlyph(const QString& buttonName);

} // namespace tv::app
