#include "dataset_testutil.h"

#include <gtest/gtest.h>
#include <filesystem>
#include <unistd.h>

using namespace tv;
using namespace tvtest;

namespace {
std::vector<std::string> column(const Table& t, int field)
{
    std::vector<std::string> out;
    for (int r = 0; r < t.recordCount(); ++r)
        out.push_back(t.displayTextAt(r, field));
    return out;
}

std::unique_ptr<MemoryTable> mixedCase()
{
    auto f = notesFile();
    f->insert(note(1, "beta", "x"));
    f->insert(note(2, "Alpha", "y"));
    f->insert(note(3, "alpha", "x"));
    f->insert(note(4, "Gamma", "x"));
    f->insert(note(5, "", "y"));
    f->insert(note(6, "ALPHABET", "y"));
    return f;
}

IndexDef fieldIndex(const char* name, std::vector<std::string> fields, bool caseInsensitive, bool descending)
{
    IndexDef ix;
    ix.name = name;
    ix.fields = std::move(fields);
    ix.caseInsensitive = caseInsensitive;
    ix.descending = descending;
    return ix;
}
} // namespace

TEST(DatasetIndexes, DefinitionsAndTheCurrentIndex)
{
    Table t;
    t.open(mixedCase());
    ASSERT_EQ(t.indexDefs().size(), 3u);
    EXPECT_TRUE(t.indexDefs()[0].primary);
    EXPECT_EQ(t.indexDefs()[0].name, "");
    EXPECT_EQ(t.indexDefs()[2].fieldList(), "Category;Topic");
    EXPECT_EQ(t.indexName(), "");
    EXPECT_EQ(t.indexFieldNames(), "ID");
    EXPECT_EQ(t.currentIndex(), 0);
    t.setIndexName("bytopic");
    EXPECT_EQ(t.indexName(), "ByTopic");
    EXPECT_EQ(t.indexFieldNames(), "Topic");
    EXPECT_THROW(t.setIndexName("NoSuch"), EngineError);
    EXPECT_EQ(t.indexName(), "ByTopic");
}

TEST(DatasetIndexes, CaseInsensitiveMultiFieldAndDescendingOrders)
{
    auto file = mixedCase();
    file->addIndex(fieldIndex("TopicDesc", {"Topic"}, false, true));
    Table t;
    t.open(std::move(file));
    t.setIndexName("ByTopic");   // case-insensitive; equal keys keep file order; null first
    EXPECT_EQ(column(t, 1), (std::vector<std::string>{"", "Alpha", "alpha", "ALPHABET", "beta", "Gamma"}));
    t.setIndexName("CatTopic");  // case-sensitive, two fields
    EXPECT_EQ(column(t, 1), (std::vector<std::string>{"Gamma", "alpha", "beta", "", "ALPHABET", "Alpha"}));
    t.setIndexName("TopicDesc");
    EXPECT_EQ(column(t, 1), (std::vector<std::string>{"beta", "alpha", "Gamma", "Alpha", "ALPHABET", ""}));
    t.setIndexName("");
    EXPECT_EQ(column(t, 0), (std::vector<std::string>{"1", "2", "3", "4", "5", "6"}));
}

TEST(DatasetIndexes, LongTextKeysBeyondThePrefixStillSort)
{
    auto file = notesFile();
    const std::string stem(20, 'k');
    file->insert(note(1, stem + "b"));
    file->insert(note(2, stem + "A"));
    file->insert(note(3, stem));
    file->insert(note(4, stem + "a2"));
    Table t;
    t.open(std::move(file));
    t.setIndexName("ByTopic");
    EXPECT_EQ(column(t, 0), (std::vector<std::string>{"3", "2", "4", "1"}));
}

// An index that begins with a binary field (a damaged or foreign index file may name one)
// orders by its bytes and still lists every record once.
TEST(DatasetIndexes, AnIndexOnABinaryFieldListsEveryRecordOnce)
{
    tv::TableSpec spec;
    spec.fields = {fld("ID", tv::FieldType::Long), fld("Data", tv::FieldType::Bytes, 4)};
    spec.primaryKeyFields = 1;
    spec.secondary = {fieldIndex("ByData", {"Data"}, false, false)};
    auto file = std::make_unique<MemoryTable>(spec, "bytes");
    int64_t id = 0;
    for (const char* bytes : {"c", "a", "d", "b"})
        file->insert({Value(++id), Value(Blob{bytes})});
    Table t;
    t.open(std::move(file));
    t.setIndexName("ByData");
    EXPECT_EQ(column(t, 0), (std::vector<std::string>{"2", "4", "1", "3"}));
}

