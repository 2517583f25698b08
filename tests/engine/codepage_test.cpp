#include "engine/codepage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tv;

namespace {

const int kAllCodePages[] = {437, 737, 850, 852, 857, 860, 861, 863, 865, 866, 874,
                             1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, kCodePageRoman8};

std::string byte(int b) { return std::string(1, char(b)); }

} // namespace

TEST(CodePage, EveryDefinedByteRoundTrips)
{
    for (int cp : kAllCodePages) {
        SCOPED_TRACE(cp);
        EXPECT_TRUE(isKnownCodePage(cp));
        int defined = 0;
        for (int b = 0; b < 256; ++b) {
            const std::string utf8 = decodeText(cp, byte(b));
            ASSERT_FALSE(utf8.empty()) << b;
            if (utf8 == "\xEF\xBF\xBD") {  // U+FFFD: byte undefined in this code page
                EXPECT_EQ(encodeText(cp, utf8), "?") << b;
                continue;
            }
            ++defined;
            EXPECT_EQ(encodeText(cp, utf8), byte(b)) << "byte " << b;
        }
        EXPECT_GE(defined, 220);
    }
}

TEST(CodePage, LowHalfIsAsciiAndControlsAreNotPictures)
{
    std::vector<int> pages(std::begin(kAllCodePages), std::end(kAllCodePages));
    for (int cp : {932, 936, 949, 950})
        if (isKnownCodePage(cp))
            pages.push_back(cp);
    for (int cp : pages) {
        SCOPED_TRACE(cp);
        for (int b = 0; b < 0x80; ++b)
            EXPECT_EQ(decodeText(cp, byte(b)), byte(b)) << b;
    }
    // A whole string keeps its embedded NUL and control bytes.
    const std::string raw("a\0b\x01\x1F\x7F", 6);
    EXPECT_EQ(decodeText(437, raw), raw);
    EXPECT_EQ(encodeText(437, raw), raw);
}

TEST(CodePage, CharactersFromTheCharts)
{
    EXPECT_EQ(decodeText(437, "\x82"), "é");
    EXPECT_EQ(decodeText(437, "\xB0\xDB\xE1"), "░█ß");
    EXPECT_EQ(decodeText(850, "\xD5\x9B"), "ıø");
    EXPECT_EQ(decodeText(852, "\xA5\x9F"), "ąč");
    EXPECT_EQ(decodeText(865, "\x9B\x9D\xAF"), "øØ¤");
    EXPECT_EQ(decodeText(866, "\x80\xA0\xE0\xF0"), "АарЁ");
    EXPECT_EQ(decodeText(1250, "\x8A\xB9"), "Šą");
    EXPECT_EQ(decodeText(1251, "\xC0\xFF\xA8"), "АяЁ");
    EXPECT_EQ(decodeText(1252, "\x80\x85\xE9"), "€…é");
    EXPECT_EQ(decodeText(1253, "\xC1\xF9"), "Αω");
    EXPECT_EQ(decodeText(1254, "\xD0\xFD"), "Ğı");
    EXPECT_EQ(decodeText(1255, "\xE0"), "א");
    EXPECT_EQ(decodeText(1256, "\xC7"), "ا");
    EXPECT_EQ(decodeText(1257, "\xC0\xFE"), "Ąž");
    EXPECT_EQ(decodeText(874, "\xA1"), "ก");
    EXPECT_EQ(decodeText(737, "\x80"), "Α");
    EXPECT_EQ(decodeText(kCodePageRoman8, "\xA1\xC4\xDA\xDE"), "ÀáÖß");
    EXPECT_EQ(encodeText(1251, "Привет"), "\xCF\xF0\xE8\xE2\xE5\xF2");
}

TEST(CodePage, UndefinedBytesDecodeToReplacementCharacter)
{
    for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(decodeText(1252, byte(b)), "\xEF\xBF\xBD") << b;
    EXPECT_EQ(decodeText(1251, "\x98"), "\xEF\xBF\xBD");
    EXPECT_EQ(decodeText(874, "\xFF"), "\xEF\xBF\xBD");
}

