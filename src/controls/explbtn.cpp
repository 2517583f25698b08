#include "controls/explbtn.h"
#include "controls/setter.h"

#include "controls/panel.h"
#include "controls/syscolors.h"
#include "platform/platform.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>

namespace tv {

namespace {

// Shared by all buttons: the dither pattern (created on first need, dropped whenever a button
// goes) and the platform family flag (set at every construction).
QImage* g_dither = nullptr;
bool g_win95 = false;

QImage toArgb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

// A picture's size in the button's coordinates (a picture drawn for a high-density screen
// holds more pixels than it covers).
QSize logicalSize(const QImage& image)
{
    return image.deviceIndependentSize().toSize();
}

} // namespace

TExplorerButton::TExplorerButton(QWidget* parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover, false);
    resize(50, 40);
    g_win95 = platform::isWin95Family();
}

TExplorerButton::~TExplorerButton()
{
    delete g_dither;
    g_dither = nullptr;
}

// ---- properties ---------------------------------------------------------------------------

void TExplorerButton::setAlignment(TAlignment v)
{
    m_alignment = v;
    repaint();
}

void TExplorerButton::setBevelStyle(TBevelStyle v)
{
    m_bevelStyle = v;
    repaint();
}

void TExplorerButton::setLayout(TExplorerButtonLayout v)
{
    assignIfChanged(m_layout, v, [this] { repaint(); });
}

void TExplorerButton::setShowDownPattern(bool v)
{
    assignIfChanged(m_showDownPattern, v, [this] { repaint(); });
}

QColor TExplorerButton::UnselectedFontColor() const
{
    return m_unselectedFontColor.isValid() ? m_unselectedFontColor : sysColor(this, SysColor::WindowText);
}

void TExplorerButton::setUnselectedFontColor(const QColor& c)
{
    if (c != UnselectedFontColor()) {
        m_unselectedFontColor = c;
        repaint();
    }
}

void TExplorerButton::setWordWrap(bool v)
{
    assignIfChanged(m_wordWrap, v, [this] { repaint(); });
}

void TExplorerButton::regenerateMuted()
{
    if (!m_bitmap.isNull() && m_noFocusBitmap.isNull())
        m_mutedBitmap = MakeMutedBitmap(m_bitmap, m_shadingType, sysColor(this, SysColor::BtnHighlight),
                                        sysColor(this, SysColor::BtnShadow));
}

void TExplorerButton::setBitmap(const QImage& image)
{
    m_bitmap = image.copy();
    regenerateMuted();
    repaint();
}

void TExplorerButton::setNoFocusBitmap(const QImage& image)
{
    m_noFocusBitmap = image.copy();
    regenerateMuted();
    repaint();
}

void TExplorerButton::setDisabledBitmap(const QImage& image)
{
    m_disabledBitmap = image.copy();
    if (!isEnabled())
        repaint();
}

void TExplorerButton::setCaption(const QString& v)
{
    m_caption = v;
    updateShortcut();
    if (m_options.testFlag(boIconOnly))
        setHint(StripAccelerators(v));
    else
        repaint();
}

void TExplorerButton::setOptions(TExplorerButtonOptions v)
{
    m_options = v;
    const QString plain = StripAccelerators(m_caption);
    if (v.testFlag(boIconOnly)) {
        if (Hint().isEmpty()) {
            setHint(plain);
            m_showHint = true;
        }
    } else if (Hint() == plain) {
        setHint(QString());
        m_showHint = false;
    }
    repaint();
}

void TExplorerButton::setShadingType(TExplorerButtonShadingType v)
{
    if (v == m_shadingType)
        return;
    m_shadingType = v;
    if (!m_bitmap.isNull() && m_noFocusBitmap.isNull()) {
        regenerateMuted();
        repaint();
    }
}

