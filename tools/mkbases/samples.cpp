// Turns the hand-written content into the records of the nine sample bases.
#include "content.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <numeric>
#include <sstream>

namespace mkbases {

namespace {

using tv::Value;

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == sep) {
            if (!cur.empty())
                out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        out.push_back(cur);
    return out;
}

std::string join(const std::vector<std::string>& parts, const std::string& sep)
{
    std::string out;
    for (const auto& p : parts) {
        if (!out.empty())
            out += sep;
        out += p;
    }
    return out;
}

// Words of s joined with spaces while they fit in max characters, without a dangling
// little word or punctuation at the end.
std::string clip(const std::string& s, size_t max)
{
    if (utf8Length(s) <= max)
        return s;
    std::vector<std::string> kept;
    size_t length = 0;
    for (const auto& w : split(s, ' ')) {
        if (length + (kept.empty() ? 0 : 1) + utf8Length(w) > max)
            break;
        length += (kept.empty() ? 0 : 1) + utf8Length(w);
        kept.push_back(w);
    }
    static const std::vector<std::string> little = {"a", "an", "and", "at", "by", "for", "from", "in",
                                                    "of", "or", "the", "to", "with", "without"};
    while (kept.size() > 1 && std::find(little.begin(), little.end(), lower(kept.back())) != little.end())
        kept.pop_back();
    std::string out = join(kept, " ");
    while (!out.empty() && (out.back() == ',' || out.back() == ':' || out.back() == ';'))
        out.pop_back();
    return out;
}

// Paragraphs wrapped at width columns, each line prefixed (for quoting).
std::string quote(const std::string& text, const std::string& prefix, size_t width)
{
    std::ostringstream out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == ' ') {  // blank lines and code keep their shape
            out << (line.empty() ? std::string(">") : prefix + line) << '\n';
            continue;
        }
        std::string cur;
        for (const auto& w : split(line, ' ')) {
            if (!cur.empty() && utf8Length(cur) + 1 + utf8Length(w) > width) {
                out << prefix << cur << '\n';
                cur.clear();
            }
            cur += cur.empty() ? w : " " + w;
        }
        out << prefix << cur << '\n';
    }
    return out.str();
}

const Person& person(int n) { return people()[size_t(n) % people().size()]; }

std::string mailAddress(const Person& p)
{
    std::string id = p.cisId;
    std::replace(id.begin(), id.end(), ',', '.');
    return id + "@compuserve.com";
}

// A stable pseudo-random number for record n of a base.
uint32_t mix(uint32_t n, uint32_t salt)
{
    uint32_t x = n * 0x9E3779B1u ^ (salt * 0x85EBCA77u);
    x ^= x >> 15;
    x *= 0x2C1B3C6Du;
    x ^= x >> 12;
    return x;
}

// A date in 1995-1998 no earlier than the year the release came out.
tv::Date dateForRelease(int n, int salt, const std::string& release)
{
    const int first = release.rfind('3', 0) == 0 ? 1997 : release.rfind('2', 0) == 0 ? 1996 : 1995;
    return sampleDateIn(n, salt, first, 1998);
}

std::vector<tv::Record> topics()
{
    const BaseDef& def = baseDef(Base::Topics);
    static const char* sources[] = {"CIS", "WEB", "TI", "NEWS", "BOOK", "CIS", "MAIL"};
    std::vector<tv::Record> out;
    int n = 0;
    for (const Tip& t : tips()) {
        RecordBuilder r(def);
        r.set("ID", int64_t(n + 1))
            .text("CATEGORY", t.category)
            .text("TOPIC", t.topic)
            .text("KEYWORDS", t.keywords)
            .text("SOURCE", sources[mix(uint32_t(n), 1) % 7])
            .text("CLASS", t.cls)
            .text("TYPE", t.type)
            .text("RELEASE", t.release)
            .set("LASTCHANGED", dateForRelease(n, 1, t.release))
            .text("DESCRIPTION", crlf(std::string("Problem:\n") + t.ask + "\n\nSolution:\n" + t.answer + "\n"));
        out.push_back(r.take());
        ++n;
    }
    return out;
}

