#include "pxwal.h"

#include "engine/engineerror.h"
#include "engine/fileio.h"
#include "pxlock.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tv::px {

namespace {

constexpr uint32_t kMagic = 0x314C5654;   // "TVL1"
constexpr char kLogSuffix[] = ".tvlog";
// A log is emptied once it holds a few megabytes: one beyond this is no log of ours.
constexpr uint64_t kMaxLogBytes = uint64_t(1) << 30;
// How far past a file's end a write may start, or its size grow past the last write: the
// largest block of any of the table's files, twice.
constexpr uint64_t kGrowthBytes = 64 * 1024;

bool fileExistsOrLink(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string sysText(const std::string& what, int err) { return what + " (" + std::strerror(err) + ")"; }

void add8(std::string& s, uint8_t v) { s += char(v); }
void add16(std::string& s, uint16_t v) { add8(s, uint8_t(v)); add8(s, uint8_t(v >> 8)); }
void add32(std::string& s, uint32_t v) { add16(s, uint16_t(v)); add16(s, uint16_t(v >> 16)); }
void add64(std::string& s, uint64_t v) { add32(s, uint32_t(v)); add32(s, uint32_t(v >> 32)); }

// Reads the encoding back; any read past the end marks the reader failed.
struct Reader {
    const uint8_t* p;
    size_t left;
    bool ok = true;
    uint64_t get(int bytes)
    {
        if (left < size_t(bytes)) {
            ok = false;
            left = 0;
            return 0;
        }
        uint64_t v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = (v << 8) | p[i];
        p += bytes;
        left -= size_t(bytes);
        return v;
    }
    std::string bytes(size_t n)
    {
        if (left < n) {
            ok = false;
            left = 0;
            return {};
        }
        std::string s(reinterpret_cast<const char*>(p), n);
        p += n;
        left -= n;
        return s;
    }
};

std::string encode(const LogTransaction& t)
{
    std::string body;
    add16(body, uint16_t(t.files.size()));
    for (const auto& f : t.files) {
        add8(body, uint8_t(f.ext.size()));
        body += f.ext;
        add64(body, f.finalSize);
    }
    add32(body, uint32_t(t.headBefore.size()));
    body += t.headBefore;
    add32(body, uint32_t(t.writes.size()));
    for (const auto& w : t.writes) {
        add16(body, w.file);
        add64(body, w.offset);
        add32(body, uint32_t(w.bytes.size()));
        body += w.bytes;
    }
    std::string out;
    out.reserve(body.size() + 12);
    add32(out, kMagic);
    add32(out, uint32_t(body.size()));
    out += body;
    add32(out, crc32(body.data(), body.size()));
    return out;
}

// The complete transactions at the start of `log`; stops at the first one that is cut off or
// does not check out. `used` is set to the bytes they take.
std::vector<LogTransaction> decode(const std::string& log, size_t& used)
{
    std::vector<LogTransaction> out;
    Reader r{reinterpret_cast<const uint8_t*>(log.data()), log.size()};
    used = 0;
    while (r.left >= 12) {
        if (r.get(4) != kMagic)
            break;
        const size_t length = size_t(r.get(4));
        if (length + 4 > r.left)
            break;
        const uint8_t* body = r.p;
        Reader b{body, length};
        r.p += length;
        r.left -= length;
        if (uint32_t(r.get(4)) != crc32(body, length))
            break;
        LogTransaction t;
        const size_t files = size_t(b.get(2));
        for (size_t i = 0; i < files && b.ok; ++i) {
            LogFile f;
            f.ext = b.bytes(size_t(b.get(1)));
            f.finalSize = b.get(8);
            t.files.push_back(std::move(f));
        }
        t.headBefore = b.bytes(size_t(b.get(4)));
        const size_t writes = size_t(b.get(4));
        for (size_t i = 0; i < writes && b.ok; ++i) {
            LogWrite w;
            w.file = uint16_t(b.get(2));
            w.offset = b.get(8);
            w.bytes = b.bytes(size_t(b.get(4)));
            if (w.file >= t.files.size())
                b.ok = false;
            t.writes.push_back(std::move(w));
        }
        if (!b.ok || b.left != 0 || t.files.empty())
            break;
        out.push_back(std::move(t));
        used = log.size() - r.left;
    }
    return out;
}

// A file of the table's own set, from its extension.
bool ownExtension(const std::string& ext) { return ext == "DB" || isSavedCompanion(ext); }

std::string pathOf(const std::string& tablePath, const std::string& ext)
{
    if (!ownExtension(ext))
        throw EngineError(tablePath + ": the save log names a file that is not the table's");
    return ext == "DB" ? dataFileOf(tablePath) : companionPath(tablePath, ext);
}

int openFile(const std::string& path, const std::string& tablePath)
{
    const int fd = openPlainFile(path, O_RDWR | O_NOFOLLOW);
    if (fd < 0)
        throw EngineError(sysText(tablePath + ": cannot save, " + path + " cannot be opened for writing", errno));
    return fd;
}

// Puts `bytes` at `offset` over what `segments` (non-overlapping, by offset) hold.
void overlay(std::map<uint64_t, std::string>& segments, uint64_t offset, const std::string& bytes)
{
    const uint64_t end = offset + bytes.size();
    std::string tail;
    uint64_t tailAt = 0;
    auto it = segments.lower_bound(offset);
    if (it != segments.begin()) {
        auto prev = std::prev(it);
        const uint64_t prevEnd = prev->first + prev->second.size();
        if (prevEnd > offset) {
            if (prevEnd > end) {
                tail = prev->second.substr(size_t(end - prev->first));
                tailAt = end;
            }
            prev->second.resize(size_t(offset - prev->first));
        }
    }
    while (it != segments.end() && it->first < end) {
        const uint64_t segEnd = it->first + it->second.size();
        if (segEnd > end) {
            tail = it->second.substr(size_t(end - it->first));
            tailAt = end;
        }
        it = segments.erase(it);
    }
    segments[offset] = bytes;
    if (!tail.empty())
        segments[tailAt] = std::move(tail);
}

// One transaction doing what `ts` do one after the other.
LogTransaction merged(const std::vector<LogTransaction>& ts)
{
    LogTransaction out;
    std::vector<std::map<uint64_t, std::string>> content;
    for (const auto& t : ts)
        for (const auto& w : t.writes) {
            const uint16_t f = out.fileIndex(t.files[w.file].ext);
            content.resize(out.files.size());
            overlay(content[f], w.offset, w.bytes);
        }
    for (const auto& t : ts)
        for (const auto& f : t.files)
            out.files[out.fileIndex(f.ext)].finalSize = f.finalSize;
    content.resize(out.files.size());
    for (size_t f = 0; f < content.size(); ++f)
        for (auto& [offset, bytes] : content[f])
            out.writes.push_back({uint16_t(f), offset, std::move(bytes)});
    return out;
}

// A free name beside `path` for a file set aside.
std::string setAsidePath(const std::string& path)
{
    std::string aside = path + ".stale";
    for (int i = 2; fileExistsOrLink(aside) && i < 1000; ++i)
        aside = path + ".stale" + std::to_string(i);
    return aside;
}

// The first bytes of `file` as `t`'s writes leave them.
std::string headAfter(int fd, const LogTransaction& t, uint16_t file)
{
    std::string head(kLogHeadBytes, '\0');
    const ssize_t n = ::pread(fd, head.data(), head.size(), 0);
    head.resize(n > 0 ? size_t(n) : 0);
    for (const auto& w : t.writes)
        if (w.file == file && w.offset < kLogHeadBytes) {
            const size_t upTo = std::min<size_t>(kLogHeadBytes, size_t(w.offset) + w.bytes.size());
            if (head.size() < upTo)
                head.resize(upTo, '\0');
            head.replace(size_t(w.offset), upTo - size_t(w.offset), w.bytes, 0, upTo - size_t(w.offset));
        }
    return head;
}

// Why `t` must not be applied to the table's files, or "" when it fits them: every file it
// names is there, every write lies within its file or the blocks it grows by, and no file is
// cut below what its header counts (a file the saves never make smaller only loses the zeros
// a save reserved at its end).
std::string misfit(const std::string& tablePath, const LogTransaction& t)
{
    for (uint16_t i = 0; i < t.files.size(); ++i) {
        const std::string& ext = t.files[i].ext;
        if (!ownExtension(ext))
            return "it names a file that is not the table's";
        const std::string path = pathOf(tablePath, ext);
        const std::string name = fileNameOf(path);
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return "it writes into " + name + ", which is not there as a file";
        const uint64_t size = uint64_t(st.st_size);
        std::vector<const LogWrite*> writes;
        for (const auto& w : t.writes)
            if (w.file == i)
                writes.push_back(&w);
        std::sort(writes.begin(), writes.end(), [](const LogWrite* a, const LogWrite* b) { return a->offset < b->offset; });
        uint64_t end = size;
        for (const LogWrite* w : writes) {
            if (w->offset > end + kGrowthBytes || w->bytes.size() > kMaxLogBytes)
                return "a write at byte " + std::to_string(w->offset) + " of " + name + " lies far past its end (" + std::to_string(size) +
                       " bytes)";
            end = std::max<uint64_t>(end, w->offset + w->bytes.size());
        }
        const uint64_t final = t.files[i].finalSize;
        if (final > end + kGrowthBytes)
            return name + " would grow to " + std::to_string(final) + " bytes, far past what the log writes";
        if (!writes.empty() && final < writes.back()->offset + writes.back()->bytes.size())
            return name + " would be cut to " + std::to_string(final) + " bytes, below what the log writes into it";
        if (final >= size)
            continue;
        const int fd = openPlainFile(path, O_RDONLY | O_NOFOLLOW);
        if (fd < 0)
            return sysText(name + " cannot be read", errno);
        bool fits = true;
        const bool tree = ext == "PX" || ext[0] == 'Y';
        if (!tree) {
            // Only the zeros a save reserves at the end may go from a file the saves never
            // make smaller.
            std::string tail(64 * 1024, '\0');
            for (uint64_t at = final; fits && at < size;) {
                const ssize_t n = ::pread(fd, tail.data(), size_t(std::min<uint64_t>(tail.size(), size - at)), off_t(at));
                if (n <= 0)
                    break;
                fits = std::all_of(tail.begin(), tail.begin() + n, [](char c) { return c == 0; });
                at += uint64_t(n);
            }
        }
        if (fits && ext != "MB") {
            // Never below the header and the blocks it counts (a tree written anew may be
            // smaller than before).
            const std::string head = headAfter(fd, t, i);
            const auto* h = reinterpret_cast<const uint8_t*>(head.data());
            const uint64_t headerSize = head.size() >= 0x0E ? uint16_t(h[2] | h[3] << 8) : 0;
            fits = headerSize >= 0x58 && h[5] >= 1 && h[5] <= 32 &&
                   final >= headerSize + uint64_t(uint16_t(h[0x0C] | h[0x0D] << 8)) * h[5] * 1024u;
        }
        ::close(fd);
        if (!fits)
            return name + " would be cut from " + std::to_string(size) + " to " + std::to_string(final) + " bytes";
    }
    return {};
}

} // namespace

uint32_t crc32(const void* data, size_t n, uint32_t crc)
{
    // Eight bytes a step, through eight tables derived from the one of the plain algorithm.
    static const auto tables = [] {
        std::array<std::array<uint32_t, 256>, 8> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i)
            for (size_t k = 1; k < 8; ++k)
                t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
        return t;
    }();
    const auto* p = static_cast<const uint8_t*>(data);
    crc = ~crc;
    for (; n >= 8; n -= 8, p += 8) {
        const uint32_t lo = (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24) ^ crc;
        crc = tables[7][lo & 0xFF] ^ tables[6][(lo >> 8) & 0xFF] ^ tables[5][(lo >> 16) & 0xFF] ^ tables[4][lo >> 24] ^ tables[3][p[4]] ^
              tables[2][p[5]] ^ tables[1][p[6]] ^ tables[0][p[7]];
    }
    for (; n > 0; --n, ++p)
        crc = tables[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint16_t LogTransaction::fileIndex(const std::string& ext, const std::string& path)
{
    for (size_t i = 0; i < files.size(); ++i)
        if (files[i].ext == ext)
            return uint16_t(i);
    files.push_back({ext, 0, path});
    return uint16_t(files.size() - 1);
}

LogFiles::LogFiles(const std::string& tablePath, const LogTransaction& t)
{
    for (const auto& f : t.files) {
        paths.push_back(f.path.empty() ? pathOf(tablePath, f.ext) : f.path);
        try {
            fds.push_back(openFile(paths.back(), tablePath));
        } catch (...) {
            close();
            throw;
        }
    }
}

LogFiles::~LogFiles() { close(); }

void LogFiles::close()
{
    for (int fd : fds)
        ::close(fd);
    fds.clear();
}

std::string logPathFor(const std::string& tablePath) { return tablePath + kLogSuffix; }

std::string dataFileOf(const std::string& tablePath)
{
    struct stat st {};
    if (::lstat(tablePath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return tablePath;
    char* real = ::realpath(tablePath.c_str(), nullptr);
    if (!real)
        return tablePath;
    std::string out = real;
    std::free(real);
    return out;
}

void logCommit(const std::string& tablePath, const LogTransaction& t)
{
    const std::string path = logPathFor(tablePath);
    bool created = false;
    int fd = -1;
    try {
        fd = openPlainFile(path, O_WRONLY | O_NOFOLLOW);
        if (fd < 0 && errno == ENOENT) {
            struct stat st {};
            const mode_t mode = ::stat(tablePath.c_str(), &st) == 0 ? (st.st_mode & 0666) : 0644;
            fd = openPlainFile(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode);
            created = fd >= 0;
        }
    } catch (const EngineError& e) {
        throw EngineError(tablePath + ": cannot save, the save log cannot be used (" + e.what() + ")");
    }
    if (fd < 0)
        throw EngineError(sysText(tablePath + ": cannot save, the save log cannot be opened", errno));
    struct stat st {};
    ::fstat(fd, &st);
    const off_t before = st.st_size;
    try {
        if (created)
            syncFolderOf(path);   // the log's name is on disk before anything relies on it
        const std::string bytes = encode(t);
        writeAllAt(fd, path, uint64_t(before), bytes);
        if (::fdatasync(fd) != 0)
            throw EngineError(sysText(path + ": syncing failed", errno));
    } catch (const EngineError& e) {
        // What did reach the log must not stand in front of the next save's transaction.
        if (::ftruncate(fd, before) == 0)
            ::fdatasync(fd);
        ::close(fd);
        throw EngineError(tablePath + ": cannot save (" + e.what() + ")");
    }
    ::close(fd);
}

LogFiles logReserve(const std::string& tablePath, const LogTransaction& t)
{
    for (const auto& f : t.files) {
        const std::string path = f.path.empty() ? pathOf(tablePath, f.ext) : f.path;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            throw EngineError(sysText(tablePath + ": cannot save, " + path + " cannot be found", errno));
        if (S_ISLNK(st.st_mode))
            throw EngineError(tablePath + ": cannot save, " + path + " is a symbolic link; the change is not saved");
        if ((st.st_mode & 0222) == 0)
            throw EngineError(tablePath + ": cannot save, " + path + " is read-only; the change is not saved");
    }
    LogFiles files(tablePath, t);
    // A save that fails here leaves every file as it found it, its size included, so that
    // the next save does not take the attempt for another program's change.
    std::vector<std::pair<size_t, off_t>> grown;
    for (size_t i = 0; i < t.files.size(); ++i) {
        struct stat st {};
        if (::fstat(files.fds[i], &st) != 0 || uint64_t(st.st_size) >= t.files[i].finalSize)
            continue;
        grown.emplace_back(i, st.st_size);
        const int err = ::posix_fallocate(files.fds[i], st.st_size, off_t(t.files[i].finalSize - uint64_t(st.st_size)));
        if (err != 0 && err != EOPNOTSUPP && err != EINVAL) {
            for (const auto& [f, size] : grown)
                if (::ftruncate(files.fds[f], size) != 0) {
                    // Left longer: the zeros past the counted blocks are not read.
                }
            throw EngineError(sysText(tablePath + ": cannot save, " + files.paths[i] + " cannot grow", err));
        }
    }
    return files;
}

void logApply(const std::string& tablePath, const LogTransaction& t, bool onlyChanged)
{
    logApply(LogFiles(tablePath, t), t, onlyChanged);
}

void logApply(const LogFiles& files, const LogTransaction& t, bool onlyChanged)
{
    std::string held;
    for (const auto& w : t.writes) {
        if (onlyChanged) {
            held.resize(w.bytes.size());
            if (::pread(files.fds[w.file], held.data(), held.size(), off_t(w.offset)) == ssize_t(held.size()) && held == w.bytes)
                continue;
        }
        writeAllAt(files.fds[w.file], files.paths[w.file], w.offset, w.bytes);
    }
    for (size_t i = 0; i < t.files.size(); ++i) {
        struct stat st {};
        if (::fstat(files.fds[i], &st) == 0 && uint64_t(st.st_size) != t.files[i].finalSize &&
            ::ftruncate(files.fds[i], off_t(t.files[i].finalSize)) != 0)
            throw EngineError(sysText(files.paths[i] + ": cannot set the file's size", errno));
    }
}

void logCheckpoint(const std::string& tablePath)
{
    const std::string path = logPathFor(tablePath);
    const int log = openPlainFile(path, O_WRONLY | O_NOFOLLOW);
    if (log < 0)
        return;
    struct stat st {};
    if (::fstat(log, &st) != 0 || st.st_size == 0) {
        ::close(log);
        return;
    }
    std::vector<std::string> files = companionFiles(tablePath, isSavedCompanion);
    files.push_back(tablePath);
    for (const auto& f : files) {
        const int fd = openPlainFile(f, O_RDONLY);
        if (fd < 0)
            continue;
        const int rc = ::fsync(fd);
        const int err = errno;
        ::close(fd);
        if (rc != 0) {
            ::close(log);
            throw EngineError(sysText(f + ": syncing failed", err));
        }
    }
    const bool ok = ::ftruncate(log, 0) == 0 && ::fdatasync(log) == 0;
    const int err = errno;
    ::close(log);
    if (!ok)
        throw EngineError(sysText(path + ": the save log cannot be emptied", err));
}

bool logPending(const std::string& tablePath)
{
    struct stat st {};
    return ::lstat(logPathFor(tablePath).c_str(), &st) == 0 && (!S_ISREG(st.st_mode) || st.st_size > 0);
}

uint64_t logSize(const std::string& tablePath)
{
    struct stat st {};
    return ::stat(logPathFor(tablePath).c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

std::vector<std::string> logRecover(const std::string& tablePath)
{
    const std::string path = logPathFor(tablePath);
    std::vector<std::string> notices;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return notices;
    // Set aside, not applied: the log as it is stays for whoever wants to look at it.
    auto setAside = [&](const std::string& why) {
        const std::string aside = setAsidePath(path);
        if (::rename(path.c_str(), aside.c_str()) != 0)
            throw EngineError(sysText(path + ": " + why + "; it cannot be set aside", errno));
        syncFolderOf(path);
        notices.push_back(path + ": " + why + ". It was not applied: the table is used as its files hold it, so the last "
                                             "change(s) made before the program ended may be missing. The log is kept as " +
                          aside + "; remove it once the notes are checked.");
    };
    if (!S_ISREG(st.st_mode)) {
        setAside("the save log is not a file (a pipe, a device, a folder or a link is in its place)");
        return notices;
    }
    if (uint64_t(st.st_size) > kMaxLogBytes) {
        setAside("the save log is " + std::to_string(st.st_size) + " bytes, far more than a save log ever holds");
        return notices;
    }
    if (st.st_size == 0)
        return notices;
    const std::string log = readWholeFile(path);
    size_t used = 0;
    const std::vector<LogTransaction> ts = decode(log, used);
    if (!ts.empty()) {
        // The data file must be in a state this log knows: as before its first transaction or
        // as one of them left it. Anything else is a table put in place by someone else.
        std::string head(kLogHeadBytes, '\0');
        const int fd = openPlainFile(tablePath, O_RDONLY);
        const ssize_t n = fd >= 0 ? ::pread(fd, head.data(), head.size(), 0) : -1;
        if (fd >= 0)
            ::close(fd);
        head.resize(n > 0 ? size_t(n) : 0);
        bool known = head == ts.front().headBefore;
        for (const auto& t : ts)
            for (const auto& w : t.writes)
                if (w.file == 0 && w.offset == 0 && w.bytes.compare(0, kLogHeadBytes, head) == 0)
                    known = true;
        if (!known) {
            setAside("the save log does not belong to the table as its files are now (they were replaced since)");
            return notices;
        }
        const LogTransaction all = merged(ts);
        if (const std::string why = misfit(tablePath, all); !why.empty()) {
            setAside("the save log does not fit the table's files (" + why + ")");
            return notices;
        }
        logApply(tablePath, all, true);
    }
    if (used < log.size()) {
        // A change cut off by a crash, or a log damaged since: what checks out is applied, the
        // whole log is kept beside the table, and the user hears of it once.
        const std::string aside = setAsidePath(path);
        replaceFileDurably(aside, log);
        notices.push_back(path + ": the end of the save log is damaged (cut off by a crash while a change was being saved, or "
                                 "changed since); that part was not applied, so the last change(s) made before the program ended "
                                 "may be missing. Check the last notes. The log is kept as " +
                          aside + ".");
    }
    logCheckpoint(tablePath);
    return notices;
}

} // namespace tv::px
