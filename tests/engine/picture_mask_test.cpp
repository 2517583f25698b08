#include "engine/dataset/picture.h"
#include "engine/engineerror.h"

#include <gtest/gtest.h>

using namespace tv;

TEST(PictureMask, SizeGroupsOfDigits)
{
    const PictureMask m("[###,][###,][###]");
    // Each '#' stands for one digit, so every group that is there is complete.
    for (const char* ok : {"", "123", "123,", "123,456", "123,456,789", "123,456,", "123,123,"})
        EXPECT_TRUE(m.matches(ok)) << ok;
    for (const char* bad : {"1234", "123,4567", "abc", "123,456,789,012", ",", "12 3", "1234567", "12"})
        EXPECT_FALSE(m.matches(bad)) << bad;
    // The comma is never filled in by itself: a fourth digit may still start a new group.
    EXPECT_EQ(m.fillLiterals("123"), "123");
}

TEST(PictureMask, PrivateDateWithLiteralFillIn)
{
    const PictureMask m("#[#]/#[#]/##[##]");
    for (const char* ok : {"1/2/99", "01/02/1999", "12/31/2000", "1/22/33"})
        EXPECT_TRUE(m.matches(ok)) << ok;
    for (const char* bad : {"1/2/3", "1/2/199", "123/1/99", "1-2-99", "a/b/cc", "1/2/99/", "1//99", ""})
        EXPECT_FALSE(m.matches(bad)) << bad;
    // While typing: a slash follows only where nothing else may.
    EXPECT_EQ(m.fillLiterals("1"), "1");
    EXPECT_EQ(m.fillLiterals("12"), "12/");
    EXPECT_EQ(m.fillLiterals("12/3"), "12/3");
    EXPECT_EQ(m.fillLiterals("12/31"), "12/31/");
    EXPECT_EQ(m.fillLiterals("12/31/19"), "12/31/19");
    EXPECT_EQ(m.fillLiterals("x"), "x");   // not a possible beginning: left alone
    EXPECT_TRUE(m.isPrefix("1/"));
    EXPECT_TRUE(m.isPrefix(""));
    EXPECT_FALSE(m.isPrefix("1a"));
    EXPECT_FALSE(m.isPrefix("12/31/19999"));
}

TEST(PictureMask, CharacterClassesAndCaseForcing)
{
    EXPECT_TRUE(PictureMask("???").matches("aBc"));
    EXPECT_FALSE(PictureMask("???").matches("a1c"));
    EXPECT_TRUE(PictureMask("@@").matches("#!"));
    EXPECT_EQ(PictureMask("&&&").normalized("abc"), "ABC");
    EXPECT_FALSE(PictureMask("&").matches("1"));
    EXPECT_EQ(PictureMask("!!").normalized("a1"), "A1");
    // Literal letters match either case and are written as the mask has them.
    EXPECT_TRUE(PictureMask("ID-###").matches("id-123"));
    EXPECT_EQ(PictureMask("ID-###").normalized("id-123"), "ID-123");
    EXPECT_EQ(PictureMask("ID-###").fillLiterals(""), "ID-");
    EXPECT_EQ(PictureMask("&#").fillLiterals("a"), "A");
}

TEST(PictureMask, EscapesRepeatsOptionalsAndChoices)
{
    EXPECT_TRUE(PictureMask(";#;*#").matches("#*5"));
    EXPECT_FALSE(PictureMask(";#").matches("5"));
    EXPECT_TRUE(PictureMask("*3#").matches("123"));
    EXPECT_FALSE(PictureMask("*3#").matches("12"));
    EXPECT_TRUE(PictureMask("*#").matches(""));
    EXPECT_TRUE(PictureMask("*#").matches("0123456789"));
    EXPECT_TRUE(PictureMask("&*?").matches("Paradox"));
    EXPECT_TRUE(PictureMask("*{#,?}").matches("a1b2"));
    EXPECT_TRUE(PictureMask("{Yes,No}").matches("no"));
    EXPECT_EQ(PictureMask("{Yes,No}").normalized("no"), "No");
    EXPECT_FALSE(PictureMask("{Yes,No}").matches("Maybe"));
    EXPECT_TRUE(PictureMask("{Jan,Feb,Mar} ##").matches("Feb 12"));
    EXPECT_EQ(PictureMask("{Jan,Feb,Mar}").fillLiterals("F"), "Feb");
    EXPECT_TRUE(PictureMask("(###) ###-####").matches("(555) 123-4567"));
    EXPECT_EQ(PictureMask("(###) ###-####").fillLiterals("555"), "(555) ");
    EXPECT_TRUE(PictureMask("[(###)]###").matches("123"));
    EXPECT_TRUE(PictureMask("[{a,b}[#]]c").matches("b1c"));
    EXPECT_TRUE(PictureMask("[{a,b}[#]]c").matches("c"));
    EXPECT_FALSE(PictureMask("[{a,b}[#]]c").matches("1c"));
}

TEST(PictureMask, MalformedMasksAreRejectedAndEmptyAcceptsAll)
{
    for (const char* bad : {"[##", "##]", "{a,b", "a}", ";", "*", "[*]"})
        EXPECT_THROW(PictureMask{bad}, EngineError) << bad;
    const PictureMask none;
    EXPECT_TRUE(none.empty());
    EXPECT_TRUE(none.matches("anything at all"));
    EXPECT_EQ(none.fillLiterals("x"), "x");
    // A long text against an open repeat stays quick and exact.
    const std::string digits(5000, '7');
    EXPECT_TRUE(PictureMask("*#").matches(digits));
    EXPECT_FALSE(PictureMask("*#").matches(digits + "x"));
}
