#include "dump.h"

#include "engine/dbase/dbasetable.h"
#include "engine/paradox/paradoxtable.h"
#include "sha256.h"

#include <charconv>
#include <cstdio>

namespace tvdump {

using namespace tv;

void appendEscaped(std::string& out, std::string_view text)
{
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\0': out += "\\0"; break;
        default: out += c;
        }
    }
}

void appendNumber(std::string& out, double d)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, d);
    out.append(buf, r.ptr);
}

void appendInt(std::string& out, int64_t v)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void appendDate(std::string& out, Date d)
{
    int y, m, day;
    ymdFromDate(d, y, m, day);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, day);
    out += buf;
}

void appendTime(std::string& out, int64_t ms)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", int(ms / 3600000), int(ms / 60000 % 60), int(ms / 1000 % 60));
    out += buf;
    if (ms % 1000 != 0) {
        std::snprintf(buf, sizeof buf, ".%03d", int(ms % 1000));
        out += buf;
    }
}

void appendTimestamp(std::string& out, Timestamp ts, char sep)
{
    int64_t day = ts.ms / 86400000, rest = ts.ms % 86400000;
    if (rest < 0) {
        rest += 86400000;
        --day;
    }
    appendDate(out, Date{int32_t(day)});
    out += sep;
    appendTime(out, rest);
}

namespace {

void appendBlob(std::string& out, const std::string& bytes)
{
    out += '<';
    appendInt(out, int64_t(bytes.size()));
    out += " bytes sha256:";
    out += sha256Hex(bytes);
    out += '>';
}

} // namespace

void appendValue(std::string& out, FieldType type, const Value& v)
{
    if (isNull(v)) {
        out += "\\N";
        return;
    }
    if (auto s = std::get_if<std::string>(&v)) {
        if (s->empty())
            out += "\\N";
        else
            appendEscaped(out, *s);
    } else if (auto i = std::get_if<int64_t>(&v)) {
        appendInt(out, *i);
    } else if (auto d = std::get_if<double>(&v)) {
        appendNumber(out, *d);
    } else if (auto b = std::get_if<bool>(&v)) {
        out += *b ? 'T' : 'F';
    } else if (auto dt = std::get_if<Date>(&v)) {
        appendDate(out, *dt);
    } else if (auto t = std::get_if<TimeOfDay>(&v)) {
        appendTime(out, t->ms);
    } else if (auto ts = std::get_if<Timestamp>(&v)) {
        appendTimestamp(out, *ts, ' ');
    } else if (auto bl = std::get_if<Blob>(&v)) {
        appendBlob(out, bl->bytes);
    }
    (void)type;
}

void dumpTable(const TableFile& table, std::string& out, void (*flushOut)(std::string&, void*), void* ctx, bool deletedColumn)
{
    const auto& fields = table.fields();
    out += "#fields";
    if (deletedColumn)
        out += "\t_deleted:dL:1";
    for (const auto& f : fields) {
        out += '\t';
        appendEscaped(out, f.name);
        out += ':';
        out += typeLetter(f.type);
        out += ':';
        appendInt(out, f.size);
    }
    out += "\n#records\t";
    appendInt(out, table.headerRecordCount());
    out += '\n';
    const auto* paradox = dynamic_cast<const ParadoxTable*>(&table);
    for (RecordId id : table.recordIds()) {
        if (deletedColumn)
            out += table.isDeleted(id) ? "T\t" : "F\t";
        for (size_t i = 0; i < fields.size(); ++i) {
            if (i)
                out += '\t';
            if (fields[i].type == FieldType::Bcd && paradox) {
                const std::string text = paradox->bcdText(id, int(i));
                out += text.empty() ? "\\N" : text;
            } else if (const std::string exact = table.decimalText(id, int(i)); !exact.empty()) {
                out += exact;   // dBASE numbers and currency: the digits as stored
            } else {
                appendValue(out, fields[i].type, table.value(id, int(i)));
            }
        }
        out += '\n';
        if (flushOut && out.size() > (1u << 20))
            flushOut(out, ctx);
    }
}

std::string dumpIndexes(const TableFile& table)
{
    std::string out;
    const auto* dbase = dynamic_cast<const DbaseTable*>(&table);
    for (size_t i = 0; i < table.indexes().size(); ++i) {
        const IndexDef& ix = table.indexes()[i];
        appendEscaped(out, ix.name);
        out += '\t';
        appendEscaped(out, ix.expression && ix.fields.empty() ? ix.expressionText : ix.fieldList());
        out += '\t';
        std::string flags;
        if (ix.primary)
            flags += 'P';
        if (ix.caseInsensitive)
            flags += 'I';
        if (ix.descending)
            flags += 'D';
        if (ix.expression)
            flags += 'E';
        out += flags.empty() ? "-" : flags;
        if (const std::string tree = dbase ? dbase->keyTreeState(i) : std::string(); !tree.empty()) {
            out += "\tkey tree ";
            appendEscaped(out, tree);
        }
        out += '\n';
    }
    return out;
}

} // namespace tvdump
