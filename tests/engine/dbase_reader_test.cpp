// Reading dBASE, FoxPro and dBASE 7 tables built byte by byte: cell decoding, deleted records,
// memo layouts, code pages and the tag definitions of a production or structural index.
#include "dbase_testutil.h"

#include "engine/codepage.h"
#include "engine/dataset/table.h"
#include "engine/dbase/dbfformat.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

using namespace tv;
using namespace tv::test;

namespace {

void put32(std::string& b, size_t off, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[off + size_t(i)] = char((v >> (8 * i)) & 0xFF);
}

// A dBASE III memo file: header block, then each memo in whole 512-byte blocks.
std::string dbt3(const std::vector<std::string>& memos, std::vector<int>& blocks)
{
    std::string f(512, '\0');
    for (const std::string& m : memos) {
        blocks.push_back(int(f.size() / 512));
        std::string data = m + "\x1A\x1A";
        data.resize((data.size() + 511) / 512 * 512, '\0');
        f += data;
    }
    put32(f, 0, uint32_t(f.size() / 512));
    return f;
}

// A dBASE IV memo file with the given block size.
std::string dbt4(const std::vector<std::string>& memos, std::vector<int>& blocks, uint16_t blockSize)
{
    std::string f(blockSize, '\0');
    f[0x14] = char(blockSize & 0xFF);
    f[0x15] = char(blockSize >> 8);
    for (const std::string& m : memos) {
        blocks.push_back(int(f.size() / blockSize));
        std::string data("\xFF\xFF\x08\x00\0\0\0\0", 8);
        put32(data, 4, uint32_t(m.size() + 8));
        data += m;
        data.resize((data.size() + blockSize - 1) / blockSize * blockSize, '\x1F');
        f += data;
    }
    put32(f, 0, uint32_t(f.size() / blockSize));
    return f;
}

struct MdxTag {
    std::string name;
    std::string expression;
    bool descending = false;
};

std::string mdx(const std::vector<MdxTag>& tags)
{
    std::string f(0x800 + tags.size() * 1024, '\0');
    f[0] = 2;
    f[0x19] = 48;
    f[0x1A] = 32;
    f[0x1C] = char(tags.size());
    for (size_t i = 0; i < tags.size(); ++i) {
        const size_t page = 4 + 2 * i;
        const size_t entry = 0x220 + 32 * i;
        put32(f, entry, uint32_t(page));
        f.replace(entry + 4, tags[i].name.size(), tags[i].name);
        f[page * 512 + 8] = char(0x10 | (tags[i].descending ? 0x08 : 0));
        f.replace(page * 512 + 0x18, tags[i].expression.size(), tags[i].expression);
    }
    return f;
}

} // namespace

TEST(DbaseReader, DecodesEveryCellKindAndBlanksAsNull)
{
    TempDir dir;
    DbfBuilder b;
    b.fields = {{"NAME", 'C', 8}, {"QTY", 'N', 20, 2}, {"RATE", 'F', 20, 15}, {"DAY", 'D', 8}, {"OK", 'L', 1}};
    b.addRecord({"abc", "   36.30", "    -0.500", "20240229", "T"});
    b.addRecord({"", "", "", "", " "});                                  // all blank
    b.addRecord({"  x  ", "+1.00", "1e3", "19991231", "n"});
    b.addRecord({"tab\there", "*****", "abc", "20230229", "?"});          // not numbers, not a date
    b.addRecord({"z", "  -0", "inf", "00000000", "y"});
    // Digits beyond a double's: kept as stored (leading zeros, a bare point and -0 tidied).
    b.addRecord({"w", " 1234567890123450000", " 333.333333333333340", "", ""});
    b.addRecord({std::string("v\0 \0\0\0\0\0", 8), "  -.25", "007.", "", ""});   // padded with zero bytes
    b.addRecord({"u", "   -1,50", "1,2,3", "", ""});                          // a decimal comma; two commas are no number
    writeFile(dir.file("cells.dbf"), b.bytes());
    const auto t = openTableFile(dir.file("cells.dbf"));

    ASSERT_EQ(t->fields().size(), 5u);
    EXPECT_EQ(t->fields()[1].type, FieldType::DbNumeric);
    EXPECT_EQ(t->fields()[1].decimals, 2);
    EXPECT_EQ(t->fields()[2].type, FieldType::DbFloat);
    EXPECT_EQ(t->primaryKeyFields(), 0);
    EXPECT_TRUE(t->indexes().empty());
    EXPECT_FALSE(t->writable());

    EXPECT_EQ(dumpTable(*t), "#fields\tNAME:dC:8\tQTY:dN:20\tRATE:dF:20\tDAY:dD:8\tOK:dL:1\n#records\t8\n"
                             "abc\t36.30\t-0.500\t2024-02-29\tT\n"
                             "\\N\t\\N\t\\N\t\\N\t\\N\n"
                             "  x\t1.00\t1e3\t1999-12-31\tF\n"
                             "tab\\there\t\\N\t\\N\t\\N\t\\N\n"
                             "z\t0\t\\N\t\\N\tT\n"
                             "w\t1234567890123450000\t333.333333333333340\t\\N\t\\N\n"
                             "v\t-0.25\t7\t\\N\t\\N\n"
                             "u\t-1.50\t\\N\t\\N\t\\N\n");
    EXPECT_EQ(std::get<double>(t->value(7, 1)), -1.5);
    // The program still reads numbers.
    EXPECT_EQ(std::get<double>(t->value(0, 1)), 36.3);
    EXPECT_EQ(std::get<double>(t->value(5, 1)), 1234567890123450000.0);
    EXPECT_EQ(t->decimalText(0, 0), "");   // not a number field
    // Only leading blanks of text are kept; raw text is a view without trailing blanks.
    EXPECT_EQ(t->rawText(2, 0), "  x");
    EXPECT_EQ(t->rawText(6, 0), "v");
    EXPECT_EQ(t->rawText(1, 0), "");
    EXPECT_EQ(t->rawText(0, 1), "");  // not a text field
}

