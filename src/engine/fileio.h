#pragma once
// File access shared by the table formats: whole-file reads and durable writes (and the shared
// read-only memory maps).
#include "engine/mappedfile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tv {

bool fileExists(const std::string& path);
// Opens `path` (open(2) `flags`, O_CLOEXEC added) without ever waiting: a pipe, device or folder
// in the place of a file is refused with EngineError naming it, rather than opened (opening a
// pipe would wait for a writer for ever). Returns -1 with errno set when open(2) fails.
int openPlainFile(const std::string& path, int flags, unsigned mode = 0644);
std::string readWholeFile(const std::string& path);
// Writes all of `bytes` at `offset` of the open file `fd` (`path` names it in errors).
void writeAllAt(int fd, const std::string& path, uint64_t offset, std::string_view bytes);
// Replaces `path` by `bytes` so that a crash leaves either the old or the new file: writes a
// temporary next to it, syncs it and renames it over the old one.
void replaceFileDurably(const std::string& path, std::string_view bytes);
// Syncs the folder holding `path`, so that renames and new names in it are durable.
void syncFolderOf(const std::string& path);
void removeFileIfPresent(const std::string& path);

// An open file for in-place writes (appending records, patching a header).
class WritableFile {
public:
    WritableFile() = default;
    explicit WritableFile(const std::string& path);  // opens an existing file read-write
    WritableFile(WritableFile&& other) noexcept;
    WritableFile& operator=(WritableFile&& other) noexcept;
    WritableFile(const WritableFile&) = delete;
    WritableFile& operator=(const WritableFile&) = delete;
    ~WritableFile();

    bool isOpen() const { return fd_ >= 0; }
    void writeAt(uint64_t offset, std::string_view bytes);
    void sync();

private:
    std::string path_;
    int fd_ = -1;
};

// The path of a companion file: `path` with its extension replaced by `ext` ("dbt"), in the
// letter case of the table's own extension (NEWS.DBF -> NEWS.DBT).
std::string companionPath(const std::string& path, const std::string& ext);
// The existing companion file, trying the table's letter case, then lower and upper case,
// then any name in the folder that differs only in case; empty when there is none.
std::string findCompanion(const std::string& path, const std::string& ext);
// The name of the entry of `folder` that equals `name` but for letter case (the first one the
// folder lists); empty when there is none or the folder cannot be read.
std::string findNameIgnoringCase(const std::string& folder, const std::string& name);
// The file name without folder and extension.
std::string baseName(const std::string& path);

} // namespace tv
