#include "app/pagecontent.h"

namespace tv::app {

namespace {

// clang-format off
constexpr ColumnSpec kCols1[] = {
    {"ID", 4, "ID"}, {"CATEGORY", 13, "Categ."}, {"TOPIC", 30, "Topic"}, {"KEYWORDS", 30, "Keywords"},
    {"SOURCE", 10, "Source"}, {"CLASS", 11, "Class"}, {"TYPE", 10, "Type"}, {"RELEASE", 11, "Delphi"},
    {"LASTCHANGED", 11, "Date"}};
constexpr ColumnSpec kCols2[] = {
    {"Number", 4, "ID"}, {"Topic", 30, "Topic"}, {"Category", 13, "CATEG."}, {"Keywords", 30, "Keywords"},
    {"Ver", 8, "Delphi"}};
constexpr ColumnSpec kCols3[] = {
    {"NO", 5, "NO"}, {"AUTHOR", 20, "AUTHOR"}, {"SUBJECT", 47, "SUBJECT"}, {"KEYLIST", 33, "KEYLIST"}};
constexpr ColumnSpec kCols4[] = {
    {"Section", 9, "Section"}, {"Title", 70, "Title"}, {"File Name", 12, "File Name"},
    {"Keywords", 30, "KEYWORDS"}, {"CIS Name", 19, "CIS Name"}, {"CIS ID", 12, "CIS ID"},
    {"File Type", 6, "File Type"}, {"File Size", 10, "File Size"}, {"DL Count", 10, "DL Count"},
    {"UL Date", 10, "UL Date"}, {"Update", 10, "Update"}};
constexpr ColumnSpec kCols5[] = {
    {"VERSION", 4, "Delphi"}, {"CATEGORY", 18, "Category"}, {"FILE", 12, "File"}, {"SIZE", 6, "Size"},
    {"WARE", 5, "Ware"}, {"NAME", 14, "Name"}, {"DATE", 10, "Date"}, {"COMMENTS", 50, "COMMENTS"}};
constexpr ColumnSpec kCols6[] = {
    {"ID", 4, "ID"}, {"SWAG Library", 15, "SWAG Library"}, {"Snippet ID", 11, "Snippet ID"},
    {"Subject", 26, "Subject"}, {"Contributor", 19, "Contributor"}, {"Size", 7, "Size"}, {"Date", 10, "Date"}};
constexpr ColumnSpec kCols7[] = {
    {"ISBN", 13, "ISBN"}, {"Author", 39, "Author"}, {"Title", 37, "Title"}, {"Publisher", 32, "Publisher"},
    {"Price", 10, "Price"}, {"Code", 7, "Source Code"}, {"Level", 10, "Level"},
    {"TechnicalContentsQuality", 28, "Technical Contents"}, {"QualityOfWriting", 18, "Writing"},
    {"ValueForMoney", 17, "Value"}, {"OverallAssessment", 21, "Overall"}};
constexpr ColumnSpec kCols9[] = {
    {"ID", 4, "ID"}, {"Source", 17, "Source"}, {"Topic", 25, "Topic"}, {"Keywords", 24, "Keywords"},
    {"Category", 13, "Category"}, {"Delphi", 11, "Delphi"}, {"Date", 10, "Date"}};

const std::array<PageContent, 8> kContents = {{
    {1, 26, "Martin Albrecht", "malbrecht@tipvault.example", nullptr, kCols1,
     "You can receive the \"Delphi Topics\" database on Compuserve. Look in Delphi32 for \"dtopics2.zip\" file.",
     "Good luck!!!!!", 160, 133},
    {2, 26, "Carla Benedetti", "http://www.tipvault.example/dkb/", nullptr, kCols2,
     "You can receive the \"Delphi Knowledge Base\" database on the Web. Look at http://www.tipvault.example/dkb/",
     "Good luck!!!!!", 150, 135},
    {3, 26, "Oliver Grant", "ogrant@tipvault.example", nullptr, kCols3,
     "You can receive the \"Delphi News\" database on the Web. Look for \"delpnews.zip\" at "
     "http://www.tipvault.example/news/",
     "Good luck!!!!!", 174, 138},
    {4, 34, "Helen Kowalski", "CIS 70000,1234", nullptr, kCols4,
     "You can receive the \"Delphi Files\" databases on Compuserve. Look in Delphi32 for \"filesdel.zip\" and "
     "\"filesd32.zip\" files.",
     "Good luck!!!", 146, 133},
    {5, 26, "Pierre Laval", "http://www.tipvault.example/dsp/", nullptr, kCols5,
     "You can receive the \"Delphi Super Page\" database on Compuserve. Look in Delphi32 for \"dspdb.zip\" file.",
     "Good Luck!!!", 160, 136},
    {6, 41, "Ann Rowe, Tom Becker, Li Wei", "arowe@tipvault.example",
     "Archive keepers: swag@tipvault.example,  http://www.tipvault.example/swag/", kCols6,
     "You can receive the \"SWAG Files\" databases on Compuserve. Look in Delphi32 for \"swagdb.zip\" file.",
     "Good luck!!!", 155, 134},
    {7, 26, "George Miles", "gmiles@tipvault.example", nullptr, kCols7,
     "You can receive the \"Delphi Books\" database on Compuserve. Look in Delphi32 for \"delbooks.zip\" file.",
     "Good luck!!!!!", 165, 137},
    {9, 26, "It's Your Page....", "", nullptr, kCols9,
     "Ooopps! Looks like you are missing your personal database. Try to install \"Tipvault\" again.",
     "Good luck!!!", 150, 133},
}};
// clang-format on

} // namespace

const char* const kMissing8a = "Sorry, not available yet.....";

const std::array<PageContent, 8>& pageContents() { return kContents; }

const PageContent* pageContent(int tab)
{
    for (const PageContent& c : kContents)
        if (c.tab == tab)
            return &c;
    return nullptr;
}

} // namespace tv::app
