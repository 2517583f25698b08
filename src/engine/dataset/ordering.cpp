#include "engine/dataset/ordering.h"

#include "engine/dataset/fieldtext.h"
#include "engine/mappedfile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <numeric>
#include <optional>
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

// The radix keys of the first key field, one a record.
struct FirstKeys {
    std::vector<Key> keys;
    std::string text;              // a text field's (folded) texts, one after another
    std::vector<uint32_t> start;   // where each record's text starts in `text`; one more for the end
    bool isText = false;
    bool isBlob = false;

    std::string_view textOf(uint32_t p) const { return std::string_view(text.data() + start[p], start[p + 1] - start[p]); }

    // Text folded into one block (so ties read neighbouring memory, not the records), with its
    // first sixteen bytes as the radix key. False when there is too much text to order in memory.
    bool readText(const TableFile& file, const std::vector<RecordId>& all, int field, bool ci)
    {
        isText = true;
        const size_t n = all.size();
        keys.resize(n);
        start.reserve(n + 1);
        const int size = file.fields()[size_t(field)].size;
        text.reserve(n * size_t(size > 0 && size <= 255 ? size : 32));
        for (size_t i = 0; i < n; ++i) {
            const std::string_view s = file.rawText(all[i], field);
            start.push_back(uint32_t(text.size()));
            const size_t at = text.size();
            text.append(s);
            char* p = text.data() + at;
            if (ci)
                for (size_t k = 0; k < s.size(); ++k)
                    p[k] = char(fold(static_cast<unsigned char>(p[k])));
            const std::string_view f(p, s.size());
            keys[i] = Key{packBytes(f, 0, false), packBytes(f, 8, false), uint32_t(i)};
            if (text.size() > UINT32_MAX)
                return false;
        }
        start.push_back(uint32_t(text.size()));
        return true;
    }

    // Other types as an order-preserving integer image (0 = null). A binary field gets no
    // image: the full comparison orders it.
    void readValues(const TableFile& file, const std::vector<RecordId>& all, int field, bool blob)
    {
        isBlob = blob;
        const size_t n = all.size();
        keys.resize(n);
        if (blob) {
            for (size_t i = 0; i < n; ++i)
                keys[i] = Key{0, 0, uint32_t(i)};
            return;
        }
        for (size_t i = 0; i < n; ++i) {
            const Value v = file.value(all[i], field);
            keys[i] = Key{isNull(v) ? 0u : std::max<uint64_t>(1, orderBits(v)), 0, uint32_t(i)};
        }
    }

    // Descending: the radix sort then puts the greatest first.
    void invert()
    {
        for (Key& k : keys) {
            k.k0 = ~k.k0;
            k.k1 = ~k.k1;
        }
    }
};

// What the sixteen bytes of the radix key do not decide: the rest of the first field, then
// the further fields of the key. Ascending; the caller turns it round for a descending index.
class TieBreak {
public:
    TieBreak(const TableFile& file, const std::vector<RecordId>& all, const std::vector<int>& keyFields,
             const FirstKeys& first, bool ci)
        : file_(file), all_(all), keyFields_(keyFields), first_(first), ci_(ci)
    {
    }

    // Whether records with equal radix keys can still differ.
    bool matters() const { return first_.isText || first_.isBlob || keyFields_.size() > 1; }

    int operator()(uint32_t a, uint32_t b) const
    {
        if (first_.isText) {
            const int c = compareBytes(first_.textOf(a), first_.textOf(b), 16, false);
            if (c)
                return c;
        } else if (first_.isBlob) {
            const int f = keyFields_[0];
            const int c = compareValues(file_.value(all_[a], f), file_.value(all_[b], f), ci_);
            if (c)
                return c;
        }
        const auto& fields = file_.fields();
        for (size_t k = 1; k < keyFields_.size(); ++k) {
            const int f = keyFields_[k];
            int c;
            if (isTextual(fields[size_t(f)]))
                c = compareBytes(file_.rawText(all_[a], f), file_.rawText(all_[b], f), 0, ci_);
            else
                c = compareValues(file_.value(all_[a], f), file_.value(all_[b], f), ci_);
            if (c)
                return c;
        }
        return 0;
    }

private:
    const TableFile& file_;
    const std::vector<RecordId>& all_;
    const std::vector<int>& keyFields_;
    const FirstKeys& first_;
    bool ci_;
};

