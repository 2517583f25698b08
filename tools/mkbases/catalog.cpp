#include "catalog.h"

#include <stdexcept>

namespace mkbases {

using tv::IndexDef;

namespace {

// The fields of a base exactly as the program's catalogue declares them; the key and the
// indexes are the sample files' own.
BaseDef declared(Base base, int keyFields)
{
    const tv::data::BaseDecl& decl = *tv::data::baseByNumber(static_cast<int>(base));
    BaseDef d{base, std::string(decl.fileName), decl.format, tv::data::tableSpecFor(decl)};
    d.spec.primaryKeyFields = keyFields;
    return d;
}

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
    BaseDef d = declared(Base::Topics, 1);
    // SOURCE, CLASS and TYPE stay without an index.
    d.spec.secondary = {byText("ByTopic", "TOPIC"), byText("ByCategory", "CATEGORY"),
                        byText("ByKeywords", "KEYWORDS"), byText("ByRelease", "RELEASE"),
                        byValue("LASTCHANGED")};
    return d;
}

BaseDef qa()
{
    BaseDef d = declared(Base::QA, 1);
    // "Ver" stays without an index.
    d.spec.secondary = {byText("ByTopic", "Topic"), byText("ByCategory", "Category"),
                        byText("ByKeywords", "Keywords")};
    return d;
}

BaseDef news()
{
    BaseDef d = declared(Base::News, 0);
    // NO and KEYLIST stay without a tag.
    d.spec.secondary = {tag("SUBJECT"), tag("AUTHOR")};
    return d;
}

BaseDef forum32()
{
    BaseDef d = declared(Base::Forum32, 3);
    // CIS ID, File Type, File Size, DL Count and Update stay without an index.
    d.spec.secondary = {byText("ByTitle", "Title"), byText("ByFileName", "File Name"),
                        byText("ByCISName", "CIS Name"), byText("ByKeywords", "Keywords"), byValue("UL Date")};
    return d;
}

BaseDef forumDelphi()
{
    BaseDef d = declared(Base::ForumDelphi, 3);
    d.spec.secondary = {byText("ByTitle", "Title"), byText("ByFileName", "File Name"),
                        byText("ByCISName", "CIS Name"), byValue("UL Date")};
    return d;
}

BaseDef dsp()
{
    BaseDef d = declared(Base::Dsp, 3);
    // Size, Ware and Comments stay without an index.
    d.spec.secondary = {byText("ByCategory", "Category"), byText("ByFile", "File"), byText("ByName", "Name"),
                        byValue("Date")};
    return d;
}

BaseDef swag()
{
    BaseDef d = declared(Base::Swag, 1);
    // Snippet ID, Size and Date stay without an index.
    d.spec.secondary = {byText("BySubject", "Subject"), byText("ByLibrary", "SWAG Library"),
                        byText("ByContributor", "Contributor")};
    return d;
}

BaseDef books()
{
    BaseDef d = declared(Base::Books, 1);
    // Price, Code, Level and the four ratings stay without an index.
    d.spec.secondary = {byText("ByAuthor", "Author"), byText("ByTitle", "Title"),
                        byText("ByPublisher", "Publisher")};
    return d;
}

BaseDef privateNotes()
{
    BaseDef d = declared(Base::Private, 1);
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
