#include "engine/dataset/condition.h"

#include "engine/codepage.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace tv {

namespace {
int findFieldNoCase(const TableFile& file, std::string_view name)
{
    const auto& fields = file.fields();
    for (size_t i = 0; i < fields.size(); ++i) {
        const std::string& n = fields[i].name;
        if (n.size() == name.size() && foldAsciiUpper(n) == foldAsciiUpper(name))
            return int(i);
    }
    return -1;
}
} // namespace

ConditionTest::ConditionTest(const TableFile& file, const FieldCondition& c, const TextFormat& fmt, bool limitMemo)
    : file_(file), fmt_(fmt), type_(c.matchType), fold_(!c.caseSensitive)
{
    field_ = findFieldNoCase(file, c.fieldName);
    if (field_ < 0)
        return;   // a field the table does not have: nothing passes
    const FieldDef& f = file.fields()[size_t(field_)];
    const FieldKind kind = kindOf(f.type);
    const bool memo = kind == FieldKind::Memo;
    limit_ = memo && limitMemo;

    if (c.matchType == fdMatchRange) {
        if (memo || kind == FieldKind::Blob)
            return;
        FieldDef boundDef = f;
        if (kind == FieldKind::Integer)
            boundDef.type = FieldType::Number;   // bounds may have decimals
        try {
            if (!c.minimum.empty())
                lo_ = kind == FieldKind::Text ? Value(c.minimum) : parseValue(boundDef, c.minimum, fmt);
            if (!c.maximum.empty())
                hi_ = kind == FieldKind::Text ? Value(c.maximum) : parseValue(boundDef, c.maximum, fmt);
        } catch (const EngineError&) {
            return;   // a bound that is no value of the field's type: nothing passes
        }
        mode_ = Mode::Range;
        return;
    }
    if (c.matchType != fdMatchStart && c.matchType != fdMatchAny && c.matchType != fdMatchExact && c.matchType != fdMatchEnd)
        return;
    if (c.value.empty()) {
        // An empty value is found nowhere; only "exact" finds empty (non-memo) fields.
        if (c.matchType == fdMatchExact && !memo)
            mode_ = Mode::EmptyField;
        return;
    }
    if (kind == FieldKind::Text || memo) {
        const std::string encoded = encodeText(file.codePage(), c.value);
        if (decodeText(file.codePage(), encoded) != c.value)
            return;   // the word holds characters the table cannot store
        scanner_.emplace(encoded, c.caseSensitive);
        mode_ = Mode::Raw;
    } else {
        scanner_.emplace(c.value, c.caseSensitive);
        mode_ = Mode::Display;
    }
}

bool ConditionTest::testText(std::string_view text) const
{
    switch (type_) {
    case fdMatchExact: return scanner_->equals(text);
    case fdMatchStart: return scanner_->startsWith(text);
    case fdMatchAny: return scanner_->contains(text);
    case fdMatchEnd: return scanner_->endsWith(text);
    default: return false;
    }
}

bool ConditionTest::test(RecordId id) const
{
    switch (mode_) {
    case Mode::Never:
        return false;
    case Mode::EmptyField:
        return isNull(file_.value(id, field_)) || formatValue(file_.fields()[size_t(field_)], file_.value(id, field_), fmt_).empty();
    case Mode::Raw: {
        std::string_view t = file_.rawText(id, field_);
        if (limit_ && t.size() > kMemoMatchLimit)
            t = t.substr(0, kMemoMatchLimit);
        return testText(t);
    }
    case Mode::Display:
        return testText(formatValue(file_.fields()[size_t(field_)], file_.value(id, field_), fmt_));
    case Mode::Range: {
        const Value v = file_.value(id, field_);
        const Value& cmpV = (isNull(v) && kindOf(file_.fields()[size_t(field_)].type) == FieldKind::Text) ? Value(std::string()) : v;
        if (lo_ && compareValues(cmpV, *lo_, fold_) < 0)
            return false;
        if (hi_ && compareValues(cmpV, *hi_, fold_) > 0)
            return false;
        return true;
    }
    }
    return false;
}

TextColumn TextColumn::build(const TableFile& file, const std::vector<RecordId>& all, int field)
{
    TextColumn c;
    c.start.reserve(all.size() + 1);
    size_t total = 0;
    for (RecordId id : all)
        total += file.rawText(id, field).size() + 1;
    if (total > UINT32_MAX)
        throw EngineError(file.path() + ": too much text in one field to filter it in memory");
    c.bytes.reserve(total);
    c.head.reserve(all.size());
    for (RecordId id : all) {
        const std::string_view t = file.rawText(id, field);
        c.start.push_back(uint32_t(c.bytes.size()));
        c.bytes.append(t);
        c.bytes.push_back('\0');
        uint64_t h = 0;
        if (!t.empty())
            std::memcpy(&h, t.data(), std::min<size_t>(t.size(), 8));
        c.head.push_back(h);
    }
    c.start.push_back(uint32_t(c.bytes.size()));
    return c;
}

