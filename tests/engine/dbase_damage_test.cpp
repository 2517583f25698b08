// Damaged dBASE files are refused with an EngineError that names the file and the fault;
// nothing crashes, whatever the bytes.
#include "dbase_testutil.h"

#include <gtest/gtest.h>

using namespace tv;
using namespace tv::test;

namespace {

DbfBuilder sampleBuilder()
{
    DbfBuilder b;
    b.fields = {{"NAME", 'C', 10}, {"QTY", 'N', 5}, {"DAY", 'D', 8}};
    b.addRecord({"one", "1", "20240101"});
    b.addRecord({"two", "2", "20240102"});
    return b;
}

// Expects opening (and reading every value of) `path` to fail with a message naming the
// file and containing `words`.
void expectRefused(const std::string& path, const std::string& words, const std::string& namedFile = {})
{
    try {
        const auto t = openTableFile(path);
        for (RecordId id : t->recordIds())
            for (size_t f = 0; f < t->fields().size(); ++f)
                t->value(id, int(f));
        ADD_FAILURE() << "no error; expected one about: " << words;
    } catch (const EngineError& e) {
        const std::string msg = e.what();
        EXPECT_NE(msg.find(namedFile.empty() ? path : namedFile), std::string::npos) << msg;
        EXPECT_NE(msg.find(words), std::string::npos) << msg;
    }
}

// A table of one memo field, TEXT, whose one record names memo block `block`.
DbfBuilder memoTable(uint8_t version, const std::string& block)
{
    DbfBuilder b;
    b.version = version;
    b.fields = {{"TEXT", 'M', 10}};
    b.addRecord({block});
    return b;
}

void patch(std::string& bytes, size_t off, std::initializer_list<uint8_t> values)
{
    for (uint8_t v : values)
        bytes[off++] = char(v);
}

// With the memo file `good` record 1 reads "hello"; the same file naming a next free block far
// past its end is refused. Leaves `good` in place.
void expectHelloAndFreeBlockChecked(const std::string& path, const std::string& dbt, const std::string& good)
{
    writeFile(dbt, good);
    EXPECT_EQ(std::get<std::string>(openTableFile(path)->value(0, 0)), "hello");
    std::string farFree = good;
    patch(farFree, 0, {0xFF, 0xFF, 0xFF, 0xFF});
    writeFile(dbt, farFree);
    expectRefused(path, "next free block 4294967295 lies past the end", dbt);
    writeFile(dbt, good);
}

// Opens `path` and reads every value; any EngineError is fine, anything else fails the test.
void openAndReadAll(const std::string& path)
{
    try {
        const auto t = openTableFile(path);
        for (RecordId id : t->recordIds())
            for (size_t f = 0; f < t->fields().size(); ++f) {
                t->value(id, int(f));
                t->rawText(id, int(f));
            }
        for (const IndexDef& d : t->indexes())
            (void)d.fieldList();
    } catch (const EngineError&) {
    }
}

} // namespace

