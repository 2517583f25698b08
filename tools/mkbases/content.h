#pragma once
// The sample content: hand-written tips, questions, messages, file lists, snippets, books and
// notes, and the helpers that turn them into records of the catalogue's layouts.

#include "catalog.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mkbases {

// One piece of programming knowledge. The same item appears as a topic (base 1), as a
// question with its answer (base 2) and as a newsgroup thread (base 3), as such texts
// circulate between collections.
struct Tip {
    const char* topic;     // short title, up to 30 characters
    const char* question;  // the question as a reader would ask it, up to 76 characters
    const char* category;  // short category, up to 8 characters (see qaCategory())
    const char* cls;       // the class it is about, up to 8 characters
    const char* type;      // Tip, HowTo, Bug, Info, FAQ, Sample
    const char* release;   // "1.0", "2.0" or "3.0"
    const char* keywords;  // up to 30 characters
    const char* ask;       // the reader's question, a paragraph or two
    const char* answer;    // the answer, several paragraphs
};
const std::vector<Tip>& tips();
// The longer category name the question-and-answer base uses for a short one.
std::string qaCategory(const std::string& shortCategory);

// A file offered on the forums and the download site.
struct FileItem {
    const char* file;       // 8.3 name
    const char* title;      // up to 70 characters
    const char* keywords;   // up to 50 characters
    const char* category;   // download-site category, up to 35 characters
    char ware;              // F freeware, S shareware, C commercial demo, P public domain source
    const char* release;    // "1.0", "2.0" or "3.0"
    int sizeKb;             // archive size
    const char* about;      // what it is and does, one or two paragraphs
};
const std::vector<FileItem>& fileItems();

struct SnippetItem {
    const char* library;  // up to 25 characters
    const char* subject;  // up to 60 characters
};
const std::vector<SnippetItem>& snippetItems();

struct BookItem {
    const char* isbn;
    const char* author;
    const char* title;
    const char* publisher;
    double price;
    const char* code;     // where the source code comes: "CD-ROM", "Disk", "FTP", "None", ...
    int level;            // 1 to 3; 0 = not rated
    int ratings[4];       // technical contents, writing, value, overall; 0 = not rated, -1 = empty
    const char* comments;
};
const std::vector<BookItem>& bookItems();

// People who post, upload and write (some with letters beyond ASCII).
struct Person {
    const char* name;
    const char* cisId;  // forum member number, e.g. "74431,1234"
};
const std::vector<Person>& people();

// A deterministic date in 1995-1998 for the n-th record of a base.
tv::Date sampleDate(int n, int salt);
tv::Date sampleDateIn(int n, int salt, int firstYear, int lastYear);

// Windows line ends for memo text written with '\n'.
std::string crlf(const std::string& text);

// A small cover picture: a complete BMP file (24 bits per pixel, bottom-up rows).
std::string coverBitmap(const std::string& title, uint32_t seed, int width, int height);

// Fills records of one layout by field name, refusing text that does not fit its field.
class RecordBuilder {
public:
    explicit RecordBuilder(const BaseDef& def);
    RecordBuilder& set(const std::string& field, tv::Value v);
    RecordBuilder& text(const std::string& field, const std::string& utf8);
    tv::Record take();

private:
    const BaseDef& def_;
    tv::Record rec_;
};

// Number of characters in a UTF-8 string.
size_t utf8Length(const std::string& s);

// The hand-written records of one base, in the order they are inserted.
std::vector<tv::Record> sampleRecords(Base b);

} // namespace mkbases