TEST(CodePage, UnknownCodePageActsAs1252)
{
    EXPECT_FALSE(isKnownCodePage(0));
    EXPECT_FALSE(isKnownCodePage(99999));
    for (int cp : {0, -1, 2000, 99999}) {
        EXPECT_EQ(decodeText(cp, "\x80\xE9"), "€é") << cp;
        EXPECT_EQ(encodeText(cp, "€é"), "\x80\xE9") << cp;
    }
}

TEST(CodePage, EncodeReplacesWhatTheCodePageCannotHold)
{
    EXPECT_EQ(encodeText(437, "a€b"), "a?b");      // no euro sign in 437
    EXPECT_EQ(encodeText(1252, "Жx"), "?x");
    EXPECT_EQ(encodeText(1252, "😀"), "?");         // outside the BMP
    // Malformed UTF-8: stray continuation, truncated sequence, overlong NUL, surrogate.
    EXPECT_EQ(encodeText(1252, "a\x80z"), "a?z");
    EXPECT_EQ(encodeText(1252, "a\xC3"), "a?");
    EXPECT_EQ(encodeText(1252, "\xC0\x80"), "??");
    EXPECT_EQ(encodeText(1252, "\xED\xA0\x80"), "???");
    EXPECT_EQ(encodeText(1252, ""), "");
}

TEST(CodePage, LanguageDriverBytes)
{
    struct Case { uint8_t ldid; int cp; };
    const Case cases[] = {
        {0x00, 1252}, {0x01, 437}, {0x02, 850}, {0x03, 1252}, {0x57, 1252}, {0x1B, 437}, {0x19, 437},
        {0x37, 850},  {0x64, 852}, {0x87, 852}, {0x65, 866}, {0x26, 866},   {0x66, 865}, {0x17, 865},
        {0x67, 861},  {0x6A, 737}, {0x86, 737}, {0x6B, 857}, {0x88, 857},   {0xC8, 1250}, {0xC9, 1251},
        {0xCA, 1254}, {0xCB, 1253}, {0xCC, 1257}, {0x4D, 936}, {0x7B, 932}, {0x4E, 949}, {0x78, 950},
        {0x7C, 874},  {0x7D, 1255}, {0x7E, 1256}, {0x1C, 863}, {0x6C, 863}, {0x24, 860},
    };
    for (const Case& c : cases) {
        bool known = false;
        EXPECT_EQ(codePageForLanguageDriver(c.ldid, known), c.cp) << int(c.ldid);
        EXPECT_TRUE(known) << int(c.ldid);
    }
    for (uint8_t unknown : {0xF0, 0x68, 0x69, 0xFF}) {
        bool known = true;
        EXPECT_EQ(codePageForLanguageDriver(unknown, known), 1252);
        EXPECT_FALSE(known) << int(unknown);
    }
    // What the writer stores reads back as the same code page.
    for (int cp : kAllCodePages) {
        if (cp == kCodePageRoman8)
            continue;
        bool known = false;
        EXPECT_EQ(codePageForLanguageDriver(languageDriverForCodePage(cp), known), cp);
        EXPECT_TRUE(known);
    }
}

