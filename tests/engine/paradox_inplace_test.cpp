// Saves that change a keyed table in place: every file stays a sound Paradox file (block
// chain, primary index, secondary index entries and their block numbers), the records read
// back as the changes left them, and the save log brings the files up to date after a crash.
#include "engine/dataset/condition.h"
#include "engine/formats.h"
#include "engine/paradox/pxwal.h"
#include "paradox_testutil.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sys/stat.h>

namespace tv {
namespace {

using namespace pxtest;

TableSpec spec()
{
    TableSpec s;
    s.fields = {FieldDef{"Id", FieldType::Long, 4, 0}, FieldDef{"Name", FieldType::Alpha, 40, 0}, FieldDef{"Body", FieldType::Memo, 12, 0},
                FieldDef{"Num", FieldType::Long, 4, 0}};
    s.primaryKeyFields = 1;
    IndexDef byName, folded, down;
    byName.name = "Name";
    byName.fields = {"Name"};
    folded.name = "Folded";
    folded.fields = {"Name", "Num"};
    folded.caseInsensitive = true;
    down.name = "Down";
    down.fields = {"Num"};
    down.descending = true;
    s.secondary = {byName, folded, down};
    return s;
}

Record recordFor(int64_t id, std::mt19937& rng)
{
    static const char* const names[] = {"alpha", "Beta", "GAMMA", "delta", "Alpha"};
    std::string body(rng() % 3 == 0 ? rng() % 6000 : rng() % 300, 'x');
    for (auto& c : body)
        c = char('a' + rng() % 26);
    return {id, std::string(names[rng() % 5]) + std::to_string(rng() % 50), body, int64_t(rng() % 100)};
}

uint64_t inode(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_ino;
}

// The files of the table agree with each other (see tableFileProblems), for `records` records.
void checkFiles(const ScratchDir& dir, size_t records)
{
    EXPECT_EQ(tableFileProblems(dir.file("t.db")), "");
    EXPECT_EQ(openParadoxTable(dir.file("t.db"), OpenMode::ReadOnly)->recordIds().size(), records);
}

// A table of the test's shape at `path` with the records `first`.. `last`, written whole.
void makeTable(const std::string& path, int64_t first, int64_t last, int64_t step, std::mt19937& rng, std::map<int64_t, Record>* model = nullptr)
{
    auto t = createParadoxTable(path, spec());
    for (int64_t id = first; id <= last; id += step) {
        const Record r = recordFor(id, rng);
        t->insert(r);
        if (model)
            (*model)[id] = r;
    }
    t->flush();
}

std::string dumpOf(const std::string& path)
{
    return dump(*openParadoxTable(path, OpenMode::ReadOnly));
}

TEST(ParadoxInPlace, ChangesRewriteOnlyWhatTheyTouchAndEveryFileStaysSound)
{
    ScratchDir dir;
    const std::string path = dir.file("t.db");
    std::mt19937 rng(7);
    std::map<int64_t, Record> model;
    makeTable(path, 2, 3000, 2, rng, &model);
    const uint64_t before = inode(path);
    auto t = openParadoxTable(path, OpenMode::ReadWrite);
    auto idOf = [&](int64_t key) {
        for (RecordId id : t->recordIds())
            if (std::get<int64_t>(t->value(id, 0)) == key)
                return id;
        ADD_FAILURE() << "no record " << key;
        return RecordId(0);
    };
    auto randomKey = [&] {
        auto it = model.begin();
        std::advance(it, rng() % model.size());
        return it->first;
    };
    for (int round = 0; round < 40; ++round) {
        for (int k = 0; k < 30; ++k) {
            const unsigned what = rng() % 10;
            if (what < 4) {   // insert: in a gap, or after the last key
                int64_t key = what == 0 ? model.rbegin()->first + 1 : int64_t(rng() % 4000) * 2 + 1;
                if (model.count(key))
                    continue;
                t->insert(model[key] = recordFor(key, rng));
            } else if (what < 7) {   // edit, now and then giving the record another key
                const int64_t key = randomKey();
                int64_t to = key;
                if (what == 6 && !model.count(key + 100001))
                    to = key + 100001;
                Record r = recordFor(to, rng);
                t->update(idOf(key), r);
                model.erase(key);
                model[to] = r;
            } else if (model.size() > 1) {
                const int64_t key = randomKey();
                t->remove(idOf(key));
                model.erase(key);
            }
        }
        t->flush();
        ASSERT_EQ(inode(path), before) << "round " << round << " rewrote the whole table";
        ASSERT_EQ(tableFileProblems(path), "") << "round " << round;
        if (round % 8 == 7 || round == 39) {
            checkFiles(dir, model.size());
            // Saved, the texts are all in the files again (deleted records included): searches
            // scan the files and agree with testing record by record.
            ASSERT_TRUE(t->textsMapped());
            for (const char* field : {"Body", "Name"}) {
                FieldCondition c;
                c.fieldName = field;
                c.matchType = fdMatchAny;
                c.value = "ab";
                const TextFormat fmt;
                const ConditionTest test(*t, c, fmt);
                std::vector<uint8_t> pass(t->recordIds().size(), 1);
                test.narrow(t->recordIds(), pass);
                for (size_t i = 0; i < pass.size(); ++i)
                    ASSERT_EQ(bool(pass[i]), test.test(t->recordIds()[i])) << field << " record " << i;
            }
            auto fresh = createParadoxTable(dir.file("expected.db"), spec());
            for (const auto& [key, r] : model)
                fresh->insert(r);
            fresh->flush();
            const std::string expected = dumpOf(dir.file("expected.db"));
            EXPECT_EQ(compareDumps(expected, dumpOf(path)), "") << "round " << round;
        }
    }

    // One save taking out a long stretch of keys, which empties whole blocks of the data file
    // and of the indexes (they leave their chains), and adding records to full blocks in front
    // of and behind it (split), then a save that needs the chains as those left them.
    for (int save = 0; save < 2; ++save) {
        auto it = model.begin();
        std::advance(it, model.size() / 3);
        const int64_t lo = it->first;
        for (int k = 0; k < 400 && it != model.end(); ++k) {
            t->remove(idOf(it->first));
            it = model.erase(it);
        }
        const int64_t hi = it == model.end() ? INT64_MAX : it->first;
        for (int k = 0; k < 150; ++k) {
            const int64_t key = int64_t(rng() % 4000) * 2 + 1;
            if ((key < lo || key > hi) && !model.count(key))
                t->insert(model[key] = recordFor(key, rng));
        }
        t->flush();
        ASSERT_EQ(inode(path), before) << "save " << save << " rewrote the whole table";
        ASSERT_EQ(tableFileProblems(path), "") << "save " << save;
        auto fresh = createParadoxTable(dir.file("expected.db"), spec());
        for (const auto& [key, r] : model)
            fresh->insert(r);
        fresh->flush();
        EXPECT_EQ(compareDumps(dumpOf(dir.file("expected.db")), dumpOf(path)), "") << "save " << save;
    }
}

TEST(ParadoxInPlace, MemoSpaceGivenUpIsTakenBackByAWholeRewrite)
{
    ScratchDir dir;
    const std::string path = dir.file("t.db");
    std::mt19937 rng(5);
    makeTable(path, 1, 50, 1, rng);
    auto t = openParadoxTable(path, OpenMode::ReadWrite);
    Record r = recordFor(7, rng);
    for (int k = 0; k < 600; ++k) {
        r[2] = std::string(64 * 1024, char('a' + k % 26));
        t->update(t->recordIds()[6], r);
        t->flush();
    }
    EXPECT_LT(fs::file_size(dir.file("t.mb")), 24u << 20) << "replaced memos are never given back";
    EXPECT_EQ(std::get<std::string>(openParadoxTable(path, OpenMode::ReadOnly)->value(t->recordIds()[6], 2)), std::get<std::string>(r[2]));
    EXPECT_EQ(tableFileProblems(path), "");
}

TEST(ParadoxInPlace, SmallMemosFillingMoreThanOneSubAllocatedBlockReadBackWhole)
{
    // 150 short memos need three sub-allocated blocks of 64 slots; a block whose last slot was
    // taken must still be written.
    auto body = [](int64_t id) { return "memo " + std::to_string(id) + " of a few bytes"; };
    auto rec = [&](int64_t id) { return Record{id, std::string("n") + std::to_string(id), body(id), id}; };
    auto check = [&](const std::string& path) {
        auto t = openParadoxTable(path, OpenMode::ReadOnly);
        ASSERT_EQ(t->recordIds().size(), 150u);
        for (auto id : t->recordIds())
            EXPECT_EQ(std::get<std::string>(t->value(id, 2)), body(std::get<int64_t>(t->value(id, 0))));
        EXPECT_EQ(tableFileProblems(path), "");
    };
    ScratchDir dir;
    const std::string once = dir.file("once.db"), each = dir.file("each.db");
    {
        auto t = createParadoxTable(once, spec());
        for (int64_t id = 1; id <= 150; ++id)
            t->insert(rec(id));
        t->flush();
    }
    check(once);
    {
        auto t = createParadoxTable(each, spec());
        t->insert(rec(1));
        t->flush();
    }
    {
        auto t = openParadoxTable(each, OpenMode::ReadWrite);
        for (int64_t id = 2; id <= 150; ++id) {
            t->insert(rec(id));
            t->flush();
        }
    }
    check(each);
}

TEST(ParadoxInPlace, AnotherProgramsSaveInPlaceIsReadAgainWhole)
{
    ScratchDir dir;
    const std::string path = dir.file("t.db");
    std::mt19937 rng(9);
    makeTable(path, 1, 300, 1, rng);
    auto reader = openParadoxTable(path, OpenMode::ReadWrite);   // offsets from the primary index
    {
        auto writer = openParadoxTable(path, OpenMode::ReadWrite);
        writer->insert(recordFor(301, rng));
        writer->remove(writer->recordIds()[5]);
        writer->flush();
    }
    ASSERT_TRUE(reader->needsReload());
    reader->reload();
    EXPECT_EQ(compareDumps(dumpOf(path), dump(*reader)), "");
}

TEST(ParadoxInPlace, TheSaveLogBringsTheFilesUpToDateOrIsSetAside)
{
    ScratchDir dir, kept;
    const std::string path = dir.file("t.db");
    std::mt19937 rng(3);
    makeTable(path, 1, 400, 1, rng);
    const std::vector<std::string> names = {"t.db", "t.mb", "t.px", "t.x02", "t.y02", "t.xg0", "t.yg0", "t.xg1", "t.yg1"};
    auto copyAll = [&](const ScratchDir& from, const ScratchDir& to) {
        for (const auto& n : names)
            writeBytes(to.file(n), readBytes(from.file(n)));
    };
    copyAll(dir, kept);
    const std::string oldDump = dumpOf(path);
    std::string log, newDump;
    {
        auto t = openParadoxTable(path, OpenMode::ReadWrite);
        t->remove(t->recordIds()[10]);
        t->update(t->recordIds()[20], recordFor(999, rng));
        for (int64_t id = 1000; id < 1100; ++id)
            t->insert(recordFor(id, rng));
        t->flush();
        log = readBytes(path + ".tvlog");
        ASSERT_FALSE(log.empty());
        newDump = dump(*t);
    }
    EXPECT_EQ(readBytes(path + ".tvlog"), "") << "closing the table puts the log into the files";
    EXPECT_EQ(px::crc32("123456789", 9), 0xCBF43926u);   // the standard check value

    // Opened for changes, the table replays its log; what the user is told comes with it.
    auto replayed = [&](std::string& told) {
        auto t = openParadoxTable(path, OpenMode::ReadWrite);
        told.clear();
        for (const auto& n : t->takeNotices())
            told += n;
        return dump(*t);
    };
    std::string told;

    // A crash after the log was synced and before the files were written.
    copyAll(kept, dir);
    writeBytes(path + ".tvlog", log);
    EXPECT_EQ(dumpOf(path), oldDump) << "a table opened for reading only replays nothing";
    EXPECT_EQ(replayed(told), newDump);
    EXPECT_EQ(told, "");
    EXPECT_EQ(readBytes(path + ".tvlog"), "");
    checkFiles(dir, 499);

    // A crash while the log was being written: the files were never touched, and the user
    // hears once that the last change may be missing.
    copyAll(kept, dir);
    writeBytes(path + ".tvlog", log.substr(0, log.size() - 9));
    EXPECT_EQ(replayed(told), oldDump);
    EXPECT_NE(told.find("may be missing"), std::string::npos) << told;
    EXPECT_EQ(readBytes(path + ".tvlog.stale"), log.substr(0, log.size() - 9));
    EXPECT_EQ(replayed(told), oldDump);
    EXPECT_EQ(told, "");
    fs::remove(path + ".tvlog.stale");

    // A log that belongs to other files is not applied to these.
    copyAll(kept, dir);
    {
        auto t = openParadoxTable(path, OpenMode::ReadWrite);
        t->remove(t->recordIds()[0]);
        t->flush();
    }
    const std::string otherDump = dumpOf(path);
    writeBytes(path + ".tvlog", log);
    EXPECT_EQ(replayed(told), otherDump);
    EXPECT_NE(told.find("t.db.tvlog.stale"), std::string::npos) << told;
    EXPECT_EQ(readBytes(path + ".tvlog.stale"), log);
}

} // namespace
} // namespace tv