TEST(DbaseDamage, BrokenHeadersAreRefused)
{
    TempDir dir;
    const std::string path = dir.file("t.dbf");
    const std::string good = sampleBuilder().bytes();

    writeFile(path, "");
    expectRefused(path, "too short");
    writeFile(path, good.substr(0, 20));
    expectRefused(path, "too short");

    std::string b = good;
    patch(b, 8, {0x00, 0x10});  // header length 4096
    writeFile(path, b);
    expectRefused(path, "beyond the end of the file");

    b = good;
    patch(b, 8, {0x10, 0x00});
    writeFile(path, b);
    expectRefused(path, "header length 16 is too small");

    b = good;
    b[10] = char(b[10] + 1);  // record length one more than the fields
    writeFile(path, b);
    expectRefused(path, "record length 25 does not match the fields");

    // A field list without its end marker is read when its fields fill the record exactly: a
    // 0x00 or another byte in the marker's place, a 0x0A before more header, or a header ending
    // after the last descriptor.
    const size_t marker = 32 + 3 * 32;
    writeFile(path, good);
    const std::string expected = dumpTable(*openTableFile(path));
    std::string cut = good.substr(0, marker) + good.substr(marker + 1);
    cut[8] = char(marker);
    std::string newline = good.substr(0, marker) + '\n' + std::string(32, ' ') + good.substr(marker + 1);   // then padding
    newline[8] = char(marker + 33);
    for (const std::string& bytes : {good.substr(0, marker) + '\0' + good.substr(marker + 1),
                                     good.substr(0, marker) + 'x' + good.substr(marker + 1), cut, newline}) {
        writeFile(path, bytes);
        EXPECT_EQ(dumpTable(*openTableFile(path)), expected);
    }
    b = good;
    b[marker] = '\0';
    b[10] = char(b[10] + 1);
    writeFile(path, b);
    expectRefused(path, "no end marker and record length 25 does not match the fields, which take 24 bytes");
    b = good;
    patch(b, 8, {32 + 32 + 10, 0});  // header ends inside the second descriptor
    writeFile(path, b);
    expectRefused(path, "no end marker and record length 24 does not match the fields, which take 11 bytes");

    b = good;
    patch(b, 4, {0x01, 0x00, 0x00, 0x00});  // one record counted, two in the file
    writeFile(path, b);
    expectRefused(path, "counts 1 records, but the file holds 2");

    // Stale bytes after the end mark that follows the counted records (whole old records among
    // them) are no part of the table: the counted records are read, and a writer appends over
    // them.
    DbfBuilder two = sampleBuilder();
    const std::string stale = good + two.records[0] + two.records[1] + two.records[0] + "\x1A\x1A" + std::string(3, '\0');
    writeFile(path, stale);
    EXPECT_EQ(dumpTable(*openTableFile(path)), expected);
    {
        const auto t = openTableFile(path, OpenMode::ReadWrite);
        t->insert({std::string("three"), 3.0, Value{}});
        t->flush();
    }
    two.addRecord({"three", "    3"});
    writeFile(dir.file("fresh.dbf"), two.bytes());
    EXPECT_EQ(dumpTable(*openTableFile(path)), dumpTable(*openTableFile(dir.file("fresh.dbf"))));

    b = good;
    patch(b, 4, {0x00, 0x00, 0x01, 0x00});  // 65536 records
    writeFile(path, b);
    expectRefused(path, "too short for its 65536 records");

    expectRefused(dir.file("absent.dbf"), "cannot open");
    std::filesystem::create_directory(dir.file("folder.dbf"));
    std::filesystem::create_directory(dir.file("folder"));
    expectRefused(dir.file("folder") + "/", "is a folder");
    expectRefused(dir.file("folder.dbf"), "is a folder");
}

TEST(DbaseDamage, BadFieldDescriptorsAreRefused)
{
    TempDir dir;
    const std::string path = dir.file("f.dbf");
    DbfBuilder b = sampleBuilder();
    b.fields[1].type = 'X';
    writeFile(path, b.bytes());
    expectRefused(path, "field QTY has type 'X'");

    b.fields[1].type = 'Y';
    writeFile(path, b.bytes());
    expectRefused(path, "field QTY of type Y has length");

    b = sampleBuilder();
    b.fields[2].length = 7;
    writeFile(path, b.bytes());
    expectRefused(path, "field DAY of type D has length 7");

    b = sampleBuilder();
    b.fields[0].length = 0;
    b.records.clear();
    writeFile(path, b.bytes());
    expectRefused(path, "field NAME of type C has length 0");
}

TEST(DbaseDamage, BrokenMemosAreRefused)
{
    TempDir dir;
    const std::string path = dir.file("m.dbf");
    const std::string dbt = dir.file("m.dbt");
    DbfBuilder b = memoTable(0x83, "         1");
    writeFile(path, b.bytes());
    expectRefused(path, "memo file m.dbt is missing");

    expectHelloAndFreeBlockChecked(path, dbt, std::string(512, '\0') + "hello\x1A\x1A");

    b.records.clear();
    b.addRecord({"         7"});
    writeFile(path, b.bytes());
    expectRefused(path, "memo block 7 of record 1, field TEXT lies beyond the end", dbt);

    b.records.clear();
    b.addRecord({"  12x     "});
    writeFile(path, b.bytes());
    expectRefused(path, "record 1, field TEXT holds no memo block number");

    // A plain table that declares memo fields still needs its memo file.
    b.version = 0x03;
    b.fields[0].name = "NOTE";
    writeFile(dir.file("plain.dbf"), b.bytes());
    expectRefused(dir.file("plain.dbf"), "the table has memo fields");
}

TEST(DbaseDamage, BrokenDbase4MemosAreRefused)
{
    TempDir dir;
    const std::string path = dir.file("m4.dbf");
    const std::string dbt = dir.file("m4.dbt");
    writeFile(path, memoTable(0x8B, "1").bytes());

    writeFile(dbt, std::string(10, '\0'));
    expectRefused(path, "memo file is too short", dbt);

    std::string memo(512, '\0');
    memo[0x15] = 2;  // block size 512
    const std::string good = memo + std::string("\xFF\xFF\x08\x00\x0D\0\0\0hello", 13);
    expectHelloAndFreeBlockChecked(path, dbt, good);

    std::string bad = good;
    bad[512] = 'x';
    writeFile(dbt, bad);
    expectRefused(path, "does not start a memo", dbt);

    bad = good;
    bad[516] = 4;  // shorter than its own header
    writeFile(dbt, bad);
    expectRefused(path, "has length 4", dbt);

    bad = good;
    bad[517] = 1;  // 269 bytes, more than the file holds
    writeFile(dbt, bad);
    expectRefused(path, "has length 269", dbt);

    bad = good;
    bad[0x14] = 4;
    bad[0x15] = 0;
    writeFile(dbt, bad);
    expectRefused(path, "block size 4 is too small", dbt);
}

