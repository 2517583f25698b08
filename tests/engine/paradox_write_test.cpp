// Creating and changing Paradox tables: round trips, keys, counters, memos, index files and
// the save protocol.
#include "engine/codepage.h"
#include "engine/paradox/paradoxtable.h"
#include "engine/paradox/pxbytes.h"
#include "paradox_testutil.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <map>
#include <stdexcept>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>

using namespace tv;
using namespace tv::pxtest;

namespace {

FieldDef field(const char* name, FieldType type, int size = 0)
{
    FieldDef f;
    f.name = name;
    f.type = type;
    f.size = size;
    return f;
}

// The field types the knowledge bases use, plus every other one the writer supports.
TableSpec noteSpec()
{
    TableSpec s;
    s.fields = {field("Id", FieldType::AutoInc, 4),      field("Title", FieldType::Alpha, 40),  field("Count", FieldType::Long, 4),
                field("Small", FieldType::Short, 2),     field("Ratio", FieldType::Number, 8),  field("Price", FieldType::Money, 8),
                field("Day", FieldType::Date, 4),        field("Body", FieldType::Memo, 20),   field("Picture", FieldType::Graphic, 10),
                field("Done", FieldType::Logical, 1),    field("At", FieldType::Time, 4),       field("Stamp", FieldType::Timestamp, 8),
                field("Rich", FieldType::FmtMemo, 10),   field("Bin", FieldType::Binary, 10),   field("Ole", FieldType::Ole, 10),
                field("Raw", FieldType::Bytes, 6)};
    FieldDef bcd = field("Exact", FieldType::Bcd);
    bcd.decimals = 2;
    s.fields.push_back(bcd);
    s.primaryKeyFields = 1;
    s.codePage = 1252;
    return s;
}

Record noteRecord(int n, const std::string& body)
{
    Record r(17);
    r[1] = "Note " + std::to_string(n) + " \xC3\xA9t\xC3\xA9";  // UTF-8 "été"
    r[2] = int64_t(n * 1000);
    r[3] = int64_t(-n);
    r[4] = n / 4.0;
    r[5] = 134.85000000000002;
    r[6] = dateFromYmd(2024, 2, 29);
    r[7] = body;
    r[8] = Blob{std::string("BM") + std::string(size_t(n) * 10, char(n))};
    r[9] = n % 2 == 0;
    r[10] = TimeOfDay{36000000 + n};
    r[11] = Timestamp{int64_t(738000) * 86400000 + 5};
    r[12] = std::string("{\\rtf1 x}");
    r[13] = Blob{std::string(3000, 'b')};
    r[14] = Blob{"ole"};
    r[15] = Blob{std::string("\x01\x02\x00\x03", 4)};
    r[16] = -12.5;
    return r;
}

std::string text(const Value& v)
{
    std::string out;
    tvdump::appendValue(out, FieldType::Alpha, v);
    return out;
}

void expectSameRecord(const TableFile& t, RecordId id, const Record& want, int64_t expectedId)
{
    EXPECT_EQ(std::get<int64_t>(t.value(id, 0)), expectedId);
    for (size_t f = 1; f < want.size(); ++f) {
        SCOPED_TRACE(t.fields()[f].name);
        const Value got = t.value(id, int(f));
        if (f == 15) {  // bytes fields keep their full width
            EXPECT_EQ(std::get<Blob>(got).bytes, std::string("\x01\x02\x00\x03\x00\x00", 6));
            continue;
        }
        EXPECT_EQ(got.index(), want[f].index());
        EXPECT_EQ(text(got), text(want[f]));
    }
}

// Walks the primary index the way a reader without our code would: every block of the .PX in
// chain order; the entries of the lowest level must name each data block in turn with its
// first key and record count, and the root must cover all records.
void checkPrimaryIndex(const std::string& db, const std::string& px, size_t records)
{
    const auto* d = reinterpret_cast<const uint8_t*>(db.data());
    const auto* x = reinterpret_cast<const uint8_t*>(px.data());
    const px::Header dh = px::parseHeader(d, db.size(), "db"), xh = px::parseHeader(x, px.size(), "px");
    ASSERT_EQ(xh.fileType, 1);
    const size_t keyBytes = size_t(xh.recordSize) - 6;
    std::vector<std::vector<std::pair<uint16_t, uint16_t>>> blocks;  // per .PX block: (child, count)
    std::vector<std::string> firstKeys;
    uint32_t entries = 0;
    for (size_t b = xh.firstBlock, guard = 0; b != 0 && guard < 10000; ++guard) {
        const uint8_t* p = x + xh.headerSize + (b - 1) * xh.blockSize();
        const size_t count = size_t(int16_t(px::le16(p + 4))) / xh.recordSize + 1;
        blocks.emplace_back();
        firstKeys.emplace_back(reinterpret_cast<const char*>(p + 6), keyBytes);
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* e = p + 6 + i * xh.recordSize;
            blocks.back().emplace_back(uint16_t(px::decodeInt(e + keyBytes, 2)), uint16_t(px::decodeInt(e + keyBytes + 2, 2)));
        }
        entries += uint32_t(count);
        b = px::le16(p);
    }
    EXPECT_EQ(entries, xh.numRecords);
    ASSERT_EQ(blocks.size(), xh.fileBlocks);
    // The lowest level comes first: one entry per data block, in chain order.
    size_t dataBlock = dh.firstBlock, covered = 0;
    for (const auto& blk : blocks) {
        for (const auto& [child, count] : blk) {
            if (dataBlock == 0)
                break;
            const uint8_t* p = d + dh.headerSize + (dataBlock - 1) * dh.blockSize();
            EXPECT_EQ(child, dataBlock);
            EXPECT_EQ(count, size_t(int16_t(px::le16(p + 4))) / dh.recordSize + 1);
            covered += count;
            dataBlock = px::le16(p);
        }
    }
    EXPECT_EQ(covered, records);
    // The root (the last block) points to blocks of the level below, which start with its keys.
    const auto& root = blocks.back();
    ASSERT_EQ(xh.rootBlock, blocks.size());
    for (const auto& [child, count] : root) {
        ASSERT_GE(child, 1);
        ASSERT_LT(child, xh.rootBlock);
        EXPECT_GT(count, 0);
    }
    EXPECT_EQ(firstKeys.back(), firstKeys.front());  // the root starts with the smallest key
}

