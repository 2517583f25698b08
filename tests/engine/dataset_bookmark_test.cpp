#include "dataset_testutil.h"

#include <gtest/gtest.h>

using namespace tv;
using namespace tvtest;

TEST(DatasetBookmarks, GoBackAgainAndAgain)
{
    Table t;
    t.open(numberedNotes(40));
    t.moveTo(11);
    const Bookmark b = t.getBookmark();
    EXPECT_TRUE(b);
    t.moveTo(29);
    t.gotoBookmark(b);
    EXPECT_EQ(currentId(t), 12);
    t.last();
    t.gotoBookmark(b);
    EXPECT_EQ(currentId(t), 12);
    EXPECT_FALSE(t.atEnd());
    t.freeBookmark(b);
    EXPECT_THROW(t.gotoBookmark(b), EngineError);
    t.freeBookmark(b);              // freeing twice is harmless
    t.freeBookmark(Bookmark{});
}

TEST(DatasetBookmarks, SurviveOrderFilterAndEditsOfOtherRecords)
{
    Table t;
    t.open(numberedNotes(30));
    t.moveTo(4);   // ID 5, category "C" (5 % 3 == 2)
    const Bookmark b = t.getBookmark();
    t.setIndexName("CatTopic");
    t.setFilter({FieldCondition{"Category", "", fdMatchExact, "C", "", "", false}});
    t.first();
    t.edit();
    t.setText("Topic", "aaa edited");
    t.post();
    t.moveTo(0);
    t.remove();   // another record goes
    t.last();
    t.gotoBookmark(b);
    EXPECT_EQ(currentId(t), 5);
    t.clearFilter();
    t.setIndexName("");
    t.first();
    t.gotoBookmark(b);
    EXPECT_EQ(currentId(t), 5);
    EXPECT_EQ(t.recNo(), 4);   // IDs 1..4 come first; the deleted record (14) came later
}

TEST(DatasetBookmarks, HiddenOrDeletedRecordFailsWithoutMoving)
{
    Table t;
    t.open(numberedNotes(10));
    t.moveTo(2);   // ID 3, category "A"
    const Bookmark b = t.getBookmark();
    t.setFilter({FieldCondition{"Category", "", fdMatchExact, "B", "", "", false}});
    t.moveTo(1);
    const RecordId before = *t.currentId();
    EXPECT_FALSE(t.bookmarkValid(b));
    try {
        t.gotoBookmark(b);
        FAIL();
    } catch (const EngineError& e) {
        EXPECT_NE(std::string(e.what()).find("filter"), std::string::npos);
    }
    EXPECT_EQ(*t.currentId(), before);
    t.clearFilter();
    EXPECT_TRUE(t.bookmarkValid(b));
    t.gotoBookmark(b);
    t.remove();
    t.first();
    EXPECT_THROW(t.gotoBookmark(b), EngineError);
    EXPECT_EQ(currentId(t), 1);
}

TEST(DatasetBookmarks, NeedACurrentRecordAndDieWithTheTable)
{
    Table t;
    t.open(notesFile());
    EXPECT_THROW(t.getBookmark(), EngineError);
    t.close();
    t.open(numberedNotes(3));
    t.first();
    const Bookmark b = t.getBookmark();
    t.close();
    t.open(numberedNotes(3));
    EXPECT_THROW(t.gotoBookmark(b), EngineError);
}