QList<TExplorerButton*> TExplorerButton::groupPeers() const
{
    QList<TExplorerButton*> peers;
    if (!parentWidget())
        return peers;
    for (TExplorerButton* b : parentWidget()->findChildren<TExplorerButton*>(Qt::FindDirectChildrenOnly))
        if (b != this && b->m_groupIndex == m_groupIndex)
            peers.append(b);
    return peers;
}

void TExplorerButton::setGroupIndex(int v)
{
    if (v == m_groupIndex)
        return;
    m_groupIndex = v;
    if (v == 0 && m_down) {
        m_down = false;
        repaint();
    }
}

void TExplorerButton::releaseGroupPeers()
{
    for (TExplorerButton* b : groupPeers()) {
        if (b->m_down) {
            b->m_down = false;
            b->repaint();
        }
    }
}

void TExplorerButton::setDown(bool v)
{
    if (v == m_down || m_groupIndex == 0)
        return;
    m_down = v;
    repaint();
    if (v)
        releaseGroupPeers();
}

void TExplorerButton::setAllowAllUp(bool v)
{
    m_allowAllUp = v;
    if (m_groupIndex != 0)
        for (TExplorerButton* b : groupPeers())
            b->m_allowAllUp = v;
}

void TExplorerButton::setDropDownMenu(QMenu* menu)
{
    m_dropDownMenu = menu;
    if (m_options.testFlag(boPopupMark))
        repaint();
}

void TExplorerButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        if (m_groupIndex == 0)
            m_down = false;
        m_pressed = false;
        m_hot = false;
        repaint();
    }
    QWidget::changeEvent(event);
}

void TExplorerButton::updateShortcut()
{
    if (m_shortcutId) {
        releaseShortcut(m_shortcutId);
        m_shortcutId = 0;
    }
    const QKeySequence key = QKeySequence::mnemonic(m_caption);
    if (!key.isEmpty())
        m_shortcutId = grabShortcut(key);
}

// ---- pure helpers -------------------------------------------------------------------------

QString TExplorerButton::StripAccelerators(const QString& caption)
{
    QString out;
    const qsizetype n = caption.size();
    qsizetype i = 0;
    while (i < n - 1) {
        if (caption.at(i) == QLatin1Char('&')) {
            if (caption.at(i + 1) == QLatin1Char('&')) {
                out += QLatin1Char('&');
                i += 2;
            } else {
                i += 1;
            }
        } else {
            out += caption.at(i);
            i += 1;
        }
    }
    if (i == n - 1)
        out += caption.at(n - 1);
    return out;
}

QImage TExplorerButton::MakeMutedBitmap(const QImage& source, TExplorerButtonShadingType shading,
                                        const QColor& highlight, const QColor& shadow)
{
    if (source.isNull())
        return QImage();
    struct Thresholds { int W, H, D; };
    static constexpr Thresholds kTable[] = {{205, 127, 68}, {553, 231, 57}, {335, 274, 175}};
    const Thresholds t = kTable[shading];
    QImage out = toArgb(source);
    const QRgb transparent = out.pixel(0, 0);
    const QRgb white = qRgb(255, 255, 255), hi = highlight.rgb(), sh = shadow.rgb(), black = qRgb(0, 0, 0);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb c = line[x];
            if (c == transparent)
                continue;
            const int s = qRed(c) + qGreen(c) + qBlue(c);
            // The shade replaces the colour; the coverage of a smoothed edge stays.
            line[x] = ((s > t.W ? white : s > t.H ? hi : s > t.D ? sh : black) & 0xFFFFFFu) | (c & 0xFF000000u);
        }
    }
    return out;
}

