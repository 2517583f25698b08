// The private base among other programs, damaged records and the file system's own choices.
#include "engine/dataset/table.h"
#include "engine/paradox/paradoxtable.h"
#include "engine/paradox/pxlock.h"
#include "engine/paradox/pxwal.h"
#include "paradox_testutil.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tv;
using namespace tv::pxtest;

namespace {

std::string seqOf(const TableFile& t, RecordId rid) { return std::get<std::string>(t.value(rid, 1)); }

// The notes by ID: ID -> Seq text.
std::map<int64_t, std::string> notesIn(const std::string& path)
{
    std::map<int64_t, std::string> out;
    const auto t = openTableFile(path);
    for (RecordId rid : t->recordIds())
        out[std::get<int64_t>(t->value(rid, 0))] = seqOf(*t, rid);
    return out;
}

std::string makeNotes(const ScratchDir& dir, const std::string& name, int count)
{
    const std::string path = dir.file(name);
    const auto t = createParadoxTable(path, notesSpec());
    for (int i = 1; i <= count; ++i)
        t->insert(noteFor(uint64_t(i) * 1000 + 900));   // memos long enough for the memo file
    t->flush();
    return path;
}

// Another program writes its own version of the table p.db over the one in `dir`, keeping the files.
void rewriteInPlace(const ScratchDir& dir, const ScratchDir& from)
{
    for (const char* ext : {"db", "mb", "px"}) {
        std::ofstream out(dir.file(std::string("p.") + ext), std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
        out << readBytes(from.file(std::string("p.") + ext));
    }
}

std::string expectSaveFails(TableFile& t, const char* why)
{
    try {
        t.flush();
        ADD_FAILURE() << "the save succeeded although " << why;
    } catch (const EngineError& e) {
        EXPECT_TRUE(t.hasUnsavedChanges()) << why;
        return e.what();
    }
    return {};
}

} // namespace

TEST(ParadoxOtherPrograms, AFileRewrittenInPlaceIsNotOverwritten)
{
    ScratchDir dir, elsewhere;
    const std::string path = makeNotes(dir, "p.db", 2);
    const auto mine = openTableFile(path, OpenMode::ReadWrite);
    makeNotes(elsewhere, "p.db", 3);
    rewriteInPlace(dir, elsewhere);
    mine->insert(noteFor(7));
    const std::string message = expectSaveFails(*mine, "the file was rewritten by another program");
    EXPECT_NE(message.find("changed by another program"), std::string::npos) << message;
    EXPECT_EQ(notesIn(path).size(), 3u);
}

TEST(ParadoxOtherPrograms, ANoteBeingEnteredIsPostedOverAFileRewrittenInPlace)
{
    ScratchDir dir, elsewhere;
    const std::string path = makeNotes(dir, "p.db", 2);
    Table mine;
    mine.open(path, OpenMode::ReadWrite);
    auto enter = [&](const std::string& seq) {
        mine.append();
        mine.setValue(0, mine.largestInteger(0) + 1);
        mine.setValue(1, seq);
    };
    // The other program's notes take the ID the new note was given.
    enter("mine");
    makeNotes(elsewhere, "p.db", 3);
    rewriteInPlace(dir, elsewhere);
    mine.post();
    const auto notices = mine.takeNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("Id 4"), std::string::npos) << notices[0];
    mine.saveChanges();
    EXPECT_EQ(notesIn(path), (std::map<int64_t, std::string>{{1, "1900"}, {2, "2900"}, {3, "3900"}, {4, "mine"}}));

    // A note being edited that the other program deleted is kept as a new note, under an ID of its own.
    mine.last();
    mine.edit();
    mine.setValue(1, std::string("edited"));
    makeNotes(elsewhere, "p.db", 1);
    rewriteInPlace(dir, elsewhere);
    mine.post();
    mine.saveChanges();
    EXPECT_EQ(notesIn(path), (std::map<int64_t, std::string>{{1, "1900"}, {5, "edited"}}));
    EXPECT_EQ(mine.takeNotices().size(), 1u);

