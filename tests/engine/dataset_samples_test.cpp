// The dataset over real table files: the shared sample tables (read-only) and a Paradox
// table written by the engine.

#include "dataset_testutil.h"

#include "engine/dataset/fieldtext.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace tv;
namespace fs = std::filesystem;

namespace {

struct SampleTable {
    std::string path;
    long records;   // record lines of the reference dump
};

std::vector<SampleTable> sampleTables()
{
    std::vector<SampleTable> out;
    const fs::path expected = fs::path(TV_SAMPLES_DIR) / "expected";
    if (!fs::exists(expected))
        return out;
    for (const auto& e : fs::recursive_directory_iterator(expected)) {
        if (e.path().extension() != ".tsv")
            continue;
        const fs::path rel = fs::relative(e.path(), expected);
        fs::path table = fs::path(TV_SAMPLES_DIR) / rel;
        table.replace_extension();   // drop ".tsv"
        std::ifstream in(e.path());
        std::string line;
        long lines = 0;
        while (std::getline(in, line))
            ++lines;
        out.push_back({table.string(), lines - 2});
    }
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.path < b.path; });
    return out;
}

// The filter's rule spelled out plainly: a-z folded, the memo's first 32,767 characters.
bool plainAnyMatch(const Table& t, int row, int field, const std::string& word)
{
    std::string text = t.displayTextAt(row, field);
    if (kindOf(t.field(field).type) == FieldKind::Memo) {
        size_t chars = 0, i = 0;
        for (; i < text.size(); ++i)
            if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && chars++ == 32767)
                break;
        text.resize(i);
    }
    return foldAsciiUpper(text).find(foldAsciiUpper(word)) != std::string::npos;
}

