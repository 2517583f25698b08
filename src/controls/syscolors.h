#pragma once
// The system colours the controls paint with, taken from the widget's palette.

#include <QColor>

class QWidget;

namespace tv {

enum class SysColor {
    BtnFace,       // face of buttons and panels
    BtnHighlight,  // lit edge of a bevel
    BtnShadow,     // dark edge of a bevel
    WindowText,    // ordinary text
    GrayText,      // text of a disabled control
    Window,        // background of edit fields
    Highlight,     // selection background
};

QColor sysColor(const QWidget* w, SysColor c);

// Registers "MS Sans Serif", "System" and "Arial" as substitutes of "Liberation Sans", so that
// fonts named by the forms render with a metric-compatible face. Call once from main().
void registerFontSubstitutes();

} // namespace tv

class QPainter;
class QRect;

namespace tv {

// Draws a bevel `width` pixels wide inside `rect`: left and top edges in `topLeft`, right and
// bottom edges in `bottomRight` (the corner pixels top right and bottom left go to
// `bottomRight`). `rect` shrinks by the width drawn.
void frame3D(QPainter& p, QRect& rect, const QColor& topLeft, const QColor& bottomRight, int width);

} // namespace tv

namespace tv {

// The background colour a control paints with (its palette's button face) and its setter;
// setFaceColor returns whether the colour changed.
QColor faceColor(const QWidget* w);
bool setFaceColor(QWidget* w, const QColor& c);

} // namespace tv
