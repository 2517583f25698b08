#include "dataset_testutil.h"
#include "paradox_testutil.h"

#include "engine/dataset/condition.h"
#include "engine/dataset/ordering.h"
#include "engine/dataset/textscan.h"
#include "engine/paradox/pxbytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>

using namespace tv;
using namespace tvtest;
using tv::pxtest::readBytes;
using tv::pxtest::ScratchDir;
using tv::pxtest::writeBytes;

namespace {
FieldCondition cond(const char* field, FilterMatchType type, std::string value, bool cs = false)
{
    FieldCondition c;
    c.fieldName = field;
    c.matchType = type;
    c.value = std::move(value);
    c.caseSensitive = cs;
    return c;
}

FieldCondition range(const char* field, std::string lo, std::string hi)
{
    FieldCondition c;
    c.fieldName = field;
    c.matchType = fdMatchRange;
    c.minimum = std::move(lo);
    c.maximum = std::move(hi);
    return c;
}

std::vector<int> ids(const Table& t)
{
    std::vector<int> out;
    for (int r = 0; r < t.recordCount(); ++r)
        out.push_back(int(std::get<int64_t>(t.valueAt(r, 0))));
    return out;
}

std::unique_ptr<MemoryTable> sample()
{
    auto f = notesFile();
    f->insert(note(1, "TForm basics", "VCL", Value(dateFromYmd(1999, 1, 2)), Value(10.0), Value(std::string("Create a form at run time"))));
    f->insert(note(2, "Forms and frames", "VCL", Value(dateFromYmd(2001, 5, 6)), Value(2.5), Value(std::string("nothing here"))));
    f->insert(note(3, "Database grids", "DB", Value(dateFromYmd(1998, 12, 31)), Value(-1.0), Value(std::string("See the FORM designer"))));
    f->insert(note(4, "Caf\xC3\xA9 \xC3\xA9t\xC3\xA9", "", Value(), Value(100.0), Value()));
    f->insert(note(5, "platform", "Misc", Value(dateFromYmd(2010, 7, 1)), Value(7.0), Value(std::string("PLATFORMS"))));
    return f;
}
} // namespace

TEST(DatasetFilter, MatchTypesAndCaseFolding)
{
    Table t;
    t.open(sample());
    t.setFilter({cond("Topic", fdMatchAny, "form")});
    EXPECT_EQ(ids(t), (std::vector<int>{1, 2, 5}));   // TForm, Forms, platform
    t.setFilter({cond("Topic", fdMatchStart, "form")});
    EXPECT_EQ(ids(t), (std::vector<int>{2}));
    t.setFilter({cond("Topic", fdMatchExact, "PLATFORM")});
    EXPECT_EQ(ids(t), (std::vector<int>{5}));
    t.setFilter({cond("Topic", fdMatchEnd, "GRIDS")});
    EXPECT_EQ(ids(t), (std::vector<int>{3}));
    t.setFilter({cond("Topic", fdMatchAny, "form", true)});
    EXPECT_EQ(ids(t), (std::vector<int>{5}));
    // Only a-z fold: an accented capital does not find its small letter.
    t.setFilter({cond("Topic", fdMatchAny, "CAF\xC3\xA9")});
    EXPECT_EQ(ids(t), (std::vector<int>{4}));
    t.setFilter({cond("Topic", fdMatchAny, "CAF\xC3\x89")});
    EXPECT_TRUE(ids(t).empty());
    // A character the table's code page cannot hold is found nowhere (no '?' stand-in).
    t.setFilter({cond("Topic", fdMatchAny, "\xE2\x82\xAC")});   // euro sign exists in 1252
    EXPECT_TRUE(ids(t).empty());
    t.setFilter({cond("Topic", fdMatchAny, "\xE4\xB8\x80")});   // a CJK character
    EXPECT_TRUE(ids(t).empty());
}