TEST(CodePage, DoubleByteCodePages)
{
    for (int cp : {932, 936, 949, 950})
        if (!isKnownCodePage(cp))
            GTEST_SKIP() << "the C library has no converter for code page " << cp;
    EXPECT_EQ(decodeText(936, "id \xC4\xE3\xBA\xC3!"), "id 你好!");
    EXPECT_EQ(decodeText(932, "\x82\xA0\x83\x41"), "あア");
    EXPECT_EQ(decodeText(949, "\xB0\xA1"), "가");
    EXPECT_EQ(decodeText(950, "\xA4\x40"), "一");
    // Control bytes stay as they are; a lead byte without its trail byte is undefined.
    EXPECT_EQ(decodeText(936, std::string("a\0\x1F", 3)), std::string("a\0\x1F", 3));
    EXPECT_EQ(decodeText(936, "x\xC4"), "x\xEF\xBF\xBD");
    EXPECT_EQ(decodeText(932, "\xA0z"), "\xEF\xBF\xBDz");  // 0xA0 starts nothing in 932
    // A bad end the converter reports only after taking in everything (a fuzzer's find).
    EXPECT_NO_THROW(decodeText(949, "\x04\xA2\xE8"));
    EXPECT_EQ(decodeText(949, "\x04\xA2\xE8").substr(0, 1), "\x04");

    for (int cp : {932, 936, 949, 950}) {
        SCOPED_TRACE(cp);
        const std::string text = decodeText(cp, encodeText(cp, "ASCII 123"));
        EXPECT_EQ(text, "ASCII 123");
        EXPECT_EQ(encodeText(cp, "😀x"), "?x");
        EXPECT_EQ(encodeText(cp, "a\xC3"), "a?");
    }
    EXPECT_EQ(encodeText(936, "你好"), "\xC4\xE3\xBA\xC3");
    EXPECT_EQ(encodeText(932, "あ€"), "\x82\xA0?");  // no euro sign in 932
    EXPECT_EQ(encodeText(950, "一"), "\xA4\x40");
    EXPECT_EQ(encodeText(949, "가Ж"), "\xB0\xA1\xAC\xA8");
}

TEST(CodePage, NamesUtf8AndWhatIconvKnows)
{
    struct Case { const char* name; int cp; };
    for (const Case& c : {Case{"1251", 1251}, Case{"cp866", 866}, Case{"CP1250", 1250}, Case{"ANSI 1250", 1250},
                          Case{"windows-1252", 1252}, Case{"OEM 437", 437}, Case{" ibm850 ", 850}, Case{"utf-8", kCodePageUtf8},
                          Case{"UTF8", kCodePageUtf8}, Case{"65001", kCodePageUtf8}, Case{"roman8", kCodePageRoman8}}) {
        EXPECT_EQ(codePageByName(c.name), c.cp) << c.name;
    }
    for (const char* unknown : {"", "martian", "cp", "12345678", "1252x"})
        EXPECT_EQ(codePageByName(unknown), 0) << unknown;

    // UTF-8 as it stands; what is not UTF-8 reads as U+FFFD and is written as '?'.
    EXPECT_EQ(decodeText(kCodePageUtf8, "Ωx\xC3"), "Ωx\xEF\xBF\xBD");
    EXPECT_EQ(encodeText(kCodePageUtf8, "Ω\xFF\xEF\xBF\xBD"), "Ω?\xEF\xBF\xBD");

    // Code pages only iconv has, by name or by their Windows number; the same name twice is the
    // same code page.
    const int koi8 = codePageByName("koi8-r");
    ASSERT_NE(koi8, 0);
    EXPECT_TRUE(isKnownCodePage(koi8));
    EXPECT_EQ(codePageByName("KOI8-R"), koi8);
    EXPECT_EQ(codePageByName("20866"), koi8);
    EXPECT_EQ(codePageName(koi8), "koi8-r");   // as first named
    EXPECT_EQ(decodeText(koi8, "\xF0\xD2\xC9\xD7\xC5\xD4!"), "Привет!");
    EXPECT_EQ(encodeText(koi8, "Привет€"), "\xF0\xD2\xC9\xD7\xC5\xD4?");
    const int latin9 = codePageByName("8859_15");
    EXPECT_EQ(decodeText(latin9, "\xA4"), "€");
    EXPECT_EQ(latin9, codePageByName("ISO-8859-15"));
    EXPECT_EQ(decodeText(codePageByName("gbk"), "\xC4\xE3"), "你");
    EXPECT_EQ(decodeText(codePageByName("cp1258"), "\xCC"), "\xCC\x80");   // a combining grave accent
    EXPECT_EQ(codePageName(1251), "1251");
    EXPECT_EQ(codePageName(kCodePageUtf8), "UTF-8");
}
