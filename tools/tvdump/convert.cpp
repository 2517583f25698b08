#include "convert.h"

#include "engine/codepage.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace tvdump {

using namespace tv;

namespace {

constexpr size_t kFlushBytes = 1u << 20;

bool isBlobType(FieldType t) { return kindOf(t) == FieldKind::Blob; }

} // namespace

int parseCodePage(const std::string& text)
{
    const int cp = codePageByName(text);
    return cp != 0 && isKnownCodePage(cp) ? cp : 0;
}

RecordReader::RecordReader(const TableFile& table, const ConvertOptions& options) : table_(table), options_(options)
{
    if (options.codePage != 0 && options.codePage != table.codePage())
        overrideCodePage_ = options.codePage;
    const auto addColumn = [this](Column c) {
        // Repeated names (letter case aside) get a number: JSON keys and SQLite columns must differ.
        const std::string base = c.name;
        for (int n = 2; std::any_of(columns_.begin(), columns_.end(), [&](const Column& o) { return foldAsciiUpper(o.name) == foldAsciiUpper(c.name); }); ++n)
            c.name = base + '_' + std::to_string(n);
        columns_.push_back(std::move(c));
    };
    if (options.deletedColumn)
        addColumn(Column{-1, "_deleted", FieldType::DbLogical, FieldKind::Boolean});
    const auto& fields = table.fields();
    for (size_t i = 0; i < fields.size(); ++i) {
        if (!options.blobs && isBlobType(fields[i].type))
            continue;
        Column c;
        c.field = int(i);
        c.type = fields[i].type;
        c.kind = kindOf(c.type);
        c.size = fields[i].size;
        c.name = overrideCodePage_ ? decodeText(overrideCodePage_, table.storedFieldName(int(i))) : fields[i].name;
        addColumn(std::move(c));
    }
    if (options.fields.empty())
        return;
    std::vector<Column> chosen;
    if (options.deletedColumn)
        chosen.push_back(columns_.front());
    for (const auto& name : options.fields) {
        const auto it = std::find_if(columns_.begin(), columns_.end(), [&](const Column& c) { return c.field >= 0 && foldAsciiUpper(c.name) == foldAsciiUpper(name); });
        if (it == columns_.end()) {
            const int f = findFieldNoCase(fields, name);
            throw std::runtime_error(f >= 0 ? "field \"" + name + "\" is a blob field, left out by --no-blobs"
                                            : "the table has no field called \"" + name + "\"");
        }
        if (std::any_of(chosen.begin(), chosen.end(), [&](const Column& c) { return c.field == it->field; }))
            throw std::runtime_error("field \"" + name + "\" is given twice");
        chosen.push_back(*it);
    }
    columns_ = std::move(chosen);
}

void RecordReader::read(RecordId id, size_t column, Cell& out) const
{
    const Column& c = columns_[column];
    out.exact.clear();
    if (c.field < 0) {
        out.value = table_.isDeleted(id);
        return;
    }
    if (overrideCodePage_ && (c.kind == FieldKind::Text || c.kind == FieldKind::Memo)) {
        const std::string_view raw = table_.rawText(id, c.field);
        if (raw.empty())
            out.value = std::monostate{};
        else
            out.value = decodeText(overrideCodePage_, raw);
        return;
    }
    if (c.type == FieldType::Bcd || c.type == FieldType::DbNumeric || c.type == FieldType::DbFloat ||
        c.type == FieldType::DbCurrency) {
        // Digits that make no number have no text: the engine's reading of them is taken.
        out.exact = table_.decimalText(id, c.field);
        if (!out.exact.empty()) {
            out.value = std::monostate{};
            return;
        }
    }
    out.value = table_.value(id, c.field);
    if (const auto* s = std::get_if<std::string>(&out.value); s && s->empty())
        out.value = std::monostate{};   // the formats keep no empty text apart from a blank field
    else if (const auto* d = std::get_if<double>(&out.value); d && !std::isfinite(*d))
        out.value = std::monostate{};   // stored digits that make no number; JSON and SQLite hold none
}

void RecordReader::tick(size_t done) const
{
    if (options_.progress && done % 4096 == 0)
        options_.progress(done, records().size());
}

void appendBase64(std::string& out, std::string_view bytes)
{
    static const char* const digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t n = bytes.size(), i = 0;
    out.reserve(out.size() + (n + 2) / 3 * 4);
    for (; i + 3 <= n; i += 3) {
        const uint32_t v = uint32_t(p[i]) << 16 | uint32_t(p[i + 1]) << 8 | p[i + 2];
        const char q[4] = {digits[v >> 18], digits[(v >> 12) & 63], digits[(v >> 6) & 63], digits[v & 63]};
        out.append(q, 4);
    }
    if (n - i == 1) {
        const uint32_t v = uint32_t(p[i]) << 16;
        out += digits[v >> 18];
        out += digits[(v >> 12) & 63];
        out += "==";
    } else if (n - i == 2) {
        const uint32_t v = uint32_t(p[i]) << 16 | uint32_t(p[i + 1]) << 8;
        out += digits[v >> 18];
        out += digits[(v >> 12) & 63];
        out += digits[(v >> 6) & 63];
        out += '=';
    }
}

