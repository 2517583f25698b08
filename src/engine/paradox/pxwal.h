#pragma once
// The write-ahead log of saves made in place.
//
// A save that changes a table's files where they lie first appends the new content of every
// byte range it is going to overwrite, and the size each file must end with, to the table's
// log as one checksummed transaction, and syncs the log: that single sync makes the save
// durable. Only then are the files written, without waiting for the disk. A checkpoint syncs
// the files and empties the log. Opening the table after a crash replays the complete
// transactions of the log onto the files (each one rewrites whole ranges, so replaying twice
// is harmless) and drops a transaction cut off by the crash, which had not touched the files.

#include <cstdint>
#include <string>
#include <vector>

namespace tv::px {

// One file of a transaction, named by its upper-cased extension ("DB", "MB", "PX", "X03",
// "YG0"...): the log never names a file outside the table's own set.
struct LogFile {
    std::string ext;
    uint64_t finalSize = 0;
    std::string path;   // where the file is, when known already (not logged)
};

struct LogWrite {
    uint16_t file = 0;          // index into LogTransaction::files
    uint64_t offset = 0;
    std::string bytes;
};

struct LogTransaction {
    std::vector<LogFile> files;   // files[0] is the data file
    std::string headBefore;       // the data file's fixed header before the save
    std::vector<LogWrite> writes;
    uint16_t fileIndex(const std::string& ext, const std::string& path = {});
};

// The data file's fixed header: what tells one version of the table from another.
constexpr size_t kLogHeadBytes = 0x78;

std::string logPathFor(const std::string& tablePath);
// The data file itself: where `tablePath` leads when it is a symbolic link (a table reached
// through a link keeps its companions and its log beside the link, see ParadoxTable::open).
std::string dataFileOf(const std::string& tablePath);

// Appends `t` to the log of `tablePath` and syncs it. On failure the log is cut back to what
// it held before and EngineError is thrown; the table's files are untouched.
void logCommit(const std::string& tablePath, const LogTransaction& t);
// The files of a transaction, open for writing (in the order of LogTransaction::files) from
// the checks before the log is written until the writes after it.
class LogFiles {
public:
    LogFiles(const std::string& tablePath, const LogTransaction& t);
    ~LogFiles();
    LogFiles(LogFiles&& o) noexcept : fds(std::move(o.fds)), paths(std::move(o.paths)) { o.fds.clear(); }
    LogFiles(const LogFiles&) = delete;
    LogFiles& operator=(const LogFiles&) = delete;
    LogFiles& operator=(LogFiles&&) = delete;

    std::vector<int> fds;
    std::vector<std::string> paths;

private:
    void close();
};

// Checks that every file of the transaction can be written, opens them, and gives each file
// that grows its new size ahead (zeros, where the file system allocates space up front), so
// that writing it later cannot fail for space. Throws EngineError when a file cannot be
// written or the space is not there.
LogFiles logReserve(const std::string& tablePath, const LogTransaction& t);
// Writes the transaction's ranges into its open `files` and sets their sizes; with
// `onlyChanged`, ranges the files already hold are not written again (a replay then leaves
// files that are up to date untouched, modification time included). Throws EngineError.
void logApply(const LogFiles& files, const LogTransaction& t, bool onlyChanged = false);
void logApply(const std::string& tablePath, const LogTransaction& t, bool onlyChanged = false);
// Syncs the table's files named by the log and empties it. Throws EngineError.
void logCheckpoint(const std::string& tablePath);
// True when the log holds something, or something else is in its place.
bool logPending(const std::string& tablePath);
// Bytes in the log (0 when there is none).
uint64_t logSize(const std::string& tablePath);
// Replays the complete transactions of the log onto the files, then checkpoints. A log that
// is not a file, is far too large, does not follow on from the data file as it is (the files
// were replaced since) or does not fit the files (a write or a size past what the files and
// their growth allow, a file cut below its counted blocks) is set aside, not applied; a log
// whose end is damaged is applied as far as it checks out and kept beside the table. Returns
// what the user is to be told of that. Needs the exclusive lock.
std::vector<std::string> logRecover(const std::string& tablePath);

// A CRC-32 (the common polynomial), used for the log's checksums.
uint32_t crc32(const void* data, size_t n, uint32_t crc = 0);

} // namespace tv::px
