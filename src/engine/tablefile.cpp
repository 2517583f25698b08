#include "tablefile.h"

#include "codepage.h"
#include "formats.h"

#include <algorithm>
#include <filesystem>
#include <cctype>

namespace tv {

FieldKind kindOf(FieldType t)
{
    switch (t) {
    case FieldType::Alpha:
    case FieldType::DbChar:
    case FieldType::DbVarchar:
        return FieldKind::Text;
    case FieldType::Short:
    case FieldType::Long:
    case FieldType::AutoInc:
    case FieldType::DbInteger:
    case FieldType::DbAutoInc:
        return FieldKind::Integer;
    case FieldType::Money:
    case FieldType::Number:
    case FieldType::Bcd:
    case FieldType::DbNumeric:
    case FieldType::DbFloat:
    case FieldType::DbCurrency:
    case FieldType::DbDouble:
    case FieldType::DbDouble7:
        return FieldKind::Float;
    case FieldType::Date:
    case FieldType::DbDate:
        return FieldKind::Date;
    case FieldType::Time:
        return FieldKind::Time;
    case FieldType::Timestamp:
    case FieldType::DbDateTime:
    case FieldType::DbTimestamp:
        return FieldKind::Timestamp;
    case FieldType::Logical:
    case FieldType::DbLogical:
        return FieldKind::Boolean;
    case FieldType::Memo:
    case FieldType::FmtMemo:
    case FieldType::DbMemo:
        return FieldKind::Memo;
    case FieldType::Graphic:
    case FieldType::Ole:
    case FieldType::Binary:
    case FieldType::Bytes:
    case FieldType::DbVarbinary:
    case FieldType::DbGeneral:
    case FieldType::DbPicture:
    case FieldType::DbBinaryMemo:
    case FieldType::DbBlob:
        return FieldKind::Blob;
    }
    return FieldKind::Blob;
}

std::string typeLetter(FieldType t)
{
    switch (t) {
    case FieldType::Alpha: return "A";
    case FieldType::Date: return "D";
    case FieldType::Short: return "S";
    case FieldType::Long: return "I";
    case FieldType::Money: return "$";
    case FieldType::Number: return "N";
    case FieldType::Logical: return "L";
    case FieldType::Memo: return "M";
    case FieldType::FmtMemo: return "F";
    case FieldType::Graphic: return "G";
    case FieldType::Ole: return "O";
    case FieldType::Binary: return "B";
    case FieldType::Time: return "T";
    case FieldType::Timestamp: return "@";
    case FieldType::AutoInc: return "+";
    case FieldType::Bcd: return "#";
    case FieldType::Bytes: return "Y";
    case FieldType::DbChar: return "dC";
    case FieldType::DbNumeric: return "dN";
    case FieldType::DbFloat: return "dF";
    case FieldType::DbDate: return "dD";
    case FieldType::DbLogical: return "dL";
    case FieldType::DbMemo: return "dM";
    case FieldType::DbCurrency: return "dY";
    case FieldType::DbDateTime: return "dT";
    case FieldType::DbDouble: return "dB";
    case FieldType::DbDouble7: return "dO";
    case FieldType::DbInteger: return "dI";
    case FieldType::DbAutoInc: return "d+";
    case FieldType::DbTimestamp: return "d@";
    case FieldType::DbVarchar: return "dV";
    case FieldType::DbVarbinary: return "dQ";
    case FieldType::DbGeneral: return "dG";
    case FieldType::DbPicture: return "dP";
    case FieldType::DbBinaryMemo: return "dB";
    case FieldType::DbBlob: return "dW";
    }
    return "?";
}

std::string IndexDef::fieldList() const
{
    std::string out;
    for (const auto& f : fields) {
        if (!out.empty())
            out += ';';
        out += f;
    }
    return out;
}

// Days from 0001-01-01 (day 1) using the proleptic Gregorian calendar.
Date dateFromYmd(int y, int m, int d)
{
    // Shift so the year starts in March; standard civil-from-days inverse.
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int mp = (m + 9) % 12;
    const int doy = (153 * mp + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const int64_t daysFromCivil0 = int64_t(era) * 146097 + doe;  // days since 0000-03-01
    // 0001-01-01 is day 306 after 0000-03-01.
    return Date{int32_t(daysFromCivil0 - 306 + 1)};
}

void ymdFromDate(Date dt, int& y, int& m, int& d)
{
    int64_t z = int64_t(dt.day) - 1 + 306;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yoe + era * 400 + (m <= 2));
}

bool isValidYmd(int y, int m, int d)
{
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1)
        return false;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int dim = days[m - 1];
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0))
        dim = 29;
    return d <= dim;
}

RecordId TableFile::insert(const Record&) { throw EngineError(path() + ": table is read-only"); }
// Names were decoded with the table's code page; encoding them again gives the stored bytes
// wherever that code page defines them.
std::string TableFile::storedFieldName(int field) const { return encodeText(codePage(), fields().at(size_t(field)).name); }

void TableFile::update(RecordId, const Record&) { throw EngineError(path() + ": table is read-only"); }
void TableFile::remove(RecordId) { throw EngineError(path() + ": table is read-only"); }
void TableFile::flush() {}

static std::string lowerExtension(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

// True for a Paradox table's name, false for a dBASE table's; throws for any other.
static bool isParadoxName(const std::string& path)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        throw EngineError(path + ": is a folder, not a table");
    const std::string ext = lowerExtension(path);
    if (ext != "db" && ext != "dbf")
        throw EngineError(path + ": not a Paradox (.db) or dBASE (.dbf) table");
    return ext == "db";
}

std::unique_ptr<TableFile> openTableFile(const std::string& path, OpenMode mode)
{
    return isParadoxName(path) ? openParadoxTable(path, mode) : openDbaseTable(path, mode);
}

std::unique_ptr<TableFile> openTableFile(const std::string& path, const SalvageOptions& salvage)
{
    return isParadoxName(path) ? openParadoxTable(path, salvage) : openDbaseTable(path, salvage);
}

int findFieldNoCase(const std::vector<FieldDef>& fields, std::string_view name)
{
    const std::string wanted = foldAsciiUpper(name);
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name.size() == name.size() && foldAsciiUpper(fields[i].name) == wanted)
            return int(i);
    return -1;
}

void TableFile::rawTexts(const RecordId* ids, size_t n, int field, std::string_view* out) const
{
    for (size_t i = 0; i < n; ++i)
        out[i] = rawText(ids[i], field);
}

void TableFile::placeTexts(const RecordId* ids, size_t n, int field, size_t limit, TextPlace* out) const
{
    (void)ids;
    (void)field;
    (void)limit;
    std::fill(out, out + n, TextPlace{});
}

} // namespace tv
