#include "dbfformat.h"

#include "bytes.h"

#include "engine/codepage.h"
#include "engine/numbertext.h"

#include <algorithm>
#include <bit>
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

// The field type of a descriptor's letter and size; false for a letter this reader does not
// know. B is a binary double in 8 bytes (Visual FoxPro) and a memo block number otherwise.
bool typeFromLetter(char letter, int size, FieldType& type)
{
    switch (letter) {
    case 'C': type = FieldType::DbChar; return true;
    case 'N': type = FieldType::DbNumeric; return true;
    case 'F': type = FieldType::DbFloat; return true;
    case 'D': type = FieldType::DbDate; return true;
    case 'L': type = FieldType::DbLogical; return true;
    case 'M': type = FieldType::DbMemo; return true;
    case 'Y': type = FieldType::DbCurrency; return true;
    case 'T': type = FieldType::DbDateTime; return true;
    case 'B': type = size == 8 ? FieldType::DbDouble : FieldType::DbBinaryMemo; return true;
    case 'O': type = FieldType::DbDouble7; return true;
    case 'I': type = FieldType::DbInteger; return true;
    case '+': type = FieldType::DbAutoInc; return true;
    case '@': type = FieldType::DbTimestamp; return true;
    case 'V': type = FieldType::DbVarchar; return true;
    case 'Q': type = FieldType::DbVarbinary; return true;
    case 'G': type = FieldType::DbGeneral; return true;
    case 'P': type = FieldType::DbPicture; return true;
    case 'W': type = FieldType::DbBlob; return true;
    default: return false;
    }
}

// The sizes a field of `type` may have (0: any from 1 to 255).
bool sizeAllowed(FieldType type, int size)
{
    switch (type) {
    case FieldType::DbDate: return size == 8;
    case FieldType::DbLogical: return size == 1;
    case FieldType::DbMemo:
    case FieldType::DbGeneral:
    case FieldType::DbPicture:
    case FieldType::DbBinaryMemo:
    case FieldType::DbBlob: return size == 10 || size == 4;
    case FieldType::DbCurrency:
    case FieldType::DbDateTime:
    case FieldType::DbDouble:
    case FieldType::DbDouble7:
    case FieldType::DbTimestamp: return size == 8;
    case FieldType::DbInteger:
    case FieldType::DbAutoInc: return size == 4;
    default: return size > 0;
    }
}

uint64_t beU64(std::string_view b)
{
    uint64_t v = 0;
    for (size_t i = 0; i < 8; ++i)
        v = (v << 8) | uint8_t(b[i]);
    return v;
}

uint64_t leU64(std::string_view b)
{
    uint64_t v = 0;
    for (size_t i = 8; i-- > 0;)
        v = (v << 8) | uint8_t(b[i]);
    return v;
}

bool blankBinary(std::string_view cell)
{
    return std::all_of(cell.begin(), cell.end(), [](char c) { return c == '\0'; }) ||
           std::all_of(cell.begin(), cell.end(), [](char c) { return c == ' '; });
}

// dBASE 7 stores doubles so that their bytes sort like the numbers: big-endian, the sign bit
// set for positive values and every bit inverted for negative ones.
uint64_t unsortable(uint64_t v)
{
    constexpr uint64_t sign = uint64_t(1) << 63;
    return (v & sign) ? (v & ~sign) : ~v;
}

constexpr int64_t kMsPerDay = 86400000;
// Day number (1 = 0001-01-01) of the first and the day after the last day of the years 1-9999.
constexpr int64_t kFirstDay = 1;
constexpr int64_t kEndDay = 3652060;

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
    return std::any_of(fields.begin(), fields.end(), [](const FieldDef& f) { return isMemoStored(f.type); });
}

