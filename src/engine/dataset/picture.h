#pragma once
// Picture masks: the small pattern language that restricts what may be typed into a field.
//
//   #        a digit                     ?   a letter (either case)
//   &        a letter, forced upper case  @   any character
//   !        any character, forced upper case
//   ;c       the character c taken literally (";#" is a "#")
//   *n x     n repetitions of x (n digits); "*x" any number (including none) of x
//   [...]    an optional part
//   {a,b,c}  one of the alternatives (each may itself be a pattern)
//   other    a literal character (letters match either case and are written as given)
//
// Examples: "[###,][###,][###]" (up to three optional groups of up to three digits, the first
// two each followed by a comma), "#[#]/#[#]/##[##]" (a date with one or two digit day and
// month and a two or four digit year).

#include <memory>
#include <string>
#include <string_view>

namespace tv {

class PictureMask {
public:
    PictureMask() = default;
    // Throws EngineError when the mask itself is malformed (unbalanced brackets, ...).
    explicit PictureMask(std::string_view mask);
    ~PictureMask();
    PictureMask(const PictureMask&);
    PictureMask& operator=(const PictureMask&);
    PictureMask(PictureMask&&) noexcept;
    PictureMask& operator=(PictureMask&&) noexcept;

    const std::string& mask() const { return mask_; }
    bool empty() const { return mask_.empty(); }

    // True when the whole text fits the mask. Letters typed where '&' or '!' stand match in
    // either case. An empty mask accepts everything.
    bool matches(std::string_view text) const;

    // The text as it should be stored: upper-casing of '&'/'!' positions and letter literals
    // written as the mask gives them. Returns the text unchanged when it does not fit.
    std::string normalized(std::string_view text) const;

    // Typing support: true when `text` can still be completed to a matching text.
    bool isPrefix(std::string_view text) const;

    // Typing support with literal fill-in: after the user typed `text` (which must be a
    // possible prefix), appends the literal characters that necessarily follow and
    // applies case forcing. "1" under "#[#]/#[#]/##[##]" stays "1"; "12" becomes "12/".
    // Returns the text unchanged when it is not a possible prefix.
    std::string fillLiterals(std::string_view text) const;

    struct Node;  // the parsed pattern (internal)

private:
    std::string mask_;
    std::shared_ptr<const Node> root_;
};

} // namespace tv
