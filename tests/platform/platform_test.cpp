#include "platform/platform.h"

#include <QLocale>

#include <gtest/gtest.h>

using tv::platform::parseMeminfo;

TEST(Meminfo, TotalAndLoadFromAvailable)
{
    const char* text = "MemTotal:       16384000 kB\n"
                       "MemFree:         1000000 kB\n"
                       "MemAvailable:   10321920 kB\n"
                       "Buffers:          200000 kB\n";
    auto s = parseMeminfo(text);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->totalPhysBytes, 16384000ull * 1024);
    EXPECT_EQ(s->memoryLoad, 37);  // (16384000 - 10321920) / 16384000 = 37.0 %
}

TEST(Meminfo, OldKernelsWithoutMemAvailableUseFreeBuffersCached)
{
    const char* text = "MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 50 kB\nCached: 350 kB\n";
    auto s = parseMeminfo(text);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->memoryLoad, 50);
}

TEST(Meminfo, RejectsMissingOrBrokenTotals)
{
    EXPECT_FALSE(parseMeminfo(""));
    EXPECT_FALSE(parseMeminfo("MemFree: 100 kB\n"));
    EXPECT_FALSE(parseMeminfo("MemTotal: 0 kB\n"));
    EXPECT_FALSE(parseMeminfo("MemTotal: lots kB\n"));
    // A key that only starts like MemTotal is not MemTotal.
    EXPECT_FALSE(parseMeminfo("MemTotalX: 100 kB\n"));
}

TEST(Meminfo, AvailableAboveTotalClampsToZeroLoad)
{
    auto s = parseMeminfo("MemTotal: 100 kB\nMemAvailable: 500 kB");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->memoryLoad, 0);
}

TEST(Meminfo, RealMachineGivesSaneFigures)
{
    auto s = tv::platform::memoryStatus();
    EXPECT_GT(s.totalPhysBytes, 0u);
    EXPECT_GE(s.memoryLoad, 0);
    EXPECT_LE(s.memoryLoad, 100);
}

TEST(Keys, InsertIsTrackedFromKeyPresses)
{
    tv::platform::resetInsertState();
    EXPECT_FALSE(tv::platform::insertOn());
    tv::platform::noteInsertKeyPress();
    EXPECT_TRUE(tv::platform::insertOn());
    tv::platform::noteInsertKeyPress();
    EXPECT_FALSE(tv::platform::insertOn());
}

TEST(Keys, TogglesReadAsOffWithoutADisplay)
{
    // No application object and no X display: the fallbacks answer, never crash.
    EXPECT_FALSE(tv::platform::capsLockOn());
    EXPECT_FALSE(tv::platform::numLockOn());
}

TEST(Help, TheHelpFileNamesTheGuidesPages)
{
    using tv::platform::HelpCommand;
    EXPECT_EQ(tv::platform::resolveHelpFile("/abs/Tipvault.hlp", HelpCommand::Contents), QString("/abs/tipvault.html"));
    EXPECT_EQ(tv::platform::resolveHelpFile("/abs/Tipvault.hlp", HelpCommand::Finder), QString("/abs/tipvault-index.html"));
}

TEST(Locale, ShortDateHasAFourDigitYear)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(tv::platform::shortDateFormat(), QString("M/d/yyyy"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(tv::platform::shortDateFormat(), QString("dd.MM.yyyy"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_FALSE(tv::platform::longTimeFormat().contains('t'));
}

TEST(Locale, ShortDatesReadWholeWithACenturyWindow)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(tv::platform::parseShortDate("01/02/1999"), QDate(1999, 1, 2));
    EXPECT_EQ(tv::platform::parseShortDate("1/2/99"), QDate(1999, 1, 2));
    EXPECT_EQ(tv::platform::parseShortDate("12/31/05"), QDate(2005, 12, 31));
    EXPECT_FALSE(tv::platform::parseShortDate("2/30/1999").isValid());
    EXPECT_FALSE(tv::platform::parseShortDate("1/2/99x").isValid());
    EXPECT_FALSE(tv::platform::parseShortDate("").isValid());
}
