#include "engine/dataset/condition.h"

#include "engine/codepage.h"
#include "engine/mappedfile.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <type_traits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tv {


ConditionTest::ConditionTest(const TableFile& file, const FieldCondition& c, const TextFormat& fmt, bool limitMemo)
    : file_(file), fmt_(fmt), type_(c.matchType), fold_(!c.caseSensitive)
{
    field_ = findFieldNoCase(file.fields(), c.fieldName);
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

namespace {
// Runs fn(begin, end) over the parts of [0, n), the parts on the machine's cores when there
// is enough work to pay for starting threads. An exception of any part reaches the caller
// once all threads are done; the pieces of a thread that cannot be started go to the others.
template <class Fn>
void inParts(size_t n, size_t minPart, Fn&& fn)
{
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t threads = std::min({cores, size_t(8), std::max<size_t>(1, n / minPart)});
    if (threads <= 1) {
        fn(size_t(0), n);
        return;
    }
    // Many more pieces than threads, each taken by whichever thread is free: a thread that the
    // machine slows down holds up no one.
    const size_t piece = std::max(minPart, (n + threads * 16 - 1) / (threads * 16));
    std::atomic<size_t> next{0};
    std::vector<std::exception_ptr> errors(threads);
    auto work = [&](size_t t) {
        try {
            for (size_t b = next.fetch_add(piece); b < n; b = next.fetch_add(piece))
                fn(b, std::min(n, b + piece));
        } catch (...) {
            errors[t] = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(threads);   // so that only starting a thread can fail below
    for (size_t t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(work, t);
        } catch (const std::system_error&) {
            break;
        }
    }
    work(0);
    for (auto& t : helpers)
        t.join();
    for (const auto& e : errors)
        if (e)
            std::rethrow_exception(e);
}

} // namespace

TextColumn TextColumn::build(const TableFile& file, const std::vector<RecordId>& all, int field)
{
    // Two passes over fixed parts of the records, each on all cores: the first finds the texts
    // and adds up each part's bytes; the second, with every part knowing where its bytes go,
    // copies the texts into place and fills in the starts, the heads and the block records.
    const size_t n = all.size();
    const size_t parts = (n + kRecordsPerPart - 1) / kRecordsPerPart;
    auto partOf = [&](size_t p) { return std::pair(p * kRecordsPerPart, std::min(n, (p + 1) * kRecordsPerPart)); };
    std::vector<std::string_view, BigAllocator<std::string_view>> texts(n);
    std::vector<uint64_t> partStart(parts + 1, 0);
    inParts(parts, 1, [&](size_t begin, size_t end) {
        for (size_t p = begin; p < end; ++p) {
            const auto [from, to] = partOf(p);
            file.rawTexts(all.data() + from, to - from, field, texts.data() + from);
            uint64_t bytes = 0;
            for (size_t i = from; i < to; ++i)
                bytes += texts[i].size() + 1;
            partStart[p + 1] = bytes;
        }
    });
    for (size_t p = 0; p < parts; ++p)
        partStart[p + 1] += partStart[p];
    const uint64_t total = partStart[parts];
    if (total > UINT32_MAX)
        throw EngineError(file.path() + ": too much text in one field to filter it in memory");
    const size_t blocks = size_t((total + 63) >> TextColumn::kBlockShift);
    TextColumn c;
    c.start.resize(n + 1);
    c.bytes.resize(size_t(total));
    c.head.resize(n);
    c.blockRecord.resize(blocks + (n != 0 ? 1 : 0));
    inParts(parts, 1, [&](size_t begin, size_t end) {
        for (size_t p = begin; p < end; ++p) {
            const auto [from, to] = partOf(p);
            uint64_t at = partStart[p];
            for (size_t i = from; i < to; ++i) {
                const std::string_view t = texts[i];
                char* out = c.bytes.data() + at;
                uint64_t h = 0;
                if (!t.empty()) {   // an empty text may have no storage at all
                    std::memcpy(out, t.data(), t.size());
                    std::memcpy(&h, t.data(), std::min<size_t>(t.size(), 8));
                }
                out[t.size()] = '\0';
                c.head[i] = h;
                c.start[i] = uint32_t(at);
                // The blocks of 64 bytes that begin within this text (or its NUL).
                const uint64_t next = at + t.size() + 1;
                for (uint64_t b = (at + 63) >> TextColumn::kBlockShift; b << TextColumn::kBlockShift < next; ++b)
                    c.blockRecord[size_t(b)] = uint32_t(i);
                at = next;
            }
        }
    });
    c.start[n] = uint32_t(total);
    if (n != 0)
        c.blockRecord[blocks] = uint32_t(n - 1);
    return c;
}

namespace {

struct HeadTest {
    const uint64_t* heads;
    const uint32_t* start;
    size_t n;
    uint64_t word;   // the word's first bytes, folded when folding
    uint64_t mask;   // the bytes of `word` that count
    uint32_t wordLen;
};

// out[i] stays set only when record i's first bytes match (and, for Exact, its length does).
template <bool Fold, bool Exact>
void headTestFrom(const HeadTest& h, size_t i, uint8_t* out)
{
    for (; i < h.n; ++i) {
        uint64_t v = h.heads[i];
        if constexpr (Fold)
            v = foldEight(v);
        bool ok = ((v ^ h.word) & h.mask) == 0;
        if constexpr (Exact)
            ok &= h.start[i + 1] - h.start[i] - 1 == h.wordLen;
        out[i] &= uint8_t(ok);
    }
}

#if defined(__x86_64__)
// Bit j of the index set to byte j of the value (in memory order).
constexpr uint32_t kBitsToBytes[16] = {0x00000000, 0x00000001, 0x00000100, 0x00000101, 0x00010000, 0x00010001,
                                       0x00010100, 0x00010101, 0x01000000, 0x01000001, 0x01000100, 0x01000101,
                                       0x01010000, 0x01010001, 0x01010100, 0x01010101};

// Four records a step: the same test on four heads in one vector.
template <bool Fold, bool Exact>
__attribute__((target("avx2"))) void headTestAvx2(const HeadTest& h, uint8_t* out)
{
    const __m256i word = _mm256_set1_epi64x(int64_t(h.word)), mask = _mm256_set1_epi64x(int64_t(h.mask));
    const __m256i bias = _mm256_set1_epi8(char(0x80 - 'a'));   // a-z become the 26 lowest signed bytes
    const __m256i below = _mm256_set1_epi8(char(-128 + 26));
    const __m256i caseBit = _mm256_set1_epi8(0x20);
    const __m128i length = _mm_set1_epi32(int(h.wordLen + 1));
    size_t i = 0;
    for (; i + 4 <= h.n; i += 4) {
        __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h.heads + i));
        if constexpr (Fold) {
            const __m256i lower = _mm256_cmpgt_epi8(below, _mm256_add_epi8(v, bias));
            v = _mm256_sub_epi8(v, _mm256_and_si256(lower, caseBit));
        }
        const __m256i same = _mm256_cmpeq_epi64(_mm256_and_si256(_mm256_xor_si256(v, word), mask), _mm256_setzero_si256());
        unsigned bits = unsigned(_mm256_movemask_pd(_mm256_castsi256_pd(same)));
        if constexpr (Exact) {
            const __m128i s0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h.start + i));
            const __m128i s1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h.start + i + 1));
            bits &= unsigned(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(_mm_sub_epi32(s1, s0), length))));
        }
        const uint32_t keep = kBitsToBytes[bits];
        uint32_t o;
        std::memcpy(&o, out + i, 4);
        o &= keep;
        std::memcpy(out + i, &o, 4);
    }
    headTestFrom<Fold, Exact>(h, i, out);
}
#endif

