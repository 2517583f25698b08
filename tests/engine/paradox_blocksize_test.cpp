#include "engine/paradox/pxwriter.h"

#include <gtest/gtest.h>

using tv::px::blockKiBFor;

// A Paradox header counts at most 65,535 blocks: a table that outgrows its block size is
// written with the next larger one, never refused while 32 KiB blocks can still hold it.
TEST(ParadoxBlockSize, GrowsWithTheRecordCount)
{
    // 730-byte records (the question base): five to a 4 KiB block.
    EXPECT_EQ(blockKiBFor(0, 730, 4), 4);
    EXPECT_EQ(blockKiBFor(65535 * 5, 730, 4), 4);
    EXPECT_EQ(blockKiBFor(65535 * 5 + 1, 730, 4), 8);
    EXPECT_EQ(blockKiBFor(1000000, 730, 4), 16);
    EXPECT_EQ(blockKiBFor(3000000, 730, 4), 32);
    // Never below what the table already has, never above 32.
    EXPECT_EQ(blockKiBFor(10, 730, 16), 16);
    EXPECT_EQ(blockKiBFor(100000000, 730, 4), 32);
    // Records longer than a small block start with a block that holds one.
    EXPECT_EQ(blockKiBFor(1, 6000, 4), 8);
}
