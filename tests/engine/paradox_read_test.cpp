// Reading real Paradox tables written by other programs.
#include "engine/codepage.h"
#include "engine/paradox/paradoxtable.h"
#include "paradox_testutil.h"

#include <gtest/gtest.h>

using namespace tv;
using namespace tv::pxtest;

namespace {

std::vector<fs::path> referenceDumps()
{
    std::vector<fs::path> out;
    for (const auto& e : fs::recursive_directory_iterator(samples() + "/expected/paradox"))
        if (e.path().extension() == ".tsv")
            out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

TEST(ParadoxSamples, EveryReferenceDumpMatches)
{
    const auto refs = referenceDumps();
    ASSERT_GE(refs.size(), 40u);
    for (const auto& ref : refs) {
        const std::string rel = fs::relative(ref, samples() + "/expected").replace_extension("").string();
        SCOPED_TRACE(rel);
        const auto table = openTableFile(samples() + "/" + rel);
        EXPECT_EQ(compareDumps(readBytes(ref), dump(*table)), "");
    }
}

TEST(ParadoxSamples, EncryptedTablesAreRefusedClearly)
{
    for (const char* name : {"encrypted.db", "encrypted35.db", "encryptedmemo.db"}) {
        const std::string path = samples() + "/paradox/encrypt/" + name;
        try {
            openTableFile(path);
            ADD_FAILURE() << name << " was opened";
        } catch (const EngineError& e) {
            EXPECT_EQ(std::string(e.what()), path + ": table is encrypted");
        }
    }
}

TEST(ParadoxSamples, IndexDefinitionsComeFromTheIndexFiles)
{
    const auto customer = openTableFile(samples() + "/paradox/db/CUSTOMER.DB");
    EXPECT_EQ(customer->primaryKeyFields(), 1);
    ASSERT_EQ(customer->indexes().size(), 2u);
    EXPECT_TRUE(customer->indexes()[0].primary);
    EXPECT_EQ(customer->indexes()[0].name, "");
    EXPECT_EQ(customer->indexes()[0].fieldList(), "CustNo");
    // A single-field case-sensitive index is named after its field (.X06: field 6).
    EXPECT_EQ(customer->indexes()[1].name, "City");
    EXPECT_EQ(customer->indexes()[1].fieldList(), "City");
    EXPECT_FALSE(customer->indexes()[1].caseInsensitive || customer->indexes()[1].descending || customer->indexes()[1].primary);

    // A composite index with a name of its own.
    const auto fk4 = openTableFile(samples() + "/paradox/joins/fk4.db");
    ASSERT_EQ(fk4->indexes().size(), 2u);
    EXPECT_EQ(fk4->indexes()[1].name, "reference");
    EXPECT_EQ(fk4->indexes()[1].fieldList(), "FK1;FK");

    // An unkeyed table's descending, case-insensitive index.
    const auto indexed = openTableFile(samples() + "/paradox/joins/indexed.db");
    EXPECT_EQ(indexed->primaryKeyFields(), 0);
    ASSERT_EQ(indexed->indexes().size(), 1u);
    EXPECT_EQ(indexed->indexes()[0].name, "Descending");
    EXPECT_EQ(indexed->indexes()[0].fieldList(), "Indexed");
    EXPECT_TRUE(indexed->indexes()[0].descending);
    EXPECT_TRUE(indexed->indexes()[0].caseInsensitive);

    // Two single-field indexes in field order, after the primary index.
    const auto c = openTableFile(samples() + "/paradox/joins/C.DB");
    ASSERT_EQ(c->indexes().size(), 3u);
    EXPECT_EQ(c->indexes()[1].fieldList(), "A");
    EXPECT_EQ(c->indexes()[2].fieldList(), "B");
}

TEST(ParadoxSamples, ValuesAndRawTextAgree)
{
    const auto t = openTableFile(samples() + "/paradox/db/CUSTOMER.DB");
    ASSERT_EQ(t->fields()[8].type, FieldType::Memo);
    ASSERT_EQ(t->fields()[1].type, FieldType::Alpha);
    ASSERT_EQ(t->recordIds().size(), 20u);
    int longMemos = 0;
    for (RecordId id : t->recordIds()) {
        const Value memo = t->value(id, 8);
        const std::string_view raw = t->rawText(id, 8);
        if (isNull(memo)) {
            EXPECT_TRUE(raw.empty());
            continue;
        }
        EXPECT_EQ(std::get<std::string>(memo), decodeText(t->codePage(), raw));
        longMemos += raw.size() > 100;  // stored in the memo file, not the leader
        EXPECT_EQ(std::get<std::string>(t->value(id, 1)), decodeText(t->codePage(), t->rawText(id, 1)));
        EXPECT_TRUE(t->rawText(id, 0).empty());  // not a text field
    }
    EXPECT_GT(longMemos, 0);
    EXPECT_EQ(std::get<int64_t>(t->value(t->recordIds()[0], 0)), 1);
    EXPECT_THROW(t->value(RecordId(9999), 0), EngineError);
    EXPECT_THROW(t->value(t->recordIds()[0], 99), EngineError);
    EXPECT_FALSE(t->writable());
    EXPECT_THROW(t->insert(Record(t->fields().size())), EngineError);
}

TEST(ParadoxSamples, CodePagesFollowTheHeader)
{
    EXPECT_EQ(openTableFile(samples() + "/paradox/db/ROMAN8.db")->codePage(), kCodePageRoman8);
    EXPECT_EQ(openTableFile(samples() + "/paradox/fields/date35.db")->codePage(), 437);  // version 3.5: none stored
    EXPECT_EQ(openTableFile(samples() + "/paradox/db/CUSTOMER.DB")->codePage(), 1252);
    EXPECT_EQ(openTableFile(samples() + "/paradox/fields/memo.db")->codePage(), 850);
}

TEST(ParadoxSamples, OpenImageReadsTheSameAsTheFile)
{
    const std::string db = readBytes(samples() + "/paradox/fields/memo.db");
    const std::string mb = readBytes(samples() + "/paradox/fields/memo.mb");
    const auto fromMemory = ParadoxTable::openImage("memo.db", db, mb);
    const auto fromFile = openTableFile(samples() + "/paradox/fields/memo.db");
    EXPECT_EQ(dump(*fromMemory), dump(*fromFile));
    // Without its memo file the long memos cannot be read.
    const auto noMemo = ParadoxTable::openImage("memo.db", db, {});
    EXPECT_THROW(dump(*noMemo), EngineError);
}

TEST(TvDump, IndexListingAndBlobFingerprints)
{
    const auto t = openTableFile(samples() + "/paradox/joins/indexed.db");
    EXPECT_EQ(tvdump::dumpIndexes(*t), "Descending\tIndexed\tID\n");
    const auto k = openTableFile(samples() + "/paradox/db/CUSTOMER.DB");
    EXPECT_EQ(tvdump::dumpIndexes(*k), "\tCustNo\tP\nCity\tCity\t-\n");
    std::string out;
    tvdump::appendValue(out, FieldType::Binary, Blob{"abc"});
    EXPECT_EQ(out, "<3 bytes sha256:ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad>");
    out.clear();
    tvdump::appendValue(out, FieldType::Binary, Blob{std::string(1000, 'a')});
    EXPECT_EQ(out, "<1000 bytes sha256:41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3>");
    out.clear();
    tvdump::appendValue(out, FieldType::Memo, std::string("a\\b\tc\r\nd") + '\0');
    EXPECT_EQ(out, "a\\\\b\\tc\\r\\nd\\0");
    out.clear();
    tvdump::appendValue(out, FieldType::Timestamp, Timestamp{int64_t(737456) * 86400000 + 3723004});
    EXPECT_EQ(out, "2020-02-01 01:02:03.004");
}
