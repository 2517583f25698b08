#pragma once
// Money in the grid, the record view and the reports is written as the locale writes its
// currency: the symbol before or after the amount, the decimal sign, the thousands separator.

#include "engine/dataset/fieldtext.h"

#include <QLocale>

namespace tv {

// The currency format of `locale`, always with two decimals (money fields keep cents).
CurrencyFormat currencyFormatOf(const QLocale& locale = QLocale());

} // namespace tv