QImage TExplorerButton::DitherPattern(const QColor& highlight, const QColor& face)
{
    QImage img(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            img.setPixel(x, y, ((x % 2) == (y % 2)) ? highlight.rgb() : face.rgb());
    return img;
}

TExplorerButton::ContentLayout TExplorerButton::contentLayout() const
{
    ContentLayout L;
    const int W = width(), H = height();
    if (!m_options.testFlag(boIconOnly) && !m_caption.isEmpty()) {
        L.G = 2;
        int flags = static_cast<int>(toQtAlignment(m_alignment)) | Qt::TextShowMnemonic;
        if (m_wordWrap)
            flags |= Qt::TextWordWrap;
        const QString text = m_wordWrap ? m_caption + QLatin1Char(' ') : m_caption;
        const QRect r = QFontMetrics(font()).boundingRect(QRect(0, 0, std::max(0, W - 4), 0), flags, text);
        L.TW = std::min(r.width(), W - 4);
        L.TH = r.height();
    }
    const bool mark = m_options.testFlag(boPopupMark) && m_dropDownMenu;
    L.IW = logicalSize(m_bitmap).width() + (mark ? 10 : 0);
    L.IH = logicalSize(m_bitmap).height();
    L.TL = L.TW;
    const int IW = L.IW, IH = L.IH, G = L.G;
    int& TW = L.TW;
    const int TH = L.TH;
    if (m_bitmap.isNull()) {
        int B = TW;
        if (mark) {
            L.TL = std::min(W - 14, TW);
            B = TW + 10;
        }
        L.TY = (H - TH) / 2;
        L.TX = m_alignment == taLeftJustify ? 3 : m_alignment == taRightJustify ? W - B - 3 : (W - B) / 2;
    } else if (m_layout == blBitmapTop || m_layout == blBitmapBottom) {
        if (m_layout == blBitmapTop) {
            L.IY = (H - (TH + IH + G)) / 2;
            L.TY = L.IY + IH + G;
        } else {
            L.TY = (H - (TH + IH + G)) / 2;
            L.IY = L.TY + TH + G;
        }
        switch (m_alignment) {
        case taLeftJustify:
            L.IX = 3;
            L.TX = 3;
            break;
        case taRightJustify:
            L.TX = W - TW - 3;
            L.IX = W - IW - 3;
            break;
        case taCenter:
            L.IX = (W - IW) / 2;
            L.TX = (W - TW) / 2;
            break;
        }
    } else {
        if (IW + TW + G > W - 4) {
            TW = W - 4 - G - IW;
            L.TL = TW;
        }
        L.IY = (H - IH) / 2;
        L.TY = (H - TH) / 2;
        // The picture and the caption side by side: the one in front, then the other.
        const bool imageFirst = m_layout == blBitmapLeft;
        const int leadW = imageFirst ? IW : TW;
        const int trailW = imageFirst ? TW : IW;
        int lead = 0;
        int trail = 0;
        switch (m_alignment) {
        case taLeftJustify:
            lead = 3;
            trail = leadW + G + 3;
            break;
        case taRightJustify:
            trail = W - trailW - 3;
            lead = trail - leadW - G;
            break;
        case taCenter:
            lead = (W - (TW + IW + G)) / 2;
            trail = lead + leadW + G;
            break;
        }
        L.IX = imageFirst ? lead : trail;
        L.TX = imageFirst ? trail : lead;
    }
    if (m_wordWrap && L.TX + L.TL > W - 5)
        L.TL = W - 5 - L.TX;
    return L;
}

// ---- painting -----------------------------------------------------------------------------

void TExplorerButton::drawCaption(QPainter& p, const QRect& r, const QColor& color) const
{
    if (m_options.testFlag(boIconOnly) || m_caption.isEmpty())
        return;
    int flags = static_cast<int>(toQtAlignment(m_alignment)) | Qt::TextShowMnemonic;
    QString text = m_wordWrap ? m_caption + QLatin1Char(' ') : m_caption;
    if (m_wordWrap)
        flags |= Qt::TextWordWrap;
    else if (g_win95)
        text = p.fontMetrics().elidedText(text, Qt::ElideRight, r.width(), Qt::TextShowMnemonic);
    p.setPen(color);
    p.drawText(r, flags, text);
}

void TExplorerButton::drawTransparent(QPainter& p, int x, int y, const QImage& image) const
{
    if (image.isNull())
        return;
    QImage img = toArgb(image);
    const QRgb transparent = img.pixel(0, 0);
    for (int j = 0; j < img.height(); ++j) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(j));
        for (int i = 0; i < img.width(); ++i)
            if (line[i] == transparent)
                line[i] = 0;
    }
    p.drawImage(x, y, img);
}

