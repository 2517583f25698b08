#include "generator.h"

#include "reportdata.h"

#include <QFontMetricsF>
#include <QHash>
#include <QRegularExpression>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace tv::report {

namespace {

// Font metrics are asked for many thousand times per report; keep one per font.
const QFontMetricsF& metrics(const FontSpec& font)
{
    struct Key {
        FontSpec f;
        bool operator<(const Key& o) const
        {
            return std::tie(f.pixelSize, f.bold, f.italic, f.family) < std::tie(o.f.pixelSize, o.f.bold, o.f.italic, o.f.family);
        }
    };
    static std::map<Key, QFontMetricsF> cache;
    auto it = cache.find(Key{font});
    if (it == cache.end())
        it = cache.emplace(Key{font}, QFontMetricsF(font.toFont())).first;
    return it->second;
}

// Widths of short texts, per font: report columns repeat the same few values (types,
// categories, versions) on thousands of lines, and measuring a text means shaping it.
qreal advance(const FontSpec& font, const QString& text)
{
    constexpr int kMaxLength = 64;
    constexpr qsizetype kMaxEntries = 20000;
    if (text.size() > kMaxLength)
        return metrics(font).horizontalAdvance(text);
    static std::map<std::tuple<int, bool, bool, QString>, QHash<QString, qreal>> caches;
    QHash<QString, qreal>& cache = caches[std::make_tuple(font.pixelSize, font.bold, font.italic, font.family)];
    auto it = cache.constFind(text);
    if (it != cache.constEnd())
        return *it;
    if (cache.size() >= kMaxEntries)
        cache.clear();
    const qreal w = metrics(font).horizontalAdvance(text);
    cache.insert(text, w);
    return w;
}

QString stripRight(const QString& s)
{
    int n = s.size();
    while (n > 0 && s.at(n - 1).isSpace())
        --n;
    return s.left(n);
}

// The longest start of `text` (at least one character) that fits in `width`.
int fittingPrefix(const QString& text, const FontSpec& font, qreal width)
{
    const QFontMetricsF& fm = metrics(font);
    int lo = 1, hi = int(text.size());
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (fm.horizontalAdvance(text.left(mid)) <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

// Lines of one paragraph (no line breaks inside) wrapped at blanks to `width`. Blanks that
// open the paragraph are kept (indented code stays indented); a word wider than a line is
// broken so that no text is lost. Words are measured one by one, as they repeat a lot.
void wrapParagraph(const QString& para, const FontSpec& font, qreal width, QStringList& out)
{
    if (advance(font, para) <= width) {
        out << stripRight(para);
        return;
    }
    const qreal blank = advance(font, QStringLiteral(" "));
    const int n = int(para.size());
    QString line;
    qreal lineWidth = 0;
    bool first = true;
    int i = 0;
    while (i < n) {
        const int blanksFrom = i;
        while (i < n && para.at(i) == QLatin1Char(' '))
            ++i;
        const int wordFrom = i;
        while (i < n && para.at(i) != QLatin1Char(' '))
            ++i;
        if (wordFrom == i)
            break;  // blanks at the end
        const QString word = para.mid(wordFrom, i - wordFrom);
        int blanks = wordFrom - blanksFrom;
        if (line.isEmpty() && !first)
            blanks = 0;
        first = false;
        const qreal wordWidth = advance(font, word);
        if (!line.isEmpty() && lineWidth + blanks * blank + wordWidth > width) {
            out << line;
            line.clear();
            lineWidth = 0;
            blanks = 0;
        }
        if (line.isEmpty() && blanks * blank + wordWidth > width) {
            QString rest = QString(blanks, QLatin1Char(' ')) + word;
            while (metrics(font).horizontalAdvance(rest) > width) {
                const int k = fittingPrefix(rest, font, width);
                out << rest.left(k);
                rest = rest.mid(k);
            }
            line = rest;
            lineWidth = advance(font, rest);
            continue;
        }
        line += QString(blanks, QLatin1Char(' ')) + word;
        lineWidth += blanks * blank + wordWidth;
    }
    if (!line.isEmpty())
        out << line;
}

QStringList paragraphs(const QString& text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    t.replace(QLatin1Char('\t'), QLatin1String("    "));
    return t.split(QLatin1Char('\n'));
}

} // namespace

qreal lineHeight(const FontSpec& font)
{
    return std::ceil(metrics(font).height());
}

QString firstLine(const QString& text, const FontSpec& font, qreal width)
{
    // Lines break at blanks only, as in a one-line box of the system's text drawing: a first
    // word wider than the box is shown alone and cut by the box.
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n\\t]"));
    const QString para = text.contains(breaks) ? paragraphs(text).value(0) : text;
    if (advance(font, para) <= width)
        return stripRight(para);
    const QFontMetricsF& fm = metrics(font);
    int best = -1;
    for (int i = int(para.indexOf(QLatin1Char(' '))); i >= 0; i = int(para.indexOf(QLatin1Char(' '), i + 1))) {
        if (fm.horizontalAdvance(para.left(i)) > width)
            break;
        best = i;
    }
    QString line = best > 0 ? stripRight(para.left(best)) : QString();
    if (line.trimmed().isEmpty()) {
        // The first word, with any blanks before it.
        int start = 0;
        while (start < para.size() && para.at(start) == QLatin1Char(' '))
            ++start;
        const int end = int(para.indexOf(QLatin1Char(' '), start));
        line = end < 0 ? para : para.left(end);
    }
    return line;
}

QStringList wrapLines(const QString& text, const FontSpec& font, qreal width)
{
    QStringList lines;
    for (const QString& para : paragraphs(text)) {
        if (para.trimmed().isEmpty())
            lines << QString();
        else
            wrapParagraph(para, font, width, lines);
    }
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString printedText(const QDateTime& when, const QLocale& locale, const QString& dateFormat, const QString& timeFormat)
{
    QString timeFmt = timeFormat;
    if (timeFmt.isEmpty()) {
        // The long time format without a time zone, as the system's own clock shows it.
        timeFmt = locale.timeFormat(QLocale::LongFormat);
        timeFmt.remove(QLatin1Char('t'));
        timeFmt = timeFmt.trimmed();
    }
    const QString dateFmt = dateFormat.isEmpty() ? locale.dateFormat(QLocale::ShortFormat) : dateFormat;
    return QStringLiteral("Printed ") + locale.toString(when.date(), dateFmt) + QLatin1Char(' ') + locale.toString(when.time(), timeFmt);
}

QString pageNumberText(int page)
{
    return QStringLiteral("Page") + QString::number(page);
}

namespace {

// One printed instance of a band: its height after growing and its content relative to the
// band's top-left corner.
struct BandInstance {
    const Band* band = nullptr;
    qreal height = 0;
    std::vector<Primitive> content;
    std::vector<const Item*> system;  // date-and-time and page-number items, filled in per page
};

Primitive textPrim(const QRectF& r, const QString& text, const Item& it)
{
    Primitive p;
    p.kind = Primitive::Text;
    p.rect = r;
    p.text = text;
    p.font = it.font;
    p.color = it.color;
    p.align = it.align;
    return p;
}

Primitive linePrim(QPointF a, QPointF b, qreal width = 1.0, QColor color = Qt::black)
{
    Primitive p;
    p.kind = Primitive::Line;
    p.line = QLineF(a, b);
    p.width = width;
    p.color = color;
    return p;
}

Primitive fillPrim(const QRectF& r, QColor color)
{
    Primitive p;
    p.kind = Primitive::Fill;
    p.rect = r;
    p.color = color;
    return p;
}

QRectF autoBox(const Item& it, const QString& text)
{
    const QFontMetricsF& fm = metrics(it.font);
    const qreal w = it.width > 0 ? it.width : std::ceil(fm.horizontalAdvance(text)) + 1;
    const qreal h = it.height > 0 ? it.height : lineHeight(it.font);
    return QRectF(it.left, it.top, w, h);
}

class Builder {
public:
    Builder(const Layout& layout, const GenerateOptions& options)
        : layout_(layout), options_(options)
    {
        doc_.title = layout.title;
        doc_.pageSize = layout.page.pagePixels();
        doc_.paper = layout.page.paper;
        doc_.portrait = layout.page.portrait;
        doc_.printer = layout.printer;
        margin_ = layout.page.marginPixels();
        footerTop_ = doc_.pageSize.height() - margin_ - layout.pageFooter.height;
    }

    Document run(const ProgressFn& progress)
    {
        const ReportData* data = layout_.data;
        const int rows = data ? data->rowCount() : 0;
        startPage();
        for (int row = 0; row < rows; ++row) {
            std::vector<BandInstance> group;
            group.push_back(instance(layout_.detail, data, row));
            if (layout_.child)
                group.push_back(instance(*layout_.child, data, row));
            placeGroup(group);
            if (progress && !progress(row + 1, rows)) {
                doc_.cancelled = true;
                break;
            }
        }
        finishPage(true);
        return std::move(doc_);
    }

private:
    BandInstance instance(const Band& band, const ReportData* data, int row) const
    {
        BandInstance bi;
        bi.band = &band;
        bi.height = band.height;
        for (const Item& it : band.items) {
            switch (it.kind) {
            case ItemKind::Label:
                bi.content.push_back(textPrim(autoBox(it, it.text), it.text, it));
                break;
            case ItemKind::Data: {
                const QRectF box(it.left, it.top, it.width, it.height);
                const QString text = data && row >= 0 ? firstLine(data->text(row, it.field), it.font, it.width) : QString();
                if (text.isEmpty())
                    break;
                Primitive p = textPrim(box, text, it);
                // Right-aligned items hold numbers and dates: a cut-off one would read as a
                // different value, so one wider than its box is condensed to fit instead.
                const qreal wide = advance(it.font, text);
                if ((it.align & Qt::AlignRight) && wide > it.width && it.width > 0)
                    p.stretch = (it.width - 0.5) / wide;
                bi.content.push_back(p);
                break;
            }
            case ItemKind::Memo: {
                const QStringList lines = data && row >= 0 ? wrapLines(data->text(row, it.field), it.font, it.width) : QStringList();
                const qreal lh = lineHeight(it.font);
                for (int i = 0; i < lines.size(); ++i)
                    if (!lines[i].isEmpty())
                        bi.content.push_back(textPrim(QRectF(it.left, it.top + i * lh, it.width, lh), lines[i], it));
                const qreal grown = std::max<qreal>(it.height, lines.size() * lh);
                const qreal gapBelow = std::max(0, band.height - (it.top + it.height));
                bi.height = std::max(bi.height, it.top + grown + gapBelow);
                break;
            }
            case ItemKind::DateTime:
            case ItemKind::PageNumber:
                bi.system.push_back(&it);
                break;
            case ItemKind::HLine:
                bi.content.push_back(linePrim(QPointF(it.left, it.top + it.height / 2.0),
                                              QPointF(it.left + it.width, it.top + it.height / 2.0), it.height, it.color));
                break;
            }
            if (it.rightRule && it.kind != ItemKind::HLine) {
                const qreal x = it.left + it.width - 0.5;
                bi.content.push_back(linePrim(QPointF(x, it.top), QPointF(x, it.top + it.height)));
            }
        }
        return bi;
    }

    // Emits the part [from, to) of a band instance at page position y.
    void put(const BandInstance& bi, qreal y, qreal from, qreal to)
    {
        const Band& band = *bi.band;
        const qreal x0 = margin_;
        const qreal w = layout_.page.bandWidth;
        const qreal h = to - from;
        auto& out = page().items;
        if (band.fill)
            out.push_back(fillPrim(QRectF(x0, y, w, h), *band.fill));
        for (Primitive p : bi.content) {
            if (p.kind == Primitive::Line) {
                QLineF l = p.line;
                const qreal top = std::min(l.y1(), l.y2()), bottom = std::max(l.y1(), l.y2());
                if (bottom < from || top >= to || (top == bottom && top == to))
                    continue;
                l.setP1(QPointF(l.x1(), std::clamp(l.y1(), from, to)));
                l.setP2(QPointF(l.x2(), std::clamp(l.y2(), from, to)));
                p.line = l.translated(x0, y - from);
            } else {
                if (p.rect.top() < from || p.rect.top() >= to)
                    continue;
                p.rect.translate(x0, y - from);
            }
            out.push_back(p);
        }
        for (const Item* it : bi.system) {
            if (it->top < from || it->top >= to)
                continue;
            const QString text = it->kind == ItemKind::DateTime ? printedText(printTime(), options_.locale, options_.dateFormat, options_.timeFormat)
                                                                : pageNumberText(page().number);
            out.push_back(textPrim(autoBox(*it, text).translated(x0, y - from), text, *it));
        }
        const Frame& f = band.frame;
        if (f.top && from == 0)
            out.push_back(linePrim(QPointF(x0, y + 0.5), QPointF(x0 + w, y + 0.5)));
        if (f.bottom && to >= bi.height)
            out.push_back(linePrim(QPointF(x0, y + h - 0.5), QPointF(x0 + w, y + h - 0.5)));
        if (f.left)
            out.push_back(linePrim(QPointF(x0 + 0.5, y), QPointF(x0 + 0.5, y + h)));
        if (f.right)
            out.push_back(linePrim(QPointF(x0 + w - 0.5, y), QPointF(x0 + w - 0.5, y + h)));
    }

    QDateTime printTime() const
    {
        return options_.printTime.isValid() ? options_.printTime : QDateTime::currentDateTime();
    }

    Page& page() { return doc_.pages.back(); }

    void startPage()
    {
        Page p;
        p.number = int(doc_.pages.size()) + 1;
        doc_.pages.push_back(std::move(p));
        y_ = margin_;
        detailsOnPage_ = 0;
        if (layout_.headerOnFirstPage || page().number > 1)
            placeWhole(instance(layout_.pageHeader, nullptr, -1));
        placeWhole(instance(layout_.columnHeader, nullptr, -1));
        bodyTop_ = y_;
    }

    void finishPage(bool last)
    {
        if (!last || layout_.footerOnLastPage) {
            const BandInstance footer = instance(layout_.pageFooter, nullptr, -1);
            put(footer, footerTop_, 0, footer.height);
        }
    }

    void placeWhole(const BandInstance& bi)
    {
        put(bi, y_, 0, bi.height);
        y_ += bi.height;
    }

    // A detail band and its child band go on one page together; a group taller than a whole
    // page starts on a fresh page and is split at text-line boundaries.
    void placeGroup(const std::vector<BandInstance>& group)
    {
        qreal total = 0;
        for (const BandInstance& bi : group)
            total += bi.height;
        if (y_ + total > footerTop_ + 0.01 && detailsOnPage_ > 0) {
            finishPage(false);
            startPage();
        }
        ++detailsOnPage_;
        for (const BandInstance& bi : group) {
            if (y_ + bi.height <= footerTop_ + 0.01) {
                placeWhole(bi);
                continue;
            }
            qreal from = 0;
            while (from < bi.height) {
                qreal room = footerTop_ - y_;
                if (room < 1) {
                    finishPage(false);
                    startPage();
                    ++detailsOnPage_;
                    room = footerTop_ - y_;
                }
                qreal to = cutPoint(bi, from, std::min(bi.height, from + room));
                if (to <= from && y_ <= bodyTop_ + 0.01)
                    to = std::min(bi.height, from + room);  // a line taller than a page: print it cut
                if (to > from) {
                    put(bi, y_, from, to);
                    y_ += to - from;
                    from = to;
                }
                if (from < bi.height) {
                    finishPage(false);
                    startPage();
                    ++detailsOnPage_;
                }
            }
        }
    }

    // Moves a cut upward so that no line of text is cut through.
    static qreal cutPoint(const BandInstance& bi, qreal from, qreal to)
    {
        if (to >= bi.height)
            return to;
        qreal cut = to;
        for (const Primitive& p : bi.content)
            if (p.kind == Primitive::Text && p.rect.top() < cut && p.rect.bottom() > cut + 0.01 && p.rect.top() >= from)
                cut = p.rect.top();
        return cut;
    }

    const Layout& layout_;
    const GenerateOptions& options_;
    Document doc_;
    qreal margin_ = 0;
    qreal footerTop_ = 0;
    qreal bodyTop_ = 0;
    qreal y_ = 0;
    int detailsOnPage_ = 0;
};

} // namespace

Document generate(const Layout& layout, const ProgressFn& progress, const GenerateOptions& options)
{
    return Builder(layout, options).run(progress);
}

} // namespace tv::report