MemoLayout DbfLayout::memoLayout() const
{
    if (version == kVersionMemo4 || version == kVersion7Memo || (version == kVersion7 && hasMemoFields()))
        return MemoLayout::Dbase4;
    // A FoxPro table without memo fields reads without its memo file, whatever the version
    // byte says, as other readers do.
    if (flavour == DbfFlavour::FoxPro && hasMemoFields())
        return MemoLayout::Fpt;
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

bool isMemoStored(FieldType type)
{
    switch (type) {
    case FieldType::DbMemo:
    case FieldType::DbGeneral:
    case FieldType::DbPicture:
    case FieldType::DbBinaryMemo:
    case FieldType::DbBlob:
        return true;
    default:
        return false;
    }
}

namespace {

// dBASE 7 names the language driver in its header ("DB437US0", "DBWINUS0"); its code page
// counts where the language driver byte is blank.
int codePageOfDriverName(std::string_view name, int fallback)
{
    if (name.substr(0, 5) == "DBWIN")
        return 1252;
    if (name.size() >= 5 && name.substr(0, 2) == "DB" && allDigits(name.substr(2, 3))) {
        const int cp = (name[2] - '0') * 100 + (name[3] - '0') * 10 + (name[4] - '0');
        if (isKnownCodePage(cp))
            return cp;
    }
    return fallback;
}

std::string letterText(char letter)
{
    return letter >= 0x20 && letter < 0x7F ? "'" + std::string(1, letter) + "'" : hexByte(uint8_t(letter));
}

} // namespace

DbfLayout parseDbf(std::string_view file, const std::string& path, int codePage)
{
    if (file.size() < kHeaderSize)
        throw EngineError(path + ": file is too short for a dBASE table header (" + std::to_string(file.size()) +
                          " bytes)");
    DbfLayout l;
    l.version = uint8_t(file[0]);
    switch (l.version) {
    case kVersionPlain: case kVersionMemo3: case kVersionMemo4:
        l.flavour = DbfFlavour::Dbase;
        break;
    case kVersion7: case kVersion7Memo:
        l.flavour = DbfFlavour::Dbase7;
        break;
    case kVersionVfp: case kVersionVfp + 1: case kVersionVfp + 2: case kVersionFoxMemo: case kVersionFoxBase:
        l.flavour = DbfFlavour::FoxPro;
        break;
    default:
        throw EngineError(path + ": version byte " + hexByte(l.version) + " (" + versionName(l.version) +
                          ") is not dBASE III/IV/7 or FoxPro (0x03, 0x83, 0x8B, 0x04, 0x8C, 0x30-0x32, 0xF5 or 0xFB)");
    }
    const bool vfp = l.version >= kVersionVfp && l.version <= kVersionVfp + 2;
    const bool dbase7 = l.flavour == DbfFlavour::Dbase7;
    l.recordCount = u32At(file, 4);
    l.headerLength = u16At(file, 8);
    l.recordLength = u16At(file, 10);
    l.productionIndex = dbase7 || vfp || l.version == kVersionFoxMemo ? (uint8_t(file[0x1C]) & 1) != 0 : file[0x1C] == 1;
    l.languageDriver = uint8_t(file[0x1D]);
    bool known = false;
    l.codePage = codePage != 0 ? codePage : codePageForLanguageDriver(l.languageDriver, known);

    const size_t fixedPart = dbase7 ? kDbase7HeaderSize : kHeaderSize;
    const size_t descriptorSize = dbase7 ? kDbase7DescriptorSize : kDescriptorSize;
    if (l.headerLength < fixedPart + 1)
        throw EngineError(path + ": header length " + std::to_string(l.headerLength) + " is too small");
    if (l.headerLength > file.size())
        throw EngineError(path + ": header length " + std::to_string(l.headerLength) + " is beyond the end of the file (" +
                          std::to_string(file.size()) + " bytes)");
    if (dbase7 && l.languageDriver == 0) {
        const std::string_view name = file.substr(0x20, 32);
        l.codePage = codePageOfDriverName(name.substr(0, std::min(name.size(), name.find('\0'))), l.codePage);
    }

    // Field descriptors up to the 0x0D end marker. Some writers leave the marker out: a 0x00 or
    // a 0x0A stands in its place, or the header ends right after the last descriptor. Such a list is
    // taken as it stands when its fields fill the record exactly. Visual FoxPro follows the
    // marker with the path of its database container, which is no field.
    size_t pos = fixedPart;
    uint32_t offset = 1;
    bool marked = false;
    std::vector<uint8_t> fieldFlags;
    bool hasNullFlags = false;
    while (true) {
        if (pos < l.headerLength && file[pos] == '\x0D') {
            marked = true;
            break;
        }
        if (pos + descriptorSize > l.headerLength || file[pos] == '\0' || file[pos] == '\n')
            break;
        const std::string_view d = file.substr(pos, descriptorSize);
        const size_t nameSize = dbase7 ? 32 : 11;
        const std::string_view rawName = d.substr(0, std::min<size_t>(nameSize, d.substr(0, nameSize).find('\0')));
        FieldDef f;
        f.name = decodeText(l.codePage, rawName);
        const char letter = d[dbase7 ? 32 : 11];
        f.size = uint8_t(d[dbase7 ? 33 : 16]);
        f.decimals = uint8_t(d[dbase7 ? 34 : 17]);
        pos += descriptorSize;
        if (letter == '0' && !dbase7) {
            // _NullFlags: the NULL and varchar-length bits of the record, not a field of its own.
            if (hasNullFlags || f.size == 0)
                throw EngineError(path + ": field " + f.name + " of type '0' is not a sound _NullFlags field");
            hasNullFlags = true;
            l.nullFlagsOffset = offset;
            l.nullFlagsSize = uint32_t(f.size);
            offset += uint32_t(f.size);
            continue;
        }
        l.storedNames.emplace_back(rawName);
        if (!typeFromLetter(letter, f.size, f.type))
            throw EngineError(path + ": field " + f.name + " has type " + letterText(letter) +
                              ", which dBASE and FoxPro tables do not have");
        if (!sizeAllowed(f.type, f.size))
            throw EngineError(path + ": field " + f.name + " of type " + letter + " has length " +
                              std::to_string(f.size));
        fieldFlags.push_back(vfp ? uint8_t(d[18]) : 0);
        l.offsets.push_back(offset);
        offset += uint32_t(f.size);
        l.fields.push_back(std::move(f));
    }
    // The bits of _NullFlags go to the fields in order: a varchar's length bit, then the NULL
    // bit of a field that may be NULL.
    l.nullBit.assign(l.fields.size(), -1);
    l.lengthBit.assign(l.fields.size(), -1);
    if (hasNullFlags) {
        int bit = 0;
        for (size_t i = 0; i < l.fields.size(); ++i) {
            if (l.fields[i].type == FieldType::DbVarchar || l.fields[i].type == FieldType::DbVarbinary)
                l.lengthBit[i] = bit++;
            if (fieldFlags[i] & 0x02)
                l.nullBit[i] = bit++;
        }
        if (uint32_t(bit) > 8 * l.nullFlagsSize)
            throw EngineError(path + ": the _NullFlags field has " + std::to_string(8 * l.nullFlagsSize) +
                              " bits, but the fields need " + std::to_string(bit));
    }
    // Character fields longer than 255 bytes (as Clipper and FoxPro write them) keep the high
    // byte of their length in the decimals byte: read so where that makes the fields fill the
    // record, which they do not otherwise.
    uint64_t longChars = 0;
    for (const FieldDef& f : l.fields)
        if (f.type == FieldType::DbChar && !dbase7 && !hasNullFlags)
            longChars += uint64_t(f.decimals) << 8;
    if (offset != l.recordLength && longChars != 0 && offset + longChars == l.recordLength) {
        offset = 1;
        for (size_t i = 0; i < l.fields.size(); ++i) {
            FieldDef& f = l.fields[i];
            if (f.type == FieldType::DbChar) {
                f.size += f.decimals << 8;
                f.decimals = 0;
            }
            l.offsets[i] = offset;
            offset += uint32_t(f.size);
        }
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
    // Programs that write C strings pad with zero bytes where others pad with blanks.
    while (!cell.empty() && (cell.back() == ' ' || cell.back() == '\0'))
        cell.remove_suffix(1);
    return cell;
}

namespace {

// The number a cell spells, without the blanks around it; a decimal comma (as some programs
// write numbers where that is the custom) reads as a point. `copy` holds the text when it had to
// be changed.
std::string_view numberSpelling(std::string_view cell, std::string& copy)
{
    const std::string_view s = trimBoth(cell);
    const size_t comma = s.find(',');
    if (comma == std::string_view::npos || s.find(',', comma + 1) != std::string_view::npos || s.find('.') != std::string_view::npos)
        return s;
    copy.assign(s);
    copy[comma] = '.';
    return copy;
}

} // namespace

Value decodeNumberCell(std::string_view cell)
{
    std::string copy;
    std::string_view s = numberSpelling(cell, copy);
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
    std::string copy;
    std::string_view s = numberSpelling(cell, copy);
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
    if (cell.size() == 4) {
        block = u32At(cell, 0);
        return true;
    }
    const std::string_view s = trimBoth(cell);
    if (s.empty())
        return true;
    if (!allDigits(s))
        return false;
    for (char c : s)
        block = block * 10 + uint64_t(c - '0');  // at most 10 digits: no overflow
    return true;
}

bool decodeBinaryCell(FieldType type, DbfFlavour flavour, std::string_view cell, Value& out)
{
    // dBASE 7 writes a blank number as zero bytes (a stored zero has its sign bit set); FoxPro's
    // zero bytes are the number 0, and only _NullFlags makes its numbers NULL.
    const bool sortable = flavour == DbfFlavour::Dbase7 || type == FieldType::DbDouble7 ||
                          type == FieldType::DbTimestamp || type == FieldType::DbAutoInc;
    if ((sortable || type == FieldType::DbDateTime) && blankBinary(cell)) {
        out = std::monostate{};
        return true;
    }
    switch (type) {
    case FieldType::DbCurrency: {
        // The double nearest the exact amount (dividing the scaled integer as a double would
        // round twice beyond 2^53 ten-thousandths).
        const std::string text = currencyText(currencyOfCell(cell));
        double d = 0;
        std::from_chars(text.data(), text.data() + text.size(), d);
        out = d;
        return true;
    }
    case FieldType::DbDouble: {
        const double d = std::bit_cast<double>(leU64(cell));
        if (!std::isfinite(d))
            return false;
        out = d;
        return true;
    }
    case FieldType::DbDouble7: {
        const double d = std::bit_cast<double>(unsortable(beU64(cell)));
        if (!std::isfinite(d))
            return false;
        out = d;
        return true;
    }
    case FieldType::DbInteger:
    case FieldType::DbAutoInc:
        if (sortable) {
            // Two's complement with the sign bit inverted.
            const uint32_t be = (uint32_t(uint8_t(cell[0])) << 24) | (uint32_t(uint8_t(cell[1])) << 16) |
                                (uint32_t(uint8_t(cell[2])) << 8) | uint8_t(cell[3]);
            out = int64_t(int32_t(be ^ 0x80000000u));
        } else {
            out = int64_t(int32_t(u32At(cell, 0)));
        }
        return true;
    case FieldType::DbDateTime: {
        // Julian day number, then milliseconds since midnight; day 0 is a blank date.
        const int64_t julian = u32At(cell, 0);
        const int64_t ms = u32At(cell, 4);
        if (julian == 0) {
            out = std::monostate{};
            return true;
        }
        const int64_t day = julian - 1721425;
        if (day < kFirstDay || day >= kEndDay || ms >= kMsPerDay)
            return false;
        out = Timestamp{day * kMsPerDay + ms};
        return true;
    }
    case FieldType::DbTimestamp: {
        // Milliseconds as a big-endian double, day 1 being 0001-01-01 as in Paradox.
        const double d = std::bit_cast<double>(beU64(cell));
        if (!std::isfinite(d) || d < double(kFirstDay * kMsPerDay) || d >= double(kEndDay * kMsPerDay))
            return false;
        out = Timestamp{int64_t(std::llround(d))};
        return true;
    }
    default:
        return false;
    }
}

int64_t currencyOfCell(std::string_view cell)
{
    return int64_t(leU64(cell));
}

std::string currencyText(int64_t v)
{
    const bool negative = v < 0;
    // The magnitude in an unsigned integer: INT64_MIN has no positive counterpart.
    const uint64_t m = negative ? uint64_t(0) - uint64_t(v) : uint64_t(v);
    std::string out = negative ? "-" : "";
    out += std::to_string(m / 10000);
    std::string fraction = std::to_string(m % 10000);
    fraction.insert(0, 4 - fraction.size(), '0');
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    if (!fraction.empty())
        out += '.' + fraction;
    return out;
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
    if (const auto* i = std::get_if<int64_t>(&v))
        return field.decimals == 0 ? std::to_string(*i) : fixedText(double(*i), field.decimals);
    if (const auto* d = std::get_if<double>(&v)) {
        if (!std::isfinite(*d))
            throw EngineError(path + ": field " + field.name + " cannot hold an infinite or undefined number");
        return fixedText(*d, field.decimals);
    }
    throw EngineError(path + ": field " + field.name + " holds numbers");
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
