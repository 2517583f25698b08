#pragma once
// Fast matching of one search word against many texts in a single-byte code page, with the
// filter's folding (only a-z/A-Z are folded). The "anywhere" search is a two-byte vector
// scan: positions where two bytes of the word (the two rarest in ordinary text) occur at the
// right distance are candidates, and only those are compared in full.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tv {

// a-z to A-Z in each of eight bytes at once; other bytes (and bytes >= 0x80) unchanged.
inline uint64_t foldEight(uint64_t x)
{
    constexpr uint64_t ones = 0x0101010101010101ull;
    const uint64_t hept = x & (0x7F * ones);
    const uint64_t geA = hept + (0x80 - 'a') * ones;   // high bit: >= 'a'
    const uint64_t gtZ = hept + (0x7F - 'z') * ones;   // high bit: > 'z'
    const uint64_t lower = ~x & (geA ^ gtZ) & (0x80 * ones);
    return x ^ (lower >> 2);
}

class TextScanner {
public:
    TextScanner(std::string_view word, bool caseSensitive);

    // Where the word occurs in `text` (npos when it does not).
    size_t find(std::string_view text) const;
    bool contains(std::string_view text) const { return find(text) != std::string_view::npos; }
    // Texts stored one after another in `bytes`: text i runs from start[i] up to start[i + 1]
    // and ends with a NUL (which the word must not hold). Sets found[i] for every text the
    // word occurs in, in one pass; blockRecord[b] is the text that holds byte 64 * b, and one
    // entry past the last block names the last text.
    void markTexts(std::string_view bytes, const uint32_t* start, const uint32_t* blockRecord, uint8_t* found) const;
    bool equals(std::string_view text) const { return text.size() == word_.size() && sameAt(text.data()); }
    bool startsWith(std::string_view text) const
    {
        return !word_.empty() && text.size() >= word_.size() && sameAt(text.data());
    }
    bool endsWith(std::string_view text) const
    {
        return !word_.empty() && text.size() >= word_.size() && sameAt(text.data() + text.size() - word_.size());
    }

    const std::string& word() const { return word_; }
    bool folds() const { return fold_; }

    // What the scan tests first: two bytes of the word, the two least common in text (the
    // first and the last when nothing is known of them). A byte b can be the word's byte at
    // `firstAt` when (b | firstMask) == firstByte, likewise at `lastAt` (firstAt <= lastAt);
    // `head` holds the word's first (up to) eight bytes in memory order, `headMask` the bytes
    // of it that count.
    struct Probe {
        unsigned char firstMask = 0, firstByte = 0, lastMask = 0, lastByte = 0;
        uint32_t firstAt = 0, lastAt = 0;
        uint64_t head = 0, headMask = 0;
    };
    const Probe& probe() const { return probe_; }

    // Which vector width the scan uses on this machine ("avx2", "sse2" or "scalar").
    static const char* vectorKind();

private:
    // The whole word at p (length already checked).
    bool sameAt(const char* p) const
    {
        if (!fold_)
            return std::memcmp(p, word_.data(), word_.size()) == 0;
        for (size_t i = 0; i < word_.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(p[i]);
            if (static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c) != static_cast<unsigned char>(word_[i]))
                return false;
        }
        return true;
    }

    std::string word_;     // folded when case-insensitive
    bool fold_;
    Probe probe_;
};

} // namespace tv