TEST(DbaseDamage, BrokenProductionIndexesAreRefused)
{
    TempDir dir;
    const std::string path = dir.file("x.dbf");
    const std::string mdxPath = dir.file("x.mdx");
    DbfBuilder b = sampleBuilder();
    b.productionIndex = true;
    writeFile(path, b.bytes());

    // A good index file as the writer makes it, then damaged in several places.
    {
        TableSpec spec;
        spec.fields = {{"NAME", FieldType::DbChar, 10, 0}};
        IndexDef ix;
        ix.name = "NAME";
        ix.fields = {"NAME"};
        spec.secondary = {ix};
        createDbaseTable(dir.file("w.dbf"), spec);
    }
    const std::string good = readFile(dir.file("w.mdx"));
    writeFile(mdxPath, good);
    ASSERT_EQ(openTableFile(path)->indexes().size(), 1u);

    writeFile(mdxPath, good.substr(0, 100));
    expectRefused(path, "too short for an index header", mdxPath);

    std::string bad = good;
    bad[0x1C] = 100;
    writeFile(mdxPath, bad);
    expectRefused(path, "100 tags do not fit", mdxPath);

    bad = good;
    bad[0x1A] = 8;
    writeFile(mdxPath, bad);
    expectRefused(path, "entries of 8 bytes are too short", mdxPath);

    bad = good.substr(0, 0x800);  // tag table present, tag header cut off
    writeFile(mdxPath, bad);
    expectRefused(path, "the header of tag NAME lies beyond the end", mdxPath);

    bad = good;
    std::fill(bad.begin() + 4 * 512 + 0x18, bad.begin() + 4 * 512 + 0x18 + 240, 'A');
    writeFile(mdxPath, bad);
    expectRefused(path, "key expression of tag NAME has no end", mdxPath);

    bad = good;
    bad[4 * 512 + 0x18] = '\0';
    writeFile(mdxPath, bad);
    expectRefused(path, "tag NAME has no key expression", mdxPath);
}

// FoxPro parts: _NullFlags too small, a varchar length past its field, a date-time past
// midnight, .FPT memos outside the file or in its header; a damaged .CDX leaves the table
// readable without its tags.
TEST(DbaseDamage, BrokenFoxProPartsAreRefused)
{
    TempDir dir;
    const std::string path = dir.file("v.dbf");
    const std::string fptPath = dir.file("v.fpt");
    DbfBuilder b;
    b.version = 0x30;
    b.fields = {{"NOTE", 'V', 4, 0, 0x02}, {"WHEN", 'T', 8}, {"MEMO", 'M', 4}, {"_NullFlags", '0', 1, 0, 0x01}};
    std::vector<int> blocks;
    const std::string goodFpt = fpt({{1, "memo"}}, blocks);
    writeFile(fptPath, goodFpt);
    b.addRecord({std::string("ab\0\2", 4), le(2460000, 4) + le(86399999, 4), le(uint32_t(blocks[0]), 4), "\x01"});
    writeFile(path, b.bytes());
    EXPECT_EQ(dumpTable(*openTableFile(path)), "#fields\tNOTE:dV:4\tWHEN:dT:8\tMEMO:dM:4\n#records\t1\n"
                                                "ab\t2023-02-24 23:59:59.999\tmemo\n");

    DbfBuilder bad = b;
    bad.fields[3].length = 0;
    bad.fields[0].length = 5;
    writeFile(path, bad.bytes());
    expectRefused(path, "field _NullFlags of type '0' is not a sound _NullFlags field");

    bad = b;
    bad.fields.insert(bad.fields.begin(), 7, {"V", 'V', 1, 0, 0x02});
    bad.records.clear();
    bad.addRecord({});
    writeFile(path, bad.bytes());
    expectRefused(path, "the _NullFlags field has 8 bits, but the fields need 16");

    bad = b;
    bad.records[0][4] = '\4';
    writeFile(path, bad.bytes());
    expectRefused(path, "record 1, field NOTE says it holds 4 bytes, but the field has room for 3");

    bad = b;
    bad.records[0].replace(9, 4, le(86400000, 4));
    writeFile(path, bad.bytes());
    expectRefused(path, "record 1, field WHEN holds bytes that make no T value");

    writeFile(path, b.bytes());
    writeFile(fptPath, goodFpt.substr(0, goodFpt.size() - 55));
    expectRefused(path, "has length 4, which does not fit the memo file", fptPath);
    std::string header = goodFpt;
    header.replace(6, 2, be(4, 2));   // block 8 of 4 bytes lies in the header
    writeFile(fptPath, header);
    expectRefused(path, "memo block 8 of record 1, field MEMO lies in the memo file's header", fptPath);
    header.replace(6, 2, be(0, 2));
    writeFile(fptPath, header);
    expectRefused(path, "memo block size 0", fptPath);
    writeFile(fptPath, goodFpt);

    const std::string cdxPath = dir.file("v.cdx");
    b.productionIndex = true;
    writeFile(path, b.bytes());
    std::string loop = cdx({{"NOTE", "NOTE"}});
    loop.replace(1024, 2, le(2, 2));        // a leaf, not the root
    loop.replace(1024 + 8, 4, le(1024, 4)); // whose right sibling is itself
    // A read-only table whose index is damaged is read without its tags, with a note.
    const auto expectReadWithoutTags = [&](const std::string& words) {
        const auto t = openTableFile(path);
        EXPECT_TRUE(t->indexes().empty());
        EXPECT_EQ(t->recordIds().size(), b.records.size());
        const auto notices = t->takeNotices();
        ASSERT_EQ(notices.size(), 1u) << words;
        EXPECT_NE(notices[0].find(cdxPath + ": " + words), std::string::npos) << notices[0];
        EXPECT_NE(notices[0].find("the table is read without its index tags"), std::string::npos) << notices[0];
    };
    writeFile(cdxPath, loop);
    expectReadWithoutTags("the index at byte 0 loops");
    std::string cut = cdx({{"NOTE", "NOTE"}});
    writeFile(cdxPath, cut.substr(0, 2000));
    expectReadWithoutTags("tag NOTE has its header at byte 1536, outside the file");
}

