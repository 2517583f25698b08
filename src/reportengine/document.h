#pragma once
// A generated report: pages of drawing primitives in 96-dpi pixels from the paper's
// top-left corner. Renderers draw it; tests read it.

#include "layout.h"

#include <QColor>
#include <QLineF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <vector>

namespace tv::report {

struct Primitive {
    enum Kind { Fill, Line, Text };
    Kind kind = Fill;
    QRectF rect;        // Fill: the area; Text: the box the text is clipped to
    QLineF line;        // Line
    qreal width = 1.0;  // Line thickness
    QColor color = Qt::black;
    QString text;       // Text: exactly what is drawn, one line
    FontSpec font;
    Qt::Alignment align = Qt::AlignLeft;
    qreal stretch = 1.0;  // Text: horizontal scale it is drawn with (below 1: condensed to fit)
};

struct Page {
    int number = 0;
    std::vector<Primitive> items;

    // Helpers for readers of the document.
    std::vector<const Primitive*> texts() const;
    const Primitive* findText(const QString& text) const;
};

struct Document {
    QString title;
    QSizeF pageSize;  // in 96-dpi pixels
    QPageSize::PageSizeId paper = QPageSize::Letter;
    bool portrait = true;
    PrinterSettings printer;
    std::vector<Page> pages;
    bool cancelled = false;
};

} // namespace tv::report
