#pragma once
// TBanner: scrolls a picture, a one-line text or a block of text lines through its area in one
// of four directions, driven by its own timer. The content is rendered into one image, the
// strip; every tick moves it by ScrollPixels and repaints from an off-screen copy.
//
// Enabled here means "scrolling on" (it hides QWidget::setEnabled on purpose). Switching on
// without content throws std::runtime_error("Assign a bitmap or text to banner before enabling").

#include "controls/types.h"

#include <QColor>
#include <QImage>
#include <QStringList>
#include <QWidget>

#include <cstdint>

class QTimer;

namespace tv {

class TBanner : public QWidget {
    Q_OBJECT
public:
    enum TScrollDirection { sdRightToLeft, sdLeftToRight, sdTopToBottom, sdBottomToTop };
    Q_ENUM(TScrollDirection)

    Q_PROPERTY(bool AutoEnable READ AutoEnable WRITE setAutoEnable)
    Q_PROPERTY(QImage Bitmap READ Bitmap WRITE setBitmap)
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled)
    Q_PROPERTY(QStringList Lines READ Lines WRITE setLines)
    Q_PROPERTY(tv::TAlignment LinesAlign READ LinesAlign WRITE setLinesAlign)
    Q_PROPERTY(bool NoGap READ NoGap WRITE setNoGap)
    Q_PROPERTY(bool OnlyOnce READ OnlyOnce WRITE setOnlyOnce)
    Q_PROPERTY(TScrollDirection ScrollDirection READ ScrollDirection WRITE setScrollDirection)
    Q_PROPERTY(uint ScrollInterval READ ScrollInterval WRITE setScrollInterval)
    Q_PROPERTY(uint ScrollPixels READ ScrollPixels WRITE setScrollPixels)
    Q_PROPERTY(QString ScrollText READ ScrollText WRITE setScrollText)
    Q_PROPERTY(QColor Color READ Color WRITE setColor)

    explicit TBanner(QWidget* parent = nullptr);
    ~TBanner() override;

    bool AutoEnable() const { return m_autoEnable; }
    void setAutoEnable(bool v) { m_autoEnable = v; }
    // The strip (the picture itself when a picture was assigned).
    QImage Bitmap() const { return m_strip; }
    void setBitmap(const QImage& image);
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool on);
    QStringList Lines() const { return m_lines; }
    void setLines(const QStringList& lines);
    TAlignment LinesAlign() const { return m_linesAlign; }
    void setLinesAlign(TAlignment v);
    bool NoGap() const { return m_noGap; }
    void setNoGap(bool v) { m_noGap = v; }
    bool OnlyOnce() const { return m_onlyOnce; }
    void setOnlyOnce(bool v) { m_onlyOnce = v; }
    TScrollDirection ScrollDirection() const { return m_direction; }
    void setScrollDirection(TScrollDirection d);
    uint ScrollInterval() const { return m_interval; }
    void setScrollInterval(uint ms);
    uint ScrollPixels() const { return m_pixels; }
    void setScrollPixels(uint v) { m_pixels = static_cast<uint16_t>(v); }
    QString ScrollText() const { return m_scrollText; }
    void setScrollText(const QString& text);
    // Background and text background (the palette's button face until set).
    QColor Color() const;
    void setColor(const QColor& c);

    // Stored-form loading: between BeginLoad() and Loaded() switching is ignored; Loaded()
    // renders the stored text or lines and switches on when AutoEnable holds.
    void BeginLoad() { m_loading = true; }
    void Loaded();

    // How far the strip has travelled (0 = not entered yet).
    int Position() const { return m_position; }
    void setPosition(int p) { m_position = p; }
    bool HasStrip() const { return !m_strip.isNull(); }
    QSize StripSize() const { return m_strip.size(); }
    QTimer* Timer() const { return m_timer; }
    // One scroll step, as run by every timer tick.
    void ScrollStep();
    // The frame the banner shows now, composed off screen.
    QImage ComposeFrame() const;

signals:
    void OnScroll();
    void OnEnable();
    void OnDisable();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void renderStrip(const QStringList& lines, TAlignment align);
    void renderLines();
    void renderText();
    QImage newStrip(int w, int h) const;

    bool m_autoEnable = true;
    bool m_enabled = false;
    bool m_loading = false;
    bool m_stripIsContent = false;  // the strip is an assigned picture, not rendered text
    QImage m_strip;
    QStringList m_lines;
    TAlignment m_linesAlign = taCenter;
    bool m_noGap = false;
    bool m_onlyOnce = false;
    TScrollDirection m_direction = sdRightToLeft;
    uint16_t m_interval = 200;
    uint16_t m_pixels = 4;
    QString m_scrollText;
    int m_position = 0;
    QTimer* m_timer = nullptr;
};

} // namespace tv
