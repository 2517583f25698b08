#pragma once
// One filter condition prepared against a table file: field resolved, the search word
// encoded in the table's code page, range bounds parsed by the field's type.

#include "engine/dataset/fieldtext.h"
#include "engine/dataset/filter.h"
#include "engine/dataset/textscan.h"

#include <optional>
#include <vector>

namespace tv {

// How much of a memo takes part in matching.
constexpr size_t kMemoMatchLimit = 32767;

class ConditionTest {
public:
    // `limitMemo`: only the first kMemoMatchLimit characters of a memo take part.
    ConditionTest(const TableFile& file, const FieldCondition& c, const TextFormat& fmt, bool limitMemo = true);

    bool test(RecordId id) const;
    // Clears pass[i] for every record all[i] that fails (records already failed are skipped).
    void narrow(const std::vector<RecordId>& all, std::vector<uint8_t>& pass) const;

    int field() const { return field_; }

private:
    enum class Mode { Never, EmptyField, Raw, Display, Range };
    bool testText(std::string_view text) const;

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

// Positions of `all` that pass every condition (1) or not (0).
std::vector<uint8_t> evaluateConditions(const TableFile& file, const std::vector<RecordId>& all,
                                        const FilterConditions& conditions, const TextFormat& fmt);

} // namespace tv
