#include "engine/dataset/textscan.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TV_X86 1
#endif

namespace tv {

namespace {

inline unsigned char foldByte(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }
inline bool isAsciiLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

// Compares folded bytes: `w` is already folded.
inline bool equalFolded(const char* hay, const char* w, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (foldByte(static_cast<unsigned char>(hay[i])) != static_cast<unsigned char>(w[i]))
            return false;
    return true;
}

struct ScanArgs {
    const char* text;
    size_t len;
    const char* word;   // folded when `fold`
    size_t wordLen;
    bool fold;
    TextScanner::Probe p;
};

inline bool verifyAt(const ScanArgs& a, const char* p)
{
    return a.fold ? equalFolded(p, a.word, a.wordLen) : std::memcmp(p, a.word, a.wordLen) == 0;
}

// Whether the word stands at `at`: its first eight bytes in one piece where the text has them.
inline bool sameAt(const ScanArgs& a, size_t at)
{
    if (at + 8 > a.len)
        return verifyAt(a, a.text + at);
    uint64_t v;
    std::memcpy(&v, a.text + at, 8);
    if (a.fold)
        v = foldEight(v);
    if (((v ^ a.p.head) & a.p.headMask) != 0)
        return false;
    if (a.wordLen <= 8)
        return true;
    const char* p = a.text + at + 8;
    const char* w = a.word + 8;
    return a.fold ? equalFolded(p, w, a.wordLen - 8) : std::memcmp(p, w, a.wordLen - 8) == 0;
}

// Whether the two probed bytes of the word stand where they would if it began at i.
inline bool isCandidate(const ScanArgs& a, size_t i)
{
    return (static_cast<unsigned char>(a.text[i + a.p.firstAt]) | a.p.firstMask) == a.p.firstByte &&
           (static_cast<unsigned char>(a.text[i + a.p.lastAt]) | a.p.lastMask) == a.p.lastByte;
}

// Byte by byte from `i` on: the short tail of a vector scan, or the whole scan elsewhere.
size_t scanFrom(const ScanArgs& a, size_t i)
{
    const size_t stop = a.len - a.wordLen + 1;
    for (; i < stop; ++i)
        if (isCandidate(a, i) && sameAt(a, i))
            return i;
    return std::string_view::npos;
}

#ifdef TV_X86
// A load of `width` bytes at p stays inside p's memory page, so it cannot fault even when
// it reaches past the end of the text (the bytes beyond are masked out).
inline bool samePage(const void* p, size_t width)
{
    return (reinterpret_cast<uintptr_t>(p) & 4095) <= 4096 - width;
}

// The vector kernels. They may read a little past the end of a text (never past its page).
#define TV_AVX2 __attribute__((target("avx2,popcnt"), no_sanitize("address")))

struct Avx2Probe {
    __m256i fm, fb, lm, lb;
    size_t firstAt, lastAt;
};

TV_AVX2 inline Avx2Probe probeOf(const ScanArgs& a)
{
    return {_mm256_set1_epi8(char(a.p.firstMask)), _mm256_set1_epi8(char(a.p.firstByte)), _mm256_set1_epi8(char(a.p.lastMask)),
            _mm256_set1_epi8(char(a.p.lastByte)), a.p.firstAt, a.p.lastAt};
}

// Byte i all ones: the word may begin at p[i] (both probed bytes match).
TV_AVX2 inline __m256i candidateBytes(const Avx2Probe& k, const char* p)
{
    const __m256i f = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k.firstAt));
    const __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k.lastAt));
    return _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(f, k.fm), k.fb),
                            _mm256_cmpeq_epi8(_mm256_or_si256(l, k.lm), k.lb));
}

// The same as bits: bit i for byte i.
TV_AVX2 inline uint32_t candidates32(const Avx2Probe& k, const char* p)
{
    return uint32_t(_mm256_movemask_epi8(candidateBytes(k, p)));
}

TV_AVX2 inline uint64_t candidates64(const Avx2Probe& k, const char* p)
{
    return candidates32(k, p) | (uint64_t(candidates32(k, p + 32)) << 32);
}

template <class Bits>
inline size_t firstVerified(const ScanArgs& a, size_t base, Bits bits)
{
    while (bits) {
        const size_t at = base + size_t(__builtin_ctzll(uint64_t(bits)));
        if (sameAt(a, at))
            return at;
        bits &= bits - 1;
    }
    return std::string_view::npos;
}

// The first verified candidate of two 64-byte blocks at `base` (kept out of the scan loop).
__attribute__((noinline)) size_t verifyCandidates(const ScanArgs& a, size_t base, uint64_t lo, uint64_t hi)
{
    const size_t at = firstVerified(a, base, lo);
    return at != std::string_view::npos ? at : firstVerified(a, base + 64, hi);
}

