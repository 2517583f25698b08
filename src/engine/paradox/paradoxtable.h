#pragma once
// A Paradox table (.DB with its .MB memo file, .PX primary index and secondary index files).
//
// Tables are memory-mapped and decoded one field at a time. Tables opened for writing read
// their records from the mapping of the files as last saved and hold only the records added,
// changed or deleted since in memory; flush() writes a complete new set of files next to the
// old ones and switches to them through a small commit journal, so that a crash at any moment
// leaves either the old or the new set, and then maps the new files, so that the replaced ones
// are let go. Every read checks that the mapped files were not cut short or rewritten by
// another program meanwhile.

#include "engine/tablefile.h"
#include "engine/mappedfile.h"
#include "pxheader.h"
#include "pxlock.h"

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tv {

namespace px {
class TempFileSet;
struct SecondaryLayout;
}

class ParadoxTable : public TableFile {
public:
    static std::unique_ptr<ParadoxTable> open(const std::string& path, OpenMode mode, bool skipMb = false);
    // Opens the table read-only without its memo file: memo and blob values read as NULL.
    static std::unique_ptr<ParadoxTable> openWithoutMemoFile(const std::string& path);
    // Opens table images held in memory (read-only); `mb` may be empty. For checking
    // untrusted bytes without touching the disk.
    static std::unique_ptr<ParadoxTable> openImage(const std::string& name, std::string_view db, std::string_view mb);
    static std::unique_ptr<ParadoxTable> create(const std::string& path, const TableSpec& spec);
    ~ParadoxTable() override;

    const std::string& path() const override { return path_; }
    const std::vector<FieldDef>& fields() const override { return fields_; }
    const std::vector<IndexDef>& indexes() const override { return indexes_; }
    int primaryKeyFields() const override { return header_.keyFields; }
    // Keyed tables hold their records in key order, in the file and in memory alike.
    bool recordsInKeyOrder() const override { return header_.keyFields > 0; }
    int codePage() const override { return codePage_; }
    std::string formatName() const override;
    uint32_t headerRecordCount() const override { return writable_ ? uint32_t(ids_.size()) : header_.numRecords; }
    const std::vector<RecordId>& recordIds() const override { return ids_; }
    Value value(RecordId id, int field) const override;
    std::string_view rawText(RecordId id, int field) const override;
    void rawTexts(const RecordId* ids, size_t n, int field, std::string_view* out) const override;
    bool textsMapped() const override;
    std::string_view placedBytes(int field) const override;
    void expectScan(int field) const override;
    void placeTexts(const RecordId* ids, size_t n, int field, size_t limit, TextPlace* out) const override;

    bool writable() const override { return writable_; }
    RecordId insert(const Record& values) override;
    std::optional<bool> keyInUse(const Record& values, RecordId ignore) const override;
    void update(RecordId id, const Record& values) override;
    void remove(RecordId id) override;
    void flush() override;
    bool hasUnsavedChanges() const override { return dirty_; }
    void reload() override;
    bool needsReload() const override;
    bool savedElsewhere() const override;
    std::vector<std::string> takeNotices() override;

    // The exact decimal text of a BCD field ("" when NULL, "?" when the stored digits are not
    // a number). Doubles cannot hold every BCD value, so the dump reads this instead.
    std::string bcdText(RecordId id, int field) const;
    std::string decimalText(RecordId id, int field) const override;
    // The value handed out last by the autoincrement field.
    uint32_t autoIncrement() const;

private:
    // What a record held in memory is, compared with the files as last read.
    enum class Pending : uint8_t { None, Inserted, Changed, Removed };
    struct Row {
        std::string raw;                  // the record as stored; blob pointers are rewritten on save
        std::vector<std::string> blobs;   // whole data of the memo/blob fields (see blobSlot_)
        bool live = false;
        Pending pending = Pending::None;
        std::string original;             // Changed, Removed: the record as the files held it
    };
    // A data block as the primary index lists it, and whether its header was found to agree.
    struct ListedBlock {
        uint32_t next = 0, count = 0;
        mutable std::atomic<uint8_t> checked{0};
    };
    // The files of the table as read at one moment.
    struct Files {
        MappedFile db, mb;
        bool haveMb = false;
        std::string mbPath;
        px::Header header;
        std::vector<uint64_t> offsets;    // record offsets in db, in block chain order
        std::unique_ptr<ListedBlock[]> listed;   // set when the offsets came from the primary index
    };

    ParadoxTable() = default;
    void load(const uint8_t* db, size_t dbSize, const std::string& dbName);
    std::vector<uint64_t> walkBlocks(const px::Header& h, const uint8_t* db, size_t dbSize, const std::string& dbName) const;
    bool blocksFromIndex(Files& f) const;
    void checkBlockOf(RecordId id) const;
    // checkBlockOf for records read in a row: [lo, hi) is the block checked last.
    void checkBlockOf(RecordId id, uint64_t& lo, uint64_t& hi) const
    {
        if (!listed_ || (offsets_[id] >= lo && offsets_[id] < hi))
            return;
        checkBlockOf(id);
        const uint64_t size = header_.blockSize();
        lo = header_.headerSize + (offsets_[id] - header_.headerSize) / size * size;
        hi = lo + size;
    }
    void loadIndexDefinitions();
    // Completes an interrupted save first when `recover` (a table opened for changes only).
    void recoverAndLockShared(bool recover);
    Files readFiles(int fd) const;
    void adoptFiles(Files&& f);
    void checkMapped() const;
    void checkMemoFile() const;
    std::string recordName(RecordId id) const;
    std::string salvageBlob(RecordId id, int field, const std::string& why, std::vector<std::string>& notices) const;
    std::vector<px::FileChange> buildFiles(std::vector<std::string>& notices) const;
    void writeSecondary(px::TempFileSet& files, const px::SecondaryLayout& s, const std::vector<uint16_t>& blockOf,
                        const std::vector<uint32_t>& slotOf) const;
    void adoptSavedFiles(const std::vector<int>& fds, bool hasBlobs);
    // Saving in place (pxinplace.cpp): false, with nothing written, when the table or the
    // changes are not of a kind it handles.
    struct InPlace;
    struct DropInPlace {
        void operator()(InPlace* p) const;
    };
    using InPlacePtr = std::unique_ptr<InPlace, DropInPlace>;
    bool saveInPlace();
    InPlacePtr prepareInPlace() const;
    void noteTouched(RecordId id);
    void setRow(RecordId id, Row&& row);
    void checkIndexSpec(const IndexDef& def) const;
    void openForWriting();
    uint32_t highestAutoIncrement() const;
    void settleAutoIncrement();
    const uint8_t* recordBytes(RecordId id) const;
    const uint8_t* recordBytes(RecordId id, uint64_t& checkedFrom, uint64_t& checkedTo) const;
    std::string_view blobBytes(RecordId id, int field) const;
    Row encodeRecord(const Record& values, const uint8_t* old) const;
    int compareKeys(const uint8_t* a, const uint8_t* b) const;
    size_t findKeySlot(const Row& row, bool& duplicate, RecordId ignore) const;
    size_t positionOf(RecordId id) const;
    std::string fieldName(int field) const { return fields_[size_t(field)].name; }
    void checkId(RecordId id) const;
    void numberBlobFields();

    std::string path_;
    std::string store_;               // where the files are: path_, or where its symbolic link leads (storeFor)
    std::string mbPath_;
    px::Header header_;
    int codePage_ = 437;
    std::vector<FieldDef> fields_;
    std::vector<IndexDef> indexes_;
    std::vector<RecordId> ids_;

    // The files as opened.
    MappedFile db_;
    MappedFile mb_;
    bool haveMb_ = false;
    bool skipMb_ = false;             // opened without its memo file
    std::vector<uint64_t> offsets_;   // record offsets in db_, by record id
    std::string head_;                // the start of db_'s header as read
    std::string imageDb_, imageMb_;   // copies for openImage()
    // When the record offsets came from the primary index rather than the block chain: by data
    // block number, what the index says of the block (checked when one of its records is
    // first read).
    std::unique_ptr<ListedBlock[]> listed_;

    // Writable storage.
    bool writable_ = false;
    bool dirty_ = false;
    // By record id; null while the record is as the opened file holds it.
    std::vector<std::unique_ptr<Row>> rows_;
    // The opened file's records have not yet been searched for a counter value above the
    // header's (done before the counter is first needed).
    bool autoIncPending_ = false;
    std::vector<int> blobSlot_;       // per field: its place in Row::blobs, -1 for other fields
    size_t blobFields_ = 0;
    std::unique_ptr<px::TableLock> lock_;
    px::FileVersion version_;
    uint16_t changeCount_ = 1;
    std::vector<std::string> notices_;
    // What saving in place keeps between saves: the files' block chains and trees.
    InPlacePtr inPlace_;
    std::vector<RecordId> touched_;   // records changed since the last save (may repeat)
    bool touchedKnown_ = true;        // false when touched_ may miss some
    std::string saveBroken_;          // why no save can be made until the table is opened again
};

// The primary index of a table whose first `keyFields` fields form the key.
IndexDef primaryIndexDef(const std::vector<FieldDef>& fields, int keyFields);

// The definition held by a secondary index file (.Xnn or .XGn) of a table with `tableFields`,
// whose first `tableKeyFields` fields form the primary key. `fileName` supplies the field
// number of a single-field index. Throws EngineError naming the file when it is damaged.
IndexDef indexDefinition(const uint8_t* data, size_t size, const std::string& fileName, const std::vector<FieldDef>& tableFields,
                         int tableKeyFields);

} // namespace tv
