// Writing dBASE III+ tables: what the writer stores reads back the same, through our reader and
// through an independent one, and bad definitions or values are refused without damage.
#include "dbase_testutil.h"

#include "engine/codepage.h"
#include "engine/dataset/fieldtext.h"
#include "engine/paradox/pxfield.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <limits>

using namespace tv;
using namespace tv::test;
namespace fs = std::filesystem;

namespace {

TableSpec allTypesSpec()
{
    TableSpec s;
    s.fields = {{"NAME", FieldType::DbChar, 20, 0},  {"QTY", FieldType::DbNumeric, 8, 2},
                {"COUNT", FieldType::DbNumeric, 6, 0}, {"RATE", FieldType::DbFloat, 14, 5},
                {"DAY", FieldType::DbDate, 0, 0},     {"OK", FieldType::DbLogical, 0, 0},
                {"NOTE", FieldType::DbMemo, 0, 0}};
    return s;
}

std::vector<Record> sampleRecords()
{
    return {
        {std::string("Héllo wörld"), 3.5, int64_t(42), -0.125, dateFromYmd(2024, 2, 29), true,
         std::string("memo with é\r\nsecond line\ttab")},
        {Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}},
        {std::string("  lead"), -12.25, int64_t(-99999), 123456.5, dateFromYmd(1, 1, 1), false, std::string(1500, 'z')},
        {std::string("x"), 0.0, int64_t(0), 1e-5, dateFromYmd(9999, 12, 31), false, std::string("")},
    };
}

// The value a cell reads back as: text without trailing blanks, numbers rounded to the
// field's decimals, empty text and memo as NULL.
Value expectedReadBack(const FieldDef& f, const Value& v)
{
    if (const auto* s = std::get_if<std::string>(&v)) {
        std::string t = *s;
        if (f.type == FieldType::DbChar)
            t.erase(t.find_last_not_of(' ') + 1);
        return t.empty() ? Value{} : Value{t};
    }
    if (const auto* i = std::get_if<int64_t>(&v))
        return double(*i);
    return v;
}

void expectTableHolds(const TableFile& t, const std::vector<Record>& records)
{
    ASSERT_EQ(t.recordIds().size(), records.size());
    for (size_t r = 0; r < records.size(); ++r)
        for (size_t f = 0; f < t.fields().size(); ++f)
            EXPECT_EQ(formatValue(t.fields()[f].type, t.value(t.recordIds()[r], int(f))),
                      formatValue(t.fields()[f].type, expectedReadBack(t.fields()[f], records[r][f])))
                << "record " << r << " field " << t.fields()[f].name;
}

bool haveIndependentReader() { return std::system("perl -MXBase -e 1 >/dev/null 2>&1") == 0; }

// Runs the independent reader over a copy of `table` and returns its output: one line per
// record, values as hex bytes or "-" for undefined, deleted flag first.
std::string independentRead(const std::string& table, const TempDir& dir)
{
    const std::string copy = dir.file("copy.dbf");
    fs::copy_file(table, copy, fs::copy_options::overwrite_existing);
    const fs::path memo = fs::path(table).replace_extension(".dbt");
    if (fs::exists(memo))
        fs::copy_file(memo, dir.file("copy.dbt"), fs::copy_options::overwrite_existing);
    // The oracle prints nothing locale-dependent; a locale the machine lacks must not add warnings to its output.
    const std::string out = dir.file("perl.out");
    const std::string cmd = "LC_ALL=C perl -MXBase -e '"
                            "my $t = XBase->new(name => $ARGV[0]) or die XBase->errstr;"
                            "print join(\",\", $t->field_names), \"\\n\";"
                            "print join(\",\", $t->field_types), \"\\n\";"
                            "print join(\",\", $t->field_lengths), \"\\n\";"
                            "for my $i (0 .. $t->last_record) { my @r = $t->get_record($i);"
                            "  print join(\" \", map { defined $_ ? (length($_) ? unpack(\"H*\", $_) : \"=\") : \"-\" } @r), \"\\n\"; }"
                            "' " + copy + " > " + out + " 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << readFile(out);
    return readFile(out);
}

std::string hex(std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out.empty() ? "=" : out;
}

} // namespace