TV_AVX2 size_t scanAvx2(const ScanArgs& a)
{
    const Avx2Probe k = probeOf(a);
    const size_t stop = a.len - a.wordLen + 1;   // candidate starts are < stop
    size_t i = 0;
    // Four blocks a round with one test for all of them: the loop holds no call, so the
    // probes stay in registers and many loads are in flight at once.
    while (i + 128 <= stop) {
        const char* p = a.text + i;
        __m256i e[4];
        for (int b = 0; b < 4; ++b)
            e[b] = candidateBytes(k, p + 32 * b);
        const __m256i any = _mm256_or_si256(_mm256_or_si256(e[0], e[1]), _mm256_or_si256(e[2], e[3]));
        if (!_mm256_testz_si256(any, any)) {
            const uint64_t lo = uint32_t(_mm256_movemask_epi8(e[0])) | (uint64_t(uint32_t(_mm256_movemask_epi8(e[1]))) << 32);
            const uint64_t hi = uint32_t(_mm256_movemask_epi8(e[2])) | (uint64_t(uint32_t(_mm256_movemask_epi8(e[3]))) << 32);
            const size_t at = verifyCandidates(a, i, lo, hi);
            if (at != std::string_view::npos)
                return at;
        }
        i += 128;
    }
    for (; i + 32 <= stop; i += 32) {
        const uint32_t bits = candidates32(k, a.text + i);
        if (bits) {
            const size_t at = firstVerified(a, i, bits);
            if (at != std::string_view::npos)
                return at;
        }
    }
    if (i == stop)
        return std::string_view::npos;
    const size_t rest = stop - i;   // 1..31 candidate starts left
    if (stop >= 32) {
        // One more block ending at the last start; the starts already seen are masked off.
        const uint32_t bits = candidates32(k, a.text + stop - 32) >> (32 - rest);
        return bits ? firstVerified(a, i, bits) : std::string_view::npos;
    }
    if (samePage(a.text + k.firstAt, 32) && samePage(a.text + k.lastAt, 32)) {
        // A short text: one block read past its end within the page, extra bits masked off.
        const uint32_t bits = candidates32(k, a.text) & ((1u << rest) - 1);
        return bits ? firstVerified(a, 0, bits) : std::string_view::npos;
    }
    return scanFrom(a, i);
}

// Short texts hold few occurrences each, so every one is marked (no skipping to the next
// text), and the work per occurrence has no hard-to-predict branches: the scan of a stretch
// of the texts only notes its 64-byte blocks that hold candidates; then, for each of those, a
// word of up to eight bytes is compared in one piece, and the text is the one the block
// starts in plus the NULs before the occurrence.
struct MarkArgs {
    const ScanArgs& a;
    const uint32_t* blockRecord;
    uint8_t* found;
};

// How many NULs the block at `base` holds before `at`.
TV_AVX2 inline size_t nulsBefore(const ScanArgs& a, size_t base, size_t at)
{
    const uint64_t below = (uint64_t(1) << (at - base)) - 1;
    uint64_t nul = 0;
    if (base + 64 <= a.len) {
        const __m256i zero = _mm256_setzero_si256();
        const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a.text + base));
        const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a.text + base + 32));
        nul = uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, zero))) |
              (uint64_t(uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, zero)))) << 32);
    } else {
        for (size_t j = base; j < at; ++j)
            nul |= uint64_t(a.text[j] == '\0') << (j - base);
    }
    return size_t(__builtin_popcountll(nul & below));
}

TV_AVX2 inline void markBlock(const MarkArgs& m, size_t base, uint64_t bits)
{
    const size_t first = m.blockRecord[base >> 6];
    for (; bits; bits &= bits - 1) {
        const size_t at = base + size_t(__builtin_ctzll(bits));
        m.found[first + nulsBefore(m.a, base, at)] |= uint8_t(sameAt(m.a, at));
    }
}

TV_AVX2 void markTextsAvx2(const ScanArgs& a, const uint32_t* blockRecord, uint8_t* found)
{
    const Avx2Probe k = probeOf(a);
    const size_t stop = a.len - a.wordLen + 1;
    const MarkArgs m{a, blockRecord, found};
    constexpr size_t kStretch = 256;   // blocks scanned before their candidates are checked
    uint32_t blockAt[kStretch];
    uint64_t blockBits[kStretch];
    size_t i = 0;
    while (i + 64 <= stop) {
        size_t noted = 0;
        for (size_t b = 0; b < kStretch && i + 64 <= stop; ++b, i += 64) {
            const uint64_t bits = candidates64(k, a.text + i);
            blockAt[noted] = uint32_t(i >> 6);
            blockBits[noted] = bits;
            noted += bits != 0;
        }
        for (size_t n = 0; n < noted; ++n)
            markBlock(m, size_t(blockAt[n]) << 6, blockBits[n]);
    }
    uint64_t tail = 0;
    for (size_t j = i; j < stop; ++j)
        tail |= uint64_t(isCandidate(a, j)) << (j - i);
    if (tail)
        markBlock(m, i, tail);
}

