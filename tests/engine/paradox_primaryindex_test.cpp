// Opening a keyed table from its primary index instead of walking every data block: the same
// records as the block chain gives, and damage found when a block is first read.
#include "engine/dataset/table.h"
#include "engine/paradox/paradoxtable.h"
#include "engine/paradox/pxbytes.h"
#include "engine/paradox/pxprimary.h"
#include "engine/paradox/pxwriter.h"
#include "paradox_testutil.h"

#include <gtest/gtest.h>

using namespace tv;
using namespace tv::pxtest;

namespace {

// A keyed table of several blocks with memos; returns its path.
std::string makeTable(const ScratchDir& dir)
{
    TableSpec s;
    s.fields = {{"Id", FieldType::Long, 4, 0}, {"Name", FieldType::Alpha, 120, 0}, {"Text", FieldType::Memo, 15, 0}};
    s.primaryKeyFields = 1;
    const std::string path = dir.file("k.db");
    const auto t = createParadoxTable(path, s);
    for (int i = 0; i < 900; ++i)
        t->insert({Value(int64_t(i * 7 % 900)), "name " + std::to_string(i), std::string(size_t(20 + i % 700), char('a' + i % 26)) + (i % 50 ? "" : " TForm")});
    t->flush();
    return path;
}

std::string readAll(const std::string& path)
{
    try {
        return dump(*openTableFile(path));
    } catch (const EngineError& e) {
        return std::string("error: ") + e.what();
    }
}

} // namespace

TEST(ParadoxPrimaryIndex, OpensLikeTheBlockChainAndReportsDamageOnRead)
{
    ScratchDir dir;
    const std::string path = makeTable(dir);
    const std::string db = readBytes(path), mb = readBytes(dir.file("k.mb")), pxPath = dir.file("k.px");
    ASSERT_TRUE(fs::exists(pxPath));
    const std::string chain = dump(*ParadoxTable::openImage(path, db, mb));   // no index: the chain
    ASSERT_GE(px::le16(reinterpret_cast<const uint8_t*>(db.data()) + 0x0C), 3);
    EXPECT_EQ(readAll(path), chain);

    // The filter over the file gives what a record-by-record test gives.
    Table t;
    t.open(path);
    FieldCondition c;
    c.fieldName = "Text";
    c.matchType = fdMatchAny;
    c.value = "tform";
    t.setFilter({c});
    std::vector<RecordId> expected;
    for (RecordId id : t.file()->recordIds())
        if (matchText(t.file()->rawText(id, 2), "tform", fdMatchAny, false))
            expected.push_back(id);
    EXPECT_EQ(t.visibleIds(), expected);
    EXPECT_FALSE(expected.empty());
    t.close();

    // A data block whose header disagrees with the index is reported when it is read.
    const size_t headerSize = px::le16(reinterpret_cast<const uint8_t*>(db.data()) + 0x02);
    const size_t blockSize = size_t(uint8_t(db[0x05])) * 1024;
    std::string badCount = db;
    px::put16(badCount, headerSize + blockSize + 4, 0);   // block 2 claims one record
    writeBytes(path, badCount);
    EXPECT_NE(readAll(path).find("record count"), std::string::npos);
    std::string badLink = db;
    px::put16(badLink, headerSize + blockSize, 1);   // block 2 points back to block 1
    writeBytes(path, badLink);
    EXPECT_NE(readAll(path).find("k.db"), std::string::npos);
    EXPECT_EQ(readAll(path).rfind("error: ", 0), 0u);

    // A damaged memo pointer stops the filter with the engine's error, as it stops a read.
    std::string badPointer = db;
    px::put32(badPointer, headerSize + 6 + 4 + 120 + 5, 0x7FFFFF01);   // first record's memo: far outside the .MB
    writeBytes(path, badPointer);
    t.open(path);
    EXPECT_THROW(t.setFilter({c}), EngineError);
    t.close();

    // An index that does not account for the table's records is passed over: the chain is read.
    writeBytes(path, db);
    std::string stale = readBytes(pxPath);
    const size_t pxHeader = px::le16(reinterpret_cast<const uint8_t*>(stale.data()) + 0x02);
    const size_t entry = px::le16(reinterpret_cast<const uint8_t*>(stale.data()));
    px::encodeInt(reinterpret_cast<uint8_t*>(stale.data()) + pxHeader + 6 + entry - 4, 2, 1);   // first leaf counts one record
    writeBytes(pxPath, stale);
    EXPECT_EQ(readAll(path), chain);
}

TEST(ParadoxPrimaryIndex, LeafLevelReadsBlockNumbersAboveTheSignedRange)
{
    // Leaves over two levels (many entries), with data block numbers up to 65,535.
    px::FieldDesc key;
    key.code = 4;
    key.type = FieldType::Long;
    key.size = 4;
    key.width = 4;
    std::vector<px::BlockEntry> leaves;
    for (uint32_t i = 0; i < 2000; ++i)
        leaves.push_back({std::string(4, char(i)), uint16_t(65535 - i * 17), uint16_t(1 + i % 5)});
    px::StringSink out;
    px::writeTreeFile(out, px::kPrimaryIndex, 4, {key}, "t.db", leaves);
    px::Header table;
    table.recordSize = 100;
    table.blockKiB = 1;
    for (const auto& l : leaves)
        table.numRecords += l.count;
    const auto* bytes = reinterpret_cast<const uint8_t*>(out.bytes.data());
    const auto blocks = px::blocksFromPrimaryIndex(bytes, out.bytes.size(), table, 65535);
    ASSERT_TRUE(blocks.has_value());
    ASSERT_EQ(blocks->size(), leaves.size());
    for (size_t i = 0; i < leaves.size(); ++i)
        EXPECT_TRUE((*blocks)[i].block == leaves[i].block && (*blocks)[i].count == leaves[i].count) << i;
    // A table that is one block short of the highest number, or counts another record total.
    EXPECT_FALSE(px::blocksFromPrimaryIndex(bytes, out.bytes.size(), table, 65534).has_value());
    ++table.numRecords;
    EXPECT_FALSE(px::blocksFromPrimaryIndex(bytes, out.bytes.size(), table, 65535).has_value());
}