    // A note started after a rewrite is numbered after the other program's notes.
    makeNotes(elsewhere, "p.db", 5);
    rewriteInPlace(dir, elsewhere);
    enter("later");
    mine.post();
    EXPECT_TRUE(mine.takeNotices().empty());
    mine.saveChanges();
    EXPECT_EQ(notesIn(path).at(6), "later");
    EXPECT_EQ(notesIn(path).size(), 6u);
}

TEST(ParadoxOtherPrograms, AFileCutShortWhileOpenGivesAnErrorNotACrash)
{
    {
        ScratchDir dir;
        const std::string path = dir.file("cut.dbf");
        TableSpec spec;
        spec.fields = {{"TEXT", FieldType::DbChar, 200, 0}};
        const auto w = createDbaseTable(path, spec);
        for (int i = 0; i < 200; ++i)
            w->insert({std::string(150, char('a' + i % 26))});
        w->flush();
        const auto t = openTableFile(path);
        ASSERT_EQ(::truncate(path.c_str(), 100), 0);
        for (RecordId rid : t->recordIds())
            try {
                t->value(rid, 0);
            } catch (const EngineError&) {
            }
        EXPECT_THROW(t->value(t->recordIds().front(), 0), EngineError);
    }
    for (const OpenMode mode : {OpenMode::ReadOnly, OpenMode::ReadWrite}) {
        ScratchDir dir;
        const std::string path = makeNotes(dir, "cut.db", 400);
        const auto t = openTableFile(path, mode);
        ASSERT_EQ(::truncate(path.c_str(), 2048), 0);
        ASSERT_EQ(::truncate(dir.file("cut.mb").c_str(), 4096), 0);
        int errors = 0;
        for (RecordId rid : t->recordIds()) {
            try {
                t->value(rid, 2);
            } catch (const EngineError& e) {
                ++errors;
                EXPECT_NE(std::string(e.what()).find(dir.path().string()), std::string::npos) << e.what();
            }
        }
        EXPECT_GT(errors, 0);
        if (mode == OpenMode::ReadWrite) {
            t->insert(noteFor(5));
            expectSaveFails(*t, "the table was cut short");
        }
    }
}

TEST(ParadoxOtherPrograms, TheLosingProgramCatchesUpAfterRefresh)
{
    ScratchDir dir;
    const std::string path = makeNotes(dir, "p.db", 3);
    const auto first = openTableFile(path, OpenMode::ReadWrite);
    Table second;
    second.open(path, OpenMode::ReadWrite);

    // The second program edits note 1, deletes note 2 and adds its own note 4.
    second.first();
    second.edit();
    second.setValue(1, std::string("edited"));
    second.post();
    second.next();
    second.remove();
    second.last();
    const int64_t top = second.asInteger(0);
    second.append();
    second.setValue(0, top + 1);
    second.setValue(1, std::string("mine"));
    second.post();

    // Meanwhile the first saves a note 4 of its own.
    first->insert(noteFor(41, int64_t(4)));
    first->flush();
    EXPECT_THROW(second.saveChanges(), EngineError);
    ASSERT_TRUE(second.hasUnsavedChanges());

    second.refresh();
    EXPECT_TRUE(second.hasUnsavedChanges());
    EXPECT_EQ(second.recordCount(), 4);
    second.saveChanges();
    EXPECT_FALSE(second.hasUnsavedChanges());
    const auto notes = notesIn(path);
    const std::map<int64_t, std::string> expected{{1, "edited"}, {3, "3900"}, {4, "41"}, {5, "mine"}};
    EXPECT_EQ(notes, expected);
    EXPECT_EQ(dynamic_cast<ParadoxTable&>(*openTableFile(path)).autoIncrement(), 5u);

    // After a save made in place, the other program's next edit reads the table again first.
    first->reload();
    first->update(first->recordIds()[0], noteFor(77, int64_t(1)));
    first->flush();
    second.first();
    second.edit();
    second.setValue(1, std::string("again"));
    second.post();
    second.saveChanges();
    EXPECT_EQ(notesIn(path).at(1), "again");
}