template <bool Fold, bool Exact>
void headTest(const HeadTest& h, uint8_t* out)
{
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2)
        return headTestAvx2<Fold, Exact>(h, out);
#endif
    headTestFrom<Fold, Exact>(h, 0, out);
}

} // namespace

bool ConditionTest::scansFile() const
{
    return mode_ == Mode::Raw && type_ == fdMatchAny && file_.textsMapped() && !file_.placedBytes(field_).empty();
}

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
        const bool exact = type_ == fdMatchExact;
        const HeadTest h{column.head.data(), column.start.data(), n, s.probe().head, s.probe().headMask, uint32_t(wlen)};
        if (s.folds())
            exact ? headTest<true, true>(h, pass.data()) : headTest<true, false>(h, pass.data());
        else
            exact ? headTest<false, true>(h, pass.data()) : headTest<false, false>(h, pass.data());
        if (wlen > 8) {
            // Few records are left. Their texts are gathered first, so that the memory
            // reads overlap, then compared in full.
            std::vector<uint32_t> left;
            forEachSetFlag(pass.data(), n, [&](size_t r) {
                left.push_back(uint32_t(r));
                __builtin_prefetch(column.bytes.data() + column.start[r]);
            });
            for (uint32_t r : left)
                pass[r] = s.startsWith(column.at(r));
        }
        return;
    }
    if (type_ == fdMatchEnd) {
        for (size_t i = 0; i < n; ++i)
            if (pass[i])
                pass[i] = s.endsWith(column.at(i));
        return;
    }
    // "Anywhere": one scan over the whole column marks the records the word occurs in; then
    // only marked records keep what they had.
    std::vector<uint8_t> found(n, 0);
    s.markTexts({column.bytes.data(), column.bytes.size()}, column.start.data(), column.blockRecord.data(), found.data());
    uint8_t* out = pass.data();
    for (size_t i = 0; i < n; ++i)
        out[i] &= found[i];
}

