#pragma once
// What the base pages show: credit strips, grid column lists and missing-base notices.

#include "app/dbwidgets.h"

#include <array>
#include <span>

namespace tv::app {

struct PageContent {
    int tab;
    int stripHeight;                // credit strip height
    const char* compiler;           // red name of the credit strip
    const char* contact;            // black contact address of the credit strip
    const char* secondLine;         // page 6: the second line of names and addresses
    std::span<const ColumnSpec> columns;
    const char* noticeA;            // text of MissingNa
    const char* noticeB;            // text of MissingNb
    int noticeBLeft, noticeBTop;    // designed place of MissingNb
};

// Pages 1 to 7 and 9, in tab order.
const std::array<PageContent, 8>& pageContents();
const PageContent* pageContent(int tab);

extern const char* const kMissing8a;

} // namespace tv::app
