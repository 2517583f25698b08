#pragma once
// A plain panel with raised/lowered bevels, an optional border and a one-line caption.
// Children docked inside it (tv::setAlign) are placed within the bevels.

#include "controls/types.h"

#include <QColor>
#include <QString>
#include <QWidget>

namespace tv {

class TPanel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(tv::TBevelCut BevelInner READ BevelInner WRITE setBevelInner)
    Q_PROPERTY(tv::TBevelCut BevelOuter READ BevelOuter WRITE setBevelOuter)
    Q_PROPERTY(int BevelWidth READ BevelWidth WRITE setBevelWidth)
    Q_PROPERTY(int BorderWidth READ BorderWidth WRITE setBorderWidth)
    Q_PROPERTY(tv::TBorderStyle BorderStyle READ BorderStyle WRITE setBorderStyle)
    Q_PROPERTY(tv::TAlignment Alignment READ Alignment WRITE setAlignment)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(QColor Color READ Color WRITE setColor)
    Q_PROPERTY(tv::TAlign Align READ Align WRITE setAlign)

public:
    explicit TPanel(QWidget* parent = nullptr);

    TBevelCut BevelInner() const { return m_bevelInner; }
    void setBevelInner(TBevelCut v);
    TBevelCut BevelOuter() const { return m_bevelOuter; }
    void setBevelOuter(TBevelCut v);
    int BevelWidth() const { return m_bevelWidth; }
    void setBevelWidth(int v);
    int BorderWidth() const { return m_borderWidth; }
    void setBorderWidth(int v);
    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(TBorderStyle v);
    TAlignment Alignment() const { return m_alignment; }
    void setAlignment(TAlignment v);
    QString Caption() const { return m_caption; }
    void setCaption(const QString& v);
    // Background colour (the palette's button face until set).
    QColor Color() const;
    void setColor(const QColor& c);
    // Docking inside the parent (see DockLayout).
    TAlign Align() const;
    void setAlign(TAlign a);

    // Total width of border and bevels on each side; children are placed inside it.
    int frameExtent() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    // Paints bevels, border and background; returns the rectangle left for the caption.
    QRect paintFrame(QPainter& p);

private:
    void frameChanged();

    TBevelCut m_bevelInner = bvNone;
    TBevelCut m_bevelOuter = bvRaised;
    int m_bevelWidth = 1;
    int m_borderWidth = 0;
    TBorderStyle m_borderStyle = bsNone;
    TAlignment m_alignment = taCenter;
    QString m_caption;
};

// Qt alignment flag of a TAlignment.
Qt::Alignment toQtAlignment(TAlignment a);

} // namespace tv
