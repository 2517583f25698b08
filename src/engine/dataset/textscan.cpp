#include "engine/dataset/textscan.h"

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
    size_t wordLen;
    unsigned char firstMask, firstByte, lastMask, lastByte;
};

// Byte by byte from `i` on: the short tail of a vector scan, or the whole scan elsewhere.
size_t scanFrom(const ScanArgs& a, const TextScanner& s, bool (*verify)(const TextScanner&, const char*), size_t i)
{
    const size_t last = a.wordLen - 1;
    const size_t stop = a.len - a.wordLen + 1;
    for (; i < stop; ++i) {
        if ((static_cast<unsigned char>(a.text[i]) | a.firstMask) == a.firstByte &&
            (static_cast<unsigned char>(a.text[i + last]) | a.lastMask) == a.lastByte && verify(s, a.text + i))
            return i;
    }
    return std::string_view::npos;
}

#ifdef TV_X86
struct Avx2Probe {
    __m256i fm, fb, lm, lb;
};

// Bit i set: the first byte matches at p[i] and the last byte at p[i + last].
__attribute__((target("avx2"))) inline uint32_t candidates32(const Avx2Probe& k, const char* p, size_t last)
{
    const __m256i f = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + last));
    const __m256i e = _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(f, k.fm), k.fb),
                                       _mm256_cmpeq_epi8(_mm256_or_si256(l, k.lm), k.lb));
    return uint32_t(_mm256_movemask_epi8(e));
}

__attribute__((target("avx2"))) size_t scanAvx2(const ScanArgs& a, const TextScanner& s,
                                                bool (*verify)(const TextScanner&, const char*))
{
    const Avx2Probe k{_mm256_set1_epi8(char(a.firstMask)), _mm256_set1_epi8(char(a.firstByte)),
                      _mm256_set1_epi8(char(a.lastMask)), _mm256_set1_epi8(char(a.lastByte))};
    const size_t last = a.wordLen - 1;
    const size_t stop = a.len - a.wordLen + 1;   // candidate starts are < stop
    size_t i = 0;
    // Two blocks per round keep both load ports busy.
    for (; i + 64 <= stop; i += 64) {
        uint64_t bits = candidates32(k, a.text + i, last) | (uint64_t(candidates32(k, a.text + i + 32, last)) << 32);
        while (bits) {
            const size_t at = i + size_t(__builtin_ctzll(bits));
            if (verify(s, a.text + at))
                return at;
            bits &= bits - 1;
        }
    }
    for (; i + 32 <= stop; i += 32) {
        uint32_t bits = candidates32(k, a.text + i, last);
        while (bits) {
            const size_t at = i + size_t(__builtin_ctz(bits));
            if (verify(s, a.text + at))
                return at;
            bits &= bits - 1;
        }
    }
    return scanFrom(a, s, verify, i);
}

size_t scanSse2(const ScanArgs& a, const TextScanner& s, bool (*verify)(const TextScanner&, const char*))
{
    const __m128i fm = _mm_set1_epi8(char(a.firstMask)), fb = _mm_set1_epi8(char(a.firstByte));
    const __m128i lm = _mm_set1_epi8(char(a.lastMask)), lb = _mm_set1_epi8(char(a.lastByte));
    const size_t last = a.wordLen - 1;
    const size_t stop = a.len - a.wordLen + 1;
    size_t i = 0;
    for (; i + 16 <= stop; i += 16) {
        const __m128i f0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a.text + i));
        const __m128i l0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a.text + i + last));
        const __m128i e0 = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(f0, fm), fb),
                                         _mm_cmpeq_epi8(_mm_or_si128(l0, lm), lb));
        uint32_t bits = uint32_t(_mm_movemask_epi8(e0));
        while (bits) {
            const size_t at = i + size_t(__builtin_ctz(bits));
            if (verify(s, a.text + at))
                return at;
            bits &= bits - 1;
        }
    }
    return scanFrom(a, s, verify, i);
}

bool haveAvx2()
{
    static const bool yes = __builtin_cpu_supports("avx2");
    return yes;
}
#endif

} // namespace

// The candidate test in the scan: a byte b matches the folded word byte w when
// (b | mask) == target, with mask 0x20 and target = lower-case w for letters (so only
// a-z/A-Z meet), and mask 0 and target w for anything else.
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
    const unsigned char f = word_.empty() ? 0 : static_cast<unsigned char>(word_.front());
    const unsigned char l = word_.empty() ? 0 : static_cast<unsigned char>(word_.back());
    setup(f, firstMask_, firstByte_);
    setup(l, lastMask_, lastByte_);
}

bool TextScanner::sameAt(const char* p) const
{
    return fold_ ? equalFolded(p, word_.data(), word_.size()) : std::memcmp(p, word_.data(), word_.size()) == 0;
}

size_t TextScanner::find(std::string_view text) const
{
    if (word_.empty() || text.size() < word_.size())
        return std::string_view::npos;
    const ScanArgs a{text.data(), text.size(), word_.size(), firstMask_, firstByte_, lastMask_, lastByte_};
    // First and last bytes are already known to match; the middle is compared in full
    // (the two ends again too, which is cheaper than offsetting for short words).
    auto verify = [](const TextScanner& s, const char* p) { return s.sameAt(p); };
#ifdef TV_X86
    if (haveAvx2())
        return scanAvx2(a, *this, verify);
    return scanSse2(a, *this, verify);
#else
    return scanFrom(a, *this, verify, 0);
#endif
}

bool TextScanner::equals(std::string_view text) const
{
    return text.size() == word_.size() && sameAt(text.data());
}

bool TextScanner::startsWith(std::string_view text) const
{
    return !word_.empty() && text.size() >= word_.size() && sameAt(text.data());
}

bool TextScanner::endsWith(std::string_view text) const
{
    return !word_.empty() && text.size() >= word_.size() && sameAt(text.data() + text.size() - word_.size());
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