std::string longBody(int n) { return std::string(size_t(n), 'x') + "\r\nend"; }

} // namespace

TEST(ParadoxWrite, EveryFieldTypeRoundTripsThroughTheFiles)
{
    ScratchDir dir;
    const std::string path = dir.file("notes.db");
    // Memos stored in the leader, in a shared block and in blocks of their own.
    const std::vector<std::string> bodies = {"short", longBody(100), longBody(5000), longBody(2040)};
    {
        const auto t = createParadoxTable(path, noteSpec());
        for (size_t i = 0; i < bodies.size(); ++i)
            t->insert(noteRecord(int(i + 1), bodies[i]));
        t->flush();
    }
    EXPECT_TRUE(fs::exists(dir.file("notes.MB")) || fs::exists(dir.file("notes.mb")));
    EXPECT_TRUE(fs::exists(dir.file("notes.px")));
    for (OpenMode mode : {OpenMode::ReadOnly, OpenMode::ReadWrite}) {
        const auto t = openTableFile(path, mode);
        ASSERT_EQ(t->recordIds().size(), bodies.size());
        EXPECT_EQ(t->headerRecordCount(), bodies.size());
        EXPECT_EQ(t->fields().size(), 17u);
        EXPECT_EQ(t->fields()[7].size, 20);
        EXPECT_EQ(t->fields()[16].decimals, 2);
        EXPECT_EQ(t->codePage(), 1252);
        for (size_t i = 0; i < bodies.size(); ++i)
            expectSameRecord(*t, t->recordIds()[i], noteRecord(int(i + 1), bodies[i]), int64_t(i + 1));
        EXPECT_EQ(t->rawText(t->recordIds()[2], 7), bodies[2]);
        EXPECT_EQ(t->rawText(t->recordIds()[0], 1), encodeText(1252, "Note 1 \xC3\xA9t\xC3\xA9"));
    }
    // The autoincrement counter holds the last value handed out.
    const std::string db = readBytes(path);
    EXPECT_EQ(px::le32(reinterpret_cast<const uint8_t*>(db.data()) + 0x49), 4u);
    EXPECT_EQ(db[0x39], char(0x0C));  // written as a version 7 table
}

