#pragma once
// Fast matching of one search word against many texts in a single-byte code page, with the
// filter's folding (only a-z/A-Z are folded). The "anywhere" search is a two-byte vector
// scan: positions where both the first and the last byte of the word occur at the right
// distance are candidates, and only those are compared in full.

#include <cstddef>
#include <string>
#include <string_view>

namespace tv {

class TextScanner {
public:
    TextScanner(std::string_view word, bool caseSensitive);

    // Where the word occurs in `text` (npos when it does not).
    size_t find(std::string_view text) const;
    bool contains(std::string_view text) const { return find(text) != std::string_view::npos; }
    bool equals(std::string_view text) const;
    bool startsWith(std::string_view text) const;
    bool endsWith(std::string_view text) const;

    const std::string& word() const { return word_; }

    // Which vector width the scan uses on this machine ("avx2", "sse2" or "scalar").
    static const char* vectorKind();

private:
    bool sameAt(const char* p) const;   // the whole word at p (length already checked)

    std::string word_;     // folded when case-insensitive
    bool fold_;
    unsigned char firstMask_, firstByte_, lastMask_, lastByte_;
};

} // namespace tv
