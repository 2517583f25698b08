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
// HP Roman-8 (kCodePageRoman8) and, through the C library's converters, the double-byte
// code pages 932, 936, 949 and 950 (a byte that starts no character decodes to U+FFFD).

// HP Roman-8 has no DOS/Windows number of its own; this is its IBM number (CCSID 1051).
// Paradox tables whose sort order is "BLROM800" store their text in it.
constexpr int kCodePageRoman8 = 1051;

bool isKnownCodePage(int codePage);
std::string decodeText(int codePage, std::string_view bytes);
// Characters the code page cannot hold (and malformed UTF-8) are written as '?'.
std::string encodeText(int codePage, std::string_view utf8);

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
