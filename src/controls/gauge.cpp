#include "controls/gauge.h"
#include "controls/setter.h"

#include "controls/syscolors.h"

#include <QPainter>

#include <algorithm>

namespace tv {

TGauge::TGauge(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(100, 100);
}

void TGauge::setMinValue(int v)
{
    if (v != m_min && v < m_max) {
        m_min = v;
        m_progress = std::max(m_progress, m_min);
        update();
    }
}

void TGauge::setMaxValue(int v)
{
    if (v != m_max && v > m_min) {
        m_max = v;
        m_progress = std::min(m_progress, m_max);
        update();
    }
}

void TGauge::setProgress(int v)
{
    v = std::clamp(v, m_min, m_max);
    if (v != m_progress) {
        m_progress = v;
        update();
    }
}

void TGauge::setForeColor(const QColor& c)
{
    assignIfChanged(m_fore, c, [this] { update(); });
}

void TGauge::setBackColor(const QColor& c)
{
    assignIfChanged(m_back, c, [this] { update(); });
}

void TGauge::setBorderStyle(TBorderStyle v)
{
    assignIfChanged(m_border, v, [this] { update(); });
}

void TGauge::setShowText(bool v)
{
    assignIfChanged(m_showText, v, [this] { update(); });
}

int TGauge::PercentDone() const
{
    const long long range = static_cast<long long>(m_max) - m_min;
    return range <= 0 ? 0 : static_cast<int>((static_cast<long long>(m_progress) - m_min) * 100 / range);
}

QString TGauge::Text() const
{
    return QStringLiteral("%1%").arg(PercentDone());
}

void TGauge::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QRect r = rect();
    if (m_border == bsSingle) {
        const QColor ink = sysColor(this, SysColor::WindowText);
        frame3D(p, r, ink, ink, 1);
    }
    if (!r.isValid())
        return;
    p.fillRect(r, m_back);
    const long long range = static_cast<long long>(m_max) - m_min;
    const int filled = range <= 0 ? 0 : static_cast<int>((m_progress - m_min) * r.width() / range);
    if (filled > 0)
        p.fillRect(QRect(r.left(), r.top(), filled, r.height()), m_fore);
    if (m_showText) {
        p.setFont(font());
        p.setPen(sysColor(this, SysColor::WindowText));
        p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, Text());
    }
}

} // namespace tv