// A character field of more than 255 bytes keeps the high byte of its length in the decimals
// byte; a decimals byte the record length does not bear out is left alone.
TEST(DbaseReader, LongCharacterFieldsTakeTheirLengthFromTwoBytes)
{
    TempDir dir;
    for (uint8_t version : {uint8_t(0x03), uint8_t(0xF5)}) {
        DbfBuilder b;
        b.version = version;
        b.fields = {{"LONG", 'C', 300 - 256, 1}, {"X", 'C', 2}};
        std::string bytes = b.bytes();
        bytes.replace(10, 2, le(1 + 300 + 2, 2));   // the record length counts the whole field
        bytes[4] = 1;
        bytes.insert(bytes.size() - 1, " " + std::string(299, 'a') + "z" + "ok");
        writeFile(dir.file("long.dbf"), bytes);
        const auto t = openTableFile(dir.file("long.dbf"));
        EXPECT_EQ(t->fields()[0].size, 300);
        EXPECT_EQ(std::get<std::string>(t->value(0, 0)), std::string(299, 'a') + "z");
        EXPECT_EQ(std::get<std::string>(t->value(0, 1)), "ok");

        b.fields[0].length = 3;
        b.addRecord({"abc", "ok"});
        writeFile(dir.file("short.dbf"), b.bytes());
        const auto u = openTableFile(dir.file("short.dbf"));
        EXPECT_EQ(u->fields()[0].size, 3);
        EXPECT_EQ(std::get<std::string>(u->value(0, 1)), "ok");
    }
}

TEST(DbaseReader, DeletedRecordsAreCountedButNotListed)
{
    TempDir dir;
    DbfBuilder b;
    b.fields = {{"N", 'C', 2}};
    b.addRecord({"a"});
    b.addRecord({"b"}, true);
    b.addRecord({"c"});
    b.addRecord({"d"}, true);
    writeFile(dir.file("del.dbf"), b.bytes());
    const auto t = openTableFile(dir.file("del.dbf"));
    EXPECT_EQ(t->headerRecordCount(), 4u);
    EXPECT_EQ(t->recordIds(), (std::vector<RecordId>{0, 2}));
    EXPECT_EQ(std::get<std::string>(t->value(2, 0)), "c");
    EXPECT_THROW(t->value(4, 0), EngineError);
    EXPECT_THROW(t->value(0, 1), EngineError);
    EXPECT_THROW(t->value(0, -1), EngineError);
}

