#pragma once
// A generated report: pages of drawing primitives in 96-dpi pixels from the paper's
// top-left corner. Renderers draw it; tests read it.
//
// A document keeps only where each band goes on each page, with a still copy of the rows it
// reads; the primitives of a page are made again each time the page is asked for. So a
// report of ten thousand pages holds a few bytes per band instead of every text it draws.

#include "layout.h"

#include <QColor>
#include <QLineF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <memory>
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
    bool clipped = false; // Text: wider than its box, so cut by it
};

struct Page {
    int number = 0;
    std::vector<Primitive> items;

    // Helpers for readers of the document.
    std::vector<const Primitive*> texts() const;
    const Primitive* findText(const QString& text) const;
};

struct LaidOut;  // where every band of every page goes (generator.cpp)

class Document;

// The pages of a document, made on demand: each access builds the page anew.
class PageList {
public:
    size_t size() const;
    bool empty() const { return size() == 0; }
    Page operator[](size_t index) const;
    Page back() const { return (*this)[size() - 1]; }

    class const_iterator {
    public:
        const_iterator(const PageList* list, size_t i) : list_(list), i_(i) {}
        Page operator*() const { return (*list_)[i_]; }
        const_iterator& operator++()
        {
            ++i_;
            return *this;
        }
        bool operator!=(const const_iterator& o) const { return i_ != o.i_; }

    private:
        const PageList* list_;
        size_t i_;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

private:
    friend class Document;
    std::shared_ptr<const LaidOut> laidOut_;
};

class Document {
public:
    QString title;
    QSizeF pageSize;  // in 96-dpi pixels
    QPageSize::PageSizeId paper = QPageSize::Letter;
    bool portrait = true;
    PrinterSettings printer;
    PageList pages;

    // Pages laid out so far (all of them once the layout is complete).
    int pageCount() const { return int(pages.size()); }
    // The layout has reached its last row, or was cancelled.
    bool complete() const;
    // The layout was cancelled before its last row: the pages stop there.
    bool cancelled() const;

    // Used by the generator.
    void attach(std::shared_ptr<const LaidOut> laidOut) { pages.laidOut_ = std::move(laidOut); }
};

} // namespace tv::report
