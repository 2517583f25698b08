#include "dataset_testutil.h"
#include "engine/dataset/fieldtext.h"

#include <gtest/gtest.h>

using namespace tv;
using namespace tvtest;

namespace {
// The private base's way of appending: primary order, last ID + 1.
void appendNext(Table& t)
{
    t.setIndexName("");
    t.last();
    const int64_t next = (t.recordCount() > 0 ? t.asInteger(0) : 0) + 1;
    t.append();
    t.setInteger(0, next);
}
} // namespace

TEST(DatasetEditing, AppendPostStoresTheRecordAndNotifies)
{
    auto file = notesFile();
    MemoryTable* raw = file.get();
    Table t;
    t.open(std::move(file));
    std::vector<TableState> states;
    std::vector<DataChange> changes;
    int posts = 0;
    t.addStateChangedListener([&](TableState s) { states.push_back(s); });
    t.addDataChangedListener([&](DataChange c) { changes.push_back(c); });
    t.addAfterPostListener([&] { ++posts; });

    appendNext(t);
    EXPECT_EQ(t.state(), TableState::Insert);
    EXPECT_EQ(t.insertRow(), 0);
    EXPECT_EQ(t.recNo(), 0);
    t.setText("Topic", "First note");
    t.setText("Date", "1/2/99");
    EXPECT_EQ(t.displayTextAt(0, 1), "First note");   // the insert row shows the buffer
    t.post();
    EXPECT_EQ(t.state(), TableState::Browse);
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(t.recordCount(), 1);
    EXPECT_EQ(raw->recordIds().size(), 1u);
    EXPECT_EQ(t.asInteger(0), 1);
    EXPECT_EQ(t.displayText("Date"), "1/2/1999");
    EXPECT_EQ(states, (std::vector<TableState>{TableState::Insert, TableState::Browse}));
    EXPECT_NE(std::find(changes.begin(), changes.end(), DataChange::RowsAdded), changes.end());

    appendNext(t);
    EXPECT_EQ(t.asInteger(0), 2);
    t.setText("Topic", "Second");
    t.post();
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_EQ(currentId(t), 2);
}

TEST(DatasetEditing, AppendTakesTheLastIdOfThePrimaryOrderAndOfTheFilteredSet)
{
    auto file = notesFile();
    file->insert(note(41, "zeta", "A"));
    file->insert(note(7, "alpha", "B"));
    file->insert(note(12, "mid", "B"));
    Table t;
    t.open(std::move(file));
    t.setIndexName("ByTopic");   // last by topic is 41 "zeta", by key 41 as well; make it differ
    t.setFilter({FieldCondition{"Category", "", fdMatchExact, "B", "", "", false}});
    appendNext(t);
    EXPECT_EQ(t.asInteger(0), 13);   // the last record that passes the filter is 12
    EXPECT_EQ(t.indexName(), "");
    t.cancel();
    EXPECT_EQ(t.state(), TableState::Browse);
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_EQ(currentId(t), 12);   // back where the append started
}

TEST(DatasetEditing, EditPostCancelAndModifiedFlag)
{
    Table t;
    t.open(numberedNotes(3));
    t.moveTo(1);
    t.edit();
    EXPECT_FALSE(t.modified());
    t.setText("Topic", "Changed");
    EXPECT_TRUE(t.modified());
    EXPECT_EQ(t.displayText("Topic"), "Changed");
    t.cancel();
    EXPECT_EQ(t.displayText("Topic"), "Topic 2");
    t.edit();
    t.setText("Topic", "Changed");
    t.post();
    EXPECT_EQ(t.displayText("Topic"), "Changed");
    EXPECT_EQ(currentId(t), 2);
    // Moving while editing posts the change.
    t.edit();
    t.setText("Category", "Z");
    t.next();
    EXPECT_EQ(t.state(), TableState::Browse);
    EXPECT_EQ(t.displayTextAt(1, 2), "Z");
    // Setting a value outside edit mode fails.
    EXPECT_THROW(t.setText("Topic", "x"), EngineError);
}