TEST(DbaseWriter, EveryFieldTypeReadsBack)
{
    TempDir dir;
    const std::string path = dir.file("all.dbf");
    const auto records = sampleRecords();
    {
        auto t = createDbaseTable(path, allTypesSpec());
        EXPECT_TRUE(t->writable());
        for (const Record& r : records)
            t->insert(r);
        expectTableHolds(*t, records);  // before the flush too
        t->flush();
    }
    const auto t = openTableFile(path);
    expectTableHolds(*t, records);
    EXPECT_EQ(t->codePage(), 1252);
    EXPECT_EQ(t->fields()[1].decimals, 2);
    EXPECT_EQ(t->fields()[4].size, 8);
    EXPECT_EQ(t->fields()[6].size, 10);
    EXPECT_EQ(t->rawText(0, 0), encodeText(1252, "Héllo wörld"));

    const std::string dbf = readFile(path);
    EXPECT_EQ(uint8_t(dbf[0]), 0x83);
    EXPECT_EQ(uint8_t(dbf[0x1D]), 0x03);
    EXPECT_EQ(uint8_t(dbf[4]), records.size());
    EXPECT_EQ(dbf.back(), '\x1A');
    EXPECT_EQ(dbf.size(), 32 + 7 * 32 + 1 + records.size() * (1 + 20 + 8 + 6 + 14 + 8 + 1 + 10) + 1);
    const std::string dbt = readFile(dir.file("all.dbt"));
    EXPECT_EQ(dbt.size() % 512, 0u);
    EXPECT_EQ(uint8_t(dbt[0]), dbt.size() / 512);  // next free block
}

// The program runs in the user's locale (Qt sets the C library's), where a number may take a
// decimal comma: the numbers the files keep and the values shown keep their point all the same.
TEST(DbaseWriter, NumbersKeepTheirPointInACommaLocale)
{
    TempDir dir;
    struct Restore {
        const char* locpath = std::getenv("LOCPATH");
        std::string was = locpath ? locpath : "";
        ~Restore()
        {
            std::setlocale(LC_NUMERIC, "C");
            if (locpath)
                setenv("LOCPATH", was.c_str(), 1);
            else
                unsetenv("LOCPATH");
        }
    } restore;
    const char* comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8", "ru_RU.UTF-8"})
        if (std::setlocale(LC_NUMERIC, name)) {
            comma = name;
            break;
        }
    // None installed (as on most build machines): one made for the test, where the locale
    // sources are there to make it from (Debian's "locales").
    const std::string made = dir.file("locales");
    if (!comma && fs::create_directories(made) && std::system(("localedef -i de_DE -f UTF-8 '" + made + "/de_DE.UTF-8' >/dev/null 2>&1").c_str()) == 0) {
        setenv("LOCPATH", made.c_str(), 1);
        comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") ? "de_DE.UTF-8 (made here)" : nullptr;
    }
    if (!comma)
        GTEST_SKIP() << "no locale with a decimal comma is installed or can be made";
    const std::string path = dir.file("comma.dbf");
    {
        auto t = createDbaseTable(path, allTypesSpec());
        for (const Record& r : sampleRecords())
            t->insert(r);
        t->flush();
    }
    const std::string dbf = readFile(path);
    EXPECT_NE(dbf.find("    3.50"), std::string::npos) << comma;
    EXPECT_NE(dbf.find("123456.50000"), std::string::npos) << comma;
    const auto t = openTableFile(path);
    EXPECT_EQ(std::get<double>(t->value(t->recordIds()[2], 1)), -12.25);
    EXPECT_EQ(formatValue(t->fields()[3], t->value(t->recordIds()[2], 3), TextFormat{}), "123456.5");
    // A Paradox BCD number (its digits read back through text).
    uint8_t bcd[17] = {};
    ASSERT_TRUE(px::encodeBcd(bcd, 2, -1234.5));
    EXPECT_EQ(px::bcdValue(bcd, 2), -1234.5);
}

TEST(DbaseWriter, MemosOfEveryLengthNearABlockEdge)
{
    TempDir dir;
    const std::string path = dir.file("edge.dbf");
    TableSpec spec;
    spec.fields = {{"M", FieldType::DbMemo, 10, 0}, {"N", FieldType::DbMemo, 10, 0}};
    std::vector<Record> records;
    for (size_t len : {1, 509, 510, 511, 512, 513, 1022, 1023, 1024, 5000})
        records.push_back({std::string(len, char('a' + len % 26)), std::string(len % 7, 'q')});
    {
        auto t = createDbaseTable(path, spec);
        for (const Record& r : records)
            t->insert(r);
    }  // closing flushes
    expectTableHolds(*openTableFile(path), records);
}

