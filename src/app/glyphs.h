#pragma once
// The pictures of the toolbar and record-tool buttons and of the GO button, drawn in code.

#include <QIcon>
#include <QImage>
#include <QString>

namespace tv::app {

// The picture of the button with this design name (an empty icon for an unknown name).
QIcon buttonGlyph(const QString& buttonName);
// The same picture, 20 x 16 in the button's coordinates, drawn for a screen of the given pixel
// density, on a see-through background (its pixel (0, 0), which the flat buttons treat as
// transparent).
QImage buttonPicture(const QString& buttonName, qreal dpr = 1.0);
// The greyed, embossed picture a disabled button shows (same size, density and background).
QImage disabledPicture(const QImage& picture);
// The muted picture an enabled button shows at rest: its colours half way to grey, as dark as
// before, so that it stays clearly stronger than the disabled picture.
QImage mutedPicture(const QImage& picture);

} // namespace tv::app