TEST(ParadoxSave, ADamagedMemoInAnOlderNoteDoesNotBlockLaterSaves)
{
    ScratchDir dir;
    const std::string path = makeNotes(dir, "p.db", 3);
    // Point note 2's memo past the end of the memo file.
    std::string db = readBytes(path);
    const size_t at = db.find("2900");
    ASSERT_NE(at, std::string::npos);
    const size_t pointer = at - 4 + 4 + 24 + 20 - 10;   // Id, Seq, Body: the last 10 bytes of Body
    db[pointer + 1] = db[pointer + 2] = db[pointer + 3] = char(0x7F);
    writeBytes(path, db);
    const std::string leader = bodyFor(2900).substr(0, 10);
    // A save in place leaves note 2 as it is; without its primary index the table is written
    // whole, and so is every memo.
    fs::remove(dir.file("p.px"));

    const auto t = openTableFile(path, OpenMode::ReadWrite);
    EXPECT_THROW(t->value(t->recordIds()[1], 2), EngineError);
    t->insert(noteFor(4900));
    t->flush();
    const auto notices = t->takeNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("Id 2"), std::string::npos) << notices[0];
    EXPECT_NE(notices[0].find("Body"), std::string::npos) << notices[0];

    const auto r = openTableFile(path);
    ASSERT_EQ(r->recordIds().size(), 4u);
    EXPECT_EQ(std::get<std::string>(r->value(r->recordIds()[1], 2)), leader);   // what could be read
    for (size_t i : {0u, 2u, 3u})
        EXPECT_EQ(std::get<std::string>(r->value(r->recordIds()[i], 2)), bodyFor(std::stoull(seqOf(*r, r->recordIds()[i]))));
}

TEST(ParadoxSave, AnIndexThatCannotBeWrittenFailsTheWholeSave)
{
    ScratchDir dir;
    // An index whose entries would not fit a block is refused, not left out.
    TableSpec wide;
    for (int i = 0; i < 17; ++i)
        wide.fields.push_back(FieldDef{"F" + std::to_string(i), FieldType::Alpha, 240, 0});
    wide.fields.push_back(FieldDef{"G", FieldType::Alpha, 10, 0});   // a record of 4090 bytes
    wide.secondary.push_back(IndexDef{"All", {}, false, false, false, false, {}});
    for (const auto& f : wide.fields)
        wide.secondary[0].fields.push_back(f.name);
    EXPECT_THROW(createParadoxTable(dir.file("wide.db"), wide), EngineError);

    // A secondary index file that cannot be written: nothing at all changes on disk.
    TableSpec s = notesSpec();
    s.secondary.push_back(IndexDef{"Seq", {"Seq"}, false, false, false, false, {}});
    const std::string path = dir.file("x.db");
    createParadoxTable(path, s)->flush();
    const auto t = openTableFile(path, OpenMode::ReadWrite);
    t->insert(noteFor(1900));
    std::map<std::string, std::string> before;
    for (const auto& e : fs::directory_iterator(dir.path()))
        before[e.path().filename().string()] = readBytes(e.path());
    fs::create_directory(dir.file("x.y02.tvnew"));
    expectSaveFails(*t, "an index file could not be written");
    fs::remove(dir.file("x.y02.tvnew"));
    for (const auto& [name, bytes] : before)
        EXPECT_EQ(readBytes(dir.path() / name), bytes) << name;
    t->flush();
    EXPECT_EQ(notesIn(path).size(), 1u);
}