TEST(DbaseReader, TextIsDecodedWithTheLanguageDriversCodePage)
{
    TempDir dir;
    DbfBuilder b;
    b.languageDriver = 0x65;  // cp866
    b.fields = {{"\x88\x8C\x9F", 'C', 6}};  // "ИМЯ"
    b.addRecord({"\x8F\xE0\xA8\xA2\xA5\xE2"});
    writeFile(dir.file("ru.dbf"), b.bytes());
    const auto t = openTableFile(dir.file("ru.dbf"));
    EXPECT_EQ(t->codePage(), 866);
    EXPECT_EQ(t->fields()[0].name, "ИМЯ");
    EXPECT_EQ(std::get<std::string>(t->value(0, 0)), "Привет");
    EXPECT_EQ(t->rawText(0, 0), "\x8F\xE0\xA8\xA2\xA5\xE2");

    // The Macintosh drivers: Roman, Cyrillic, Central European, Greek.
    for (const auto& [driver, text, bytes] :
         {std::tuple<uint8_t, const char*, const char*>{0x04, "Grüße", "Gr\x9F\xA7" "e"}, {0x96, "Привет", "\x8F\xF0\xE8\xE2\xE5\xF2"},
          {0x97, "Łódź", "\xFC\x97" "d\x90"}, {0x98, "Ωμέγα", "\xBF\xED\xDB\xE7\xE1"}}) {
        b.languageDriver = driver;
        b.records.clear();
        b.addRecord({bytes});
        writeFile(dir.file("mac.dbf"), b.bytes());
        EXPECT_EQ(std::get<std::string>(openTableFile(dir.file("mac.dbf"))->value(0, 0)), text) << int(driver);
    }

    b.languageDriver = 0xF0;  // names no driver: Windows ANSI
    b.fields[0].name = "N";
    b.records.clear();
    b.addRecord({"\x80"});
    writeFile(dir.file("unknown.dbf"), b.bytes());
    const auto u = openTableFile(dir.file("unknown.dbf"));
    EXPECT_EQ(u->codePage(), 1252);
    EXPECT_EQ(std::get<std::string>(u->value(0, 0)), "€");

    // A driver byte that names no code page, over text that is all UTF-8 (a character cut at
    // a field's end allowed): UTF-8; one byte that is not, and it stays Windows ANSI.
    for (uint8_t driver : {uint8_t(0x00), uint8_t(0xF0)}) {
        b.languageDriver = driver;
        b.records.clear();
        b.addRecord({"\xD0\x96\xD0"});
        b.addRecord({"plain"});
        writeFile(dir.file("utf.dbf"), b.bytes());
        EXPECT_EQ(std::get<std::string>(openTableFile(dir.file("utf.dbf"))->value(0, 0)), "Ж\xEF\xBF\xBD");
        b.addRecord({"caf\xE9s"});
        writeFile(dir.file("utf.dbf"), b.bytes());
        EXPECT_EQ(std::get<std::string>(openTableFile(dir.file("utf.dbf"))->value(2, 0)), "cafés");
    }

    // A .cpg file beside the table (any letter case) names the code page, before the driver
    // byte, field names included.
    b.languageDriver = 0x65;
    b.fields[0].name = "\xD0\x98\xD0\x9C";  // "ИМ" in UTF-8
    b.records.clear();
    b.addRecord({"\xD0\x96 \xC3"});            // a character, then a cut one
    writeFile(dir.file("gis.dbf"), b.bytes());
    struct Case { const char* cpg; const char* text; };
    for (const Case& c : {Case{"UTF-8", "Ж \xEF\xBF\xBD"}, Case{"\xEF\xBB\xBF" "65001\r\n", "Ж \xEF\xBF\xBD"},
                          Case{"ANSI 1251", "Р– Г"}, Case{"88591", "\xC3\x90\xC2\x96 \xC3\x83"}, Case{"koi8-r", "п√ ц"}, Case{"SYSTEM", "╨Ц ├"}}) {
        SCOPED_TRACE(c.cpg);
        writeFile(dir.file("GIS.CPG"), c.cpg);
        const auto g = openTableFile(dir.file("gis.dbf"));
        EXPECT_EQ(std::get<std::string>(g->value(0, 0)), c.text);
    }
    writeFile(dir.file("GIS.CPG"), "UTF-8");
    EXPECT_EQ(openTableFile(dir.file("gis.dbf"))->fields()[0].name, "ИМ");
    writeFile(dir.file("GIS.CPG"), "martian");
    try {
        openTableFile(dir.file("gis.dbf"));
        ADD_FAILURE() << "an unknown code page was taken";
    } catch (const EngineError& e) {
        EXPECT_NE(std::string(e.what()).find("GIS.CPG: names code page \"martian\", which is not known here"), std::string::npos) << e.what();
    }

    // A new table in a code page without a driver byte says which in a .cpg file.
    TableSpec spec;
    spec.fields = {{"NAME", FieldType::DbChar, 20}};
    spec.codePage = kCodePageUtf8;
    {
        const auto w = createDbaseTable(dir.file("new.dbf"), spec);
        w->insert({std::string("Ωmega ☃")});
        w->flush();
    }
    EXPECT_EQ(readFile(dir.file("new.cpg")), "UTF-8");
    EXPECT_EQ(std::get<std::string>(openTableFile(dir.file("new.dbf"))->value(0, 0)), "Ωmega ☃");
    spec.codePage = 866;
    std::filesystem::rename(dir.file("new.cpg"), dir.file("NEW.CPG"));
    createDbaseTable(dir.file("new.dbf"), spec);
    EXPECT_FALSE(std::filesystem::exists(dir.file("new.cpg")) || std::filesystem::exists(dir.file("NEW.CPG")));
}