TEST(DbaseWriter, PlainTablesHaveNoMemoFileAndReplaceOldCompanions)
{
    TempDir dir;
    const std::string path = dir.file("plain.dbf");
    writeFile(dir.file("plain.dbt"), "stale memo file");
    writeFile(dir.file("plain.mdx"), "stale index");
    TableSpec spec;
    spec.fields = {{"A", FieldType::DbChar, 5, 0}};
    createDbaseTable(path, spec)->insert({std::string("abc")});
    EXPECT_FALSE(fs::exists(dir.file("plain.dbt")));
    EXPECT_FALSE(fs::exists(dir.file("plain.mdx")));
    EXPECT_EQ(uint8_t(readFile(path)[0]), 0x03);
    const auto t = openTableFile(path);
    EXPECT_EQ(t->headerRecordCount(), 1u);
    EXPECT_TRUE(t->indexes().empty());

    // Upper-case names get upper-case companions.
    const std::string upper = dir.file("NEWS.DBF");
    spec.fields.push_back({"BODY", FieldType::DbMemo, 10, 0});
    createDbaseTable(upper, spec)->insert({std::string("x"), std::string("body")});
    EXPECT_TRUE(fs::exists(dir.file("NEWS.DBT")));
    EXPECT_EQ(std::get<std::string>(openTableFile(upper)->value(0, 1)), "body");
}

TEST(DbaseWriter, TextIsStoredInTheTablesCodePage)
{
    TempDir dir;
    const std::string path = dir.file("ru.dbf");
    TableSpec spec;
    spec.codePage = 866;
    spec.fields = {{"ИМЯ", FieldType::DbChar, 10, 0}, {"ТЕКСТ", FieldType::DbMemo, 10, 0}};
    createDbaseTable(path, spec)->insert({std::string("Привет €"), std::string("Ещё")});
    const auto t = openTableFile(path);
    EXPECT_EQ(t->codePage(), 866);
    EXPECT_EQ(uint8_t(readFile(path)[0x1D]), 0x65);
    EXPECT_EQ(t->fields()[0].name, "ИМЯ");
    EXPECT_EQ(std::get<std::string>(t->value(0, 0)), "Привет ?");  // no euro sign in 866
    EXPECT_EQ(std::get<std::string>(t->value(0, 1)), "Ещё");
}

TEST(DbaseWriter, AppendsAfterReopeningAndAcrossFlushes)
{
    TempDir dir;
    const std::string path = dir.file("grow.dbf");
    auto records = sampleRecords();
    {
        auto t = createDbaseTable(path, allTypesSpec());
        t->insert(records[0]);
        t->flush();
        t->insert(records[1]);
        t->flush();
        t->flush();  // nothing new
    }
    {
        auto t = openTableFile(path, OpenMode::ReadWrite);
        expectTableHolds(*t, {records[0], records[1]});
        EXPECT_EQ(t->insert(records[2]), 2u);
        t->insert(records[3]);
        t->flush();
    }
    expectTableHolds(*openTableFile(path), records);

    // A dBASE IV table opened for writing keeps its own memo layout.
    const fs::path sample = fs::path(TV_SAMPLES_DIR) / "dbase";
    fs::copy_file(sample / "dbase_8b.dbf", dir.file("iv.dbf"));
    fs::copy_file(sample / "dbase_8b.dbt", dir.file("iv.dbt"));
    const std::string before = dumpTable(*openTableFile(dir.file("iv.dbf")));
    {
        auto t = openTableFile(dir.file("iv.dbf"), OpenMode::ReadWrite);
        t->insert({std::string("Eleven"), 11.0, dateFromYmd(2001, 2, 3), true, 1.5, std::string("New \x1A memo")});
    }
    const auto t = openTableFile(dir.file("iv.dbf"));
    EXPECT_EQ(t->headerRecordCount(), 11u);
    EXPECT_EQ(std::get<std::string>(t->value(10, 5)), "New \x1A memo");
    std::string after = dumpTable(*t);
    after.erase(after.rfind("Eleven"));
    EXPECT_EQ(after, std::string(before).replace(before.find("\t10\n"), 4, "\t11\n"));
}