TEST(DatasetFilter, ConditionsAreAndedAndEmptyListShowsAll)
{
    Table t;
    t.open(sample());
    t.setFilter({cond("Topic", fdMatchAny, "form"), cond("Category", fdMatchExact, "vcl")});
    EXPECT_EQ(ids(t), (std::vector<int>{1, 2}));
    EXPECT_TRUE(t.filtered());
    EXPECT_EQ(t.recordCount(), 2);
    t.filterConditions().push_back(cond("Description", fdMatchAny, "FORM"));
    t.applyFilter();
    EXPECT_EQ(ids(t), (std::vector<int>{1}));
    t.clearFilter();
    EXPECT_FALSE(t.filtered());
    EXPECT_EQ(t.recordCount(), 5);
    t.setFilter({});
    EXPECT_EQ(t.recordCount(), 5);
}

TEST(DatasetFilter, EmptyValueIsFoundNowhere)
{
    Table t;
    t.open(sample());
    t.setFilter({cond("Topic", fdMatchAny, "")});
    EXPECT_EQ(t.recordCount(), 0);
    t.setFilter({cond("Topic", fdMatchStart, "")});
    EXPECT_EQ(t.recordCount(), 0);
    t.setFilter({cond("Category", fdMatchExact, "")});
    EXPECT_EQ(ids(t), (std::vector<int>{4}));
    t.setFilter({cond("Date", fdMatchExact, "")});
    EXPECT_EQ(ids(t), (std::vector<int>{4}));
    t.setFilter({cond("Description", fdMatchExact, "")});   // memo fields never count as empty
    EXPECT_EQ(t.recordCount(), 0);
}

TEST(DatasetFilter, MissingFieldLetsNothingPass)
{
    Table t;
    t.open(sample());
    t.setFilter({cond("NoSuchField", fdMatchAny, "x")});
    EXPECT_EQ(t.recordCount(), 0);
    EXPECT_EQ(t.recNo(), -1);
    FieldCondition labelOnly = cond("", fdMatchAny, "form");
    labelOnly.displayLabel = "Topic";
    t.setFilter({labelOnly});
    EXPECT_EQ(t.recordCount(), 0);
}

TEST(DatasetFilter, NonTextFieldsMatchTheirDisplayText)
{
    Table t;
    t.open(sample());
    t.setFilter({cond("Date", fdMatchEnd, "/1999")});
    EXPECT_EQ(ids(t), (std::vector<int>{1}));
    t.setFilter({cond("Score", fdMatchExact, "2.5")});
    EXPECT_EQ(ids(t), (std::vector<int>{2}));
    t.setFilter({cond("ID", fdMatchStart, "3")});
    EXPECT_EQ(ids(t), (std::vector<int>{3}));
}

TEST(DatasetFilter, RangesCompareByFieldType)
{
    Table t;
    t.open(sample());
    t.setFilter({range("Score", "2", "10")});
    EXPECT_EQ(ids(t), (std::vector<int>{1, 2, 5}));   // as numbers, not as text ("100" < "2")
    t.setFilter({range("Score", "", "0")});
    EXPECT_EQ(ids(t), (std::vector<int>{3}));
    t.setFilter({range("ID", "2.5", "")});
    EXPECT_EQ(ids(t), (std::vector<int>{3, 4, 5}));
    t.setFilter({range("Date", "12/31/1998", "1/1/2001")});   // as dates, not as text
    EXPECT_EQ(ids(t), (std::vector<int>{1, 3}));
    t.setFilter({range("Topic", "d", "G")});                  // text, case folded
    EXPECT_EQ(ids(t), (std::vector<int>{2, 3}));
    t.setFilter({range("Topic", "", "")});
    EXPECT_EQ(t.recordCount(), 5);
    t.setFilter({range("Date", "not a date", "")});
    EXPECT_EQ(t.recordCount(), 0);
    t.setFilter({range("Description", "a", "z")});             // never on memo fields
    EXPECT_EQ(t.recordCount(), 0);
}