namespace {
// a-z to A-Z in each of eight bytes at once; other bytes (and bytes >= 0x80) unchanged.
inline uint64_t foldEight(uint64_t x)
{
    constexpr uint64_t ones = 0x0101010101010101ull;
    const uint64_t hept = x & (0x7F * ones);
    const uint64_t geA = hept + (0x80 - 'a') * ones;       // high bit: >= 'a'
    const uint64_t gtZ = hept + (0x7F - 'z') * ones;       // high bit: > 'z'
    const uint64_t lower = ~x & (geA ^ gtZ) & (0x80 * ones);
    return x ^ (lower >> 2);
}
} // namespace

int ConditionTest::columnField() const
{
    if (mode_ != Mode::Raw || limit_ || kindOf(file_.fields()[size_t(field_)].type) != FieldKind::Text)
        return -1;
    // A NUL in the word could match across two records of the column.
    return scanner_->word().find('\0') == std::string::npos ? field_ : -1;
}

void ConditionTest::narrowColumn(const TextColumn& column, std::vector<uint8_t>& pass) const
{
    const TextScanner& s = *scanner_;
    const size_t n = pass.size();
    if (n == 0)
        return;
    const size_t wlen = s.word().size();
    if (type_ == fdMatchStart || type_ == fdMatchExact) {
        // The first (up to) eight bytes of every record in one go; only records that pass
        // them and are long enough get the full comparison. A shorter text has its NUL where
        // the word has a character, so "at beginning" needs no length test of its own.
        const size_t head = std::min<size_t>(wlen, 8);
        uint64_t word = 0;
        if (head)
            std::memcpy(&word, s.word().data(), head);
        const uint64_t mask = head == 8 ? ~0ull : (uint64_t(1) << (8 * head)) - 1;
        const bool exact = type_ == fdMatchExact;
        const uint64_t* heads = column.head.data();
        const uint32_t* st = column.start.data();
        uint8_t* out = pass.data();
        auto run = [&](auto folding, auto exactLength) {
            for (size_t i = 0; i < n; ++i) {
                uint64_t v = heads[i];
                if constexpr (decltype(folding)::value)
                    v = foldEight(v);
                bool ok = ((v ^ word) & mask) == 0;
                if constexpr (decltype(exactLength)::value)
                    ok &= st[i + 1] - st[i] - 1 == wlen;
                if (wlen > 8 && ok)
                    ok = s.startsWith(column.at(i));
                out[i] &= uint8_t(ok);
            }
        };
        using T = std::true_type;
        using F = std::false_type;
        if (s.folds())
            exact ? run(T{}, T{}) : run(T{}, F{});
        else
            exact ? run(F{}, T{}) : run(F{}, F{});
        return;
    }
    if (type_ == fdMatchEnd) {
        for (size_t i = 0; i < n; ++i)
            if (pass[i])
                pass[i] = s.endsWith(column.at(i));
        return;
    }
    // "Anywhere": one scan over the whole column; the records between two hits fail, the
    // hit's record keeps what it had, and the scan goes on after it.
    const std::string_view all(column.bytes);
    size_t pos = 0, rec = 0, kept = 0;   // records before `kept` are decided
    while (pos < all.size()) {
        const size_t at = s.find(all.substr(pos));
        if (at == std::string_view::npos)
            break;
        const size_t abs = pos + at;
        while (column.start[rec + 1] <= abs)
            ++rec;
        std::memset(pass.data() + kept, 0, rec - kept);
        kept = rec + 1;
        pos = column.start[rec + 1];
    }
    std::memset(pass.data() + kept, 0, n - kept);
}

void ConditionTest::narrow(const std::vector<RecordId>& all, std::vector<uint8_t>& pass, const TextColumn* column) const
{
    const size_t n = all.size();
    if (mode_ == Mode::Never) {
        std::fill(pass.begin(), pass.end(), 0);
        return;
    }
    if (column && columnField() >= 0 && column->start.size() == n + 1) {
        narrowColumn(*column, pass);
        return;
    }
    if (mode_ == Mode::Raw) {
        // The hot loop: raw bytes straight from the file, no decoding, no copies.
        const TextScanner& s = *scanner_;
        const int f = field_;
        for (size_t i = 0; i < n; ++i) {
            if (!pass[i])
                continue;
            std::string_view t = file_.rawText(all[i], f);
            if (limit_ && t.size() > kMemoMatchLimit)
                t = t.substr(0, kMemoMatchLimit);
            bool ok;
            switch (type_) {
            case fdMatchExact: ok = s.equals(t); break;
            case fdMatchStart: ok = s.startsWith(t); break;
            case fdMatchAny: ok = s.contains(t); break;
            default: ok = s.endsWith(t); break;
            }
            pass[i] = ok;
        }
        return;
    }
    for (size_t i = 0; i < n; ++i)
        if (pass[i])
            pass[i] = test(all[i]);
}

std::vector<uint8_t> evaluateConditions(const TableFile& file, const std::vector<RecordId>& all,
                                        const FilterConditions& conditions, const TextFormat& fmt,
                                        const TextColumnSource& columns)
{
    std::vector<uint8_t> pass(all.size(), 1);
    for (const auto& c : conditions) {
        const ConditionTest test(file, c, fmt);
        const int f = test.columnField();
        test.narrow(all, pass, f >= 0 && columns ? columns(f) : nullptr);
    }
    return pass;
}

} // namespace tv
