#pragma once
// TExplorerButton: a flat toolbar button. At rest no frame and (with boMonoDisplay) a muted
// image; under the mouse a thin raised bevel and the full-colour image; pressed a sunken bevel
// with the content moved by one pixel. Optional caption beside or under the image, sticky
// group behaviour (GroupIndex/Down) and a drop-down menu instead of the click.
//
// Images use their pixel (0, 0) colour as the transparent colour. The button never takes the
// keyboard focus; OnClick is raised only when the left button is released inside the button.

#include "controls/types.h"

#include <QFlags>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <QMenu>

namespace tv {

class TExplorerButton : public QWidget {
    Q_OBJECT
public:
    enum TBevelStyle { bsLowered, bsRaised };
    Q_ENUM(TBevelStyle)
    enum TExplorerButtonLayout { blBitmapTop, blBitmapBottom, blBitmapLeft, blBitmapRight };
    Q_ENUM(TExplorerButtonLayout)
    enum TExplorerButtonOption { boMonoDisplay = 0x1, boIconOnly = 0x2, boPopupMark = 0x4 };
    Q_ENUM(TExplorerButtonOption)
    Q_DECLARE_FLAGS(TExplorerButtonOptions, TExplorerButtonOption)
    Q_FLAG(TExplorerButtonOptions)
    enum TExplorerButtonShadingType { stLight, stMedium, stDark };
    Q_ENUM(TExplorerButtonShadingType)

    Q_PROPERTY(tv::TAlignment Alignment READ Alignment WRITE setAlignment)
    Q_PROPERTY(bool AllowAllUp READ AllowAllUp WRITE setAllowAllUp)
    Q_PROPERTY(TBevelStyle BevelStyle READ BevelStyle WRITE setBevelStyle)
    Q_PROPERTY(QImage NoFocusBitmap READ NoFocusBitmap WRITE setNoFocusBitmap)
    Q_PROPERTY(QImage Bitmap READ Bitmap WRITE setBitmap)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(int GroupIndex READ GroupIndex WRITE setGroupIndex)
    Q_PROPERTY(QImage DisabledBitmap READ DisabledBitmap WRITE setDisabledBitmap)
    Q_PROPERTY(bool Down READ Down WRITE setDown)
    Q_PROPERTY(TExplorerButtonLayout Layout READ Layout WRITE setLayout)
    Q_PROPERTY(TExplorerButtonOptions Options READ Options WRITE setOptions)
    Q_PROPERTY(TExplorerButtonShadingType ShadingType READ ShadingType WRITE setShadingType)
    Q_PROPERTY(bool ShowDownPattern READ ShowDownPattern WRITE setShowDownPattern)
    Q_PROPERTY(QColor UnselectedFontColor READ UnselectedFontColor WRITE setUnselectedFontColor)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE setWordWrap)
    Q_PROPERTY(QString Hint READ Hint WRITE setHint)
    Q_PROPERTY(bool ShowHint READ ShowHint WRITE setShowHint)

    explicit TExplorerButton(QWidget* parent = nullptr);
    ~TExplorerButton() override;

