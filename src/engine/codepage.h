#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tv {

// Single-byte code pages of Paradox and dBASE tables. Text is held as UTF-8 inside the
// program and converted at the file boundary.
//
// Bytes 0x00-0x1F and 0x7F map to the same code points; a byte the code page does not
// define decodes to U+FFFD. An unknown code page is treated as 1252.
//
// Supported: 437, 737, 850, 852, 857, 860, 861, 863, 865, 866, 874, 1250-1257,
// HP Roman-8 (kCodePageRoman8), UTF-8 (kCodePageUtf8) and, through the C library's converters,
// the double-byte code pages 932, 936, 949 and 950 and every code page codePageByName finds
// there (a byte that starts no character decodes to U+FFFD).

// HP Roman-8 has no DOS/Windows number of its own; this is its IBM number (CCSID 1051).
// Paradox tables whose sort order is "BLROM800" store their text in it.
constexpr int kCodePageRoman8 = 1051;

// UTF-8 under its Windows number. Bytes that are not UTF-8 decode to U+FFFD.
constexpr int kCodePageUtf8 = 65001;

bool isKnownCodePage(int codePage);
// The code page a name gives: a number with or without a prefix ("1251", "cp866", "CP1250",
// "ANSI 1250", "windows-1252", "ibm850", "OEM 437"), "UTF-8"/"utf8"/"65001", a GIS ".cpg" short
// form of ISO 8859 ("88591", "8859_5"), "roman8", or any name the C library's iconv knows
// ("koi8-r", "gbk", "ISO-8859-15"); a name that only iconv knows gets a number of its own
// above 0xFFFF for as long as the program runs. 0 when the name gives none.
int codePageByName(std::string_view name);
// How to name a code page again: "1252", "UTF-8", or the iconv name it was found under.
std::string codePageName(int codePage);
// What codePageByName takes, for messages about a name it did not know.
extern const char* const kCodePageNaming;
std::string decodeText(int codePage, std::string_view bytes);
// Characters the code page cannot hold (and malformed UTF-8) are written as '?'.
std::string encodeText(int codePage, std::string_view utf8);

// What bytes are as text: plain ASCII, UTF-8 with more than ASCII (a character cut off at the
// very end allowed, as a field of fixed width may cut one), or neither.
enum class Utf8Kind { Ascii, Utf8, Other };
Utf8Kind classifyUtf8(std::string_view bytes);

// a-z to A-Z; every other byte stays (so UTF-8 and code-page text stay intact).
std::string foldAsciiUpper(std::string_view s);
// Without leading and trailing blanks and tabs.
std::string_view trimBlanks(std::string_view s);

// The code page named by a dBASE language driver byte (header byte 0x1D). 0x00 (no driver
// given) means the Windows ANSI code page 1252. For a byte that names no known driver,
// `known` is set to false and 1252 is returned.
int codePageForLanguageDriver(uint8_t ldid, bool& known);
// The language driver byte written into new dBASE tables for a code page (0x00 when there
// is none for it).
uint8_t languageDriverForCodePage(int codePage);

} // namespace tv
