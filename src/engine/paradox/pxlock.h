#pragma once
// Advisory locking and the change check that keep two programs from overwriting each other's
// saves of the same table, and the commit journal that makes a save all-or-nothing.

#include <string>
#include <sys/types.h>
#include <vector>

namespace tv::px {

// An advisory lock on the table's own data file (flock, so that no lock file is left lying
// around): shared while the table is being opened, exclusive while it is saved. A save
// replaces the file, so a lock is only held once the locked file is still the one at the
// table's path; a save keeps the new file locked until it is complete. Other tables in the
// folder are never held up. A table that does not exist yet is locked through its folder.
class TableLock {
public:
    explicit TableLock(const std::string& tablePath);
    ~TableLock();
    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;

    // Shared lock for reading; returns false without locking when the file cannot be opened.
    bool lockShared();
    // The same without waiting: false, with errno EWOULDBLOCK, while another program holds
    // the table locked.
    bool tryLockShared();
    // Exclusive lock for a save; throws EngineError when it cannot be had within a few seconds.
    void lockExclusive();
    void unlock();

private:
    bool acquire(int op, bool wait = true);
    std::string tablePath_;
    std::string folder_;
    int fd_ = -1;
};

// Remembers which version of a file was read, to notice a change by another program: a new
// file put in its place, or the same file rewritten (its size, modification time or header
// bytes, which hold the record count and the change counter, differ).
class FileVersion {
public:
    void remember(const std::string& path);
    void rememberFd(int fd);
    // After a save of ours that failed: remembers `path` anew if it is still the same file with
    // the same header (what the attempt changed, its time or a reserved size, is not another
    // program's change).
    void rememberIfSame(const std::string& path);
    // True while `path` is still the version remembered (or nothing was remembered and the
    // file does not exist).
    bool unchanged(const std::string& path) const;

private:
    struct Seen {
        bool exists = false;
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = 0;
        long long mtimeSec = 0;
        long mtimeNsec = 0;
        std::string head;
        bool operator==(const Seen&) const = default;
    };
    static Seen look(int fd);
    Seen seen_;
};

// One file of a save: the complete new content, a temporary already written and synced (see
// tempPathFor), or removal of the file.
struct FileChange {
    std::string path;      // final path
    std::string content;
    bool remove = false;
    bool prewritten = false;
};

// Where the new version of `finalPath` is written before a save switches to it.
std::string tempPathFor(const std::string& finalPath);
// The permissions the temporary of `finalPath` is created with: those of the file it replaces,
// else the table's (0666 less the umask for a new table), so that the new files of a private
// table are never readable by others, not even while they are written.
mode_t tempModeFor(const std::string& finalPath, const std::string& tablePath);

// Makes `changes` durable as one step: every new file is written to a temporary and synced,
// a journal naming them is synced, the temporaries are renamed into place and the journal is
// removed. A crash at any instant leaves either all old or (after recoverSave) all new files.
// The new files take the permissions of the ones they replace. A file that is read-only or a
// symbolic link is not replaced: the save fails first.
// Returns open descriptors of the new files, in the order of `changes` (removals left out).
std::vector<int> commitSave(const std::string& tablePath, const std::vector<FileChange>& changes);

// Finishes a save that a crash interrupted after its journal was complete, and removes
// temporaries of saves that never got that far. Needs the exclusive lock. A journal naming a
// file that is not one of the table's own (in its own folder) is not followed at all; one that
// no save could have written (not replacing the data file, or removing a file the table still
// needs) is set aside untouched. Returns what the user is to be told of that.
std::vector<std::string> recoverSave(const std::string& tablePath);
// True when a journal or stray temporaries of `tablePath` are present.
bool saveNeedsRecovery(const std::string& tablePath);
// Those files.
std::vector<std::string> unfinishedSaveFiles(const std::string& tablePath);

// A journal in the form commitSave writes it: one line per file, 'R' (replaced by its
// temporary) or 'D' (removed), followed by the file's name in the table's folder.
struct JournalEntry {
    char op;
    std::string name;
};
std::string journalText(const std::vector<JournalEntry>& entries);

// True for the upper-cased extensions of the companion files a save writes or removes (.MB,
// .PX, .Xnn/.Ynn, .XGn/.YGn).
bool isSavedCompanion(const std::string& upperExt);

// The last part of a path.
std::string fileNameOf(const std::string& path);

// Case-insensitive lookup of a companion file ("X.DB" -> "X.MB"/"x.mb"); returns the
// existing path, or the path with the extension in the same case as the table's when there is
// none.
std::string companionPath(const std::string& tablePath, const std::string& ext, bool* exists = nullptr);
// All files in the table's folder whose name is the table's base name plus an extension
// accepted by `match` (upper-cased extension without the dot).
std::vector<std::string> companionFiles(const std::string& tablePath, bool (*match)(const std::string& upperExt));

} // namespace tv::px
