#pragma once
// A banded report layout: page settings, bands and their items, all in 96-dpi pixels
// measured from the top-left corner of the band (the band's left edge is the left margin).

#include <QColor>
#include <QFont>
#include <QPageSize>
#include <QSizeF>
#include <QString>

#include <optional>
#include <vector>

namespace tv::report {

class ReportData;

struct FontSpec {
    int pixelSize = 11;
    bool bold = false;
    bool italic = false;
    QString family = QStringLiteral("Arial");

    QFont toFont() const;
    bool operator==(const FontSpec&) const = default;
};

enum class ItemKind {
    Label,       // fixed text, sized to its text
    Data,        // one line of a field's display text, cut at the box
    Memo,        // a field's whole text, word-wrapped at the box width; grows downward
    DateTime,    // "Printed <short date> <long time>"
    PageNumber,  // "Page<n>"
    HLine,       // a horizontal line across the box, `height` pixels thick
};

struct Item {
    ItemKind kind = ItemKind::Label;
    int left = 0;
    int top = 0;
    int width = 0;   // labels and system items: 0 means "as wide as the text"
    int height = 0;  // labels and system items: 0 means "as high as the font"
    QString text;    // label text
    QString field;   // data and memo items
    FontSpec font;
    QColor color = Qt::black;
    Qt::Alignment align = Qt::AlignLeft;
    bool rightRule = false;  // a vertical rule along the right edge of the box

    static Item label(const QString& text, int left, int top, FontSpec font, QColor color = Qt::black);
    static Item data(const QString& field, int left, int top, int width, int height = 14,
                     Qt::Alignment align = Qt::AlignLeft, bool rightRule = true);
    static Item memo(const QString& field, int left, int top, int width, int height);
    static Item dateTime(int left, int top, FontSpec font, QColor color);
    static Item pageNumber(int left, int top, FontSpec font, QColor color);
    static Item hline(int left, int top, int width, int thickness = 1);
};

struct Frame {
    bool top = false;
    bool bottom = false;
    bool left = false;
    bool right = false;
    static Frame none() { return {}; }
    static Frame topOnly() { return {true, false, false, false}; }
    static Frame bottomOnly() { return {false, true, false, false}; }
    static Frame all() { return {true, true, true, true}; }
};

enum class BandKind { PageHeader, ColumnHeader, Detail, Child, PageFooter };

struct Band {
    Band() = default;
    explicit Band(BandKind k) : kind(k) {}

    BandKind kind = BandKind::Detail;
    int height = 0;
    std::optional<QColor> fill;  // no fill: the paper shows through
    Frame frame;
    std::vector<Item> items;
};

struct PageSettings {
    QPageSize::PageSizeId paper = QPageSize::Letter;
    bool portrait = true;
    double marginMm = 10.0;  // all four sides
    int bandWidth = 740;     // printable band width in pixels

    // Paper size in 96-dpi pixels, portrait or landscape as set.
    QSizeF pagePixels() const;
    double marginPixels() const;
};

struct PrinterSettings {
    int copies = 1;
    bool duplex = false;
    bool firstBin = true;
};

struct Layout {
    QString name;
    QString title;
    PageSettings page;
    PrinterSettings printer;
    bool headerOnFirstPage = true;
    bool footerOnLastPage = true;
    Band pageHeader{BandKind::PageHeader};
    Band columnHeader{BandKind::ColumnHeader};
    Band detail{BandKind::Detail};
    std::optional<Band> child;  // printed after every detail band, on the same page
    Band pageFooter{BandKind::PageFooter};
    const ReportData* data = nullptr;  // not owned
};

} // namespace tv::report