TEST(DbaseDamage, EveryTruncationAndByteFlipIsHandled)
{
    TempDir dir;
    DbfBuilder b;
    b.version = 0x8B;
    b.productionIndex = true;
    b.fields = {{"NAME", 'C', 6}, {"NUM", 'N', 6, 2}, {"DAY", 'D', 8}, {"OK", 'L', 1}, {"NOTE", 'M', 10}};
    b.addRecord({"abc", "1.50", "20200202", "T", "1"});
    b.addRecord({"de", "-2", "", "F", "2"}, true);
    b.addRecord({"f", "", "20211231", "?", ""});
    std::string memo(512, '\0');
    memo[0x15] = 2;
    memo += std::string("\xFF\xFF\x08\x00\x0B\0\0\0abc", 11);
    memo.resize(1024, '\0');
    memo += std::string("\xFF\xFF\x08\x00\x0A\0\0\0de", 10);
    const std::string dbf = b.bytes();
    TableSpec spec;
    spec.fields = {{"NAME", FieldType::DbChar, 6, 0}};
    IndexDef ix;
    ix.name = "BYNAME";
    ix.fields = {"NAME"};
    ix.caseInsensitive = true;
    spec.secondary = {ix};
    createDbaseTable(dir.file("w.dbf"), spec);
    const std::string mdx = readFile(dir.file("w.mdx"));

    const std::string path = dir.file("t.dbf");
    const auto writeAll = [&](const std::string& d, const std::string& m, const std::string& x) {
        writeFile(path, d);
        writeFile(dir.file("t.dbt"), m);
        writeFile(dir.file("t.mdx"), x);
    };
    writeAll(dbf, memo, mdx);
    {
        const auto t = openTableFile(path);
        EXPECT_EQ(t->recordIds().size(), 2u);
        EXPECT_EQ(std::get<std::string>(t->value(0, 4)), "abc");
        EXPECT_EQ(t->indexes().size(), 1u);
    }
    for (size_t n = 0; n < dbf.size(); ++n) {
        writeAll(dbf.substr(0, n), memo, mdx);
        openAndReadAll(path);
    }
    for (size_t n = 0; n < memo.size(); n += 7) {
        writeAll(dbf, memo.substr(0, n), mdx);
        openAndReadAll(path);
    }
    for (size_t n = 0; n < mdx.size(); n += 13) {
        writeAll(dbf, memo, mdx.substr(0, n));
        openAndReadAll(path);
    }
    for (size_t i = 0; i < dbf.size(); ++i) {
        for (uint8_t v : {0x00, 0x2A, 0xFF}) {
            std::string d = dbf;
            d[i] = char(v);
            writeAll(d, memo, mdx);
            openAndReadAll(path);
        }
    }
    for (size_t i = 0; i < 0x40; ++i) {
        std::string m = memo;
        m[512 + i % 16] = char(0xFF - i);
        m[i] = char(i * 37);
        writeAll(dbf, m, mdx);
        openAndReadAll(path);
    }
}
