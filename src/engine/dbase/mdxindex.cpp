#include "mdxindex.h"

#include "bytes.h"

#include "engine/codepage.h"

#include <algorithm>
#include <cstring>

namespace tv::dbase {

namespace {

constexpr size_t kPageSize = 512;
constexpr size_t kBlockPages = 2;                   // 1024-byte blocks
constexpr size_t kTagTableOffset = 0x220;
constexpr size_t kTagEntrySize = 32;
constexpr size_t kTagSlots = 48;
constexpr size_t kMaxTags = 47;                     // slots after the table's own entry
constexpr size_t kFirstTagPage = 4;                 // header and tag table fill pages 0-3
constexpr size_t kExpressionOffset = 0x18;
constexpr size_t kMaxExpression = 220;
constexpr size_t kSingleFieldFlag = 0x1E0;
constexpr uint8_t kOptionDescending = 0x08;
constexpr uint8_t kOptionBase = 0x10;

const FieldDef* findField(const std::vector<FieldDef>& fields, std::string_view name)
{
    const int i = findFieldNoCase(fields, trimBlanks(name));
    return i < 0 ? nullptr : &fields[size_t(i)];
}

bool isIdentifier(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
}

struct KeyShape {
    std::string expression;
    char type = 'C';
    uint16_t length = 0;
    bool singleField = false;
};

// The key expression of a field list in dBASE terms, and its key type and length.
KeyShape keyShape(const std::string& path, const IndexDef& def, const std::vector<FieldDef>& fields)
{
    KeyShape k;
    if (def.expression) {
        k.expression = def.expressionText;
        k.length = 100;
        return k;
    }
    if (def.fields.empty())
        throw EngineError(path + ": index " + def.name + " names no fields");
    std::string list;
    int length = 0;
    for (const std::string& name : def.fields) {
        const FieldDef* f = findField(fields, name);
        if (!f)
            throw EngineError(path + ": index " + def.name + " names the unknown field " + name);
        std::string part = f->name;
        switch (f->type) {
        case FieldType::DbChar:
            k.type = 'C';
            length += f->size;
            break;
        case FieldType::DbNumeric:
        case FieldType::DbFloat:
            k.type = 'N';
            length += def.fields.size() == 1 ? 12 : f->size;
            if (def.fields.size() > 1)
                part = "STR(" + f->name + "," + std::to_string(f->size) + "," + std::to_string(f->decimals) + ")";
            break;
        case FieldType::DbDate:
            k.type = 'D';
            length += 8;
            if (def.fields.size() > 1)
                part = "DTOS(" + f->name + ")";
            break;
        default:
            throw EngineError(path + ": index " + def.name + " cannot have field " + f->name +
                              " in its key (logical and memo fields cannot be indexed)");
        }
        if (!list.empty())
            list += '+';
        list += part;
    }
    if (def.fields.size() > 1)
        k.type = 'C';
    if (def.caseInsensitive && k.type != 'C')
        throw EngineError(path + ": index " + def.name + " can only ignore case on a text key");
    k.expression = def.caseInsensitive ? "UPPER(" + list + ")" : list;
    k.singleField = def.fields.size() == 1 && !def.caseInsensitive;
    if (length > 100)
        throw EngineError(path + ": the key of index " + def.name + " is longer than 100 characters");
    k.length = uint16_t(length);
    return k;
}

// The tag table doubles as a binary search tree over the tag names: bytes 0x10 and 0x11 of an
// entry hold the (1-based) numbers of the tags sorting before and after it, 0x12 its parent.
// Tag `i` (its name already in `names`) is linked in below the first tag.
void linkTag(std::string& file, const std::vector<std::string>& names, size_t i)
{
    if (i == 0)
        return;
    size_t node = 0;
    while (true) {
        const size_t slot = names[i] < names[node] ? 0x10 : 0x11;
        char& child = file[kTagTableOffset + node * kTagEntrySize + slot];
        if (child == 0) {
            child = char(i + 1);
            file[kTagTableOffset + i * kTagEntrySize + 0x12] = char(node + 1);
            return;
        }
        node = size_t(uint8_t(child)) - 1;
    }
}

} // namespace

void interpretKeyExpression(IndexDef& def, const std::vector<FieldDef>& fields)
{
    def.fields.clear();
    def.caseInsensitive = false;
    def.expression = false;
    const std::string_view s = trimBlanks(def.expressionText);
    if (isIdentifier(s)) {
        if (const FieldDef* f = findField(fields, s)) {
            def.fields.push_back(f->name);
            return;
        }
    }
    // UPPER(field), spaces allowed around the parts.
    const std::string upper = foldAsciiUpper(s);
    if (upper.rfind("UPPER", 0) == 0) {
        std::string_view rest = trimBlanks(s.substr(5));
        if (rest.size() >= 2 && rest.front() == '(' && rest.back() == ')') {
            const std::string_view inner = trimBlanks(rest.substr(1, rest.size() - 2));
            if (isIdentifier(inner)) {
                if (const FieldDef* f = findField(fields, inner)) {
                    def.fields.push_back(f->name);
                    def.caseInsensitive = true;
                    return;
                }
            }
        }
    }
    def.expression = true;
}

std::vector<IndexDef> readMdxTags(std::string_view bytes, const std::string& path,
                                  const std::vector<FieldDef>& fields, int codePage)
{
    if (bytes.size() < kTagTableOffset)
        throw EngineError(path + ": file is too short for an index header (" + std::to_string(bytes.size()) +
                          " bytes)");
    const size_t entrySize = uint8_t(bytes[0x1A]) == 0 ? kTagEntrySize : uint8_t(bytes[0x1A]);
    if (entrySize < 0x15)
        throw EngineError(path + ": tag table entries of " + std::to_string(entrySize) + " bytes are too short");
    const size_t slots = uint8_t(bytes[0x19]);
    const size_t tags = uint8_t(bytes[0x1C]) | (size_t(uint8_t(bytes[0x1D])) << 8);
    if (tags > std::max(slots, kTagSlots))
        throw EngineError(path + ": " + std::to_string(tags) + " tags do not fit the tag table");
    if (kTagTableOffset + tags * entrySize > bytes.size())
        throw EngineError(path + ": the tag table runs past the end of the file");

    std::vector<IndexDef> result;
    for (size_t i = 0; i < tags; ++i) {
        const size_t entry = kTagTableOffset + i * entrySize;
        const std::string_view rawName = bytes.substr(entry + 4, 11);
        IndexDef def;
        def.name = decodeText(codePage, trimBlanks(rawName.substr(0, rawName.find('\0'))));
        const uint64_t header = uint64_t(u32At(bytes, entry)) * kPageSize;
        if (header == 0 || header + kExpressionOffset >= bytes.size())
            throw EngineError(path + ": the header of tag " + def.name + " lies beyond the end of the file");
        const size_t exprStart = size_t(header) + kExpressionOffset;
        const std::string_view area = bytes.substr(exprStart, kMaxExpression + 1);
        const size_t end = area.find('\0');
        if (end == std::string_view::npos)
            throw EngineError(path + ": the key expression of tag " + def.name + " has no end");
        def.expressionText = decodeText(codePage, trimBlanks(area.substr(0, end)));
        if (def.expressionText.empty())
            throw EngineError(path + ": tag " + def.name + " has no key expression");
        def.descending = (uint8_t(bytes[size_t(header) + 8]) & kOptionDescending) != 0;
        interpretKeyExpression(def, fields);
        result.push_back(std::move(def));
    }
    return result;
}

std::string buildMdx(const std::string& path, const std::string& tableBaseName, const std::vector<IndexDef>& indexes,
                     const std::vector<FieldDef>& fields, int codePage, int year, int month, int day)
{
    if (indexes.size() > kMaxTags)
        throw EngineError(path + ": a dBASE index file holds at most " + std::to_string(kMaxTags) + " tags");
    const size_t tagPages = 2 * kBlockPages;  // tag header block + empty root block
    const size_t pages = kFirstTagPage + indexes.size() * tagPages;
    std::string out(pages * kPageSize, '\0');
    out[0] = 2;
    out[1] = char(year % 100);
    out[2] = char(month);
    out[3] = char(day);
    const std::string base = foldAsciiUpper(encodeText(codePage, tableBaseName));
    std::memcpy(&out[4], base.data(), std::min<size_t>(base.size(), 15));
    putU16(&out[0x14], uint16_t(kBlockPages));
    putU16(&out[0x16], uint16_t(kBlockPages * kPageSize));
    out[0x18] = 1;
    out[0x19] = char(kTagSlots);
    out[0x1A] = char(kTagEntrySize);
    putU16(&out[0x1C], uint16_t(indexes.size()));
    putU32(&out[0x20], uint32_t(pages));

    std::vector<std::string> names;
    for (size_t i = 0; i < indexes.size(); ++i) {
        const IndexDef& def = indexes[i];
        const std::string name = foldAsciiUpper(encodeText(codePage, def.name));
        if (!isIdentifier(name) || name.size() > 10)
            throw EngineError(path + ": index name \"" + def.name + "\" must be 1 to 10 letters, digits or _");
        if (std::find(names.begin(), names.end(), name) != names.end())
            throw EngineError(path + ": index name " + def.name + " is used twice");
        names.push_back(name);
        const KeyShape key = keyShape(path, def, fields);
        const std::string expr = encodeText(codePage, key.expression);
        if (expr.empty() || expr.size() > kMaxExpression || expr.find('\0') != std::string::npos)
            throw EngineError(path + ": the key expression of index " + def.name + " must have 1 to " +
                              std::to_string(kMaxExpression) + " characters");

        const size_t headerPage = kFirstTagPage + i * tagPages;
        char* entry = &out[kTagTableOffset + i * kTagEntrySize];
        putU32(entry, uint32_t(headerPage));
        std::memcpy(entry + 4, name.data(), name.size());
        entry[0x0F] = 0x10;
        linkTag(out, names, i);
        entry[0x13] = 0x02;
        entry[0x14] = key.type;

        char* header = &out[headerPage * kPageSize];
        const uint16_t itemLength = uint16_t((key.length + 4 + 3) / 4 * 4);
        putU32(header, uint32_t(headerPage + kBlockPages));
        putU32(header + 4, uint32_t(tagPages));
        header[8] = char(kOptionBase | (def.descending ? kOptionDescending : 0));
        header[9] = key.type;
        putU16(header + 0x0C, key.length);
        putU16(header + 0x0E, uint16_t((kBlockPages * kPageSize - 8) / itemLength));
        putU16(header + 0x12, itemLength);
        std::memcpy(header + kExpressionOffset, expr.data(), expr.size());
        header[kSingleFieldFlag] = key.singleField ? 1 : 0;
    }
    return out;
}

} // namespace tv::dbase
