#include "controls/panel.h"
#include "controls/setter.h"

#include "controls/docklayout.h"
#include "controls/syscolors.h"

#include <QPainter>

namespace tv {

Qt::Alignment toQtAlignment(TAlignment a)
{
    switch (a) {
    case taLeftJustify:
        return Qt::AlignLeft;
    case taRightJustify:
        return Qt::AlignRight;
    case taCenter:
        break;
    }
    return Qt::AlignHCenter;
}

TPanel::TPanel(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(185, 41);
    frameChanged();
}

void TPanel::setBevelInner(TBevelCut v)
{
    assignIfChanged(m_bevelInner, v, [this] { frameChanged(); });
}

void TPanel::setBevelOuter(TBevelCut v)
{
    assignIfChanged(m_bevelOuter, v, [this] { frameChanged(); });
}

void TPanel::setBevelWidth(int v)
{
    v = std::max(1, v);
    if (v != m_bevelWidth) {
        m_bevelWidth = v;
        frameChanged();
    }
}

void TPanel::setBorderWidth(int v)
{
    v = std::max(0, v);
    if (v != m_borderWidth) {
        m_borderWidth = v;
        frameChanged();
    }
}

void TPanel::setBorderStyle(TBorderStyle v)
{
    assignIfChanged(m_borderStyle, v, [this] { frameChanged(); });
}

void TPanel::setAlignment(TAlignment v)
{
    assignIfChanged(m_alignment, v, [this] { update(); });
}

void TPanel::setCaption(const QString& v)
{
    assignIfChanged(m_caption, v, [this] { update(); });
}

QColor TPanel::Color() const
{
    return faceColor(this);
}

void TPanel::setColor(const QColor& c)
{
    setFaceColor(this, c);
}

TAlign TPanel::Align() const
{
    return alignOf(this);
}

void TPanel::setAlign(TAlign a)
{
    tv::setAlign(this, a);
}

int TPanel::frameExtent() const
{
    return (m_borderStyle == bsSingle ? 1 : 0) + m_borderWidth
        + (m_bevelOuter != bvNone ? m_bevelWidth : 0) + (m_bevelInner != bvNone ? m_bevelWidth : 0);
}

void TPanel::frameChanged()
{
    const int e = frameExtent();
    setContentsMargins(e, e, e, e);
    update();
}

QRect TPanel::paintFrame(QPainter& p)
{
    QRect r = rect();
    const QColor hi = sysColor(this, SysColor::BtnHighlight);
    const QColor sh = sysColor(this, SysColor::BtnShadow);
    const QColor face = Color();
    if (m_borderStyle == bsSingle)
        frame3D(p, r, sysColor(this, SysColor::WindowText), sysColor(this, SysColor::WindowText), 1);
    if (m_bevelOuter != bvNone)
        frame3D(p, r, m_bevelOuter == bvRaised ? hi : sh, m_bevelOuter == bvRaised ? sh : hi, m_bevelWidth);
    frame3D(p, r, face, face, m_borderWidth);
    if (m_bevelInner != bvNone)
        frame3D(p, r, m_bevelInner == bvRaised ? hi : sh, m_bevelInner == bvRaised ? sh : hi, m_bevelWidth);
    if (r.isValid())
        p.fillRect(r, face);
    return r;
}

void TPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = paintFrame(p);
    if (!m_caption.isEmpty() && r.isValid()) {
        p.setFont(font());
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(r, toQtAlignment(m_alignment) | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextExpandTabs,
                   m_caption);
    }
}

} // namespace tv
