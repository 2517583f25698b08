// dBASE files as other programs write and read them: companion files in any letter case and
// production indexes whose key trees a dBASE reader walks.
#include "dbase_testutil.h"

#include "engine/codepage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

using namespace tv;
using namespace tv::test;
namespace fs = std::filesystem;

namespace {

uint32_t u32(const std::string& b, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | uint8_t(b[at + size_t(i)]);
    return v;
}
uint16_t u16(const std::string& b, size_t at) { return uint16_t(uint8_t(b[at]) | (uint8_t(b[at + 1]) << 8)); }

// A reader of .MDX key trees of its own. Pages are 512 bytes. A tag-table entry (32 bytes from
// 0x220) starts with the page of the tag header; the header holds the root page (0x00), the
// options (0x08, 0x08 = descending), the key type (0x09), the key length (0x0C) and the key item
// length (0x12). A tree block: u32 key count, u32, then items of u32 pointer + key; a non-zero
// pointer after the last item makes the block a branch whose pointers are pages and whose keys
// are the last key under each child.
struct MdxKey {
    std::string bytes;
    uint32_t record;
};
struct MdxTag {
    std::string name;
    char type = 0;
    bool descending = false;
    std::vector<MdxKey> keys;
};

std::string walk(const std::string& mdx, uint32_t page, size_t itemLength, size_t keyLength, std::vector<MdxKey>& out,
                 int depth = 0)
{
    const size_t at = size_t(page) * 512;
    const auto item = [&](size_t i) { return at + 8 + i * itemLength; };
    if (depth > 8 || at + 8 > mdx.size() || item(u32(mdx, at)) + 4 > mdx.size()) {
        ADD_FAILURE() << "page " << page << " is not a tree block";
        return {};
    }
    const uint32_t n = u32(mdx, at);
    if (u32(mdx, item(n)) == 0) {
        for (size_t i = 0; i < n; ++i)
            out.push_back({mdx.substr(item(i) + 4, keyLength), u32(mdx, item(i))});
        return n ? out.back().bytes : std::string();
    }
    std::string last;
    for (size_t i = 0; i <= n; ++i) {
        last = walk(mdx, u32(mdx, item(i)), itemLength, keyLength, out, depth + 1);
        if (i < n) {
            EXPECT_EQ(mdx.substr(item(i) + 4, keyLength), last) << "branch key on page " << page;
        }
    }
    return last;
}

std::map<std::string, MdxTag> readMdx(const std::string& mdx)
{
    std::map<std::string, MdxTag> tags;
    for (size_t i = 0; i < u16(mdx, 0x1C); ++i) {
        const size_t entry = 0x220 + 32 * i;
        MdxTag tag;
        tag.name = mdx.substr(entry + 4, 11).c_str();
        const size_t header = size_t(u32(mdx, entry)) * 512;
        tag.type = mdx[header + 9];
        tag.descending = (mdx[header + 8] & 0x08) != 0;
        walk(mdx, u32(mdx, header), u16(mdx, header + 0x12), u16(mdx, header + 0x0C), tag.keys);
        tags[tag.name] = tag;
    }
    return tags;
}

// Numeric keys: byte 0 = 0x34 + decimal exponent, byte 1 = digit count * 4 + 1 (+ 0x80 when
// negative), then the digits as BCD: the value is 0.d1d2... * 10^exponent.
double numericKeyValue(const std::string& k)
{
    double v = 0;
    const int digits = (uint8_t(k[1]) >> 2) & 0x1F;
    for (int i = 0; i < digits; ++i)
        v = v * 10 + ((uint8_t(k[2 + size_t(i) / 2]) >> (i % 2 ? 0 : 4)) & 0x0F);
    v *= std::pow(10.0, int(uint8_t(k[0])) - 0x34 - digits);
    return (k[1] & 0x80) ? -v : v;
}
double dateKeyValue(const std::string& k)
{
    double v = 0;
    std::memcpy(&v, k.data(), 8);
    return v;
}

bool havePerlIndexReader() { return std::system("perl -MXBase::Index -e 1 >/dev/null 2>&1") == 0; }

// The record numbers of `tag` in the order the perl reader walks them.
std::vector<uint32_t> perlWalk(const TempDir& dir, const std::string& mdx, const std::string& tag)
{
    const std::string out = dir.file("walk.out");
    const std::string cmd = "LC_ALL=C perl -MXBase::Index -e '"
                            "my $i = XBase::Index->new($ARGV[0], tag => $ARGV[1]) or die XBase::Index->errstr;"
                            "$i->prepare_select; while (my ($k, $r) = $i->fetch) { print \"$r\\n\" }' " +
                            mdx + " " + tag + " > " + out + " 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << readFile(out);
    std::vector<uint32_t> records;
    std::istringstream in(readFile(out));
    for (uint32_t r = 0; in >> r;)
        records.push_back(r);
    return records;
}

TableSpec indexedSpec()
{
    TableSpec s;
    s.fields = {{"NAME", FieldType::DbChar, 60, 0}, {"QTY", FieldType::DbNumeric, 9, 2},
                {"DAY", FieldType::DbDate, 8, 0}, {"NOTE", FieldType::DbMemo, 10, 0}};
    IndexDef name{"NAME", {"NAME"}, false, false, false, false, ""};
    IndexDef upper{"UPNAME", {"NAME"}, false, true, false, false, ""};
    IndexDef qty{"QTY", {"QTY"}, false, false, true, false, ""};
    IndexDef day{"DAY", {"DAY"}, false, false, false, false, ""};
    IndexDef combo{"COMBO", {"NAME", "QTY", "DAY"}, false, false, false, false, ""};
    s.secondary = {name, upper, qty, day, combo};
    return s;
}

// Mixed case, blanks, repeats, negative and fractional numbers, empty dates.
Record indexedRecord(int i)
{
    static const char* words[] = {"alpha", "Beta", "GAMMA", "delta", "Alpha", "beta", "", "zeta eta"};
    const unsigned h = unsigned(i) * 2654435761u;
    Record r(4);
    if (const char* w = words[h % 8]; *w)
        r[0] = std::string(w) + " " + std::to_string(h % 37);
    if (h % 11 != 0)
        r[1] = double(int(h % 200001) - 100000) / 100;
    if (h % 13 != 0)
        r[2] = dateFromYmd(1990 + int(h % 40), 1 + int(h % 12), 1 + int(h % 28));
    r[3] = std::string("memo ") + std::to_string(i);
    return r;
}

} // namespace