TEST(DatasetFilter, OnlyTheFirst32767CharactersOfAMemoTakePart)
{
    auto f = notesFile();
    std::string memo(32767 - 4, 'x');
    f->insert(note(1, "a", "", {}, {}, Value(memo + "word")));       // ends at the limit
    f->insert(note(2, "b", "", {}, {}, Value(memo + "xwordz")));     // one past it
    f->insert(note(3, "c", "", {}, {}, Value(memo + "wor" + "d")));
    Table t;
    t.open(std::move(f));
    t.setFilter({cond("Description", fdMatchAny, "WORD")});
    EXPECT_EQ(ids(t), (std::vector<int>{1, 3}));
    // Locate looks at the whole memo.
    t.clearFilter();
    EXPECT_TRUE(t.locateFirst("Description", "WORDZ", fdMatchAny));
    EXPECT_EQ(currentId(t), 2);
}

TEST(DatasetFilter, ApplyingGoesToTheFirstRecordAndNotifies)
{
    Table t;
    t.open(sample());
    t.last();
    std::vector<DataChange> changes;
    t.addDataChangedListener([&](DataChange c) { changes.push_back(c); });
    t.setFilter({cond("Category", fdMatchExact, "VCL")});
    EXPECT_EQ(t.recNo(), 0);
    EXPECT_TRUE(t.atBeginning());
    EXPECT_EQ(changes, (std::vector<DataChange>{DataChange::Refiltered}));
    // A record posted that no longer passes leaves the visible set.
    t.edit();
    t.setText("Category", "Other");
    t.post();
    EXPECT_EQ(ids(t), (std::vector<int>{2}));
}

TEST(DatasetLocate, FirstAndNextFollowTheVisibleOrder)
{
    Table t;
    t.open(sample());
    t.setIndexName("ByTopic");
    // ByTopic: Caf..(4), Database grids(3), Forms(2), platform(5), TForm(1)
    ASSERT_TRUE(t.locateFirst("Topic", "form", fdMatchAny));
    EXPECT_EQ(currentId(t), 2);
    ASSERT_TRUE(t.locateNext("Topic", "form", fdMatchAny));
    EXPECT_EQ(currentId(t), 5);
    ASSERT_TRUE(t.locateNext("Topic", "form", fdMatchAny));
    EXPECT_EQ(currentId(t), 1);
    EXPECT_FALSE(t.locateNext("Topic", "form", fdMatchAny));
    EXPECT_EQ(currentId(t), 1);   // no match: the cursor stays
    EXPECT_TRUE(t.locateFirst("topic", "database", fdMatchStart));
    EXPECT_EQ(currentId(t), 3);
    EXPECT_FALSE(t.locateFirst("Topic", "database", fdMatchStart, true));
    EXPECT_FALSE(t.locateFirst("Topic", "Database", fdMatchExact));
    EXPECT_TRUE(t.locateFirst("Topic", "Database grids", fdMatchExact));
    EXPECT_TRUE(t.locateFirst("Score", "100", fdMatchExact));
    EXPECT_EQ(currentId(t), 4);
    EXPECT_THROW(t.locateFirst("Nope", "x", fdMatchAny), EngineError);
    // Hidden records are not found.
    t.setFilter({cond("Category", fdMatchExact, "DB")});
    EXPECT_FALSE(t.locateFirst("Topic", "form", fdMatchStart));
}