namespace {

// Everything but text, which each format quotes its own way. Returns false for text.
bool appendPlain(std::string& out, const Cell& cell, char timestampSep)
{
    const Value& v = cell.value;
    if (!cell.exact.empty())
        out += cell.exact;
    else if (auto i = std::get_if<int64_t>(&v))
        appendInt(out, *i);
    else if (auto d = std::get_if<double>(&v))
        appendNumber(out, *d);
    else if (auto b = std::get_if<bool>(&v))
        out += *b ? "true" : "false";
    else if (auto dt = std::get_if<Date>(&v))
        appendDate(out, *dt);
    else if (auto t = std::get_if<TimeOfDay>(&v))
        appendTime(out, t->ms);
    else if (auto ts = std::get_if<Timestamp>(&v))
        appendTimestamp(out, *ts, timestampSep);
    else if (auto bl = std::get_if<Blob>(&v))
        appendBase64(out, bl->bytes);
    else
        return isNull(v);
    return true;
}

void appendCsvText(std::string& out, std::string_view s, char separator)
{
    const char special[] = {separator, '"', '\r', '\n', '\0'};
    if (s.find_first_of(special) == std::string_view::npos) {
        out += s;
        return;
    }
    out += '"';
    for (size_t at = 0;;) {
        const size_t q = s.find('"', at);
        out.append(s.substr(at, q == std::string_view::npos ? std::string_view::npos : q + 1 - at));
        if (q == std::string_view::npos)
            break;
        out += '"';
        at = q + 1;
    }
    out += '"';
}

void appendJsonText(std::string& out, std::string_view s)
{
    static const char* const hex = "0123456789abcdef";
    out += '"';
    size_t start = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(s.data() + start, i - start);
        start = i + 1;
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default: {
            const char u[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
            out.append(u, 6);
        }
        }
    }
    out.append(s.data() + start, s.size() - start);
    out += '"';
}

template <typename Row>
void writeRecords(const RecordReader& reader, std::string& out, const std::function<void(std::string&)>& flush, Row row)
{
    Cell cell;
    size_t done = 0;
    for (RecordId id : reader.records()) {
        row(id, cell);
        if (out.size() >= kFlushBytes)
            flush(out);
        reader.tick(++done);
    }
    flush(out);
}

} // namespace

void writeCsv(const TableFile& table, const ConvertOptions& options, const std::function<void(std::string&)>& flush)
{
    const RecordReader reader(table, options);
    const auto& columns = reader.columns();
    const char sep = options.separator;
    std::string out;
    for (size_t c = 0; options.header && c < columns.size(); ++c) {
        if (c)
            out += sep;
        appendCsvText(out, columns[c].name, sep);
        if (c + 1 == columns.size())
            out += "\r\n";
    }
    writeRecords(reader, out, flush, [&](RecordId id, Cell& cell) {
        const size_t start = out.size();
        for (size_t c = 0; c < columns.size(); ++c) {
            if (c)
                out += sep;
            reader.read(id, c, cell);
            if (!appendPlain(out, cell, kTimestampSeparator))
                appendCsvText(out, std::get<std::string>(cell.value), sep);
        }
        if (out.size() == start)
            out += "\"\"";   // a blank line would be no record at all
        out += "\r\n";
    });
}

void writeJsonLines(const TableFile& table, const ConvertOptions& options, const std::function<void(std::string&)>& flush)
{
    const RecordReader reader(table, options);
    const auto& columns = reader.columns();
    // The keys with their quotes and colon, made once.
    std::vector<std::string> keys;
    for (const auto& c : columns) {
        std::string k;
        appendJsonText(k, c.name);
        keys.push_back(k + ':');
    }
    std::string out;
    writeRecords(reader, out, flush, [&](RecordId id, Cell& cell) {
        out += '{';
        for (size_t c = 0; c < columns.size(); ++c) {
            if (c)
                out += ',';
            out += keys[c];
            reader.read(id, c, cell);
            const Value& v = cell.value;
            const bool quoted = cell.exact.empty() && (std::holds_alternative<Date>(v) || std::holds_alternative<TimeOfDay>(v) ||
                                                       std::holds_alternative<Timestamp>(v) || std::holds_alternative<Blob>(v));
            if (isNull(v) && cell.exact.empty())
                out += "null";
            else if (auto s = std::get_if<std::string>(&v))
                appendJsonText(out, *s);
            else {
                if (quoted)
                    out += '"';
                appendPlain(out, cell, kTimestampSeparator);
                if (quoted)
                    out += '"';
            }
        }
        out += "}\n";
    });
}

} // namespace tvdump
