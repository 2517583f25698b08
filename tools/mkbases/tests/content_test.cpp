// The sample content gives every page and every feature something to act on.
#include "content.h"
#include "engine/codepage.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace mkbases;
using namespace mkbases::test;

namespace {

// The fields the cross-base search looks in, by base.
const std::map<Base, std::vector<std::string>> kSearchFields = {
    {Base::Topics, {"TOPIC", "CATEGORY", "KEYWORDS", "DESCRIPTION", "RELEASE"}},
    {Base::QA, {"Topic", "Category", "Keywords", "A", "Ver"}},
    {Base::News, {"SUBJECT", "KEYLIST", "INFO", "AUTHOR"}},
    {Base::Forum32, {"Title", "Keywords", "Comments", "CIS Name"}},
    {Base::Dsp, {"File", "Category", "Description", "Delphi Version", "Name"}},
    {Base::Swag, {"Subject", "SWAG Library", "Contributor"}},
    {Base::Private, {"Topic", "Category", "Keywords", "Description", "Delphi", "Source"}},
};

int field(const tv::TableFile& t, const std::string& name)
{
    for (size_t i = 0; i < t.fields().size(); ++i)
        if (t.fields()[i].name == name)
            return int(i);
    ADD_FAILURE() << "no field " << name;
    return 0;
}

// Every spelling of the word form class found in the given fields.
std::set<std::string> spellingsOfTForm(const std::vector<tv::Record>& recs, const tv::TableFile& t,
                                       const std::vector<std::string>& fields, int* hits = nullptr)
{
    std::set<std::string> found;
    int n = 0;
    for (const auto& r : recs) {
        bool hit = false;
        for (const auto& name : fields) {
            const std::string text = textOf(r[size_t(field(t, name))]);
            const std::string low = lowerAscii(text);
            for (size_t at = low.find("tform"); at != std::string::npos; at = low.find("tform", at + 1)) {
                found.insert(text.substr(at, 5));
                hit = true;
            }
        }
        n += hit;
    }
    if (hits)
        *hits = n;
    return found;
}

} // namespace

TEST(Content, RecordCountsAreLargeEnoughForEveryPage)
{
    const std::map<Base, size_t> minimum = {{Base::Topics, 60}, {Base::QA, 60},  {Base::News, 60},
                                            {Base::Forum32, 60}, {Base::ForumDelphi, 60}, {Base::Dsp, 60},
                                            {Base::Swag, 60},   {Base::Books, 25}};
    for (const auto& [base, least] : minimum) {
        const auto t = openSample(base);
        EXPECT_GE(t->recordIds().size(), least) << baseDef(base).file;
    }
    EXPECT_EQ(openSample(Base::Private)->recordIds().size(), 3u);
}

TEST(Content, TheCrossBaseSearchFindsTheFormClassInEverySearchableBase)
{
    std::set<std::string> spellings;
    for (const auto& [base, fields] : kSearchFields) {
        const auto t = openSample(base);
        const auto recs = readAll(*t);
        int hits = 0;
        const auto found = spellingsOfTForm(recs, *t, fields, &hits);
        EXPECT_GE(hits, 1) << baseDef(base).file;
        EXPECT_LT(hits, int(recs.size())) << baseDef(base).file << ": a search must also leave records out";
        spellings.insert(found.begin(), found.end());
    }
    EXPECT_GE(spellings.size(), 3u) << "the word should appear in several letter cases";

    // Topics, keywords and memos each have hits of their own in the two tip bases.
    for (const auto& [base, parts] : std::map<Base, std::vector<std::string>>{
             {Base::Topics, {"TOPIC", "KEYWORDS", "DESCRIPTION"}}, {Base::QA, {"Topic", "Keywords", "A"}}}) {
        const auto t = openSample(base);
        const auto recs = readAll(*t);
        for (const auto& part : parts)
            EXPECT_FALSE(spellingsOfTForm(recs, *t, {part}).empty()) << baseDef(base).file << " " << part;
    }
}