TEST(DatasetEditing, DuplicatePrimaryKeyIsAKeyViolationAndTheEditStays)
{
    Table t;
    t.open(numberedNotes(3));
    t.append();
    t.setInteger(0, 2);
    t.setText("Topic", "dup");
    try {
        t.post();
        FAIL() << "post of a duplicate key succeeded";
    } catch (const EngineError& e) {
        EXPECT_STREQ(e.what(), "Key violation");
    }
    EXPECT_EQ(t.state(), TableState::Insert);
    EXPECT_EQ(t.recordCount(), 3);
    t.setInteger(0, 4);
    t.post();
    EXPECT_EQ(t.recordCount(), 4);

    // Editing a record keeps its own key without complaint, but not another's.
    t.first();
    t.edit();
    t.setText("Topic", "same key");
    t.post();
    t.edit();
    t.setInteger(0, 3);
    EXPECT_THROW(t.post(), EngineError);
    EXPECT_EQ(t.state(), TableState::Edit);
    t.cancel();
}

TEST(DatasetEditing, PictureMismatchNamesFieldAndPicture)
{
    Table t;
    t.open(numberedNotes(1));
    t.setPicture("Topic", "&?*?");
    t.setPicture("Date", "#[#]/#[#]/##[##]", true);
    t.first();
    t.edit();
    try {
        t.setText("Date", "1/2/3");
        FAIL();
    } catch (const EngineError& e) {
        const std::string msg = e.what();
        EXPECT_NE(msg.find("'Date'"), std::string::npos) << msg;
        EXPECT_NE(msg.find("#[#]/#[#]/##[##]"), std::string::npos) << msg;
    }
    t.setText("Date", "01/02/1999");
    EXPECT_EQ(t.displayText("Date"), "1/2/1999");
    t.setText("Topic", "hello");   // the picture forces the first letter up
    EXPECT_EQ(t.displayText("Topic"), "Hello");
    // A value set directly that does not fit is refused at post, and the edit stays.
    t.setValue("Topic", Value(std::string("9lives")));
    EXPECT_THROW(t.post(), EngineError);
    EXPECT_EQ(t.state(), TableState::Edit);
    t.setValue("Topic", Value(std::string("Nine")));
    t.post();
    EXPECT_EQ(t.displayText("Topic"), "Nine");
    EXPECT_THROW(t.setPicture("Topic", "[##"), EngineError);
    EXPECT_EQ(t.display(1).picture, "&?*?");
}

TEST(DatasetEditing, TextIsParsedByFieldType)
{
    Table t;
    t.open(numberedNotes(1));
    t.first();
    t.edit();
    t.setText("Score", "12.5");
    EXPECT_EQ(std::get<double>(t.value("Score")), 12.5);
    EXPECT_THROW(t.setText("Score", "abc"), EngineError);
    EXPECT_THROW(t.setText("ID", "1.5"), EngineError);
    EXPECT_THROW(t.setText("Date", "2/30/2001"), EngineError);
    t.setText("Date", "2026-02-28");
    EXPECT_EQ(t.displayText("Date"), "2/28/2026");
    t.setText("Date", "");
    EXPECT_TRUE(t.isNullField(3));
    // Alpha text longer than the field is cut to its size.
    t.setText("Category", std::string(30, 'x'));
    EXPECT_EQ(t.displayText("Category").size(), 20u);
    t.setText("Description", "memo text\r\nline 2");
    EXPECT_EQ(t.displayText("Description"), "memo text\r\nline 2");
    EXPECT_THROW(t.setValue("ID", Value(std::string("x"))), EngineError);
    t.post();
    t.setShortDateFormat("dd.MM.yyyy");
    t.edit();
    t.setText("Date", "03.04.2001");
    EXPECT_EQ(t.displayText("Date"), "03.04.2001");
    t.setShortDateFormat("M/d/yyyy");
    EXPECT_EQ(t.displayText("Date"), "4/3/2001");
}