void TExplorerButton::drawDropMark(QPainter& p, int x, int y, const QColor& color) const
{
    p.fillRect(QRect(x, y - 1, 7, 1), color);
    p.fillRect(QRect(x + 1, y, 5, 1), color);
    p.fillRect(QRect(x + 2, y + 1, 3, 1), color);
    p.fillRect(QRect(x + 3, y + 2, 1, 1), color);
}

void TExplorerButton::paintEvent(QPaintEvent*)
{
    if (!isVisible())
        return;
    QPainter p(this);
    const QColor hi = sysColor(this, SysColor::BtnHighlight);
    const QColor sh = sysColor(this, SysColor::BtnShadow);
    if (m_down && m_showDownPattern) {
        if (!g_dither)
            g_dither = new QImage(DitherPattern(hi, sysColor(this, SysColor::BtnFace)));
        p.fillRect(rect(), QBrush(*g_dither));
    }
    p.setBrush(Qt::NoBrush);
    p.setFont(font());

    const ContentLayout L = contentLayout();
    QRect textRect = L.textRect();
    const bool mark = m_options.testFlag(boPopupMark) && m_dropDownMenu;
    const QColor fontColor = sysColor(this, SysColor::WindowText);
    const bool raised = m_bevelStyle == bsRaised;
    auto bevel = [&](const QColor& topLeft, const QColor& bottomRight) {
        QRect r = rect();
        frame3D(p, r, topLeft, bottomRight, 1);
    };

    if (isEnabled()) {
        if ((m_pressed && m_hot) || m_down) {
            bevel(raised ? sh : hi, raised ? hi : sh);
            if (raised)
                textRect.translate(1, 1);
            drawCaption(p, textRect, fontColor);
            drawTransparent(p, L.IX + 1, L.IY + 1, m_bitmap);
            if (mark) {
                if (!m_bitmap.isNull())
                    drawDropMark(p, logicalSize(m_bitmap).width() + L.IX + 4, L.IH / 2 + L.IY + 1, fontColor);
                else
                    drawDropMark(p, L.TX + L.TL + 4, L.TH / 2 + L.TY + 1, fontColor);
            }
        } else {
            QColor captionColor = fontColor;
            if (m_hot)
                bevel(raised ? hi : sh, raised ? sh : hi);
            else
                captionColor = UnselectedFontColor();
            if (!raised)
                textRect.translate(1, 1);
            drawCaption(p, textRect, captionColor);
            const bool muted = !m_hot && m_options.testFlag(boMonoDisplay);
            drawTransparent(p, L.IX, L.IY,
                            muted ? (m_noFocusBitmap.isNull() ? m_mutedBitmap : m_noFocusBitmap) : m_bitmap);
            if (mark) {
                if (!m_bitmap.isNull())
                    drawDropMark(p, logicalSize(m_bitmap).width() + L.IX + 3, L.IH / 2 + L.IY, captionColor);
                else
                    drawDropMark(p, L.TX + L.TL + 3, L.TH / 2 + L.TY, captionColor);
            }
        }
    } else {
        if (m_down)
            bevel(raised ? sh : hi, raised ? hi : sh);
        if (m_disabledBitmap.isNull()) {
            if (!m_bitmap.isNull()) {
                // Embossed: every pixel that is not pure white (nor see-through) is ink.
                QImage ink = toArgb(m_bitmap);
                auto inked = [&](const QColor& c) {
                    QImage out(ink.size(), QImage::Format_ARGB32);
                    out.setDevicePixelRatio(ink.devicePixelRatio());
                    for (int y = 0; y < ink.height(); ++y)
                        for (int x = 0; x < ink.width(); ++x) {
                            const QRgb px = ink.pixel(x, y);
                            const bool blank = qAlpha(px) == 0 || (px & 0xFFFFFF) == 0xFFFFFF;
                            out.setPixel(x, y, blank ? 0u : c.rgb());
                        }
                    return out;
                };
                p.drawImage(L.IX + 1, L.IY + 1, inked(hi));
                p.drawImage(L.IX, L.IY, inked(sh));
            }
        } else {
            drawTransparent(p, L.IX, L.IY, m_disabledBitmap);
        }
        drawCaption(p, textRect.translated(1, 1), hi);
        drawCaption(p, textRect, sh);
    }
}