TEST(Content, BooksCarryRatingsLevelsPricesAndCovers)
{
    const auto t = openSample(Base::Books);
    const auto recs = readAll(*t);
    for (const char* row : {"TechnicalContentsQuality", "QualityOfWriting", "ValueForMoney", "OverallAssessment"}) {
        std::set<int64_t> seen;
        bool unrated = false;
        for (const auto& r : recs) {
            const auto& v = r[size_t(field(*t, row))];
            if (tv::isNull(v) || std::get<int64_t>(v) == 0)
                unrated = true;
            else
                seen.insert(std::get<int64_t>(v));
        }
        EXPECT_EQ(seen, (std::set<int64_t>{1, 2, 3, 4, 5})) << row;
        EXPECT_TRUE(unrated) << row << ": a few books are not rated yet";
    }
    std::set<int64_t> levels;
    for (const auto& r : recs) {
        const auto& level = r[size_t(field(*t, "Level"))];
        if (!tv::isNull(level))
            levels.insert(std::get<int64_t>(level));
        const auto& price = r[size_t(field(*t, "Price"))];
        ASSERT_TRUE(std::holds_alternative<double>(price));
        EXPECT_GT(std::get<double>(price), 0.0);

        const auto& cover = r[size_t(field(*t, "Cover"))];
        ASSERT_TRUE(std::holds_alternative<tv::Blob>(cover));
        const std::string& bmp = std::get<tv::Blob>(cover).bytes;
        ASSERT_GT(bmp.size(), 54u);
        EXPECT_EQ(bmp.substr(0, 2), "BM");
        const uint32_t declared = uint8_t(bmp[2]) | uint8_t(bmp[3]) << 8 | uint8_t(bmp[4]) << 16 | uint32_t(uint8_t(bmp[5])) << 24;
        EXPECT_EQ(declared, bmp.size());
    }
    EXPECT_EQ(levels, (std::set<int64_t>{1, 2, 3}));
}

TEST(Content, DatesLieIn1995To1998AndPrivateNotesHaveDates)
{
    const tv::Date first = tv::dateFromYmd(1995, 1, 1), last = tv::dateFromYmd(1998, 12, 31);
    const std::map<Base, std::vector<std::string>> dateFields = {
        {Base::Topics, {"LASTCHANGED"}}, {Base::Forum32, {"UL Date", "Update"}},
        {Base::ForumDelphi, {"UL Date", "Update"}}, {Base::Dsp, {"Date"}}, {Base::Swag, {"Date"}},
        {Base::Private, {"Date"}}};
    for (const auto& [base, fields] : dateFields) {
        const auto t = openSample(base);
        std::set<int> years;
        for (const auto& r : readAll(*t))
            for (const auto& name : fields) {
                const auto& v = r[size_t(field(*t, name))];
                ASSERT_TRUE(std::holds_alternative<tv::Date>(v)) << baseDef(base).file << " " << name;
                const tv::Date d = std::get<tv::Date>(v);
                EXPECT_GE(d.day, first.day);
                EXPECT_LE(d.day, last.day);
                int y, m, dd;
                tv::ymdFromDate(d, y, m, dd);
                years.insert(y);
            }
        if (base != Base::Private && base != Base::ForumDelphi) {
            EXPECT_GE(years.size(), 3u) << baseDef(base).file << ": dates should spread over the years";
        }
    }
    // Update never precedes the upload.
    for (Base b : {Base::Forum32, Base::ForumDelphi}) {
        const auto t = openSample(b);
        for (const auto& r : readAll(*t))
            EXPECT_GE(std::get<tv::Date>(r[size_t(field(*t, "Update"))]).day,
                      std::get<tv::Date>(r[size_t(field(*t, "UL Date"))]).day);
    }
    const auto notes = readAll(*openSample(Base::Private));
    ASSERT_EQ(notes.size(), 3u);
    for (size_t i = 0; i < notes.size(); ++i) {
        EXPECT_EQ(std::get<int64_t>(notes[i][0]), int64_t(i + 1));
        EXPECT_FALSE(textOf(notes[i][7]).empty());
    }
}

TEST(Content, ReleasesCategoriesAndNonAsciiLettersAreVaried)
{
    const auto topics = openSample(Base::Topics);
    std::set<std::string> releases, categories, classes;
    for (const auto& r : readAll(*topics)) {
        releases.insert(textOf(r[7]));
        categories.insert(textOf(r[1]));
        classes.insert(textOf(r[5]));
    }
    EXPECT_TRUE(releases.count("1.0") && releases.count("2.0") && releases.count("3.0"));
    EXPECT_GE(categories.size(), 8u);
    EXPECT_GE(classes.size(), 8u);

    // é, ü and ß survive the trip through the table's code page.
    std::string all;
    for (Base b : {Base::News, Base::Forum32, Base::Swag, Base::Books, Base::Private})
        for (const auto& r : readAll(*openSample(b)))
            for (const auto& v : r)
                all += textOf(v);
    for (const char* letter : {"é", "ü", "ß", "ö", "ä"})
        EXPECT_NE(all.find(letter), std::string::npos) << letter;
    EXPECT_EQ(all.find("\xEF\xBF\xBD"), std::string::npos) << "no letter may be lost to the code page";
}

