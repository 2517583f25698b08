#include "pxfield.h"

#include "engine/codepage.h"
#include "engine/numbertext.h"
#include "pxbytes.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace tv::px {

std::string_view alphaBytes(const uint8_t* p, int width)
{
    const char* s = reinterpret_cast<const char*>(p);
    const void* nul = std::memchr(s, 0, size_t(width));
    size_t n = nul ? size_t(static_cast<const char*>(nul) - s) : size_t(width);
    while (n > 0 && s[n - 1] == ' ')
        --n;
    return {s, n};
}

std::string decodeStored(int codePage, std::string_view bytes)
{
    const char* p = bytes.data();
    const size_t n = bytes.size();
    size_t i = 0;
    uint64_t high = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        high |= w;
    }
    for (; i < n; ++i)
        high |= uint8_t(p[i]);
    if ((high & 0x8080808080808080ull) == 0)
        return std::string(bytes);
    return decodeText(codePage, bytes);
}

std::string bcdText(const uint8_t* p, int decimals)
{
    if (allZero(p, 17))
        return {};
    const bool negative = !(p[0] & 0x80);
    if ((p[0] & 0x3F) != decimals)
        return "?";
    char digits[32];
    for (int i = 0; i < 32; ++i) {
        int nib = (i % 2 == 0) ? p[1 + i / 2] >> 4 : p[1 + i / 2] & 0x0F;
        if (negative)
            nib = 15 - nib;
        if (nib > 9)
            return "?";
        digits[i] = char('0' + nib);
    }
    const int intDigits = 32 - decimals;
    std::string out;
    int i = 0;
    while (i < intDigits - 1 && digits[i] == '0')
        ++i;
    if (intDigits == 0)
        out = "0";
    else
        out.assign(digits + i, size_t(intDigits - i));
    int fracEnd = 32;
    while (fracEnd > intDigits && digits[fracEnd - 1] == '0')
        --fracEnd;
    if (fracEnd > intDigits) {
        out += '.';
        out.append(digits + intDigits, size_t(fracEnd - intDigits));
    }
    if (negative && out != "0")
        out.insert(out.begin(), '-');
    return out;
}

double bcdValue(const uint8_t* p, int decimals)
{
    const std::string s = bcdText(p, decimals);
    if (s == "?")
        return std::nan("");
    return numberOf(s);
}

bool encodeBcd(uint8_t* p, int decimals, double v)
{
    if (!std::isfinite(v))
        return false;
    const bool negative = v < 0;
    const std::string text = fixedText(std::fabs(v), decimals);
    if (text.empty())
        return false;
    std::string digits;
    for (char c : text)
        if (c >= '0' && c <= '9')
            digits += c;
    if (digits.size() > 32) {
        // Only leading zeros may be dropped.
        const size_t extra = digits.size() - 32;
        if (digits.find_first_not_of('0') < extra)
            return false;
        digits.erase(0, extra);
    }
    digits.insert(0, 32 - digits.size(), '0');
    std::memset(p, 0, 17);
    p[0] = uint8_t((negative ? 0x00 : 0x80) | 0x40 | decimals);
    for (int i = 0; i < 32; ++i) {
        int nib = digits[size_t(i)] - '0';
        if (negative)
            nib = 15 - nib;
        p[1 + i / 2] |= uint8_t(i % 2 == 0 ? nib << 4 : nib);
    }
    return true;
}

Value decodeFixed(const FieldDesc& f, const uint8_t* p, int codePage)
{
    switch (f.type) {
    case FieldType::Alpha: {
        const std::string_view s = alphaBytes(p, f.width);
        if (s.empty())
            return {};
        return decodeStored(codePage, s);
    }
    case FieldType::Logical:
        if (p[0] == 0)
            return {};
        return p[0] != 0x80;
    case FieldType::Bytes:
        if (allZero(p, size_t(f.width)))
            return {};
        return Blob{std::string(reinterpret_cast<const char*>(p), size_t(f.width))};
    case FieldType::Bcd:
        if (allZero(p, 17))
            return {};
        return bcdValue(p, f.size);
    default:
        break;
    }
    if (allZero(p, size_t(f.width)))
        return {};
    switch (f.type) {
    case FieldType::Date:
        return Date{int32_t(decodeInt(p, 4))};
    case FieldType::Short:
    case FieldType::Long:
    case FieldType::AutoInc:
        return decodeInt(p, f.width);
    case FieldType::Time:
        return TimeOfDay{int32_t(decodeInt(p, 4))};
    case FieldType::Money:
    case FieldType::Number:
        return decodeDouble(p);
    case FieldType::Timestamp: {
        const double ms = std::round(decodeDouble(p));
        if (!(std::fabs(ms) < 9.0e18))
            return {};
        return Timestamp{int64_t(ms)};
    }
    default:
        return {};
    }
}