// ---- mouse and keyboard -------------------------------------------------------------------

bool TExplorerButton::cursorInside() const
{
    const QPoint pos = mapFromGlobal(QCursor::pos());
    return pos.x() > 0 && pos.x() < width() && pos.y() > 0 && pos.y() < height();
}

void TExplorerButton::enterEvent(QEnterEvent* event)
{
    m_hot = true;
    if (!m_down && isEnabled())
        repaint();
    QWidget::enterEvent(event);
}

void TExplorerButton::leaveEvent(QEvent* event)
{
    m_hot = false;
    if (!m_down && isEnabled())
        repaint();
    QWidget::leaveEvent(event);
}

void TExplorerButton::afterMenu()
{
    if (!cursorInside())
        m_hot = false;
    m_pressed = false;
    repaint();
}

void TExplorerButton::leftDown()
{
    if (window() && !window()->isActiveWindow())
        window()->activateWindow();
    if (!isEnabled() || !isVisible())
        return;
    m_pressed = true;
    m_hot = true;
    repaint();
    if (m_dropDownMenu) {
        m_dropDownMenu->exec(mapToGlobal(QPoint(0, height())));
        afterMenu();
    }
}

void TExplorerButton::leftUp()
{
    if (!isEnabled() || !isVisible() || !m_pressed)
        return;
    m_pressed = false;
    if (m_hot && m_groupIndex != 0) {
        if (!m_down) {
            releaseGroupPeers();
            m_down = true;
        } else if (m_allowAllUp) {
            m_down = false;
        }
    }
    if (!m_hot) {
        update();
        return;
    }
    if (!cursorInside())
        m_hot = false;
    update();
    if (!m_dropDownMenu)
        emit OnClick();
}

void TExplorerButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        leftDown();
    event->accept();
}

void TExplorerButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

void TExplorerButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        leftUp();
    } else if (event->button() == Qt::RightButton && m_popupMenu) {
        m_popupMenu->exec(event->globalPosition().toPoint());
        afterMenu();
    }
    event->accept();
}

void TExplorerButton::mouseMoveEvent(QMouseEvent* event)
{
    // Mouse moves are not passed on. While the button is held the mouse is captured, so
    // leaving and coming back are followed here.
    if (m_pressed) {
        const QPoint pos = event->position().toPoint();
        const bool inside = pos.x() > 0 && pos.x() < width() && pos.y() > 0 && pos.y() < height();
        if (inside != m_hot) {
            m_hot = inside;
            repaint();
        }
    }
    event->accept();
}

void TExplorerButton::Accelerate()
{
    if (!isEnabled() || !isVisible())
        return;
    m_hot = true;
    m_pressed = false;
    repaint();
    QApplication::processEvents();
    leftDown();
    QApplication::processEvents();
    leftUp();
    QApplication::processEvents();
    if (!cursorInside()) {
        m_hot = false;
        repaint();
    }
}

bool TExplorerButton::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Shortcut:
        if (static_cast<QShortcutEvent*>(event)->shortcutId() == m_shortcutId) {
            Accelerate();
            return true;
        }
        break;
    case QEvent::ToolTip:
        if (!m_showHint)
            return true;
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

} // namespace tv
