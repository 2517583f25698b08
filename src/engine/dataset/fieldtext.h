#pragma once
// Field values as text: how a field shows its value and how typed text becomes a value.

#include "engine/tablefile.h"

#include <optional>
#include <string>
#include <string_view>

namespace tv {

// How money is written: the text before and after the amount (the currency symbol, a blank,
// a sign or parentheses), for amounts below zero apart, and the signs between the thousands and
// before the cents. By default as in the United States: "$1,234.50", "($1.00)".
struct CurrencyFormat {
    std::string symbol = "$";
    std::string before = "$", after;
    std::string negativeBefore = "($", negativeAfter = ")";
    std::string decimal = ".";
    std::string group = ",";

    // Another currency symbol in the places of the present one.
    CurrencyFormat& operator=(std::string newSymbol);
};

// The currency format text formats start from: the system's, once the program has told it
// (setSystemCurrencyFormat at start-up, before any table is made), the default before that.
const CurrencyFormat& systemCurrencyFormat();
void setSystemCurrencyFormat(CurrencyFormat format);

struct TextFormat {
    std::string shortDate = "M/d/yyyy";
    CurrencyFormat currency = systemCurrencyFormat();
    int currentYear = 0;   // for two-digit years; 0 = this year by the system clock
};

std::string formatValue(const FieldDef& f, const Value& v, const TextFormat& fmt);
// Throws EngineError naming the field when the text is not a value of the field's type.
// Empty text (after trimming blanks for non-text fields) gives null.
Value parseValue(const FieldDef& f, std::string_view text, const TextFormat& fmt);

std::string formatDate(Date d, const std::string& format);
std::optional<Date> parseDate(std::string_view text, const std::string& format, int currentYear = 0);
std::optional<int32_t> parseTime(std::string_view text);   // milliseconds since midnight

int defaultDisplayWidth(const FieldDef& f);

// Orders two values of the same field: null first, then by type. Text compares bytes,
// folding a-z when `foldCase`.
int compareValues(const Value& a, const Value& b, bool foldCase);

// Turns a value into the field's own type where that is lossless (integer into a floating
// point field, ...); throws EngineError naming the field otherwise.
Value coerceValue(const FieldDef& f, const Value& v);

} // namespace tv
