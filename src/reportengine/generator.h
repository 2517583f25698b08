#pragma once
// Lays a layout out over its data: a page header and column header at the top of every page,
// one detail band (and its child band) per row, the page footer at the bottom of every page.

#include "document.h"

#include <QDateTime>
#include <QLocale>

#include <functional>

namespace tv::report {

// Called after each row with the rows done so far and the total; returning false cancels.
using ProgressFn = std::function<bool(int done, int total)>;

struct GenerateOptions {
    QDateTime printTime;  // invalid: the time at which each page is laid out
    QLocale locale;       // date and time formats of the date-and-time item
    QString dateFormat;   // empty: the locale's short date format
    QString timeFormat;   // empty: the locale's long time format without a time zone
};

// Throws nothing for a layout without data: it yields one page without detail bands.
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
