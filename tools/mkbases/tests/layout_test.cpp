// The written files carry exactly the declared fields, and the indexes the pages need.
#include "testsupport.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace mkbases;
using namespace mkbases::test;

namespace {

// The declared layouts, written as the dump tool prints field descriptors (memo and graphic
// sizes are the part kept in the record plus 10).
const std::map<Base, std::string> kDeclared = {
    {Base::Topics, "ID:+:4 CATEGORY:A:8 TOPIC:A:30 KEYWORDS:A:30 SOURCE:A:4 CLASS:A:8 TYPE:A:8 RELEASE:A:8 "
                   "LASTCHANGED:D:4 DESCRIPTION:M:20"},
    {Base::QA, "Number:I:4 Topic:A:80 Category:A:15 Keywords:A:125 Ver:A:5 Q:M:250 A:M:250"},
    {Base::News, "NO:dN:10 AUTHOR:dC:60 SUBJECT:dC:80 KEYLIST:dC:80 INFO:dM:10"},
    {Base::Forum32, "Section:S:2 Title:A:70 File Name:A:12 Keywords:A:70 CIS Name:A:25 CIS ID:A:12 File Type:A:6 "
                    "File Size:N:8 DL Count:N:8 UL Date:D:4 Update:D:4 Forum:A:8 Comments:M:70"},
    {Base::ForumDelphi, "Forum:A:8 Section:S:2 File Name:A:12 CIS ID:A:12 CIS Name:A:25 File Type:A:6 File Size:N:8 "
                        "DL Count:N:8 UL Date:D:4 Update:D:4 Title:A:70 Keywords:A:70 Comments:M:70"},
    {Base::Dsp, "Delphi Version:A:10 Category:A:35 File:A:20 Size:I:4 Ware:A:1 Name:A:50 Date:D:4 Comments:A:50 "
                "Description:M:11 Keywords:A:50"},
    {Base::Swag, "ID:I:4 SWAG Library:A:25 Snippet ID:I:4 Subject:A:60 Contributor:A:40 Size:I:4 Date:D:4"},
    {Base::Books, "ISBN:A:16 Author:A:64 Title:A:64 Publisher:A:32 Price:$:8 Code:A:7 Level:S:2 "
                  "TechnicalContentsQuality:S:2 QualityOfWriting:S:2 ValueForMoney:S:2 OverallAssessment:S:2 "
                  "Comments:M:20 Cover:G:10"},
    {Base::Private, "ID:+:4 Source:A:30 Topic:A:50 Keywords:A:30 Category:A:20 Delphi:A:10 Date:D:4 Description:M:12"},
};

std::string describe(const std::vector<tv::FieldDef>& fields)
{
    std::string out;
    for (const auto& f : fields) {
        if (!out.empty())
            out += ' ';
        out += f.name + ":" + tv::typeLetter(f.type) + ":" + std::to_string(f.size);
    }
    return out;
}

// Columns a user sorts by (each must lead an index) and the grid columns of each page.
struct PageColumns {
    std::vector<std::string> sorted;
    std::vector<std::string> grid;
};

const std::map<Base, PageColumns> kPages = {
    {Base::Topics, {{"TOPIC", "CATEGORY", "KEYWORDS"},
                    {"ID", "CATEGORY", "TOPIC", "KEYWORDS", "SOURCE", "CLASS", "TYPE", "RELEASE", "LASTCHANGED"}}},
    {Base::QA, {{"Topic", "Category", "Keywords"}, {"Number", "Topic", "Category", "Keywords", "Ver"}}},
    {Base::News, {{"SUBJECT", "AUTHOR"}, {"NO", "AUTHOR", "SUBJECT", "KEYLIST"}}},
    {Base::Forum32, {{"Title", "File Name", "CIS Name"},
                     {"Section", "Title", "File Name", "Keywords", "CIS Name", "CIS ID", "File Type", "File Size",
                      "DL Count", "UL Date", "Update"}}},
    {Base::ForumDelphi, {{"Title", "File Name", "CIS Name"},
                         {"Section", "Title", "File Name", "Keywords", "CIS Name", "CIS ID", "File Type",
                          "File Size", "DL Count", "UL Date", "Update"}}},
    {Base::Dsp, {{"Category", "File", "Name"}, {"Category", "File", "Size", "Ware", "Name", "Date", "Comments"}}},
    {Base::Swag, {{"Subject", "SWAG Library"},
                  {"ID", "SWAG Library", "Snippet ID", "Subject", "Contributor", "Size", "Date"}}},
    {Base::Books, {{"Author", "Title", "Publisher"},
                   {"ISBN", "Author", "Title", "Publisher", "Price", "Code", "Level", "TechnicalContentsQuality",
                    "QualityOfWriting", "ValueForMoney", "OverallAssessment"}}},
    {Base::Private, {{"Topic", "Category", "Date"},
                     {"ID", "Source", "Topic", "Keywords", "Category", "Delphi", "Date"}}},
};

// The first index whose first field is the column, as a title click would pick it.
const tv::IndexDef* indexLedBy(const tv::TableFile& t, const std::string& column)
{
    for (int pass = 0; pass < 2; ++pass)
        for (const auto& ix : t.indexes())
            if ((pass == 1 || ix.caseInsensitive) && !ix.fields.empty() &&
                lowerAscii(ix.fields.front()) == lowerAscii(column))
                return &ix;
    return nullptr;
}

bool isTextField(const tv::TableFile& t, const std::string& name)
{
    for (const auto& f : t.fields())
        if (f.name == name)
            return tv::kindOf(f.type) == tv::FieldKind::Text;
    return false;
}

} // namespace