TEST(DbaseReader, Dbase3MemosRunToTheEndMark)
{
    TempDir dir;
    std::vector<int> blocks;
    const std::string longMemo(1500, 'x');
    const std::string edge(510, 'e');  // end marks fill its block exactly
    std::string memoFile = dbt3({"first\r\nline", longMemo, edge, "\x85 done"}, blocks);
    memoFile += "tail without end mark";
    DbfBuilder b;
    b.version = 0x83;
    b.languageDriver = 0x00;
    b.fields = {{"ID", 'N', 3}, {"NOTE", 'M', 10}};
    for (size_t i = 0; i < blocks.size(); ++i)
        b.addRecord({std::to_string(i), std::to_string(blocks[i])});
    b.addRecord({"9", "         0"});
    b.addRecord({"10", ""});
    writeFile(dir.file("m3.dbf"), b.bytes());
    writeFile(dir.file("m3.dbt"), memoFile);
    auto t = openTableFile(dir.file("m3.dbf"));
    EXPECT_EQ(std::get<std::string>(t->value(0, 1)), "first\r\nline");
    EXPECT_EQ(std::get<std::string>(t->value(1, 1)), longMemo);
    EXPECT_EQ(std::get<std::string>(t->value(2, 1)), edge);
    EXPECT_EQ(std::get<std::string>(t->value(3, 1)), "… done");
    EXPECT_EQ(t->rawText(3, 1), "\x85 done");
    EXPECT_TRUE(isNull(t->value(4, 1)));
    EXPECT_TRUE(isNull(t->value(5, 1)));
    EXPECT_EQ(t->rawText(5, 1), "");

    // The last memo of a file may lack its end mark.
    memoFile.resize(memoFile.size() - 21);
    memoFile.resize(memoFile.size() / 512 * 512);
    const int last = int(memoFile.size() / 512);
    memoFile += "unterminated";
    b.records.clear();
    b.addRecord({"1", std::to_string(last)});
    writeFile(dir.file("m3.dbf"), b.bytes());
    writeFile(dir.file("m3.dbt"), memoFile);
    t = openTableFile(dir.file("m3.dbf"));
    EXPECT_EQ(std::get<std::string>(t->value(0, 1)), "unterminated");
}

TEST(DbaseReader, Dbase4MemosUseTheirLengthAndTheHeadersBlockSize)
{
    for (uint16_t blockSize : {512, 1024}) {
        SCOPED_TRACE(blockSize);
        TempDir dir;
        std::vector<int> blocks;
        const std::string binary("a\x1A\0b", 4);  // end marks mean nothing in this layout
        const std::string big(3000, 'q');
        const std::string memoFile = dbt4({"First memo\r\n", binary, big, ""}, blocks, blockSize);
        DbfBuilder b;
        b.version = 0x8B;
        b.fields = {{"MEMO", 'M', 10}};
        for (int block : blocks)
            b.addRecord({std::to_string(block)});
        writeFile(dir.file("M4.DBF"), b.bytes());
        writeFile(dir.file("M4.DBT"), memoFile);
        const auto t = openTableFile(dir.file("M4.DBF"));
        EXPECT_EQ(std::get<std::string>(t->value(0, 0)), "First memo\r\n");
        EXPECT_EQ(std::get<std::string>(t->value(1, 0)), binary);
        EXPECT_EQ(t->rawText(2, 0), big);
        EXPECT_TRUE(isNull(t->value(3, 0)));  // memo of length 0
    }
}

