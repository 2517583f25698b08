#include "catalogue.h"

#include "engine/codepage.h"

#include <algorithm>

namespace tv::data {

namespace {

using D = Declared;

// Base 1, topics and tips.
constexpr FieldDecl kTopics[] = {
    {"ID", D::AutoInc, 0, "", 4, true},
    {"CATEGORY", D::String, 8, "Categ.", 13, true},
    {"TOPIC", D::String, 30, "Topic", 30, true},
    {"KEYWORDS", D::String, 30, "Keywords", 30, true},
    {"SOURCE", D::String, 4, "Source", 10, true},
    {"CLASS", D::String, 8, "Class", 11, true},
    {"TYPE", D::String, 8, "Type", 10, true},
    {"RELEASE", D::String, 8, "Delphi", 11, true},
    {"LASTCHANGED", D::Date, 0, "Date", 11, true},
    {"DESCRIPTION", D::Memo, 10, "Description", 42, false},
};

// Base 2, questions and answers.
constexpr FieldDecl kQA[] = {
    {"Number", D::Int32, 0, "ID", 4, true},
    {"Topic", D::String, 80, "", 30, true},
    {"Category", D::String, 15, "CATEG.", 13, true},
    {"Keywords", D::String, 125, "", 30, true},
    {"Ver", D::String, 5, "Delphi", 8, true},
    {"Q", D::Memo, 240, "", 10, false},
    {"A", D::Memo, 240, "Answer", 10, false},
};

// Base 3, newsgroup digest (dBASE).
constexpr FieldDecl kNews[] = {
    {"NO", D::Float, 0, "", 5, true},
    {"AUTHOR", D::String, 60, "", 20, true},
    {"SUBJECT", D::String, 80, "", 47, true},
    {"KEYLIST", D::String, 80, "", 33, true},
    {"INFO", D::Memo, 1, "", 14, false},
};

// Base 4, file list of the forum "Delphi32".
constexpr FieldDecl kFilesD32[] = {
    {"Section", D::Int16, 0, "", 9, true},
    {"Title", D::String, 70, "", 70, true},
    {"File Name", D::String, 12, "", 12, true},
    {"Keywords", D::String, 70, "KEYWORDS", 30, true},
    {"CIS Name", D::String, 25, "", 19, true},
    {"CIS ID", D::String, 12, "", 12, true},
    {"File Type", D::String, 6, "", 6, true},
    {"File Size", D::Float, 0, "", 10, true},
    {"DL Count", D::Float, 0, "", 10, true},
    {"UL Date", D::Date, 0, "", 10, true},
    {"Update", D::Date, 0, "", 10, true},
    {"Forum", D::String, 8, "", 11, false},
    {"Comments", D::Memo, 60, "", 12, false},
};

// Base 40, file list of the forum "Delphi": same fields, another order, no attributes.
constexpr FieldDecl kFilesDel[] = {
    {"Forum", D::String, 8, "", 0, true},
    {"Section", D::Int16, 0, "", 0, true},
    {"File Name", D::String, 12, "", 0, true},
    {"CIS ID", D::String, 12, "", 0, true},
    {"CIS Name", D::String, 25, "", 0, true},
    {"File Type", D::String, 6, "", 0, true},
    {"File Size", D::Float, 0, "", 0, true},
    {"DL Count", D::Float, 0, "", 0, true},
    {"UL Date", D::Date, 0, "", 0, true},
    {"Update", D::Date, 0, "", 0, true},
    {"Title", D::String, 70, "", 0, true},
    {"Keywords", D::String, 70, "", 0, true},
    {"Comments", D::Memo, 60, "", 0, true},
};

// Base 5, download site.
constexpr FieldDecl kDsp[] = {
    {"Delphi Version", D::String, 10, "", 0, false},
    {"Category", D::String, 35, "", 18, true},
    {"File", D::String, 20, "", 12, true},
    {"Size", D::Int32, 0, "", 6, true},
    {"Ware", D::String, 1, "", 5, true},
    {"Name", D::String, 50, "", 14, true},
    {"Date", D::Date, 0, "", 10, true},
    {"Comments", D::String, 50, "COMMENTS", 50, true},
    {"Description", D::Memo, 1, "", 0, false},
    {"Keywords", D::String, 50, "", 0, false},
};
constexpr PictureDecl kDspPictures[] = {
    {"SIZE", "[###,][###,][###]", false},
};

// Base 6, snippet archive index.
constexpr FieldDecl kSwag[] = {
    {"ID", D::Int32, 0, "", 4, true},
    {"SWAG Library", D::String, 25, "", 15, true},
    {"Snippet ID", D::Int32, 0, "", 11, true},
    {"Subject", D::String, 60, "", 26, true},
    {"Contributor", D::String, 40, "", 19, true},
    {"Size", D::Int32, 0, "", 7, true},
    {"Date", D::Date, 0, "", 10, true},
};

// Base 7, book catalogue.
constexpr FieldDecl kBooks[] = {
    {"ISBN", D::String, 16, "", 13, true},
    {"Author", D::String, 64, "", 39, true},
    {"Title", D::String, 64, "", 37, true},
    {"Publisher", D::String, 32, "", 32, true},
    {"Price", D::Currency, 0, "", 10, true},
    {"Code", D::String, 7, "Source Code", 7, true},
    {"Level", D::Int16, 0, "", 10, true},
    {"TechnicalContentsQuality", D::Int16, 0, "Technical Contents", 28, true},
    {"QualityOfWriting", D::Int16, 0, "Writing", 18, true},
    {"ValueForMoney", D::Int16, 0, "Value", 17, true},
    {"OverallAssessment", D::Int16, 0, "Overall", 21, true},
    {"Comments", D::Memo, 10, "", 12, false},
    {"Cover", D::Graphic, 0, "", 10, false},
};

// Base 9, the user's private notes (the one editable base).
constexpr FieldDecl kPrivate[] = {
    {"ID", D::AutoInc, 0, "", 4, true},
    {"Source", D::String, 30, "", 17, true},
    {"Topic", D::String, 50, "", 25, true},
    {"Keywords", D::String, 30, "", 24, true},
    {"Category", D::String, 20, "", 13, true},
    {"Delphi", D::String, 10, "", 11, true},
    {"Date", D::Date, 0, "", 10, true},
    {"Description", D::Memo, 2, "", 14, false},
};
constexpr PictureDecl kPrivatePictures[] = {
    {"Date", "#[#]/#[#]/##[##]", true},
};

constexpr BaseDecl kBases[] = {
    {1, "DTOPICS.DB", Format::Paradox, "wwTable1", "wwDataSource1", kTopics, {}},
    {2, "QA.DB", Format::Paradox, "wwTable2", "wwDataSource2", kQA, {}},
    {3, "DELPNEWS.DBF", Format::Dbase, "wwTable3", "wwDataSource3", kNews, {}},
    {4, "Filesd32.db", Format::Paradox, "wwTable4", "wwDataSource4", kFilesD32, {}},
    {40, "Filesdel.db", Format::Paradox, "wwTable40", "wwDataSource40", kFilesDel, {}},
    {5, "DSP.db", Format::Paradox, "wwTable5", "wwDataSource5", kDsp, kDspPictures},
    {6, "SWAG.db", Format::Paradox, "wwTable6", "wwDataSource6", kSwag, {}},
    {7, "DELBOOKS.DB", Format::Paradox, "wwTable7", "wwDataSource7", kBooks, {}},
    {9, "private.db", Format::Paradox, "wwTable9", "wwDataSource9", kPrivate, kPrivatePictures},
};

// Letters a-z only, whatever the locale (in a Turkish one the capital of "i" is not "I").
bool sameNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && foldAsciiUpper(a) == foldAsciiUpper(b);
}

} // namespace