TEST(DbaseInterchange, CompanionFilesAreFoundInAnyLetterCase)
{
    TempDir dir;
    const std::string made = dir.file("made.dbf");
    {
        const auto t = createDbaseTable(made, indexedSpec());
        for (int i = 0; i < 5; ++i)
            t->insert(indexedRecord(i));
    }
    const std::string expected = dumpTable(*openTableFile(made));
    ASSERT_EQ(openTableFile(made)->indexes().size(), 5u);
    // The table's own spelling wins over another one in the folder.
    for (const auto& [dbf, dbt, mdx] : {std::tuple{"b_daten.DBF", "b_daten.DBt", "B_Daten.mdx"},
                                        std::tuple{"agencias.dbf", "AGENCIAS.DBT", "AGENCIAS.MDX"},
                                        std::tuple{"Test.Dbf", "test.dbt", "TEST.mdx"}}) {
        TempDir odd;
        fs::copy_file(made, odd.file(dbf));
        fs::copy_file(dir.file("made.dbt"), odd.file(dbt));
        fs::copy_file(dir.file("made.mdx"), odd.file(mdx));
        const auto t = openTableFile(odd.file(dbf));
        EXPECT_EQ(dumpTable(*t), expected) << dbf;
        EXPECT_EQ(t->indexes().size(), 5u) << dbf;
    }
    TempDir none;
    fs::copy_file(made, none.file("x.dbf"));
    fs::copy_file(dir.file("made.dbt"), none.file("y.dbt"));
    EXPECT_THROW(openTableFile(none.file("x.dbf")), EngineError);
}

