#pragma once
// Table: the cursor the program works with, over one table file.
//
// The visible set is the list of record ids that the filter lets through, in the order of the
// current index. Every row-based call (recNo, moveTo, valueAt, displayTextAt) counts rows in
// that set, so a grid reads row i directly without moving the cursor.
//
// Navigation rules:
//   - first() goes to the first row and sets atBeginning(); last() goes to the last row and
//     sets atEnd(). On an empty set both are set.
//   - moveBy(n) (next() = moveBy(1), prior() = moveBy(-1)) does nothing when asked to move
//     forward while atEnd() or backward while atBeginning(). Otherwise it clears both
//     indicators and moves; when it would pass the last (first) row it stops there and sets
//     atEnd() (atBeginning()). A move that lands exactly on the first or last row sets neither.
//   - Moving while editing posts the pending change first (or cancels it when nothing was
//     changed), as does changing the filter or the order.
//
// Every failure raises EngineError with a message meant for the user.

#include "engine/dataset/filter.h"
#include "engine/dataset/picture.h"
#include "engine/tablefile.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tv {

enum class TableState {
    Inactive,  // closed
    Browse,
    Edit,
    Insert,
};

// Why the visible set or its contents changed.
enum class DataChange {
    Reset,       // opened, closed or re-read: everything may differ
    RowsAdded,   // a record was posted as new, or an insertion started (the extra row
                 // insertRow() appears)
    RowsRemoved, // a record was deleted, or an insertion was cancelled
    Reordered,   // the current index changed
    Refiltered,  // the filter changed
    Values,      // field values of existing rows changed (a post of an edit, the edit buffer)
};

// An opaque handle to a record; valid until freed or until the table is closed.
struct Bookmark {
    uint64_t handle = 0;
    explicit operator bool() const { return handle != 0; }
    bool operator==(const Bookmark&) const = default;
};

using ListenerId = uint64_t;

// How a post settles an edit of a record that another program saved since the edit began.
enum class PostConflict {
    KeepMine,    // the edit is stored over the other program's version
    KeepTheirs,  // the edit is dropped; the other program's version stays
    KeepBoth,    // the edit is stored as a new record (a single number key gets the next number)
};

// Raised by post() when another program saved the record being edited since the edit began
// and no conflict handler settles it; the table stays in edit state with the edit kept.
class PostConflictError : public EngineError {
public:
    using EngineError::EngineError;
};

// Display attributes of one field, set by the data module. They are kept by field name, so
// they survive closing and reopening the table.
struct FieldDisplay {
    std::string label;        // empty: the field name is the label
    int width = 0;            // in characters; 0: the type's default width
    bool visible = true;
    std::string picture;      // picture mask; empty: none
    bool autoFillLiterals = false;  // literal characters are filled in while typing
};

class Table {
public:
    Table();
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // ---- Opening -----------------------------------------------------------------------
    // Opens the table file at `path` (by extension: .DB Paradox, .DBF dBASE).
    void open(const std::string& path, OpenMode mode = OpenMode::ReadOnly);
    // Takes over an already opened table file (in-memory tables, freshly created tables).
    void open(std::unique_ptr<TableFile> file);
    // Closes the table; a pending edit is cancelled; bookmarks become invalid. Does nothing
    // when the table is not open.
    void close();
    bool isOpen() const;
    bool readOnly() const;
    TableState state() const;
    // The underlying file (nullptr when closed).
    TableFile* file() const;
    // The path the table was opened from (empty for tables opened from a TableFile object
    // without a path).
    std::string path() const;

    // ---- Fields -------------------------------------------------------------------------
    int fieldCount() const;
    const FieldDef& field(int index) const;                 // throws when out of range
    // Position of a field by name without regard to letter case; -1 when there is none.
    int fieldIndex(std::string_view name) const;
    // As fieldIndex, but throws EngineError "Field 'X' not found" when missing.
    int fieldByName(std::string_view name) const;

    // Display attributes (by field position or by field name, letter case ignored).
    const FieldDisplay& display(int field) const;
    std::string displayLabel(int field) const;              // the label or the field name
    int displayWidth(int field) const;                      // the width or the type's default
    bool visible(int field) const;
    void setDisplayLabel(std::string_view fieldName, std::string label);
    void setDisplayWidth(std::string_view fieldName, int width);
    void setVisible(std::string_view fieldName, bool visible);
    // Sets the picture mask (empty clears it). Throws EngineError for a malformed mask.
    void setPicture(std::string_view fieldName, std::string picture, bool autoFillLiterals = false);
    // The parsed picture of a field (an empty mask when none).
    const PictureMask& picture(int field) const;