std::span<const BaseDecl> bases() { return kBases; }

const BaseDecl* baseByNumber(int number)
{
    for (const auto& b : kBases)
        if (b.number == number)
            return &b;
    return nullptr;
}

std::string_view displayLabel(const FieldDecl& f) { return f.label.empty() ? f.name : f.label; }

const FieldDecl* findDeclared(const BaseDecl& base, std::string_view name)
{
    for (const auto& f : base.fields)
        if (sameNoCase(f.name, name))
            return &f;
    return nullptr;
}

const PictureDecl* findPicture(const BaseDecl& base, std::string_view field)
{
    for (const auto& p : base.pictures)
        if (sameNoCase(p.field, field))
            return &p;
    return nullptr;
}

bool typeFits(Declared declared, FieldType stored)
{
    const FieldKind k = kindOf(stored);
    switch (declared) {
    case D::AutoInc:
    case D::Int16:
    case D::Int32:
        return k == FieldKind::Integer;
    case D::String:
        return k == FieldKind::Text;
    case D::Float:
    case D::Currency:
        return k == FieldKind::Float || k == FieldKind::Integer;
    case D::Date:
        return k == FieldKind::Date;
    case D::Memo:
        return k == FieldKind::Memo;
    case D::Graphic:
        return k == FieldKind::Blob;
    }
    return false;
}

