#include "pxlock.h"

#include "engine/engineerror.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tv::px {

namespace {

const char* const kJournalSuffix = ".tvjournal";
const char* const kTempSuffix = ".tvnew";
const char* const kJournalMagic = "tipvault save journal 1";

std::string upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return s;
}

void splitPath(const std::string& path, std::string& dir, std::string& name)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        dir.assign(1, '.');
        name = path;
    } else {
        dir = slash == 0 ? std::string(1, '/') : path.substr(0, slash);
        name = path.substr(slash + 1);
    }
}

std::string joinPath(const std::string& dir, const std::string& name) { return dir == "." ? name : (dir == "/" ? "/" + name : dir + "/" + name); }

std::string stemOf(const std::string& name)
{
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::vector<std::string> listDir(const std::string& dir)
{
    std::vector<std::string> out;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return out;
    while (dirent* e = ::readdir(d))
        out.emplace_back(e->d_name);
    ::closedir(d);
    return out;
}

std::string sysError(const std::string& what, int err) { return what + " (" + std::strerror(err) + ")"; }

void syncDir(const std::string& dir, const std::string& tablePath)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        throw EngineError(sysError(tablePath + ": cannot open the folder to save", errno));
    const int rc = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    if (rc != 0 && err != EINVAL)
        throw EngineError(sysError(tablePath + ": cannot sync the folder", err));
}

// Writes a whole file and syncs it; returns the still open descriptor.
int writeDurable(const std::string& path, const std::string& content, const std::string& tablePath)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw EngineError(sysError(tablePath + ": cannot save, the file " + path + " cannot be created", errno));
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            ::unlink(path.c_str());
            throw EngineError(sysError(tablePath + ": cannot save, writing " + path + " failed", err));
        }
        done += size_t(n);
    }
    if (::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(path.c_str());
        throw EngineError(sysError(tablePath + ": cannot save, syncing " + path + " failed", err));
    }
    return fd;
}

uint32_t checksum(const std::string& s)
{
    uint32_t h = 2166136261u;
    for (unsigned char c : s)
        h = (h ^ c) * 16777619u;
    return h;
}

struct JournalEntry {
    char op;            // 'R' rename temp over final, 'D' delete final
    std::string name;   // final name in the folder
};

std::string journalText(const std::vector<JournalEntry>& entries)
{
    std::string body = kJournalMagic;
    body += '\n';
    for (const auto& e : entries) {
        body += e.op;
        body += ' ';
        body += e.name;
        body += '\n';
    }
    std::string text = body;
    text += "end ";
    text += std::to_string(checksum(body));
    text += '\n';
    return text;
}

bool parseJournal(const std::string& text, std::vector<JournalEntry>& entries)
{
    const auto endPos = text.rfind("end ");
    if (endPos == std::string::npos || text.empty() || text.back() != '\n')
        return false;
    const std::string body = text.substr(0, endPos);
    if (text.substr(endPos + 4, text.size() - endPos - 5) != std::to_string(checksum(body)))
        return false;
    size_t pos = body.find('\n');
    if (pos == std::string::npos || body.substr(0, pos) != kJournalMagic)
        return false;
    ++pos;
    while (pos < body.size()) {
        const auto nl = body.find('\n', pos);
        if (nl == std::string::npos || nl < pos + 3 || body[pos + 1] != ' ')
            return false;
        JournalEntry e{body[pos], body.substr(pos + 2, nl - pos - 2)};
        if ((e.op != 'R' && e.op != 'D') || e.name.find('/') != std::string::npos)
            return false;
        entries.push_back(e);
        pos = nl + 1;
    }
    return true;
}

bool readSmallFile(const std::string& path, std::string& out)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buf[4096];
    out.clear();
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        out.append(buf, size_t(n));
        if (out.size() > (1u << 20))
            break;
    }
    ::close(fd);
    return true;
}