TEST(ParadoxSave, TheFileSystemsChoicesAreKept)
{
    ScratchDir dir, target;
    // The files' permissions stay as they were.
    const std::string path = makeNotes(dir, "p.db", 1);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
    fs::permissions(dir.file("p.mb"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read, fs::perm_options::replace);
    const auto t = openTableFile(path, OpenMode::ReadWrite);
    t->insert(noteFor(2));
    t->flush();
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(dir.file("p.mb")).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // A read-only file is not replaced; once it is writable again the change is saved.
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read, fs::perm_options::replace);
    t->insert(noteFor(3));
    const std::string message = expectSaveFails(*t, "the file is read-only");
    EXPECT_NE(message.find("read-only"), std::string::npos) << message;
    for (const auto& e : fs::directory_iterator(dir.path()))   // the refused save leaves nothing behind
        EXPECT_NE(e.path().extension(), ".tvnew") << e.path();
    EXPECT_EQ(notesIn(path).size(), 2u);
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    t->flush();
    EXPECT_EQ(notesIn(path).size(), 3u);

    // A table reached through a symbolic link is saved where the link points.
    const std::string real = makeNotes(target, "q.db", 1);
    const std::string link = dir.file("q.db");
    fs::create_symlink(real, link);
    const auto linked = openTableFile(link, OpenMode::ReadWrite);
    linked->insert(noteFor(4));
    linked->flush();
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(notesIn(real).size(), 2u);

    // Only the data file linked, its companions beside the link: they are found there, and
    // a change is written through the link into the file it leads to.
    const std::string lone = makeNotes(dir, "lone.db", 3);
    fs::rename(lone, target.file("lone.db"));
    fs::create_symlink(target.file("lone.db"), lone);
    {
        const auto t = openTableFile(lone, OpenMode::ReadWrite);
        EXPECT_EQ(std::get<std::string>(t->value(t->recordIds()[2], 2)), bodyFor(3900));
        t->insert(noteFor(5));
        t->flush();
    }
    EXPECT_TRUE(fs::is_symlink(lone));
    EXPECT_EQ(notesIn(lone).size(), 4u);
    EXPECT_EQ(tableFileProblems(lone), "");
}

namespace {

// Every file in `dir` by name, with its content.
std::map<std::string, std::string> filesIn(const ScratchDir& dir)
{
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(dir.path()))
        out[e.path().filename().string()] = fs::is_regular_file(e.path()) ? readBytes(e.path()) : std::string("(not a file)");
    return out;
}

std::string allNotices(TableFile& t)
{
    std::string out;
    for (const auto& n : t.takeNotices())
        out += n + "\n";
    return out;
}

// A correctly checksummed save log of `table` that leaves its data file's header as it is
// and does what `change` adds.
void plantLog(const std::string& table, const std::function<void(px::LogTransaction&)>& change)
{
    px::LogTransaction t;
    t.files.push_back({"DB", fs::file_size(table), {}});
    t.headBefore = readBytes(table).substr(0, px::kLogHeadBytes);
    t.writes.push_back({0, 0, t.headBefore});
    change(t);
    px::logCommit(table, t);
}

} // namespace

