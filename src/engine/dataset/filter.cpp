#include "engine/dataset/filter.h"

#include "engine/dataset/textscan.h"

namespace tv {

bool matchText(std::string_view text, std::string_view value, FilterMatchType type, bool caseSensitive)
{
    const TextScanner word(value, caseSensitive);
    switch (type) {
    case fdMatchExact: return word.equals(text);
    case fdMatchStart: return word.startsWith(text);
    case fdMatchAny: return word.contains(text);
    case fdMatchEnd: return word.endsWith(text);
    case fdMatchRange: break;
    }
    return false;
}

} // namespace tv