size_t scanSse2(const ScanArgs& a)
{
    const __m128i fm = _mm_set1_epi8(char(a.p.firstMask)), fb = _mm_set1_epi8(char(a.p.firstByte));
    const __m128i lm = _mm_set1_epi8(char(a.p.lastMask)), lb = _mm_set1_epi8(char(a.p.lastByte));
    const size_t stop = a.len - a.wordLen + 1;
    size_t i = 0;
    for (; i + 16 <= stop; i += 16) {
        const __m128i f0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a.text + i + a.p.firstAt));
        const __m128i l0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a.text + i + a.p.lastAt));
        const __m128i e0 = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(f0, fm), fb),
                                         _mm_cmpeq_epi8(_mm_or_si128(l0, lm), lb));
        const uint32_t bits = uint32_t(_mm_movemask_epi8(e0));
        if (bits) {
            const size_t at = firstVerified(a, i, bits);
            if (at != std::string_view::npos)
                return at;
        }
    }
    return scanFrom(a, i);
}

bool haveAvx2()
{
    static const bool yes = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    return yes;
}
#endif

// How often a byte turns up in the texts of a knowledge base, roughly (English prose and
// program code, in parts per thousand): the scan probes the word's two rarest bytes, so that
// few places need a full comparison.
int commonness(unsigned char c, bool fold)
{
    static constexpr unsigned char kLetter[26] = {62, 11, 24, 30, 95, 18, 15, 40, 55, 1, 5, 32, 20,
                                                  55, 60, 16, 1, 48, 50, 70, 22, 8, 14, 2, 13, 1};
    if (isAsciiLetter(c)) {
        const int lower = kLetter[(c | 0x20) - 'a'];
        if (fold)
            return lower + lower / 8 + 1;   // both cases meet
        return c >= 'a' ? lower : lower / 8 + 1;
    }
    if (c == ' ')
        return 170;
    if (c == '\0')
        return 30;   // padding between stored texts
    if (c == '\r' || c == '\n' || c == '.' || c == ',')
        return 12;
    if (c >= '0' && c <= '9')
        return 5;
    return c >= 0x80 ? 1 : 3;
}

} // namespace

// The candidate test: mask 0x20 and target = lower-case letter for letters when folding (so
// only a-z/A-Z meet), and mask 0 and target the byte itself for anything else.
TextScanner::TextScanner(std::string_view word, bool caseSensitive) : fold_(!caseSensitive)
{
    word_.assign(word);
    if (fold_)
        for (char& c : word_)
            c = char(foldByte(static_cast<unsigned char>(c)));
    auto setup = [&](unsigned char c, unsigned char& mask, unsigned char& target) {
        if (fold_ && isAsciiLetter(c)) {
            mask = 0x20;
            target = c | 0x20;
        } else {
            mask = 0;
            target = c;
        }
    };
    // The two rarest bytes at different places (the earlier one first on a tie).
    size_t rare = 0, second = word_.size() > 1 ? 1 : 0;
    auto score = [&](size_t i) { return commonness(static_cast<unsigned char>(word_[i]), fold_); };
    for (size_t i = 1; i < word_.size(); ++i) {
        if (score(i) < score(rare)) {
            second = rare;
            rare = i;
        } else if (i != rare && (second == rare || score(i) < score(second))) {
            second = i;
        }
    }
    probe_.firstAt = uint32_t(std::min(rare, second));
    probe_.lastAt = uint32_t(std::max(rare, second));
    const unsigned char f = word_.empty() ? 0 : static_cast<unsigned char>(word_[probe_.firstAt]);
    const unsigned char l = word_.empty() ? 0 : static_cast<unsigned char>(word_[probe_.lastAt]);
    setup(f, probe_.firstMask, probe_.firstByte);
    setup(l, probe_.lastMask, probe_.lastByte);
    const size_t head = std::min<size_t>(word_.size(), 8);
    std::memcpy(&probe_.head, word_.data(), head);
    probe_.headMask = head == 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * head)) - 1;
}

size_t TextScanner::find(std::string_view text) const
{
    if (word_.empty() || text.size() < word_.size())
        return std::string_view::npos;
    const ScanArgs a{text.data(), text.size(), word_.data(), word_.size(), fold_, probe_};
#ifdef TV_X86
    static const bool avx2 = haveAvx2();
    return avx2 ? scanAvx2(a) : scanSse2(a);
#else
    return scanFrom(a, 0);
#endif
}

void TextScanner::markTexts(std::string_view bytes, const uint32_t* start, const uint32_t* blockRecord, uint8_t* found) const
{
    if (word_.empty() || bytes.size() < word_.size())
        return;
#ifdef TV_X86
    static const bool avx2 = haveAvx2();
    if (avx2) {
        const ScanArgs a{bytes.data(), bytes.size(), word_.data(), word_.size(), fold_, probe_};
        markTextsAvx2(a, blockRecord, found);
        return;
    }
#endif
    for (size_t i = 0; i < bytes.size();) {
        const size_t at = find(bytes.substr(i));
        if (at == std::string_view::npos)
            return;
        size_t r = blockRecord[(i + at) >> 6];
        while (start[r + 1] <= i + at)
            ++r;
        found[r] = 1;
        i = start[r + 1];
    }
}

const char* TextScanner::vectorKind()
{
#ifdef TV_X86
    return haveAvx2() ? "avx2" : "sse2";
#else
    return "scalar";
#endif
}

} // namespace tv
