#pragma once
// Numbers as text the way the table files and the program show them: always a point before
// the decimals. The C library's printf and strtod follow the process's C locale, which a Qt
// program takes from the user's settings (a comma in German, say); these never do.

#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace tv {

// `v` with `decimals` digits after the point, as "%.*f" gives it in the C locale.
inline std::string fixedText(double v, int decimals)
{
    char buf[512];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string();
}

// `v` with up to `digits` significant digits, as "%.*g" gives it in the C locale.
inline std::string generalText(double v, int digits)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits);
    return std::string(buf, r.ptr);
}

// The number at the start of `s` (digits with a point, an optional minus sign); NaN when
// there is none.
inline double numberOf(std::string_view s)
{
    double v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() ? v : std::nan("");
}

} // namespace tv