// The topics base keeps class names in 8 characters; the question base has room for them.
std::string fullClassName(const std::string& cls)
{
    static const std::map<std::string, std::string> names = {
        {"TStatBar", "TStatusBar"},   {"TSGrid", "TStringGrid"},        {"TPageCtl", "TPageControl"},
        {"TTreeVw", "TTreeView"},     {"TRichEd", "TRichEdit"},         {"TDBLCB", "TDBLookupComboBox"},
        {"TRegstry", "TRegistry"},    {"TStrList", "TStringList"},      {"TPersist", "TPersistent"},
        {"TCompnt", "TComponent"},    {"TPropEd", "TPropertyEditor"},   {"TWinCtrl", "TWinControl"},
        {"TOleCtrl", "TOleControl"},  {"TApplic", "TApplication"}};
    const auto it = names.find(cls);
    return it == names.end() ? cls : it->second;
}

// Keywords of the question base: the topic's keywords in lower case plus class and category.
std::string qaKeywords(const Tip& t)
{
    std::vector<std::string> words;
    for (const auto& k : split(t.keywords, ';'))
        words.push_back(lower(k));
    if (*t.cls)
        words.push_back(fullClassName(t.cls));
    words.push_back(lower(qaCategory(t.category)));
    return join(words, ", ");
}

std::vector<tv::Record> questions()
{
    const BaseDef& def = baseDef(Base::QA);
    const auto& all = tips();
    const size_t count = all.size();
    size_t step = 23;
    while (std::gcd(step, count) != 1)
        ++step;
    std::vector<tv::Record> out;
    for (size_t i = 0; i < count; ++i) {
        // Another order than the topics base: the collections grew independently.
        const Tip& t = all[(i * step + 7) % count];
        RecordBuilder r(def);
        r.set("Number", int64_t(100 + i * 3 + mix(uint32_t(i), 2) % 3))
            .text("Topic", t.question)
            .text("Category", qaCategory(t.category))
            .text("Keywords", qaKeywords(t))
            .text("Ver", t.release)
            .text("Q", crlf(t.ask))
            .text("A", crlf(t.answer));
        out.push_back(r.take());
    }
    return out;
}

std::vector<tv::Record> news()
{
    const BaseDef& def = baseDef(Base::News);
    std::vector<tv::Record> out;
    int number = 1041;
    int n = 0;
    for (const Tip& t : tips()) {
        const Person& asker = person(n * 7 + 3);
        const Person& replier = person(n * 11 + 5);
        const std::string keylist = join(split(t.keywords, ';'), " ");
        const std::string question = t.question;
        // Every third thread also keeps the original question.
        if (n % 3 == 0) {
            RecordBuilder q(def);
            q.set("NO", double(number))
                .text("AUTHOR", std::string(asker.name) + " <" + mailAddress(asker) + ">")
                .text("SUBJECT", question)
                .text("KEYLIST", keylist)
                .text("INFO", crlf(std::string(t.ask) + "\n\nThanks in advance,\n" + asker.name + "\n"));
            out.push_back(q.take());
            number += 1 + int(mix(uint32_t(n), 3) % 4);
        }
        static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        int y, m, d;
        tv::ymdFromDate(dateForRelease(n, 4, t.release), y, m, d);
        const std::string date = std::to_string(d) + " " + months[m - 1] + " " + std::to_string(y);
        std::string body = "On " + date + ", " + asker.name + " wrote:\n" + quote(t.ask, "> ", 70) + "\n" +
                           t.answer + "\n\nHope this helps.\n\n-- \n" + replier.name + "\n" + mailAddress(replier) +
                           "\n";
        RecordBuilder r(def);
        r.set("NO", double(number))
            .text("AUTHOR", std::string(replier.name) + " <" + mailAddress(replier) + ">")
            .text("SUBJECT", "Re: " + question)
            .text("KEYLIST", keylist)
            .text("INFO", crlf(body));
        out.push_back(r.take());
        number += 1 + int(mix(uint32_t(n), 7) % 5);
        ++n;
    }
    return out;
}