TEST(DatasetTextScan, AgreesWithAPlainSearchOnRandomText)
{
    std::mt19937 rng(7);
    const std::string alphabet = "abAB xyz\x80\xE9[@`{";
    auto fold = [](std::string s) {
        for (char& c : s)
            if (c >= 'a' && c <= 'z')
                c = char(c - 32);
        return s;
    };
    for (int round = 0; round < 3000; ++round) {
        std::string text(rng() % (round % 4 == 0 ? 3000 : 200), ' ');   // some long enough for the widest vectors
        for (char& c : text)
            c = alphabet[rng() % alphabet.size()];
        std::string word(1 + rng() % (round % 8 == 0 ? 12 : 4), ' ');   // some longer than eight bytes
        for (char& c : word)
            c = alphabet[rng() % alphabet.size()];
        if (round % 3 == 0 && text.size() > word.size()) {
            // Planted, with one byte changed now and then: near misses as well as hits.
            std::string planted = word;
            if (rng() % 2)
                planted[rng() % planted.size()] = alphabet[rng() % alphabet.size()];
            text.replace(rng() % (text.size() - word.size() + 1), word.size(), planted);
        }
        const bool cs = rng() % 2;
        const TextScanner s(word, cs);
        const std::string h = cs ? text : fold(text);
        const std::string w = cs ? word : fold(word);
        ASSERT_EQ(s.find(text), h.find(w)) << "word '" << word << "' cs " << cs << " in '" << text << "'";
        ASSERT_EQ(s.startsWith(text), h.rfind(w, 0) == 0);
        ASSERT_EQ(s.equals(text), h == w);
    }
}

TEST(DatasetTextScan, LetterFoldingDoesNotMatchPunctuationNeighbours)
{
    // '@' | 0x20 == '`' and '[' | 0x20 == '{': only letters may fold.
    EXPECT_FALSE(TextScanner("@", false).contains("`"));
    EXPECT_FALSE(TextScanner("[x", false).contains("{X"));
    EXPECT_TRUE(TextScanner("ab", false).contains("xxAB"));
    EXPECT_FALSE(TextScanner("\xC9", false).contains("\xE9"));   // accented letters keep case
    // Matches right at the end of long texts, across vector block borders.
    for (size_t len : {31u, 32u, 33u, 63u, 64u, 65u, 200u}) {
        std::string text(len, 'q');
        text.replace(len - 3, 3, "eNd");
        EXPECT_EQ(TextScanner("END", false).find(text), len - 3) << len;
        EXPECT_EQ(TextScanner("END", true).find(text), std::string::npos) << len;
    }
    EXPECT_FALSE(TextScanner("", false).contains("abc"));
    EXPECT_TRUE(matchText("Delphi 3", "DELPHI", fdMatchStart, false));
    EXPECT_FALSE(matchText("x", "x", fdMatchRange, false));
}

TEST(DatasetFilter, ColumnScanAgreesWithRecordByRecordScan)
{
    // Short text fields are filtered over one block of all their texts; the result must be
    // the same as testing record by record (hits at record edges, empty texts, repeats).
    std::mt19937 rng(11);
    auto file = notesFile();
    const std::string alphabet = "abAB ab";
    // Mostly short texts, some long enough that a hit skips whole blocks of the column.
    for (int i = 1; i <= 1500; ++i) {
        std::string topic(i % 5 == 0 ? rng() % 51 : rng() % 14, ' ');
        for (char& c : topic)
            c = alphabet[rng() % alphabet.size()];
        file->insert(note(i, topic));
    }
    const std::vector<RecordId> all = file->recordIds();
    const TextColumn column = TextColumn::build(*file, all, 1);
    const TextFormat fmt;
    for (const char* word : {"a", "ab", "BA", "abab", "b a", "aaa", "abababab", "aBaBaBaBa", "ab  ba ab", "x"}) {
        for (FilterMatchType type : {fdMatchAny, fdMatchStart, fdMatchExact, fdMatchEnd}) {
            for (bool cs : {false, true}) {
                const ConditionTest test(*file, cond("Topic", type, word, cs), fmt);
                ASSERT_EQ(test.columnField(), 1);
                std::vector<uint8_t> byColumn(all.size(), 1), byRecord(all.size(), 1);
                byColumn[3] = 0;   // records already out stay out
                byRecord[3] = 0;
                test.narrow(all, byColumn, &column);
                test.narrow(all, byRecord, nullptr);
                EXPECT_EQ(byColumn, byRecord) << word << " " << type << " " << cs;
                for (size_t i = 0; i < all.size(); ++i)
                    ASSERT_EQ(bool(byRecord[i]), i != 3 && test.test(all[i])) << word;
            }
        }
    }
}

