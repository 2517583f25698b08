#include "engine/dataset/fieldtext.h"

#include "engine/codepage.h"
#include "engine/numbertext.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace tv {

namespace {

int thisYear()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    return tm.tm_year + 1900;
}

std::string formatTime(int32_t ms)
{
    int s = ms / 1000;
    const int h = s / 3600;
    const int m = (s / 60) % 60;
    s %= 60;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d %s", (h % 12 == 0) ? 12 : h % 12, m, s, h < 12 ? "AM" : "PM");
    return buf;
}

std::string formatFloat(double v)
{
    return generalText(v, 15);
}

std::string formatMoney(double v, const CurrencyFormat& c)
{
    const bool neg = v < 0;
    const long long cents = std::llround(std::fabs(v) * 100.0);
    std::string digits = std::to_string(cents / 100);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += c.group;
        grouped += digits[i];
    }
    char frac[8];
    std::snprintf(frac, sizeof frac, "%02lld", cents % 100);
    const std::string amount = grouped + c.decimal + frac;
    return neg ? c.negativeBefore + amount + c.negativeAfter : c.before + amount + c.after;
}

void eraseAll(std::string& s, std::string_view what)
{
    if (what.empty())
        return;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at))
        s.erase(at, what.size());
}

void replaceAll(std::string& s, std::string_view what, std::string_view with)
{
    if (what.empty())
        return;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + with.size()))
        s.replace(at, what.size(), with);
}

[[noreturn]] void notValid(const FieldDef& f, std::string_view text, const char* what)
{
    throw EngineError("'" + std::string(text) + "' is not a valid " + what + " for field '" + f.name + "'");
}

bool parseInt(std::string_view s, int64_t& out)
{
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool parseDouble(std::string_view s, double& out)
{
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(out);
}

// Money and floating point text as the grid shows it: "$1,234.50", "(1.00)", "-3", and money
// in the currency format "49,95 Ft". Blanks within the number (no-break ones included, which
// some locales put between the thousands) are passed over.
bool parseNumberText(std::string_view s, const CurrencyFormat& c, bool money, double& out)
{
    bool neg = false;
    if (s.size() >= 2 && s.front() == '(' && s.back() == ')') {
        neg = true;
        s = trimBlanks(s.substr(1, s.size() - 2));
    }
    std::string clean(s);
    eraseAll(clean, c.symbol);
    for (const char* blank : {"\xC2\xA0", "\xE2\x80\xAF", "\xE2\x80\x89", " "})
        eraseAll(clean, blank);
    if (money) {
        eraseAll(clean, c.group);
        replaceAll(clean, c.decimal, ".");
    } else {
        eraseAll(clean, ",");
    }
    if (!parseDouble(clean, out))
        return false;
    if (neg)
        out = -out;
    return true;
}

int kindRank(const Value& v) { return int(v.index()); }

} // namespace

CurrencyFormat& CurrencyFormat::operator=(std::string newSymbol)
{
    for (std::string* affix : {&before, &after, &negativeBefore, &negativeAfter})
        replaceAll(*affix, symbol, newSymbol);
    symbol = std::move(newSymbol);
    return *this;
}

namespace {
CurrencyFormat& systemCurrency()
{
    static CurrencyFormat format;
    return format;
}
} // namespace

const CurrencyFormat& systemCurrencyFormat() { return systemCurrency(); }
void setSystemCurrencyFormat(CurrencyFormat format) { systemCurrency() = std::move(format); }

std::string formatDate(Date d, const std::string& format)
{
    int y, m, day;
    ymdFromDate(d, y, m, day);
    std::string out;
    for (size_t i = 0; i < format.size();) {
        const char c = format[i];
        size_t n = 1;
        while (i + n < format.size() && format[i + n] == c)
            ++n;
        char buf[16];
        if (c == 'd') {
            std::snprintf(buf, sizeof buf, n >= 2 ? "%02d" : "%d", day);
            out += buf;
        } else if (c == 'M') {
            std::snprintf(buf, sizeof buf, n >= 2 ? "%02d" : "%d", m);
            out += buf;
        } else if (c == 'y') {
            if (n <= 2)
                std::snprintf(buf, sizeof buf, "%02d", y % 100);
            else
                std::snprintf(buf, sizeof buf, "%04d", y);
            out += buf;
        } else {
            out.append(n, c);
        }
        i += n;
    }
    return out;
}

