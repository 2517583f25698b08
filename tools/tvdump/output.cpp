#include "output.h"

#include "engine/codepage.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>

namespace tvdump {

namespace {

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string fileNameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Extensions of the files that go with a table of extension `table` (upper case).
bool isCompanionExtension(const std::string& upper, const std::string& table)
{
    static const char* const paradox[] = {"DB", "MB", "PX", "VAL", "TV", "FAM"};
    static const char* const dbase[] = {"DBF", "DBT", "MDX", "NDX", "FPT", "CDX"};
    const auto in = [&](const auto& list) { return std::find_if(std::begin(list), std::end(list), [&](const char* k) { return upper == k; }) != std::end(list); };
    if (table == "DBF")
        return in(dbase);
    return in(paradox) || (upper.size() == 3 && (upper[0] == 'X' || upper[0] == 'Y'));   // secondary indexes: .X01, .YG0, ...
}

bool isCompanionName(const std::string& upper, const std::string& table, const std::string& stem)
{
    if (upper.size() <= stem.size() + 1 || upper.compare(0, stem.size() + 1, stem + '.') != 0)
        return false;
    // The engine's own files beside a table: QA.DB.tvjournal, QA.MB.tvnew, ...
    for (const std::string own : {".TVJOURNAL", ".TVNEW", ".TVLOG"})
        if (upper.size() > own.size() && upper.compare(upper.size() - own.size(), own.size(), own) == 0)
            return true;
    return isCompanionExtension(upper.substr(stem.size() + 1), table.size() > stem.size() ? table.substr(stem.size() + 1) : std::string());
}

bool statId(const std::string& path, FileId& id)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return false;
    id = {st.st_dev, st.st_ino};
    return true;
}

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error(what); }

std::string systemError(const std::string& what, int error) { return what + ": " + std::strerror(error); }

// Follows symbolic links to the file they name, which may not exist yet. Sets `special` when a
// link leads into /proc or /dev/fd, whose links stand for open files rather than names.
std::string followLinks(std::string path, bool& special)
{
    special = false;
    for (int hops = 0; hops < 40; ++hops) {
        if (path.rfind("/proc/", 0) == 0 || path.rfind("/dev/fd/", 0) == 0) {
            special = true;
            return path;
        }
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::string target(size_t(st.st_size > 0 ? st.st_size : 256) + 1, '\0');
        const ssize_t n = readlink(path.c_str(), target.data(), target.size());
        if (n < 0)
            fail(systemError("cannot read the symbolic link", errno));
        target.resize(size_t(n));
        path = target.front() == '/' ? target : folderOf(path) + '/' + target;
    }
    fail("too many levels of symbolic links");
}

const char* volatile gPendingPath = nullptr;

extern "C" void dropPendingAndExit(int sig)
{
    if (const char* path = gPendingPath)
        unlink(path);
    _exit(128 + sig);
}

} // namespace

void TableFiles::addBeside(const std::string& tablePath)
{
    Names n;
    n.name = tv::foldAsciiUpper(fileNameOf(tablePath));
    const auto dot = n.name.find_last_of('.');
    n.stem = dot == std::string::npos ? n.name : n.name.substr(0, dot);
    const std::string folder = folderOf(tablePath);
    if (!statId(folder, n.folder))
        return;
    names_.push_back(n);
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* e = readdir(dir)) {
        FileId id;
        if (isCompanionName(tv::foldAsciiUpper(e->d_name), n.name, n.stem) && statId(folder + '/' + e->d_name, id))
            files_.push_back(id);
    }
    closedir(dir);
}

void TableFiles::add(const std::string& tablePath)
{
    FileId id;
    if (statId(tablePath, id))
        files_.push_back(id);
    addBeside(tablePath);
    bool special = false;
    const std::string target = followLinks(tablePath, special);
    if (target != tablePath && !special)
        addBeside(target);   // the companions lie beside the linked file
}

bool TableFiles::covers(const std::string& path) const
{
    FileId id;
    if (statId(path, id))
        return std::find(files_.begin(), files_.end(), id) != files_.end();
    FileId folder;
    if (!statId(folderOf(path), folder))
        return false;
    const std::string upper = tv::foldAsciiUpper(fileNameOf(path));
    return std::any_of(names_.begin(), names_.end(), [&](const Names& n) { return n.folder == folder && isCompanionName(upper, n.name, n.stem); });
}

