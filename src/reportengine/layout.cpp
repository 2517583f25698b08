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
    // Report texts are drawn as the system's plain text output draws them, without kerning or
    // ligatures; scripts that cannot be read without shaping are still shaped. Shaping every
    // text was a fifth of the time a printed page takes.
    f.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::PreferNoShaping));
    return f;
}

namespace {

Item box(ItemKind kind, int left, int top, int width, int height)
{
    Item it;
    it.kind = kind;
    it.left = left;
    it.top = top;
    it.width = width;
    it.height = height;
    return it;
}

Item textItem(ItemKind kind, const QString& text, int left, int top, FontSpec font, QColor color)
{
    Item it = box(kind, left, top, 0, 0);
    it.text = text;
    it.font = font;
    it.color = color;
    return it;
}

} // namespace

Item Item::label(const QString& text, int left, int top, FontSpec font, QColor color)
{
    return textItem(ItemKind::Label, text, left, top, font, color);
}

Item Item::data(const QString& field, int left, int top, int width, int height, Qt::Alignment align, bool rightRule)
{
    Item it = box(ItemKind::Data, left, top, width, height);
    it.field = field;
    it.align = align;
    it.rightRule = rightRule;
    return it;
}

Item Item::memo(const QString& field, int left, int top, int width, int height)
{
    Item it = box(ItemKind::Memo, left, top, width, height);
    it.field = field;
    return it;
}

Item Item::dateTime(int left, int top, FontSpec font, QColor color)
{
    return textItem(ItemKind::DateTime, QString(), left, top, font, color);
}

Item Item::pageNumber(int left, int top, FontSpec font, QColor color)
{
    return textItem(ItemKind::PageNumber, QString(), left, top, font, color);
}

Item Item::hline(int left, int top, int width, int thickness)
{
    return box(ItemKind::HLine, left, top, width, thickness);
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