TEST(ParadoxWrite, NullsAndEdgeValues)
{
    ScratchDir dir;
    const std::string path = dir.file("edge.db");
    {
        const auto t = createParadoxTable(path, noteSpec());
        Record blank(17);
        t->insert(blank);
        Record edge(17);
        edge[1] = std::string(40, 'z');
        edge[2] = int64_t(-2147483647);
        edge[3] = int64_t(32767);
        edge[4] = -0.0;
        edge[5] = -1e300;
        edge[6] = dateFromYmd(1, 1, 1);
        edge[7] = std::string(20 - 10, 'm');  // exactly fills the leader
        t->insert(edge);
        t->flush();
        Record tooLong(17);
        tooLong[1] = std::string(41, 'z');
        EXPECT_THROW(t->insert(tooLong), EngineError);
        Record outOfRange(17);
        outOfRange[3] = int64_t(-32768);  // would be stored as blank
        EXPECT_THROW(t->insert(outOfRange), EngineError);
        Record wrongKind(17);
        wrongKind[6] = std::string("2024-01-01");
        EXPECT_THROW(t->insert(wrongKind), EngineError);
        EXPECT_THROW(t->insert(Record(3)), EngineError);
    }
    const auto t = openTableFile(path);
    ASSERT_EQ(t->recordIds().size(), 2u);
    const RecordId blank = t->recordIds()[0], edge = t->recordIds()[1];
    EXPECT_EQ(std::get<int64_t>(t->value(blank, 0)), 1);  // the counter fills a blank key
    for (int f = 1; f < 17; ++f)
        EXPECT_TRUE(isNull(t->value(blank, f))) << t->fields()[size_t(f)].name;
    EXPECT_EQ(std::get<int64_t>(t->value(edge, 2)), -2147483647);
    EXPECT_EQ(std::get<int64_t>(t->value(edge, 3)), 32767);
    EXPECT_TRUE(std::signbit(std::get<double>(t->value(edge, 4))));
    EXPECT_EQ(std::get<double>(t->value(edge, 5)), -1e300);
    EXPECT_EQ(std::get<Date>(t->value(edge, 6)).day, 1);
    EXPECT_EQ(std::get<std::string>(t->value(edge, 7)), std::string(10, 'm'));
}

TEST(ParadoxWrite, KeyedTablesStayInKeyOrderAndRefuseDuplicates)
{
    ScratchDir dir;
    const std::string path = dir.file("keyed.db");
    TableSpec s;
    s.fields = {field("Code", FieldType::Alpha, 10), field("Seq", FieldType::Short, 2), field("Text", FieldType::Memo, 11)};
    s.primaryKeyFields = 2;
    const auto t = createParadoxTable(path, s);
    const std::vector<std::pair<std::string, int>> keys = {{"m", 2}, {"b", 1}, {"m", 1}, {"a", -5}, {"z", 0}, {"m", -1}};
    std::vector<RecordId> ids;
    for (const auto& [code, seq] : keys)
        ids.push_back(t->insert({code, int64_t(seq), code + std::to_string(seq)}));
    try {
        t->insert({std::string("m"), int64_t(1), std::string("again")});
        ADD_FAILURE() << "duplicate key accepted";
    } catch (const EngineError& e) {
        EXPECT_NE(std::string(e.what()).find("Key violation"), std::string::npos);
    }
    // Changing a key onto another record's key is refused as well, and changes nothing.
    EXPECT_THROW(t->update(ids[0], {std::string("b"), int64_t(1), std::string("x")}), EngineError);
    t->update(ids[4], {std::string("c"), int64_t(0), std::string("moved")});
    t->remove(ids[1]);
    EXPECT_THROW(t->value(ids[1], 0), EngineError);
    t->flush();

    const std::vector<std::string> order = {"a-5", "c0", "m-1", "m1", "m2"};
    for (OpenMode mode : {OpenMode::ReadOnly, OpenMode::ReadWrite}) {
        const auto r = openTableFile(path, mode);
        ASSERT_EQ(r->recordIds().size(), order.size());
        for (size_t i = 0; i < order.size(); ++i) {
            const RecordId id = r->recordIds()[i];
            EXPECT_EQ(std::get<std::string>(r->value(id, 0)) + std::to_string(std::get<int64_t>(r->value(id, 1))), order[i]);
        }
        EXPECT_EQ(std::get<std::string>(r->value(r->recordIds()[1], 2)), "moved");
    }
    EXPECT_EQ(openTableFile(path)->indexes().at(0).fieldList(), "Code;Seq");
}

