#include "pxlock.h"

#include "engine/engineerror.h"
#include "engine/fileio.h"
#include "engine/mappedfile.h"
#include "pxfield.h"
#include "pxheader.h"

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
int writeDurable(const std::string& path, const std::string& content, const std::string& tablePath, mode_t mode)
{
    const int fd = openPlainFile(path, O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW, mode);
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

} // namespace

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

bool isSavedCompanion(const std::string& ext)
{
    if (ext == "MB" || ext == "PX")
        return true;
    return ext.size() == 3 && (ext[0] == 'X' || ext[0] == 'Y') && std::isxdigit(static_cast<unsigned char>(ext[2])) &&
           (ext[1] == 'G' || std::isxdigit(static_cast<unsigned char>(ext[1])));
}

namespace {

// True for the table's own file name and the names of its companions: the only files a save
// (or the completion of one) may touch.
bool belongsToTable(const std::string& name, const std::string& tableName)
{
    if (name == tableName)
        return true;
    if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos)
        return false;
    const auto dot = name.find_last_of('.');
    return dot != std::string::npos && upper(name.substr(0, dot)) == upper(stemOf(tableName)) && isSavedCompanion(upper(name.substr(dot + 1)));
}

bool parseJournal(const std::string& text, const std::string& tableName, std::vector<JournalEntry>& entries)
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
        // Only the table's own files, and never the data file itself removed.
        if ((e.op != 'R' && e.op != 'D') || !belongsToTable(e.name, tableName) || (e.op == 'D' && e.name == tableName))
            return false;
        entries.push_back(e);
        pos = nl + 1;
    }
    return true;
}

// Why the journal `entries` of a save of `tableName` must not be followed, or "": every save
// replaces the data file, and none removes a file the new data file still needs (its memo
// file, its primary index, an index whose two files are both there and not replaced).
std::string journalMisfit(const std::string& dir, const std::string& tableName, const std::vector<JournalEntry>& entries)
{
    const auto replaced = [&](const std::string& name) {
        return std::any_of(entries.begin(), entries.end(), [&](const JournalEntry& e) { return e.op == 'R' && upper(e.name) == upper(name); });
    };
    if (!replaced(tableName))
        return "it does not replace the data file, as every save does";
    const std::string table = joinPath(dir, tableName);
    const std::string temp = table + kTempSuffix;
    Header h;
    try {
        const MappedFile data(::access(temp.c_str(), F_OK) == 0 ? temp : table, MappedFile::Reading::Touched);
        h = parseHeader(data.data(), data.size(), tableName);
    } catch (const EngineError&) {
        return "the data file it leaves cannot be read";
    }
    for (const auto& e : entries) {
        if (e.op != 'D')
            continue;
        const auto dot = e.name.find_last_of('.');
        const std::string ext = upper(e.name.substr(dot + 1));
        bool needed = false;
        if (ext == "MB")
            needed = std::any_of(h.fields.begin(), h.fields.end(), [](const FieldDesc& d) { return isBlobType(d.type); });
        else if (ext == "PX")
            needed = h.keyFields > 0;
        else {
            // An index both of whose files are there and that lists as many records as the
            // data file holds is the table's (a table created anew drops the old one's).
            std::string xExt = ext, yExt = ext;
            xExt[0] = 'X';
            yExt[0] = 'Y';
            bool haveX = false, haveY = false;
            const std::string x = companionPath(table, xExt, &haveX), y = companionPath(table, yExt, &haveY);
            if (haveX && haveY && !replaced(fileNameOf(x)) && !replaced(fileNameOf(y))) {
                try {
                    const MappedFile index(x, MappedFile::Reading::Touched);
                    const Header xh = parseHeader(index.data(), index.size(), x);
                    const auto fits = [&](unsigned n) { return n >= 1 && n <= h.fields.size(); };
                    needed = xh.numRecords == h.numRecords &&
                             (xh.fieldNumbers.empty() ? fits(xh.indexFieldNumber)
                                                      : std::all_of(xh.fieldNumbers.begin(), xh.fieldNumbers.end(),
                                                                    [&](uint16_t n) { return fits(n & 0x7FFFu); }));
                } catch (const EngineError&) {
                }
            }
        }
        if (needed)
            return "it removes " + e.name + ", which the table still needs";
    }
    return {};
}

