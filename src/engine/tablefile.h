#pragma once
// The storage level of the table engine: one table file (Paradox .DB with its .MB/.PX/.Xnn
// companions, or dBASE .DBF with .DBT/.MDX) behind one interface. Cursors, filters and orders
// live one level up (table.h) and never touch file formats.

#include "engineerror.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tv {

enum class FieldType {
    // Paradox
    Alpha,      // A
    Date,       // D
    Short,      // S
    Long,       // I
    Money,      // $
    Number,     // N
    Logical,    // L
    Memo,       // M
    FmtMemo,    // F
    Graphic,    // G
    Ole,        // O
    Binary,     // B
    Time,       // T
    Timestamp,  // @
    AutoInc,    // +
    Bcd,        // #
    Bytes,      // Y
    // dBASE
    DbChar,     // C
    DbNumeric,  // N
    DbFloat,    // F
    DbDate,     // D
    DbLogical,  // L
    DbMemo,     // M
    // FoxPro, Visual FoxPro and dBASE 7
    DbCurrency,   // Y: 64-bit integer of ten-thousandths
    DbDateTime,   // T: Julian day and milliseconds
    DbDouble,     // B of 8 bytes (Visual FoxPro): binary double
    DbDouble7,    // O (dBASE 7): binary double in sortable byte order
    DbInteger,    // I: 32-bit integer
    DbAutoInc,    // + (dBASE 7): 32-bit integer counted up by the writer
    DbTimestamp,  // @ (dBASE 7): milliseconds as a binary double
    DbVarchar,    // V: text of varying length
    DbVarbinary,  // Q: bytes of varying length
    DbGeneral,    // G: OLE object in the memo file
    DbPicture,    // P: picture in the memo file
    DbBinaryMemo, // B of 10 bytes (dBASE IV/7): bytes in the memo file
    DbBlob,       // W (Visual FoxPro): bytes in the memo file
};

// What a field holds, independent of the file format.
enum class FieldKind { Text, Integer, Float, Date, Time, Timestamp, Boolean, Memo, Blob };
FieldKind kindOf(FieldType t);
// The type letter used by the canonical dump ("A", "+", "dC", ...).
std::string typeLetter(FieldType t);

struct FieldDef {
    std::string name;   // UTF-8
    FieldType type = FieldType::Alpha;
    int size = 0;       // the descriptor's size byte as stored (see the dump format; a dBASE
                        // character field longer than 255 bytes: its whole length)
    int decimals = 0;   // dBASE N/F decimals; Paradox BCD decimals
};

// The position of the field called `name` (letter case of a-z does not count), or -1.
int findFieldNoCase(const std::vector<FieldDef>& fields, std::string_view name);

struct IndexDef {
    std::string name;                 // empty for a Paradox primary index
    std::vector<std::string> fields;  // field names, in key order
    bool primary = false;
    bool caseInsensitive = false;
    bool descending = false;
    bool expression = false;          // dBASE expression tag: key is not a plain field list
    std::string expressionText;       // the tag's key expression as stored (dBASE)
    std::string fieldList() const;    // names joined by ";"
};

// Day number 1 = 0001-01-01 (proleptic Gregorian), as Paradox stores dates.
struct Date { int32_t day = 0; };
struct TimeOfDay { int32_t ms = 0; };            // milliseconds since midnight
struct Timestamp { int64_t ms = 0; };            // milliseconds; ms / 86,400,000 is the day number of Date
struct Blob { std::string bytes; };              // graphic, OLE, binary, bytes fields

// A typed value. Text and memo values are UTF-8.
using Value = std::variant<std::monostate, int64_t, double, bool, std::string, Date, TimeOfDay, Timestamp, Blob>;
inline bool isNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }
using Record = std::vector<Value>;

// Calendar helpers shared by every format.
Date dateFromYmd(int y, int m, int d);
void ymdFromDate(Date dt, int& y, int& m, int& d);
bool isValidYmd(int y, int m, int d);

// Record ids are opaque, stable while the table is open (bookmarks rely on that) and
// never reused for another record during that time.
using RecordId = uint32_t;

enum class OpenMode { ReadOnly, ReadWrite };

class TableFile {
public:
    virtual ~TableFile() = default;

    virtual const std::string& path() const = 0;
    virtual const std::vector<FieldDef>& fields() const = 0;
    // Index definitions in the table's own order (a Paradox primary index first).
    virtual const std::vector<IndexDef>& indexes() const = 0;
    virtual int primaryKeyFields() const = 0;
    virtual int codePage() const = 0;
    // The file format and its version as stored ("Paradox 7", "dBASE III with memo", ...).
    virtual std::string formatName() const { return {}; }
    // The bytes of a field's name as stored, for reading it in another code page.
    virtual std::string storedFieldName(int field) const;
    // The record count stored in the header (dBASE: deleted records included).
    virtual uint32_t headerRecordCount() const = 0;
    // True for a record marked deleted but still in the file (see SalvageOptions).
    virtual bool isDeleted(RecordId id) const
    {
        (void)id;
        return false;
    }

    // Live records in file order (Paradox: block chain order, i.e. key order for keyed tables;
    // dBASE: physical order without deleted records).
    virtual const std::vector<RecordId>& recordIds() const = 0;
    // True when recordIds() is already in the order of the primary index (a keyed Paradox
    // table keeps its records in key order), so that order needs no sorting.
    virtual bool recordsInKeyOrder() const { return false; }
    // The records in the order of `index` as the key tree the table keeps for it has them (a
    // FoxPro .CDX tag over a field or UPPER(field)): every record of the file once, deleted ones
    // too. Nullopt when there is no such tree, or when it is damaged or disagrees with the table
    // (said once through takeNotices()): the index's definition orders the records then.
    virtual std::optional<std::vector<RecordId>> storedKeyOrder(const IndexDef& index) const
    {
        (void)index;
        return std::nullopt;
    }

