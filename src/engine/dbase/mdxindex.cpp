#include "mdxindex.h"

#include "bytes.h"

#include "engine/codepage.h"
#include "engine/numbertext.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

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

// The key expression of a field list in dBASE terms: a field, UPPER(...) around the list when
// case does not count, and several fields joined by '+' with numbers and dates turned into text
// (STR(field,len,dec), DTOS(field)).
std::string keyExpression(const std::string& path, const IndexDef& def, const std::vector<FieldDef>& fields)
{
    if (def.expression)
        return def.expressionText;
    if (def.fields.empty())
        throw EngineError(path + ": index " + def.name + " names no fields");
    std::string list;
    for (const std::string& name : def.fields) {
        const FieldDef* f = findField(fields, name);
        if (!f)
            throw EngineError(path + ": index " + def.name + " names the unknown field " + name);
        std::string part = f->name;
        switch (f->type) {
        case FieldType::DbChar:
            break;
        case FieldType::DbNumeric:
        case FieldType::DbFloat:
            if (def.fields.size() > 1)
                part = "STR(" + f->name + "," + std::to_string(f->size) + "," + std::to_string(f->decimals) + ")";
            break;
        case FieldType::DbDate:
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
    if (def.caseInsensitive) {
        const FieldDef* f = findField(fields, def.fields.front());
        if (def.fields.size() == 1 && f->type != FieldType::DbChar)
            throw EngineError(path + ": index " + def.name + " can only ignore case on a text key");
        return "UPPER(" + list + ")";
    }
    return list;
}

// How the key of a tag is made from a record. dBASE keys come in three types:
//   'C' text: the bytes of the expression's value, blank padded to the key length;
//   'N' a single numeric field: 12 bytes, see numericKey();
//   'D' a single date field: 8 bytes, the Julian day number as a little-endian double.
// Text keys are put together from parts: a text field (optionally upper-cased), STR(field,
// len, dec) of a numeric field or DTOS(field) of a date field ("YYYYMMDD", blanks when empty).
struct KeyPart {
    enum Kind { Text, Str, Dtos } kind = Text;
    int field = 0;
    int width = 0;
    int decimals = 0;
    bool upper = false;
};

struct KeyPlan {
    char type = 'C';
    uint16_t length = 0;
    bool singleField = false;   // the key is one field as it stands
    std::vector<KeyPart> parts;
};

class ExpressionParser {
public:
    ExpressionParser(std::string_view text, const std::vector<FieldDef>& fields) : s_(text), fields_(fields) {}

    // False when the expression is anything else than the forms KeyPart describes.
    bool parse(KeyPlan& plan)
    {
        if (!list(plan.parts, false) || !atEnd())
            return false;
        if (plan.parts.size() == 1 && plan.parts[0].kind == KeyPart::Text && !plan.parts[0].upper) {
            const FieldDef& f = fields_[size_t(plan.parts[0].field)];
            plan.singleField = true;
            if (f.type == FieldType::DbNumeric || f.type == FieldType::DbFloat) {
                plan.type = 'N';
                plan.length = 12;
                return true;
            }
            if (f.type == FieldType::DbDate) {
                plan.type = 'D';
                plan.length = 8;
                return true;
            }
        }
        int length = 0;
        for (const KeyPart& p : plan.parts) {
            if (p.kind == KeyPart::Text && fields_[size_t(p.field)].type != FieldType::DbChar)
                return false;   // dBASE cannot join a number or a date to text without STR/DTOS
            length += p.width;
        }
        if (length < 1 || length > 100)
            return false;
        plan.length = uint16_t(length);
        return true;
    }

private:
    void blanks()
    {
        while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t'))
            ++at_;
    }
    bool atEnd()
    {
        blanks();
        return at_ == s_.size();
    }
    bool take(char c)
    {
        blanks();
        if (at_ < s_.size() && s_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    std::string word()
    {
        blanks();
        const size_t from = at_;
        while (at_ < s_.size() && isIdentifier(s_.substr(at_, 1)))
            ++at_;
        return std::string(s_.substr(from, at_ - from));
    }
    bool number(int& v)
    {
        const std::string w = word();
        if (w.empty() || w.size() > 3 || !std::all_of(w.begin(), w.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        v = std::stoi(w);
        return true;
    }
    bool field(int& f)
    {
        f = findFieldNoCase(fields_, word());
        return f >= 0;
    }
    bool list(std::vector<KeyPart>& parts, bool upper)
    {
        do {
            if (!term(parts, upper))
                return false;
        } while (take('+'));
        return true;
    }
    bool term(std::vector<KeyPart>& parts, bool upper)
    {
        const size_t mark = at_;
        const std::string fn = foldAsciiUpper(word());
        if (take('(')) {
            KeyPart p;
            if (fn == "UPPER")
                return list(parts, true) && take(')');
            if (fn == "DTOS") {
                p.kind = KeyPart::Dtos;
                p.width = 8;
                if (!field(p.field) || fields_[size_t(p.field)].type != FieldType::DbDate || !take(')'))
                    return false;
            } else if (fn == "STR") {
                p.kind = KeyPart::Str;
                p.width = 10;
                if (!field(p.field))
                    return false;
                const FieldType t = fields_[size_t(p.field)].type;
                if (t != FieldType::DbNumeric && t != FieldType::DbFloat)
                    return false;
                if (take(',') && (!number(p.width) || (take(',') && !number(p.decimals))))
                    return false;
                if (!take(')') || p.width < 1 || p.decimals < 0 || p.decimals >= p.width)
                    return false;
            } else {
                return false;
            }
            parts.push_back(p);
            return true;
        }
        at_ = mark;
        KeyPart p;
        if (!field(p.field))
            return false;
        p.width = fields_[size_t(p.field)].size;
        p.upper = upper;
        parts.push_back(p);
        return true;
    }

    std::string_view s_;
    const std::vector<FieldDef>& fields_;
    size_t at_ = 0;
};

std::optional<KeyPlan> planKey(std::string_view expression, const std::vector<FieldDef>& fields)
{
    KeyPlan plan;
    if (!ExpressionParser(expression, fields).parse(plan))
        return std::nullopt;
    return plan;
}

// A numeric key (dBASE IV's BCD number): the value as a decimal fraction 0.d1d2d3... times a
// power of ten. Byte 0 is 0x34 plus that power (the digits before the point; below 0x34 the
// zeros after it), byte 1 is the number of significant digits times 4, plus 1, plus 0x80 for a
// negative value (20.50 is 36 0D 20 50 ...); bytes 2-11 are the digits d1..d20 two to a byte,
// high half first. Zero (and an empty cell) is 0x34 0x01 and no digits.
std::string numericKey(std::string_view cell)
{
    std::string key(12, '\0');
    key[0] = 0x34;
    key[1] = 0x01;
    std::string_view s = trimBlanks(cell);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    std::string digits;
    int before = 0;
    bool point = false;
    for (char c : s) {
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            if (digits.empty() && c == '0') {
                if (point)
                    --before;   // 0.05: the first digit comes a place later
                continue;
            }
            digits += c;
            if (!point)
                ++before;
        } else {
            return key;         // not a number: sorts as zero
        }
    }
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
    if (digits.empty())
        return key;
    digits.resize(std::min<size_t>(digits.size(), 20));
    key[0] = char(0x34 + before);
    key[1] = char((digits.size() << 2) | 0x01 | (negative ? 0x80 : 0));
    for (size_t i = 0; i < digits.size(); ++i)
        key[2 + i / 2] = char(key[2 + i / 2] | ((digits[i] - '0') << (i % 2 == 0 ? 4 : 0)));
    return key;
}

// One key of a tag: its bytes, a number to order numeric and date keys by, and the (1-based)
// record number.
struct KeyEntry {
    std::string bytes;
    double value = 0;
    uint32_t record = 0;
};

KeyEntry makeKey(const KeyPlan& plan, const DbfLayout& layout, std::string_view record, uint32_t number)
{
    KeyEntry k;
    k.record = number;
    auto cell = [&](int f) {
        return record.substr(layout.offsets[size_t(f)], size_t(layout.fields[size_t(f)].size));
    };
    if (plan.type == 'N') {
        k.bytes = numericKey(cell(plan.parts[0].field));
        const Value v = decodeNumberCell(cell(plan.parts[0].field));
        k.value = isNull(v) ? 0 : std::get<double>(v);
        return k;
    }
    if (plan.type == 'D') {
        // Julian day number: day 1 of this program's count (1 Jan 0001) is Julian day 1721426.
        const Value v = decodeDateCell(cell(plan.parts[0].field));
        k.value = isNull(v) ? 0 : double(std::get<Date>(v).day) + 1721425.0;
        k.bytes.resize(8);
        std::memcpy(k.bytes.data(), &k.value, 8);   // little-endian hosts only, as the rest of the engine
        return k;
    }
    k.bytes.reserve(plan.length);
    for (const KeyPart& p : plan.parts) {
        const std::string_view c = cell(p.field);
        if (p.kind == KeyPart::Str) {
            const Value v = decodeNumberCell(c);
            std::string text = fixedText(isNull(v) ? 0.0 : std::get<double>(v), p.decimals);
            if (text.size() < size_t(p.width))
                text.insert(0, size_t(p.width) - text.size(), ' ');
            else if (text.size() > size_t(p.width))
                text.assign(size_t(p.width), '*');   // dBASE shows a number too wide as stars
            k.bytes += text;
        } else if (p.upper) {
            k.bytes += foldAsciiUpper(c);
        } else {
            k.bytes.append(c);
        }
    }
    k.bytes.resize(plan.length, ' ');
    return k;
}

// The key tree of one tag, written as blocks of `blockBytes` from page `firstPage` on.
// A block: u32 number of keys, u32 unused (0), then the key items of `itemLength` bytes each:
// u32 pointer followed by the key. In a leaf the pointer is the record number; in a branch it is
// the page of a child block and the key is the last key under that child, and one more pointer
// (to the last child) follows the last item. A non-zero pointer after the last item is what
// tells a branch from a leaf. Returns the page of the root.
uint32_t writeTree(std::string& out, size_t firstPage, size_t blockBytes, uint16_t itemLength, size_t perBlock,
                   const std::vector<KeyEntry>& keys)
{
    struct Node {
        uint32_t page;
        const std::string* lastKey;
    };
    size_t nextPage = firstPage;
    auto newBlock = [&]() {
        const uint32_t page = uint32_t(nextPage);
        nextPage += blockBytes / kPageSize;
        out.resize(nextPage * kPageSize, '\0');
        return page;
    };
    auto item = [&](uint32_t page, size_t i) { return &out[page * kPageSize + 8 + i * itemLength]; };

    // Blocks as evenly filled as the count allows, so that no branch is left with one child.
    auto groups = [](size_t n, size_t per) { return std::max<size_t>(1, (n + per - 1) / per); };
    std::vector<Node> level;
    const size_t leaves = groups(keys.size(), perBlock);
    for (size_t b = 0, from = 0; b < leaves; ++b) {
        const size_t to = keys.size() * (b + 1) / leaves;
        const uint32_t page = newBlock();
        putU32(&out[page * kPageSize], uint32_t(to - from));
        for (size_t i = from; i < to; ++i) {
            char* p = item(page, i - from);
            putU32(p, keys[i].record);
            std::memcpy(p + 4, keys[i].bytes.data(), keys[i].bytes.size());
        }
        level.push_back({page, to > from ? &keys[to - 1].bytes : nullptr});
        from = to;
    }
    while (level.size() > 1) {
        std::vector<Node> up;
        const size_t blocks = groups(level.size(), perBlock + 1);
        for (size_t b = 0, from = 0; b < blocks; ++b) {
            const size_t to = level.size() * (b + 1) / blocks;
            const uint32_t page = newBlock();
            putU32(&out[page * kPageSize], uint32_t(to - from - 1));
            for (size_t i = from; i < to; ++i) {
                char* p = item(page, i - from);
                putU32(p, level[i].page);
                if (i + 1 < to)
                    std::memcpy(p + 4, level[i].lastKey->data(), level[i].lastKey->size());
            }
            up.push_back({page, level[to - 1].lastKey});
            from = to;
        }
        level.swap(up);
    }
    return level.front().page;
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
                     const DbfLayout& layout, std::string_view dbf, int year, int month, int day)
{
    if (indexes.size() > kMaxTags)
        throw EngineError(path + ": a dBASE index file holds at most " + std::to_string(kMaxTags) + " tags");
    const size_t blockBytes = kBlockPages * kPageSize;
    const int codePage = layout.codePage;
    std::string out(kFirstTagPage * kPageSize, '\0');
    // Header: version 2, date made (YY MM DD at 0x01, date of the last change at 0x2C), the
    // table's name, block size in pages and bytes, production flag, tag-table slots and entry
    // size, tags in use, pages in the file (0x20).
    out[0] = 2;
    for (size_t at : {size_t(1), size_t(0x2C)}) {
        out[at] = char(year % 100);
        out[at + 1] = char(month);
        out[at + 2] = char(day);
    }
    const std::string base = foldAsciiUpper(encodeText(codePage, tableBaseName));
    std::memcpy(&out[4], base.data(), std::min<size_t>(base.size(), 15));
    putU16(&out[0x14], uint16_t(kBlockPages));
    putU16(&out[0x16], uint16_t(blockBytes));
    out[0x18] = 1;
    out[0x19] = char(kTagSlots);
    out[0x1A] = char(kTagEntrySize);
    putU16(&out[0x1C], uint16_t(indexes.size()));

    // Every record is in every tag, deleted ones included, as dBASE keeps them.
    const uint32_t records =
        uint32_t(std::min<uint64_t>(layout.recordCount, dbf.size() > layout.headerLength && layout.recordLength > 0
                                                             ? (dbf.size() - layout.headerLength) / layout.recordLength
                                                             : 0));
    std::vector<std::string> names;
    for (size_t i = 0; i < indexes.size(); ++i) {
        const IndexDef& def = indexes[i];
        const std::string name = foldAsciiUpper(encodeText(codePage, def.name));
        if (!isIdentifier(name) || name.size() > 10)
            throw EngineError(path + ": index name \"" + def.name + "\" must be 1 to 10 letters, digits or _");
        if (std::find(names.begin(), names.end(), name) != names.end())
            throw EngineError(path + ": index name " + def.name + " is used twice");
        names.push_back(name);
        const std::string expressionText = keyExpression(path, def, layout.fields);
        const std::string expr = encodeText(codePage, expressionText);
        if (expr.empty() || expr.size() > kMaxExpression || expr.find('\0') != std::string::npos)
            throw EngineError(path + ": the key expression of index " + def.name + " must have 1 to " +
                              std::to_string(kMaxExpression) + " characters");
        const std::optional<KeyPlan> plan = planKey(expressionText, layout.fields);
        if (!plan)
            throw EngineError(path + ": the keys of index " + def.name + " (" + expressionText +
                              ") cannot be built; a key is a field, UPPER(...), or fields joined by + with "
                              "STR(...) and DTOS(...), of at most 100 characters");

        std::vector<KeyEntry> keys;
        keys.reserve(records);
        for (uint32_t r = 0; r < records; ++r)
            keys.push_back(makeKey(*plan, layout, dbf.substr(layout.headerLength + size_t(r) * layout.recordLength,
                                                             layout.recordLength),
                                   r + 1));
        const bool text = plan->type == 'C';
        std::stable_sort(keys.begin(), keys.end(), [&](const KeyEntry& a, const KeyEntry& b) {
            const int c = text ? a.bytes.compare(b.bytes) : (a.value < b.value ? -1 : a.value > b.value ? 1 : 0);
            return def.descending ? c > 0 : c < 0;
        });

        const size_t headerPage = out.size() / kPageSize;
        out.resize(out.size() + blockBytes, '\0');
        const uint16_t itemLength = uint16_t((plan->length + 4 + 3) / 4 * 4);
        const uint16_t maxKeys = uint16_t((blockBytes - 8) / itemLength);
        const size_t perBlock = std::min<size_t>(maxKeys, (blockBytes - 12) / itemLength);
        const uint32_t root = writeTree(out, headerPage + kBlockPages, blockBytes, itemLength, perBlock, keys);

        char* entry = &out[kTagTableOffset + i * kTagEntrySize];
        putU32(entry, uint32_t(headerPage));
        std::memcpy(entry + 4, name.data(), name.size());
        entry[0x0F] = 0x10;
        linkTag(out, names, i);
        entry[0x13] = 0x02;
        entry[0x14] = plan->type;

        // Tag header: u32 root page, u32 pages of the tag, options, key type, u16 key length,
        // u16 keys per block, u16 key item length, the expression from 0x18, 0x1E0 = 1 when the
        // key is one plain field.
        char* header = &out[headerPage * kPageSize];
        putU32(header, root);
        putU32(header + 4, uint32_t(out.size() / kPageSize - headerPage));
        header[8] = char(kOptionBase | (def.descending ? kOptionDescending : 0));
        header[9] = plan->type;
        putU16(header + 0x0C, plan->length);
        putU16(header + 0x0E, maxKeys);
        putU16(header + 0x12, itemLength);
        std::memcpy(header + kExpressionOffset, expr.data(), expr.size());
        header[kSingleFieldFlag] = plan->singleField ? 1 : 0;
    }
    putU32(&out[0x20], uint32_t(out.size() / kPageSize));
    return out;
}

} // namespace tv::dbase