namespace {
// Calls fn(at, texts, k) for runs of the records all[i] that have pass[i] set, on all cores:
// texts[j] is the text of `field` of record all[at[j]]. The texts of a run are fetched in one
// call (the file reads ahead within a run) and handed on while their memory is still in the
// caches.
constexpr size_t kRun = 1024;

// The next run of up to kRun records all[i] with pass[i] set, from i on (before `end`): their
// ids and positions. Leaves i after the last one looked at.
size_t gatherRun(const std::vector<RecordId>& all, const uint8_t* pass, size_t& i, size_t end, RecordId* ids, uint32_t* at)
{
    size_t k = 0;
    for (; i < end && k < kRun; ++i)
        if (pass[i]) {
            ids[k] = all[i];
            at[k++] = uint32_t(i);
        }
    return k;
}

template <class Fn>
void forPassingRuns(const TableFile& file, const std::vector<RecordId>& all, const std::vector<uint8_t>& pass, int field, Fn&& fn)
{
    inParts(all.size(), kRecordsPerPart, [&](size_t begin, size_t end) {
        RecordId ids[kRun];
        uint32_t at[kRun];
        std::string_view texts[kRun];
        for (size_t i = begin; i < end;) {
            const size_t k = gatherRun(all, pass.data(), i, end, ids, at);
            file.rawTexts(ids, k, field, texts);
            fn(at, texts, k);
        }
    });
}

// The same, text by text: fn(i, text).
template <class Fn>
void forPassingTexts(const TableFile& file, const std::vector<RecordId>& all, const std::vector<uint8_t>& pass, int field, Fn&& fn)
{
    forPassingRuns(file, all, pass, field, [&](const uint32_t* at, const std::string_view* texts, size_t k) {
        for (size_t j = 0; j < k; ++j)
            fn(size_t(at[j]), texts[j]);
    });
}
} // namespace