// Whether the keys already stand in order, so that nothing need be sorted: ascending, and no
// two alike where equal radix keys leave the order to the full comparison.
bool inKeyOrder(const std::vector<Key>& keys, bool tiesMatter)
{
    for (size_t i = 1; i < keys.size(); ++i) {
        const Key& a = keys[i - 1];
        const Key& b = keys[i];
        if (!(a.k0 < b.k0 || (a.k0 == b.k0 && (a.k1 < b.k1 || (a.k1 == b.k1 && !tiesMatter)))))
            return false;
    }
    return true;
}

// Radix-sorted keys: each run of equal sixteen-byte keys ordered by `less`.
template <typename Less>
void sortRuns(std::vector<Key>& keys, Less less)
{
    const size_t n = keys.size();
    for (size_t i = 0; i < n;) {
        size_t j = i + 1;
        while (j < n && keys[j].k0 == keys[i].k0 && keys[j].k1 == keys[i].k1)
            ++j;
        if (j - i > 1)
            std::sort(keys.begin() + long(i), keys.begin() + long(j), less);
        i = j;
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

// The positions of `all` in the order of `stored` (record ids, others among them), when every
// record of `all` is there once.
static std::optional<std::vector<uint32_t>> positionsInOrder(const std::vector<RecordId>& stored, const std::vector<RecordId>& all)
{
    RecordId maxId = 0;
    for (RecordId id : all)
        maxId = std::max(maxId, id);
    constexpr uint32_t kAbsent = ~uint32_t(0);
    std::vector<uint32_t> posById(all.empty() ? 0 : size_t(maxId) + 1, kAbsent);
    for (size_t i = 0; i < all.size(); ++i)
        posById[all[i]] = uint32_t(i);
    std::vector<uint32_t> order;
    order.reserve(all.size());
    for (RecordId id : stored) {
        if (id >= posById.size() || posById[id] == kAbsent)
            continue;
        order.push_back(posById[id]);
        posById[id] = kAbsent;
    }
    if (order.size() != all.size())
        return std::nullopt;
    return order;
}

std::vector<uint32_t> computeOrder(const TableFile& file, const std::vector<RecordId>& all, const IndexDef& index)
{
    if (const auto stored = file.storedKeyOrder(index))
        if (auto order = positionsInOrder(*stored, all))
            return std::move(*order);
    std::vector<uint32_t> order(all.size());
    std::iota(order.begin(), order.end(), 0u);
    bool exprFold = false;
    const std::vector<int> keyFields = indexKeyFields(file, index, &exprFold);
    if (keyFields.empty() || all.empty())
        return order;
    const bool ci = index.caseInsensitive || exprFold;
    const bool desc = index.descending;
    const FieldDef& first = file.fields()[size_t(keyFields[0])];

    FirstKeys keys;
    if (isTextual(first)) {
        if (!keys.readText(file, all, keyFields[0], ci))
            return order;   // too much text to order in memory: keep file order
    } else {
        keys.readValues(file, all, keyFields[0], kindOf(first.type) == FieldKind::Blob);
    }
    if (desc)
        keys.invert();

    const TieBreak tie{file, all, keyFields, keys, ci};
    if (!inKeyOrder(keys.keys, tie.matters())) {
        radixSort(keys.keys);
        if (tie.matters())
            sortRuns(keys.keys, [&](const Key& a, const Key& b) {
                const int c = tie(a.pos, b.pos);
                if (c)
                    return (c < 0) != desc;
                return a.pos < b.pos;
            });
    }
    for (size_t i = 0; i < keys.keys.size(); ++i)
        order[i] = keys.keys[i].pos;
    // The keys were read from every record of the file: its pages are let go, as after a
    // filter (evaluateConditions); the file cache keeps them.
    MappedFile::releaseResidentPages();
    return order;
}

} // namespace tv