    TAlignment Alignment() const { return m_alignment; }
    void setAlignment(TAlignment v);
    bool AllowAllUp() const { return m_allowAllUp; }
    void setAllowAllUp(bool v);
    TBevelStyle BevelStyle() const { return m_bevelStyle; }
    void setBevelStyle(TBevelStyle v);
    QImage NoFocusBitmap() const { return m_noFocusBitmap; }
    void setNoFocusBitmap(const QImage& image);
    QImage Bitmap() const { return m_bitmap; }
    void setBitmap(const QImage& image);
    QString Caption() const { return m_caption; }
    void setCaption(const QString& v);
    int GroupIndex() const { return m_groupIndex; }
    void setGroupIndex(int v);
    QImage DisabledBitmap() const { return m_disabledBitmap; }
    void setDisabledBitmap(const QImage& image);
    bool Down() const { return m_down; }
    void setDown(bool v);
    QMenu* DropDownMenu() const { return m_dropDownMenu; }
    void setDropDownMenu(QMenu* menu);
    TExplorerButtonLayout Layout() const { return m_layout; }
    void setLayout(TExplorerButtonLayout v);
    TExplorerButtonOptions Options() const { return m_options; }
    void setOptions(TExplorerButtonOptions v);
    TExplorerButtonShadingType ShadingType() const { return m_shadingType; }
    void setShadingType(TExplorerButtonShadingType v);
    bool ShowDownPattern() const { return m_showDownPattern; }
    void setShowDownPattern(bool v);
    QColor UnselectedFontColor() const;
    void setUnselectedFontColor(const QColor& c);
    bool WordWrap() const { return m_wordWrap; }
    void setWordWrap(bool v);
    // Hint = tool tip; ShowHint switches it on or off.
    QString Hint() const { return toolTip(); }
    void setHint(const QString& v) { setToolTip(v); }
    bool ShowHint() const { return m_showHint; }
    void setShowHint(bool v) { m_showHint = v; }
    // Menu shown on a right click (the framework's context menu).
    QMenu* PopupMenu() const { return m_popupMenu; }
    void setPopupMenu(QMenu* menu) { m_popupMenu = menu; }
    int Tag() const { return m_tag; }
    void setTag(int v) { m_tag = v; }

    // State flags.
    bool Hot() const { return m_hot; }
    bool Pressed() const { return m_pressed; }
    // The generated muted image (empty when not generated).
    QImage MutedBitmap() const { return m_mutedBitmap; }

    // Where image and caption go for the current size, caption and options.
    struct ContentLayout {
        int IX = 0, IY = 0;      // image top left
        int TX = 0, TY = 0;      // text top left
        int TW = 0, TH = 0;      // text extent
        int TL = 0;              // text width limit
        int IW = 0, IH = 0;      // image extent (with room for the drop-down mark)
        int G = 0;               // gap between image and text
        QRect textRect() const { return QRect(TX, TY, TL, TH); }
    };
    ContentLayout contentLayout() const;

    // Caption without accelerator marks ("Save && &Exit" -> "Save & Exit").
    static QString StripAccelerators(const QString& caption);
    // The muted copy of `source` for a shading type; pixels of the colour of (0, 0) are kept,
    // the others become white, highlight, shadow or black by the sum of their components.
    static QImage MakeMutedBitmap(const QImage& source, TExplorerButtonShadingType shading,
                                  const QColor& highlight, const QColor& shadow);
    // The shared 8 x 8 dither pattern (highlight where x and y are both even or both odd).
    static QImage DitherPattern(const QColor& highlight, const QColor& face);

    // Keyboard accelerator: clicks the button (or drops its menu) as the mouse would.
    void Accelerate();

signals:
    void OnClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void regenerateMuted();
    void releaseGroupPeers();
    void leftDown();
    void leftUp();
    void afterMenu();
    bool cursorInside() const;
    void updateShortcut();
    void drawCaption(QPainter& p, const QRect& r, const QColor& color) const;
    void drawTransparent(QPainter& p, int x, int y, const QImage& image) const;
    void drawDropMark(QPainter& p, int x, int y, const QColor& color) const;
    QList<TExplorerButton*> groupPeers() const;

    TAlignment m_alignment = taCenter;
    bool m_allowAllUp = false;
    TBevelStyle m_bevelStyle = bsRaised;
    QImage m_noFocusBitmap;
    QImage m_bitmap;
    QImage m_disabledBitmap;
    QImage m_mutedBitmap;
    QString m_caption;
    int m_groupIndex = 0;
    bool m_down = false;
    QPointer<QMenu> m_dropDownMenu;
    QPointer<QMenu> m_popupMenu;
    TExplorerButtonLayout m_layout = blBitmapTop;
    TExplorerButtonOptions m_options = TExplorerButtonOptions(boMonoDisplay) | boPopupMark;
    TExplorerButtonShadingType m_shadingType = stMedium;
    bool m_showDownPattern = true;
    QColor m_unselectedFontColor;  // invalid = the window-text colour
    bool m_wordWrap = false;
    bool m_showHint = false;
    int m_tag = 0;
    bool m_pressed = false;
    bool m_hot = false;
    int m_shortcutId = 0;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TExplorerButton::TExplorerButtonOptions)

} // namespace tv