TEST(DbaseInterchange, ProductionIndexHoldsEveryRecordsKeyInOrder)
{
    TempDir dir;
    const std::string path = dir.file("keys.dbf");
    std::vector<Record> records;
    {
        const auto t = createDbaseTable(path, indexedSpec());
        for (int i = 0; i < 300; ++i)
            t->insert(records.emplace_back(indexedRecord(i)));
    }
    {
        // Records added through a reopened table get their keys as well.
        const auto t = openTableFile(path, OpenMode::ReadWrite);
        for (int i = 300; i < 400; ++i)
            t->insert(records.emplace_back(indexedRecord(i)));
    }
    const auto t = openTableFile(path);
    const std::string mdx = readFile(dir.file("keys.mdx"));
    EXPECT_EQ(uint8_t(readFile(path)[0x1C]), 1);
    EXPECT_EQ(uint8_t(mdx[0x18]), 1);
    EXPECT_EQ(u32(mdx, 0x20) * 512, mdx.size());

    // The key each record must have under each tag, made from its cells.
    const auto cell = [&](uint32_t r, int f) {
        const std::string bytes = encodeText(1252, isNull(records[r][size_t(f)]) ? "" : std::get<std::string>(records[r][size_t(f)]));
        return bytes + std::string(size_t(t->fields()[size_t(f)].size) - bytes.size(), ' ');
    };
    const auto number = [&](uint32_t r) { return isNull(records[r][1]) ? 0.0 : std::get<double>(records[r][1]); };
    const auto julian = [&](uint32_t r) { return isNull(records[r][2]) ? 0.0 : std::get<Date>(records[r][2]).day + 1721425.0; };
    const auto dtos = [&](uint32_t r) {
        if (isNull(records[r][2]))
            return std::string(8, ' ');
        int y = 0, m = 0, d = 0;
        ymdFromDate(std::get<Date>(records[r][2]), y, m, d);
        return std::to_string(y * 10000 + m * 100 + d);
    };
    const auto tags = readMdx(mdx);
    ASSERT_EQ(tags.size(), 5u);
    for (const auto& [name, tag] : tags) {
        SCOPED_TRACE(name);
        ASSERT_EQ(tag.keys.size(), records.size());
        std::vector<bool> seen(records.size());
        for (size_t i = 0; i < tag.keys.size(); ++i) {
            const MdxKey& k = tag.keys[i];
            ASSERT_TRUE(k.record >= 1 && k.record <= records.size() && !seen[k.record - 1]) << k.record;
            seen[k.record - 1] = true;
            const uint32_t r = k.record - 1;
            char str[32];
            std::snprintf(str, sizeof str, "%9.2f", number(r));
            if (name == "NAME")
                EXPECT_EQ(k.bytes, cell(r, 0));
            else if (name == "UPNAME")
                EXPECT_EQ(k.bytes, foldAsciiUpper(cell(r, 0)));
            else if (name == "QTY")
                EXPECT_NEAR(numericKeyValue(k.bytes), number(r), 1e-9);
            else if (name == "DAY")
                EXPECT_EQ(dateKeyValue(k.bytes), julian(r));
            else
                EXPECT_EQ(k.bytes, cell(r, 0) + str + dtos(r));
            if (i == 0)
                continue;
            const MdxKey& prev = tag.keys[i - 1];
            const double a = tag.type == 'N' ? numericKeyValue(prev.bytes) : tag.type == 'D' ? dateKeyValue(prev.bytes) : 0;
            const double b = tag.type == 'N' ? numericKeyValue(k.bytes) : tag.type == 'D' ? dateKeyValue(k.bytes) : 0;
            const int c = tag.type == 'C' ? prev.bytes.compare(k.bytes) : (a < b ? -1 : a > b);
            EXPECT_TRUE(tag.descending ? c >= 0 : c <= 0) << "keys " << i << " and " << i + 1 << " out of order";
        }
    }
    EXPECT_EQ(tags.at("QTY").type, 'N');
    EXPECT_TRUE(tags.at("QTY").descending);
    EXPECT_EQ(tags.at("DAY").type, 'D');

    if (!havePerlIndexReader())
        GTEST_SKIP() << "perl XBase (libdbd-xbase-perl) is not installed";
    for (const auto& [name, tag] : tags) {
        std::vector<uint32_t> ours;
        for (const MdxKey& k : tag.keys)
            ours.push_back(k.record);
        EXPECT_EQ(perlWalk(dir, dir.file("keys.mdx"), name), ours) << name;
    }
}

TEST(DbaseInterchange, IndexWhoseKeysCannotBeBuiltStopsBeingTheProductionIndex)
{
    TempDir dir;
    const std::string path = dir.file("yr.dbf");
    TableSpec s = indexedSpec();
    s.secondary.resize(1);
    createDbaseTable(path, s)->insert(indexedRecord(1));
    // Another program's tag over an expression this program does not evaluate.
    std::string mdx = readFile(dir.file("yr.mdx"));
    const size_t header = size_t(u32(mdx, 0x220)) * 512;
    std::memcpy(&mdx[header + 0x18], "YEAR(DAY)\0", 10);
    writeFile(dir.file("yr.mdx"), mdx);
    ASSERT_TRUE(openTableFile(path)->indexes().at(0).expression);

    openTableFile(path, OpenMode::ReadWrite)->insert(indexedRecord(2));
    EXPECT_EQ(readFile(path)[0x1C], 0);  // dBASE no longer trusts the stale keys
    EXPECT_EQ(readFile(dir.file("yr.mdx")), mdx);
    EXPECT_EQ(openTableFile(path)->recordIds().size(), 2u);
}
