#include "dbfformat.h"

#include "bytes.h"

#include "engine/codepage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

namespace tv::dbase {

namespace {

std::string hexByte(uint8_t b)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02x", b);
    return buf;
}

bool typeFromLetter(char letter, FieldType& type)
{
    switch (letter) {
    case 'C': type = FieldType::DbChar; return true;
    case 'N': type = FieldType::DbNumeric; return true;
    case 'F': type = FieldType::DbFloat; return true;
    case 'D': type = FieldType::DbDate; return true;
    case 'L': type = FieldType::DbLogical; return true;
    case 'M': type = FieldType::DbMemo; return true;
    default: return false;
    }
}

char letterOf(FieldType type)
{
    switch (type) {
    case FieldType::DbChar: return 'C';
    case FieldType::DbNumeric: return 'N';
    case FieldType::DbFloat: return 'F';
    case FieldType::DbDate: return 'D';
    case FieldType::DbLogical: return 'L';
    case FieldType::DbMemo: return 'M';
    default: return 0;
    }
}

// The one size a fixed-size field type allows, 0 for the others.
int fixedSize(FieldType type)
{
    switch (type) {
    case FieldType::DbDate: return 8;
    case FieldType::DbLogical: return 1;
    case FieldType::DbMemo: return 10;
    default: return 0;
    }
}

std::string_view trimBoth(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\0'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.remove_suffix(1);
    return s;
}

bool allDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

bool DbfLayout::hasMemoFields() const
{
    return std::any_of(fields.begin(), fields.end(), [](const FieldDef& f) { return f.type == FieldType::DbMemo; });
}

MemoLayout DbfLayout::memoLayout() const
{
    if (version == kVersionMemo4)
        return MemoLayout::Dbase4;
    if (version == kVersionMemo3 || hasMemoFields())
        return MemoLayout::Dbase3;
    return MemoLayout::None;
}

std::string versionName(uint8_t version)
{
    switch (version) {
    case 0x02: return "FoxBase/dBASE II";
    case 0x03: return "dBASE III/IV without memo";
    case 0x04: return "dBASE 7";
    case 0x30: return "Visual FoxPro";
    case 0x31: return "Visual FoxPro with autoincrement";
    case 0x32: return "Visual FoxPro with varchar/varbinary";
    case 0x43: return "dBASE IV SQL table";
    case 0x63: return "dBASE IV SQL system file";
    case 0x83: return "dBASE III with memo";
    case 0x8B: return "dBASE IV with memo";
    case 0x8C: return "dBASE 7 with memo";
    case 0xCB: return "dBASE IV SQL table with memo";
    case 0xF5: return "FoxPro with memo";
    case 0xFB: return "FoxBASE";
    default: return "unknown format";
    }
}

DbfLayout parseDbf(std::string_view file, const std::string& path, int codePage)
{
    if (file.size() < kHeaderSize)
        throw EngineError(path + ": file is too short for a dBASE table header (" + std::to_string(file.size()) +
                          " bytes)");
    DbfLayout l;
    l.version = uint8_t(file[0]);
    if (l.version != kVersionPlain && l.version != kVersionMemo3 && l.version != kVersionMemo4)
        throw EngineError(path + ": version byte " + hexByte(l.version) + " (" + versionName(l.version) +
                          ") is not dBASE III/IV (0x03, 0x83 or 0x8B)");
    l.recordCount = u32At(file, 4);
    l.headerLength = u16At(file, 8);
    l.recordLength = u16At(file, 10);
    l.productionIndex = file[0x1C] == 1;
    l.languageDriver = uint8_t(file[0x1D]);
    bool known = false;
    l.codePage = codePage != 0 ? codePage : codePageForLanguageDriver(l.languageDriver, known);

    if (l.headerLength < kHeaderSize + 1)
        throw EngineError(path + ": header length " + std::to_string(l.headerLength) + " is too small");
    if (l.headerLength > file.size())
        throw EngineError(path + ": header length " + std::to_string(l.headerLength) + " is beyond the end of the file (" +
                          std::to_string(file.size()) + " bytes)");

    // Field descriptors up to the 0x0D end marker. Some writers leave the marker out: a 0x00
    // stands in its place, or the header ends right after the last descriptor. Such a list is
    // taken as it stands when its fields fill the record exactly.
    size_t pos = kHeaderSize;
    uint32_t offset = 1;
    bool marked = false;
    while (true) {
        if (pos < l.headerLength && file[pos] == '\x0D') {
            marked = true;
            break;
        }
        if (pos + kDescriptorSize > l.headerLength || file[pos] == '\0')
            break;
        const std::string_view d = file.substr(pos, kDescriptorSize);
        const std::string_view rawName = d.substr(0, std::min<size_t>(11, d.substr(0, 11).find('\0')));
        FieldDef f;
        f.name = decodeText(l.codePage, rawName);
        l.storedNames.emplace_back(rawName);
        const char letter = d[11];
        if (!typeFromLetter(letter, f.type))
            throw EngineError(path + ": field " + f.name + " has type " +
                              (letter >= 0x20 && letter < 0x7F ? "'" + std::string(1, letter) + "'"
                                                                 : hexByte(uint8_t(letter))) +
                              ", which dBASE III/IV tables do not have");
        f.size = uint8_t(d[16]);
        f.decimals = uint8_t(d[17]);
        const int fixed = fixedSize(f.type);
        if (f.size == 0 || (fixed != 0 && f.size != fixed))
            throw EngineError(path + ": field " + f.name + " of type " + letter + " has length " +
                              std::to_string(f.size));
        l.offsets.push_back(offset);
        offset += uint32_t(f.size);
        l.fields.push_back(std::move(f));
        pos += kDescriptorSize;
    }
    if (offset != l.recordLength)
        throw EngineError(path + ": " + (marked ? "" : "the field list has no end marker and ") + "record length " +
                          std::to_string(l.recordLength) + " does not match the fields, which take " +
                          std::to_string(offset) + " bytes");
    if (l.recordsEnd() > file.size())
        throw EngineError(path + ": file is too short for its " + std::to_string(l.recordCount) + " records (" +
                          std::to_string(file.size()) + " bytes, " + std::to_string(l.recordsEnd()) + " needed)");
    // Whole records after the counted ones with no end-of-file mark between: the count is
    // damaged. Whatever follows the mark (old records a writer left behind, padding) is no part
    // of the table.
    const uint64_t beyond = file.size() - l.recordsEnd();
    if (beyond >= l.recordLength && file[size_t(l.recordsEnd())] != kEndOfFile)
        throw EngineError(path + ": the header counts " + std::to_string(l.recordCount) + " records, but the file holds " +
                          std::to_string(l.recordCount + beyond / l.recordLength));
    return l;
}

std::string_view trimCharCell(std::string_view cell)
{
    while (!cell.empty() && cell.back() == ' ')
        cell.remove_suffix(1);
    return cell;
}

Value decodeNumberCell(std::string_view cell)
{
    std::string_view s = trimBoth(cell);
    if (s.empty())
        return {};
    if (s.front() == '+')
        s.remove_prefix(1);
    // Only plain decimal notation: no "inf", "nan" or hex forms.
    const bool plain = !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
    });
    if (!plain)
        return {};
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size())
        return {};
    return v;
}

