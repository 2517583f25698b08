// Saves must survive a crash at any instant, and two programs must not overwrite each other.
#include "engine/paradox/paradoxtable.h"
#include "paradox_testutil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

using namespace tv;
using namespace tv::pxtest;

namespace {

// The notes with a secondary index, so that a kill can land in every file a save writes.
TableSpec crashSpec()
{
    TableSpec s = notesSpec();
    IndexDef bySeq;
    bySeq.name = "BySeq";
    bySeq.fields = {"Seq", "Check"};
    bySeq.caseInsensitive = true;
    s.secondary = {bySeq};
    return s;
}
Record recordFor(uint64_t seq) { return noteFor(seq); }

// What a writer reports through its pipe: a change about to be saved, then the same change
// once its save returned.
struct Report {
    char op;        // 'I' insert, 'U' update, 'D' delete
    bool saved;
    uint16_t pad;
    uint32_t id;
    uint64_t seq;   // the note's content after the change (inserts and updates)
};

// Child: inserts, edits and deletes notes until killed, saving after each change.
[[noreturn]] void changeForever(const std::string& path, int fd, uint64_t seed)
{
    auto say = [fd](const Report& r) {
        if (::write(fd, &r, sizeof r) != ssize_t(sizeof r))
            ::_exit(4);
    };
    try {
        const auto t = openTableFile(path, OpenMode::ReadWrite);
        std::vector<std::pair<uint32_t, RecordId>> live;
        for (RecordId rid : t->recordIds())
            live.emplace_back(uint32_t(std::get<int64_t>(t->value(rid, 0))), rid);
        std::mt19937_64 rng(seed);
        for (;;) {
            const unsigned pick = unsigned(rng() % 10);
            const uint64_t seq = rng() >> 16;
            Report r{'I', false, 0, 0, seq};
            if (pick < 6 || live.empty()) {
                const RecordId rid = t->insert(recordFor(seq));
                r.id = uint32_t(std::get<int64_t>(t->value(rid, 0)));
                live.emplace_back(r.id, rid);
            } else {
                const size_t k = size_t(rng() % live.size());
                r.id = live[k].first;
                if (pick < 8) {
                    r.op = 'U';
                    t->update(live[k].second, noteFor(seq, int64_t(r.id)));
                } else {
                    r.op = 'D';
                    t->remove(live[k].second);
                    live.erase(live.begin() + std::ptrdiff_t(k));
                }
            }
            say(r);
            t->flush();
            r.saved = true;
            say(r);
        }
    } catch (...) {
        ::_exit(3);
    }
}

// Checks the table after a kill against the notes whose saves returned (`saved`, by ID) and
// the one change that was being saved; returns "" when all is well and puts the table's
// content into `saved`.
std::string verify(const std::string& path, std::map<uint32_t, uint64_t>& saved, const Report* inFlight)
{
    std::map<uint32_t, uint64_t> found;
    try {
        const auto t = openTableFile(path, OpenMode::ReadWrite);   // completes what the kill interrupted
        for (RecordId rid : t->recordIds()) {
            const auto id = uint32_t(std::get<int64_t>(t->value(rid, 0)));
            const uint64_t seq = std::stoull(std::get<std::string>(t->value(rid, 1)));
            const Value body = t->value(rid, 2);
            const std::string text = isNull(body) ? std::string() : std::get<std::string>(body);
            if (text != bodyFor(seq) || std::get<int64_t>(t->value(rid, 3)) != int64_t(seq % 1000003))
                return "record " + std::to_string(id) + " is torn";
            found[id] = seq;
        }
        if (t->headerRecordCount() != t->recordIds().size())
            return "the header count disagrees with the blocks";
        if (const std::string problem = tableFileProblems(path); !problem.empty())
            return problem;
        const auto* px = dynamic_cast<const ParadoxTable*>(t.get());
        if (!found.empty() && px->autoIncrement() < found.rbegin()->first)
            return "the autoincrement counter fell behind";
    } catch (const std::exception& e) {
        return std::string("cannot read the table: ") + e.what();
    }
    std::map<uint32_t, uint64_t> expected = saved;
    for (const auto& [id, seq] : found) {
        if (inFlight && id == inFlight->id && inFlight->op != 'D' && seq == inFlight->seq)
            continue;   // the change being saved got through
        const auto it = expected.find(id);
        if (it == expected.end())
            return "note " + std::to_string(id) + " is there although its deletion was saved";
        if (it->second != seq)
            return "note " + std::to_string(id) + " is not as last saved";
    }
    for (const auto& [id, seq] : expected)
        if (!found.count(id) && !(inFlight && inFlight->op == 'D' && inFlight->id == id))
            return "saved note " + std::to_string(id) + " is lost";
    saved = std::move(found);
    return {};
}

} // namespace

