#include "synth.h"

#include "content.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mkbases {

namespace {

// splitmix64: small, fast, and good enough to make text from.
class Rng {
public:
    Rng(uint64_t seed, uint64_t base, uint64_t i, uint64_t stream)
        : s_(seed * 0x9E3779B97F4A7C15ull ^ (base << 48) ^ (stream << 40) ^ (i * 0xD1B54A32D192ED03ull))
    {
        next();
    }
    uint64_t next()
    {
        uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t below(uint32_t n) { return uint32_t(next() % n); }
    double unit() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
    template <class T> const T& pick(const std::vector<T>& v) { return v[below(uint32_t(v.size()))]; }

private:
    uint64_t s_;
};

// Deliberately free of the marker word, also across word boundaries inside a word
// (no "platform", "transform"...).
const std::vector<std::string> kWords = {
    "the", "a", "of", "to", "and", "in", "is", "for", "with", "when", "that", "this", "it", "on", "by", "from",
    "you", "your", "can", "will", "not", "be", "an", "as", "or", "if", "then", "all", "each", "after", "before",
    "table", "record", "field", "index", "query", "dataset", "cursor", "filter", "range", "bookmark", "grid",
    "column", "row", "memo", "blob", "key", "value", "string", "integer", "pointer", "array", "class", "object",
    "method", "property", "event", "handler", "message", "window", "handle", "control", "component", "owner",
    "parent", "canvas", "bitmap", "brush", "pen", "font", "printer", "report", "page", "band", "preview",
    "thread", "lock", "timer", "exception", "stack", "heap", "memory", "buffer", "stream", "file", "folder",
    "registry", "setting", "option", "compiler", "linker", "unit", "package", "library", "resource", "project",
    "debugger", "breakpoint", "editor", "palette", "inspector", "designer", "wizard", "expert", "template",
    "server", "client", "session", "database", "alias", "driver", "engine", "transaction", "post", "edit",
    "insert", "delete", "append", "refresh", "cancel", "open", "close", "create", "free", "destroy", "show",
    "hide", "paint", "draw", "scroll", "resize", "move", "click", "press", "type", "select", "sort", "search",
    "locate", "find", "compare", "convert", "format", "parse", "load", "save", "read", "write", "copy",
    "fast", "slow", "large", "small", "empty", "visible", "modal", "active", "default", "custom", "virtual",
    "dynamic", "static", "published", "private", "public", "protected", "inherited", "override", "abstract",
    "begin", "end", "procedure", "function", "constructor", "destructor", "interface", "implementation",
    "Delphi", "Pascal", "Windows", "TTable", "TQuery", "TDataSource", "TStringList", "TList", "TCanvas",
    "TBitmap", "TPanel", "TButton", "TEdit", "TLabel", "TMemo", "TTimer", "TThread", "TApplication",
    "TScreen", "TPrinter", "TIniFile", "TRegistry", "TStream", "TMenuItem", "TImage", "TTreeView",
    "OnClick", "OnCreate", "OnClose", "OnPaint", "OnChange", "OnKeyDown", "WM_PAINT", "WM_SIZE",
    "Paradox", "dBASE", "InterBase", "SQL", "API", "DLL", "OLE", "COM", "VCL", "IDE", "RTL", "Win32",
    "works", "fails", "returns", "raises", "calls", "needs", "shows", "keeps", "uses", "gives", "makes",
    "first", "last", "next", "prior", "current", "new", "old", "whole", "other", "same", "every",
};

const std::vector<std::string> kMarkers = {"TForm", "tform", "TFORM", "Tform", "tForm", "TfOrM"};

const std::vector<std::string> kCategories = {"FORMS", "VCL", "DATABASE", "LANGUAGE", "IDE", "WINAPI",
                                              "GRAPHICS", "REPORTS", "DEBUG", "OLE", "DEPLOY", "STRINGS"};
const std::vector<std::string> kClasses = {"TTable", "TQuery", "TList", "TCanvas", "TBitmap", "TPanel",
                                           "TMemo", "TTimer", "TThread", "TStream", "TImage", "TEdit"};
const std::vector<std::string> kTypes = {"Tip", "HowTo", "Bug", "Info", "FAQ", "Sample"};
const std::vector<std::string> kReleases = {"1.0", "2.0", "3.0"};
const std::vector<std::string> kSources = {"CIS", "WEB", "TI", "NEWS", "BOOK", "MAIL"};
const std::vector<std::string> kFirstNames = {"Anna", "Bill", "Carla", "Dirk", "Emma", "Frank", "Greta", "Hans",
                                              "Ines", "Jack", "Kurt", "Lena", "Max", "Nora", "Otto", "Pia"};
const std::vector<std::string> kLastNames = {"Adams", "Berger", "Clark", "Dahl", "Evans", "Fischer", "Gray",
                                             "Hoffmann", "Irwin", "Jensen", "Klein", "Lund", "Moore", "Nagel"};
const std::vector<std::string> kLibraries = {"DELPHI", "STRINGS", "MATH", "DATE & TIME", "FILES",
                                             "GRAPHICS", "MEMORY", "WIN32 API", "PRINTING", "OOP"};
const std::vector<std::string> kPublishers = {"Kestrel Technical Press", "Harbour Lane Books",
                                              "Ridgeway Publishing", "Blue Meridian Press", "Oakfield & Sons"};
const std::vector<std::string> kCodes = {"CD-ROM", "Disk", "FTP", "None"};
const std::vector<std::string> kPrivateCategories = {"Object Pascal", "Delphi IDE", "Win32 API",
                                                     "Local DB/DBF issues", "General Components"};

std::string capitalised(std::string w)
{
    if (!w.empty() && w[0] >= 'a' && w[0] <= 'z')
        w[0] = char(w[0] - 'a' + 'A');
    return w;
}

// Words joined by blanks, at most max characters (at least one word).
std::string words(Rng& r, int minWords, int maxWords, size_t max, bool capitalise = true)
{
    const int n = minWords + int(r.below(uint32_t(maxWords - minWords + 1)));
    std::string out;
    for (int k = 0; k < n; ++k) {
        std::string w = r.pick(kWords);
        if (k == 0 && capitalise)
            w = capitalised(w);
        const size_t need = out.size() + (out.empty() ? 0 : 1) + w.size();
        if (need > max) {
            if (out.empty())
                out = w.substr(0, max);
            break;
        }
        if (!out.empty())
            out += ' ';
        out += w;
    }
    return out;
}

std::string keywordList(Rng& r, size_t max, char sep, bool upper)
{
    std::string out;
    const int n = 2 + int(r.below(3));
    for (int k = 0; k < n; ++k) {
        std::string w = r.pick(kWords);
        if (upper)
            std::transform(w.begin(), w.end(), w.begin(), [](unsigned char c) { return char(std::toupper(c)); });
        if (out.size() + 1 + w.size() > max)
            break;
        if (!out.empty())
            out += sep;
        out += w;
    }
    return out;
}

// 100 to 1,500 bytes; 100 + 1400 * u^1.8 has the mean 100 + 1400 / 2.8 = 600.
size_t memoLength(Rng& r) { return 100 + size_t(1400.0 * std::pow(r.unit(), 1.8)); }

std::string memoText(Rng& r, size_t length)
{
    std::string out;
    out.reserve(length + 16);
    int sentenceWords = 0, sentences = 0;
    const int paragraph = 3 + int(r.below(3));
    while (out.size() < length) {
        std::string w = r.pick(kWords);
        if (sentenceWords == 0)
            w = capitalised(w);
        out += w;
        ++sentenceWords;
        if (sentenceWords >= 6 && r.below(8) == 0) {
            out += '.';
            sentenceWords = 0;
            out += ++sentences % paragraph == 0 ? "\r\n\r\n" : " ";
        } else {
            out += ' ';
        }
    }
    out.resize(length);
    return out;
}

// Puts a spelling of the marker into text at a word boundary, keeping text within max bytes.
void plantMarker(Rng& r, std::string& text, size_t max)
{
    const std::string& m = r.pick(kMarkers);
    const std::string piece = " " + m + " ";
    if (text.size() + piece.size() > max)
        text.resize(max > piece.size() ? max - piece.size() : 0);
    size_t at = text.empty() ? 0 : r.below(uint32_t(text.size()));
    while (at > 0 && text[at - 1] != ' ')
        --at;
    text.insert(at, piece);
}

std::string base36(uint64_t v, size_t width)
{
    static const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string out(width, '0');
    for (size_t k = width; k-- > 0 && v;) {
        out[k] = digits[v % 36];
        v /= 36;
    }
    return out;
}

std::string personName(Rng& r) { return r.pick(kFirstNames) + " " + r.pick(kLastNames); }
std::string cisId(Rng& r) { return std::to_string(70000 + r.below(35000)) + "," + std::to_string(100 + r.below(3900)); }
tv::Date date9598(Rng& r) { return sampleDateIn(int(r.below(1u << 30)), 0, 1995, 1998); }

std::string isbnFor(uint64_t i)
{
    char digits[10];
    std::snprintf(digits, sizeof digits, "%09llu", static_cast<unsigned long long>(i % 1000000000ull));
    int sum = 0;
    for (int k = 0; k < 9; ++k)
        sum += (digits[k] - '0') * (10 - k);
    const int check = (11 - sum % 11) % 11;
    std::string out = std::string("1-") + std::string(digits, 2) + "-" + std::string(digits + 2, 7) + "-";
    return out + (check == 10 ? 'X' : char('0' + check));
}

} // namespace

const std::vector<std::string>& synthVocabulary() { return kWords; }
const std::vector<std::string>& markerSpellings() { return kMarkers; }

tv::Record synthRecord(const BaseDef& def, uint64_t seed, uint64_t i)
{
    const uint64_t baseNo = uint64_t(def.base);
    Rng r(seed, baseNo, i, 1);
    Rng m(seed, baseNo, i, 2);
    const bool marked = Rng(seed, baseNo, i, 3).below(1000) == 0;
    RecordBuilder b(def);
    auto memo = [&](const char* field) { b.text(field, memoText(m, memoLength(m))); };
    // The marked record carries the marker in its first memo, or its subject when it has none.
    auto markMemo = [&](const char* field) {
        std::string t = memoText(m, memoLength(m));
        if (marked)
            plantMarker(m, t, 1500);
        b.text(field, t);
    };
    switch (def.base) {
    case Base::Topics:
        b.set("ID", int64_t(i + 1)).text("CATEGORY", r.pick(kCategories)).text("TOPIC", words(r, 2, 5, 30))
            .text("KEYWORDS", keywordList(r, 30, ';', true)).text("SOURCE", r.pick(kSources))
            .text("CLASS", r.pick(kClasses)).text("TYPE", r.pick(kTypes)).text("RELEASE", r.pick(kReleases))
            .set("LASTCHANGED", date9598(r));
        markMemo("DESCRIPTION");
        break;
    case Base::QA:
        b.set("Number", int64_t(i + 1)).text("Topic", words(r, 5, 12, 79) + "?")
            .text("Category", qaCategory(r.pick(kCategories))).text("Keywords", keywordList(r, 125, ',', false))
            .text("Ver", r.pick(kReleases));
        memo("Q");
        markMemo("A");
        break;
    case Base::News:
        b.set("NO", double(i + 1)).text("AUTHOR", personName(r)).text("SUBJECT", words(r, 4, 10, 80))
            .text("KEYLIST", keywordList(r, 80, ' ', false));
        markMemo("INFO");
        break;
    case Base::Forum32:
    case Base::ForumDelphi: {
        const bool d32 = def.base == Base::Forum32;
        b.set("Section", int64_t(1 + r.below(20))).text("Title", words(r, 4, 10, 70))
            .text("File Name", base36(i, 8) + ".ZIP").text("Keywords", keywordList(r, 70, ';', true))
            .text("CIS Name", personName(r)).text("CIS ID", cisId(r)).text("File Type", "Binary")
            .set("File Size", double(1024 + r.below(2000000))).set("DL Count", double(r.below(5000)))
            .set("UL Date", date9598(r)).set("Update", date9598(r)).text("Forum", d32 ? "Delphi32" : "Delphi");
        markMemo("Comments");
        break;
    }
    case Base::Dsp:
        b.text("Delphi Version", r.pick(kReleases)).text("Category", words(r, 1, 3, 35))
            .text("File", base36(i, 8) + ".zip").set("Size", int64_t(1024 + r.below(4000000)))
            .text("Ware", std::string(1, "FSCP"[r.below(4)])).text("Name", personName(r)).set("Date", date9598(r))
            .text("Comments", words(r, 3, 8, 50)).text("Keywords", keywordList(r, 50, ' ', false));
        markMemo("Description");
        break;
    case Base::Swag: {
        std::string subject = words(r, 3, 8, 60);
        if (marked)
            plantMarker(m, subject, 60);
        b.set("ID", int64_t(i + 1)).text("SWAG Library", r.pick(kLibraries)).set("Snippet ID", int64_t(1 + r.below(999)))
            .text("Subject", subject).text("Contributor", personName(r)).set("Size", int64_t(200 + r.below(30000)))
            .set("Date", date9598(r));
        break;
    }
    case Base::Books: {
        const std::string title = words(r, 3, 7, 64);
        b.text("ISBN", isbnFor(i)).text("Author", personName(r)).text("Title", title)
            .text("Publisher", r.pick(kPublishers)).set("Price", double(1995 + r.below(5000)) / 100.0)
            .text("Code", r.pick(kCodes)).set("Level", int64_t(1 + r.below(3)));
        for (const char* f : {"TechnicalContentsQuality", "QualityOfWriting", "ValueForMoney", "OverallAssessment"})
            b.set(f, int64_t(r.below(6)));
        markMemo("Comments");
        b.set("Cover", tv::Blob{coverBitmap(title, uint32_t(r.next()), 8, 10)});
        break;
    }
    case Base::Private:
        b.set("ID", int64_t(i + 1)).text("Source", words(r, 1, 3, 30)).text("Topic", words(r, 3, 7, 50))
            .text("Keywords", keywordList(r, 30, ';', true)).text("Category", r.pick(kPrivateCategories))
            .text("Delphi", r.pick(kReleases)).set("Date", date9598(r));
        markMemo("Description");
        break;
    }
    return b.take();
}

namespace {

// The primary key of a record as one string that sorts like the key (ASCII text, numbers
// of fixed width, fields separated by a byte below every character).
std::string sortKey(const BaseDef& def, const tv::Record& rec)
{
    std::string key;
    for (int f = 0; f < def.spec.primaryKeyFields; ++f) {
        const tv::Value& v = rec[size_t(f)];
        if (const auto* s = std::get_if<std::string>(&v))
            key += *s;
        else if (const auto* n = std::get_if<int64_t>(&v))
            key += base36(uint64_t(*n + (int64_t(1) << 40)), 9);
        key += '\x01';
    }
    return key;
}

// Bases whose key follows the record number need no sorting.
bool keyFollowsNumber(const BaseDef& def)
{
    return def.spec.primaryKeyFields == 0 || def.base == Base::Topics || def.base == Base::QA ||
           def.base == Base::Swag || def.base == Base::Books || def.base == Base::Private;
}

} // namespace

std::vector<BaseJob> synthJobs(const SynthOptions& options)
{
    std::vector<BaseJob> jobs;
    for (const BaseDef& def : catalog()) {
        const BaseDef* d = &def;
        const SynthOptions o = options;
        jobs.push_back({d, [d, o](const RecordSink& sink) {
                            if (keyFollowsNumber(*d)) {
                                for (uint64_t i = 0; i < o.records; ++i)
                                    sink(synthRecord(*d, o.seed, i));
                                return;
                            }
                            std::vector<std::pair<std::string, uint64_t>> order;
                            order.reserve(o.records);
                            for (uint64_t i = 0; i < o.records; ++i)
                                order.emplace_back(sortKey(*d, synthRecord(*d, o.seed, i)), i);
                            std::sort(order.begin(), order.end());
                            for (const auto& [key, i] : order)
                                sink(synthRecord(*d, o.seed, i));
                        }});
    }
    return jobs;
}

} // namespace mkbases