std::string numberTextOfCell(std::string_view cell)
{
    if (isNull(decodeNumberCell(cell)))
        return {};
    std::string_view s = trimBoth(cell);
    bool negative = false;
    if (s.front() == '+' || s.front() == '-') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    // A number from_chars took is digits, an optional point and digits, an optional exponent.
    const size_t e = s.find_first_of("eE");
    std::string_view mantissa = s.substr(0, e);
    const std::string_view exponent = e == std::string_view::npos ? std::string_view() : s.substr(e + 1);
    const size_t point = mantissa.find('.');
    std::string_view whole = mantissa.substr(0, point);
    std::string_view fraction = point == std::string_view::npos ? std::string_view() : mantissa.substr(point + 1);
    while (whole.size() > 1 && whole.front() == '0')
        whole.remove_prefix(1);
    std::string out;
    const bool zero = std::all_of(mantissa.begin(), mantissa.end(), [](char c) { return c == '0' || c == '.'; });
    if (negative && !zero)
        out += '-';
    out += whole.empty() ? "0" : std::string(whole);
    if (!fraction.empty())
        out.append(".").append(fraction);
    if (!exponent.empty()) {
        out += 'e';
        out += exponent;
    }
    return out;
}

Value decodeDateCell(std::string_view cell)
{
    if (cell.size() != 8 || !allDigits(cell))
        return {};
    auto num = [&](size_t off, size_t len) {
        int v = 0;
        for (size_t i = off; i < off + len; ++i)
            v = v * 10 + (cell[i] - '0');
        return v;
    };
    const int y = num(0, 4), m = num(4, 2), d = num(6, 2);
    if (!isValidYmd(y, m, d))
        return {};
    return dateFromYmd(y, m, d);
}

