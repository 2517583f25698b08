#pragma once
// Advisory locking and the change check that keep two programs from overwriting each other's
// saves of the same table, and the commit journal that makes a save all-or-nothing.

#include <string>
#include <sys/types.h>
#include <vector>

namespace tv::px {

// An advisory lock on the table's folder (flock on the folder itself, so that no lock file is
// left lying around): shared while a table is being opened, exclusive while one is saved.
class TableLock {
public:
    explicit TableLock(const std::string& tablePath);
    ~TableLock();
    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;

    // Shared lock for reading; returns false without locking when the folder cannot be opened.
    bool lockShared();
    // Exclusive lock for a save; throws EngineError when it cannot be had within a few seconds.
    void lockExclusive();
    void unlock();

private:
    bool acquire(int op);
    std::string tablePath_;
    std::string lockPath_;  // the folder
    int fd_ = -1;
    bool held_ = false;
};

// Remembers which version of a file was read, to notice a save by another program.
class FileVersion {
public:
    FileVersion() = default;
    ~FileVersion();
    FileVersion(const FileVersion&) = delete;
    FileVersion& operator=(const FileVersion&) = delete;
    // Holds the file open so that its identity cannot be reused while we look at it.
    void remember(const std::string& path);
    void rememberFd(int fd);
    // True while `path` is still the file remembered (or nothing was remembered and the file
    // does not exist).
    bool unchanged(const std::string& path) const;

private:
    int fd_ = -1;
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

// Makes `changes` durable as one step: every new file is written to a temporary and synced,
// a journal naming them is synced, the temporaries are renamed into place and the journal is
// removed. A crash at any instant leaves either all old or (after recoverSave) all new files.
// Returns an open descriptor of the first changed file's new version (for FileVersion), or -1.
int commitSave(const std::string& tablePath, const std::vector<FileChange>& changes);

// Finishes a save that a crash interrupted after its journal was complete, and removes
// temporaries of saves that never got that far. Needs the exclusive lock.
void recoverSave(const std::string& tablePath);
// True when a journal or stray temporaries of `tablePath` are present.
bool saveNeedsRecovery(const std::string& tablePath);

// Case-insensitive lookup of a companion file ("X.DB" -> "X.MB"/"x.mb"); returns the
// existing path, or the path with the extension in the same case as the table's when there is
// none.
std::string companionPath(const std::string& tablePath, const std::string& ext, bool* exists = nullptr);
// All files in the table's folder whose name is the table's base name plus an extension
// accepted by `match` (upper-cased extension without the dot).
std::vector<std::string> companionFiles(const std::string& tablePath, bool (*match)(const std::string& upperExt));

} // namespace tv::px
