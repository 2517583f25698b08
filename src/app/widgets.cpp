#include "app/widgets.h"

#include "app/glyphs.h"
#include "controls/docklayout.h"
#include "controls/explbtn.h"

#include <QApplication>

namespace tv::app {

QFont arialPx(int px, bool bold, bool italic)
{
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(px);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

void name(QObject* o, const char* objectName, int tag)
{
    o->setObjectName(QString::fromLatin1(objectName));
    if (tag != 0)
        o->setProperty("Tag", tag);
}

void setHint(QWidget* w, const QString& hint)
{
    w->setToolTip(hint);
    w->setStatusTip(hint);
}

TExplorerButton* flatButton(QWidget* row, const char* objectName, int x, int tag, const QString& hint)
{
    auto* b = new TExplorerButton(row);
    name(b, objectName, tag);
    b->setTag(tag);
    b->setGeometry(x, 2, 25, 25);
    // Drawn for the densest screen, so that the pictures are as sharp as the text there.
    const QImage picture = buttonPicture(QString::fromLatin1(objectName), qApp->devicePixelRatio());
    b->setBitmap(picture);
    // At rest the muted picture, in full colour only under the mouse.
    b->setNoFocusBitmap(mutedPicture(picture));
    b->setDisabledBitmap(disabledPicture(picture));
    b->setShowHint(true);
    setHint(b, hint);
    return b;
}

TPanel* separator(QWidget* row, int x, const char* objectName)
{
    auto* f = new TPanel(row);
    if (objectName)
        f->setObjectName(QString::fromLatin1(objectName));
    f->setBevelOuter(bvLowered);
    f->setGeometry(x, 2, 2, 26);
    return f;
}

TRzLabel* shadowLabel(QWidget* parent, const char* objectName, const QString& text, const QFont& font,
                      const QColor& colour, TRzLabel::TTextStyle style)
{
    auto* l = new TRzLabel(text, parent);
    if (objectName)
        l->setObjectName(QString::fromLatin1(objectName));
    l->setFont(font);
    l->setFontColor(colour);
    l->setShadowDepth(1);
    l->setTextStyle(style);
    l->setTransparent(true);
    return l;
}

TPanel* dockedPanel(QWidget* parent, const char* objectName, TAlign align, int extent, TBevelCut outer)
{
    auto* p = new TPanel(parent);
    if (objectName)
        p->setObjectName(QString::fromLatin1(objectName));
    p->setBevelOuter(outer);
    if (align == alLeft || align == alRight)
        p->resize(extent, 100);
    else if (align == alTop || align == alBottom)
        p->resize(100, extent);
    tv::setAlign(p, align);
    return p;
}

} // namespace tv::app