std::optional<Date> parseDate(std::string_view text, const std::string& format, int currentYear)
{
    text = trimBlanks(text);
    // The order of day, month and year as the format gives them.
    std::string order;
    for (char c : format)
        if ((c == 'd' || c == 'M' || c == 'y') && order.find(c) == std::string::npos)
            order += c;
    if (order.size() != 3)
        order = "Mdy";
    int nums[3];
    int digits[3];
    int count = 0;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] < '0' || text[i] > '9') {
            // Separators: anything but letters and digits, one at a time between numbers.
            const char c = text[i];
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || count == 0)
                return std::nullopt;
            ++i;
            if (i < text.size() && (text[i] < '0' || text[i] > '9'))
                return std::nullopt;
            continue;
        }
        if (count == 3)
            return std::nullopt;
        int v = 0, n = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            if (n >= 4)
                return std::nullopt;
            v = v * 10 + (text[i] - '0');
            ++n;
            ++i;
        }
        nums[count] = v;
        digits[count] = n;
        ++count;
    }
    if (count != 3)
        return std::nullopt;
    int y = 0, m = 0, d = 0, ydigits = 0;
    if (digits[0] == 4) {   // ISO order, whatever the format says
        y = nums[0], m = nums[1], d = nums[2], ydigits = 4;
    } else {
        for (int k = 0; k < 3; ++k) {
            if (order[size_t(k)] == 'd') d = nums[k];
            else if (order[size_t(k)] == 'M') m = nums[k];
            else { y = nums[k]; ydigits = digits[k]; }
        }
    }
    if (ydigits <= 2) {
        // Two-digit years fall within the 50 years around the current year.
        const int now = currentYear > 0 ? currentYear : thisYear();
        const int window = now - 50;
        y += window / 100 * 100;
        if (y < window)
            y += 100;
    }
    if (!isValidYmd(y, m, d))
        return std::nullopt;
    return dateFromYmd(y, m, d);
}

std::optional<int32_t> parseTime(std::string_view text)
{
    std::string t = foldAsciiUpper(trimBlanks(text));
    int add = 0;
    bool ampm = false;
    auto endsWith = [&](const char* suf) {
        const size_t n = std::char_traits<char>::length(suf);
        return t.size() >= n && t.compare(t.size() - n, n, suf) == 0;
    };
    if (endsWith("AM") || endsWith("PM")) {
        ampm = true;
        add = endsWith("PM") ? 12 : 0;
        t.resize(t.size() - 2);
        t = std::string(trimBlanks(t));
    }
    int parts[3] = {0, 0, 0};
    int n = 0;
    size_t i = 0;
    while (i <= t.size() && n < 3) {
        size_t j = i;
        while (j < t.size() && t[j] >= '0' && t[j] <= '9')
            ++j;
        if (j == i || j - i > 2)
            return std::nullopt;
        parts[n++] = std::stoi(t.substr(i, j - i));
        if (j == t.size())
            break;
        if (t[j] != ':')
            return std::nullopt;
        i = j + 1;
    }
    if (n < 2)
        return std::nullopt;
    int h = parts[0];
    if (ampm) {
        if (h < 1 || h > 12)
            return std::nullopt;
        h = h % 12 + add;
    }
    if (h > 23 || parts[1] > 59 || parts[2] > 59)
        return std::nullopt;
    return int32_t((h * 3600 + parts[1] * 60 + parts[2]) * 1000);
}