// "Anywhere" in a memo field, scanning the texts where the file keeps them, a run of records
// at a time: the texts of the run are looked up (without reading them), then texts of
// consecutive records that follow one another closely in memory form a stretch that is
// scanned in one piece (files keep their memos mostly in record order, so memory is read
// nearly straight through, once). An occurrence counts for the text it lies in completely
// (within the matched part of a memo); one over a gap or across two texts counts for none.
// The bytes between two texts of a stretch are always readable: both ends lie on the same or
// on neighbouring memory pages.
void ConditionTest::narrowInPlace(const std::vector<RecordId>& all, std::vector<uint8_t>& pass) const
{
    // Texts closer than this are scanned as one stretch, the bytes between them included: a
    // straight scan is so much faster than one scan per text that reading the headers and
    // unused bytes of memo blocks (or another field's memos) in between costs less. Below a
    // page, so that the bytes between are on the pages of the texts themselves.
    constexpr size_t kGap = 4096;
    const TextScanner& s = *scanner_;
    const size_t wordLen = s.word().size();
    uint8_t* out = pass.data();
    forPassingRuns(file_, all, pass, field_, [&](const uint32_t* at, const std::string_view* found, size_t k) {
        // The texts that can hold the word, in run order.
        std::string_view texts[kRun];
        uint32_t whose[kRun];
        size_t m = 0;
        for (size_t j = 0; j < k; ++j) {
            const std::string_view t = found[j].substr(0, kMemoMatchLimit);
            if (t.size() < wordLen) {
                out[at[j]] = 0;
                continue;
            }
            texts[m] = t;
            whose[m++] = at[j];
        }
        size_t j = 0;
        while (j < m) {
            // The stretch: texts j .. last, each starting at or after the end of the one before
            // and less than kGap bytes after it.
            size_t last = j;
            while (last + 1 < m) {
                const std::string_view a = texts[last], b = texts[last + 1];
                if (b.data() < a.data() + a.size() || size_t(b.data() - (a.data() + a.size())) >= kGap)
                    break;
                ++last;
            }
            const char* from = texts[j].data();
            const char* stop = texts[last].data() + texts[last].size();
            size_t t = j;   // the text being looked at
            for (size_t x = s.find({from, size_t(stop - from)}); x != std::string_view::npos;) {
                const char* hit = from + x;
                while (t <= last && texts[t].data() + texts[t].size() <= hit)
                    out[whose[t++]] = 0;
                if (t > last)
                    break;
                const std::string_view text = texts[t];
                const char* next = hit + 1;
                if (hit >= text.data() && hit + wordLen <= text.data() + text.size()) {
                    ++t;   // found: this text passes, the scan goes on after it
                    next = text.data() + text.size();
                }
                if (next >= stop)
                    break;
                from = next;
                x = s.find({from, size_t(stop - from)});
            }
            for (; t <= last; ++t)
                out[whose[t]] = 0;
            j = last + 1;
        }
    });
}

