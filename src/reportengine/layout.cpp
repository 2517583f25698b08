#include "layout.h"

namespace tv::report {

namespace {
constexpr double kPixelsPerMm = 96.0 / 25.4;
}

QFont FontSpec::toFont() const
{
    QFont f(family);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setItalic(italic);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

Item Item::label(const QString& text, int left, int top, FontSpec font, QColor color)
{
    Item it;
    it.kind = ItemKind::Label;
    it.text = text;
    it.left = left;
    it.top = top;
    it.font = font;
    it.color = color;
    return it;
}

Item Item::data(const QString& field, int left, int top, int width, int height, Qt::Alignment align, bool rightRule)
{
    Item it;
    it.kind = ItemKind::Data;
    it.field = field;
    it.left = left;
    it.top = top;
    it.width = width;
    it.height = height;
    it.align = align;
    it.rightRule = rightRule;
    return it;
}

Item Item::memo(const QString& field, int left, int top, int width, int height)
{
    Item it;
    it.kind = ItemKind::Memo;
    it.field = field;
    it.left = left;
    it.top = top;
    it.width = width;
    it.height = height;
    return it;
}

Item Item::dateTime(int left, int top, FontSpec font, QColor color)
{
    Item it = label(QString(), left, top, font, color);
    it.kind = ItemKind::DateTime;
    return it;
}

Item Item::pageNumber(int left, int top, FontSpec font, QColor color)
{
    Item it = label(QString(), left, top, font, color);
    it.kind = ItemKind::PageNumber;
    return it;
}

Item Item::hline(int left, int top, int width, int thickness)
{
    Item it;
    it.kind = ItemKind::HLine;
    it.left = left;
    it.top = top;
    it.width = width;
    it.height = thickness;
    return it;
}

QSizeF PageSettings::pagePixels() const
{
    const QSizeF mm = QPageSize(paper).size(QPageSize::Millimeter);
    QSizeF px(mm.width() * kPixelsPerMm, mm.height() * kPixelsPerMm);
    return portrait ? px : px.transposed();
}

double PageSettings::marginPixels() const
{
    return marginMm * kPixelsPerMm;
}

} // namespace tv::report
