#pragma once
#include <string>
#include <string_view>

namespace tv {

// Single-byte code pages of Paradox and dBASE tables. Text is held as UTF-8 inside the
// program and converted at the file boundary.
//
// Bytes 0x00-0x1F and 0x7F map to the same code points; a byte the code page does not
// define decodes to U+FFFD. An unknown code page is treated as 1252.
bool isKnownCodePage(int codePage);
std::string decodeText(int codePage, std::string_view bytes);
// Characters the code page cannot hold are written as '?'.
std::string encodeText(int codePage, std::string_view utf8);

} // namespace tv