// "Anywhere" in a text or memo field, the file that holds the texts (the memo file, or the
// table itself for a short text field) scanned straight through: each record's text is
// placed in the file from its record alone, the file (or, when few records are still in, the
// parts of it their places make up) is scanned on all cores, marking every granule of the file
// where the word starts, and only records whose place holds a marked granule have their texts
// looked at (by narrowInPlace, which gives the exact answer and names any damage). Records
// whose text could not be placed are looked at too. A word found almost everywhere makes the
// scan give up early: then every record is looked at anyway.
void ConditionTest::narrowFromFile(const std::vector<RecordId>& all, std::vector<uint8_t>& pass) const
{
    using Place = TableFile::TextPlace;
    using Span = std::pair<uint64_t, uint64_t>;
    constexpr unsigned kGranuleShift = 8;
    constexpr uint64_t kKeep = ~uint64_t(0);   // look at the text whatever the scan finds
    constexpr size_t kGap = 4096;              // places this close are scanned as one stretch
    constexpr size_t kPiece = size_t(1) << 21; // the scan's share of work
    const std::string_view bytes = file_.placedBytes(field_);
    const TextScanner& s = *scanner_;
    const size_t wordLen = s.word().size();
    const size_t n = all.size();
    uint8_t* out = pass.data();
    if (bytes.size() >> kGranuleShift >= (uint64_t(1) << 32)) {
        narrowInPlace(all, pass);   // a memo file too large for the packed granule numbers
        return;
    }
    // With most records still in, the whole file is scanned while the records are placed.
    const bool whole = size_t(std::count(pass.begin(), pass.end(), 1)) >= n / 2;
    if (whole)
        file_.expectScan(field_);

    // Places: each record's granules [first, last] where the word can start in its text, packed
    // in one value; and the stretches of the file those places make up (when not all is scanned).
    std::vector<uint64_t, BigAllocator<uint64_t>> granules(n);
    std::vector<Span> stretches;
    std::mutex lock;
    auto place = [&](size_t begin, size_t end) {
        RecordId ids[kRun];
        uint32_t at[kRun];
        Place places[kRun];
        std::vector<Span> mine;
        for (size_t i = begin; i < end;) {
            const size_t k = gatherRun(all, out, i, end, ids, at);
            file_.placeTexts(ids, k, field_, kMemoMatchLimit, places);
            for (size_t j = 0; j < k; ++j) {
                const Place& p = places[j];
                if (p.from == Place::kHere) {
                    out[at[j]] = s.contains(p.here.substr(0, kMemoMatchLimit));
                    granules[at[j]] = kKeep;   // the few that pass are read once more below
                    continue;
                }
                if (p.from == Place::kLookUp) {
                    granules[at[j]] = kKeep;
                    continue;
                }
                if (p.from == Place::kNone || p.to - p.from < wordLen) {
                    out[at[j]] = 0;
                    continue;
                }
                granules[at[j]] = (p.from >> kGranuleShift) << 32 | ((p.to - wordLen) >> kGranuleShift);
                if (whole)
                    continue;
                if (!mine.empty() && p.from >= mine.back().first && p.from <= mine.back().second + kGap)
                    mine.back().second = std::max(mine.back().second, p.to);
                else
                    mine.emplace_back(p.from, p.to);
            }
        }
        const std::lock_guard<std::mutex> hold(lock);
        stretches.insert(stretches.end(), mine.begin(), mine.end());
    };

    // The scan, in pieces; a piece's occurrences are those that start in it (they may end in
    // the next piece, when that one follows on).
    std::vector<Span> pieces;
    auto cut = [&](uint64_t from, uint64_t to) {
        for (uint64_t a = from; a < to;) {
            const uint64_t b = std::min(to, (a / kPiece + 1) * kPiece);
            pieces.emplace_back(a, b);
            a = b;
        }
    };
    const size_t words = (bytes.size() >> kGranuleShift) / 64 + 1;
    std::unique_ptr<std::atomic<uint64_t>[]> marked(new std::atomic<uint64_t>[words]());
    std::atomic<size_t> marks{0};
    std::atomic<bool> dense{false};
    const size_t tooMany = std::max<size_t>(1024, n / 8);
    auto scan = [&](size_t i) {
        if (dense.load(std::memory_order_relaxed))
            return;
        const auto [from, to] = pieces[i];
        const bool followed = i + 1 < pieces.size() && pieces[i + 1].first == to;
        const uint64_t stop = std::min<uint64_t>(followed ? pieces[i + 1].second : to, to + wordLen - 1);
        size_t found = 0;
        for (uint64_t pos = from; pos < to;) {
            const size_t x = s.find(bytes.substr(pos, stop - pos));
            if (x == std::string_view::npos || pos + x >= to)
                break;
            const uint64_t g = (pos + x) >> kGranuleShift;
            marked[g / 64].fetch_or(uint64_t(1) << (g % 64), std::memory_order_relaxed);
            ++found;
            pos = (g + 1) << kGranuleShift;   // the rest of this granule is marked already
        }
        if (found && marks.fetch_add(found, std::memory_order_relaxed) + found > tooMany)
            dense.store(true, std::memory_order_relaxed);
    };

    const size_t parts = (n + kRecordsPerPart - 1) / kRecordsPerPart;
    if (whole) {
        // Placing reads one record after another (waiting on memory), the scan reads the memo
        // file straight through (as fast as memory goes): handed out mixed, so that the cores
        // do both at once.
        cut(0, bytes.size());
        const size_t items = parts + pieces.size();
        inParts(items, 1, [&](size_t begin, size_t end) {
            for (size_t k = begin; k < end; ++k) {
                const size_t placedBefore = k * parts / items, placedThrough = (k + 1) * parts / items;
                if (placedThrough != placedBefore)
                    place(placedBefore * kRecordsPerPart, std::min(n, placedThrough * kRecordsPerPart));
                else
                    scan(k - placedThrough);
            }
        });
    } else {
        inParts(n, kRecordsPerPart, place);
        std::sort(stretches.begin(), stretches.end());
        for (size_t i = 0; i < stretches.size();) {
            uint64_t from = stretches[i].first, to = stretches[i].second;
            for (++i; i < stretches.size() && stretches[i].first <= to + kGap; ++i)
                to = std::max(to, stretches[i].second);
            cut(from, to);
        }
        inParts(pieces.size(), 1, [&](size_t begin, size_t end) {
            for (size_t i = begin; i < end; ++i)
                scan(i);
        });
    }
    if (!dense.load()) {
        // Records whose place holds no marked granule fail.
        inParts(n, kRecordsPerPart, [&](size_t begin, size_t end) {
            for (size_t i = begin; i < end; ++i) {
                if (!out[i] || granules[i] == kKeep)
                    continue;
                const uint64_t first = granules[i] >> 32, last = granules[i] & 0xFFFFFFFFu;
                bool any = false;
                for (uint64_t w = first / 64; w <= last / 64 && !any; ++w) {
                    uint64_t bits = marked[w].load(std::memory_order_relaxed);
                    if (w == first / 64)
                        bits &= ~uint64_t(0) << (first % 64);
                    if (w == last / 64 && last % 64 != 63)
                        bits &= (uint64_t(1) << (last % 64 + 1)) - 1;
                    any = bits != 0;
                }
                out[i] = any;
            }
        });
    }
    narrowInPlace(all, pass);
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
    if (scansFile()) {
        narrowFromFile(all, pass);
        return;
    }
    if (mode_ == Mode::Raw && type_ == fdMatchAny && limit_ && file_.textsMapped()) {
        narrowInPlace(all, pass);
        return;
    }
    if (mode_ == Mode::Raw) {
        // The hot loop: raw bytes straight from the file, no decoding, no copies. Reading a
        // table does not change it, so large tables are searched on all cores at once.
        const TextScanner& s = *scanner_;
        const int f = field_;
        forPassingTexts(file_, all, pass, f, [&](size_t i, std::string_view t) {
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
        });
        return;
    }
    for (size_t i = 0; i < n; ++i)
        if (pass[i])
            pass[i] = test(all[i]);
}