// Forum sections by the download-site category's first part.
int forumSection(const FileItem& f)
{
    const std::string c = f.category;
    static const std::pair<const char*, int> map[] = {
        {"Components", 3}, {"Database", 6}, {"Samples", 9},  {"Libraries", 4}, {"Documents", 1},
        {"IDE", 2},        {"Tools", 5},    {"Internet", 11}, {"Graphics", 8},  {"Printing", 7},
        {"Reporting", 7},  {"Multimedia", 8}};
    for (const auto& [prefix, section] : map)
        if (c.rfind(prefix, 0) == 0)
            return section;
    return 12;
}

std::string howToInstall(const FileItem& f)
{
    const std::string c = f.category;
    if (c.rfind("Components", 0) == 0 || c.rfind("Database\\Grids", 0) == 0 || c.rfind("Database\\Edits", 0) == 0 ||
        c.rfind("Database\\Navigators", 0) == 0 || c.rfind("Database\\Dialogs", 0) == 0)
        return "Unzip into a folder of its own, then install the registration unit with Component|Install. "
               "The component appears on the palette page named in the README.";
    if (c.rfind("Samples", 0) == 0)
        return "Unzip with folders and open the .DPR project in the IDE. No components need to be installed.";
    if (c.rfind("Libraries", 0) == 0)
        return "Copy the units to your library path and add them to the uses clause.";
    if (c.rfind("Documents", 0) == 0)
        return "Contains a Windows help file and plain text versions of the chapters.";
    return "Run SETUP.EXE from the archive; the program removes itself cleanly through its uninstaller.";
}

std::string wareText(char ware)
{
    switch (ware) {
    case 'F': return "Freeware, source code included.";
    case 'S': return "Shareware: please register if you use it after 30 days. Source code for registered users.";
    case 'C': return "Commercial product, demo version.";
    default: return "Public domain source code; use it as you like.";
    }
}

// The 16-bit upload of a file on the older forum: same archive name with "16" in it.
std::string sixteenBitName(const std::string& file)
{
    const auto dot = file.find('.');
    const std::string stem = file.substr(0, dot);
    return stem.substr(0, std::min<size_t>(stem.size(), 6)) + "16" + file.substr(dot);
}

std::vector<tv::Record> forumFiles(bool delphi32)
{
    const BaseDef& def = baseDef(delphi32 ? Base::Forum32 : Base::ForumDelphi);
    std::vector<tv::Record> out;
    int n = 0;
    for (const FileItem& f : fileItems()) {
        const Person& up = person(n * 5 + (delphi32 ? 1 : 2));
        const uint32_t salt = delphi32 ? 10 : 20;
        const tv::Date ul = delphi32 ? dateForRelease(n, int(salt), f.release == std::string("1.0") ? "2.0" : f.release)
                                     : sampleDateIn(n, int(salt), 1995, 1996);
        const int32_t later = mix(uint32_t(n), salt + 1) % 3 == 0 ? int32_t(mix(uint32_t(n), salt + 2) % 200) : 0;
        const tv::Date upd{std::min(ul.day + later, tv::dateFromYmd(1998, 12, 31).day)};
        const std::string release = delphi32 ? std::string(f.release == std::string("1.0") ? "2.0" : f.release) : "1.0";
        const std::string file = delphi32 ? f.file : sixteenBitName(f.file);
        const std::string comments = std::string(f.about) + "\n\nFor Delphi " + release +
                                     (delphi32 ? " (32-bit)." : " (16-bit), also runs under Windows 3.1.") + "\n" +
                                     howToInstall(f) + "\n" + wareText(f.ware) + "\n\nUploaded by " + up.name + ".\n";
        const double size = double(f.sizeKb) * 1024.0 + double(mix(uint32_t(n), salt + 3) % 1000) - (delphi32 ? 0 : 2048);
        RecordBuilder r(def);
        r.set("Section", int64_t(forumSection(f) + (delphi32 ? 0 : 2)))
            .text("Title", f.title)
            .text("File Name", file)
            .text("Keywords", f.keywords)
            .text("CIS Name", up.name)
            .text("CIS ID", up.cisId)
            .text("File Type", "Binary")
            .set("File Size", std::max(1024.0, size))
            .set("DL Count", double(20 + mix(uint32_t(n), salt + 4) % 2400))
            .set("UL Date", ul)
            .set("Update", upd)
            .text("Forum", delphi32 ? "Delphi32" : "Delphi")
            .text("Comments", crlf(comments));
        out.push_back(r.take());
        ++n;
    }
    return out;
}

