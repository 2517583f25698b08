#pragma once
// Conversion of a table into current formats: CSV (RFC 4180), JSON Lines and SQLite. Records
// are read and written one at a time, so memory does not grow with the table.

#include "dump.h"
#include "engine/tablefile.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace tvdump {

// The forms of values that are a choice, the same in every run: CSV and JSON write ISO 8601
// timestamps with a T and logicals as true/false; SQLite gets 1/0 and a space in timestamps,
// the forms its own functions write (its date functions read either).
constexpr char kTimestampSeparator = 'T';
constexpr char kSqliteTimestampSeparator = ' ';

struct ConvertOptions {
    int codePage = 0;    // decode text with this code page instead of the table's own (0: keep)
    bool blobs = true;   // false: leave graphic, OLE, binary and bytes fields out
    std::vector<std::string> fields;   // the fields to write, in this order (letter case aside); empty: all
    bool deletedColumn = false;        // lead with a `_deleted` column telling records marked deleted
    char separator = ',';              // CSV: between values
    bool header = true;                // CSV: a first row of column names
    // The records to write, in this order (a view's filtered and ordered set); null: every
    // record of the table in its stored order. Not owned; must outlive the conversion.
    const std::vector<tv::RecordId>* records = nullptr;
    // Called now and then with the records done so far and the total.
    std::function<void(size_t done, size_t total)> progress;
};

// One output column: a field of the table, or (field -1) whether the record is marked deleted.
struct Column {
    int field = 0;
    std::string name;   // UTF-8, in the code page asked for
    tv::FieldType type = tv::FieldType::Alpha;
    tv::FieldKind kind = tv::FieldKind::Text;
    int size = 0;   // the descriptor's size byte
};

// A value ready for output. `exact` holds the exact decimal text of a number stored as digits
// (dBASE N and F, FoxPro currency, Paradox BCD), which a double cannot always carry; then
// `value` is null.
struct Cell {
    tv::Value value;
    std::string exact;
};

// Reads the records of a table as output columns, text decoded as the options ask.
class RecordReader {
public:
    RecordReader(const tv::TableFile& table, const ConvertOptions& options);
    const std::vector<Column>& columns() const { return columns_; }
    const std::vector<tv::RecordId>& records() const { return options_.records ? *options_.records : table_.recordIds(); }
    void read(tv::RecordId id, size_t column, Cell& out) const;
    // Reports progress every few thousand records.
    void tick(size_t done) const;

private:
    const tv::TableFile& table_;
    const ConvertOptions& options_;
    std::vector<Column> columns_;
    int overrideCodePage_ = 0;
};

// The code page a name gives ("866", "cp866", "utf-8", "ANSI 1250", "koi8-r": see
// tv::codePageByName); 0 when it names none that can be read.
int parseCodePage(const std::string& text);

void appendBase64(std::string& out, std::string_view bytes);

// Writes the table as CSV: a header row of the field names, then one row per record, rows ended
// by CRLF. `flush` receives the text whenever it grows large and once at the end; it empties it.
void writeCsv(const tv::TableFile& table, const ConvertOptions& options, const std::function<void(std::string&)>& flush);
// Writes one JSON object per record and line.
void writeJsonLines(const tv::TableFile& table, const ConvertOptions& options, const std::function<void(std::string&)>& flush);

} // namespace tvdump