TEST(Layout, CatalogueAndWrittenFilesCarryTheDeclaredFields)
{
    ASSERT_EQ(catalog().size(), 9u);
    const std::vector<std::string> names = {"DTOPICS.DB", "QA.DB",   "DELPNEWS.DBF", "Filesd32.db", "Filesdel.db",
                                            "DSP.db",     "SWAG.db", "DELBOOKS.DB",  "private.db"};
    for (size_t i = 0; i < names.size(); ++i) {
        const BaseDef& def = catalog()[i];
        SCOPED_TRACE(def.file);
        EXPECT_EQ(def.file, names[i]);
        EXPECT_EQ(describe(def.spec.fields), kDeclared.at(def.base));
        EXPECT_TRUE(std::filesystem::exists(sampleDir() + "/" + def.file));
        const auto t = tv::openTableFile(sampleDir() + "/" + def.file);
        EXPECT_EQ(describe(t->fields()), kDeclared.at(def.base));
    }
}

TEST(Layout, CompanionFilesAreWritten)
{
    for (const BaseDef& def : catalog()) {
        SCOPED_TRACE(def.file);
        std::set<std::string> exts;
        for (const auto& entry : std::filesystem::directory_iterator(sampleDir())) {
            const std::string name = entry.path().filename().string();
            const std::string stem = def.file.substr(0, def.file.find('.'));
            if (lowerAscii(name.substr(0, name.find('.'))) == lowerAscii(stem))
                exts.insert(lowerAscii(name.substr(name.find('.') + 1)));
        }
        if (def.format == Format::Dbase) {
            EXPECT_TRUE(exts.count("dbt"));
        } else {
            bool blobs = false;
            for (const auto& f : def.spec.fields)
                blobs |= tv::kindOf(f.type) == tv::FieldKind::Memo || tv::kindOf(f.type) == tv::FieldKind::Blob;
            EXPECT_EQ(exts.count("mb"), blobs ? 1u : 0u);
            EXPECT_TRUE(exts.count("px"));
        }
    }
}

TEST(Layout, EveryKeyedTableHasItsPrimaryIndexFirst)
{
    for (const BaseDef& def : catalog()) {
        if (def.format != Format::Paradox)
            continue;
        SCOPED_TRACE(def.file);
        const auto t = tv::openTableFile(sampleDir() + "/" + def.file);
        ASSERT_GT(t->primaryKeyFields(), 0);
        ASSERT_FALSE(t->indexes().empty());
        EXPECT_TRUE(t->indexes().front().primary);
        EXPECT_EQ(t->indexes().front().fields.front(), t->fields().front().name);
    }
}

TEST(Layout, SortableColumnsLeadAnIndexAndEveryPageHasAColumnWithout)
{
    for (const auto& [base, page] : kPages) {
        const auto t = openSample(base);
        SCOPED_TRACE(baseDef(base).file);
        for (const auto& column : page.sorted) {
            const tv::IndexDef* ix = indexLedBy(*t, column);
            ASSERT_NE(ix, nullptr) << column;
            if (isTextField(*t, column)) {
                EXPECT_TRUE(ix->caseInsensitive) << column;
            }
        }
        int withoutIndex = 0;
        for (const auto& column : page.grid)
            withoutIndex += indexLedBy(*t, column) == nullptr;
        EXPECT_GE(withoutIndex, 1);
        EXPECT_LT(withoutIndex, int(page.grid.size()));
    }
}

TEST(Layout, KeysAreUniqueInEveryKeyedTable)
{
    for (const BaseDef& def : catalog()) {
        if (def.spec.primaryKeyFields == 0)
            continue;
        SCOPED_TRACE(def.file);
        const auto t = tv::openTableFile(sampleDir() + "/" + def.file);
        std::set<std::vector<std::string>> keys;
        for (const auto& rec : readAll(*t)) {
            std::vector<std::string> key;
            for (int f = 0; f < def.spec.primaryKeyFields; ++f) {
                const auto& v = rec[size_t(f)];
                ASSERT_FALSE(tv::isNull(v));
                key.push_back(std::holds_alternative<std::string>(v) ? textOf(v)
                              : std::holds_alternative<int64_t>(v)   ? std::to_string(std::get<int64_t>(v))
                                                                     : "?");
            }
            EXPECT_TRUE(keys.insert(key).second);
        }
    }
}