std::string formatValue(const FieldDef& f, const Value& v, const TextFormat& fmt)
{
    if (isNull(v))
        return {};
    if (const auto* s = std::get_if<std::string>(&v))
        return *s;
    if (const auto* i = std::get_if<int64_t>(&v)) {
        if (f.type == FieldType::Money)
            return formatMoney(double(*i), fmt.currency);
        return std::to_string(*i);
    }
    if (const auto* d = std::get_if<double>(&v))
        return f.type == FieldType::Money ? formatMoney(*d, fmt.currency) : formatFloat(*d);
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? "True" : "False";
    if (const auto* dt = std::get_if<Date>(&v))
        return formatDate(*dt, fmt.shortDate);
    if (const auto* t = std::get_if<TimeOfDay>(&v))
        return formatTime(t->ms);
    if (const auto* ts = std::get_if<Timestamp>(&v)) {
        const int64_t day = ts->ms / 86400000;
        const int32_t ms = int32_t(ts->ms % 86400000);
        return formatDate(Date{int32_t(day)}, fmt.shortDate) + " " + formatTime(ms);
    }
    return f.type == FieldType::Graphic ? "(GRAPHIC)" : "(BLOB)";
}

Value parseValue(const FieldDef& f, std::string_view text, const TextFormat& fmt)
{
    const FieldKind kind = kindOf(f.type);
    if (kind == FieldKind::Text || kind == FieldKind::Memo)
        return text.empty() ? Value{} : coerceValue(f, std::string(text));
    const std::string_view t = trimBlanks(text);
    if (t.empty())
        return Value{};
    switch (kind) {
    case FieldKind::Integer: {
        int64_t v;
        if (!parseInt(t, v))
            notValid(f, text, "integer value");
        return coerceValue(f, v);
    }
    case FieldKind::Float: {
        double v;
        if (!parseNumberText(t, fmt.currency, f.type == FieldType::Money, v))
            notValid(f, text, "floating point value");
        return v;
    }
    case FieldKind::Date: {
        auto d = parseDate(t, fmt.shortDate, fmt.currentYear);
        if (!d)
            notValid(f, text, "date");
        return *d;
    }
    case FieldKind::Time: {
        auto ms = parseTime(t);
        if (!ms)
            notValid(f, text, "time");
        return TimeOfDay{*ms};
    }
    case FieldKind::Timestamp: {
        // A date, optionally followed by a time after the first blank.
        const size_t sp = t.find(' ');
        auto d = parseDate(t.substr(0, sp), fmt.shortDate, fmt.currentYear);
        std::optional<int32_t> ms = 0;
        if (sp != std::string_view::npos)
            ms = parseTime(t.substr(sp + 1));
        if (!d || !ms)
            notValid(f, text, "date and time");
        return Timestamp{int64_t(d->day) * 86400000 + *ms};
    }
    case FieldKind::Boolean: {
        const std::string u = foldAsciiUpper(t);
        if (u == "TRUE" || u == "T" || u == "YES" || u == "Y" || u == "1")
            return true;
        if (u == "FALSE" || u == "F" || u == "NO" || u == "N" || u == "0")
            return false;
        notValid(f, text, "boolean value");
    }
    default:
        throw EngineError("Field '" + f.name + "' cannot be set from text");
    }
}

Value coerceValue(const FieldDef& f, const Value& v)
{
    if (isNull(v))
        return v;
    auto wrong = [&]() -> Value {
        throw EngineError("Type mismatch for field '" + f.name + "'");
    };
    switch (kindOf(f.type)) {
    case FieldKind::Text:
    case FieldKind::Memo: {
        const auto* s = std::get_if<std::string>(&v);
        if (!s)
            return wrong();
        if (kindOf(f.type) == FieldKind::Text && f.size > 0) {
            // Keep at most `size` characters (UTF-8 sequences counted as one).
            size_t chars = 0, i = 0;
            for (; i < s->size(); ++i) {
                if ((static_cast<unsigned char>((*s)[i]) & 0xC0) != 0x80) {
                    if (chars == size_t(f.size))
                        return s->substr(0, i);
                    ++chars;
                }
            }
        }
        return v;
    }
    case FieldKind::Integer: {
        int64_t i;
        if (const auto* p = std::get_if<int64_t>(&v))
            i = *p;
        else if (const auto* d = std::get_if<double>(&v); d && std::nearbyint(*d) == *d && std::fabs(*d) < 9e18)
            i = int64_t(*d);
        else
            return wrong();
        const int64_t lo = f.type == FieldType::Short ? -32768 : -2147483648LL;
        const int64_t hi = f.type == FieldType::Short ? 32767 : 2147483647LL;
        if (i < lo || i > hi)
            throw EngineError(std::to_string(i) + " is out of range for field '" + f.name + "'");
        return i;
    }
    case FieldKind::Float:
        if (const auto* p = std::get_if<int64_t>(&v))
            return double(*p);
        if (std::holds_alternative<double>(v))
            return v;
        return wrong();
    case FieldKind::Date:
        if (const auto* ts = std::get_if<Timestamp>(&v))
            return Date{int32_t(ts->ms / 86400000)};
        return std::holds_alternative<Date>(v) ? v : wrong();
    case FieldKind::Time: return std::holds_alternative<TimeOfDay>(v) ? v : wrong();
    case FieldKind::Timestamp:
        if (const auto* d = std::get_if<Date>(&v))
            return Timestamp{int64_t(d->day) * 86400000};
        return std::holds_alternative<Timestamp>(v) ? v : wrong();
    case FieldKind::Boolean: return std::holds_alternative<bool>(v) ? v : wrong();
    case FieldKind::Blob:
        if (const auto* s = std::get_if<std::string>(&v))
            return Blob{*s};
        return std::holds_alternative<Blob>(v) ? v : wrong();
    }
    return wrong();
}