TEST(Content, MemosAreMultiParagraphTextsWithQuotedNewsReplies)
{
    const std::map<Base, std::string> memos = {{Base::Topics, "DESCRIPTION"}, {Base::QA, "A"},
                                               {Base::News, "INFO"},          {Base::Forum32, "Comments"},
                                               {Base::ForumDelphi, "Comments"}, {Base::Dsp, "Description"},
                                               {Base::Books, "Comments"}};
    for (const auto& [base, name] : memos) {
        const auto t = openSample(base);
        int paragraphs = 0, count = 0;
        size_t total = 0;
        for (const auto& r : readAll(*t)) {
            const std::string text = textOf(r[size_t(field(*t, name))]);
            EXPECT_FALSE(text.empty());
            paragraphs += text.find("\r\n\r\n") != std::string::npos;
            EXPECT_EQ(text.find("\n\n"), std::string::npos) << "line ends are CR LF throughout";
            total += text.size();
            ++count;
        }
        EXPECT_GT(paragraphs, count * 3 / 4) << baseDef(base).file;
        EXPECT_GT(total / size_t(count), 200u) << baseDef(base).file;
    }
    const auto news = openSample(Base::News);
    int quoted = 0, replies = 0;
    for (const auto& r : readAll(*news)) {
        const std::string subject = textOf(r[2]);
        if (subject.rfind("Re: ", 0) != 0)
            continue;
        ++replies;
        quoted += textOf(r[4]).find("\r\n> ") != std::string::npos;
    }
    EXPECT_GT(replies, 0);
    EXPECT_EQ(quoted, replies);
}

TEST(Content, EveryTextSurvivesTheTablesCodePage)
{
    for (const BaseDef& def : catalog())
        for (const auto& r : sampleRecords(def.base))
            for (const auto& v : r) {
                const std::string text = textOf(v);
                EXPECT_TRUE(tv::decodeText(def.spec.codePage, tv::encodeText(def.spec.codePage, text)) == text)
                    << def.file << ": " << text.substr(0, 80);
            }
}

TEST(Content, HandWrittenTextsFitTheirFieldsAndAreNotRepeated)
{
    // Building a record refuses text that does not fit; every base must build.
    for (const BaseDef& def : catalog())
        EXPECT_NO_THROW(sampleRecords(def.base)) << def.file;
    std::set<std::string> topics, questions, files, titles;
    for (const Tip& t : tips()) {
        EXPECT_TRUE(topics.insert(t.topic).second) << t.topic;
        EXPECT_TRUE(questions.insert(t.question).second) << t.question;
        EXPECT_LE(utf8Length(t.question), 76u) << "\"Re: \" must still fit the news subject";
    }
    for (const FileItem& f : fileItems())
        EXPECT_TRUE(files.insert(f.file).second) << f.file;
    for (const BookItem& b : bookItems())
        EXPECT_TRUE(titles.insert(b.title).second) << b.title;
}

TEST(Content, CoverPicturesAreValidBitmapsThatDifferByBook)
{
    const std::string a = coverBitmap("Object Pascal from the Ground Up", 1, 72, 88);
    const std::string b = coverBitmap("Delphi Games Programming", 2, 72, 88);
    EXPECT_NE(a, b);
    EXPECT_EQ(a, coverBitmap("Object Pascal from the Ground Up", 1, 72, 88));
    // Rows of 72 * 3 bytes need no padding; 8 pixels (24 bytes) neither; 10 pixels pad 30 to 32.
    EXPECT_EQ(a.size(), 54u + 72u * 3u * 88u);
    EXPECT_EQ(coverBitmap("x", 3, 10, 4).size(), 54u + 32u * 4u);
    EXPECT_EQ(uint8_t(a[28]), 24);  // bits per pixel
}