namespace {

// The filter record by record, each record's fault kept to itself: the way past damage, taken
// only once the fast way has met some.
std::vector<uint8_t> evaluatePastDamage(const TableFile& file, const std::vector<RecordId>& all,
                                        const FilterConditions& conditions, const TextFormat& fmt,
                                        const EngineError& met, FilterDamage& damage)
{
    std::vector<ConditionTest> tests;
    tests.reserve(conditions.size());
    for (const auto& c : conditions)
        tests.emplace_back(file, c, fmt);
    std::vector<uint8_t> pass(all.size(), 1);
    damage = {};
    for (size_t i = 0; i < all.size(); ++i) {
        for (const ConditionTest& t : tests) {
            try {
                if (!t.test(all[i])) {
                    pass[i] = 0;
                    break;
                }
            } catch (const EngineError& e) {
                pass[i] = 0;
                if (damage.records++ == 0)
                    damage.first = e.what();
                break;
            }
        }
    }
    if (damage.records == all.size())
        throw met;   // nothing could be read: the table, not a record, is at fault
    return pass;
}

} // namespace

std::vector<uint8_t> evaluateConditions(const TableFile& file, const std::vector<RecordId>& all,
                                        const FilterConditions& conditions, const TextFormat& fmt,
                                        const TextColumnSource& columns, FilterDamage* damage)
{
    std::vector<uint8_t> pass(all.size(), 1);
    if (damage)
        *damage = {};
    try {
        for (const auto& c : conditions) {
            const ConditionTest test(file, c, fmt);
            const int f = test.columnField();
            // A scan of the file as it is beats building the column first, so then a column
            // is used only when one is there already.
            test.narrow(all, pass, f >= 0 && columns ? columns(f, !test.scansFile()) : nullptr);
        }
    } catch (const EngineError& e) {
        if (!damage)
            throw;
        pass = evaluatePastDamage(file, all, conditions, fmt, e, *damage);
    }
    // A filter over a large table has read through its files (a memo file of gigabytes, for an
    // "anywhere" search), and every page it passed would stay in the program's resident
    // memory. They are let go here: they stay in the system's file cache, so the next search
    // maps them again from there without reading the disk, about as fast as this one did.
    MappedFile::releaseResidentPages();
    return pass;
}

} // namespace tv