int defaultDisplayWidth(const FieldDef& f)
{
    // A dBASE number is stored as the text it shows: its declared width holds every value.
    if ((f.type == FieldType::DbNumeric || f.type == FieldType::DbFloat) && f.size > 0)
        return f.size;
    switch (kindOf(f.type)) {
    case FieldKind::Text: return f.size > 0 ? f.size : 10;
    case FieldKind::Integer: return f.type == FieldType::Short ? 6 : 11;
    case FieldKind::Timestamp: return 18;
    case FieldKind::Boolean: return 5;
    default: return 10;
    }
}

int compareValues(const Value& a, const Value& b, bool foldCase)
{
    const bool na = isNull(a), nb = isNull(b);
    if (na || nb)
        return na == nb ? 0 : (na ? -1 : 1);
    auto num = [](const Value& v, double& out) {
        if (const auto* i = std::get_if<int64_t>(&v)) { out = double(*i); return true; }
        if (const auto* d = std::get_if<double>(&v)) { out = *d; return true; }
        return false;
    };
    if (const auto* ia = std::get_if<int64_t>(&a))
        if (const auto* ib = std::get_if<int64_t>(&b))
            return *ia < *ib ? -1 : (*ia > *ib ? 1 : 0);
    double da, db;
    if (num(a, da) && num(b, db))
        return da < db ? -1 : (da > db ? 1 : 0);
    if (a.index() != b.index())
        return kindRank(a) < kindRank(b) ? -1 : 1;
    if (const auto* sa = std::get_if<std::string>(&a)) {
        const auto& sb = std::get<std::string>(b);
        const size_t n = std::min(sa->size(), sb.size());
        for (size_t i = 0; i < n; ++i) {
            unsigned char x = static_cast<unsigned char>((*sa)[i]), y = static_cast<unsigned char>(sb[i]);
            if (foldCase) {
                if (x >= 'a' && x <= 'z') x -= 32;
                if (y >= 'a' && y <= 'z') y -= 32;
            }
            if (x != y)
                return x < y ? -1 : 1;
        }
        return sa->size() == sb.size() ? 0 : (sa->size() < sb.size() ? -1 : 1);
    }
    auto cmp = [](auto x, auto y) { return x < y ? -1 : (x > y ? 1 : 0); };
    if (const auto* x = std::get_if<bool>(&a)) return cmp(*x, std::get<bool>(b));
    if (const auto* x = std::get_if<Date>(&a)) return cmp(x->day, std::get<Date>(b).day);
    if (const auto* x = std::get_if<TimeOfDay>(&a)) return cmp(x->ms, std::get<TimeOfDay>(b).ms);
    if (const auto* x = std::get_if<Timestamp>(&a)) return cmp(x->ms, std::get<Timestamp>(b).ms);
    if (const auto* x = std::get_if<Blob>(&a)) return x->bytes.compare(std::get<Blob>(b).bytes) < 0 ? -1 : (x->bytes == std::get<Blob>(b).bytes ? 0 : 1);
    return 0;
}

} // namespace tv