TEST(DatasetIndexes, SwitchingOrderKeepsTheCurrentRecord)
{
    Table t;
    t.open(mixedCase());
    t.moveTo(3);   // ID 4 "Gamma"
    int reorders = 0;
    t.addDataChangedListener([&](DataChange c) { reorders += c == DataChange::Reordered; });
    t.setIndexName("ByTopic");
    EXPECT_EQ(currentId(t), 4);
    EXPECT_EQ(t.recNo(), 5);
    t.setIndexName("ByTopic");   // already current: nothing happens
    EXPECT_EQ(reorders, 1);
    t.setIndexName("");
    EXPECT_EQ(t.recNo(), 3);
}

TEST(DatasetIndexes, OrderByFieldPrefersCaseInsensitiveAndNeedsTheFirstField)
{
    auto file = mixedCase();
    file->addIndex(fieldIndex("CatCI", {"Category"}, true, false));
    Table t;
    t.open(std::move(file));
    // "Category" begins CatTopic (case-sensitive, earlier) and CatCI (case-insensitive, later).
    EXPECT_TRUE(t.orderByField("CATEGORY"));
    EXPECT_EQ(t.indexName(), "CatCI");
    // "Topic" is the second field of CatTopic and the first of ByTopic.
    EXPECT_TRUE(t.orderByField("topic"));
    EXPECT_EQ(t.indexName(), "ByTopic");
    // A field that begins no index changes nothing; neither does a prefix of a name.
    EXPECT_FALSE(t.orderByField("Date"));
    EXPECT_FALSE(t.orderByField("Top"));
    EXPECT_EQ(t.indexName(), "ByTopic");
    EXPECT_TRUE(t.orderByField("ID"));
    EXPECT_EQ(t.indexName(), "");
    EXPECT_EQ(t.currentIndex(), 0);
}

TEST(DatasetIndexes, CachedOrdersFollowChanges)
{
    Table t;
    t.open(mixedCase());
    t.setIndexName("ByTopic");
    t.first();
    t.edit();
    t.setText("Topic", "zzz");
    t.post();
    EXPECT_EQ(t.displayTextAt(5, 1), "zzz");
    EXPECT_EQ(t.recNo(), 5);
    t.setIndexName("");
    t.setIndexName("ByTopic");
    EXPECT_EQ(t.displayTextAt(5, 1), "zzz");
    t.append();
    t.setInteger(0, 9);
    t.setText("Topic", "AAA");
    t.post();
    EXPECT_EQ(t.displayTextAt(0, 1), "AAA");
    EXPECT_EQ(t.recNo(), 0);
}

TEST(DatasetIndexes, TableWithoutPrimaryKeyUsesFileOrder)
{
    auto file = notesFile(0);
    file->insert(note(3, "c"));
    file->insert(note(1, "a"));
    Table t;
    t.open(std::move(file));
    EXPECT_EQ(t.currentIndex(), -1);
    EXPECT_EQ(t.indexFieldNames(), "");
    EXPECT_EQ(column(t, 0), (std::vector<std::string>{"3", "1"}));
    t.setIndexName("ByTopic");
    t.setIndexName("");
    EXPECT_EQ(column(t, 0), (std::vector<std::string>{"3", "1"}));
}

// A keyed Paradox table keeps its records in key order: its primary order is the stored one,
// also for text keys inserted out of order and after edits, switches and reopening.
TEST(DatasetIndexes, KeyedParadoxTableUsesItsStoredKeyOrder)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("tv_keyorder_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "keyed.db").string();
    tv::TableSpec spec;
    spec.fields = {tvtest::fld("Code", tv::FieldType::Alpha, 10), tvtest::fld("N", tv::FieldType::Long)};
    spec.primaryKeyFields = 1;
    spec.secondary = {fieldIndex("ByN", {"N"}, false, false)};
    {
        auto f = tv::createParadoxTable(path, spec);
        int n = 0;
        for (const char* code : {"delta", "alpha", "echo", "charlie", "bravo"})
            f->insert({tv::Value(std::string(code)), tv::Value(int64_t(++n))});
        f->flush();
    }
    auto codes = [](tv::Table& t) {
        std::string out;
        for (int r = 0; r < t.recordCount(); ++r)
            out += t.displayTextAt(r, 0) + " ";
        return out;
    };
    tv::Table t;
    t.open(path, tv::OpenMode::ReadWrite);
    EXPECT_EQ(t.indexName(), "");
    EXPECT_EQ(codes(t), "alpha bravo charlie delta echo ");
    t.setIndexName("ByN");
    EXPECT_EQ(codes(t), "delta alpha echo charlie bravo ");
    t.setIndexName("");
    t.append();
    t.setText("Code", "bingo");
    t.setText("N", "6");
    t.post();
    EXPECT_EQ(codes(t), "alpha bingo bravo charlie delta echo ");
    EXPECT_EQ(t.displayText("Code"), "bingo");
    t.saveChanges();
    t.close();
    t.open(path, tv::OpenMode::ReadOnly);
    EXPECT_EQ(codes(t), "alpha bingo bravo charlie delta echo ");
    t.close();
    fs::remove_all(dir);
}
