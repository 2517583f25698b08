#include "engine/dataset/picture.h"

#include "engine/engineerror.h"

#include <optional>
#include <vector>

namespace tv {

// A pattern is a sequence of elements; groups hold alternatives, each a sequence.
struct PictureMask::Node {
    enum Kind { Digit, Letter, UpperLetter, AnyChar, UpperAny, Literal, Optional, Choice, Repeat, Sequence };
    Kind kind = Sequence;
    char literal = 0;
    int count = -1;                  // Repeat: -1 = any number
    std::vector<Node> children;      // Sequence: elements; Optional: one Sequence;
                                     // Choice: alternatives; Repeat: the element
};

namespace {

using Node = PictureMask::Node;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

[[noreturn]] void malformed(std::string_view mask, const char* what)
{
    throw EngineError("Invalid picture \"" + std::string(mask) + "\": " + what);
}

class Parser {
public:
    explicit Parser(std::string_view m) : m_(m) {}

    Node parseAll()
    {
        Node seq = parseSequence(0);
        if (pos_ != m_.size())
            malformed(m_, m_[pos_] == ']' ? "unmatched ']'" : "unmatched '}'");
        return seq;
    }

private:
    // Reads elements until the end or a closing character of the enclosing group.
    // `inChoice` makes ',' end the sequence too.
    Node parseSequence(int inChoice)
    {
        Node seq;
        seq.kind = Node::Sequence;
        while (pos_ < m_.size()) {
            const char c = m_[pos_];
            if (c == ']' || c == '}' || (inChoice && c == ','))
                break;
            seq.children.push_back(parseElement());
        }
        return seq;
    }

    Node parseElement()
    {
        const char c = m_[pos_++];
        Node n;
        switch (c) {
        case '#': n.kind = Node::Digit; return n;
        case '?': n.kind = Node::Letter; return n;
        case '&': n.kind = Node::UpperLetter; return n;
        case '@': n.kind = Node::AnyChar; return n;
        case '!': n.kind = Node::UpperAny; return n;
        case ';':
            if (pos_ >= m_.size())
                malformed(m_, "';' at the end");
            n.kind = Node::Literal;
            n.literal = m_[pos_++];
            return n;
        case '*': {
            n.kind = Node::Repeat;
            int count = -1;
            while (pos_ < m_.size() && isDigit(m_[pos_])) {
                count = (count < 0 ? 0 : count * 10) + (m_[pos_++] - '0');
                if (count > 10000)
                    malformed(m_, "repeat count too large");
            }
            if (pos_ >= m_.size() || m_[pos_] == ']' || m_[pos_] == '}')
                malformed(m_, "'*' without anything to repeat");
            n.count = count;
            n.children.push_back(parseElement());
            return n;
        }
        case '[': {
            n.kind = Node::Optional;
            n.children.push_back(parseSequence(0));
            if (pos_ >= m_.size() || m_[pos_] != ']')
                malformed(m_, "'[' without ']'");
            ++pos_;
            return n;
        }
        case '{': {
            n.kind = Node::Choice;
            for (;;) {
                n.children.push_back(parseSequence(1));
                if (pos_ >= m_.size())
                    malformed(m_, "'{' without '}'");
                if (m_[pos_++] == '}')
                    break;
            }
            return n;
        }
        default:
            n.kind = Node::Literal;
            n.literal = c;
            return n;
        }
    }

    std::string_view m_;
    size_t pos_ = 0;
};

// The matcher follows every way through the pattern at once: a state set holds, for each
// text position reached, the text as normalised so far along the first way that got there.
using States = std::vector<std::optional<std::string>>;

struct Expectation {
    bool any = false;        // something other than one fixed literal may follow
    bool end = false;        // the text may end here
    std::optional<char> literal;
    bool conflict = false;   // two different literals may follow
};

class Matcher {
public:
    explicit Matcher(std::string_view text) : text_(text) {}

    States run(const Node& root)
    {
        States s(text_.size() + 1);
        s[0] = std::string();
        return apply(root, std::move(s));
    }

    // What may follow once the whole text is consumed (filled in by run()).
    Expectation expect;
    // A normalised form of the text along a way that consumed all of it.
    std::optional<std::string> prefixOut;

private:
    static bool emptySet(const States& s)
    {
        for (const auto& o : s)
            if (o)
                return false;
        return true;
    }

    static void merge(States& into, const States& from)
    {
        for (size_t i = 0; i < from.size(); ++i)
            if (from[i] && !into[i])
                into[i] = from[i];
    }

    void noteEnd(const std::string& out)
    {
        if (!prefixOut)
            prefixOut = out;
    }

