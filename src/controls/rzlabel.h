#pragma once
// TRzLabel: a text label that draws its caption raised, recessed or with a drop shadow, and
// otherwise behaves as an ordinary label (alignment, auto size, word wrap, transparency,
// accelerator character, focus control = buddy).

#include "controls/types.h"

#include <QColor>
#include <QLabel>

namespace tv {

class TRzLabel : public QLabel {
    Q_OBJECT
public:
    enum TTextStyle { tsNone, tsRaised, tsRecessed, tsShadow };
    Q_ENUM(TTextStyle)

    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(tv::TAlignment Alignment READ Alignment WRITE setAlignment)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE setAutoSize)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE setWordWrap)
    Q_PROPERTY(bool Transparent READ Transparent WRITE setTransparent)
    Q_PROPERTY(bool ShowAccelChar READ ShowAccelChar WRITE setShowAccelChar)
    Q_PROPERTY(QColor Color READ Color WRITE setColor)
    Q_PROPERTY(QColor ShadowColor READ ShadowColor WRITE setShadowColor)
    Q_PROPERTY(int ShadowDepth READ ShadowDepth WRITE setShadowDepth)
    Q_PROPERTY(TTextStyle TextStyle READ TextStyle WRITE setTextStyle)

    explicit TRzLabel(QWidget* parent = nullptr);
    explicit TRzLabel(const QString& caption, QWidget* parent = nullptr);

    QString Caption() const { return text(); }
    void setCaption(const QString& v);
    TAlignment Alignment() const { return m_alignment; }
    void setAlignment(TAlignment v);
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool v);
    bool WordWrap() const { return wordWrap(); }
    void setWordWrap(bool v);
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool v);
    bool ShowAccelChar() const { return m_showAccelChar; }
    void setShowAccelChar(bool v);
    // Background (the palette's button face until set); font colour is the palette's window text.
    QColor Color() const;
    void setColor(const QColor& c);
    QColor FontColor() const;
    void setFontColor(const QColor& c);
    void setFocusControl(QWidget* w) { setBuddy(w); }

    QColor ShadowColor() const;
    void setShadowColor(const QColor& c);
    int ShadowDepth() const { return m_shadowDepth; }
    void setShadowDepth(int v);
    TTextStyle TextStyle() const { return m_textStyle; }
    void setTextStyle(TTextStyle v);

    // The text painted: the caption cut to 255 characters.
    QString PaintedText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int textFlags() const;
    void adjustBounds();

    TAlignment m_alignment = taLeftJustify;
    bool m_autoSize = true;
    bool m_transparent = false;
    bool m_showAccelChar = true;
    QColor m_shadowColor;  // invalid = the button-shadow colour
    int m_shadowDepth = 2;
    TTextStyle m_textStyle = tsRecessed;
};

} // namespace tv
