#include "controls/banner.h"

#include "controls/panel.h"
#include "controls/syscolors.h"

#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <stdexcept>

namespace tv {

namespace {
const char* const kNoContent = "Assign a bitmap or text to banner before enabling";

bool isVertical(TBanner::TScrollDirection d)
{
    return d == TBanner::sdTopToBottom || d == TBanner::sdBottomToTop;
}
} // namespace

TBanner::TBanner(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(100, 100);
    m_timer = new QTimer(this);
    m_timer->setInterval(m_interval);
    connect(m_timer, &QTimer::timeout, this, &TBanner::ScrollStep);
}

TBanner::~TBanner()
{
    delete m_timer;
}

QColor TBanner::Color() const
{
    return faceColor(this);
}

void TBanner::setColor(const QColor& c)
{
    setFaceColor(this, c);
}

QImage TBanner::newStrip(int w, int h) const
{
    if (w <= 0 || h <= 0)
        return QImage();
    QImage strip(w, h, QImage::Format_RGB32);
    strip.fill(Color());
    return strip;
}

void TBanner::setBitmap(const QImage& image)
{
    m_strip = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
    m_stripIsContent = true;
    m_scrollText.clear();
    m_lines.clear();
    if (m_autoEnable && m_strip.width() > 0)
        setEnabled(true);
    update();
}

void TBanner::renderStrip(const QStringList& lines, TAlignment align)
{
    // Block width = widest line; line height = the text height of "Xj" (the font's height).
    const QFontMetrics fm(font());
    int blockWidth = 0;
    for (const QString& line : lines)
        blockWidth = std::max(blockWidth, fm.horizontalAdvance(line));
    const int lineHeight = fm.height();
    m_strip = newStrip(blockWidth, static_cast<int>(lines.size()) * lineHeight);
    m_stripIsContent = false;
    if (m_strip.isNull())
        return;
    QPainter p(&m_strip);
    p.setFont(font());
    p.setPen(palette().color(QPalette::WindowText));
    p.setBackground(Color());
    p.setBackgroundMode(Qt::OpaqueMode);
    for (int i = 0; i < lines.size(); ++i) {
        const int w = fm.horizontalAdvance(lines.at(i));
        const int x = align == taLeftJustify ? 0 : align == taRightJustify ? blockWidth - w : (blockWidth - w) / 2;
        p.drawText(QPoint(x, i * lineHeight + fm.ascent()), lines.at(i));
    }
}

void TBanner::renderLines()
{
    renderStrip(m_lines, m_linesAlign);
}

void TBanner::renderText()
{
    renderStrip(QStringList{m_scrollText}, taLeftJustify);
}

void TBanner::setLines(const QStringList& lines)
{
    const bool wasOn = m_enabled;
    if (m_enabled)
        setEnabled(false);
    m_scrollText.clear();
    m_lines = lines;
    renderLines();
    // Content that renders to nothing (no lines) leaves scrolling off rather than failing.
    if ((wasOn || m_autoEnable) && !m_strip.isNull())
        setEnabled(true);
    update();
}

void TBanner::setLinesAlign(TAlignment v)
{
    if (v == m_linesAlign)
        return;
    m_linesAlign = v;
    if (!m_lines.isEmpty())
        setLines(QStringList(m_lines));
}

void TBanner::setScrollText(const QString& text)
{
    if (m_enabled)
        setEnabled(false);
    m_lines.clear();
    m_scrollText = text;
    renderText();
    if (m_autoEnable && !m_strip.isNull())
        setEnabled(true);
    update();
}

void TBanner::setScrollInterval(uint ms)
{
    m_timer->setInterval(static_cast<int>(static_cast<uint16_t>(ms)));
    m_interval = static_cast<uint16_t>(m_timer->interval());
}

void TBanner::setScrollDirection(TScrollDirection d)
{
    if (d == m_direction)
        return;
    if (!m_strip.isNull()) {
        if (isVertical(d) == isVertical(m_direction))
            m_position = isVertical(d) ? m_strip.height() + height() - m_position
                                       : m_strip.width() + width() - m_position;
        else
            m_position = isVertical(d) ? m_strip.height() : m_strip.width();
    } else if (isVertical(d) != isVertical(m_direction)) {
        // No strip to measure (text content switched off): start the new axis afresh.
        m_position = 0;
    }
    m_direction = d;
    update();
}

void TBanner::setEnabled(bool on)
{
    if (m_loading)
        return;
    if (on) {
        if (m_strip.isNull()) {
            if (!m_lines.isEmpty())
                renderLines();
            else if (!m_scrollText.isEmpty())
                renderText();
            else
                throw std::runtime_error(kNoContent);
        }
    } else if (!m_stripIsContent) {
        m_strip = QImage();
    }
    if (on)
        m_timer->start();
    else
        m_timer->stop();
    m_enabled = on;
    update();
    if (on)
        emit OnEnable();
    else
        emit OnDisable();
}

void TBanner::Loaded()
{
    m_loading = false;
    if (!m_scrollText.isEmpty())
        renderText();
    if (!m_lines.isEmpty())
        renderLines();
    if (m_autoEnable && !m_strip.isNull() && m_strip.height() > 0)
        setEnabled(true);
}

void TBanner::ScrollStep()
{
    m_position += m_pixels;
    const bool vertical = isVertical(m_direction);
    const int extent = m_strip.isNull() ? 0 : (vertical ? m_strip.height() : m_strip.width());
    const int bannerExtent = vertical ? height() : width();
    if (m_noGap) {
        if (extent > 0)
            m_position = ((m_position - 1) % extent) + 1;  // subtract E while above E
    } else if (m_position > extent + bannerExtent) {
        if (m_onlyOnce)
            setEnabled(false);
        else
            m_position = 0;
    }
    repaint();
    emit OnScroll();
}

QImage TBanner::ComposeFrame() const
{
    QImage frame(size(), QImage::Format_RGB32);
    frame.fill(Color());
    if (m_strip.isNull() || !isVisible() || frame.isNull())
        return frame;
    QPainter p(&frame);
    const int W = width(), H = height(), p0 = m_position;
    const bool vertical = isVertical(m_direction);
    const int E = vertical ? m_strip.height() : m_strip.width();
    // Leading edge of the first copy along the axis of motion.
    int start = 0;
    switch (m_direction) {
    case sdRightToLeft:
        start = W - p0;
        break;
    case sdLeftToRight:
        start = p0 - E;
        break;
    case sdTopToBottom:
        start = p0 - E;
        break;
    case sdBottomToTop:
        start = H - p0;
        break;
    }
    auto place = [&](int at) {
        if (vertical)
            p.drawImage(0, at, m_strip);
        else
            p.drawImage(at, 0, m_strip);
    };
    if (!m_noGap || E <= 0) {
        place(start);
        return frame;
    }
    // An endless ribbon: copies laid end to end over the whole banner.
    const int bannerExtent = vertical ? H : W;
    int first = start % E;
    if (first > 0)
        first -= E;
    for (int at = first; at < bannerExtent; at += E)
        place(at);
    return frame;
}

void TBanner::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (m_strip.isNull() || !isVisible()) {
        p.fillRect(rect(), Color());
        return;
    }
    // One copy of a frame composed off screen: never a half-drawn picture.
    p.drawImage(0, 0, ComposeFrame());
}

} // namespace tv
