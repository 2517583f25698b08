#include "dataset_testutil.h"

#include <gtest/gtest.h>

using namespace tv;
using namespace tvtest;

TEST(DatasetNavigation, EmptyTableSetsBothIndicatorsAndNeverMoves)
{
    Table t;
    t.open(notesFile());
    EXPECT_EQ(t.recordCount(), 0);
    t.first();
    EXPECT_TRUE(t.atBeginning());
    EXPECT_TRUE(t.atEnd());
    t.next();
    EXPECT_TRUE(t.atEnd());
    EXPECT_EQ(t.moveBy(-10), 0);
    EXPECT_EQ(t.recNo(), -1);
    EXPECT_EQ(t.displayText(1), "");
    EXPECT_EQ(t.asInteger(0), 0);
}

TEST(DatasetNavigation, MovesStopAtTheEndsAndSetTheIndicatorOnlyWhenPassing)
{
    Table t;
    t.open(numberedNotes(15));
    t.first();
    EXPECT_TRUE(t.atBeginning());
    EXPECT_FALSE(t.atEnd());
    // Current record 5, back 10: stops on record 1 with at-beginning set.
    t.moveBy(4);
    EXPECT_EQ(currentId(t), 5);
    EXPECT_FALSE(t.atBeginning());
    EXPECT_EQ(t.moveBy(-10), -4);
    EXPECT_EQ(currentId(t), 1);
    EXPECT_TRUE(t.atBeginning());

    // Current record 2: prior lands on 1 without the indicator; a second prior sets it.
    t.moveBy(1);
    EXPECT_FALSE(t.atBeginning());
    t.prior();
    EXPECT_EQ(currentId(t), 1);
    EXPECT_FALSE(t.atBeginning());
    t.prior();
    EXPECT_EQ(currentId(t), 1);
    EXPECT_TRUE(t.atBeginning());

    // Forward: landing on the last record does not set at-end; trying to pass it does.
    t.moveBy(13);
    EXPECT_EQ(currentId(t), 14);
    t.next();
    EXPECT_EQ(currentId(t), 15);
    EXPECT_FALSE(t.atEnd());
    t.next();
    EXPECT_TRUE(t.atEnd());
    EXPECT_EQ(currentId(t), 15);
    // While at the end a forward move does nothing; a backward one clears it.
    EXPECT_EQ(t.moveBy(10), 0);
    t.prior();
    EXPECT_FALSE(t.atEnd());
    EXPECT_EQ(currentId(t), 14);

    t.last();
    EXPECT_TRUE(t.atEnd());
    EXPECT_FALSE(t.atBeginning());
    EXPECT_EQ(t.moveBy(-20), -14);
    EXPECT_TRUE(t.atBeginning());
    EXPECT_FALSE(t.atEnd());
}

TEST(DatasetNavigation, SingleRecordTable)
{
    Table t;
    t.open(numberedNotes(1));
    t.first();
    EXPECT_TRUE(t.atBeginning());
    EXPECT_FALSE(t.atEnd());
    t.next();
    EXPECT_TRUE(t.atEnd());
    EXPECT_FALSE(t.atBeginning());
    EXPECT_EQ(currentId(t), 1);
}

TEST(DatasetNavigation, RowsOfTheVisibleSetAreReadWithoutMoving)
{
    Table t;
    t.open(numberedNotes(5));
    t.first();
    EXPECT_EQ(t.displayTextAt(3, 1), "Topic 4");
    EXPECT_EQ(t.recNo(), 0);
    t.moveTo(3);
    EXPECT_EQ(t.recNo(), 3);
    EXPECT_EQ(currentId(t), 4);
    EXPECT_EQ(t.visibleIds().size(), 5u);
    EXPECT_THROW(t.moveTo(5), EngineError);
    EXPECT_THROW(t.displayTextAt(-1, 1), EngineError);
    EXPECT_THROW(t.displayTextAt(0, 6), EngineError);
}

TEST(DatasetNavigation, ClosedTableBehaviour)
{
    Table t;
    EXPECT_FALSE(t.isOpen());
    t.close();   // nothing happens
    EXPECT_EQ(t.state(), TableState::Inactive);
    EXPECT_EQ(t.fieldCount(), 0);
    EXPECT_THROW(t.first(), EngineError);
    t.open(numberedNotes(3));
    EXPECT_TRUE(t.isOpen());
    t.close();
    t.close();
    EXPECT_FALSE(t.isOpen());
    EXPECT_EQ(t.recordCount(), 0);
}

TEST(DatasetNavigation, FieldsByNameIgnoreLetterCase)
{
    Table t;
    t.open(numberedNotes(2));
    EXPECT_EQ(t.fieldCount(), 6);
    EXPECT_EQ(t.fieldIndex("topic"), 1);
    EXPECT_EQ(t.fieldIndex("DESCRIPTION"), 5);
    EXPECT_EQ(t.fieldIndex("Nope"), -1);
    EXPECT_THROW(t.fieldByName("Nope"), EngineError);
    t.first();
    EXPECT_EQ(t.displayText("TOPIC"), "Topic 1");
    EXPECT_EQ(t.asInteger("id"), 1);
}

TEST(DatasetNavigation, ListenersHearMovesAndCanBeRemoved)
{
    Table t;
    t.open(numberedNotes(5));
    int moves = 0;
    const ListenerId id = t.addCurrentChangedListener([&] { ++moves; });
    t.first();   // already there: no change
    EXPECT_EQ(moves, 0);
    t.next();
    t.last();
    EXPECT_EQ(moves, 2);
    t.next();   // nothing moves
    EXPECT_EQ(moves, 2);
    t.removeListener(id);
    t.first();
    EXPECT_EQ(moves, 2);

    // A listener that removes itself while being called.
    int calls = 0;
    ListenerId self = 0;
    self = t.addCurrentChangedListener([&] {
        ++calls;
        t.removeListener(self);
    });
    t.next();
    t.next();
    EXPECT_EQ(calls, 1);
}