TEST(DbaseWriter, BadDefinitionsAreRefused)
{
    TempDir dir;
    const std::string path = dir.file("bad.dbf");
    const auto refuses = [&](std::vector<FieldDef> fields, const std::string& words) {
        TableSpec spec;
        spec.fields = std::move(fields);
        try {
            createDbaseTable(path, spec);
            ADD_FAILURE() << "accepted; expected: " << words;
        } catch (const EngineError& e) {
            EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
        }
        EXPECT_FALSE(fs::exists(path));
    };
    refuses({}, "at least one field");
    refuses({{"TOOLONGNAME", FieldType::DbChar, 5, 0}}, "1 to 10 characters");
    refuses({{"", FieldType::DbChar, 5, 0}}, "1 to 10 characters");
    refuses({{"A", FieldType::DbChar, 5, 0}, {"a", FieldType::DbNumeric, 5, 0}}, "used twice");
    refuses({{"A", FieldType::Alpha, 5, 0}}, "type that dBASE tables do not have");
    refuses({{"A", FieldType::DbChar, 0, 0}}, "cannot have length 0");
    refuses({{"A", FieldType::DbChar, 255, 0}}, "cannot have length 255");
    refuses({{"A", FieldType::DbDate, 9, 0}}, "cannot have length 9");
    refuses({{"A", FieldType::DbNumeric, 21, 0}}, "cannot have length 21");
    refuses({{"A", FieldType::DbNumeric, 5, 4}}, "cannot have 4 decimals");
    refuses(std::vector<FieldDef>(256, {"A", FieldType::DbLogical, 1, 0}), "at most 255 fields");

    TableSpec keyed;
    keyed.fields = {{"A", FieldType::DbChar, 5, 0}};
    keyed.primaryKeyFields = 1;
    EXPECT_THROW(createDbaseTable(path, keyed), EngineError);
}

TEST(DbaseWriter, BadValuesAreRefusedAndLeaveTheTableAsItWas)
{
    TempDir dir;
    const std::string path = dir.file("vals.dbf");
    auto t = createDbaseTable(path, allTypesSpec());
    const Record good = sampleRecords()[0];
    t->insert(good);
    const auto refuses = [&](size_t field, Value v, const std::string& words) {
        Record r = good;
        r[field] = std::move(v);
        try {
            t->insert(r);
            ADD_FAILURE() << "accepted; expected: " << words;
        } catch (const EngineError& e) {
            EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
        }
    };
    refuses(0, std::string(21, 'x'), "does not fit field NAME");
    refuses(0, 5.0, "field NAME holds text");
    refuses(1, 123456.0, "does not fit field QTY");
    refuses(1, std::string("1"), "field QTY holds numbers");
    refuses(2, std::numeric_limits<double>::infinity(), "infinite");
    refuses(4, std::string("2024-01-01"), "field DAY holds dates");
    refuses(4, Date{0}, "outside the years 1 to 9999");
    refuses(5, int64_t(1), "field OK holds true or false");
    refuses(6, 1.0, "field NOTE holds text");
    refuses(6, std::string("end\x1Amark"), "0x1A");
    EXPECT_THROW(t->insert(Record(3)), EngineError);
    t->flush();
    EXPECT_EQ(t->headerRecordCount(), 1u);
    t.reset();
    expectTableHolds(*openTableFile(path), {good});

    EXPECT_THROW(openTableFile(path)->insert(good), EngineError);  // read-only
}

