#pragma once
// One filter condition prepared against a table file: field resolved, the search word
// encoded in the table's code page, range bounds parsed by the field's type.

#include "engine/dataset/bigbuffer.h"
#include "engine/dataset/fieldtext.h"
#include "engine/dataset/filter.h"
#include "engine/dataset/textscan.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tv {

// How much of a memo takes part in matching.
constexpr size_t kMemoMatchLimit = 32767;
// Record by record tests are shared among the cores in parts of at least this many records.
constexpr size_t kRecordsPerPart = 16384;

// The stored bytes of one short text field of every record, back to back, each followed by
// a NUL byte: record i is bytes[start[i] .. start[i + 1] - 1). Scanning one block of memory
// instead of one small text per record is what makes short-field filters fast.
struct TextColumn {
    std::vector<char, BigAllocator<char>> bytes;
    std::vector<uint32_t, BigAllocator<uint32_t>> start;   // records + 1 entries
    std::vector<uint64_t, BigAllocator<uint64_t>> head;    // each record's first eight bytes, zero-padded (in memory order)
    // For every 64 bytes of `bytes`, the record its first byte belongs to; then the last
    // record once more.
    static constexpr size_t kBlockShift = 6;
    std::vector<uint32_t, BigAllocator<uint32_t>> blockRecord;

    static TextColumn build(const TableFile& file, const std::vector<RecordId>& all, int field);
    std::string_view at(size_t i) const { return {bytes.data() + start[i], start[i + 1] - start[i] - 1}; }
    size_t memoryBytes() const
    {
        return bytes.capacity() + (start.capacity() + blockRecord.capacity()) * sizeof(uint32_t) +
               head.capacity() * sizeof(uint64_t);
    }
};

// Calls fn(i) for every i < n whose flag is set (flags are 0 or 1), passing over eight clear
// flags at a time.
template <class Fn>
void forEachSetFlag(const uint8_t* flags, size_t n, Fn&& fn)
{
    const size_t whole = n & ~size_t(7);
    for (size_t i = 0; i < whole; i += 8) {
        uint64_t eight;
        std::memcpy(&eight, flags + i, 8);
        for (; eight; eight &= eight - 1)
            fn(i + size_t(__builtin_ctzll(eight)) / 8);
    }
    for (size_t i = whole; i < n; ++i)
        if (flags[i])
            fn(i);
}

// Gives the text column of a field, or nullptr to read record by record; `build`: make the
// column when there is none yet (otherwise only one made before is given).
using TextColumnSource = std::function<const TextColumn*(int field, bool build)>;

class ConditionTest {
public:
    // `limitMemo`: only the first kMemoMatchLimit characters of a memo take part.
    ConditionTest(const TableFile& file, const FieldCondition& c, const TextFormat& fmt, bool limitMemo = true);

    bool test(RecordId id) const;
    // Clears pass[i] for every record all[i] that fails (records already failed are skipped).
    void narrow(const std::vector<RecordId>& all, std::vector<uint8_t>& pass, const TextColumn* column = nullptr) const;
    // The field whose text column would speed this condition up (-1: none).
    int columnField() const;
    // Whether narrow() (without a column) scans the file that holds the field's texts straight
    // through ("anywhere" in a table that can place its texts).
    bool scansFile() const;

    int field() const { return field_; }

private:
    enum class Mode { Never, EmptyField, Raw, Display, Range };
    bool testText(std::string_view text) const;
    void narrowColumn(const TextColumn& column, std::vector<uint8_t>& pass) const;
    void narrowInPlace(const std::vector<RecordId>& all, std::vector<uint8_t>& pass) const;
    void narrowFromFile(const std::vector<RecordId>& all, std::vector<uint8_t>& pass) const;

    const TableFile& file_;
    const TextFormat& fmt_;
    Mode mode_ = Mode::Never;
    int field_ = -1;
    FilterMatchType type_ = fdMatchStart;
    bool limit_ = false;
    bool fold_ = true;
    std::optional<TextScanner> scanner_;
    std::optional<Value> lo_, hi_;
};

// Positions of `all` that pass every condition (1) or not (0). With `damage`, a record whose
// value cannot be read fails (and is counted there) instead of failing the whole filter; when
// not one record can be read, the fault is thrown all the same.
std::vector<uint8_t> evaluateConditions(const TableFile& file, const std::vector<RecordId>& all,
                                        const FilterConditions& conditions, const TextFormat& fmt,
                                        const TextColumnSource& columns = {}, FilterDamage* damage = nullptr);

} // namespace tv