TEST(ParadoxSave, PlantedJournalsAndLogsWriteNothingWhereTheyMustNot)
{
    ScratchDir dir;
    const std::string notes = makeNotes(dir, "private.db", 2);
    const std::string topics = makeNotes(dir, "DTOPICS.DB", 1);
    // A journal of the topics table naming the notes' files is not followed at all.
    writeBytes(topics + ".tvjournal", px::journalText({{'D', "private.db"}, {'D', "private.mb"}, {'R', "DTOPICS.MB"}}));
    writeBytes(dir.file("private.mb.tvnew"), "not the topics' own");
    auto before = filesIn(dir);
    EXPECT_EQ(openTableFile(topics)->recordIds().size(), 1u);
    EXPECT_EQ(filesIn(dir), before);
    EXPECT_EQ(notesIn(notes).size(), 2u);
    fs::remove(topics + ".tvjournal");
    fs::remove(dir.file("private.mb.tvnew"));

    // A table opened only for reading is never written, whatever journal or log lies beside it.
    writeBytes(topics + ".tvjournal", px::journalText({{'R', "DTOPICS.DB"}, {'D', "DTOPICS.PX"}, {'D', "DTOPICS.MB"}}));
    plantLog(topics, [&](px::LogTransaction& t) {
        t.writes.push_back({0, 0x100, std::string(64, 'Z')});
        t.files.push_back({"MB", 0, {}});
    });
    before = filesIn(dir);
    {
        const auto t = openTableFile(topics);
        EXPECT_EQ(t->recordIds().size(), 1u);
        EXPECT_NE(allNotices(*t).find("left alone"), std::string::npos);
    }
    EXPECT_EQ(filesIn(dir), before);

    // The private base, opened for changes: a journal that removes the files a keyed table with
    // memos needs is set aside, not followed.
    writeBytes(notes + ".tvjournal", px::journalText({{'R', "private.db"}, {'D', "private.px"}, {'D', "private.mb"}}));
    const std::string px = readBytes(dir.file("private.px")), mb = readBytes(dir.file("private.mb"));
    {
        const auto t = openTableFile(notes, OpenMode::ReadWrite);
        EXPECT_EQ(t->recordIds().size(), 2u);
        EXPECT_NE(allNotices(*t).find("private.db.tvjournal.stale"), std::string::npos);
    }
    EXPECT_EQ(readBytes(dir.file("private.px")), px);
    EXPECT_EQ(readBytes(dir.file("private.mb")), mb);

    // Logs whose sizes or writes do not fit the files: the data file emptied, a write 1 TiB
    // out, the memo file cut to its header, a file that is not there.
    const std::vector<std::function<void(px::LogTransaction&)>> crafted = {
        [](px::LogTransaction& t) { t.files[0].finalSize = 0; },
        [](px::LogTransaction& t) { t.writes.push_back({0, uint64_t(1) << 40, "x"}); },
        [](px::LogTransaction& t) { t.files.push_back({"MB", 4096, {}}); },
        [](px::LogTransaction& t) { t.writes.push_back({t.fileIndex("X05"), 0, "x"}); },
    };
    const auto notesBefore = notesIn(notes);
    for (size_t i = 0; i < crafted.size(); ++i) {
        fs::remove(notes + ".tvlog.stale");
        before = filesIn(dir);
        plantLog(notes, crafted[i]);
        const auto t = openTableFile(notes, OpenMode::ReadWrite);
        EXPECT_NE(allNotices(*t).find("private.db.tvlog.stale"), std::string::npos) << i;
        EXPECT_EQ(t->recordIds().size(), 2u) << i;
        auto after = filesIn(dir);
        EXPECT_TRUE(after.count("private.db.tvlog.stale")) << i;
        after.erase("private.db.tvlog.stale");
        before.erase("private.db.tvlog.stale");
        EXPECT_EQ(after, before) << i;
    }
    EXPECT_EQ(notesIn(notes), notesBefore);
}