TEST(ParadoxWrite, ManyRecordsSpanBlocksAndIndexLevels)
{
    ScratchDir dir;
    const std::string path = dir.file("big.db");
    TableSpec s;
    s.fields = {field("Key", FieldType::Alpha, 200), field("N", FieldType::Long, 4), field("Memo", FieldType::Memo, 11)};
    s.primaryKeyFields = 1;
    IndexDef byN;
    byN.name = "ByN";
    byN.fields = {"N"};
    byN.descending = true;
    s.secondary = {byN};
    const auto t = createParadoxTable(path, s);
    const int n = 3000;  // 200-byte keys: many data blocks and a two-level primary index
    for (int i = 0; i < n; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "k%06d", (i * 7919) % n);
        t->insert({std::string(key), int64_t(i), std::string(size_t(i % 700), 'q')});
    }
    t->flush();
    const auto r = openTableFile(path);
    ASSERT_EQ(r->recordIds().size(), size_t(n));
    for (int i = 0; i < n; i += 97) {
        char key[16];
        std::snprintf(key, sizeof key, "k%06d", i);
        EXPECT_EQ(std::get<std::string>(r->value(r->recordIds()[size_t(i)], 0)), key);
    }
    const std::string px = readBytes(dir.file("big.px"));
    EXPECT_GE(uint8_t(px[0x20]), 2);  // levels
    checkPrimaryIndex(readBytes(path), px, size_t(n));
    ASSERT_EQ(r->indexes().size(), 2u);
    EXPECT_EQ(r->indexes()[1].name, "ByN");
    EXPECT_TRUE(r->indexes()[1].descending);
}

TEST(ParadoxWrite, SecondaryIndexFilesCarryTheirDefinitions)
{
    ScratchDir dir;
    const std::string path = dir.file("ix.db");
    TableSpec s;
    s.fields = {field("Id", FieldType::AutoInc, 4), field("Name", FieldType::Alpha, 20), field("City", FieldType::Alpha, 20),
                field("Born", FieldType::Date, 4)};
    s.primaryKeyFields = 1;
    IndexDef city, nameCity, nocase;
    city.fields = {"City"};  // single field, case-sensitive: .X03
    nameCity.name = "NameCity";
    nameCity.fields = {"Name", "City"};
    nocase.name = "NameNoCase";
    nocase.fields = {"Name"};
    nocase.caseInsensitive = true;
    IndexDef cityAgain = city;  // declared twice: must not share (and clobber) one file
    s.secondary = {city, nameCity, nocase, cityAgain};
    {
        const auto t = createParadoxTable(path, s);
        t->insert({Value(), std::string("bob"), std::string("Oslo"), dateFromYmd(1990, 1, 2)});
        t->insert({Value(), std::string("Al"), std::string("Bergen"), Value()});
        t->flush();
    }
    EXPECT_TRUE(fs::exists(dir.file("ix.x03")));
    EXPECT_TRUE(fs::exists(dir.file("ix.y03")));
    EXPECT_TRUE(fs::exists(dir.file("ix.xg0")));
    EXPECT_TRUE(fs::exists(dir.file("ix.yg1")));
    const auto check = [](const TableFile& t) {
        ASSERT_EQ(t.indexes().size(), 5u);
        EXPECT_EQ(t.indexes()[4].fieldList(), "City");
        EXPECT_TRUE(t.indexes()[0].primary);
        EXPECT_EQ(t.indexes()[1].name, "City");
        EXPECT_EQ(t.indexes()[1].fieldList(), "City");
        EXPECT_EQ(t.indexes()[2].name, "NameCity");
        EXPECT_EQ(t.indexes()[2].fieldList(), "Name;City");
        EXPECT_FALSE(t.indexes()[2].caseInsensitive);
        EXPECT_EQ(t.indexes()[3].name, "NameNoCase");
        EXPECT_TRUE(t.indexes()[3].caseInsensitive);
    };
    check(*openTableFile(path));
    // Saving again through a reopened table keeps the index files and their definitions.
    {
        const auto t = openTableFile(path, OpenMode::ReadWrite);
        t->insert({Value(), std::string("Cy"), std::string("Tromso"), Value()});
        t->flush();
        check(*t);
    }
    const auto t = openTableFile(path);
    check(*t);
    EXPECT_EQ(t->recordIds().size(), 3u);
    // The index files are proper Paradox index files of this table.
    const std::string x = readBytes(dir.file("ix.x03"));
    const auto def = indexDefinition(reinterpret_cast<const uint8_t*>(x.data()), x.size(), "ix.x03", t->fields(), 1);
    EXPECT_EQ(def.fieldList(), "City");
    EXPECT_EQ(px::le32(reinterpret_cast<const uint8_t*>(x.data()) + 6), 3u);  // one entry per record

    // The case-insensitive index (flag 0x01 at 0x55) keeps its Name keys upper-cased, in order:
    // its index records are read along the block chain.
    const std::string g = readBytes(dir.file("ix.xg1"));
    const auto* b = reinterpret_cast<const uint8_t*>(g.data());
    ASSERT_EQ(b[0x55] & 0x01, 1);
    const size_t recordSize = px::le16(b), headerSize = px::le16(b + 2), blockSize = size_t(b[5]) * 1024;
    std::vector<std::string> keys;
    for (uint16_t block = px::le16(b + 0x0E); block != 0 && keys.size() < 10;) {
        const size_t at = headerSize + (block - 1u) * blockSize;
        ASSERT_LE(at + blockSize, g.size());
        const int n = int16_t(px::le16(b + at + 4)) / int(recordSize) + 1;
        for (int i = 0; i < n; ++i)
            keys.push_back(g.substr(at + 6 + size_t(i) * recordSize, 20).c_str());
        block = px::le16(b + at);
    }
    std::vector<std::string> expected;
    for (RecordId id : t->recordIds())
        expected.push_back(foldAsciiUpper(t->rawText(id, 1)));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(keys, expected);
}

