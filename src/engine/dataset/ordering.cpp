#include "engine/dataset/ordering.h"

#include "engine/dataset/fieldtext.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>
#include <string_view>

namespace tv {

namespace {

bool sameNameNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x -= 32;
        if (y >= 'a' && y <= 'z') y -= 32;
        if (x != y)
            return false;
    }
    return true;
}

int findField(const TableFile& file, std::string_view name)
{
    const auto& fields = file.fields();
    for (size_t i = 0; i < fields.size(); ++i)
        if (sameNameNoCase(fields[i].name, name))
            return int(i);
    return -1;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

inline unsigned char fold(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

// Eight bytes starting at `from`, big-endian, zero-padded, folded when asked.
inline uint64_t packBytes(std::string_view s, size_t from, bool ci)
{
    uint64_t k = 0;
    for (size_t i = 0; i < 8; ++i) {
        const size_t at = from + i;
        const unsigned char c = at < s.size() ? static_cast<unsigned char>(s[at]) : 0;
        k = (k << 8) | (ci ? fold(c) : c);
    }
    return k;
}

int compareBytes(std::string_view a, std::string_view b, size_t from, bool ci)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = from; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (ci) {
            x = fold(x);
            y = fold(y);
        }
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool isTextual(const FieldDef& f)
{
    const FieldKind k = kindOf(f.type);
    return k == FieldKind::Text || k == FieldKind::Memo;
}

// An order-preserving unsigned image of a non-text value.
uint64_t orderBits(const Value& v)
{
    if (const auto* i = std::get_if<int64_t>(&v))
        return uint64_t(*i) ^ (uint64_t(1) << 63);
    if (const auto* d = std::get_if<double>(&v)) {
        uint64_t b = std::bit_cast<uint64_t>(*d == 0.0 ? 0.0 : *d);
        return (b & (uint64_t(1) << 63)) ? ~b : b | (uint64_t(1) << 63);
    }
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? 1 : 0;
    if (const auto* dt = std::get_if<Date>(&v))
        return uint64_t(int64_t(dt->day)) ^ (uint64_t(1) << 63);
    if (const auto* t = std::get_if<TimeOfDay>(&v))
        return uint64_t(int64_t(t->ms)) ^ (uint64_t(1) << 63);
    if (const auto* ts = std::get_if<Timestamp>(&v))
        return uint64_t(ts->ms) ^ (uint64_t(1) << 63);
    return 0;
}

struct Key {
    uint64_t k0, k1;
    uint32_t pos;
};

} // namespace

std::vector<int> indexKeyFields(const TableFile& file, const IndexDef& index, bool* foldCase)
{
    std::vector<int> out;
    if (foldCase)
        *foldCase = false;
    if (!index.fields.empty()) {
        for (const auto& name : index.fields) {
            const int f = findField(file, name);
            if (f < 0)
                return {};
            out.push_back(f);
        }
        return out;
    }
    // A simple key expression: terms joined by '+', each a field name, optionally
    // wrapped in UPPER(...).
    std::string_view expr = index.expressionText;
    while (!expr.empty()) {
        const size_t plus = expr.find('+');
        std::string_view term = trimmed(expr.substr(0, plus));
        expr = plus == std::string_view::npos ? std::string_view() : expr.substr(plus + 1);
        if (term.size() > 7 && sameNameNoCase(term.substr(0, 6), "UPPER(") && term.back() == ')') {
            term = trimmed(term.substr(6, term.size() - 7));
            if (foldCase)
                *foldCase = true;
        }
        const int f = findField(file, term);
        if (f < 0)
            return {};
        out.push_back(f);
    }
    return out;
}

std::vector<uint32_t> computeOrder(const TableFile& file, const std::vector<RecordId>& all, const IndexDef& index)
{
    std::vector<uint32_t> order(all.size());
    std::iota(order.begin(), order.end(), 0u);
    bool exprFold = false;
    const std::vector<int> keyFields = indexKeyFields(file, index, &exprFold);
    if (keyFields.empty() || all.empty())
        return order;
    const bool ci = index.caseInsensitive || exprFold;
    const bool desc = index.descending;
    const auto& fields = file.fields();
    const int first = keyFields[0];
    const bool firstText = isTextual(fields[size_t(first)]);

    // Folded key prefixes of the first field, so most comparisons are two integer compares.
    std::vector<Key> keys(all.size());
    std::vector<std::string_view> firstText_;
    if (firstText) {
        firstText_.resize(all.size());
        for (size_t i = 0; i < all.size(); ++i) {
            const std::string_view s = file.rawText(all[i], first);
            firstText_[i] = s;
            keys[i] = Key{packBytes(s, 0, ci), packBytes(s, 8, ci), uint32_t(i)};
        }
    } else {
        for (size_t i = 0; i < all.size(); ++i) {
            const Value v = file.value(all[i], first);
            keys[i] = Key{isNull(v) ? 0u : 1u, orderBits(v), uint32_t(i)};
        }
    }
    const bool firstExact = !firstText && kindOf(fields[size_t(first)].type) != FieldKind::Blob;

    // Compares what the prefixes do not decide: the rest of the first field and the
    // further fields of the key.
    auto tie = [&](uint32_t a, uint32_t b) -> int {
        if (firstText) {
            const int c = compareBytes(firstText_[a], firstText_[b], 16, ci);
            if (c)
                return c;
        } else if (!firstExact) {
            const int c = compareValues(file.value(all[a], first), file.value(all[b], first), ci);
            if (c)
                return c;
        }
        for (size_t k = 1; k < keyFields.size(); ++k) {
            const int f = keyFields[k];
            int c;
            if (isTextual(fields[size_t(f)]))
                c = compareBytes(file.rawText(all[a], f), file.rawText(all[b], f), 0, ci);
            else
                c = compareValues(file.value(all[a], f), file.value(all[b], f), ci);
            if (c)
                return c;
        }
        return 0;
    };
    auto less = [&](const Key& a, const Key& b) {
        if (a.k0 != b.k0)
            return (a.k0 < b.k0) != desc;
        if (a.k1 != b.k1)
            return (a.k1 < b.k1) != desc;
        const int c = tie(a.pos, b.pos);
        if (c)
            return (c < 0) != desc;
        return a.pos < b.pos;
    };
    if (!std::is_sorted(keys.begin(), keys.end(), less))
        std::sort(keys.begin(), keys.end(), less);
    for (size_t i = 0; i < keys.size(); ++i)
        order[i] = keys[i].pos;
    return order;
}

} // namespace tv
