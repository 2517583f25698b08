#include "engine/dataset/ordering.h"

#include "engine/dataset/fieldtext.h"

#include <algorithm>
#include <array>
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
    if (!ci && from + 8 <= s.size()) {
        uint64_t k;
        std::memcpy(&k, s.data() + from, 8);
        return __builtin_bswap64(k);
    }
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
    if (!ci) {
        const int c = n > from ? std::memcmp(a.data() + from, b.data() + from, n - from) : 0;
        if (c)
            return c < 0 ? -1 : 1;
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    }
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
    uint64_t k0;     // the first eight (folded) bytes of the first field, or its value's image
    uint64_t k1;     // the next eight bytes of a text field
    uint32_t pos;
};

// Stable LSD radix sort on (k0, k1); byte positions on which every key agrees are skipped.
void radixSort(std::vector<Key>& keys)
{
    const size_t n = keys.size();
    auto byteOf = [](const Key& k, int b) -> size_t {
        return b < 8 ? (k.k1 >> (8 * b)) & 255 : (k.k0 >> (8 * (b - 8))) & 255;
    };
    std::vector<std::array<uint32_t, 256>> counts(16);
    for (auto& c : counts)
        c.fill(0);
    for (const Key& k : keys) {
        for (int b = 0; b < 8; ++b) {
            ++counts[size_t(b)][(k.k1 >> (8 * b)) & 255];
            ++counts[size_t(b + 8)][(k.k0 >> (8 * b)) & 255];
        }
    }
    std::vector<Key> tmp(n);
    for (int b = 0; b < 16; ++b) {
        auto& c = counts[size_t(b)];
        if (c[byteOf(keys[0], b)] == n)
            continue;
        uint32_t sum = 0;
        for (auto& x : c) {
            const uint32_t v = x;
            x = sum;
            sum += v;
        }
        for (const Key& k : keys)
            tmp[c[byteOf(k, b)]++] = k;
        keys.swap(tmp);
    }
}

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
    const bool firstBlob = kindOf(fields[size_t(first)].type) == FieldKind::Blob;
    const size_t n = all.size();

    // The first field's key: text folded into one block (so ties read neighbouring memory,
    // not the records), with its first eight bytes as the radix key; other types as an
    // order-preserving integer image (0 = null).
    std::vector<Key> keys(n);
    std::string folded;
    std::vector<uint32_t> start;
    if (firstText) {
        start.reserve(n + 1);
        const int size = fields[size_t(first)].size;
        folded.reserve(n * size_t(size > 0 && size <= 255 ? size : 32));
        for (size_t i = 0; i < n; ++i) {
            const std::string_view s = file.rawText(all[i], first);
            start.push_back(uint32_t(folded.size()));
            const size_t at = folded.size();
            folded.append(s);
            char* p = folded.data() + at;
            if (ci)
                for (size_t k = 0; k < s.size(); ++k)
                    p[k] = char(fold(static_cast<unsigned char>(p[k])));
            const std::string_view f(p, s.size());
            keys[i] = Key{packBytes(f, 0, false), packBytes(f, 8, false), uint32_t(i)};
            if (folded.size() > UINT32_MAX)
                return order;   // too much text to order in memory: keep file order
        }
        start.push_back(uint32_t(folded.size()));
    } else if (!firstBlob) {
        for (size_t i = 0; i < n; ++i) {
            const Value v = file.value(all[i], first);
            keys[i] = Key{isNull(v) ? 0u : std::max<uint64_t>(1, orderBits(v)), 0, uint32_t(i)};
        }
    }
    if (desc)
        for (Key& k : keys) {
            k.k0 = ~k.k0;
            k.k1 = ~k.k1;
        }

    // What the sixteen bytes do not decide: the rest of the first field, then the further
    // fields of the key.
    auto textOf = [&](uint32_t p) {
        return std::string_view(folded.data() + start[p], start[p + 1] - start[p]);
    };
    auto tie = [&](uint32_t a, uint32_t b) -> int {
        if (firstText) {
            const int c = compareBytes(textOf(a), textOf(b), 16, false);
            if (c)
                return c;
        } else if (firstBlob) {
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
    const bool tiesMatter = firstText || firstBlob || keyFields.size() > 1;

    bool sorted = true;
    for (size_t i = 1; i < n && sorted; ++i)
        sorted = keys[i - 1].k0 < keys[i].k0 ||
                 (keys[i - 1].k0 == keys[i].k0 && (keys[i - 1].k1 < keys[i].k1 || (keys[i - 1].k1 == keys[i].k1 && !tiesMatter)));
    if (!sorted) {
        radixSort(keys);
        if (tiesMatter) {
            // Equal sixteen-byte keys form runs; each run is ordered by the full key.
            auto runLess = [&](const Key& a, const Key& b) {
                const int c = tie(a.pos, b.pos);
                if (c)
                    return (c < 0) != desc;
                return a.pos < b.pos;
            };
            for (size_t i = 0; i < n;) {
                size_t j = i + 1;
                while (j < n && keys[j].k0 == keys[i].k0 && keys[j].k1 == keys[i].k1)
                    ++j;
                if (j - i > 1)
                    std::sort(keys.begin() + long(i), keys.begin() + long(j), runLess);
                i = j;
            }
        }
    }
    for (size_t i = 0; i < n; ++i)
        order[i] = keys[i].pos;
    return order;
}

} // namespace tv
