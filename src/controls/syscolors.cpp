#include "controls/syscolors.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QWidget>

namespace tv {

QColor sysColor(const QWidget* w, SysColor c)
{
    const QPalette pal = w ? w->palette() : QApplication::palette();
    switch (c) {
    case SysColor::BtnFace:
        return pal.color(QPalette::Active, QPalette::Button);
    case SysColor::BtnHighlight:
        return pal.color(QPalette::Active, QPalette::Light);
    case SysColor::BtnShadow:
        return pal.color(QPalette::Active, QPalette::Dark);
    case SysColor::WindowText:
        return pal.color(QPalette::Active, QPalette::WindowText);
    case SysColor::GrayText:
        return pal.color(QPalette::Disabled, QPalette::WindowText);
    case SysColor::Window:
        return pal.color(QPalette::Active, QPalette::Base);
    case SysColor::Highlight:
        return pal.color(QPalette::Active, QPalette::Highlight);
    }
    return pal.color(QPalette::Button);
}

void registerFontSubstitutes()
{
    for (const char* name : {"MS Sans Serif", "System", "Arial"})
        if (!QFont::substitutes(QString::fromLatin1(name)).contains(QStringLiteral("Liberation Sans")))
            QFont::insertSubstitution(QString::fromLatin1(name), QStringLiteral("Liberation Sans"));
}

} // namespace tv

#include <QPainter>

namespace tv {

void frame3D(QPainter& p, QRect& rect, const QColor& topLeft, const QColor& bottomRight, int width)
{
    for (int i = 0; i < width && rect.width() > 0 && rect.height() > 0; ++i) {
        const int l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
        p.fillRect(QRect(l, t, 1, b - t), topLeft);          // left, without bottom pixel
        p.fillRect(QRect(l, t, r - l, 1), topLeft);          // top, without right pixel
        p.fillRect(QRect(r, t, 1, b - t + 1), bottomRight);  // right
        p.fillRect(QRect(l, b, r - l + 1, 1), bottomRight);  // bottom
        rect.adjust(1, 1, -1, -1);
    }
}

} // namespace tv

namespace tv {

QColor faceColor(const QWidget* w)
{
    return w->palette().color(QPalette::Button);
}

bool setFaceColor(QWidget* w, const QColor& c)
{
    if (c == faceColor(w))
        return false;
    QPalette pal = w->palette();
    pal.setColor(QPalette::Button, c);
    w->setPalette(pal);
    w->update();
    return true;
}

} // namespace tv