TEST(DbaseWriter, ProductionIndexDefinitionsReadBack)
{
    TempDir dir;
    const std::string path = dir.file("news.dbf");
    TableSpec spec;
    spec.fields = {{"SUBJECT", FieldType::DbChar, 60, 0}, {"AUTHOR", FieldType::DbChar, 30, 0},
                   {"POSTED", FieldType::DbDate, 8, 0},   {"SCORE", FieldType::DbNumeric, 5, 1},
                   {"BODY", FieldType::DbMemo, 10, 0}};
    IndexDef subject{"SUBJECT", {"SUBJECT"}, false, true, false, false, ""};
    IndexDef author{"AUTHOR", {"AUTHOR"}, false, false, true, false, ""};
    IndexDef both{"BYBOTH", {"AUTHOR", "POSTED", "SCORE"}, false, false, false, false, ""};
    IndexDef expr{"WHEN", {}, false, false, false, true, "DTOS(POSTED)+UPPER(AUTHOR)"};
    IndexDef score{"Score", {"score"}, false, false, false, false, ""};
    spec.secondary = {subject, author, both, expr, score};
    createDbaseTable(path, spec)->insert({std::string("s"), std::string("a"), Value{}, 1.5, std::string("b")});
    EXPECT_EQ(uint8_t(readFile(path)[0x1C]), 1);

    const auto t = openTableFile(path);
    const auto& ix = t->indexes();
    ASSERT_EQ(ix.size(), 5u);
    EXPECT_EQ(ix[0].name, "SUBJECT");
    EXPECT_EQ(ix[0].expressionText, "UPPER(SUBJECT)");
    EXPECT_EQ(ix[0].fields, std::vector<std::string>{"SUBJECT"});
    EXPECT_TRUE(ix[0].caseInsensitive);
    EXPECT_FALSE(ix[0].expression);
    EXPECT_EQ(ix[1].expressionText, "AUTHOR");
    EXPECT_TRUE(ix[1].descending);
    EXPECT_FALSE(ix[1].caseInsensitive);
    EXPECT_EQ(ix[2].expressionText, "AUTHOR+DTOS(POSTED)+STR(SCORE,5,1)");
    EXPECT_TRUE(ix[2].expression);
    EXPECT_EQ(ix[3].expressionText, "DTOS(POSTED)+UPPER(AUTHOR)");
    EXPECT_TRUE(ix[3].expression);
    EXPECT_EQ(ix[4].name, "SCORE");
    EXPECT_EQ(ix[4].fields, std::vector<std::string>{"SCORE"});

    // The tag table is also a search tree over the tag names (SUBJECT at its root).
    const std::string mdx = readFile(dir.file("news.mdx"));
    const auto thread = [&](int tag, int which) { return int(uint8_t(mdx[0x220 + 32 * tag + 0x10 + which])); };
    EXPECT_EQ(thread(0, 0), 2);  // AUTHOR < SUBJECT
    EXPECT_EQ(thread(0, 1), 4);  // WHEN > SUBJECT
    EXPECT_EQ(thread(1, 1), 3);  // BYBOTH > AUTHOR
    EXPECT_EQ(thread(2, 1), 5);  // SCORE > BYBOTH
    EXPECT_EQ(thread(4, 2), 3);  // parents
    EXPECT_EQ(thread(3, 2), 1);
    EXPECT_EQ(thread(0, 2), 0);

    const auto refuses = [&](IndexDef def, const std::string& words) {
        TableSpec s = spec;
        s.secondary = {def};
        try {
            createDbaseTable(dir.file("bad.dbf"), s);
            ADD_FAILURE() << "accepted; expected: " << words;
        } catch (const EngineError& e) {
            EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
        }
    };
    refuses({"X", {"NOPE"}, false, false, false, false, ""}, "unknown field NOPE");
    refuses({"X", {"BODY"}, false, false, false, false, ""}, "cannot be indexed");
    refuses({"X", {}, false, false, false, false, ""}, "names no fields");
    refuses({"BAD NAME", {"AUTHOR"}, false, false, false, false, ""}, "1 to 10 letters");
    refuses({"X", {"SCORE"}, false, true, false, false, ""}, "only ignore case on a text key");
    refuses({"X", {}, false, false, false, true, "YEAR(POSTED)"}, "cannot be built");
    refuses({"X", {}, false, false, false, true, "AUTHOR+SCORE"}, "cannot be built");
    TableSpec twice = spec;
    twice.secondary = {subject, subject};
    EXPECT_THROW(createDbaseTable(dir.file("bad.dbf"), twice), EngineError);
}

TEST(DbaseWriter, IndependentReaderSeesTheSameValues)
{
    if (!haveIndependentReader())
        GTEST_SKIP() << "perl XBase module not installed";
    TempDir dir;
    const std::string path = dir.file("indep.dbf");
    const auto records = sampleRecords();
    {
        auto t = createDbaseTable(path, allTypesSpec());
        for (const Record& r : records)
            t->insert(r);
    }
    const auto t = openTableFile(path);
    std::string expected;
    for (size_t f = 0; f < t->fields().size(); ++f)
        expected += (f ? "," : "") + t->fields()[f].name;
    expected += "\nC,N,N,F,D,L,M\n20,8,6,14,8,1,10\n";
    for (RecordId id : t->recordIds()) {
        expected += "30";  // not deleted ("0")
        for (size_t f = 0; f < t->fields().size(); ++f) {
            const Value v = t->value(id, int(f));
            std::string cell;
            if (isNull(v)) {
                // The reader returns blank text as an empty string, everything else undefined.
                cell = t->fields()[f].type == FieldType::DbChar ? "=" : "-";
            } else if (const auto* d = std::get_if<double>(&v)) {
                cell = hex(formatValue(FieldType::DbNumeric, *d));
            } else if (const auto* b = std::get_if<bool>(&v)) {
                cell = hex(*b ? "1" : "0");
            } else if (const auto* dt = std::get_if<Date>(&v)) {
                int y = 0, m = 0, day = 0;
                ymdFromDate(*dt, y, m, day);
                cell = hex(std::to_string(y * 10000 + m * 100 + day));  // the reader makes dates numbers
            } else {
                cell = hex(t->rawText(id, int(f)));
            }
            expected += " " + cell;
        }
        expected += "\n";
    }
    EXPECT_EQ(independentRead(path, dir), expected);
}