TEST(DatasetEditing, DeleteRefreshAndSaveChanges)
{
    auto file = numberedNotes(4);
    MemoryTable* raw = file.get();
    Table t;
    t.open(std::move(file));
    t.moveTo(1);
    t.remove();
    EXPECT_EQ(t.recordCount(), 3);
    EXPECT_EQ(currentId(t), 3);   // the next record takes its place
    t.last();
    t.remove();
    EXPECT_EQ(currentId(t), 3);   // after the last: the new last
    // Changes behind the cursor's back show after a refresh.
    raw->insert(note(10, "outside"));
    EXPECT_EQ(t.recordCount(), 2);
    t.refresh();
    EXPECT_EQ(t.recordCount(), 3);
    EXPECT_EQ(currentId(t), 3);
    EXPECT_EQ(raw->flushCount(), 0);
    t.saveChanges();
    EXPECT_EQ(raw->flushCount(), 1);
    t.remove();
    t.remove();
    t.remove();
    EXPECT_EQ(t.recordCount(), 0);
    EXPECT_TRUE(t.atBeginning() && t.atEnd());
    EXPECT_THROW(t.remove(), EngineError);
    EXPECT_THROW(t.edit(), EngineError);
}

TEST(DatasetEditing, ReadOnlyTableRefusesChanges)
{
    auto file = numberedNotes(2);
    file->setWritable(false);
    Table t;
    t.open(std::move(file));
    EXPECT_TRUE(t.readOnly());
    EXPECT_THROW(t.append(), EngineError);
    EXPECT_THROW(t.edit(), EngineError);
    EXPECT_THROW(t.remove(), EngineError);
    EXPECT_EQ(t.state(), TableState::Browse);
    EXPECT_EQ(t.recordCount(), 2);
}

TEST(DatasetEditing, DisplayTextOfEachType)
{
    TableSpec spec;
    spec.fields = {fld("I", FieldType::Short), fld("N", FieldType::Number), fld("M", FieldType::Money),
                   fld("L", FieldType::Logical), fld("T", FieldType::Time), fld("S", FieldType::Timestamp),
                   fld("G", FieldType::Graphic)};
    auto file = std::make_unique<MemoryTable>(spec);
    file->insert({Value(int64_t(-5)), Value(36.3), Value(-1234.5), Value(true), Value(TimeOfDay{13 * 3600000 + 5 * 60000}),
                  Value(Timestamp{int64_t(dateFromYmd(2001, 12, 31).day) * 86400000 + 1000}), Value(Blob{"x"})});
    Table t;
    t.open(std::move(file));
    t.first();
    EXPECT_EQ(t.displayText(0), "-5");
    EXPECT_EQ(t.displayText(1), "36.3");
    EXPECT_EQ(t.displayText(2), "($1,234.50)");
    EXPECT_EQ(t.displayText(3), "True");
    EXPECT_EQ(t.displayText(4), "1:05:00 PM");
    EXPECT_EQ(t.displayText(5), "12/31/2001 12:00:01 AM");
    EXPECT_EQ(t.displayText(6), "(GRAPHIC)");
    EXPECT_EQ(t.asInteger(1), 36);
    EXPECT_EQ(t.displayWidth(0), 6);
    t.setDisplayWidth("i", 9);
    t.setDisplayLabel("I", "Level");
    t.setVisible("G", false);
    EXPECT_EQ(t.displayWidth(0), 9);
    EXPECT_EQ(t.displayLabel(0), "Level");
    EXPECT_EQ(t.displayLabel(1), "N");
    EXPECT_FALSE(t.visible(6));
}