TEST(DbaseReader, ProductionIndexTagsAreFieldOrExpressionIndexes)
{
    TempDir dir;
    DbfBuilder b;
    b.productionIndex = true;
    b.fields = {{"SUBJECT", 'C', 20}, {"AUTHOR", 'C', 20}, {"POSTED", 'D', 8}};
    b.addRecord({"a", "b", "20240101"});
    writeFile(dir.file("news.dbf"), b.bytes());
    writeFile(dir.file("news.mdx"), mdx({{"SUBJECT", "subject"},
                                          {"AUTHOR", " UPPER( Author ) "},
                                          {"BYDATE", "POSTED", true},
                                          {"COMBO", "AUTHOR+SUBJECT"},
                                          {"UPNOPE", "UPPER(NOFIELD)"}}));
    const auto t = openTableFile(dir.file("news.dbf"));
    const auto& ix = t->indexes();
    ASSERT_EQ(ix.size(), 5u);
    EXPECT_EQ(ix[0].name, "SUBJECT");
    EXPECT_EQ(ix[0].fields, std::vector<std::string>{"SUBJECT"});
    EXPECT_FALSE(ix[0].caseInsensitive);
    EXPECT_FALSE(ix[0].expression);
    EXPECT_EQ(ix[0].expressionText, "subject");
    EXPECT_EQ(ix[1].fields, std::vector<std::string>{"AUTHOR"});
    EXPECT_TRUE(ix[1].caseInsensitive);
    EXPECT_FALSE(ix[1].expression);
    EXPECT_TRUE(ix[2].descending);
    EXPECT_EQ(ix[2].fields, std::vector<std::string>{"POSTED"});
    for (size_t i : {3u, 4u}) {
        EXPECT_TRUE(ix[i].expression) << i;
        EXPECT_TRUE(ix[i].fields.empty()) << i;
    }
    EXPECT_EQ(ix[3].expressionText, "AUTHOR+SUBJECT");
    for (const IndexDef& d : ix)
        EXPECT_FALSE(d.primary);

    // Without the header's production-index mark the index file is not consulted.
    b.productionIndex = false;
    writeFile(dir.file("news.dbf"), b.bytes());
    EXPECT_TRUE(openTableFile(dir.file("news.dbf"))->indexes().empty());
}

