#include "dbaware/currencytext.h"

namespace tv {

namespace {

// What the locale writes before and after `amount` (which it writes as the digits `digits`).
bool affixes(const QString& written, const QString& digits, std::string& before, std::string& after)
{
    const qsizetype at = written.indexOf(digits);
    if (at < 0)
        return false;
    before = written.left(at).toStdString();
    after = written.mid(at + digits.size()).toStdString();
    return true;
}

} // namespace

CurrencyFormat currencyFormatOf(const QLocale& locale)
{
    CurrencyFormat c;
    const QString symbol = locale.currencySymbol();
    if (symbol.isEmpty())
        return c;   // a locale without a currency: the default
    // The locale's own pattern, read off an amount written in it: 1234.5 has a thousands
    // separator and cents, so every part of the format shows.
    const QString digits = locale.toString(1234.5, 'f', 2);
    CurrencyFormat read;
    read.symbol = symbol.toStdString();
    read.decimal = locale.decimalPoint().toStdString();
    read.group = locale.groupSeparator().toStdString();
    if (!affixes(locale.toCurrencyString(1234.5, symbol, 2), digits, read.before, read.after)
        || !affixes(locale.toCurrencyString(-1234.5, symbol, 2), digits, read.negativeBefore, read.negativeAfter))
        return c;
    // Without any sign or parentheses, a negative amount would read as a positive one.
    if (read.negativeBefore == read.before && read.negativeAfter == read.after)
        read.negativeBefore = "-" + read.before;
    return read;
}

} // namespace tv