    States applyChar(const Node& n, const States& in)
    {
        States out(in.size());
        for (size_t p = 0; p < in.size(); ++p) {
            if (!in[p])
                continue;
            if (p == text_.size()) {
                noteEnd(*in[p]);
                if (n.kind == Node::Literal) {
                    if (expect.literal && *expect.literal != n.literal)
                        expect.conflict = true;
                    expect.literal = n.literal;
                } else {
                    expect.any = true;
                }
                continue;
            }
            const char c = text_[p];
            std::optional<char> produced;
            switch (n.kind) {
            case Node::Digit: if (isDigit(c)) produced = c; break;
            case Node::Letter: if (isLetter(static_cast<unsigned char>(c))) produced = c; break;
            case Node::UpperLetter: if (isLetter(static_cast<unsigned char>(c))) produced = upper(c); break;
            case Node::AnyChar: produced = c; break;
            case Node::UpperAny: produced = upper(c); break;
            case Node::Literal:
                if (c == n.literal || (isLetter(static_cast<unsigned char>(n.literal)) && upper(c) == upper(n.literal)))
                    produced = n.literal;
                break;
            default: break;
            }
            if (produced && !out[p + 1])
                out[p + 1] = *in[p] + *produced;
        }
        return out;
    }

    States apply(const Node& n, States in)
    {
        if (emptySet(in))
            return in;
        switch (n.kind) {
        case Node::Sequence:
            for (const Node& c : n.children)
                in = apply(c, std::move(in));
            return in;
        case Node::Optional: {
            States taken = apply(n.children[0], in);
            merge(taken, in);
            return taken;
        }
        case Node::Choice: {
            States out(in.size());
            for (const Node& alt : n.children)
                merge(out, apply(alt, in));
            return out;
        }
        case Node::Repeat: {
            if (n.count >= 0) {
                for (int i = 0; i < n.count && !emptySet(in); ++i)
                    in = apply(n.children[0], std::move(in));
                return in;
            }
            // Any number: grow the set until nothing new is reached.
            States all = in;
            States frontier = std::move(in);
            for (;;) {
                States next = apply(n.children[0], frontier);
                States fresh(next.size());
                bool any = false;
                for (size_t i = 0; i < next.size(); ++i)
                    if (next[i] && !all[i]) {
                        all[i] = next[i];
                        fresh[i] = next[i];
                        any = true;
                    }
                if (!any)
                    return all;
                frontier = std::move(fresh);
            }
        }
        default:
            return applyChar(n, in);
        }
    }

    std::string_view text_;
};

} // namespace

PictureMask::PictureMask(std::string_view mask) : mask_(mask)
{
    if (!mask_.empty())
        root_ = std::make_shared<const Node>(Parser(mask_).parseAll());
}

PictureMask::~PictureMask() = default;
PictureMask::PictureMask(const PictureMask&) = default;
PictureMask& PictureMask::operator=(const PictureMask&) = default;
PictureMask::PictureMask(PictureMask&&) noexcept = default;
PictureMask& PictureMask::operator=(PictureMask&&) noexcept = default;

bool PictureMask::matches(std::string_view text) const
{
    if (!root_)
        return true;
    Matcher m(text);
    return m.run(*root_)[text.size()].has_value();
}

std::string PictureMask::normalized(std::string_view text) const
{
    if (!root_)
        return std::string(text);
    Matcher m(text);
    auto end = m.run(*root_);
    return end[text.size()] ? *end[text.size()] : std::string(text);
}

bool PictureMask::isPrefix(std::string_view text) const
{
    if (!root_)
        return true;
    Matcher m(text);
    auto end = m.run(*root_);
    return end[text.size()].has_value() || m.prefixOut.has_value();
}

// Appends the literals that must follow `text` (a possible beginning) and applies case forcing.
static std::string appendForced(const PictureMask::Node& root, std::string cur)
{
    for (int guard = 0; guard < 1000; ++guard) {
        Matcher m(cur);
        auto end = m.run(root);
        const bool complete = end[cur.size()].has_value();
        if (!complete && !m.prefixOut)
            return cur;
        std::string normal = complete ? *end[cur.size()] : *m.prefixOut;
        // Add a literal only when it is the one thing that can follow.
        if (complete || m.expect.any || m.expect.conflict || !m.expect.literal)
            return normal;
        cur = normal + *m.expect.literal;
    }
    return cur;
}

std::string PictureMask::fillLiterals(std::string_view text) const
{
    if (!root_)
        return std::string(text);
    // Replays the typing: a character that cannot come next may still come after the
    // literals that must be there first ("555" under "(###) ###-####" is "(555").
    std::string cur;
    for (char c : text) {
        if (isPrefix(cur + c)) {
            cur += c;
            continue;
        }
        std::string filled = appendForced(*root_, cur);
        if (filled == cur || !isPrefix(filled + c))
            return std::string(text);
        cur = filled + c;
    }
    return appendForced(*root_, cur);
}

} // namespace tv