// An ASCII word from the middle of some record's text, so that it occurs at least once.
std::string wordFrom(const Table& t, int field)
{
    for (int r = 0; r < t.recordCount(); ++r) {
        const std::string s = t.displayTextAt(r, field);
        for (size_t i = s.size() / 3; i + 3 <= s.size(); ++i) {
            const std::string w = s.substr(i, 3);
            if (std::all_of(w.begin(), w.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
                return w;
        }
    }
    return {};
}

} // namespace

TEST(DatasetSamples, EveryReadableSampleBrowsesFiltersAndOrders)
{
    const auto tables = sampleTables();
    ASSERT_GE(tables.size(), 10u) << "no reference dumps under " << TV_SAMPLES_DIR;
    for (const auto& s : tables) {
        SCOPED_TRACE(s.path);
        Table t;
        t.open(s.path);
        EXPECT_EQ(t.recordCount(), s.records);
        EXPECT_TRUE(t.readOnly());
        // Every cell can be shown.
        for (int r = 0; r < t.recordCount(); ++r)
            for (int f = 0; f < t.fieldCount(); ++f)
                (void)t.displayTextAt(r, f);
        t.last();
        EXPECT_TRUE(t.atEnd());
        EXPECT_EQ(t.recNo(), t.recordCount() - 1);

        // "Anywhere" filters on every text and memo field agree with the plain rule.
        for (int f = 0; f < t.fieldCount(); ++f) {
            const FieldKind k = kindOf(t.field(f).type);
            if (k != FieldKind::Text && k != FieldKind::Memo)
                continue;
            const std::string word = wordFrom(t, f);
            if (word.empty())
                continue;
            std::vector<RecordId> expected;
            for (int r = 0; r < t.recordCount(); ++r)
                if (plainAnyMatch(t, r, f, word))
                    expected.push_back(t.recordIdAt(r));
            FieldCondition c;
            c.fieldName = t.field(f).name;
            c.matchType = fdMatchAny;
            c.value = word;
            t.setFilter({c});
            EXPECT_EQ(t.visibleIds(), expected) << t.field(f).name << " ~ " << word;
            EXPECT_FALSE(expected.empty());
            t.clearFilter();
        }

        // Every index order is sorted by its key, and the current record survives a switch.
        for (const auto& ix : t.indexDefs()) {
            if (ix.fields.empty() || t.recordCount() == 0)
                continue;
            t.moveTo(t.recordCount() / 2);
            const RecordId keep = *t.currentId();
            t.setIndexName(ix.name);
            EXPECT_EQ(*t.currentId(), keep) << ix.name;
            const int key = t.fieldByName(ix.fields[0]);
            const bool text = kindOf(t.field(key).type) == FieldKind::Text;
            for (int r = 1; r < t.recordCount(); ++r) {
                int c;
                if (text) {
                    std::string a(t.file()->rawText(t.recordIdAt(r - 1), key)), b(t.file()->rawText(t.recordIdAt(r), key));
                    if (ix.caseInsensitive) {
                        a = foldAsciiUpper(a);
                        b = foldAsciiUpper(b);
                    }
                    c = a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
                } else {
                    c = compareValues(t.valueAt(r - 1, key), t.valueAt(r, key), false);
                }
                EXPECT_LE(c, 0) << ix.name << " row " << r;
            }
        }
    }
}

TEST(DatasetSamples, CustomerTableMemoFilterBookmarkAndLocate)
{
    Table t;
    t.open(std::string(TV_SAMPLES_DIR) + "/paradox/db/CUSTOMER.DB");
    ASSERT_EQ(t.fieldIndex("comments"), 8);
    EXPECT_EQ(t.indexDefs().size(), 2u);
    t.moveTo(5);
    const Bookmark b = t.getBookmark();
    const int64_t custNo = t.asInteger("CustNo");
    EXPECT_TRUE(t.orderByField("City"));
    EXPECT_EQ(t.indexName(), "City");
    EXPECT_EQ(t.asInteger("CustNo"), custNo);
    t.first();
    t.gotoBookmark(b);
    EXPECT_EQ(t.asInteger("CustNo"), custNo);
    EXPECT_FALSE(t.orderByField("LastName"));
    ASSERT_TRUE(t.locateFirst("City", "santa", fdMatchStart));
    const RecordId firstSanta = *t.currentId();
    int found = 1;
    while (t.locateNext("City", "santa", fdMatchStart))
        ++found;
    FieldCondition c;
    c.fieldName = "CITY";
    c.value = "Santa";
    t.setFilter({c});
    EXPECT_EQ(t.recordCount(), found);
    EXPECT_EQ(t.visibleIds().front(), firstSanta);
    EXPECT_THROW(t.append(), EngineError);   // opened read-only
}

TEST(DatasetSamples, EditingAParadoxTableWrittenByTheEngine)
{
    const fs::path dir = fs::temp_directory_path() / ("tv_dataset_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string path = (dir / "private.db").string();
    TableSpec spec;
    spec.fields = {tvtest::fld("ID", FieldType::AutoInc, 4), tvtest::fld("Topic", FieldType::Alpha, 50),
                   tvtest::fld("Date", FieldType::Date, 4), tvtest::fld("Description", FieldType::Memo, 12)};
    spec.primaryKeyFields = 1;
    {
        Table t;
        t.open(createParadoxTable(path, spec));
        t.setPicture("Date", "#[#]/#[#]/##[##]", true);
        int posts = 0;
        t.addAfterPostListener([&] {
            ++posts;
            t.saveChanges();
        });
        for (int i = 1; i <= 3; ++i) {
            t.setIndexName("");
            t.last();
            const int64_t next = (t.recordCount() > 0 ? t.asInteger(0) : 0) + 1;
            t.append();
            t.setInteger(0, next);
            t.setText("Topic", "Note " + std::to_string(i));
            t.setText("Date", i == 1 ? "1/2/99" : "01/02/1999");
            t.setText("Description", std::string(300 * i, 'm') + " memo " + std::to_string(i));
            t.post();
        }
        EXPECT_EQ(posts, 3);
        t.append();
        t.setInteger(0, 2);
        EXPECT_THROW(t.post(), EngineError);
        EXPECT_EQ(t.state(), TableState::Insert);
        t.cancel();
        t.moveTo(1);
        t.remove();
        t.first();
        t.edit();
        t.setText("Topic", "Edited");
        t.post();
    }
    Table again;
    again.open(path, OpenMode::ReadWrite);
    ASSERT_EQ(again.recordCount(), 2);
    again.first();
    EXPECT_EQ(again.displayText("Topic"), "Edited");
    EXPECT_EQ(again.displayText("Date"), "1/2/1999");
    again.last();
    EXPECT_EQ(again.asInteger("ID"), 3);
    EXPECT_EQ(again.displayText("Description"), std::string(900, 'm') + " memo 3");
    FieldCondition c;
    c.fieldName = "Description";
    c.matchType = fdMatchAny;
    c.value = "MEMO 3";
    again.setFilter({c});
    EXPECT_EQ(again.recordCount(), 1);
    again.close();
    fs::remove_all(dir);
}