bool isOurTemp(const std::string& name, const std::string& stem)
{
    const std::string suffix = kTempSuffix;
    if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    return upper(name).rfind(upper(stem) + ".", 0) == 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------

TableLock::TableLock(const std::string& tablePath) : tablePath_(tablePath)
{
    std::string name;
    splitPath(tablePath, lockPath_, name);
}

TableLock::~TableLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool TableLock::acquire(int op)
{
    if (held_)
        unlock();
    if (fd_ < 0) {
        fd_ = ::open(lockPath_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0)
            return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        if (::flock(fd_, op | LOCK_NB) == 0) {
            held_ = true;
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() > deadline)
            throw EngineError(tablePath_ + ": the table is locked by another program");
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool TableLock::lockShared() { return acquire(LOCK_SH); }

void TableLock::lockExclusive()
{
    if (!acquire(LOCK_EX))
        throw EngineError(sysError(tablePath_ + ": cannot save, the folder " + lockPath_ + " cannot be locked", errno));
}

void TableLock::unlock()
{
    if (held_ && fd_ >= 0)
        ::flock(fd_, LOCK_UN);
    held_ = false;
}

// ---------------------------------------------------------------------------------------------

FileVersion::~FileVersion()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void FileVersion::remember(const std::string& path) { rememberFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)); }

void FileVersion::rememberFd(int fd)
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

bool FileVersion::unchanged(const std::string& path) const
{
    struct stat now {};
    const bool exists = ::stat(path.c_str(), &now) == 0;
    if (fd_ < 0)
        return !exists;
    struct stat then {};
    if (!exists || ::fstat(fd_, &then) != 0)
        return false;
    return now.st_ino == then.st_ino && now.st_dev == then.st_dev;
}

// ---------------------------------------------------------------------------------------------

std::string tempPathFor(const std::string& finalPath) { return finalPath + kTempSuffix; }

int commitSave(const std::string& tablePath, const std::vector<FileChange>& changes)
{
    std::string dir, tableName;
    splitPath(tablePath, dir, tableName);
    std::vector<JournalEntry> entries;
    std::vector<std::string> temps;
    int firstFd = -1;
    try {
        for (const auto& c : changes) {
            std::string cdir, cname;
            splitPath(c.path, cdir, cname);
            if (c.remove) {
                entries.push_back({'D', cname});
                continue;
            }
            const std::string temp = c.path + kTempSuffix;
            temps.push_back(temp);
            const int fd = c.prewritten ? ::open(temp.c_str(), O_RDONLY | O_CLOEXEC) : writeDurable(temp, c.content, tablePath);
            if (fd < 0)
                throw EngineError(sysError(tablePath + ": cannot save, " + temp + " is gone", errno));
            if (firstFd < 0)
                firstFd = fd;
            else
                ::close(fd);
            entries.push_back({'R', cname});
        }
        const std::string journal = tablePath + kJournalSuffix;
        const std::string journalTemp = journal + kTempSuffix;
        temps.push_back(journalTemp);
        ::close(writeDurable(journalTemp, journalText(entries), tablePath));
        syncDir(dir, tablePath);
        if (::rename(journalTemp.c_str(), journal.c_str()) != 0)
            throw EngineError(sysError(tablePath + ": cannot save, the journal cannot be renamed", errno));
        temps.pop_back();
        syncDir(dir, tablePath);
    } catch (...) {
        for (const auto& t : temps)
            ::unlink(t.c_str());
        if (firstFd >= 0)
            ::close(firstFd);
        throw;
    }
    // From here on the save is decided; a failure below is finished by recoverSave().
    recoverSave(tablePath);
    return firstFd;
}

void recoverSave(const std::string& tablePath)
{
    std::string dir, tableName;
    splitPath(tablePath, dir, tableName);
    const std::string journal = tablePath + kJournalSuffix;
    std::string text;
    bool changed = false;
    if (readSmallFile(journal, text)) {
        std::vector<JournalEntry> entries;
        if (parseJournal(text, entries)) {
            for (const auto& e : entries) {
                const std::string final = joinPath(dir, e.name);
                if (e.op == 'R') {
                    const std::string temp = final + kTempSuffix;
                    if (::access(temp.c_str(), F_OK) == 0 && ::rename(temp.c_str(), final.c_str()) != 0)
                        throw EngineError(sysError(tablePath + ": an interrupted save cannot be completed", errno));
                } else if (::unlink(final.c_str()) != 0 && errno != ENOENT) {
                    throw EngineError(sysError(tablePath + ": an interrupted save cannot be completed", errno));
                }
            }
            syncDir(dir, tablePath);
        }
        if (::unlink(journal.c_str()) != 0 && errno != ENOENT)
            throw EngineError(sysError(tablePath + ": the save journal cannot be removed", errno));
        changed = true;
    }
    const std::string stem = stemOf(tableName);
    for (const auto& name : listDir(dir))
        if (isOurTemp(name, stem)) {
            ::unlink(joinPath(dir, name).c_str());
            changed = true;
        }
    if (changed)
        syncDir(dir, tablePath);
}

bool saveNeedsRecovery(const std::string& tablePath)
{
    if (::access((tablePath + kJournalSuffix).c_str(), F_OK) == 0)
        return true;
    std::string dir, tableName;
    splitPath(tablePath, dir, tableName);
    const std::string stem = stemOf(tableName);
    for (const auto& name : listDir(dir))
        if (isOurTemp(name, stem))
            return true;
    return false;
}

std::string companionPath(const std::string& tablePath, const std::string& ext, bool* exists)
{
    std::string dir, name;
    splitPath(tablePath, dir, name);
    const std::string stem = stemOf(name);
    const std::string wanted = upper(stem + "." + ext);
    for (const auto& entry : listDir(dir))
        if (upper(entry) == wanted) {
            if (exists)
                *exists = true;
            return joinPath(dir, entry);
        }
    if (exists)
        *exists = false;
    const auto dot = name.find_last_of('.');
    const bool lowerExt = dot != std::string::npos && dot + 1 < name.size() && std::islower(static_cast<unsigned char>(name[dot + 1]));
    std::string e = ext;
    std::transform(e.begin(), e.end(), e.begin(), [lowerExt](unsigned char c) { return char(lowerExt ? std::tolower(c) : std::toupper(c)); });
    return joinPath(dir, stem + "." + e);
}

std::vector<std::string> companionFiles(const std::string& tablePath, bool (*match)(const std::string& upperExt))
{
    std::string dir, name;
    splitPath(tablePath, dir, name);
    const std::string stem = upper(stemOf(name));
    std::vector<std::string> out;
    for (const auto& entry : listDir(dir)) {
        const auto dot = entry.find_last_of('.');
        if (dot == std::string::npos || upper(entry.substr(0, dot)) != stem)
            continue;
        if (match(upper(entry.substr(dot + 1))))
            out.push_back(joinPath(dir, entry));
    }
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace tv::px
