#include "catalog.h"

#include <stdexcept>

namespace mkbases {

using tv::FieldDef;
using tv::FieldType;
using tv::IndexDef;

namespace {

FieldDef alpha(const char* name, int size) { return {name, FieldType::Alpha, size, 0}; }
FieldDef autoInc(const char* name) { return {name, FieldType::AutoInc, 4, 0}; }
FieldDef long32(const char* name) { return {name, FieldType::Long, 4, 0}; }
FieldDef short16(const char* name) { return {name, FieldType::Short, 2, 0}; }
FieldDef number(const char* name) { return {name, FieldType::Number, 8, 0}; }
FieldDef money(const char* name) { return {name, FieldType::Money, 8, 0}; }
FieldDef date(const char* name) { return {name, FieldType::Date, 4, 0}; }
FieldDef memo(const char* name, int leader) { return {name, FieldType::Memo, blobFieldSize(leader), 0}; }
// The cover pictures are Windows bitmaps (BMP files, 24 bits per pixel) kept whole in the blob.
FieldDef graphic(const char* name) { return {name, FieldType::Graphic, blobFieldSize(0), 0}; }

// A case-insensitive index over one text column, the order a user picks by clicking a title.
IndexDef byText(const char* name, const char* field)
{
    IndexDef d;
    d.name = name;
    d.fields = {field};
    d.caseInsensitive = true;
    return d;
}

// A case-sensitive single-field index (dates, numbers); such an index carries its field's name.
IndexDef byValue(const char* field)
{
    IndexDef d;
    d.name = field;
    d.fields = {field};
    return d;
}

// A dBASE tag over a text field, ignoring case (its key is UPPER(field)).
IndexDef tag(const char* field)
{
    IndexDef d;
    d.name = field;
    d.fields = {field};
    d.caseInsensitive = true;
    d.expressionText = std::string("UPPER(") + field + ")";
    return d;
}

BaseDef topics()
{
    BaseDef d{Base::Topics, "DTOPICS.DB", Format::Paradox, {}};
    d.spec.fields = {autoInc("ID"), alpha("CATEGORY", 8), alpha("TOPIC", 30), alpha("KEYWORDS", 30),
                     alpha("SOURCE", 4), alpha("CLASS", 8), alpha("TYPE", 8), alpha("RELEASE", 8),
                     date("LASTCHANGED"), memo("DESCRIPTION", 10)};
    d.spec.primaryKeyFields = 1;
    // SOURCE, CLASS and TYPE stay without an index.
    d.spec.secondary = {byText("ByTopic", "TOPIC"), byText("ByCategory", "CATEGORY"),
                        byText("ByKeywords", "KEYWORDS"), byText("ByRelease", "RELEASE"),
                        byValue("LASTCHANGED")};
    return d;
}

BaseDef qa()
{
    BaseDef d{Base::QA, "QA.DB", Format::Paradox, {}};
    d.spec.fields = {long32("Number"), alpha("Topic", 80), alpha("Category", 15), alpha("Keywords", 125),
                     alpha("Ver", 5), memo("Q", 240), memo("A", 240)};
    d.spec.primaryKeyFields = 1;
    // "Ver" stays without an index.
    d.spec.secondary = {byText("ByTopic", "Topic"), byText("ByCategory", "Category"),
                        byText("ByKeywords", "Keywords")};
    return d;
}

BaseDef news()
{
    BaseDef d{Base::News, "DELPNEWS.DBF", Format::Dbase, {}};
    // Message numbers are whole numbers kept in a numeric column (dBASE III+ has no F type).
    d.spec.fields = {{"NO", FieldType::DbNumeric, 10, 0}, {"AUTHOR", FieldType::DbChar, 60, 0},
                     {"SUBJECT", FieldType::DbChar, 80, 0}, {"KEYLIST", FieldType::DbChar, 80, 0},
                     {"INFO", FieldType::DbMemo, 10, 0}};
    // NO and KEYLIST stay without a tag.
    d.spec.secondary = {tag("SUBJECT"), tag("AUTHOR")};
    return d;
}

BaseDef forum32()
{
    BaseDef d{Base::Forum32, "Filesd32.db", Format::Paradox, {}};
    d.spec.fields = {short16("Section"), alpha("Title", 70), alpha("File Name", 12), alpha("Keywords", 70),
                     alpha("CIS Name", 25), alpha("CIS ID", 12), alpha("File Type", 6), number("File Size"),
                     number("DL Count"), date("UL Date"), date("Update"), alpha("Forum", 8), memo("Comments", 60)};
    d.spec.primaryKeyFields = 3;
    // CIS ID, File Type, File Size, DL Count and Update stay without an index.
    d.spec.secondary = {byText("ByTitle", "Title"), byText("ByFileName", "File Name"),
                        byText("ByCISName", "CIS Name"), byText("ByKeywords", "Keywords"), byValue("UL Date")};
    return d;
}

BaseDef forumDelphi()
{
    BaseDef d{Base::ForumDelphi, "Filesdel.db", Format::Paradox, {}};
    d.spec.fields = {alpha("Forum", 8), short16("Section"), alpha("File Name", 12), alpha("CIS ID", 12),
                     alpha("CIS Name", 25), alpha("File Type", 6), number("File Size"), number("DL Count"),
                     date("UL Date"), date("Update"), alpha("Title", 70), alpha("Keywords", 70), memo("Comments", 60)};
    d.spec.primaryKeyFields = 3;
    d.spec.secondary = {byText("ByTitle", "Title"), byText("ByFileName", "File Name"),
                        byText("ByCISName", "CIS Name"), byValue("UL Date")};
    return d;
}

BaseDef dsp()
{
    BaseDef d{Base::Dsp, "DSP.db", Format::Paradox, {}};
    d.spec.fields = {alpha("Delphi Version", 10), alpha("Category", 35), alpha("File", 20), long32("Size"),
                     alpha("Ware", 1), alpha("Name", 50), date("Date"), alpha("Comments", 50),
                     memo("Description", 1), alpha("Keywords", 50)};
    d.spec.primaryKeyFields = 3;
    // Size, Ware and Comments stay without an index.
    d.spec.secondary = {byText("ByCategory", "Category"), byText("ByFile", "File"), byText("ByName", "Name"),
                        byValue("Date")};
    return d;
}

BaseDef swag()
{
    BaseDef d{Base::Swag, "SWAG.db", Format::Paradox, {}};
    d.spec.fields = {long32("ID"), alpha("SWAG Library", 25), long32("Snippet ID"), alpha("Subject", 60),
                     alpha("Contributor", 40), long32("Size"), date("Date")};
    d.spec.primaryKeyFields = 1;
    // Snippet ID, Size and Date stay without an index.
    d.spec.secondary = {byText("BySubject", "Subject"), byText("ByLibrary", "SWAG Library"),
                        byText("ByContributor", "Contributor")};
    return d;
}

BaseDef books()
{
    BaseDef d{Base::Books, "DELBOOKS.DB", Format::Paradox, {}};
    d.spec.fields = {alpha("ISBN", 16), alpha("Author", 64), alpha("Title", 64), alpha("Publisher", 32),
                     money("Price"), alpha("Code", 7), short16("Level"), short16("TechnicalContentsQuality"),
                     short16("QualityOfWriting"), short16("ValueForMoney"), short16("OverallAssessment"),
                     memo("Comments", 10), graphic("Cover")};
    d.spec.primaryKeyFields = 1;
    // Price, Code, Level and the four ratings stay without an index.
    d.spec.secondary = {byText("ByAuthor", "Author"), byText("ByTitle", "Title"),
                        byText("ByPublisher", "Publisher")};
    return d;
}

BaseDef privateNotes()
{
    BaseDef d{Base::Private, "private.db", Format::Paradox, {}};
    d.spec.fields = {autoInc("ID"), alpha("Source", 30), alpha("Topic", 50), alpha("Keywords", 30),
                     alpha("Category", 20), alpha("Delphi", 10), date("Date"), memo("Description", 2)};
    d.spec.primaryKeyFields = 1;
    // Source, Keywords and Delphi stay without an index.
    d.spec.secondary = {byText("ByTopic", "Topic"), byText("ByCategory", "Category"), byValue("Date")};
    return d;
}

} // namespace

const std::vector<BaseDef>& catalog()
{
    static const std::vector<BaseDef> all = {topics(), qa(), news(), forum32(), forumDelphi(),
                                             dsp(), swag(), books(), privateNotes()};
    return all;
}

const BaseDef& baseDef(Base b)
{
    for (const auto& d : catalog())
        if (d.base == b)
            return d;
    throw std::out_of_range("unknown base");
}

int fieldIndex(const BaseDef& def, const std::string& name)
{
    for (size_t i = 0; i < def.spec.fields.size(); ++i)
        if (def.spec.fields[i].name == name)
            return int(i);
    throw std::out_of_range(def.file + ": no field " + name);
}

} // namespace mkbases
