#pragma once
// A dBASE III/IV/7 or (Visual) FoxPro table: the .DBF with its .DBT or .FPT memo file and the
// tag definitions of its production .MDX or structural .CDX index. Only dBASE III/IV tables are
// written. Read-only tables are memory-mapped and decoded on demand; writable
// tables hold their files in memory and append new records to disk on flush().
#include "dbfformat.h"
#include "dbtmemo.h"
#include "engine/fileio.h"

#include "engine/tablefile.h"

#include <utility>

namespace tv {

class DbaseTable final : public TableFile {
public:
    static std::unique_ptr<DbaseTable> open(const std::string& path, OpenMode mode, const SalvageOptions& salvage = {});
    // Writes a new empty table (dBASE III+, with a .DBT when it has memo fields and a production
    // .MDX when it has secondary indexes) and returns it open for writing.
    static std::unique_ptr<DbaseTable> create(const std::string& path, const TableSpec& spec);
    ~DbaseTable() override;

    const std::string& path() const override { return path_; }
    const std::vector<FieldDef>& fields() const override { return layout_.fields; }
    const std::vector<IndexDef>& indexes() const override { return indexes_; }
    int primaryKeyFields() const override { return 0; }
    int codePage() const override { return layout_.codePage; }
    std::string formatName() const override { return dbase::versionName(layout_.version); }
    std::string storedFieldName(int field) const override
    {
        return size_t(field) < layout_.storedNames.size() ? layout_.storedNames[size_t(field)] : TableFile::storedFieldName(field);
    }
    uint32_t headerRecordCount() const override { return layout_.recordCount; }
    bool isDeleted(RecordId id) const override;
    const std::vector<RecordId>& recordIds() const override { return ids_; }
    std::optional<std::vector<RecordId>> storedKeyOrder(const IndexDef& index) const override;
    // What became of the key tree of the tag at `index` of indexes(): "read: N keys" (a .CDX
    // tag whose tree orders the records), "not used: <why>" or "not read: ..." (a .MDX tag): the
    // tag's definition orders the records then.
    std::string keyTreeState(size_t index) const;
    std::vector<std::string> takeNotices() override { return std::exchange(notices_, {}); }
    Value value(RecordId id, int field) const override;
    // dBASE N and F as stored, FoxPro currency (Y) from its scaled integer.
    std::string decimalText(RecordId id, int field) const override;
    std::string_view rawText(RecordId id, int field) const override;
    void rawTexts(const RecordId* ids, size_t n, int field, std::string_view* out) const override;
    bool textsMapped() const override { return !writable_; }
    std::string_view placedBytes(int field) const override;
    void expectScan(int field) const override;
    void placeTexts(const RecordId* ids, size_t n, int field, size_t limit, TextPlace* out) const override;

    bool writable() const override { return writable_; }
    RecordId insert(const Record& values) override;
    void flush() override;

private:
    explicit DbaseTable(const std::string& path) : path_(path) {}
    void load(OpenMode mode, const SalvageOptions& salvage);
    std::string_view cell(RecordId id, int field) const;
    std::string_view memoBytes(RecordId id, int field) const;
    bool flagBit(RecordId id, int bit) const;
    bool nullByFlags(RecordId id, int field) const;
    std::string_view varCell(RecordId id, int field) const;
    std::string where(RecordId id, int field) const;
    void refreshViews();
    // The records in the order of tag `tag`'s key tree; throws EngineError saying why not.
    std::vector<RecordId> cdxOrder(size_t tag) const;

    std::string path_;
    dbase::DbfLayout layout_;
    std::vector<IndexDef> indexes_;
    std::vector<RecordId> ids_;
    std::string_view dbf_;
    dbase::MemoFile memo_;
    std::string memoPath_;
    std::string mdxPath_;   // the production index, when the header names one and it is there
    std::string cdxPath_;   // the structural index of a FoxPro table, when there is one
    std::vector<uint32_t> cdxHeaders_;   // where the header of each tag lies in it
    mutable std::vector<std::string> notices_;
    mutable std::vector<uint8_t> treeNoted_;   // by tag: a damaged tree was said already
    bool skipMemo_ = false; // opened without its memo file: memos read as NULL

    // Read-only tables.
    MappedFile dbfMap_;
    MappedFile memoMap_;

    // Writable tables: whole-file images and what of them is on disk already.
    bool writable_ = false;
    std::string dbfImage_;
    std::string memoImage_;
    WritableFile dbfFile_;
    WritableFile memoFile_;
    uint32_t diskRecords_ = 0;
    size_t diskMemoSize_ = 0;
};

} // namespace tv