TEST(ParadoxSave, ALogOrMemoFileThatIsNoFileOrFarTooLargeIsRefusedWithoutWaiting)
{
    ScratchDir dir;
    const std::string notes = makeNotes(dir, "private.db", 2);
    // A pipe in the log's place: neither opening the table nor saving waits for a writer.
    ASSERT_EQ(::mkfifo((notes + ".tvlog").c_str(), 0644), 0);
    {
        const auto t = openTableFile(notes, OpenMode::ReadWrite);
        EXPECT_NE(allNotices(*t).find("not a file"), std::string::npos);
        t->insert(noteFor(77));
        t->flush();
    }
    EXPECT_EQ(notesIn(notes).size(), 3u);
    // One put there while the table is open: the save is refused with a message, not hung.
    const auto t = openTableFile(notes, OpenMode::ReadWrite);
    fs::remove(notes + ".tvlog");
    ASSERT_EQ(::mkfifo((notes + ".tvlog").c_str(), 0644), 0);
    t->insert(noteFor(78));
    EXPECT_NE(expectSaveFails(*t, "the log is a pipe").find("not a file"), std::string::npos);
    fs::remove(notes + ".tvlog");
    t->flush();
    EXPECT_EQ(notesIn(notes).size(), 4u);

    // A 40 GB log (sparse) is set aside with its size named, not read into memory.
    fs::remove(notes + ".tvlog.stale");
    {
        std::ofstream(notes + ".tvlog").put('x');
    }
    fs::resize_file(notes + ".tvlog", uint64_t(40) << 30);
    const auto again = openTableFile(notes, OpenMode::ReadWrite);
    EXPECT_NE(allNotices(*again).find("42949672960 bytes"), std::string::npos);
    EXPECT_EQ(again->recordIds().size(), 4u);

    // A pipe in the place of the memo file is refused when the table is opened, not waited on.
    fs::rename(dir.file("private.mb"), dir.file("private.mb.kept"));
    ASSERT_EQ(::mkfifo(dir.file("private.mb").c_str(), 0644), 0);
    try {
        openTableFile(notes);
        ADD_FAILURE() << "a pipe was taken for the memo file";
    } catch (const EngineError& e) {
        EXPECT_NE(std::string(e.what()).find("private.mb: is not a file"), std::string::npos) << e.what();
    }
}

TEST(ParadoxSave, AFailedSaveIsNotTakenForAnotherProgramsChange)
{
    ScratchDir dir;
    const std::string notes = makeNotes(dir, "private.db", 3);
    const auto t = openTableFile(notes, OpenMode::ReadWrite);
    t->insert(noteFor(5));
    t->flush();   // an in-place save from here on
    // A size limit stands in for a full disk: the data file gets a new block, the memo file
    // cannot grow.
    for (int i = 0; i < 120; ++i)
        t->insert(noteFor(uint64_t(i) * 1000 + 10));
    Record big = noteFor(6);
    big[2] = std::string(300000, 'm');
    t->insert(big);
    rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit tight = old;
    tight.rlim_cur = fs::file_size(dir.file("private.mb")) + 1024;
    auto* const previous = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    const std::string why = expectSaveFails(*t, "the memo file cannot grow");
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, previous);
    EXPECT_NE(why.find("cannot grow"), std::string::npos) << why;
    // Space again: the next save stores every change kept.
    t->flush();
    EXPECT_EQ(notesIn(notes).size(), 125u);
}

TEST(ParadoxSave, AMemoFileCutShortByAnotherProgramStopsTheSave)
{
    ScratchDir dir;
    const std::string notes = makeNotes(dir, "private.db", 20);
    const auto t = openTableFile(notes, OpenMode::ReadWrite);
    fs::resize_file(dir.file("private.mb"), 4096);
    t->insert(noteFor(99));
    EXPECT_NE(expectSaveFails(*t, "the memo file was cut short").find("private.mb"), std::string::npos);
}

TEST(ParadoxLock, SavingOneTableDoesNotHoldUpTheOthersInItsFolder)
{
    ScratchDir dir;
    const std::string notes = makeNotes(dir, "private.db", 1);
    const std::string topics = makeNotes(dir, "DTOPICS.DB", 1);
    px::TableLock saving(notes);
    saving.lockExclusive();
    EXPECT_EQ(openTableFile(topics)->recordIds().size(), 1u);
}