    // How dates are shown and read back: 'd'/'dd' day, 'M'/'MM' month, 'yy'/'yyyy' year,
    // anything else literal. Default "M/d/yyyy". Two-digit years read back fall within 50
    // years of the current year.
    void setShortDateFormat(std::string format);
    const std::string& shortDateFormat() const;
    // Currency symbol used for money fields (default "$").
    void setCurrencySymbol(std::string symbol);

    // ---- Values of the current record (the edit buffer while editing) -----------------
    // Without a current record: a null value, empty text, 0.
    Value value(int field) const;
    Value value(std::string_view fieldName) const;
    // The display text: text as stored; integers in decimal; floating point with up to 15
    // significant digits; money as "$1,234.50" ("($1.00)" when negative); dates in the
    // short date format; times "h:mm:ss AM"; logicals "True"/"False"; memo its whole text;
    // graphic/binary fields "(GRAPHIC)"/"(BLOB)"; empty for null.
    std::string displayText(int field) const;
    std::string displayText(std::string_view fieldName) const;
    // The value as an integer: integers as they are, floating point rounded, text parsed
    // (0 when it is no number), logicals 1/0, null 0.
    int64_t asInteger(int field) const;
    int64_t asInteger(std::string_view fieldName) const;
    bool isNullField(int field) const;

    // Values by row of the visible set, without moving the cursor. The current row shows
    // the edit buffer while editing; in insert state the row insertRow() is the new record.
    Value valueAt(int row, int field) const;
    std::string displayTextAt(int row, int field) const;
    RecordId recordIdAt(int row) const;                     // throws when out of range

    // Setting values; only in edit or insert state (else EngineError "Table is not in edit
    // mode"). From text: parsed by the field's type (empty text = null), checked against
    // the field's picture mask; a text that does not fit raises EngineError naming the
    // field and, for a picture, the picture.
    void setValue(int field, const Value& v);
    void setValue(std::string_view fieldName, const Value& v);
    void setText(int field, std::string_view text);
    void setText(std::string_view fieldName, std::string_view text);
    void setInteger(int field, int64_t v);
    // Fields changed since edit()/append().
    bool modified() const;
    // The largest value of a field as an integer (asInteger rules) over every record of the
    // table, whatever the filter lets through; 0 for an empty table.
    int64_t largestInteger(int field) const;

    // ---- Navigation ---------------------------------------------------------------------
    void first();
    void last();
    void next();
    void prior();
    // Moves by a signed number of rows; returns the number of rows actually moved.
    int moveBy(int distance);
    // Makes row `row` of the visible set current (a grid click): moveBy(row - recNo()).
    void moveTo(int row);
    bool atBeginning() const;   // "Bof"
    bool atEnd() const;         // "Eof"
    // Row of the current record in the visible set, -1 when there is none (empty set).
    // In insert state: insertRow().
    int recNo() const;
    // Number of records the filter lets through (0 for an empty table), the pending
    // insertion not counted.
    int recordCount() const;
    // The visible set in display order.
    const std::vector<RecordId>& visibleIds() const;
    // The id of the current record; nullopt with no current record or while inserting.
    std::optional<RecordId> currentId() const;
    // Row at which the record being inserted is shown (== recordCount()), -1 when not
    // inserting.
    int insertRow() const;

    // ---- Editing ------------------------------------------------------------------------
    // Starts an insertion of an empty record (state Insert), shown after the last row. Files
    // another program rewrote in place are read again first (refresh()).
    void append();
    // Starts editing the current record. Throws when the table is read-only or empty.
    void edit();
    // Stores the pending insertion or change. Fails with EngineError, staying in its state,
    // on a duplicate primary key ("Key violation"), on a picture-mask mismatch, on text the
    // table's code page cannot hold (naming the field and the characters; nothing typed is
    // ever changed to fit), or when the file refuses the write. After success: state Browse, after-post listeners run.
    // Files another program rewrote in place are read again first (as refresh() does, the
    // pending change kept): a new record whose single number key was taken meanwhile gets the
    // largest number + 1 (said in takeNotices()), and an edited record the other program
    // deleted is stored as a new record.
    void post();
    // Asked by post() when the record being edited was saved by another program since edit()
    // (its values on disk differ from those the edit began with), with a sentence naming the
    // record. Without a handler post() raises PostConflictError instead.
    void setConflictHandler(std::function<PostConflict(const std::string& what)> handler);
    // Drops the pending insertion or change (nothing happens in browse state).
    void cancel();
    // Deletes the current record (cancelling an insertion instead while inserting). After a
    // record was deleted the after-delete listeners run.
    void remove();
    // Re-reads the table from its file (an editable one as another program may have saved it,
    // keeping the changes not yet saved here; see TableFile::reload), drops cached orders and
    // the filter result, re-applies both, and keeps the current record current when it is
    // still there.
    void refresh();
    // When another program changed the files where they lie (changedElsewhere()), reads them
    // again: in browse state as refresh() does; while editing or inserting, keeping the pending
    // change as it is (its post finds the edited record by its key). Does nothing otherwise.
    void catchUpKeepingEdit();
    // Makes every posted change durable on disk (the file's flush).
    void saveChanges();
    // True while a posted or deleted change is not yet on disk (its save failed).
    bool hasUnsavedChanges() const;
    // True when another program changed the files of this writable table where they lie since
    // they were read here: its values cannot be read until refresh().
    bool changedElsewhere() const;
    // Things a post that succeeded wants the user to know (a new record given another key
    // than the one it was entered with), handed out once.
    std::vector<std::string> takeNotices();