std::string_view declaredTypeName(Declared d)
{
    switch (d) {
    case D::AutoInc: return "auto-increment";
    case D::String: return "string";
    case D::Int16: return "16-bit integer";
    case D::Int32: return "32-bit integer";
    case D::Float: return "floating point";
    case D::Currency: return "currency";
    case D::Date: return "date";
    case D::Memo: return "memo";
    case D::Graphic: return "graphic";
    }
    return "?";
}

void checkDeclaredFields(const BaseDecl& base, const TableFile& file)
{
    const auto& stored = file.fields();
    for (const auto& decl : base.fields) {
        const auto it = std::find_if(stored.begin(), stored.end(),
                                     [&](const FieldDef& f) { return sameNoCase(f.name, decl.name); });
        if (it == stored.end())
            throw EngineError(file.path() + ": field \"" + std::string(decl.name) + "\" not found");
        if (!typeFits(decl.type, it->type))
            throw EngineError(file.path() + ": field \"" + std::string(decl.name) + "\" should be a "
                              + std::string(declaredTypeName(decl.type)) + " field, but its type is "
                              + typeLetter(it->type));
    }
}

TableSpec tableSpecFor(const BaseDecl& base)
{
    TableSpec spec;
    const bool dbf = base.format == Format::Dbase;
    for (const auto& d : base.fields) {
        FieldDef f;
        f.name = std::string(d.name);
        switch (d.type) {
        case D::AutoInc: f.type = FieldType::AutoInc; f.size = 4; break;
        case D::String: f.type = dbf ? FieldType::DbChar : FieldType::Alpha; f.size = d.size; break;
        case D::Int16: f.type = dbf ? FieldType::DbNumeric : FieldType::Short; f.size = dbf ? 6 : 2; break;
        case D::Int32: f.type = dbf ? FieldType::DbNumeric : FieldType::Long; f.size = dbf ? 11 : 4; break;
        case D::Float:
        case D::Currency:
            if (dbf) {
                f.type = FieldType::DbNumeric;
                f.size = 10;
            } else {
                f.type = d.type == D::Float ? FieldType::Number : FieldType::Money;
                f.size = 8;
            }
            break;
        case D::Date: f.type = dbf ? FieldType::DbDate : FieldType::Date; f.size = dbf ? 8 : 4; break;
        case D::Memo:
            // A Paradox memo keeps its leader in the record, after a 10-byte reference.
            f.type = dbf ? FieldType::DbMemo : FieldType::Memo;
            f.size = dbf ? 10 : d.size + 10;
            break;
        case D::Graphic: f.type = FieldType::Graphic; f.size = 10; break;
        }
        spec.fields.push_back(std::move(f));
    }
    // Paradox bases are keyed on their first field when it is a number (ID-like).
    if (!dbf && !base.fields.empty()) {
        const Declared first = base.fields.front().type;
        if (first == D::AutoInc || first == D::Int32)
            spec.primaryKeyFields = 1;
    }
    return spec;
}

} // namespace tv::data