TEST(DatasetEditing, MoneyInTheSystemsCurrencyFormat)
{
    // As Hungarian writes forints: the symbol after the amount, a comma before the fillér,
    // no-break blanks between the thousands and before the symbol.
    CurrencyFormat hu;
    hu.symbol = "Ft";
    hu.before = "";
    hu.after = "\u00A0Ft";
    hu.negativeBefore = "-";
    hu.negativeAfter = "\u00A0Ft";
    hu.decimal = ",";
    hu.group = "\u00A0";
    const CurrencyFormat saved = systemCurrencyFormat();
    setSystemCurrencyFormat(hu);
    TableSpec spec;
    spec.fields = {fld("M", FieldType::Money)};
    auto file = std::make_unique<MemoryTable>(spec);
    for (double v : {49.95, -1234.5, 1234567.0})
        file->insert({Value(v)});
    Table t;
    t.open(std::move(file));
    setSystemCurrencyFormat(saved);
    EXPECT_EQ(t.displayTextAt(0, 0), "49,95\u00A0Ft");
    EXPECT_EQ(t.displayTextAt(1, 0), "-1\u00A0234,50\u00A0Ft");
    EXPECT_EQ(t.displayTextAt(2, 0), "1\u00A0234\u00A0567,00\u00A0Ft");

    // Read back as written, and as typed with plain blanks, with or without the symbol.
    TextFormat fmt;
    fmt.currency = hu;
    const FieldDef money = fld("M", FieldType::Money);
    for (const char* typed : {"49,95\u00A0Ft", "49,95 Ft", "49,95", " 49,95Ft "})
        EXPECT_EQ(std::get<double>(parseValue(money, typed, fmt)), 49.95) << typed;
    EXPECT_EQ(std::get<double>(parseValue(money, "-1 234,50 Ft", fmt)), -1234.5);
    EXPECT_EQ(std::get<double>(parseValue(money, "(1\u00A0234,50\u00A0Ft)", fmt)), -1234.5);
    // Where the thousands go with a point, the point is no decimal sign.
    CurrencyFormat de = hu;
    de = std::string("\u20AC");
    de.group = ".";
    fmt.currency = de;
    EXPECT_EQ(fmt.currency.after, "\u00A0\u20AC");
    EXPECT_EQ(std::get<double>(parseValue(money, "1.234,50 \u20AC", fmt)), 1234.5);
    EXPECT_EQ(formatValue(money, Value(1234.5), fmt), "1.234,50\u00A0\u20AC");
    // A number field keeps its own text, whatever the currency.
    EXPECT_EQ(std::get<double>(parseValue(fld("N", FieldType::Number), "1234.5", fmt)), 1234.5);
}

TEST(DatasetEditing, MemoryTableRefusesABadRecordWithoutChange)
{
    auto file = numberedNotes(2);
    const Value text(std::string("text"));
    EXPECT_THROW(file->insert({Value(int64_t(9)), Value(int64_t(5)), text, Value(), Value(), Value()}), EngineError);
    EXPECT_THROW(file->insert({Value(int64_t(9))}), EngineError);
    EXPECT_EQ(file->recordIds().size(), 2u);
    const RecordId first = file->recordIds()[0];
    EXPECT_THROW(file->update(first, {Value(int64_t(1)), Value(int64_t(5)), text, Value(), Value(), Value()}), EngineError);
    EXPECT_EQ(std::get<std::string>(file->value(first, 1)), "Topic 1");
    EXPECT_THROW(file->value(999, 0), EngineError);
    file->remove(first);
    EXPECT_THROW(file->value(first, 0), EngineError);
    EXPECT_EQ(file->recordIds().size(), 1u);
}

// Posts and deletes update the positions in place when the records show in file order without
// a filter: every row, bookmark and record number must stay as a fresh look at the file has it.
TEST(DatasetEditing, PostsAndDeletesKeepEveryPositionRight)
{
    auto file = numberedNotes(50);
    MemoryTable* raw = file.get();
    Table t;
    t.open(std::move(file));
    t.moveTo(40);
    const Bookmark late = t.getBookmark();   // ID 41
    for (int k = 0; k < 12; ++k) {
        if (k % 3 == 2) {
            t.moveTo(k * 2);
            t.remove();
        } else {
            t.append();
            t.setValue(0, int64_t(100 + k));
            t.setText("Topic", "added " + std::to_string(k));
            t.post();
            EXPECT_EQ(currentId(t), 100 + k);
            t.edit();
            t.setText("Topic", "edited " + std::to_string(k));
            t.post();
            EXPECT_EQ(currentId(t), 100 + k);
        }
        const auto& ids = raw->recordIds();
        ASSERT_EQ(t.recordCount(), int(ids.size()));
        for (int row = 0; row < t.recordCount(); row += 7) {
            t.moveTo(row);
            EXPECT_EQ(*t.currentId(), ids[size_t(row)]) << "row " << row << " after step " << k;
        }
        t.gotoBookmark(late);
        EXPECT_EQ(currentId(t), 41);
        EXPECT_EQ(*t.currentId(), ids[size_t(t.recNo())]);
    }
}
