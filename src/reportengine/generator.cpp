#include "generator.h"

#include "reportdata.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>

namespace tv::report {

namespace {

// Widths of texts in one font. Report columns repeat the same few values (types, categories,
// versions) and memos the same words on thousands of lines, and measuring a text means
// shaping it, so short texts are measured once.
class Measure {
public:
    explicit Measure(const FontSpec& font) : fm(font.toFont()) { std::fill(std::begin(chars_), std::end(chars_), -1.0); }

    qreal advance(QStringView text)
    {
        constexpr qsizetype kMaxLength = 64;
        constexpr size_t kMaxEntries = 50000;
        if (text.size() > kMaxLength)
            return fm.horizontalAdvance(text.toString());
        const std::u16string_view key(text.utf16(), size_t(text.size()));
        auto it = cache_.find(key);
        if (it != cache_.end())
            return it->second;
        if (cache_.size() >= kMaxEntries)
            cache_.clear();
        const qreal w = fm.horizontalAdvance(text.toString());
        cache_.emplace(std::u16string(key), w);
        return w;
    }

    // The sum of the widths of the characters of `text`, an estimate of its width that
    // leaves out what the characters do to each other (kerning). -1 when a character has no
    // width of its own (outside the Latin range, a control character, a soft hyphen).
    qreal summed(QStringView text)
    {
        qreal w = 0;
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            if (u >= std::size(chars_) || u < 0x20 || (u >= 0x7f && u < 0xa0) || u == 0xad)
                return -1;
            if (chars_[u] < 0)
                chars_[u] = fm.horizontalAdvance(c);
            w += chars_[u];
        }
        return w;
    }

    const QFontMetricsF fm;

private:
    qreal chars_[0x250];   // widths of the Latin characters, -1 until measured
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::u16string_view v) const { return std::hash<std::u16string_view>{}(v); }
    };
    std::unordered_map<std::u16string, qreal, Hash, std::equal_to<>> cache_;
};

// One per font, kept for the program's run (a report uses four or five fonts).
Measure& measure(const FontSpec& font)
{
    static std::map<std::tuple<int, bool, bool, QString>, std::unique_ptr<Measure>> all;
    static FontSpec last;
    static Measure* lastMeasure = nullptr;
    if (lastMeasure && last == font)
        return *lastMeasure;
    auto& slot = all[std::make_tuple(font.pixelSize, font.bold, font.italic, font.family)];
    if (!slot)
        slot = std::make_unique<Measure>(font);
    last = font;
    lastMeasure = slot.get();
    return *slot;
}

QStringView stripRight(QStringView s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1).isSpace())
        --n;
    return s.left(n);
}