TEST(ParadoxWrite, ExistingTablesOpenForWriting)
{
    ScratchDir dir;
    for (const char* name : {"CUSTOMER.DB", "CUSTOMER.MB", "CUSTOMER.PX", "CUSTOMER.X06", "CUSTOMER.Y06"}) {
        fs::copy_file(samples() + "/paradox/db/" + name, dir.path() / name);
        fs::permissions(dir.path() / name, fs::perms::owner_write, fs::perm_options::add);   // a save keeps read-only files
    }
    const std::string path = dir.file("CUSTOMER.DB");
    const std::string before = dump(*openTableFile(path));
    {
        const auto t = openTableFile(path, OpenMode::ReadWrite);
        EXPECT_TRUE(t->writable());
        Record r(t->fields().size());
        r[1] = std::string("Zed");
        r[8] = std::string(300, 'n');
        const RecordId id = t->insert(r);
        // The counter continues from the last value handed out, not from the record count.
        const std::string header = readBytes(path);
        const uint32_t last = px::le32(reinterpret_cast<const uint8_t*>(header.data()) + 0x49);
        EXPECT_GE(last, 20u);
        EXPECT_EQ(std::get<int64_t>(t->value(id, 0)), int64_t(last) + 1);
        t->flush();
    }
    const auto t = openTableFile(path);
    EXPECT_EQ(t->recordIds().size(), 21u);
    EXPECT_EQ(t->indexes().size(), 2u);
    EXPECT_EQ(t->indexes()[1].name, "City");
    // Every old record reads exactly as before (the dump minus its header and new last line).
    const auto oldLines = splitLines(before), newLines = splitLines(dump(*t));
    ASSERT_EQ(newLines.size(), oldLines.size() + 1);
    for (size_t i = 2; i < oldLines.size(); ++i)
        EXPECT_EQ(newLines[i], oldLines[i]);
    EXPECT_EQ(std::get<std::string>(t->value(t->recordIds().back(), 8)), std::string(300, 'n'));
}

TEST(ParadoxWrite, CreateReplacesAnOlderTableAndItsCompanions)
{
    ScratchDir dir;
    const std::string path = dir.file("t.db");
    TableSpec keyed = noteSpec();
    IndexDef ix;
    ix.fields = {"Title"};
    keyed.secondary = {ix};
    createParadoxTable(path, keyed)->insert(noteRecord(1, "x"));
    TableSpec plain;
    plain.fields = {field("A", FieldType::Alpha, 5)};
    const auto t = createParadoxTable(path, plain);
    EXPECT_EQ(t->recordIds().size(), 0u);
    EXPECT_FALSE(fs::exists(dir.file("t.px")));
    EXPECT_FALSE(fs::exists(dir.file("t.mb")));
    EXPECT_FALSE(fs::exists(dir.file("t.X02")));
    EXPECT_EQ(openTableFile(path)->fields().size(), 1u);
}