Value decodeLogicalCell(std::string_view cell)
{
    if (cell.empty())
        return {};
    switch (cell[0]) {
    case 'T': case 't': case 'Y': case 'y':
        return true;
    case 'F': case 'f': case 'N': case 'n':
        return false;
    default:
        return {};
    }
}

bool memoBlockOfCell(std::string_view cell, uint64_t& block)
{
    block = 0;
    const std::string_view s = trimBoth(cell);
    if (s.empty())
        return true;
    if (!allDigits(s))
        return false;
    for (char c : s)
        block = block * 10 + uint64_t(c - '0');  // at most 10 digits: no overflow
    return true;
}

DbfLayout layoutForNewTable(const std::string& path, const std::vector<FieldDef>& fields, int codePage)
{
    if (fields.empty())
        throw EngineError(path + ": a dBASE table needs at least one field");
    if (fields.size() > kMaxFields)
        throw EngineError(path + ": a dBASE table can have at most " + std::to_string(kMaxFields) + " fields");
    DbfLayout l;
    l.codePage = isKnownCodePage(codePage) ? codePage : 1252;
    l.languageDriver = languageDriverForCodePage(l.codePage);
    std::set<std::string> names;
    uint32_t offset = 1;
    for (FieldDef f : fields) {
        const char letter = letterOf(f.type);
        if (letter == 0)
            throw EngineError(path + ": field " + f.name + " has a type that dBASE tables do not have");
        const std::string stored = encodeText(l.codePage, f.name);
        if (stored.empty() || stored.size() > 10 || stored.find('\0') != std::string::npos)
            throw EngineError(path + ": field name \"" + f.name + "\" must have 1 to 10 characters");
        if (!names.insert(foldAsciiUpper(stored)).second)
            throw EngineError(path + ": field name " + f.name + " is used twice");
        const int fixed = fixedSize(f.type);
        if (fixed != 0 && f.size == 0)
            f.size = fixed;
        const int maxSize = f.type == FieldType::DbChar ? 254 : 20;
        if (f.size < 1 || (fixed != 0 && f.size != fixed) || f.size > maxSize)
            throw EngineError(path + ": field " + f.name + " cannot have length " + std::to_string(f.size));
        if (f.type == FieldType::DbNumeric || f.type == FieldType::DbFloat) {
            if (f.decimals < 0 || (f.decimals > 0 && f.decimals > f.size - 2) || f.decimals > 15)
                throw EngineError(path + ": field " + f.name + " cannot have " + std::to_string(f.decimals) +
                                  " decimals in " + std::to_string(f.size) + " characters");
        } else {
            f.decimals = 0;
        }
        l.offsets.push_back(offset);
        offset += uint32_t(f.size);
        l.fields.push_back(std::move(f));
    }
    l.recordLength = uint16_t(offset);  // at most 1 + 255 * 254: fits
    l.headerLength = uint16_t(kHeaderSize + kDescriptorSize * l.fields.size() + 1);
    l.version = l.hasMemoFields() ? kVersionMemo3 : kVersionPlain;
    return l;
}

