#pragma once
// A table file held in memory: the same interface as the Paradox and dBASE files, used by
// tests and benchmarks and wherever a scratch table is wanted. Text and memo fields are kept
// encoded in the table's code page, like on disk, so rawText() behaves as for real files.

#include "engine/tablefile.h"

#include <memory>
#include <vector>

namespace tv {

class MemoryTable : public TableFile {
public:
    // Declares the primary index (when spec.primaryKeyFields > 0, unnamed) and the
    // secondary indexes listed in the TableSpec.
    explicit MemoryTable(const TableSpec& spec, std::string path = "memory");
    ~MemoryTable() override;

    const std::string& path() const override { return path_; }
    const std::vector<FieldDef>& fields() const override { return fields_; }
    const std::vector<IndexDef>& indexes() const override { return indexes_; }
    int primaryKeyFields() const override { return primaryKeyFields_; }
    int codePage() const override { return codePage_; }
    uint32_t headerRecordCount() const override { return uint32_t(ids_.size()); }
    const std::vector<RecordId>& recordIds() const override { return ids_; }
    Value value(RecordId id, int field) const override;
    std::string_view rawText(RecordId id, int field) const override;

    bool writable() const override { return writable_; }
    RecordId insert(const Record& values) override;
    void update(RecordId id, const Record& values) override;
    void remove(RecordId id) override;
    void flush() override { ++flushes_; }

    // Tests: make the table refuse writes; count flushes; declare further indexes.
    void setWritable(bool w) { writable_ = w; }
    int flushCount() const { return flushes_; }
    void addIndex(IndexDef def) { indexes_.push_back(std::move(def)); }
    void reserve(size_t records);

private:
    struct Slot;
    size_t slotOf(RecordId id) const;   // throws for an unknown id
    void store(size_t slot, const Record& values);
    std::string_view keep(size_t field, std::string_view bytes);

    std::string path_;
    std::vector<FieldDef> fields_;
    std::vector<IndexDef> indexes_;
    int primaryKeyFields_ = 0;
    int codePage_ = 1252;
    bool writable_ = true;
    int flushes_ = 0;

    std::vector<RecordId> ids_;           // live records in insertion order
    std::vector<uint8_t> live_;           // by slot (id - 1)
    // One column per field, indexed by slot: text and memo fields keep views of their
    // encoded bytes, other fields their values.
    std::vector<std::vector<std::string_view>> text_;
    std::vector<std::vector<Value>> values_;
    std::vector<uint8_t> isText_;
    // The text bytes, each field in its own chunks, so that a scan of one field reads
    // its texts one after another.
    struct FreeChunk {
        void operator()(char* p) const;
    };
    struct Arena {
        std::vector<std::unique_ptr<char, FreeChunk>> chunks;
        size_t size = 0, used = 0;   // of the last chunk
        size_t total = 0;            // bytes kept so far
    };
    std::vector<Arena> arenas_;
};

} // namespace tv
