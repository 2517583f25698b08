#pragma once
// The pictures of the toolbar and record-tool buttons and of the GO button, drawn in code.

#include <QIcon>
#include <QImage>
#include <QString>

namespace tv::app {

// The picture of the button with this design name (an empty icon for an unknown name).
QIcon buttonGlyph(const QString& buttonName);
// The same picture on a background of the colour of its pixel (0, 0), which the flat buttons
// treat as transparent.
QImage buttonPicture(const QString& buttonName);
// The greyed, embossed picture a disabled button shows (same background convention).
QImage disabledPicture(const QImage& picture);

} // namespace tv::app