    // ---- Bookmarks ----------------------------------------------------------------------
    // A bookmark of the current record (throws when there is none).
    Bookmark getBookmark();
    // Makes the bookmarked record current. Throws EngineError without moving when the
    // record was deleted, is hidden by the filter, or the bookmark is unknown.
    void gotoBookmark(Bookmark b);
    // Releases a bookmark; unknown or empty handles are ignored.
    void freeBookmark(Bookmark b);
    bool bookmarkValid(Bookmark b) const;   // the record exists and passes the filter

    // ---- Indexes and order --------------------------------------------------------------
    // The index definitions in the table's own order.
    const std::vector<IndexDef>& indexDefs() const;
    // Re-reads the index definitions from the file.
    void refreshIndexDefs();
    // Name of the current index ("" = the primary index, or file order when there is none).
    const std::string& indexName() const;
    // Field names of the current order joined by ";" (empty for file order).
    std::string indexFieldNames() const;
    // Position of the current index in indexDefs(), -1 for file order.
    int currentIndex() const;
    // Switches to the index of that name (letter case ignored; "" = primary), keeping the
    // current record current. Throws EngineError for an unknown name.
    void setIndexName(const std::string& name);
    // Orders by the first index whose field list begins with `fieldName` (case-insensitive
    // indexes first, then all, each in the table's order). Returns false, changing nothing,
    // when none qualifies; true otherwise (also when it was already current).
    bool orderByField(std::string_view fieldName);
    // The index orderByField() would choose, -1 when none.
    int indexForField(std::string_view fieldName) const;

    // ---- Filter -------------------------------------------------------------------------
    // The base filter's conditions; change them, then applyFilter().
    FilterConditions& filterConditions();
    const FilterConditions& filterConditions() const;
    // Replaces the conditions and applies them. A filter that fails (a damaged file) changes
    // nothing: the conditions and the records on view stay those of the filter before.
    void setFilter(FilterConditions conditions);
    // The same for a search that goes on past damage: a record whose value cannot be read (a
    // damaged memo pointer) does not pass, instead of failing the whole filter, and
    // filterDamage() tells how many there were and the first fault. This holds until the
    // filter is next set or applied another way.
    void setFilterPastDamage(FilterConditions conditions);
    const FilterDamage& filterDamage() const;
    // Applies the conditions as they are now and goes to the first visible row. On a closed
    // table the conditions are only kept (opening shows every record until applied again).
    void applyFilter();
    // Drops every condition and shows all records again.
    void clearFilter();
    bool filtered() const;      // conditions are applied

    // ---- Locate -------------------------------------------------------------------------
    // Finds a record whose field matches `value` (fdMatchExact, fdMatchStart or fdMatchAny,
    // with the filter's text rules), searching the visible set in order: locateFirst from
    // the first row, locateNext from the row after the current one. On success the record
    // becomes current and true is returned; otherwise false and the cursor stays.
    // Throws EngineError for an unknown field.
    bool locateFirst(std::string_view fieldName, std::string_view value, FilterMatchType match,
                     bool caseSensitive = false);
    bool locateNext(std::string_view fieldName, std::string_view value, FilterMatchType match,
                    bool caseSensitive = false);

    // ---- Listeners ----------------------------------------------------------------------
    // Callbacks run on the calling thread after the change. Removing a listener from
    // inside a callback is allowed.
    ListenerId addCurrentChangedListener(std::function<void()> fn);
    ListenerId addDataChangedListener(std::function<void(DataChange)> fn);
    ListenerId addStateChangedListener(std::function<void(TableState)> fn);
    ListenerId addAfterPostListener(std::function<void()> fn);
    ListenerId addAfterDeleteListener(std::function<void()> fn);
    void removeListener(ListenerId id);

    // Bytes held by the dataset level (visible set, cached orders, filter result, keys),
    // not counting the file.
    size_t memoryBytes() const;

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

} // namespace tv
