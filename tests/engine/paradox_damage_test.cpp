// Damaged Paradox files: every case must end in an EngineError that names the file.
#include "engine/paradox/paradoxtable.h"
#include "engine/paradox/pxbytes.h"
#include "paradox_testutil.h"

#include <gtest/gtest.h>

using namespace tv;
using namespace tv::pxtest;

namespace {

// A small keyed table with memos in every storage form, as bytes.
struct Images {
    std::string db, mb;
};

Images makeTable(const ScratchDir& dir)
{
    TableSpec s;
    FieldDef id{"Id", FieldType::AutoInc, 4, 0}, text{"Text", FieldType::Memo, 15, 0}, name{"Name", FieldType::Alpha, 30, 0};
    s.fields = {id, text, name};
    s.primaryKeyFields = 1;
    const std::string path = dir.file("d.db");
    const auto t = createParadoxTable(path, s);
    for (int i = 0; i < 400; ++i)
        t->insert({Value(), std::string(size_t(i % 3 == 0 ? 3 : i % 3 == 1 ? 300 : 3000), char('a' + i % 26)), std::string("n") + std::to_string(i)});
    t->flush();
    return {readBytes(path), readBytes(dir.file("d.mb"))};
}

// Opens and dumps the images; returns the error message, or "" when it read fine.
std::string readAll(const std::string& db, const std::string& mb)
{
    try {
        const auto t = ParadoxTable::openImage("d.db", db, mb);
        dump(*t);
        return {};
    } catch (const EngineError& e) {
        return e.what();
    }
}

void set16(std::string& s, size_t at, uint16_t v) { px::put16(s, at, v); }
uint16_t get16(const std::string& s, size_t at) { return px::le16(reinterpret_cast<const uint8_t*>(s.data()) + at); }

} // namespace

