#pragma once
// The canonical text dump of a table: a header line with the field list, the stored record
// count, then one line per record, values separated by TABs.

#include "engine/tablefile.h"

#include <cstdio>
#include <string>

namespace tvdump {

// Appends the dump of every record to `out`, calling `flushOut` whenever it grows large.
// `deletedColumn` leads every record with a _deleted field (T for a record marked deleted).
void dumpTable(const tv::TableFile& table, std::string& out, void (*flushOut)(std::string&, void*) = nullptr, void* ctx = nullptr,
               bool deletedColumn = false);
// One line per index definition: name, fields joined by ';', flags; for a dBASE or FoxPro
// tag, what became of its key tree.
std::string dumpIndexes(const tv::TableFile& table);
// Text escaped for a dump line.
void appendEscaped(std::string& out, std::string_view text);
// One value as printed in the dump; `bcd` is the exact text of a BCD field when known.
void appendValue(std::string& out, tv::FieldType type, const tv::Value& v);

// C-locale numbers: integers, doubles in the shortest form that reads back the same.
void appendInt(std::string& out, int64_t v);
void appendNumber(std::string& out, double d);
// ISO 8601 forms: 2024-02-29, 13:05:00(.250), 2024-02-29 13:05:00 (`sep` between the two).
void appendDate(std::string& out, tv::Date d);
void appendTime(std::string& out, int64_t ms);
void appendTimestamp(std::string& out, tv::Timestamp ts, char sep);

} // namespace tvdump