TEST(ParadoxSave, ReplacedFilesAreNotHeldAfterASave)
{
    ScratchDir dir;
    const std::string path = makeNotes(dir, "p.db", 50);
    const auto t = openTableFile(path, OpenMode::ReadWrite);
    for (int i = 0; i < 3; ++i) {
        t->insert(noteFor(uint64_t(i) + 7000));
        t->flush();
    }
    // Files replaced but still mapped show as deleted in the process's map list.
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        EXPECT_FALSE(line.find(dir.path().string()) != std::string::npos && line.find("(deleted)") != std::string::npos) << line;
    EXPECT_EQ(std::get<std::string>(t->value(t->recordIds()[10], 2)), bodyFor(std::stoull(seqOf(*t, t->recordIds()[10]))));
}

// Two copies of the program on one private base: each saves at once after a post or a delete.
namespace {

struct TwoCopies {
    ScratchDir dir;
    std::string path;
    Table a, b;
    explicit TwoCopies(int notes) : path(makeNotes(dir, "p.db", notes))
    {
        a.open(path, OpenMode::ReadWrite);
        b.open(path, OpenMode::ReadWrite);
    }
    static void change(Table& t, const std::string& seq)
    {
        t.edit();
        t.setValue(1, seq);
    }
    static void post(Table& t)
    {
        t.post();
        t.saveChanges();
    }
};

std::map<int64_t, std::string> originalNotes(int count)
{
    std::map<int64_t, std::string> out;
    for (int i = 1; i <= count; ++i)
        out[i] = std::to_string(uint64_t(i) * 1000 + 900);
    return out;
}

} // namespace

TEST(ParadoxTwoCopies, AnEditOfANoteTheOtherCopyDeletedBecomesANewNoteAndNoOtherNoteIsTouched)
{
    for (const int count : {3, 3000}) {
        for (const int deleted : {1, 2, 3}) {
            // Whether the views read the table again before the post (they do when they paint).
            const bool readAgain = deleted == 2;
            SCOPED_TRACE("notes " + std::to_string(count) + ", note " + std::to_string(deleted));
            TwoCopies two(count);
            two.a.first();
            two.a.moveBy(deleted - 1);
            TwoCopies::change(two.a, "mine");
            two.b.first();
            two.b.moveBy(deleted - 1);
            two.b.remove();
            two.b.saveChanges();
            if (readAgain) {
                two.a.catchUpKeepingEdit();
                EXPECT_EQ(two.a.state(), TableState::Edit);
                EXPECT_EQ(std::get<std::string>(two.a.value(1)), "mine");
                EXPECT_EQ(two.a.recordCount(), count - 1);
            }
            TwoCopies::post(two.a);

            auto expected = originalNotes(count);
            expected.erase(deleted);
            expected[count + 1] = "mine";
            EXPECT_EQ(notesIn(two.path), expected);
            const auto notices = two.a.takeNotices();
            ASSERT_EQ(notices.size(), 1u);
            EXPECT_NE(notices[0].find("Id " + std::to_string(count + 1)), std::string::npos) << notices[0];
            EXPECT_EQ(two.a.asInteger(0), count + 1);
            EXPECT_EQ(std::get<std::string>(two.a.value(1)), "mine");
        }
    }
}

