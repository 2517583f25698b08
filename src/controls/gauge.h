#pragma once
// A horizontal bar gauge: a bar filled in proportion to Progress between MinValue and
// MaxValue, with the value printed as "N%" in the middle.

#include "controls/types.h"

#include <QColor>
#include <QWidget>

namespace tv {

class TGauge : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int MinValue READ MinValue WRITE setMinValue)
    Q_PROPERTY(int MaxValue READ MaxValue WRITE setMaxValue)
    Q_PROPERTY(int Progress READ Progress WRITE setProgress)
    Q_PROPERTY(QColor ForeColor READ ForeColor WRITE setForeColor)
    Q_PROPERTY(QColor BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(tv::TBorderStyle BorderStyle READ BorderStyle WRITE setBorderStyle)
    Q_PROPERTY(bool ShowText READ ShowText WRITE setShowText)

public:
    explicit TGauge(QWidget* parent = nullptr);

    int MinValue() const { return m_min; }
    void setMinValue(int v);
    int MaxValue() const { return m_max; }
    void setMaxValue(int v);
    int Progress() const { return m_progress; }
    void setProgress(int v);  // kept within MinValue..MaxValue
    QColor ForeColor() const { return m_fore; }
    void setForeColor(const QColor& c);
    QColor BackColor() const { return m_back; }
    void setBackColor(const QColor& c);
    TBorderStyle BorderStyle() const { return m_border; }
    void setBorderStyle(TBorderStyle v);
    bool ShowText() const { return m_showText; }
    void setShowText(bool v);

    // Percentage of the range done, 0..100.
    int PercentDone() const;
    // The text printed in the bar.
    QString Text() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_min = 0;
    int m_max = 100;
    int m_progress = 0;
    QColor m_fore = Qt::black;
    QColor m_back = Qt::white;
    TBorderStyle m_border = bsSingle;
    bool m_showText = true;
};

} // namespace tv
