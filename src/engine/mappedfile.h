#pragma once
// A read-only memory map of a whole file, shared by the Paradox and dBASE layers.
//
// Another program may cut a mapped file short while it is open; reading a page past the new
// end would then end the program with SIGBUS. A handler puts zero pages in place of the lost
// ones instead and marks the mapping, so the read goes on and intact() tells the owner that
// what it read cannot be trusted.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tv {

class MappedFile {
public:
    // How the mapping is going to be read. `Around`: the first touch of a page reads a large
    // stretch of the file around it (megabytes), which suits reading much of the file.
    // `Touched`: only the pages touched are read, for a file of which a few places are looked
    // at (the definitions in an index file's header): on a cold cache, reading around them
    // would read megabytes from the disk for a few hundred bytes.
    enum class Reading { Around, Touched };

    MappedFile() = default;
    // Maps the file; throws EngineError naming the file when it cannot be opened or mapped.
    // An empty file maps to an empty view.
    explicit MappedFile(const std::string& path, Reading reading = Reading::Around);
    // Maps the file open at `fd` (the descriptor stays the caller's); `path` names it in errors.
    MappedFile(int fd, const std::string& path);
    // Wraps bytes owned by somebody else (used for in-memory images).
    MappedFile(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    MappedFile(MappedFile&& o) noexcept { *this = std::move(o); }
    MappedFile& operator=(MappedFile&& o) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    std::string_view bytes() const { return {reinterpret_cast<const char*>(data_), size_}; }
    bool contains(uint64_t offset, uint64_t length) const { return offset <= size_ && length <= size_ - offset; }
    std::string_view view(size_t offset, size_t length) const { return {reinterpret_cast<const char*>(data_) + offset, length}; }
    // What a table's first screen reads at the start of its files: the header and the first
    // records, the memo file's header and the first records' memos.
    static constexpr size_t kOpeningBytes = 64 * 1024;
    // The first `length` bytes are read as with `Reading::Touched`, the rest as before: opening a
    // table looks at a few pages there, where reading around the first of them would read
    // megabytes from a cold disk.
    void readTouchedOnly(size_t length = kOpeningBytes);
    // The whole file is about to be read through: what is not in memory yet is asked for at
    // once, and read in pieces of 2 MiB, which the kernel then maps in one step each, for this
    // reader and every later one (pieces of a few pages take a fault per 64 KiB every time).
    void readInLargePieces() const;
    // False once a read found part of the file gone (the file was cut short on disk).
    bool intact() const;

    // Takes the pages of every file mapped so far out of this process's resident set. They
    // stay in the system's file cache, so the next read of one maps it again without reading
    // the disk; the mappings are read-only and shared, so nothing is lost. For long reads
    // through files (a report over a whole table) that would otherwise keep every page they
    // passed.
    static void releaseResidentPages();

private:
    void map(int fd, const std::string& path, Reading reading = Reading::Around);
    void release();
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    bool owned_ = false;
    int guard_ = -1;   // the mapping's place among the guarded ones, -1 when not guarded
};

} // namespace tv