TEST(ParadoxSave, UnwritableFolderKeepsTheChangeUntilALaterSaveSucceeds)
{
    ScratchDir dir;
    const fs::path sub = dir.path() / "base";
    fs::create_directory(sub);
    const std::string path = (sub / "p.db").string();
    TableSpec s;
    s.fields = {field("Id", FieldType::AutoInc, 4), field("Text", FieldType::Memo, 11)};
    s.primaryKeyFields = 1;
    const auto t = createParadoxTable(path, s);
    t->insert({Value(), std::string("first")});
    t->flush();

    // Make the folder unwritable: permissions for ordinary users, the immutable flag for root;
    // where neither works the folder is moved away, which a save notices just the same.
    fs::permissions(sub, fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
    int dirFd = ::open(sub.c_str(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    bool immutable = false, moved = false;
    if (::geteuid() == 0 && dirFd >= 0 && ::ioctl(dirFd, FS_IOC_GETFLAGS, &flags) == 0) {
        int set = flags | FS_IMMUTABLE_FL;
        immutable = ::ioctl(dirFd, FS_IOC_SETFLAGS, &set) == 0;
    }
    if (::geteuid() == 0 && !immutable) {
        fs::rename(sub, dir.path() / "elsewhere");
        moved = true;
    }
    t->insert({Value(), std::string("second")});
    try {
        t->flush();
        ADD_FAILURE() << "saving into an unwritable folder succeeded";
    } catch (const EngineError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    EXPECT_EQ(t->recordIds().size(), 2u);  // still there in memory

    if (immutable) {
        int unset = flags & ~FS_IMMUTABLE_FL;
        ::ioctl(dirFd, FS_IOC_SETFLAGS, &unset);
    }
    if (dirFd >= 0)
        ::close(dirFd);
    if (moved)
        fs::rename(dir.path() / "elsewhere", sub);
    fs::permissions(sub, fs::perms::owner_all, fs::perm_options::replace);
    EXPECT_EQ(openTableFile(path)->recordIds().size(), 1u);  // the failed save left the old table
    t->flush();
    const auto r = openTableFile(path);
    ASSERT_EQ(r->recordIds().size(), 2u);
    EXPECT_EQ(std::get<std::string>(r->value(r->recordIds()[1], 1)), "second");
    for (const auto& e : fs::directory_iterator(sub))
        EXPECT_EQ(e.path().string().find(".tvnew"), std::string::npos) << e.path();
}

TEST(ParadoxSave, InterruptedSavesAreFinishedOrDiscardedOnOpen)
{
    ScratchDir dir;
    const std::string path = dir.file("j.db");
    TableSpec s;
    s.fields = {field("Id", FieldType::AutoInc, 4), field("Text", FieldType::Memo, 11)};
    s.primaryKeyFields = 1;
    {
        const auto t = createParadoxTable(path, s);
        t->insert({Value(), std::string(500, 'a')});
        t->flush();
    }
    const std::string oldDb = readBytes(path), oldMb = readBytes(dir.file("j.mb")), oldPx = readBytes(dir.file("j.px"));
    {
        const auto t = openTableFile(path, OpenMode::ReadWrite);
        t->insert({Value(), std::string(700, 'b')});
        t->flush();
    }
    const std::string newDb = readBytes(path), newMb = readBytes(dir.file("j.mb")), newPx = readBytes(dir.file("j.px"));

    // A crash after the journal was written and the .DB renamed, before the rest: roll forward.
    writeBytes(path, newDb);
    writeBytes(dir.file("j.mb"), oldMb);
    writeBytes(dir.file("j.px"), oldPx);
    writeBytes(dir.file("j.mb.tvnew"), newMb);
    writeBytes(dir.file("j.px.tvnew"), newPx);
    const std::string body = "tipvault save journal 1\nR j.db\nR j.mb\nR j.px\n";
    uint32_t h = 2166136261u;
    for (unsigned char c : body)
        h = (h ^ c) * 16777619u;
    writeBytes(dir.file("j.db.tvjournal"), body + "end " + std::to_string(h) + "\n");
    {
        const auto t = openTableFile(path, OpenMode::ReadWrite);
        ASSERT_EQ(t->recordIds().size(), 2u);
        EXPECT_EQ(std::get<std::string>(t->value(t->recordIds()[1], 1)), std::string(700, 'b'));
    }
    EXPECT_FALSE(fs::exists(dir.file("j.db.tvjournal")));
    EXPECT_EQ(readBytes(dir.file("j.mb")), newMb);

    // A crash before the journal was complete: the temporaries are thrown away, old content stays.
    writeBytes(dir.file("j.db.tvnew"), oldDb);
    writeBytes(dir.file("j.mb.tvnew"), "garbage");
    writeBytes(dir.file("j.db.tvjournal.tvnew"), "tipvault save journal 1\nR j.db\n");
    EXPECT_EQ(openTableFile(path, OpenMode::ReadWrite)->recordIds().size(), 2u);
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().string().find(".tvnew"), std::string::npos) << e.path();
    EXPECT_EQ(readBytes(path), newDb);
}

TEST(ParadoxWrite, AutoincrementCounterNeverHandsOutAValueTwice)
{
    ScratchDir dir;
    const std::string path = dir.file("ai.db");
    TableSpec s;
    s.fields = {field("Id", FieldType::AutoInc), field("T", FieldType::Alpha, 5)};
    s.primaryKeyFields = 1;
    {
        const auto t = createParadoxTable(path, s);
        const RecordId a = t->insert({Value(), std::string("a")});
        t->insert({int64_t(10), std::string("b")});  // an explicit value moves the counter on
        EXPECT_EQ(std::get<int64_t>(t->value(t->insert({Value(), std::string("c")}), 0)), 11);
        t->update(a, {int64_t(50), std::string("a")});  // so does a changed one
        t->remove(t->recordIds().back());
        EXPECT_EQ(std::get<int64_t>(t->value(t->insert({Value(), std::string("d")}), 0)), 51);
        t->flush();
    }
    const auto t = openTableFile(path, OpenMode::ReadWrite);
    EXPECT_EQ(std::get<int64_t>(t->value(t->insert({Value(), std::string("e")}), 0)), 52);
}

TEST(ParadoxWrite, HeaderCounterLeftBehindByAnotherWriterIsOvertaken)
{
    ScratchDir dir;
    const std::string path = dir.file("behind.db");
    TableSpec s;
    s.fields = {field("Id", FieldType::AutoInc), field("T", FieldType::Alpha, 5)};
    s.primaryKeyFields = 1;
    {
        const auto t = createParadoxTable(path, s);
        for (int i = 0; i < 30; ++i)
            t->insert({Value(), std::string("x")});
        t->flush();
    }
    // Another program's save left the header's counter at 3.
    std::string db = readBytes(path);
    px::put32(db, 0x49, 3);
    writeBytes(path, db);
    const auto t = openTableFile(path, OpenMode::ReadWrite);
    auto* px = dynamic_cast<ParadoxTable*>(t.get());
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(px->autoIncrement(), 30u);
    EXPECT_EQ(std::get<int64_t>(t->value(t->insert({Value(), std::string("y")}), 0)), 31);
}

// A table opened for writing reads its untouched records from the files as they were opened,
// across saves that replace those files.
TEST(ParadoxWrite, UntouchedRecordsSurviveSeveralSavesOfAnOpenedTable)
{
    ScratchDir dir;
    const std::string path = dir.file("notes.db");
    TableSpec s;
    s.fields = {field("Id", FieldType::AutoInc, 4), field("Title", FieldType::Alpha, 40), field("Body", FieldType::Memo, 11)};
    s.primaryKeyFields = 1;
    std::map<int64_t, std::pair<std::string, std::string>> model;
    {
        const auto t = createParadoxTable(path, s);
        for (int i = 1; i <= 400; ++i) {
            const std::string title = "note " + std::to_string(i);
            const std::string body = std::string(size_t(i % 7) * 90, char('a' + i % 26));
            t->insert({Value(), title, body.empty() ? Value() : Value(body)});
            model[i] = {title, body};
        }
        t->flush();
    }
    auto check = [&](const TableFile& t) {
        ASSERT_EQ(t.recordIds().size(), model.size());
        auto m = model.begin();
        for (RecordId id : t.recordIds()) {
            SCOPED_TRACE(m->first);
            EXPECT_EQ(std::get<int64_t>(t.value(id, 0)), m->first);
            EXPECT_EQ(std::get<std::string>(t.value(id, 1)), m->second.first);
            EXPECT_EQ(std::string(t.rawText(id, 2)), m->second.second);
            ++m;
        }
    };
    const auto t = openTableFile(path, OpenMode::ReadWrite);
    auto idOf = [&](int64_t key) {
        for (RecordId id : t->recordIds())
            if (std::get<int64_t>(t->value(id, 0)) == key)
                return id;
        throw std::runtime_error("no record " + std::to_string(key));
    };
    t->update(idOf(7), {int64_t(7), std::string("seven"), std::string(2000, 'S')});
    model[7] = {"seven", std::string(2000, 'S')};
    t->flush();
    t->remove(idOf(1));
    model.erase(1);
    t->flush();
    // A changed key moves the record to its new place among untouched ones.
    t->update(idOf(200), {int64_t(1000), std::string("moved"), Value()});
    model.erase(200);
    model[1000] = {"moved", ""};
    EXPECT_THROW(t->update(idOf(300), {int64_t(5), std::string("dup"), Value()}), EngineError);
    t->insert({Value(), std::string("new"), std::string("fresh")});
    model[1001] = {"new", "fresh"};
    t->flush();
    check(*t);
    check(*openTableFile(path));
}

// A graphic is stored as Paradox stores one (fields/graphic240.db): the record's length counts
// an 8-byte prefix that comes before the picture in the memo file, and the leader shows the
// picture's first bytes. Small pictures share a block with others, where the slot holds the
// prefix and the picture just as a block of its own does.
TEST(ParadoxWrite, GraphicsAreStoredAsParadoxStoresThem)
{
    // The real sample: its leader is the start of the picture, not of the prefix.
    const std::string sample = samples() + "/paradox/fields/graphic240.db";
    const auto real = openTableFile(sample);
    const std::string picture = std::get<Blob>(real->value(real->recordIds()[0], 1)).bytes;
    const std::string sampleDb = readBytes(sample);
    const px::Header sh = px::parseHeader(reinterpret_cast<const uint8_t*>(sampleDb.data()), sampleDb.size(), sample);
    const std::string sampleRecord = chainRecords(sampleDb, sh)[0].first;
    EXPECT_EQ(sampleRecord.substr(4, 240), picture.substr(0, 240));
    EXPECT_EQ(px::le32(reinterpret_cast<const uint8_t*>(sampleRecord.data()) + 4 + 240 + 4), picture.size() + 8);

    ScratchDir dir;
    const std::string path = dir.file("pics.db");
    TableSpec spec;
    spec.fields = {field("Id", FieldType::AutoInc, 4), field("Pic", FieldType::Graphic, 30)};
    spec.primaryKeyFields = 1;
    // One that prefix and all would fit the leader, one sub-allocated, one in a block of its own.
    const std::vector<std::string> pictures = {"BM" + std::string(10, 'a'), "BM" + std::string(292, 'b'), "BM" + std::string(5000, 'c')};
    {
        const auto t = createParadoxTable(path, spec);
        for (const auto& pic : pictures)
            t->insert({Value{}, Blob{pic}});
        t->flush();
    }
    const auto t = openTableFile(path);
    for (size_t i = 0; i < pictures.size(); ++i)
        EXPECT_EQ(std::get<Blob>(t->value(t->recordIds()[i], 1)).bytes, pictures[i]) << i;

    std::string db = readBytes(path);
    const px::Header h = px::parseHeader(reinterpret_cast<const uint8_t*>(db.data()), db.size(), path);
    const auto records = chainRecords(db, h);
    const std::string mbPath = fs::exists(dir.file("pics.MB")) ? dir.file("pics.MB") : dir.file("pics.mb");
    const std::string mb = readBytes(mbPath);
    for (size_t i = 0; i < pictures.size(); ++i) {
        SCOPED_TRACE(i);
        const auto* f = reinterpret_cast<const uint8_t*>(records[i].first.data()) + 4;
        EXPECT_EQ(records[i].first.substr(4, std::min<size_t>(20, pictures[i].size())), pictures[i].substr(0, 20));
        const uint32_t offIdx = px::le32(f + 20);
        ASSERT_EQ(px::le32(f + 24), pictures[i].size() + 8);
        ASSERT_NE(offIdx & 0xFFFFFF00u, 0u);   // never in the leader alone
        size_t at = offIdx & 0xFFFFFF00u;
        if ((offIdx & 0xFF) == 0xFF)
            at += 9;
        else
            at += size_t(uint8_t(mb[at + 12 + 5 * (offIdx & 0xFF)])) * 16;
        std::string prefix("\x01\0\0\x01\0\0\0\0", 8);
        px::put32(prefix, 4, uint32_t(pictures[i].size()));
        EXPECT_EQ(mb.substr(at, 8), prefix);
        EXPECT_EQ(mb.substr(at + 8, pictures[i].size()), pictures[i]);
    }

    // A graphic kept wholly in the leader (length counting the prefix, as pxlib reads it too):
    // the picture is the leader's first length - 8 bytes.
    std::string rec = records[0].first;
    px::put32(rec, 4 + 20, 0);
    db.replace(db.find(records[0].first), rec.size(), rec);
    writeBytes(path, db);
    const auto patched = openTableFile(path);
    EXPECT_EQ(std::get<Blob>(patched->value(patched->recordIds()[0], 1)).bytes, pictures[0]);
}
