// The system's date and time formats, and reading a date typed in the short format.

#include "platform.h"

#include <QLocale>
#include <QRegularExpression>

namespace tv::platform {

QString shortDateFormat()
{
    QString f = QLocale().dateFormat(QLocale::ShortFormat);
    if (!f.contains(QLatin1String("yyyy")))
        f.replace(QRegularExpression(QStringLiteral("y+")), QStringLiteral("yyyy"));
    return f;
}

QDate parseShortDate(const QString& text)
{
    const QString t = text.trimmed();
    const QString full = shortDateFormat();
    QDate d = QLocale().toDate(t, full);
    // "yyyy" also takes a short year; only a year of four digits counts as written in full.
    static const QRegularExpression fourDigits(QStringLiteral("\\d{4}"));
    if (d.isValid() && fourDigits.match(t).hasMatch())
        return d;
    QString shortFormat = full;
    shortFormat.replace(QLatin1String("yyyy"), QLatin1String("yy"));
    d = QLocale().toDate(t, shortFormat);
    if (!d.isValid())
        return {};
    const int yy = d.year() % 100;
    return QDate(yy < 30 ? 2000 + yy : 1900 + yy, d.month(), d.day());
}

QString longTimeFormat()
{
    return QLocale().timeFormat(QLocale::LongFormat).replace(QRegularExpression(QStringLiteral("\\s*t+\\s*$")), QString());
}

} // namespace tv::platform
