#include "controls/rzlabel.h"
#include "controls/setter.h"

#include "controls/panel.h"
#include "controls/syscolors.h"

#include <QEvent>
#include <QPainter>

namespace tv {

namespace {
constexpr int kMaxPainted = 255;
}

TRzLabel::TRzLabel(QWidget* parent)
    : TRzLabel(QString(), parent)
{
}

TRzLabel::TRzLabel(const QString& caption, QWidget* parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    QLabel::setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setText(caption);
    adjustBounds();
}

void TRzLabel::setCaption(const QString& v)
{
    if (v == text())
        return;
    setText(v);
    adjustBounds();
    update();
}

void TRzLabel::setAlignment(TAlignment v)
{
    if (v == m_alignment)
        return;
    m_alignment = v;
    QLabel::setAlignment(toQtAlignment(v) | Qt::AlignTop);
    update();
}

void TRzLabel::setAutoSize(bool v)
{
    assignIfChanged(m_autoSize, v, [this] { adjustBounds(); });
}

void TRzLabel::setWordWrap(bool v)
{
    if (v == wordWrap())
        return;
    QLabel::setWordWrap(v);
    adjustBounds();
    update();
}

void TRzLabel::setTransparent(bool v)
{
    assignIfChanged(m_transparent, v, [this] { update(); });
}

void TRzLabel::setShowAccelChar(bool v)
{
    if (v == m_showAccelChar)
        return;
    m_showAccelChar = v;
    adjustBounds();
    update();
}

QColor TRzLabel::Color() const
{
    return faceColor(this);
}

void TRzLabel::setColor(const QColor& c)
{
    setFaceColor(this, c);
}

QColor TRzLabel::FontColor() const
{
    return palette().color(QPalette::Active, QPalette::WindowText);
}

void TRzLabel::setFontColor(const QColor& c)
{
    if (c == FontColor())
        return;
    QPalette pal = palette();
    pal.setColor(QPalette::Active, QPalette::WindowText, c);
    pal.setColor(QPalette::Inactive, QPalette::WindowText, c);
    setPalette(pal);
    update();
}

QColor TRzLabel::ShadowColor() const
{
    return m_shadowColor.isValid() ? m_shadowColor : sysColor(this, SysColor::BtnShadow);
}

void TRzLabel::setShadowColor(const QColor& c)
{
    assignIfChanged(m_shadowColor, c, [this] { update(); });
}

void TRzLabel::setShadowDepth(int v)
{
    assignIfChanged(m_shadowDepth, v, [this] { update(); });
}

void TRzLabel::setTextStyle(TTextStyle v)
{
    assignIfChanged(m_textStyle, v, [this] { update(); });
}

QString TRzLabel::PaintedText() const
{
    return text().left(kMaxPainted);
}

int TRzLabel::textFlags() const
{
    int flags = static_cast<int>(toQtAlignment(m_alignment)) | Qt::AlignTop | Qt::TextExpandTabs;
    if (wordWrap())
        flags |= Qt::TextWordWrap;
    if (m_showAccelChar)
        flags |= Qt::TextShowMnemonic;
    return flags;
}

QSize TRzLabel::sizeHint() const
{
    const QFontMetrics fm(font());
    const int width = wordWrap() ? std::max(1, this->width()) : 32767;
    const QRect r = fm.boundingRect(QRect(0, 0, width, 32767), textFlags(), PaintedText().isEmpty() ? QStringLiteral(" ") : PaintedText());
    return QSize(r.width(), r.height());
}

QSize TRzLabel::minimumSizeHint() const
{
    return QSize(0, 0);
}

void TRzLabel::adjustBounds()
{
    if (!m_autoSize)
        return;
    const QSize s = sizeHint();
    resize(wordWrap() ? width() : s.width(), s.height());
}

void TRzLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        adjustBounds();
    QLabel::changeEvent(event);
}

void TRzLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect();
    if (!m_transparent)
        p.fillRect(r, Color());
    p.setFont(font());
    const QString s = PaintedText();
    const int flags = textFlags();
    auto pass = [&](const QColor& color, int dx, int dy) {
        p.setPen(color);
        p.drawText(r.translated(dx, dy), flags, s);
    };
    const QColor hi = sysColor(this, SysColor::BtnHighlight);
    const QColor sh = sysColor(this, SysColor::BtnShadow);
    switch (m_textStyle) {
    case tsRaised:
        pass(sh, 1, 1);
        pass(hi, -1, -1);
        break;
    case tsRecessed:
        pass(hi, 1, 1);
        pass(sh, -1, -1);
        break;
    case tsShadow:
        pass(ShadowColor(), m_shadowDepth, m_shadowDepth);
        break;
    case tsNone:
        break;
    }
    pass(isEnabled() ? FontColor() : sysColor(this, SysColor::GrayText), 0, 0);
}

} // namespace tv