OutputTarget OutputTarget::resolve(const std::string& path, const TableFiles& readOnly)
{
    OutputTarget t;
    if (path == "-") {
        t.kind = Kind::Stdout;
        t.path = path;
        return t;
    }
    const auto refuse = [] { fail("is a file of a table being read; it is not overwritten"); };
    if (readOnly.covers(path))
        refuse();
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            fail("is a directory");
        if (!S_ISREG(st.st_mode)) {   // a device, FIFO or socket: written as it is
            t.kind = Kind::Straight;
            t.path = path;
            return t;
        }
    }
    bool special = false;
    t.path = followLinks(path, special);
    if (special) {   // /dev/stdout and the like: the file behind is already open elsewhere
        t.kind = Kind::Straight;
        t.path = path;
        return t;
    }
    if (t.path != path && readOnly.covers(t.path))
        refuse();
    if (lstat(t.path.c_str(), &st) == 0) {
        t.exists = true;
        t.mode = st.st_mode & 07777;
        t.uid = st.st_uid;
        t.gid = st.st_gid;
    } else if (errno != ENOENT) {
        fail(systemError("cannot look at it", errno));
    } else {
        const std::string folder = folderOf(t.path);
        if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            fail("the folder " + folder + " does not exist");
    }
    return t;
}

PendingFile::PendingFile(const OutputTarget& target) : target_(target), temp_(target.path + ".XXXXXX")
{
    const int fd = mkstemp(temp_.data());
    if (fd < 0)
        fail(systemError("cannot create a file beside it", errno));
    // mkstemp makes the file private: give it the permissions of the file it replaces, or those
    // a plain new file would get.
    if (target.exists) {
        if (geteuid() == 0)
            (void)fchown(fd, target.uid, target.gid);
        fchmod(fd, target.mode);
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    gPendingPath = temp_.c_str();
    file_ = fdopen(fd, "wb");
    if (!file_) {
        ::close(fd);
        std::remove(temp_.c_str());
        gPendingPath = nullptr;
        fail("cannot open the output");
    }
}

PendingFile::~PendingFile()
{
    gPendingPath = nullptr;
    if (file_)
        std::fclose(file_);
    if (!done_)
        std::remove(temp_.c_str());
}

void PendingFile::closeStream()
{
    const bool ok = std::fflush(file_) == 0 && !std::ferror(file_) && fsync(fileno(file_)) == 0;
    const int error = errno;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!ok || !closed)
        fail(systemError("cannot write the output", ok ? errno : error));
}

void PendingFile::commit()
{
    if (file_)
        closeStream();
    gPendingPath = nullptr;
    if (std::rename(temp_.c_str(), target_.path.c_str()) != 0)
        fail(systemError("cannot rename the finished output", errno));
    done_ = true;
}

Output::Output(const std::string& path, const TableFiles& readOnly) : name_(path == "-" ? "standard output" : path)
{
    const OutputTarget target = OutputTarget::resolve(path, readOnly);
    switch (target.kind) {
    case OutputTarget::Kind::Stdout: file_ = stdout; break;
    case OutputTarget::Kind::Straight: {
        const int fd = ::open(target.path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            fail(systemError("cannot open", errno));
        // A regular file reached through /dev/stdout and the like is added to, as the file
        // opened by the shell would be (truncated by '>' already, kept by '>>').
        struct stat st;
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
            (void)fcntl(fd, F_SETFL, O_APPEND);
        file_ = fdopen(fd, "wb");
        if (!file_) {
            ::close(fd);
            fail("cannot open the output");
        }
        break;
    }
    case OutputTarget::Kind::File:
        pending_ = std::make_unique<PendingFile>(target);
        file_ = pending_->stream();
        break;
    }
}

Output::~Output()
{
    if (file_ && file_ != stdout && !pending_)
        std::fclose(file_);
}

void Output::write(std::string& text)
{
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
        failed_ = true;
        error_ = errno;
        throw OutputError(systemError("cannot write the output", error_));
    }
    text.clear();
}

void Output::finish()
{
    if (pending_) {
        if (failed_)
            fail(systemError("cannot write the output", error_));
        pending_->commit();
        file_ = nullptr;
        return;
    }
    if (!failed_ && (std::fflush(file_) != 0 || std::ferror(file_))) {
        failed_ = true;
        error_ = errno;
    }
    // Closing is the last chance to hear of a write that failed.
    const bool closed = std::fclose(file_) == 0;
    if (!failed_ && !closed) {
        failed_ = true;
        error_ = errno;
    }
    file_ = nullptr;
    if (failed_)
        fail(systemError("cannot write the output", error_));
}

void dropPendingOnSignals()
{
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        std::signal(sig, dropPendingAndExit);
}

} // namespace tvdump