// The longest start of `text` (at least one character) that fits in `width`.
qsizetype fittingPrefix(QStringView text, Measure& m, qreal width)
{
    qsizetype lo = 1, hi = text.size();
    while (lo < hi) {
        const qsizetype mid = (lo + hi + 1) / 2;
        if (m.advance(text.left(mid)) <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

// A line of a wrapped text: a part of the text it was cut from.
struct Span {
    qsizetype start = 0;
    qsizetype length = 0;
};

// Lines of one paragraph (no line breaks inside) wrapped at blanks to `width`, as parts of
// `text` from `offset` on. Blanks that open the paragraph are kept (indented code stays
// indented); a word wider than a line is broken so that no text is lost. Words are measured
// one by one, as they repeat a lot.
void wrapParagraph(QStringView text, qsizetype offset, qsizetype length, Measure& m, qreal width, std::vector<Span>& out)
{
    const QStringView para = text.mid(offset, length);
    const qreal blank = m.advance(u" ");
    const qsizetype n = para.size();
    qsizetype lineStart = -1, lineEnd = 0;
    qreal lineWidth = 0;
    bool first = true;
    qsizetype i = 0;
    while (i < n) {
        const qsizetype blanksFrom = i;
        while (i < n && para.at(i) == QLatin1Char(' '))
            ++i;
        const qsizetype wordFrom = i;
        while (i < n && para.at(i) != QLatin1Char(' '))
            ++i;
        if (wordFrom == i)
            break;  // blanks at the end
        qsizetype blanks = wordFrom - blanksFrom;
        if (lineStart < 0 && !first)
            blanks = 0;
        first = false;
        const qreal wordWidth = m.advance(para.mid(wordFrom, i - wordFrom));
        if (lineStart >= 0 && lineWidth + blanks * blank + wordWidth > width) {
            out.push_back({offset + lineStart, lineEnd - lineStart});
            lineStart = -1;
            lineWidth = 0;
            blanks = 0;
        }
        if (lineStart < 0 && blanks * blank + wordWidth > width) {
            qsizetype from = wordFrom - blanks;
            while (m.advance(para.mid(from, i - from)) > width) {
                const qsizetype k = fittingPrefix(para.mid(from, i - from), m, width);
                out.push_back({offset + from, k});
                from += k;
            }
            lineStart = from;
            lineEnd = i;
            lineWidth = m.advance(para.mid(from, i - from));
            continue;
        }
        if (lineStart < 0)
            lineStart = wordFrom - blanks;
        lineEnd = i;
        lineWidth += blanks * blank + wordWidth;
    }
    if (lineStart >= 0)
        out.push_back({offset + lineStart, lineEnd - lineStart});
}

// Line breaks as one kind, tabs as four blanks.
QString normalized(const QString& text)
{
    QString t = text;
    if (t.contains(QLatin1Char('\r'))) {
        t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    }
    if (t.contains(QLatin1Char('\t')))
        t.replace(QLatin1Char('\t'), QLatin1String("    "));
    return t;
}

// All lines of a normalized text word-wrapped at `width`; a blank paragraph is an empty line,
// and empty lines at the end are dropped.
std::vector<Span> wrap(const QString& text, Measure& m, qreal width)
{
    std::vector<Span> lines;
    const QStringView all(text);
    qsizetype from = 0;
    while (from <= all.size()) {
        qsizetype end = all.indexOf(QLatin1Char('\n'), from);
        if (end < 0)
            end = all.size();
        const QStringView para = all.mid(from, end - from);
        if (para.trimmed().isEmpty())
            lines.push_back({from, 0});
        else
            wrapParagraph(all, from, end - from, m, width, lines);
        from = end + 1;
    }
    while (!lines.empty() && lines.back().length == 0)
        lines.pop_back();
    return lines;
}

} // namespace

qreal lineHeight(const FontSpec& font)
{
    return std::ceil(measure(font).fm.height());
}

namespace {

// The first line of `text` in a one-line box `width` pixels wide; `wider` tells whether it is
// wider than the box (a single word can be).
// Lines break at blanks only, as in a one-line box of the system's text drawing: a first
// word wider than the box is shown alone and cut by the box.
//
// Measuring a text means shaping it, and long texts (titles, keywords) are rarely alike, so
// a text is first measured by its characters (or, outside the Latin ones, by its words,
// which repeat and are measured once): the widths before a blank add up to the width of the
// text up to there, give or take the kerning between neighbours measured apart. Only a sum
// within that margin of the box's edge is decided by measuring the text.
QString fitFirstLine(const QString& text, Measure& m, qreal width, bool* wider)
{
    qsizetype end = 0;
    while (end < text.size() && text.at(end) != QLatin1Char('\r') && text.at(end) != QLatin1Char('\n'))
        ++end;
    QString para = text.left(end);
    if (para.contains(QLatin1Char('\t')))
        para.replace(QLatin1Char('\t'), QLatin1String("    "));
    const QStringView view(para);
    const auto margin = [](qreal sum) { return 1.0 + sum * 0.03; };
    // A word by its characters, or as the sum of its parts up to each ';' or ',' (lists of
    // keywords are words).
    const auto summed = [&m](QStringView word) {
        if (const qreal byChars = m.summed(word); byChars >= 0)
            return byChars;
        qreal w = 0;
        qsizetype from = 0;
        for (qsizetype i = 0; i < word.size(); ++i)
            if (word.at(i) == QLatin1Char(';') || word.at(i) == QLatin1Char(',')) {
                w += m.advance(word.mid(from, i + 1 - from));
                from = i + 1;
            }
        return from < word.size() ? w + m.advance(word.mid(from)) : w;
    };

    // The blanks up to a little past the box's edge, with the summed widths before them.
    struct Blank {
        qsizetype at;
        qreal before;
    };
    std::vector<Blank> blanks;
    const qreal blank = m.advance(u" ");
    qreal sum = 0;
    bool all = true;
    for (qsizetype i = 0; i < view.size();) {
        const qsizetype from = i;
        while (i < view.size() && view.at(i) != QLatin1Char(' '))
            ++i;
        sum += summed(view.mid(from, i - from));
        while (i < view.size() && view.at(i) == QLatin1Char(' ')) {
            blanks.push_back({i, sum});
            sum += blank;
            ++i;
        }
        if (sum > width + margin(sum) && i < view.size()) {
            all = false;   // what follows cannot be on the line
            break;
        }
    }
    // Exact when the sum is too close to call.
    const auto fits = [&](QStringView part, qreal estimate) {
        if (estimate <= width - margin(estimate))
            return true;
        if (estimate > width + margin(estimate))
            return false;
        return m.advance(part) <= width;
    };
    *wider = false;
    if (all && fits(view, sum))
        return stripRight(view).toString();
    // The line ends at the last blank before which the text fits.
    QStringView line;
    for (const Blank& b : blanks) {
        if (!fits(view.left(b.at), b.before))
            break;
        if (b.at > 0)
            line = stripRight(view.left(b.at));
    }
    if (line.trimmed().isEmpty()) {
        // The first word, with any blanks before it.
        qsizetype start = 0;
        while (start < view.size() && view.at(start) == QLatin1Char(' '))
            ++start;
        const qsizetype stop = view.indexOf(QLatin1Char(' '), start);
        line = stop < 0 ? view : view.left(stop);
        *wider = !fits(line, summed(line));
    }
    return line.toString();
}

} // namespace

QString firstLine(const QString& text, const FontSpec& font, qreal width)
{
    bool wider = false;
    return fitFirstLine(text, measure(font), width, &wider);
}

QStringList wrapLines(const QString& text, const FontSpec& font, qreal width)
{
    const QString t = normalized(text);
    QStringList lines;
    for (const Span& s : wrap(t, measure(font), width))
        lines << t.mid(s.start, s.length);
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

// ---- The plan of the pages ----------------------------------------------------------------

namespace {

enum BandSlot : quint8 { kPageHeader, kColumnHeader, kDetail, kChild, kPageFooter };

// One band, or the part [from, to) of it, placed at `y` on a page.
struct Placement {
    quint8 band = kDetail;
    int row = -1;
    qreal y = 0;
    qreal from = 0;
    qreal to = 0;
};

struct PagePlan {
    std::vector<Placement> parts;
    qint64 printedAt = 0;  // milliseconds since the epoch
};

} // namespace

struct LaidOut {
    ~LaidOut()
    {
        // The plans of a long report are many small blocks of the heap.
        const bool large = pages.size() > 100;
        pages = {};
        data.reset();
        if (large)
            giveBackFreedMemory();
    }

    Layout layout;  // its data pointer is not used: `data` is read instead
    std::shared_ptr<const ReportData> data;
    GenerateOptions options;
    qreal margin = 0;
    qreal footerTop = 0;
    std::vector<PagePlan> pages;
    bool finished = false;
    bool cancelled = false;

    const Band& band(quint8 slot) const
    {
        switch (slot) {
        case kPageHeader:
            return layout.pageHeader;
        case kColumnHeader:
            return layout.columnHeader;
        case kChild:
            return layout.child ? *layout.child : layout.detail;
        case kPageFooter:
            return layout.pageFooter;
        default:
            return layout.detail;
        }
    }
};

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
    const qreal w = it.width > 0 ? it.width : std::ceil(measure(it.font).advance(text)) + 1;
    const qreal h = it.height > 0 ? it.height : lineHeight(it.font);
    return QRectF(it.left, it.top, w, h);
}

// The height a memo item makes its band grow to.
qreal grownHeight(const Band& band, const Item& it, int lines)
{
    const qreal grown = std::max<qreal>(it.height, lines * lineHeight(it.font));
    const qreal gapBelow = std::max(0, band.height - (it.top + it.height));
    return it.top + grown + gapBelow;
}

// The band as printed for one row (row -1: a band without data).
BandInstance instance(const Band& band, const ReportData* data, int row)
{
    BandInstance bi;
    bi.band = &band;
    bi.height = band.height;
    for (const Item& it : band.items) {
        switch (it.kind) {
        case ItemKind::Label: {
            Primitive p = textPrim(autoBox(it, it.text), it.text, it);
            p.clipped = it.width > 0 && measure(it.font).advance(it.text) > it.width;
            bi.content.push_back(p);
            break;
        }
        case ItemKind::Data: {
            if (!data || row < 0)
                break;
            const QString raw = data->text(row, it.field);
            // Numbers and dates (and whatever is right-aligned, which is one of them) would
            // read as other values when cut: they are shown whole, on one line, and one wider
            // than its box is condensed to fit. Texts are cut at the box.
            const bool whole = (it.align & Qt::AlignRight) || data->wholeValue(it.field);
            Measure& m = measure(it.font);
            QString text;
            qreal wide = 0;
            bool wider = false;
            if (whole) {
                qsizetype end = 0;
                while (end < raw.size() && raw.at(end) != QLatin1Char('\r') && raw.at(end) != QLatin1Char('\n'))
                    ++end;
                text = stripRight(QStringView(raw).left(end)).toString();
                wide = m.advance(text);
                wider = wide > it.width;
            } else {
                text = fitFirstLine(raw, m, it.width, &wider);
            }
            if (text.isEmpty())
                break;
            Primitive p = textPrim(QRectF(it.left, it.top, it.width, it.height), text, it);
            if (whole && wider && it.width > 0)
                p.stretch = (it.width - 0.5) / wide;
            else
                p.clipped = wider;
            bi.content.push_back(p);
            break;
        }
        case ItemKind::Memo: {
            if (!data || row < 0)
                break;
            const QString text = normalized(data->text(row, it.field));
            const std::vector<Span> lines = wrap(text, measure(it.font), it.width);
            const qreal lh = lineHeight(it.font);
            for (size_t i = 0; i < lines.size(); ++i)
                if (lines[i].length > 0)
                    bi.content.push_back(textPrim(QRectF(it.left, it.top + qreal(i) * lh, it.width, lh),
                                                  text.mid(lines[i].start, lines[i].length), it));
            bi.height = std::max(bi.height, grownHeight(band, it, int(lines.size())));
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

// The height of the band as printed for one row, without making its content.
qreal heightOf(const Band& band, const ReportData* data, int row)
{
    qreal h = band.height;
    if (!data || row < 0)
        return h;
    for (const Item& it : band.items)
        if (it.kind == ItemKind::Memo) {
            const QString text = normalized(data->text(row, it.field));
            h = std::max(h, grownHeight(band, it, int(wrap(text, measure(it.font), it.width).size())));
        }
    return h;
}

// Moves a cut upward so that no line of text is cut through.
qreal cutPoint(const BandInstance& bi, qreal from, qreal to)
{
    if (to >= bi.height)
        return to;
    qreal cut = to;
    for (const Primitive& p : bi.content)
        if (p.kind == Primitive::Text && p.rect.top() < cut && p.rect.bottom() > cut + 0.01 && p.rect.top() >= from)
            cut = p.rect.top();
    return cut;
}

// Emits the part [from, to) of a band instance at page position y.
void put(const LaidOut& lo, const BandInstance& bi, qreal y, qreal from, qreal to, int pageNumber, const QDateTime& printed,
         std::vector<Primitive>& out)
{
    const Band& band = *bi.band;
    const qreal x0 = lo.margin;
    const qreal w = lo.layout.page.bandWidth;
    const qreal h = to - from;
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
        out.push_back(std::move(p));
    }
    const GenerateOptions& o = lo.options;
    for (const Item* it : bi.system) {
        if (it->top < from || it->top >= to)
            continue;
        const QString text = it->kind == ItemKind::DateTime ? printedText(printed, o.locale, o.dateFormat, o.timeFormat)
                                                            : pageNumberText(pageNumber);
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

Page makePage(const LaidOut& lo, int index)
{
    Page page;
    page.number = index + 1;
    const PagePlan& plan = lo.pages[size_t(index)];
    const QDateTime printed = lo.options.printTime.isValid() ? lo.options.printTime : QDateTime::fromMSecsSinceEpoch(plan.printedAt);
    page.items.reserve(plan.parts.size() * 12);
    const ReportData* data = lo.data.get();
    for (const Placement& pl : plan.parts) {
        const BandInstance bi = instance(lo.band(pl.band), data, pl.row);
        put(lo, bi, pl.y, pl.from, std::min<qreal>(pl.to, bi.height), page.number, printed, page.items);
    }
    return page;
}

// The fields a layout reads.
QStringList fieldsOf(const Layout& l)
{
    QStringList out;
    for (const Band* b : {&l.detail, l.child ? &*l.child : nullptr})
        if (b)
            for (const Item& it : b->items)
                if ((it.kind == ItemKind::Data || it.kind == ItemKind::Memo) && !it.field.isEmpty() && !out.contains(it.field))
                    out << it.field;
    return out;
}

} // namespace

// ---- Laying out, a slice at a time ---------------------------------------------------------

struct Generation::Impl {
    std::shared_ptr<LaidOut> lo;
    int rows = 0;
    int row = 0;
    qreal y = 0;
    qreal bodyTop = 0;
    int detailsOnPage = 0;

    const ReportData* data() const { return lo->data.get(); }

    void startPage()
    {
        PagePlan plan;
        plan.printedAt = QDateTime::currentMSecsSinceEpoch();
        lo->pages.push_back(std::move(plan));
        y = lo->margin;
        detailsOnPage = 0;
        if (lo->layout.headerOnFirstPage || lo->pages.size() > 1)
            placeWhole(kPageHeader, -1, lo->layout.pageHeader.height);
        placeWhole(kColumnHeader, -1, lo->layout.columnHeader.height);
        bodyTop = y;
    }

    void finishPage(bool last)
    {
        if (!last || lo->layout.footerOnLastPage)
            place(kPageFooter, -1, lo->footerTop, 0, lo->layout.pageFooter.height);
    }

    void place(quint8 band, int r, qreal at, qreal from, qreal to)
    {
        lo->pages.back().parts.push_back(Placement{band, r, at, from, to});
    }

    void placeWhole(quint8 band, int r, qreal height)
    {
        place(band, r, y, 0, height);
        y += height;
    }

    // A detail band and its child band go on one page together; a group taller than a whole
    // page starts on a fresh page and is split at text-line boundaries.
    void placeGroup(int r)
    {
        const Layout& l = lo->layout;
        struct Part {
            quint8 band;
            qreal height;
        };
        Part group[2] = {{kDetail, heightOf(l.detail, data(), r)}, {kChild, l.child ? heightOf(*l.child, data(), r) : 0}};
        const int parts = l.child ? 2 : 1;
        qreal total = 0;
        for (int i = 0; i < parts; ++i)
            total += group[i].height;
        const qreal footerTop = lo->footerTop;
        if (y + total > footerTop + 0.01 && detailsOnPage > 0) {
            finishPage(false);
            startPage();
        }
        ++detailsOnPage;
        for (int i = 0; i < parts; ++i) {
            const Part& part = group[i];
            if (y + part.height <= footerTop + 0.01) {
                placeWhole(part.band, r, part.height);
                continue;
            }
            const BandInstance bi = instance(lo->band(part.band), data(), r);
            qreal from = 0;
            while (from < bi.height) {
                qreal room = footerTop - y;
                if (room < 1) {
                    finishPage(false);
                    startPage();
                    ++detailsOnPage;
                    room = footerTop - y;
                }
                qreal to = cutPoint(bi, from, std::min(bi.height, from + room));
                if (to <= from && y <= bodyTop + 0.01)
                    to = std::min(bi.height, from + room);  // a line taller than a page: print it cut
                if (to > from) {
                    place(part.band, r, y, from, to);
                    y += to - from;
                    from = to;
                }
                if (from < bi.height) {
                    finishPage(false);
                    startPage();
                    ++detailsOnPage;
                }
            }
        }
    }

    void finish()
    {
        finishPage(true);
        lo->finished = true;
    }
};

Generation::Generation(const Layout& layout, const GenerateOptions& options) : d(std::make_unique<Impl>())
{
    auto lo = std::make_shared<LaidOut>();
    lo->layout = layout;
    lo->layout.data = nullptr;
    if (layout.data)
        lo->data = layout.data->snapshot(fieldsOf(layout));
    lo->options = options;
    lo->margin = layout.page.marginPixels();
    lo->footerTop = layout.page.pagePixels().height() - lo->margin - layout.pageFooter.height;
    d->lo = lo;
    d->rows = lo->data ? lo->data->rowCount() : 0;
    doc_.title = layout.title;
    doc_.pageSize = layout.page.pagePixels();
    doc_.paper = layout.page.paper;
    doc_.portrait = layout.page.portrait;
    doc_.printer = layout.printer;
    doc_.attach(lo);
    d->startPage();
    if (d->rows == 0)
        d->finish();
}

Generation::~Generation() = default;

bool Generation::step(int rows)
{
    if (d->lo->finished)
        return false;
    const int end = std::min(d->rows, d->row + std::max(1, rows));
    for (; d->row < end; ++d->row)
        d->placeGroup(d->row);
    if (d->row >= d->rows)
        d->finish();
    return !d->lo->finished;
}

void Generation::cancel()
{
    if (d->lo->finished)
        return;
    d->lo->cancelled = true;
    d->finish();
}

bool Generation::finished() const { return d->lo->finished; }
int Generation::rowsDone() const { return d->row; }
int Generation::rowCount() const { return d->rows; }

Document generate(const Layout& layout, const ProgressFn& progress, const GenerateOptions& options)
{
    Generation g(layout, options);
    while (!g.finished()) {
        g.step(1);
        if (progress && !progress(g.rowsDone(), g.rowCount())) {
            g.cancel();
            break;
        }
    }
    return g.document();
}

// ---- The document's pages ------------------------------------------------------------------

size_t PageList::size() const
{
    if (!laidOut_)
        return 0;
    const size_t n = laidOut_->pages.size();
    return laidOut_->finished ? n : n - 1;  // the page being filled is not there yet
}

Page PageList::operator[](size_t index) const
{
    if (!laidOut_ || index >= laidOut_->pages.size())
        return Page{};
    return makePage(*laidOut_, int(index));
}

bool Document::complete() const
{
    return !pages.laidOut_ || pages.laidOut_->finished;
}

bool Document::cancelled() const
{
    return pages.laidOut_ && pages.laidOut_->cancelled;
}

} // namespace tv::report