std::string buildDbfHeader(const DbfLayout& l, int year, int month, int day)
{
    std::string h(l.headerLength, '\0');
    h[0] = char(l.version);
    putU16(&h[8], l.headerLength);
    putU16(&h[10], l.recordLength);
    h[0x1C] = l.productionIndex ? 1 : 0;
    h[0x1D] = char(l.languageDriver);
    for (size_t i = 0; i < l.fields.size(); ++i) {
        char* d = &h[kHeaderSize + i * kDescriptorSize];
        const std::string name = encodeText(l.codePage, l.fields[i].name);
        std::memcpy(d, name.data(), std::min<size_t>(name.size(), 10));
        d[11] = letterOf(l.fields[i].type);
        d[16] = char(l.fields[i].size);
        d[17] = char(l.fields[i].decimals);
    }
    h[l.headerLength - 1] = '\x0D';
    patchDbfHeader(h, l.recordCount, year, month, day);
    return h;
}

void patchDbfHeader(std::string& header, uint32_t recordCount, int year, int month, int day)
{
    header[1] = char(std::clamp(year - 1900, 0, 255));
    header[2] = char(month);
    header[3] = char(day);
    putU32(&header[4], recordCount);
}

static std::string formatNumber(const std::string& path, const FieldDef& field, const Value& v)
{
    char buf[400];
    if (const auto* i = std::get_if<int64_t>(&v)) {
        if (field.decimals == 0)
            std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(*i));
        else
            std::snprintf(buf, sizeof buf, "%.*f", field.decimals, double(*i));
    } else if (const auto* d = std::get_if<double>(&v)) {
        if (!std::isfinite(*d))
            throw EngineError(path + ": field " + field.name + " cannot hold an infinite or undefined number");
        std::snprintf(buf, sizeof buf, "%.*f", field.decimals, *d);
    } else {
        throw EngineError(path + ": field " + field.name + " holds numbers");
    }
    return buf;
}

void encodeCell(const std::string& path, const FieldDef& field, const Value& v, int codePage, char* out)
{
    const size_t size = size_t(field.size);
    std::memset(out, ' ', size);
    if (isNull(v))
        return;
    switch (field.type) {
    case FieldType::DbChar: {
        const auto* s = std::get_if<std::string>(&v);
        if (!s)
            throw EngineError(path + ": field " + field.name + " holds text");
        const std::string bytes = encodeText(codePage, *s);
        if (bytes.size() > size)
            throw EngineError(path + ": text of " + std::to_string(bytes.size()) + " characters does not fit field " +
                              field.name + " (" + std::to_string(size) + ")");
        std::memcpy(out, bytes.data(), bytes.size());
        return;
    }
    case FieldType::DbNumeric:
    case FieldType::DbFloat: {
        const std::string text = formatNumber(path, field, v);
        if (text.size() > size)
            throw EngineError(path + ": number " + text + " does not fit field " + field.name + " (" +
                              std::to_string(size) + "." + std::to_string(field.decimals) + ")");
        std::memcpy(out + size - text.size(), text.data(), text.size());
        return;
    }
    case FieldType::DbDate: {
        const auto* d = std::get_if<Date>(&v);
        if (!d)
            throw EngineError(path + ": field " + field.name + " holds dates");
        int y = 0, m = 0, day = 0;
        ymdFromDate(*d, y, m, day);
        if (!isValidYmd(y, m, day))
            throw EngineError(path + ": field " + field.name + " cannot hold a date outside the years 1 to 9999");
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, day);
        std::memcpy(out, buf, 8);
        return;
    }
    case FieldType::DbLogical: {
        const auto* b = std::get_if<bool>(&v);
        if (!b)
            throw EngineError(path + ": field " + field.name + " holds true or false");
        out[0] = *b ? 'T' : 'F';
        return;
    }
    default:
        throw EngineError(path + ": field " + field.name + " cannot be written as a cell");
    }
}

std::string memoCell(uint64_t block)
{
    if (block == 0)
        return std::string(10, ' ');
    char buf[32];
    std::snprintf(buf, sizeof buf, "%10llu", static_cast<unsigned long long>(block));
    return buf;
}

} // namespace tv::dbase
