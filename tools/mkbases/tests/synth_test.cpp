// Synthetic bases: the same seed gives the same bases, memo lengths and marker rate as promised.
#include "synth.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace mkbases;
using namespace mkbases::test;

namespace {

// Text of every text and memo field of a record, joined.
std::string allText(const tv::Record& r)
{
    std::string out;
    for (const auto& v : r)
        out += textOf(v) + "\x01";
    return out;
}

} // namespace

TEST(Synth, RecordsDependOnlyOnSeedBaseAndNumber)
{
    for (const BaseDef& def : catalog()) {
        SCOPED_TRACE(def.file);
        EXPECT_EQ(recordText(synthRecord(def, 7, 12345)), recordText(synthRecord(def, 7, 12345)));
        EXPECT_NE(recordText(synthRecord(def, 7, 12345)), recordText(synthRecord(def, 8, 12345)));
        EXPECT_NE(recordText(synthRecord(def, 7, 12345)), recordText(synthRecord(def, 7, 12346)));
        EXPECT_EQ(synthRecord(def, 7, 3).size(), def.spec.fields.size());
    }
}

TEST(Synth, MemoLengthsRunFrom100To1500WithAMeanNear600)
{
    const BaseDef& def = baseDef(Base::Topics);
    const int memo = fieldIndex(def, "DESCRIPTION");
    size_t shortest = SIZE_MAX, longest = 0, total = 0;
    const int n = 10000;
    for (int i = 0; i < n; ++i) {
        const size_t len = textOf(synthRecord(def, 3, uint64_t(i))[size_t(memo)]).size();
        shortest = std::min(shortest, len);
        longest = std::max(longest, len);
        total += len;
    }
    EXPECT_GE(shortest, 100u);
    EXPECT_LE(longest, 1500u);
    EXPECT_LT(shortest, 150u);
    EXPECT_GT(longest, 1300u);
    const double mean = double(total) / n;
    EXPECT_GT(mean, 560.0);
    EXPECT_LT(mean, 640.0);
}

TEST(Synth, AboutOneRecordInAThousandCarriesTheMarkerInVaryingCase)
{
    for (const auto& w : synthVocabulary())
        EXPECT_EQ(lowerAscii(w).find("tform"), std::string::npos) << w;
    for (Base b : {Base::Topics, Base::QA, Base::News, Base::Forum32, Base::Dsp, Base::Swag, Base::Private}) {
        const BaseDef& def = baseDef(b);
        int hits = 0;
        std::set<std::string> spellings;
        const int n = 20000;
        for (int i = 0; i < n; ++i) {
            const std::string text = allText(synthRecord(def, 11, uint64_t(i)));
            const auto at = lowerAscii(text).find("tform");
            if (at != std::string::npos) {
                ++hits;
                spellings.insert(text.substr(at, 5));
            }
        }
        // Expected 20; a binomial count stays well inside these bounds.
        EXPECT_GE(hits, 7) << def.file;
        EXPECT_LE(hits, 38) << def.file;
        EXPECT_GE(spellings.size(), 2u) << def.file;
    }
}

TEST(Synth, SmallScaleSetReadsBackInKeyOrderAndIsDeterministic)
{
    ScratchDir a, b;
    SynthOptions o;
    o.records = 300;
    o.seed = 42;
    writeBaseSet(a.path(), synthJobs(o), {});
    writeBaseSet(b.path(), synthJobs(o), {});
    for (const BaseDef& def : catalog()) {
        SCOPED_TRACE(def.file);
        const auto ta = tv::openTableFile(a.file(def.file));
        const auto tb = tv::openTableFile(b.file(def.file));
        const auto ra = readAll(*ta);
        ASSERT_EQ(ra.size(), 300u);
        EXPECT_EQ(recordTexts(ra), recordTexts(readAll(*tb)));

        // Every generated record is there, exactly once.
        std::vector<std::string> expected, actual;
        for (uint64_t i = 0; i < o.records; ++i)
            expected.push_back(recordText(synthRecord(def, o.seed, i)));
        for (const auto& r : ra)
            actual.push_back(recordText(r));
        std::sort(expected.begin(), expected.end());
        std::sort(actual.begin(), actual.end());
        EXPECT_EQ(actual, expected);
    }
    // A different seed gives different bases.
    ScratchDir c;
    o.seed = 43;
    writeBaseSet(c.path(), synthJobs(o), {});
    EXPECT_NE(recordTexts(readAll(*tv::openTableFile(a.file("QA.DB")))),
              recordTexts(readAll(*tv::openTableFile(c.file("QA.DB")))));
}

TEST(Synth, BookRatingsAndLevelsStayInTheirRanges)
{
    const BaseDef& def = baseDef(Base::Books);
    std::set<int64_t> ratings, levels;
    for (uint64_t i = 0; i < 2000; ++i) {
        const auto r = synthRecord(def, 5, i);
        levels.insert(std::get<int64_t>(r[size_t(fieldIndex(def, "Level"))]));
        ratings.insert(std::get<int64_t>(r[size_t(fieldIndex(def, "OverallAssessment"))]));
        EXPECT_EQ(std::get<tv::Blob>(r[size_t(fieldIndex(def, "Cover"))]).bytes.substr(0, 2), "BM");
    }
    EXPECT_EQ(levels, (std::set<int64_t>{1, 2, 3}));
    EXPECT_EQ(ratings, (std::set<int64_t>{0, 1, 2, 3, 4, 5}));
}
