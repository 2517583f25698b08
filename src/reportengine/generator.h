#pragma once
// Lays a layout out over its data: a page header and column header at the top of every page,
// one detail band (and its child band) per row, the page footer at the bottom of every page.

#include "document.h"

#include <QDateTime>
#include <QLocale>

#include <functional>
#include <memory>

namespace tv::report {

// Called after each row with the rows done so far and the total; returning false cancels.
using ProgressFn = std::function<bool(int done, int total)>;

struct GenerateOptions {
    QDateTime printTime;  // invalid: the time at which each page is laid out
    QLocale locale;       // date and time formats of the date-and-time item
    QString dateFormat;   // empty: the locale's short date format
    QString timeFormat;   // empty: the locale's long time format without a time zone
};

// A layout being laid out, a slice of rows at a time, so that the first pages can be shown
// while the rest follow. The rows are taken as they are when it starts: later changes of
// the data reach neither the pages laid out nor those still to come.
class Generation {
public:
    explicit Generation(const Layout& layout, const GenerateOptions& options = {});
    ~Generation();
    Generation(const Generation&) = delete;
    Generation& operator=(const Generation&) = delete;

    // Lays out up to `rows` more rows; the last page is finished with the last row. Returns
    // whether rows are left.
    bool step(int rows);
    // Stops here: the pages laid out so far are the whole document.
    void cancel();
    bool finished() const;
    int rowsDone() const;
    int rowCount() const;

    // The document, sharing the pages laid out so far and those that follow.
    const Document& document() const { return doc_; }

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    Document doc_;
};

// Lays out the whole layout. Throws nothing for a layout without data: it yields one page
// without detail bands.
Document generate(const Layout& layout, const ProgressFn& progress = {}, const GenerateOptions& options = {});

// Texts of the system items.
QString printedText(const QDateTime& when, const QLocale& locale, const QString& dateFormat = {}, const QString& timeFormat = {});
QString pageNumberText(int page);

// Text fitting, shared with the renderers' tests: the part of `text` shown on the first line of
// a box `width` pixels wide, and all lines of `text` word-wrapped at `width`.
QString firstLine(const QString& text, const FontSpec& font, qreal width);
QStringList wrapLines(const QString& text, const FontSpec& font, qreal width);
qreal lineHeight(const FontSpec& font);

} // namespace tv::report