std::vector<tv::Record> downloadSite()
{
    const BaseDef& def = baseDef(Base::Dsp);
    std::vector<tv::Record> out;
    int n = 0;
    for (const FileItem& f : fileItems()) {
        const Person& author = person(n * 3 + 4);
        std::string version = f.release;
        if (mix(uint32_t(n), 30) % 4 == 0 && version == "2.0")
            version = "2.0/3.0";
        const std::string desc = std::string(f.about) + "\n\n" + wareText(f.ware) + "\nAuthor: " + author.name +
                                 " <" + mailAddress(author) + ">\n";
        RecordBuilder r(def);
        r.text("Delphi Version", version)
            .text("Category", f.category)
            .text("File", lower(f.file))
            .set("Size", int64_t(f.sizeKb) * 1024 + int64_t(mix(uint32_t(n), 31) % 1000))
            .text("Ware", std::string(1, f.ware))
            .text("Name", author.name)
            .set("Date", dateForRelease(n, 32, version))
            .text("Comments", clip(f.title, 50))
            .text("Description", crlf(desc))
            .text("Keywords", clip(lower(f.keywords), 50));
        out.push_back(r.take());
        ++n;
    }
    return out;
}

std::vector<tv::Record> snippets()
{
    const BaseDef& def = baseDef(Base::Swag);
    std::vector<tv::Record> out;
    std::vector<std::pair<std::string, int>> counters;
    int n = 0;
    for (const SnippetItem& s : snippetItems()) {
        auto it = std::find_if(counters.begin(), counters.end(), [&](const auto& c) { return c.first == s.library; });
        if (it == counters.end()) {
            counters.emplace_back(s.library, 0);
            it = counters.end() - 1;
        }
        it->second += 1 + int(mix(uint32_t(n), 40) % 3);
        RecordBuilder r(def);
        r.set("ID", int64_t(n + 1))
            .text("SWAG Library", s.library)
            .set("Snippet ID", int64_t(it->second))
            .text("Subject", s.subject)
            .text("Contributor", person(n * 13 + 6).name)
            .set("Size", int64_t(600 + mix(uint32_t(n), 41) % 14000))
            .set("Date", sampleDate(n, 42));
        out.push_back(r.take());
        ++n;
    }
    return out;
}

// ISBN-10 check digit over the nine digits of a hyphenated prefix.
std::string withCheckDigit(const std::string& prefix)
{
    int sum = 0, weight = 10;
    for (char c : prefix)
        if (std::isdigit(static_cast<unsigned char>(c)))
            sum += (c - '0') * weight--;
    const int check = (11 - sum % 11) % 11;
    return prefix + "-" + (check == 10 ? std::string("X") : std::to_string(check));
}

// The closing paragraph of a review: who the book is for and where its code comes from.
std::string bookFacts(const BookItem& b)
{
    static const char* readers[] = {"Not yet classified.", "For beginners.", "For readers who know the basics.",
                                    "For experienced programmers."};
    const std::string code = b.code;
    std::string source = code == "None"  ? "No source code comes with the book."
                         : code == "FTP" ? "The source code is available for download from the publisher."
                                         : "The source code comes on " + code + ".";
    char price[32];
    std::snprintf(price, sizeof price, "%.2f", b.price);
    return std::string(readers[b.level >= 0 && b.level <= 3 ? b.level : 0]) + " " + source + " List price " +
           price + " USD.";
}