TEST(DatasetFilter, EmptyTableAndClosedTable)
{
    Table t;
    t.setFilter({cond("Topic", fdMatchAny, "x")});   // closed: only kept
    EXPECT_EQ(t.filterConditions().size(), 1u);
    EXPECT_FALSE(t.filtered());
    t.open(notesFile());
    for (FilterMatchType type : {fdMatchAny, fdMatchStart, fdMatchExact, fdMatchEnd}) {
        t.setFilter({cond("Topic", type, "x"), cond("Description", type, "y")});
        EXPECT_EQ(t.recordCount(), 0);
        EXPECT_TRUE(t.atBeginning() && t.atEnd());
    }
    EXPECT_FALSE(t.locateFirst("Topic", "x", fdMatchAny));
}

// Large tables are filtered record by record on several cores at once: the result must not
// depend on where the parts begin and end, and an error met by any part reaches the caller.
TEST(DatasetFilter, LargeTablesFilteredInPartsGiveTheSameAnswer)
{
    const size_t n = 3 * kRecordsPerPart + 17;
    auto file = notesFile();
    std::vector<int> expected;
    for (size_t i = 1; i <= n; ++i) {
        const bool hit = i % 97 == 0 || i == 1 || i == n || i == kRecordsPerPart || i == kRecordsPerPart + 1;
        file->insert(note(int64_t(i), "t", "", {}, {}, std::string(hit ? "some Needle here" : "nothing to see") + std::to_string(i)));
        if (hit)
            expected.push_back(int(i));
    }
    Table t;
    t.open(std::move(file));
    t.setFilter({cond("Description", fdMatchAny, "needle")});
    std::vector<int> got;
    for (t.first(); !t.atEnd(); t.next())
        got.push_back(currentId(t));
    EXPECT_EQ(got, expected);
}

