// Writing into a folder: the user's notes are kept, and a failure leaves the folder as it was.
#include "content.h"
#include "testsupport.h"
#include "writeset.h"

#include "engine/engineerror.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace mkbases;
using namespace mkbases::test;
namespace fs = std::filesystem;

namespace {

std::vector<BaseJob> onlyJobs(std::initializer_list<Base> bases)
{
    std::vector<BaseJob> out;
    for (auto& job : sampleJobs())
        for (Base b : bases)
            if (job.def->base == b)
                out.push_back(job);
    return out;
}

std::map<std::string, std::string> snapshot(const std::string& dir)
{
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(dir))
        out[e.path().filename().string()] = readFileBytes(e.path().string());
    return out;
}

} // namespace

TEST(WriteSet, KeepPrivateLeavesTheUsersNotesByteForByte)
{
    ScratchDir dir;
    writeBaseSet(dir.path(), onlyJobs({Base::Private, Base::Swag}), {});
    // The user adds a note.
    {
        auto t = tv::openTableFile(dir.file("private.db"), tv::OpenMode::ReadWrite);
        tv::Record r(t->fields().size());
        r[0] = int64_t(4);
        r[2] = std::string("My own note");
        r[7] = std::string("Keep this.");
        t->insert(r);
        t->flush();
    }
    std::map<std::string, std::string> before;
    for (const auto& name : companionFiles(dir.path(), "private.db"))
        before[name] = readFileBytes(dir.file(name));
    ASSERT_FALSE(before.empty());

    WriteOptions keep;
    keep.keepPrivate = true;
    const auto reports = writeBaseSet(dir.path(), onlyJobs({Base::Private, Base::Swag}), keep);
    for (const auto& [name, bytes] : before)
        EXPECT_EQ(readFileBytes(dir.file(name)), bytes) << name;
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_TRUE(reports[1].skipped);
    EXPECT_EQ(tv::openTableFile(dir.file("private.db"))->recordIds().size(), 4u);

    // Without the option the sample notes come back.
    writeBaseSet(dir.path(), onlyJobs({Base::Private}), {});
    EXPECT_EQ(tv::openTableFile(dir.file("private.db"))->recordIds().size(), 3u);
}

TEST(WriteSet, KeepPrivateWritesTheNotesWhenThereAreNone)
{
    ScratchDir dir;
    WriteOptions keep;
    keep.keepPrivate = true;
    const auto reports = writeBaseSet(dir.path(), onlyJobs({Base::Private}), keep);
    EXPECT_FALSE(reports[0].skipped);
    EXPECT_EQ(tv::openTableFile(dir.file("private.db"))->recordIds().size(), 3u);
}

TEST(WriteSet, AFailureLeavesTheFolderAsItWasAndNoTemporaryFiles)
{
    ScratchDir dir;
    writeBaseSet(dir.path(), onlyJobs({Base::Swag, Base::Topics}), {});
    const auto before = snapshot(dir.path());

    // The second base fails half way: the first, although complete, must not be moved in either.
    auto jobs = onlyJobs({Base::Swag, Base::Topics});
    jobs[1].source = [](const RecordSink& sink) {
        sink(sampleRecords(Base::Topics).front());
        throw tv::EngineError("interrupted");
    };
    EXPECT_THROW(writeBaseSet(dir.path(), jobs, {}), tv::EngineError);
    EXPECT_EQ(snapshot(dir.path()), before);
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_FALSE(e.is_directory()) << e.path();

    // The half-written folder of a killed run is cleared by the next one.
    fs::create_directory(dir.file(".mkbases-killed"));
    std::ofstream(dir.file(".mkbases-killed/QA.DB")) << "half";
    writeBaseSet(dir.path(), onlyJobs({Base::Swag}), {});
    EXPECT_FALSE(fs::exists(dir.file(".mkbases-killed")));
}

TEST(WriteSet, StaleCompanionsOfAnOlderLayoutAreRemoved)
{
    ScratchDir dir;
    // Left over from an older layout or written in another letter case.
    std::ofstream(dir.file("SWAG.X99")) << "old index";
    std::ofstream(dir.file("swag.MB")) << "old memo";
    std::ofstream(dir.file("SWAGGER.DB")) << "another table";
    writeBaseSet(dir.path(), onlyJobs({Base::Swag}), {});
    EXPECT_FALSE(fs::exists(dir.file("SWAG.X99")));
    EXPECT_FALSE(fs::exists(dir.file("swag.MB")));
    EXPECT_TRUE(fs::exists(dir.file("SWAGGER.DB")));
    EXPECT_TRUE(fs::exists(dir.file("SWAG.db")));
    EXPECT_EQ(tv::openTableFile(dir.file("SWAG.db"))->recordIds().size(), sampleRecords(Base::Swag).size());
}

TEST(WriteSet, UnwritableFolderGivesAClearError)
{
    ScratchDir dir;
    std::ofstream(dir.file("plainfile")) << "x";
    try {
        writeBaseSet(dir.file("plainfile") + "/sub", onlyJobs({Base::Swag}), {});
        FAIL() << "expected an error";
    } catch (const tv::EngineError& e) {
        EXPECT_NE(std::string(e.what()).find("plainfile/sub"), std::string::npos) << e.what();
    }
}

TEST(WriteSet, CommandLineKeepsPrivateAndRejectsBadArguments)
{
    ScratchDir dir;
    const std::string exe = TV_MKBASES_EXE;
    ASSERT_EQ(runCommand(exe + " --quiet " + dir.path()), 0);
    for (const BaseDef& def : catalog())
        EXPECT_TRUE(fs::exists(dir.file(def.file))) << def.file;
    std::ofstream(dir.file("private.db"), std::ios::app) << "user bytes";
    const std::string mine = readFileBytes(dir.file("private.db"));
    ASSERT_EQ(runCommand(exe + " --keep-private --quiet " + dir.path()), 0);
    EXPECT_EQ(readFileBytes(dir.file("private.db")), mine);

    EXPECT_EQ(runCommand(exe + " 2>/dev/null"), 2);
    EXPECT_EQ(runCommand(exe + " --records many " + dir.path() + " 2>/dev/null"), 2);
    EXPECT_EQ(runCommand(exe + " --frobnicate " + dir.path() + " 2>/dev/null"), 2);
    EXPECT_EQ(runCommand(exe + " --quiet /proc/no/such/folder 2>/dev/null"), 1);
}

TEST(WriteSet, IdenticalFilesAreLeftUntouchedAndChangedOnesReplaced)
{
    ScratchDir dir;
    writeBaseSet(dir.path(), onlyJobs({Base::Swag, Base::Books}), {});
    const auto swagTime = fs::last_write_time(dir.file("SWAG.db"));
    // An older time stamp shows whether the file was replaced.
    const auto old = swagTime - std::chrono::hours(48);
    fs::last_write_time(dir.file("SWAG.db"), old);
    fs::last_write_time(dir.file("DELBOOKS.DB"), old);
    auto jobs = onlyJobs({Base::Swag, Base::Books});
    jobs[1].source = [](const RecordSink& sink) { sink(sampleRecords(Base::Books).front()); };
    writeBaseSet(dir.path(), jobs, {});
    EXPECT_EQ(fs::last_write_time(dir.file("SWAG.db")), old);
    EXPECT_NE(fs::last_write_time(dir.file("DELBOOKS.DB")), old);
    EXPECT_EQ(tv::openTableFile(dir.file("DELBOOKS.DB"))->recordIds().size(), 1u);
}
