// Other readers see the same bases: the dump tool reads every file, and the news base reads
// identically through Debian's perl XBase module.
#include "testsupport.h"

#include "engine/codepage.h"

#include <gtest/gtest.h>

#include <charconv>
#include <sstream>

using namespace mkbases;
using namespace mkbases::test;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        out.push_back(line);
    return out;
}

std::string escaped(const std::string& s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out;
}

// A value as the perl reader prints it.
std::string printed(const tv::Value& v)
{
    if (const auto* d = std::get_if<double>(&v)) {
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, *d);
        return std::string(buf, r.ptr);
    }
    std::string s = textOf(v);
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s.empty() ? "\\N" : escaped(s);
}

bool havePerlXBase() { return runCommand("perl -MXBase -e 1 2>/dev/null") == 0; }

} // namespace

TEST(Readers, TheNewsBaseReadsIdenticallyThroughPerlXBase)
{
    if (!havePerlXBase())
        GTEST_SKIP() << "perl XBase (libdbd-xbase-perl) is not installed";
    std::string out;
    const std::string file = sampleDir() + "/DELPNEWS.DBF";
    ASSERT_EQ(runCommand("perl " TV_MKBASES_TEST_DIR "/dbfread.pl '" + file + "'", &out), 0);
    const auto perl = lines(out);
    const auto t = tv::openTableFile(file);
    ASSERT_EQ(perl.size(), t->recordIds().size() + 1);
    EXPECT_EQ(perl[0], "NO\tAUTHOR\tSUBJECT\tKEYLIST\tINFO");
    const auto recs = readAll(*t);
    for (size_t i = 0; i < recs.size(); ++i) {
        std::string mine;
        for (const auto& v : recs[i])
        {
            if (!mine.empty())
                mine += '\t';
            mine += printed(v);
        }
        EXPECT_EQ(perl[i + 1], mine) << "record " << i;
    }

    // Every tag of the production index walks every record once, in key order (its keys are
    // the upper-cased field).
    const std::string mdx = sampleDir() + "/DELPNEWS.MDX";
    for (const tv::IndexDef& tag : t->indexes()) {
        SCOPED_TRACE(tag.name);
        ASSERT_EQ(runCommand("index_dump '" + mdx + "' " + tag.name, &out), 0);
        const auto walked = lines(out);
        ASSERT_EQ(walked.size(), recs.size());
        const int f = tv::findFieldNoCase(t->fields(), tag.fields.at(0));
        std::vector<bool> seen(recs.size());
        std::string previous;
        for (const std::string& line : walked) {
            const size_t record = std::stoul(line.substr(line.find_last_of(' ') + 1));
            ASSERT_TRUE(record >= 1 && record <= recs.size() && !seen[record - 1]) << line;
            seen[record - 1] = true;
            const std::string key = tv::foldAsciiUpper(t->rawText(tv::RecordId(record - 1), f));
            EXPECT_LE(previous, key);
            previous = key;
        }
    }
}

TEST(Readers, TheDumpToolReadsEveryBase)
{
    const std::string tvdump = std::string(TV_BIN_DIR) + "/tvdump";
    if (!fs::exists(tvdump))
        GTEST_SKIP() << "tvdump is not built";
    for (const BaseDef& def : catalog()) {
        SCOPED_TRACE(def.file);
        std::string out;
        const std::string file = sampleDir() + "/" + def.file;
        ASSERT_EQ(runCommand("'" + tvdump + "' '" + file + "'", &out), 0);
        const auto dump = lines(out);
        const auto t = tv::openTableFile(file);
        ASSERT_EQ(dump.size(), t->recordIds().size() + 2);
        EXPECT_EQ(dump[1], "#records\t" + std::to_string(t->recordIds().size()));
        // Every text field the engine reads appears in the dump's line for that record.
        const auto recs = readAll(*t);
        for (size_t i = 0; i < recs.size(); ++i)
            for (const auto& v : recs[i])
                if (std::holds_alternative<std::string>(v)) {
                    EXPECT_NE(dump[i + 2].find(printed(v)), std::string::npos) << "record " << i;
                }
    }
    // The dump of the news base equals what perl reads, line for line.
    if (havePerlXBase()) {
        std::string perl, dump;
        const std::string file = sampleDir() + "/DELPNEWS.DBF";
        ASSERT_EQ(runCommand("perl " TV_MKBASES_TEST_DIR "/dbfread.pl '" + file + "'", &perl), 0);
        ASSERT_EQ(runCommand("'" + tvdump + "' '" + file + "'", &dump), 0);
        auto p = lines(perl), d = lines(dump);
        ASSERT_EQ(d.size(), p.size() + 1);
        for (size_t i = 1; i < p.size(); ++i)
            EXPECT_EQ(d[i + 1], p[i]);
    }
}