TEST(DatasetFilter, DamageMetByAnyPartOfALargeFilterIsReported)
{
    ScratchDir dir;
    const std::string path = dir.file("big.db");
    TableSpec spec;
    spec.fields = {fld("ID", FieldType::Long), fld("Body", FieldType::Memo, 20)};
    const size_t n = 2 * kRecordsPerPart + 100;
    {
        const auto w = createParadoxTable(path, spec);
        for (size_t i = 1; i <= n; ++i) {
            char lead[16];
            std::snprintf(lead, sizeof lead, "R%08zu:", i);
            w->insert({Value(int64_t(i)), Value(std::string(lead) + std::string(40, 'x'))});
        }
        w->flush();
    }
    // The blob pointer after the leader of a record in the last part points past the memo
    // file, or names its shared block as a block of its own.
    const std::string sound = readBytes(path);
    char lead[16];
    std::snprintf(lead, sizeof lead, "R%08zu:", n - 5);
    const size_t at = sound.find(std::string(lead, 10));
    ASSERT_NE(at, std::string::npos);
    const std::pair<uint32_t, const char*> damages[] = {{0x7FFFFF00u, "outside the memo file"},
                                                        {px::le32(reinterpret_cast<const uint8_t*>(sound.data()) + at + 10) | 0xFFu, "does not point to a blob block"}};
    for (const auto& [pointer, message] : damages) {
        std::string db = sound;
        px::put32(db, at + 10, pointer);
        writeBytes(path, db);
        Table t;
        t.open(path);
        // A filter that fails changes nothing: the one before stays, conditions and records.
        const FilterConditions before = {cond("ID", fdMatchStart, "1")};
        t.setFilter(before);
        const int rows = t.recordCount();
        try {
            t.setFilter({cond("Body", fdMatchAny, "needle")});
            ADD_FAILURE() << "the damaged blob pointer went unnoticed: " << message;
        } catch (const EngineError& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
        EXPECT_TRUE(t.filterConditions() == before);
        EXPECT_TRUE(t.filtered());
        EXPECT_EQ(t.recordCount(), rows);
        // Told to go on past damage, the filter passes over that record alone and says so.
        t.setFilterPastDamage({cond("Body", fdMatchAny, "xx")});
        EXPECT_EQ(t.recordCount(), int(n) - 1);
        EXPECT_EQ(t.filterDamage().records, 1u);
        EXPECT_NE(t.filterDamage().first.find(message), std::string::npos) << t.filterDamage().first;
        EXPECT_FALSE(t.locateFirst("ID", std::to_string(n - 5), fdMatchExact));
        t.setFilter({cond("ID", fdMatchExact, std::to_string(n - 5))});   // set another way: no damage to tell
        EXPECT_EQ(t.filterDamage().records, 0u);
        EXPECT_EQ(t.recordCount(), 1);
        t.clearFilter();
        EXPECT_EQ(t.recordCount(), int(n));   // the table is still there to browse
    }
}

// Memo filters on real files scan the memo file straight through, a piece at a time, and
// then look at the texts around what they found: the answer must be that of testing record by
// record, with texts in the record itself, in shared memo blocks and in blocks of their own,
// occurrences at the edges of texts, split over two neighbouring texts, over the 32767-character
// limit and over the edge between two pieces of the scan (at 2 MiB into the memo file).
// Kilobytes of the mappings of files under `folder` resident in this process.
static long residentKb(const std::string& folder)
{
    FILE* smaps = std::fopen("/proc/self/smaps", "r");
    if (!smaps)
        return -1;
    long kb = 0;
    bool ours = false;
    char line[4096];
    while (std::fgets(line, sizeof line, smaps)) {
        long n = 0;
        if (std::strchr(line, '-') && std::strchr(line, '-') < std::strchr(line, ' '))
            ours = std::strstr(line, folder.c_str()) != nullptr;   // a mapping's first line
        else if (ours && std::sscanf(line, "Rss: %ld kB", &n) == 1)
            kb += n;
    }
    std::fclose(smaps);
    return kb;
}

TEST(DatasetFilter, MemoScanInTheFilesAgreesWithRecordByRecord)
{
    ScratchDir dir;
    std::mt19937 rng(5);
    const std::string alphabet = "edlnEDLN ";
    std::vector<std::string> bodies;
    for (size_t i = 0; i < 2500; ++i) {   // more than two runs of records (1024 each)
        const size_t kind = rng() % 10;
        const size_t length = kind < 3 ? rng() % 12 : kind < 7 ? rng() % 300 : kind < 9 ? 2000 + rng() % 4000 : 100 + rng() % 40;
        std::string body(length, ' ');
        for (char& c : body)
            c = alphabet[rng() % alphabet.size()];
        if (body.size() >= 6 && rng() % 4 == 0) {
            const size_t where = rng() % 3;   // at the start, at the end, anywhere
            body.replace(where == 0 ? 0 : where == 1 ? body.size() - 6 : rng() % (body.size() - 5), 6, rng() % 2 ? "needle" : "NeeDle");
        }
        if (i % 50 == 7)
            body = "xxxxxxxxxxxx nee";   // whole chunks of a shared block: the next text starts "dle"
        if (i % 50 == 8)
            body = "dle xxxxxxxxxxxx";
        bodies.push_back(body);
    }
    for (size_t i = 800; i < 1200; ++i)   // blobs of several blocks, over the first edges
        bodies[i] = std::string(20000 + i, 'l');
    bodies[300] = std::string(32767 - 3, 'x') + "needle";   // over the limit
    bodies[301] = std::string(32767 - 6, 'x') + "needle";   // ends at it
    TableSpec spec;
    spec.fields = {fld("ID", FieldType::Long), fld("Body", FieldType::Memo, 20), fld("Title", FieldType::Alpha, 24)};
    spec.primaryKeyFields = 1;
    TableSpec dbaseSpec;
    dbaseSpec.fields = {fld("ID", FieldType::DbNumeric, 8), fld("Body", FieldType::DbMemo, 10), fld("Title", FieldType::DbChar, 24)};
    constexpr size_t kEdge = size_t(2) << 20;
    for (const std::string ext : {".db", ".dbf"}) {
        const bool paradox = ext == ".db";
        auto write = [&](const std::string& name, const std::vector<std::string>& texts) {
            const auto w = paradox ? createParadoxTable(dir.file(name + ext), spec) : createDbaseTable(dir.file(name + ext), dbaseSpec);
            for (size_t i = 0; i < texts.size(); ++i)
                w->insert({Value(paradox ? Value(int64_t(i)) : Value(double(i))), texts[i].empty() ? Value() : Value(texts[i]),
                           texts[i].size() <= i % 7 ? Value() : Value(texts[i].substr(i % 7, 24))});   // a short text too
            w->flush();
        };
        // The text that lies over the edge gets the word there, and nowhere else; the texts
        // keep their lengths, so the second file is laid out as the first.
        write("first", bodies);
        std::vector<std::string> texts = bodies;
        std::vector<size_t> edges;
        {
            const auto first = openTableFile(dir.file("first" + ext));
            const char* base = first->placedBytes(1).data();
            for (size_t i = 0; i < texts.size(); ++i) {
                const std::string_view t = first->rawText(first->recordIds()[i], 1);
                const size_t at = size_t(t.data() - base), edge = (at + 3 + kEdge - 1) / kEdge * kEdge;
                if (!t.empty() && edge + 3 <= at + t.size()) {
                    texts[i] = std::string(t.size(), 'x').replace(edge - 3 - at, 6, "needle");
                    edges.push_back(edge);
                }
            }
            ASSERT_FALSE(edges.empty());
        }
        write("m", texts);
        const auto file = openTableFile(dir.file("m" + ext));
        ASSERT_TRUE(file->textsMapped());
        for (size_t edge : edges)
            ASSERT_EQ(std::string_view(file->placedBytes(1).data() + edge - 3, 6), "needle");
        const std::vector<RecordId> all = file->recordIds();
        const TextFormat fmt;
        for (const char* word : {"needle", "NEEDLE", "e", "dle", "N nee", "needlex"}) {
            for (const auto& [field, cs] : {std::pair("Body", false), std::pair("Body", true), std::pair("Title", false)}) {
                const ConditionTest test(*file, cond(field, fdMatchAny, word, cs), fmt);
                // Records already out stay out: one of them, or all but every third (then
                // only the parts of the file that hold the others are scanned).
                for (const size_t every : {size_t(1), size_t(3)}) {
                    std::vector<uint8_t> pass(all.size());
                    for (size_t i = 0; i < all.size(); ++i)
                        pass[i] = i != 5 && i % every == 0;
                    const std::vector<uint8_t> before = pass;
                    test.narrow(all, pass);
                    for (size_t i = 0; i < all.size(); ++i)
                        ASSERT_EQ(bool(pass[i]), before[i] && test.test(all[i])) << ext << " " << field << " '" << word << "' " << cs << " 1/" << every << " record " << i;
                }
            }
        }
        EXPECT_FALSE(ConditionTest(*file, cond("Body", fdMatchAny, "needle"), fmt).test(all[300]));
        EXPECT_TRUE(ConditionTest(*file, cond("Body", fdMatchAny, "needle"), fmt).test(all[301]));

        // A filter lets go of the pages of the files it read: they are not left in this
        // process's resident memory (the system's file cache keeps them).
        const std::vector<uint8_t> pass = evaluateConditions(*file, all, {cond("Body", fdMatchAny, "needle")}, fmt);
        EXPECT_GT(std::count(pass.begin(), pass.end(), 1), 0);
        EXPECT_LT(residentKb(dir.file("")), 64) << ext;
        // So does ordering the records by a field, which reads it from every record.
        IndexDef byTitle;
        byTitle.fields = {"Title"};
        const std::vector<uint32_t> order = computeOrder(*file, all, byTitle);
        EXPECT_LT(residentKb(dir.file("")), 64) << ext;
        EXPECT_LE(file->rawText(all[order[0]], 2), file->rawText(all[order[1]], 2));
    }
}
