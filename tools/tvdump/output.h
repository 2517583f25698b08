#pragma once
// Where tvdump writes: standard output, a device or FIFO written straight, or a regular file
// built under a temporary name beside it and renamed into place once complete. A file that
// belongs to a table being read is never an output.

#include <sys/types.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tvdump {

// A file as the system knows it, whatever name it is reached by.
struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    bool operator==(const FileId&) const = default;
};

// The files of the tables being read, which no output may be: each table, every file beside it
// whose name differs only in a companion extension (memo, index, ...) and letter case, and any
// new name that the engine would take for such a companion.
class TableFiles {
public:
    void add(const std::string& tablePath);
    bool covers(const std::string& path) const;

private:
    void addBeside(const std::string& tablePath);
    struct Names {
        FileId folder;
        std::string name, stem;   // upper case
    };
    std::vector<FileId> files_;
    std::vector<Names> names_;
};

// An output name looked at before anything is written. Throws std::runtime_error with the
// message for `path` when it must not or cannot be written.
struct OutputTarget {
    enum class Kind { Stdout, Straight, File };
    Kind kind = Kind::File;
    std::string path;     // the file really written: symbolic links followed
    bool exists = false;  // Kind::File: an existing file is replaced
    mode_t mode = 0;      // ... and keeps these permissions
    uid_t uid = 0;
    gid_t gid = 0;

    // `path` "-" is standard output; `readOnly` are the files being read.
    static OutputTarget resolve(const std::string& path, const TableFiles& readOnly);
};

// A file written under a temporary name beside `path` and renamed over it by commit(); removed
// when given up (also when the user interrupts the run).
class PendingFile {
public:
    explicit PendingFile(const OutputTarget& target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    std::FILE* stream() const { return file_; }
    const std::string& tempPath() const { return temp_; }
    // Flushes, syncs and closes the stream; throws when anything of it failed.
    void closeStream();
    void commit();

private:
    OutputTarget target_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    bool done_ = false;
};

// A write to the output failed: the run stops there.
struct OutputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A text output: standard output, a device or FIFO, or a pending file.
class Output {
public:
    Output(const std::string& path, const TableFiles& readOnly);
    ~Output();
    // The name for messages ("standard output" for "-").
    const std::string& name() const { return name_; }
    // Writes `text` and empties it; throws OutputError when that fails.
    void write(std::string& text);
    // Checks every write and the close, and puts a pending file in place. Throws on failure.
    void finish();

private:
    std::string name_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<PendingFile> pending_;
    bool failed_ = false;
    int error_ = 0;
};

// Removes an unfinished output and exits when the user interrupts the run.
void dropPendingOnSignals();

} // namespace tvdump