namespace {

[[noreturn]] void badValue(const std::string& what, const char* why) { throw EngineError(what + ": " + why); }

bool numberOf(const Value& v, double& out)
{
    if (auto i = std::get_if<int64_t>(&v)) {
        out = double(*i);
        return true;
    }
    if (auto d = std::get_if<double>(&v)) {
        out = *d;
        return true;
    }
    return false;
}

bool integerOf(const Value& v, int64_t& out)
{
    if (auto i = std::get_if<int64_t>(&v)) {
        out = *i;
        return true;
    }
    if (auto d = std::get_if<double>(&v)) {
        if (!(std::fabs(*d) < 9.0e18) || std::trunc(*d) != *d)
            return false;
        out = int64_t(*d);
        return true;
    }
    return false;
}

} // namespace

void encodeFixed(const FieldDesc& f, uint8_t* p, const Value& v, int codePage, const std::string& what)
{
    const int width = f.width;
    std::memset(p, 0, size_t(width));
    if (isNull(v))
        return;
    switch (f.type) {
    case FieldType::Alpha: {
        const auto* s = std::get_if<std::string>(&v);
        if (!s)
            badValue(what, "a text value is needed");
        const std::string bytes = encodeText(codePage, *s);
        if (bytes.size() > size_t(width))
            badValue(what, "the text is longer than the field");
        std::memcpy(p, bytes.data(), bytes.size());
        return;
    }
    case FieldType::Logical:
        if (auto b = std::get_if<bool>(&v)) {
            p[0] = *b ? 0x81 : 0x80;
            return;
        }
        badValue(what, "a logical value is needed");
    case FieldType::Bytes: {
        const std::string* s = nullptr;
        if (auto b = std::get_if<Blob>(&v))
            s = &b->bytes;
        else
            s = std::get_if<std::string>(&v);
        if (!s)
            badValue(what, "a bytes value is needed");
        if (s->size() > size_t(width))
            badValue(what, "the value is longer than the field");
        std::memcpy(p, s->data(), s->size());
        return;
    }
    case FieldType::Bcd: {
        double d;
        if (!numberOf(v, d) || !encodeBcd(p, f.size, d))
            badValue(what, "the number does not fit the field");
        return;
    }
    case FieldType::Date:
        if (auto d = std::get_if<Date>(&v)) {
            if (d->day == 0)
                badValue(what, "the date is out of range");
            encodeInt(p, 4, d->day);
            return;
        }
        badValue(what, "a date is needed");
    case FieldType::Time:
        if (auto t = std::get_if<TimeOfDay>(&v)) {
            if (t->ms < 0 || t->ms >= 86400000)
                badValue(what, "the time is out of range");
            encodeInt(p, 4, t->ms);
            return;
        }
        badValue(what, "a time of day is needed");
    case FieldType::Timestamp:
        if (auto t = std::get_if<Timestamp>(&v)) {
            encodeDouble(p, double(t->ms));
            return;
        }
        badValue(what, "a date and time is needed");
    case FieldType::Short:
    case FieldType::Long:
    case FieldType::AutoInc: {
        int64_t i;
        if (!integerOf(v, i))
            badValue(what, "a whole number is needed");
        // The smallest value of the width would be stored as all zeros, which means blank.
        const int64_t limit = width == 2 ? 32767 : 2147483647;
        if (i < -limit || i > limit)
            badValue(what, "the number is out of range for the field");
        encodeInt(p, width, i);
        return;
    }
    case FieldType::Money:
    case FieldType::Number: {
        double d;
        if (!numberOf(v, d) || std::isnan(d))
            badValue(what, "a number is needed");
        encodeDouble(p, d);
        return;
    }
    default:
        badValue(what, "the field type cannot hold this value");
    }
}

} // namespace tv::px