std::vector<tv::Record> books()
{
    const BaseDef& def = baseDef(Base::Books);
    static const char* ratingFields[] = {"TechnicalContentsQuality", "QualityOfWriting", "ValueForMoney",
                                         "OverallAssessment"};
    std::vector<tv::Record> out;
    uint32_t n = 0;
    for (const BookItem& b : bookItems()) {
        RecordBuilder r(def);
        r.text("ISBN", withCheckDigit(b.isbn))
            .text("Author", b.author)
            .text("Title", b.title)
            .text("Publisher", b.publisher)
            .set("Price", b.price)
            .text("Code", b.code)
            .set("Level", b.level > 0 ? Value(int64_t(b.level)) : Value(std::monostate{}))
            .text("Comments", crlf(std::string(b.comments) + "\n\n" + bookFacts(b)))
            .set("Cover", tv::Blob{coverBitmap(b.title, mix(n, 50), 72, 88)});
        for (int k = 0; k < 4; ++k)
            r.set(ratingFields[k], b.ratings[k] < 0 ? Value(std::monostate{}) : Value(int64_t(b.ratings[k])));
        out.push_back(r.take());
        ++n;
    }
    return out;
}

std::vector<tv::Record> privateNotes()
{
    const BaseDef& def = baseDef(Base::Private);
    struct Note {
        const char* source; const char* topic; const char* keywords; const char* category; const char* delphi;
        int y, m, d; const char* text;
    };
    static const Note notes[] = {
        {"Own experience", "Welcome to your private notes", "NOTES;PRIVATE", "Non Tech -General", "General", 1997, 3, 14,
         R"~(This page is yours. Append a record with the Append button, type a topic, pick a category and write whatever you want to keep in the description: code you wrote, answers you found, addresses.

Press Post to store the note; it is written to disk at once. Use the date button to pick the date from a calendar.)~"},
        {"Newsgroup", "TForm.Position after a resolution change", "TFORM;POSITION;SCREEN", "Delphi IDE", "2.0", 1997, 9, 2,
         R"~(A form saved with Position = poDesigned appeared off screen on the laptop (800x600). Switched the main TForm to poScreenCenter and save Left/Top myself only when they are inside Screen.Width/Height.

Remember: check Screen.Height minus the taskbar.)~"},
        {"Jürgen's mail", "Sorting names with umlauts", "ANSICOMPARETEXT;SORT", "Object Pascal", "3.0", 1998, 1, 20,
         R"~(CompareText puts "Müller" after "Mz". AnsiCompareText sorts it as the user expects. Straße and STRASSE still differ, which is right for our customer list.)~"},
    };
    std::vector<tv::Record> out;
    int64_t id = 1;
    for (const Note& note : notes) {
        RecordBuilder r(def);
        r.set("ID", id++)
            .text("Source", note.source)
            .text("Topic", note.topic)
            .text("Keywords", note.keywords)
            .text("Category", note.category)
            .text("Delphi", note.delphi)
            .set("Date", tv::dateFromYmd(note.y, note.m, note.d))
            .text("Description", crlf(note.text));
        out.push_back(r.take());
    }
    return out;
}

} // namespace

std::vector<tv::Record> sampleRecords(Base b)
{
    switch (b) {
    case Base::Topics: return topics();
    case Base::QA: return questions();
    case Base::News: return news();
    case Base::Forum32: return forumFiles(true);
    case Base::ForumDelphi: return forumFiles(false);
    case Base::Dsp: return downloadSite();
    case Base::Swag: return snippets();
    case Base::Books: return books();
    case Base::Private: return privateNotes();
    }
    return {};
}

} // namespace mkbases