TEST(ParadoxCrash, KilledWritersNeverLoseSavedInsertsEditsOrDeletes)
{
    const bool longRun = std::getenv("TV_LONG_TESTS") != nullptr;
    const int kills = longRun ? 20000 : 600;
    // A killed process loses nothing that reached the page cache, so the folder may live in
    // memory: that keeps each save short and lets the kills land at every step of it.
    ScratchDir dir(fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path());
    const std::string path = dir.file("crash.db");
    createParadoxTable(path, crashSpec());
    std::map<uint32_t, uint64_t> saved;
    std::mt19937 rng(12345);
    std::map<char, int> confirmed;
    int killedInSave = 0;
    for (int k = 0; k < kills; ++k) {
        if (saved.size() > 600) {  // keep the table small enough for many kills
            createParadoxTable(path, crashSpec());
            saved.clear();
        }
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(fds[0]);
            changeForever(path, fds[1], uint64_t(k) * 7919 + 1);
        }
        ::close(fds[1]);
        ::usleep(useconds_t(std::uniform_int_distribution<int>(0, 12000)(rng)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself with status " << WEXITSTATUS(status);
        Report r;
        std::optional<Report> inFlight;
        while (::read(fds[0], &r, sizeof r) == ssize_t(sizeof r)) {
            if (!r.saved) {
                inFlight = r;
                continue;
            }
            inFlight.reset();
            ++confirmed[r.op];
            if (r.op == 'D')
                saved.erase(r.id);
            else
                saved[r.id] = r.seq;
        }
        ::close(fds[0]);
        killedInSave += inFlight ? 1 : 0;
        const std::string problem = verify(path, saved, inFlight ? &*inFlight : nullptr);
        ASSERT_EQ(problem, "") << "after kill " << k;
    }
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().string().find(".tvnew"), std::string::npos) << e.path();
    RecordProperty("kills", kills);
    RecordProperty("kills_during_a_save", killedInSave);
    RecordProperty("confirmed_inserts", confirmed['I']);
    RecordProperty("confirmed_edits", confirmed['U']);
    RecordProperty("confirmed_deletes", confirmed['D']);
    std::printf("kills %d (during a save %d), saves confirmed: inserts %d, edits %d, deletes %d\n", kills, killedInSave,
                confirmed['I'], confirmed['U'], confirmed['D']);
}

TEST(ParadoxLock, ASecondWriterCannotOverwriteTheFirstOnesSaves)
{
    ScratchDir dir;
    const std::string path = dir.file("shared.db");
    createParadoxTable(path, crashSpec());
    const auto first = openTableFile(path, OpenMode::ReadWrite);
    const auto second = openTableFile(path, OpenMode::ReadWrite);
    first->insert(recordFor(1));
    first->flush();
    first->insert(recordFor(2));
    first->flush();  // a program's own saves never conflict

    const RecordId mine = second->insert(recordFor(3));
    try {
        second->flush();
        ADD_FAILURE() << "the second program overwrote the first one's records";
    } catch (const EngineError& e) {
        EXPECT_NE(std::string(e.what()).find("changed by another program"), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()).rfind(path, 0), 0u);
    }
    EXPECT_NO_THROW(second->value(mine, 1));  // its own change is still held
    {
        const auto t = openTableFile(path);
        ASSERT_EQ(t->recordIds().size(), 2u);
        EXPECT_EQ(std::get<std::string>(t->value(t->recordIds()[1], 1)), "2");
    }
    // After reopening, the second program saves on top of the first one's records.
    const auto again = openTableFile(path, OpenMode::ReadWrite);
    again->insert(recordFor(3));
    again->flush();
    EXPECT_EQ(openTableFile(path)->recordIds().size(), 3u);
    // The first program has not seen that save either.
    first->insert(recordFor(4));
    EXPECT_THROW(first->flush(), EngineError);
}

TEST(ParadoxLock, ReadersDoNotBlockWriters)
{
    ScratchDir dir;
    const std::string path = dir.file("r.db");
    createParadoxTable(path, crashSpec());
    const auto reader = openTableFile(path);
    const auto writer = openTableFile(path, OpenMode::ReadWrite);
    writer->insert(recordFor(5));
    writer->flush();
    // The mapped reader keeps the content it opened; a new open sees the save.
    EXPECT_EQ(reader->recordIds().size(), 0u);
    EXPECT_EQ(openTableFile(path)->recordIds().size(), 1u);
}