// Visual FoxPro: binary number and date-time cells, the _NullFlags bits (NULL, and the length
// of a varchar shorter than its field), memos and blobs in the .FPT, tags in the .CDX.
TEST(DbaseReader, VisualFoxProTypesNullFlagsMemosAndTags)
{
    TempDir dir;
    std::vector<int> blocks;
    writeFile(dir.file("fox.fpt"), fpt({{1, "hello fox"}, {0, "\x89PNG"}}, blocks));
    DbfBuilder b;
    b.version = 0x32;
    b.productionIndex = true;
    b.fields = {{"NAME", 'C', 10},    {"PRICE", 'Y', 8, 4, 0x02}, {"WHEN", 'T', 8}, {"QTY", 'I', 4},
                {"RATE", 'B', 8, 2},  {"NOTE", 'V', 10, 0, 0x02}, {"RAW", 'Q', 6},  {"MEMO", 'M', 4},
                {"PIC", 'W', 4},      {"_NullFlags", '0', 1, 0, 0x01}};
    // Bits: PRICE NULL 0, NOTE length 1 and NULL 2, RAW length 3.
    b.addRecord({"widget", le(123400, 8), le(2460000, 4) + le(45296789, 4), le(uint32_t(-7), 4),
                 le(0x4004000000000000, 8), "hi  " + std::string(5, '\0') + "\x04", std::string("\0\1\2\0\0\3", 6),
                 le(uint32_t(blocks[0]), 4), le(uint32_t(blocks[1]), 4), "\x0A"});
    b.addRecord({"", std::string(8, '\0'), std::string(8, '\0'), std::string(4, '\0'), std::string(8, '\0'),
                 "0123456789", "abcdef", std::string(4, '\0'), std::string(4, '\0'), "\x05"});
    b.addRecord({"x", le(uint64_t(-1), 8), std::string(8, ' '), le(1, 4), le(0xBFF0000000000000, 8), "abcdefghij",
                 std::string("\0\0\0\0\0\0", 6), std::string(4, '\0'), std::string(4, '\0'), "\x08"});
    std::string bytes = b.bytes();
    bytes.replace(32 + 32 * 10 + 1, 16, "..\\data\\shop.dbc");   // the database container: no field
    writeFile(dir.file("fox.dbf"), bytes);
    writeFile(dir.file("fox.cdx"), cdx({{"NAME", "UPPER(NAME)"}, {"NAMEQTY", "NAME+STR(QTY)"}, {"QTY", "qty", true}, {"SOME", "QTY", false, "QTY>0"}}));

    const auto t = openTableFile(dir.file("fox.dbf"));
    EXPECT_EQ(dumpTable(*t),
              "#fields\tNAME:dC:10\tPRICE:dY:8\tWHEN:dT:8\tQTY:dI:4\tRATE:dB:8\tNOTE:dV:10\tRAW:dQ:6\tMEMO:dM:4\tPIC:dW:4\n"
              "#records\t3\n"
              "widget\t12.34\t2023-02-24 12:34:56.789\t-7\t2.5\thi  \t"
              "<3 bytes sha256:ae4b3280e56e2faf83f414a6e3dabe9d5fbe18976544c05fed121accb85b53fc>\thello fox\t"
              "<4 bytes sha256:0f4636c78f65d3639ece5a064b5ae753e3408614a14fb18ab4d7540d2c248543>\n"
              "\\N\t\\N\t\\N\t0\t0\t\\N\t<6 bytes sha256:bef57ec7f53a6d40beb640a780a639c83bc29ac8a9816f1fc6c5c6dcd93c4721>\t\\N\t\\N\n"
              "x\t-0.0001\t\\N\t1\t-1\tabcdefghij\t\\N\t\\N\t\\N\n");
    EXPECT_EQ(kindOf(t->fields()[1].type), FieldKind::Float);
    EXPECT_DOUBLE_EQ(std::get<double>(t->value(0, 1)), 12.34);
    EXPECT_EQ(t->rawText(0, 5), "hi  ");
    EXPECT_EQ(t->rawText(1, 5), "");   // NULL by its flag, though the field is full
    EXPECT_EQ(dbase::currencyText(INT64_MIN), "-922337203685477.5808");
    EXPECT_EQ(dbase::currencyText(100000), "10");

    const auto& ix = t->indexes();
    ASSERT_EQ(ix.size(), 4u);
    EXPECT_EQ(ix[0].name, "NAME");
    EXPECT_EQ(ix[0].fields, std::vector<std::string>{"NAME"});
    EXPECT_TRUE(ix[0].caseInsensitive);
    EXPECT_EQ(ix[1].name, "NAMEQTY");
    EXPECT_TRUE(ix[1].expression);
    EXPECT_EQ(ix[1].expressionText, "NAME+STR(QTY)");
    EXPECT_EQ(ix[2].fields, std::vector<std::string>{"QTY"});
    EXPECT_TRUE(ix[2].descending);
    EXPECT_TRUE(ix[3].expression);   // holds only the records that meet its condition
    EXPECT_EQ(ix[3].expressionText, "QTY FOR QTY>0");

    // Tables of these kinds are not written here.
    EXPECT_THROW(openTableFile(dir.file("fox.dbf"), OpenMode::ReadWrite), EngineError);

    // A FoxPro table without memo fields needs no memo file, whatever its version byte says.
    DbfBuilder plain;
    plain.version = 0xF5;
    plain.fields = {{"A", 'C', 3}};
    plain.addRecord({"abc"});
    writeFile(dir.file("plain.dbf"), plain.bytes());
    EXPECT_EQ(openTableFile(dir.file("plain.dbf"))->recordIds().size(), 1u);

    // FoxPro 2: block numbers as digits, pictures and objects in a memo file of any block size
    // (1: numbers are byte offsets).
    for (size_t blockSize : {size_t(1), size_t(100)}) {
        blocks.clear();
        writeFile(dir.file("two.fpt"), fpt({{1, "memo \xE9"}, {0, "PICT\xFF"}, {2, std::string("OB\0J", 4)}}, blocks, blockSize));
        DbfBuilder two;
        two.version = 0xF5;
        two.fields = {{"NOTE", 'M', 10}, {"PIC", 'P', 10}, {"OLE", 'G', 10}};
        two.addRecord({std::to_string(blocks[0]), std::to_string(blocks[1]), std::to_string(blocks[2])});
        writeFile(dir.file("two.dbf"), two.bytes());
        const auto t2 = openTableFile(dir.file("two.dbf"));
        EXPECT_EQ(std::get<std::string>(t2->value(0, 0)), "memo é") << blockSize;
        EXPECT_EQ(std::get<Blob>(t2->value(0, 1)).bytes, "PICT\xFF") << blockSize;
        EXPECT_EQ(std::get<Blob>(t2->value(0, 2)).bytes, std::string("OB\0J", 4)) << blockSize;
    }

    // FoxPro's types inside a dBASE III header read the FoxPro way.
    plain.version = 0x03;
    plain.fields = {{"I", 'I', 4}, {"Y", 'Y', 8}, {"B", 'B', 8}, {"T", 'T', 8}};
    plain.records.clear();
    plain.addRecord({le(uint32_t(-2), 4), le(uint64_t(-5000), 8), le(0x3FF8000000000000, 8), le(2451545, 4) + le(1, 4)});
    writeFile(dir.file("plain.dbf"), plain.bytes());
    EXPECT_EQ(dumpTable(*openTableFile(dir.file("plain.dbf"))),
              "#fields\tI:dI:4\tY:dY:8\tB:dB:8\tT:dT:8\n#records\t1\n-2\t-0.5\t1.5\t2000-01-01 00:00:00.001\n");
}