bool readSmallFile(const std::string& path, std::string& out)
{
    const int fd = openPlainFile(path, O_RDONLY | O_NOFOLLOW);
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

bool isOurTemp(const std::string& name, const std::string& tableName)
{
    const std::string suffix = kTempSuffix;
    if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const std::string base = name.substr(0, name.size() - suffix.size());
    return base == tableName + kJournalSuffix || belongsToTable(base, tableName);
}

struct stat statOf(int fd)
{
    struct stat st {};
    ::fstat(fd, &st);
    return st;
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

} // namespace

// ---------------------------------------------------------------------------------------------

TableLock::TableLock(const std::string& tablePath) : tablePath_(tablePath)
{
    std::string name;
    splitPath(tablePath, folder_, name);
}

TableLock::~TableLock() { unlock(); }

bool TableLock::acquire(int op, bool wait)
{
    unlock();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        bool onFolder = false;
        int fd = openPlainFile(tablePath_, O_RDONLY);
        if (fd < 0 && errno == ENOENT) {
            fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            onFolder = true;
        }
        if (fd < 0)
            return false;
        while (::flock(fd, op | LOCK_NB) != 0) {
            const int err = errno;
            if (err == EWOULDBLOCK && !wait) {
                ::close(fd);
                errno = err;
                return false;
            }
            if ((err != EWOULDBLOCK && err != EINTR) || std::chrono::steady_clock::now() > deadline) {
                ::close(fd);
                if (err != EWOULDBLOCK && err != EINTR) {
                    errno = err;
                    return false;
                }
                throw EngineError(tablePath_ + ": the table is locked by another program");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        // Still the file at the table's path (a save may have replaced it while we waited)?
        struct stat now {};
        const bool exists = ::stat(tablePath_.c_str(), &now) == 0;
        if (onFolder ? !exists : exists && sameFile(now, statOf(fd))) {
            fd_ = fd;
            return true;
        }
        ::close(fd);
    }
}

bool TableLock::lockShared() { return acquire(LOCK_SH); }

bool TableLock::tryLockShared() { return acquire(LOCK_SH, false); }

void TableLock::lockExclusive()
{
    if (!acquire(LOCK_EX))
        throw EngineError(sysError(tablePath_ + ": cannot save, the table cannot be locked", errno));
}

void TableLock::unlock()
{
    if (fd_ >= 0)
        ::close(fd_);   // releases the lock
    fd_ = -1;
}

// ---------------------------------------------------------------------------------------------

FileVersion::Seen FileVersion::look(int fd)
{
    Seen s;
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtimeSec = st.st_mtim.tv_sec;
    s.mtimeNsec = st.st_mtim.tv_nsec;
    // The fixed part of a Paradox header: counts, block numbers and change counters.
    char head[0x78];
    const ssize_t n = ::pread(fd, head, sizeof head, 0);
    s.head.assign(head, n > 0 ? size_t(n) : 0);
    return s;
}

void FileVersion::remember(const std::string& path)
{
    const int fd = openPlainFile(path, O_RDONLY);
    seen_ = look(fd);
    if (fd >= 0)
        ::close(fd);
}

void FileVersion::rememberFd(int fd) { seen_ = look(fd); }

void FileVersion::rememberIfSame(const std::string& path)
{
    const int fd = openPlainFile(path, O_RDONLY);
    const Seen now = look(fd);
    if (fd >= 0)
        ::close(fd);
    if (now.exists && seen_.exists && now.dev == seen_.dev && now.ino == seen_.ino && now.head == seen_.head)
        seen_ = now;
}

bool FileVersion::unchanged(const std::string& path) const
{
    const int fd = openPlainFile(path, O_RDONLY);
    const Seen now = look(fd);
    if (fd >= 0)
        ::close(fd);
    return now == seen_;
}

// ---------------------------------------------------------------------------------------------

std::string tempPathFor(const std::string& finalPath) { return finalPath + kTempSuffix; }

mode_t tempModeFor(const std::string& finalPath, const std::string& tablePath)
{
    struct stat st {};
    if (::stat(finalPath.c_str(), &st) == 0 || ::stat(tablePath.c_str(), &st) == 0)
        return st.st_mode & 0666;
    return 0666;
}

// Gives the new version of a file the permissions and owner of the one it replaces (the new
// companions those of the table's data file); refuses to replace a read-only file or a link.
static void takeOverAttributes(int fd, const std::string& finalPath, const std::string& tablePath)
{
    struct stat st {};
    if (::lstat(finalPath.c_str(), &st) != 0 && ::stat(tablePath.c_str(), &st) != 0)
        return;
    if (S_ISLNK(st.st_mode))
        throw EngineError(tablePath + ": cannot save, " + finalPath + " is a symbolic link; the change is not saved");
    if ((st.st_mode & 0222) == 0)
        throw EngineError(tablePath + ": cannot save, " + finalPath + " is read-only; the change is not saved");
    if (::fchmod(fd, st.st_mode & 07777) != 0)
        throw EngineError(sysError(tablePath + ": cannot save, the permissions of " + finalPath + " cannot be kept", errno));
    if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
        // Only the owner's own files, or every file for the administrator: nothing to keep.
    }
}

std::vector<int> commitSave(const std::string& tablePath, const std::vector<FileChange>& changes)
{
    std::string dir, tableName;
    splitPath(tablePath, dir, tableName);
    std::vector<JournalEntry> entries;
    std::vector<std::string> temps;
    std::vector<int> fds;
    try {
        for (const auto& c : changes) {
            std::string cdir, cname;
            splitPath(c.path, cdir, cname);
            if (cdir != dir || !belongsToTable(cname, tableName))
                throw EngineError(tablePath + ": cannot save " + c.path + ", it is not one of the table's files");
            struct stat st {};
            if (::lstat(c.path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
                throw EngineError(tablePath + ": cannot save, " + c.path + " is a symbolic link; the change is not saved");
            if (c.remove) {
                entries.push_back({'D', cname});
                continue;
            }
            const std::string temp = c.path + kTempSuffix;
            temps.push_back(temp);
            const int fd = c.prewritten ? openPlainFile(temp, O_RDONLY | O_NOFOLLOW)
                                        : writeDurable(temp, c.content, tablePath, tempModeFor(c.path, tablePath));
            if (fd < 0)
                throw EngineError(sysError(tablePath + ": cannot save, " + temp + " is gone", errno));
            fds.push_back(fd);
            takeOverAttributes(fd, c.path, tablePath);
            entries.push_back({'R', cname});
        }
        const std::string journal = tablePath + kJournalSuffix;
        const std::string journalTemp = journal + kTempSuffix;
        temps.push_back(journalTemp);
        ::close(writeDurable(journalTemp, journalText(entries), tablePath, tempModeFor(tablePath, tablePath)));
        syncDir(dir, tablePath);
        if (::rename(journalTemp.c_str(), journal.c_str()) != 0)
            throw EngineError(sysError(tablePath + ": cannot save, the journal cannot be renamed", errno));
        temps.pop_back();
        syncDir(dir, tablePath);
    } catch (...) {
        for (const auto& t : temps)
            ::unlink(t.c_str());
        // The temporaries written before this call are ours to remove too, also those of the
        // files the loop above did not reach.
        for (const auto& c : changes)
            if (c.prewritten)
                ::unlink((c.path + kTempSuffix).c_str());
        for (int fd : fds)
            ::close(fd);
        throw;
    }
    // From here on the save is decided; a failure below is finished by recoverSave().
    try {
        if (const std::vector<std::string> refused = recoverSave(tablePath); !refused.empty())
            throw EngineError(refused.front());
    } catch (...) {
        for (int fd : fds)
            ::close(fd);
        throw;
    }
    return fds;
}

std::vector<std::string> recoverSave(const std::string& tablePath)
{
    std::string dir, tableName;
    splitPath(tablePath, dir, tableName);
    const std::string journal = tablePath + kJournalSuffix;
    std::string text;
    std::vector<std::string> notices;
    bool changed = false;
    int newTable = -1;   // the new data file, locked until the save is complete
    struct Closer {
        int& fd;
        ~Closer()
        {
            if (fd >= 0)
                ::close(fd);
        }
    } closer{newTable};
    if (readSmallFile(journal, text)) {
        std::vector<JournalEntry> entries;
        if (parseJournal(text, tableName, entries)) {
            if (const std::string why = journalMisfit(dir, tableName, entries); !why.empty()) {
                // Not followed, and nothing of it removed: the files stay as they are.
                std::string aside = journal + ".stale";
                for (int i = 2; ::access(aside.c_str(), F_OK) == 0 && i < 1000; ++i)
                    aside = journal + ".stale" + std::to_string(i);
                if (::rename(journal.c_str(), aside.c_str()) != 0)
                    throw EngineError(sysError(journal + ": a save journal that does not fit the table cannot be set aside", errno));
                syncDir(dir, tablePath);
                notices.push_back(journal + ": the save journal was not followed: " + why +
                                  ". The table is used as its files are; the journal is kept as " + aside +
                                  "; remove it once the notes are checked.");
                return notices;
            }
            for (const auto& e : entries) {
                const std::string final = joinPath(dir, e.name);
                if (e.op == 'R') {
                    const std::string temp = final + kTempSuffix;
                    if (e.name == tableName && newTable < 0) {
                        // Whoever opens the table next waits on the new file until we are done.
                        newTable = openPlainFile(temp, O_RDONLY | O_NOFOLLOW);
                        if (newTable >= 0)
                            ::flock(newTable, LOCK_EX | LOCK_NB);
                    }
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
    for (const auto& name : listDir(dir))
        if (isOurTemp(name, tableName)) {
            ::unlink(joinPath(dir, name).c_str());
            changed = true;
        }
    if (changed)
        syncDir(dir, tablePath);
    return notices;
}

std::vector<std::string> unfinishedSaveFiles(const std::string& tablePath)
{
    std::vector<std::string> out;
    struct stat st {};
    if (::lstat((tablePath + kJournalSuffix).c_str(), &st) == 0)
        out.push_back(tablePath + kJournalSuffix);
    std::string dir, tableName;
    splitPath(tablePath, dir, tableName);
    for (const auto& name : listDir(dir))
        if (isOurTemp(name, tableName))
            out.push_back(joinPath(dir, name));
    return out;
}

bool saveNeedsRecovery(const std::string& tablePath) { return !unfinishedSaveFiles(tablePath).empty(); }

std::string fileNameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string companionPath(const std::string& tablePath, const std::string& ext, bool* exists)
{
    std::string dir, name;
    splitPath(tablePath, dir, name);
    const std::string stem = stemOf(name);
    const std::string entry = findNameIgnoringCase(dir, stem + "." + ext);
    if (exists)
        *exists = !entry.empty();
    if (!entry.empty())
        return joinPath(dir, entry);
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
