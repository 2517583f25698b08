#pragma once
// Fast matching of one search word against many texts in a single-byte code page, with the
// filter's folding (only a-z/A-Z are folded). The "anywhere" search is a two-byte vector
// scan: positions where both the first and the last byte of the word occur at the right
// distance are candidates, and only those are compared in full.

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace tv {

class TextScanner {
public:
    TextScanner(std::string_view word, bool caseSensitive);

    // Where the word occurs in `text` (npos when it does not).
    size_t find(std::string_view text) const;
    bool contains(std::string_view text) const { return find(text) != std::string_view::npos; }
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
    unsigned char firstMask_, firstByte_, lastMask_, lastByte_;
};

} // namespace tv