// The key tree of a .CDX tag orders the records by that tag: read through its interior node,
// equal keys as the tree has them, deleted records left out, and a descending tag whose tree
// keeps its keys ascending read from the end. A tree that is damaged or disagrees with the
// table is not used: the tag's key orders the records, and a note names the fault.
TEST(DbaseReader, CdxKeyTreesOrderTheirTags)
{
    TempDir dir;
    DbfBuilder b;
    b.version = 0x30;
    b.productionIndex = true;
    b.fields = {{"NAME", 'C', 10}, {"ID", 'N', 2}};
    const std::vector<std::string> names = {"pear", "Apple", "fig", "apple", "Fig", "banana", "APPLE", "pear"};
    for (size_t i = 0; i < names.size(); ++i)
        b.addRecord({names[i], std::to_string(i + 1)}, i == 4);
    const std::string path = dir.file("fruit.dbf"), cdxPath = dir.file("fruit.cdx");
    writeFile(path, b.bytes());
    // Trees as FoxPro keeps them: keys in byte order, equal keys by record number.
    auto keysOf = [&](bool upper) {
        CdxKeys keys;
        for (size_t i = 0; i < names.size(); ++i)
            keys.emplace_back(upper ? foldAsciiUpper(names[i]) : names[i], uint32_t(i + 1));
        std::stable_sort(keys.begin(), keys.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
        return keys;
    };
    const CdxTag byName{"NAME", "UPPER(NAME)", false, {}, keysOf(true)};
    const CdxTag byNameDown{"NAMEDOWN", "NAME", true, {}, keysOf(false)};
    auto order = [&](const std::string& tag, std::vector<std::string>* notices = nullptr) {
        Table t;
        t.open(path);
        t.setIndexName(tag);
        std::string ids;
        for (int r = 0; r < t.recordCount(); ++r)
            ids += t.displayTextAt(r, 1) + ' ';
        if (notices)
            *notices = t.file()->takeNotices();
        return ids;
    };

    // A unique tag holds the first record of each key: its key orders all of them.
    CdxKeys firsts = byName.keys;
    firsts.erase(std::unique(firsts.begin(), firsts.end(), [](const auto& x, const auto& y) { return x.first == y.first; }), firsts.end());
    writeFile(cdxPath, cdx({byName, byNameDown, {"NAMEU", "UPPER(NAME)", false, {}, firsts, 10, ' ', 3, true}}));
    EXPECT_EQ(tvdump::dumpIndexes(*openTableFile(path)),
              "NAME\tNAME\tI\tkey tree read: 8 keys\nNAMEDOWN\tNAME\tD\tkey tree read: 8 keys\n"
              "NAMEU\tNAME\tI\tkey tree read: 4 keys (not used: the tag holds one record of each key)\n");
    EXPECT_EQ(order("NAME"), "2 4 7 6 3 1 8 ");

    // Stored APPLE 7, Apple 2, Fig 5, apple 4, banana 6, fig 3, pear 1, pear 8: read backwards,
    // so pear 8 comes before pear 1 (the key alone would keep them in record order).
    std::vector<std::string> notices;
    EXPECT_EQ(order("NAMEDOWN", &notices), "8 1 3 6 4 2 7 ");
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(order("NAMEU", &notices), "2 4 7 6 3 1 8 ");
    EXPECT_TRUE(notices.empty());

    struct Damage {
        const char* what;
        std::function<void(CdxKeys&)> keys;
        size_t linkAt = 0;   // patches a leaf's link to its right neighbour
    };
    // Two tag headers after the directory, then three leaves and a root for each tag.
    const size_t downLeaf = 1536 + 1024 * 2 + 4 * 512;
    const std::vector<Damage> damages = {
        {"names record 9, but the table has 8", [](CdxKeys& k) { k[6].second = 9; }},
        {"holds 7 keys for the 8 records", [](CdxKeys& k) { k.erase(k.begin() + 3); }},
        {"lists record 2 twice", [](CdxKeys& k) { k[2].second = 2; }},
        {"has its keys out of order (record 2 before record 5)", [](CdxKeys& k) { std::swap(k[0], k[3]); }},
        {"links to byte 7168, but the tree puts the leaf at byte 6144 after it", [](CdxKeys&) {}, downLeaf + 8},
    };
    for (const Damage& d : damages) {
        CdxTag damaged = byNameDown;
        d.keys(damaged.keys);
        std::string bytes = cdx({byName, damaged});
        if (d.linkAt)
            bytes.replace(d.linkAt, 4, le(7168, 4));
        writeFile(cdxPath, bytes);
        // Ordered by the key: descending, equal keys in record order.
        EXPECT_EQ(order("NAMEDOWN", &notices), "1 8 3 6 4 2 7 ") << d.what;
        ASSERT_EQ(notices.size(), 1u) << d.what;
        EXPECT_NE(notices[0].find(cdxPath), std::string::npos) << notices[0];
        EXPECT_NE(notices[0].find(d.what), std::string::npos) << notices[0];
        EXPECT_NE(notices[0].find("ordered by the key of tag NAMEDOWN instead"), std::string::npos) << notices[0];
        const std::string lines = tvdump::dumpIndexes(*openTableFile(path));
        EXPECT_NE(lines.find("\tD\tkey tree not used: " + cdxPath + ": "), std::string::npos) << lines;
        EXPECT_NE(lines.find(d.what), std::string::npos) << lines;
    }
}

// dBASE 7: 48-byte descriptors with long names, the code page named in the header, numbers in
// sortable big-endian form (blank as zero bytes) and memos of the dBASE IV layout.
TEST(DbaseReader, Dbase7LongNamesSortableNumbersAndMemos)
{
    TempDir dir;
    std::vector<int> blocks;
    writeFile(dir.file("d7.dbt"), dbt4({"memo seven"}, blocks, 512));
    DbfBuilder b;
    b.version = 0x8C;
    b.languageDriver = 0;
    b.fields = {{"A_NAME_LONGER_THAN_ELEVEN", 'C', 4}, {"ID", '+', 4}, {"NUM", 'I', 4}, {"VAL", 'O', 8},
                {"STAMP", '@', 8}, {"NOTE", 'M', 10}};
    b.addRecord({"\xA0\xA1", be(0x80000005, 4), be(0x7FFFFFFF, 4), be(0xC022000000000000, 8), be(0x42CC418BA99A0000, 8),
                 std::to_string(blocks[0])});
    b.addRecord({"", be(0x80000000, 4), be(0x80000000, 4), be(0x3F97033333333332, 8), be(0x42CCF9BDCAA9D000, 8), ""});
    b.addRecord({"x", std::string(4, '\0'), std::string(4, '\0'), std::string(8, '\0'), std::string(8, '\0'), ""});
    std::string bytes = b.bytes();
    bytes.replace(0x20, 8, "DB866RU0");
    writeFile(dir.file("d7.dbf"), bytes);

    const auto t = openTableFile(dir.file("d7.dbf"));
    EXPECT_EQ(t->codePage(), 866);
    EXPECT_EQ(dumpTable(*t), "#fields\tA_NAME_LONGER_THAN_ELEVEN:dC:4\tID:d+:4\tNUM:dI:4\tVAL:dO:8\tSTAMP:d@:8\tNOTE:dM:10\n"
                             "#records\t3\n"
                             "\xD0\xB0\xD0\xB1\t5\t-1\t9\t1970-01-01 00:00:00\tmemo seven\n"
                             "\\N\t0\t0\t-199.9\t2020-02-20 20:20:20\t\\N\n"
                             "x\t\\N\t\\N\t\\N\t\\N\t\\N\n");
}