TEST(ParadoxTwoCopies, AnEditOfANoteTheOtherCopySavedMeanwhileIsAConflictTheUserSettles)
{
    for (const int count : {3, 3000}) {
        for (const PostConflict choice : {PostConflict::KeepMine, PostConflict::KeepTheirs, PostConflict::KeepBoth}) {
            SCOPED_TRACE("notes " + std::to_string(count) + ", choice " + std::to_string(int(choice)));
            TwoCopies two(count);
            two.a.first();
            TwoCopies::change(two.a, "mine");
            two.b.first();
            TwoCopies::change(two.b, "theirs");
            TwoCopies::post(two.b);

            // Never overwritten without a word: the post says so and changes nothing.
            EXPECT_THROW(two.a.post(), PostConflictError);
            EXPECT_EQ(two.a.state(), TableState::Edit);
            EXPECT_EQ(std::get<std::string>(two.a.value(1)), "mine");
            EXPECT_TRUE(two.a.takeNotices().empty());
            EXPECT_EQ(notesIn(two.path).at(1), "theirs");

            std::string asked;
            two.a.setConflictHandler([&](const std::string& what) {
                asked = what;
                return choice;
            });
            TwoCopies::post(two.a);
            EXPECT_NE(asked.find("Id 1"), std::string::npos) << asked;
            EXPECT_EQ(two.a.state(), TableState::Browse);
            auto expected = originalNotes(count);
            expected[1] = choice == PostConflict::KeepMine ? "mine" : "theirs";
            if (choice == PostConflict::KeepBoth)
                expected[count + 1] = "mine";
            EXPECT_EQ(notesIn(two.path), expected);
        }
    }
    // An edit of a note nobody else changed is posted as it always was, whatever else changed.
    TwoCopies two(3);
    two.a.moveBy(1);
    TwoCopies::change(two.a, "mine");
    two.b.first();
    TwoCopies::change(two.b, "theirs");
    TwoCopies::post(two.b);
    TwoCopies::post(two.a);
    EXPECT_EQ(notesIn(two.path), (std::map<int64_t, std::string>{{1, "theirs"}, {2, "mine"}, {3, "3900"}}));

    // The other copy's save put new files in place of the ones read here (a save that rewrites
    // the whole table): the conflict is seen all the same.
    ScratchDir elsewhere;
    for (const char* ext : {"db", "mb", "px"}) {
        std::ofstream out(elsewhere.file(std::string("p.") + ext), std::ios::binary);
        out << readBytes(two.dir.file(std::string("p.") + ext));
    }
    two.a.first();
    TwoCopies::change(two.a, "mine again");
    {
        Table other;
        other.open(elsewhere.file("p.db"), OpenMode::ReadWrite);
        TwoCopies::change(other, "theirs again");
        TwoCopies::post(other);
    }
    for (const char* ext : {"db", "mb", "px"})
        ASSERT_EQ(::rename(elsewhere.file(std::string("p.") + ext).c_str(), two.dir.file(std::string("p.") + ext).c_str()), 0);
    EXPECT_THROW(two.a.post(), PostConflictError);
    two.a.cancel();
    EXPECT_EQ(notesIn(two.path).at(1), "theirs again");
}

TEST(ParadoxTwoCopies, ABookmarkStaysOnItsNoteWhateverTheOtherCopySaved)
{
    for (const int count : {5, 3000}) {
        SCOPED_TRACE("notes " + std::to_string(count));
        TwoCopies two(count);
        two.a.first();
        two.a.moveBy(2);   // note 3
        const Bookmark b = two.a.getBookmark();
        two.a.next();   // note 4
        // The other copy deletes the notes before them and adds one of its own; this copy
        // reads the table again and stays on its note.
        for (int i = 0; i < 2; ++i) {
            two.b.first();
            two.b.remove();
        }
        two.b.saveChanges();
        two.b.last();
        const int64_t top = two.b.asInteger(0);
        two.b.append();
        two.b.setValue(0, top + 1);
        two.b.setValue(1, std::string("theirs"));
        TwoCopies::post(two.b);
        two.a.refresh();
        EXPECT_EQ(two.a.asInteger(0), 4);
        ASSERT_TRUE(two.a.bookmarkValid(b));
        two.a.gotoBookmark(b);
        EXPECT_EQ(two.a.asInteger(0), 3);
        EXPECT_EQ(std::get<std::string>(two.a.value(1)), "3900");

        // The note itself deleted there: the bookmark leads nowhere, not to another note.
        two.b.first();
        two.b.remove();
        two.b.saveChanges();
        try {
            two.a.gotoBookmark(b);
            ADD_FAILURE() << "went to a deleted note";
        } catch (const EngineError& e) {
            EXPECT_NE(std::string(e.what()).find("deleted"), std::string::npos) << e.what();
        }
        EXPECT_FALSE(two.a.bookmarkValid(b));
    }
}
