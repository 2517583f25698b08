// Every dBASE, FoxPro and dBASE 7 sample either reads exactly as its reference dump or is
// refused as its .error file says.
#include "dbase_testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace tv;
using namespace tv::test;
namespace fs = std::filesystem;

namespace {

const fs::path kSamples = fs::path(TV_SAMPLES_DIR);
const fs::path kExpected = fs::path(TV_SAMPLES_DIR) / "expected";

std::vector<fs::path> sampleTables()
{
    std::vector<fs::path> out;
    for (const char* folder : {"dbase", "foxpro"})
        for (const auto& e : fs::directory_iterator(kSamples / folder))
            if (e.path().extension() == ".dbf")
                out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

// The reason word of an .error line ("version byte 0x30", "memo file ... is missing").
std::string errorKey(const std::string& line)
{
    const auto paren = line.find(" (");
    std::string key = line.substr(0, paren);
    if (key.rfind("reject: ", 0) == 0)
        key = key.substr(8);
    return key;
}

} // namespace

TEST(DbaseSamples, MatchReferenceDumpsOrAreRefused)
{
    int dumped = 0, refused = 0;
    for (const fs::path& table : sampleTables()) {
        SCOPED_TRACE(table.filename().string());
        const fs::path rel = fs::relative(table, kSamples);
        const fs::path tsv = kExpected / (rel.string() + ".tsv");
        const fs::path err = kExpected / (rel.string() + ".error");
        if (fs::exists(tsv)) {
            const auto t = openTableFile(table.string());
            EXPECT_EQ(dumpTable(*t), readFile(tsv));
            ++dumped;
        } else if (fs::exists(err)) {
            std::string line = readFile(err);
            line.erase(line.find_last_not_of("\r\n") + 1);
            try {
                openTableFile(table.string());
                ADD_FAILURE() << "opened a table that must be refused: " << line;
            } catch (const EngineError& e) {
                const std::string msg = e.what();
                EXPECT_NE(msg.find(table.string()), std::string::npos) << msg;
                EXPECT_NE(msg.find(errorKey(line)), std::string::npos) << msg << "\nexpected: " << line;
            }
            ++refused;
        }
    }
    EXPECT_EQ(dumped, 13);
    EXPECT_EQ(refused, 3);
}
