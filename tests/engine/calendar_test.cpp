#include "engine/tablefile.h"

#include <gtest/gtest.h>

using namespace tv;

TEST(Calendar, DayOneIsFirstOfJanuaryYearOne)
{
    EXPECT_EQ(dateFromYmd(1, 1, 1).day, 1);
    EXPECT_EQ(dateFromYmd(1, 12, 31).day, 365);
    EXPECT_EQ(dateFromYmd(2, 1, 1).day, 366);
}

TEST(Calendar, RoundTripsAcrossLeapRules)
{
    for (int day : {1, 59, 60, 365, 366, 693596, 729755, 730179, 3652059}) {
        int y, m, d;
        ymdFromDate(Date{day}, y, m, d);
        EXPECT_TRUE(isValidYmd(y, m, d)) << day;
        EXPECT_EQ(dateFromYmd(y, m, d).day, day);
    }
    int y, m, d;
    ymdFromDate(dateFromYmd(2000, 2, 29), y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20000229);
    EXPECT_FALSE(isValidYmd(1900, 2, 29));
    EXPECT_TRUE(isValidYmd(2000, 2, 29));
    EXPECT_FALSE(isValidYmd(1999, 4, 31));
    EXPECT_FALSE(isValidYmd(0, 1, 1));
}

TEST(TypeLetters, DumpLettersForBothFormats)
{
    EXPECT_EQ(typeLetter(FieldType::AutoInc), "+");
    EXPECT_EQ(typeLetter(FieldType::Bcd), "#");
    EXPECT_EQ(typeLetter(FieldType::DbMemo), "dM");
    EXPECT_EQ(kindOf(FieldType::FmtMemo), FieldKind::Memo);
    EXPECT_EQ(kindOf(FieldType::DbNumeric), FieldKind::Float);
}