TEST(ParadoxDamage, HeaderProblemsAreReportedWithTheFileName)
{
    ScratchDir dir;
    const Images good = makeTable(dir);
    ASSERT_EQ(readAll(good.db, good.mb), "");

    struct Case {
        const char* what;
        size_t at;
        uint16_t value;
        bool byte;
    };
    const Case cases[] = {
        {"header size past the end", 0x02, 0xFFFF, false},
        {"header size too small", 0x02, 0x10, false},
        {"record size zero", 0x00, 0, false},
        {"record size not the sum of the fields", 0x00, 7, false},
        {"unknown file type", 0x04, 0x33, true},
        {"block size zero", 0x05, 0, true},
        {"no fields", 0x21, 0, false},
        {"too many fields", 0x21, 300, false},
        {"more key fields than fields", 0x23, 9, false},
        {"unknown version", 0x39, 0x42, true},
        {"unknown field type", 0x78, 0x42, true},
        {"bad alpha size", 0x78 + 5, 0, true},
        {"first block past the end", 0x0E, 5000, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string db = good.db;
        if (c.byte)
            db[c.at] = char(c.value);
        else
            set16(db, c.at, c.value);
        const std::string msg = readAll(db, good.mb);
        EXPECT_EQ(msg.rfind("d.db: ", 0), 0u) << msg;
    }
    // Truncation anywhere in the header or the blocks.
    for (size_t len : {size_t(0), size_t(10), size_t(0x57), size_t(0x100), size_t(get16(good.db, 0x02) + 100), good.db.size() / 2}) {
        SCOPED_TRACE(len);
        EXPECT_NE(readAll(good.db.substr(0, len), good.mb), "");
    }
    // An encrypted table, whatever else it holds.
    std::string db = good.db;
    px::put32(db, 0x5C, 0x12345678);
    EXPECT_EQ(readAll(db, good.mb), "d.db: table is encrypted");
}

TEST(ParadoxDamage, BlockChainProblems)
{
    ScratchDir dir;
    const Images good = makeTable(dir);
    const size_t headerSize = get16(good.db, 0x02), blockSize = size_t(uint8_t(good.db[0x05])) * 1024;
    ASSERT_GE(get16(good.db, 0x0C), 3);

    std::string cyclic = good.db;
    set16(cyclic, headerSize + blockSize, 1);  // block 2 points back to block 1
    EXPECT_NE(readAll(cyclic, good.mb).find("circle"), std::string::npos);

    std::string self = good.db;
    set16(self, headerSize, 1);  // block 1 points to itself
    EXPECT_NE(readAll(self, good.mb).find("circle"), std::string::npos);

    std::string outside = good.db;
    set16(outside, headerSize, 999);
    EXPECT_NE(readAll(outside, good.mb).find("past the end"), std::string::npos);

    std::string badCount = good.db;
    set16(badCount, headerSize + 4, 0x7FF0);
    EXPECT_NE(readAll(badCount, good.mb).find("record count"), std::string::npos);

    std::string odd = good.db;
    set16(odd, headerSize + 4, 5);  // not a multiple of the record size
    EXPECT_NE(readAll(odd, good.mb).find("record count"), std::string::npos);
}

TEST(ParadoxDamage, BlobPointerAndMemoFileProblems)
{
    ScratchDir dir;
    const Images good = makeTable(dir);
    const size_t headerSize = get16(good.db, 0x02);
    const size_t rec = headerSize + 6;       // first record: Id(4) + memo(15) + name(30)
    const size_t ptr = rec + 4 + 5;          // the memo's 10-byte pointer after a 5-byte leader
    // Records 1 (300 bytes, sub-allocated) and 2 (3000 bytes, block of its own).
    const size_t recSize = get16(good.db, 0);
    const size_t sub = ptr + recSize, big = ptr + 2 * recSize;
    ASSERT_NE(px::le32(reinterpret_cast<const uint8_t*>(good.db.data()) + sub) & 0xFF, 0xFFu);
    ASSERT_EQ(px::le32(reinterpret_cast<const uint8_t*>(good.db.data()) + big) & 0xFF, 0xFFu);

    auto withPointer = [&](size_t at, uint32_t offsetIndex, uint32_t length) {
        std::string db = good.db;
        px::put32(db, at, offsetIndex);
        px::put32(db, at + 4, length);
        return readAll(db, good.mb);
    };
    EXPECT_NE(withPointer(ptr, 0, 900), "");                              // longer than the leader
    EXPECT_NE(withPointer(sub, 0x7FFFF000 | 0x3F, 300), "");              // past the memo file
    EXPECT_NE(withPointer(sub, 0x00001000 | 0x7F, 300), "");              // slot 127 of 64
    EXPECT_NE(withPointer(sub, 0x00001234, 300), "");                     // not a block boundary
    EXPECT_NE(withPointer(big, 0x000000FF, 3000), "");                    // the header block is no blob
    const uint32_t bigOffset = px::le32(reinterpret_cast<const uint8_t*>(good.db.data()) + big);
    EXPECT_NE(withPointer(big, bigOffset, 0x7FFFFFFF), "");               // runs past the memo file
    EXPECT_NE(withPointer(sub, px::le32(reinterpret_cast<const uint8_t*>(good.db.data()) + sub), 2000), "");  // longer than its slot
    EXPECT_NE(withPointer(sub, bigOffset & 0xFFFFFF00, 300), "");         // slot in a type-2 block

    // Memo file damage: truncated, block type and slot contents overwritten.
    EXPECT_NE(readAll(good.db, good.mb.substr(0, 5000)), "");
    EXPECT_NE(readAll(good.db, std::string(good.mb.size(), '\0')), "");
    std::string mb = good.mb;
    for (size_t i = 4096 + 12; i < 4096 + 12 + 320; ++i)
        mb[i] = char(0xFF);
    const std::string msg = readAll(good.db, mb);
    EXPECT_EQ(msg.rfind("d.db (memo file): ", 0), 0u) << msg;
}

TEST(ParadoxDamage, CountsAndTheMemoFileMustAgreeWithTheFiles)
{
    ScratchDir dir;
    const Images good = makeTable(dir);
    const size_t headerSize = get16(good.db, 0x02);
    auto expectFault = [](const std::string& msg, const std::string& file, const char* words) {
        EXPECT_EQ(msg.rfind(file + ": ", 0), 0u) << msg;
        EXPECT_NE(msg.find(words), std::string::npos) << msg;
    };
    // A record count of all ones, of none and of one too few; a block count past the file.
    for (uint32_t n : {0xFFFFFFFFu, 0u, 399u}) {
        std::string db = good.db;
        px::put32(db, 0x06, n);
        expectFault(readAll(db, good.mb), "d.db", "records");
    }
    std::string db = good.db;
    set16(db, 0x0C, uint16_t(get16(db, 0x0C) + 1));
    expectFault(readAll(db, good.mb), "d.db", "blocks");
    // Blocks wiped to zeros are no table of empty records.
    db = good.db;
    std::fill(db.begin() + std::ptrdiff_t(headerSize), db.end(), '\0');
    expectFault(readAll(db, good.mb), "d.db", "records");

    // A memo file that does not start with its header block, or is too short for it.
    std::string mb = good.mb;
    mb[0] = char(0xFF);
    expectFault(readAll(good.db, mb), "d.db (memo file)", "header");
    mb = good.mb;
    set16(mb, 1, 0xFFFF);
    expectFault(readAll(good.db, mb), "d.db (memo file)", "header");
    expectFault(readAll(good.db, good.mb.substr(0, 2)), "d.db (memo file)", "too short");

    // On disk the memo file of a table with memo fields must be there and sound when it opens.
    const std::string path = dir.file("d.db"), mbPath = dir.file("d.mb");
    const auto openError = [&] {
        try {
            openTableFile(path);
            return std::string();
        } catch (const EngineError& e) {
            return std::string(e.what());
        }
    };
    writeBytes(mbPath, std::string(good.mb.size(), '\x5A'));
    expectFault(openError(), mbPath, "header");
    fs::remove(mbPath);
    expectFault(openError(), mbPath, "missing");
}

TEST(ParadoxDamage, DamagedIndexFilesAndSampleTruncations)
{
    const std::string x = readBytes(samples() + "/paradox/db/CUSTOMER.X06");
    const auto table = openTableFile(samples() + "/paradox/db/CUSTOMER.DB");
    const auto def = [&](const std::string& bytes) {
        return indexDefinition(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), "C.X06", table->fields(), 1);
    };
    EXPECT_EQ(def(x).name, "City");
    std::string badField = x;
    const size_t numbers = x.find(std::string("Blk Num\0", 8)) + 8;
    px::put16(badField, numbers, 77);  // refers to field 77
    EXPECT_THROW(def(badField), EngineError);
    std::string tree = x;
    tree[0x04] = 1;  // a primary index file is no secondary index
    EXPECT_THROW(def(tree), EngineError);
    for (size_t len : {size_t(0), size_t(0x60), size_t(0x1A0)})
        EXPECT_THROW(def(x.substr(0, len)), EngineError);

    // Every sample table cut short at many places either reads or fails cleanly.
    for (const char* name : {"fields/memo", "fields/graphic240", "db/CUSTOMER", "fields/bcd"}) {
        const std::string base = samples() + "/paradox/" + name;
        const bool upper = fs::exists(base + ".DB");
        const std::string db = readBytes(base + (upper ? ".DB" : ".db"));
        const std::string mb = fs::exists(base + (upper ? ".MB" : ".mb")) ? readBytes(base + (upper ? ".MB" : ".mb")) : std::string();
        for (size_t cut = 0; cut < db.size(); cut += 97)
            readAll(db.substr(0, cut), mb);
        for (size_t cut = 0; cut < mb.size(); cut += 1531)
            readAll(db, mb.substr(0, cut));
    }
    SUCCEED();
}