    virtual Value value(RecordId id, int field) const = 0;
    // The exact decimal text of a number field that stores its digits (dBASE N and F, Paradox
    // BCD), which a double cannot always carry: "-0.50", "1234567890123450000". Empty for NULL,
    // for digits that make no number and for every other field.
    virtual std::string decimalText(RecordId id, int field) const
    {
        (void)id;
        (void)field;
        return {};
    }
    // The stored bytes of a text or memo field in the table's code page, without decoding:
    // alpha text up to its terminator with trailing blanks removed, the whole memo text.
    // Empty for NULL and for non-text fields. Valid until the next write to the table.
    virtual std::string_view rawText(RecordId id, int field) const = 0;
    // rawText of one field for many records: out[i] for ids[i]. Scans of a whole field go
    // through here, so that a file can read ahead of the record it is on.
    virtual void rawTexts(const RecordId* ids, size_t n, int field, std::string_view* out) const;
    // True when every text lies in memory mapped from the files (no copy of its own), so that
    // the bytes between two texts a little apart can be read too.
    virtual bool textsMapped() const { return false; }

    // Where the texts of a field lie in a mapped file of the table, told from the records
    // alone (the texts are not read): the first `limit` bytes of the text of ids[i] lie within
    // placedBytes(field)[out[i].from, out[i].to). Used to scan the file straight through and
    // then look only at the texts around what the scan found. A text that lies elsewhere
    // (changed since opening, say) or whose pointer does not look sound is marked kLookUp: the
    // caller reads it with rawText, which names any damage. A memo kept in the record itself
    // may be given as it is (kHere).
    struct TextPlace {
        static constexpr uint64_t kNone = ~uint64_t(0);       // `from`: the record has no text
        static constexpr uint64_t kLookUp = ~uint64_t(0) - 1; // `from`: read the text itself
        static constexpr uint64_t kHere = ~uint64_t(0) - 2;   // `from`: the whole text is `here`
        uint64_t from = kLookUp;
        uint64_t to = 0;
        std::string_view here;
    };
    // The mapped file the places of `field` refer to (the memo file for a memo field, the
    // table itself for a short text field); empty when the table cannot place them.
    virtual std::string_view placedBytes(int field) const
    {
        (void)field;
        return {};
    }
    // Most of placedBytes(field) is about to be read through (see MappedFile::readInLargePieces).
    virtual void expectScan(int field) const { (void)field; }
    virtual void placeTexts(const RecordId* ids, size_t n, int field, size_t limit, TextPlace* out) const;

    // Writing. Read-only tables throw EngineError.
    virtual bool writable() const { return false; }
    virtual RecordId insert(const Record& values);
    // Whether a record other than `ignore` has the primary key `values` hold (a whole record),
    // when the file can tell without reading every record; nullopt otherwise.
    virtual std::optional<bool> keyInUse(const Record& values, RecordId ignore) const
    {
        (void)values;
        (void)ignore;
        return std::nullopt;
    }
    virtual void update(RecordId id, const Record& values);
    virtual void remove(RecordId id);
    // Makes every change so far durable: when it returns, the change is on disk, and a crash
    // at any instant leaves the table with either the old or the new content.
    virtual void flush();
    // True while a change made through insert/update/remove is not yet on disk (a flush
    // failed or has not run).
    virtual bool hasUnsavedChanges() const { return false; }
    // Reads the table again from disk, as another program may have left it, keeping every
    // change not yet saved here (a new record whose key is taken meanwhile gets the next free
    // number when its key is a number); the next flush saves them on top. Records that are
    // still there keep their ids. Throws EngineError, changing nothing, when the table cannot
    // be read or a kept change cannot be placed.
    virtual void reload() {}
    // True when another program rewrote the files in place since they were read here: reads
    // fail until the table is read again (reload() on a writable table).
    virtual bool needsReload() const { return false; }
    // True when another program saved the table since it was read here, in place or by putting
    // new files in its place (a save here then fails until reload()).
    virtual bool savedElsewhere() const { return needsReload(); }
    // Things a flush that succeeded wants the user to know (a damaged value that could not be
    // carried over as it was), handed out once.
    virtual std::vector<std::string> takeNotices() { return {}; }
};

// Opens a table by its extension (.DB: Paradox, .DBF: dBASE). Throws EngineError.
std::unique_ptr<TableFile> openTableFile(const std::string& path, OpenMode mode = OpenMode::ReadOnly);

// Ways of reading what is left of a table, for converting it (the table is opened read-only).
struct SalvageOptions {
    bool withoutMemoFile = false;  // leave the memo/blob file unread: memo and blob values are NULL
    bool deletedRecords = false;   // dBASE: recordIds() lists the records marked deleted too
};
std::unique_ptr<TableFile> openTableFile(const std::string& path, const SalvageOptions& salvage);

// What a new table is made of.
struct TableSpec {
    std::vector<FieldDef> fields;
    int primaryKeyFields = 0;           // leading fields forming the primary key (Paradox)
    std::vector<IndexDef> secondary;    // secondary indexes to declare
    int codePage = 1252;
};

// Creates a new, empty table (and its companions) and returns it open for writing.
// An existing table of that name is replaced.
std::unique_ptr<TableFile> createParadoxTable(const std::string& path, const TableSpec& spec);
std::unique_ptr<TableFile> createDbaseTable(const std::string& path, const TableSpec& spec);

} // namespace tv
