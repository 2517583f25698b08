#include "fileio.h"

#include "engine/engineerror.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tv {

namespace {

std::string systemError() { return std::strerror(errno); }

void syncFd(int fd, const std::string& path)
{
    if (::fsync(fd) != 0)
        throw EngineError(path + ": cannot save to disk: " + systemError());
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

} // namespace

void writeAllAt(int fd, const std::string& path, uint64_t offset, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), off_t(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EngineError(path + ": cannot write: " + systemError());
        }
        bytes.remove_prefix(size_t(n));
        offset += uint64_t(n);
    }
}

bool fileExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int openPlainFile(const std::string& path, int flags, unsigned mode)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, mode_t(mode));
    struct stat st {};
    const int err = errno;
    if (fd < 0 ? ::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)
               : ::fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        throw EngineError(path + ": is not a file (a pipe, a device or a folder is in its place); it is left alone. "
                                 "Move it away and put the file back");
    }
    if (fd < 0)
        errno = err;
    else
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::string readWholeFile(const std::string& path)
{
    MappedFile map(path);
    return std::string(map.bytes());
}

void replaceFileDurably(const std::string& path, std::string_view bytes)
{
    const std::string tmp = path + ".tmp";
    // The new file keeps the permissions of the one it replaces, from its creation on.
    struct stat st {};
    const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0666) : 0666;
    const int fd = openPlainFile(tmp, O_WRONLY | O_CREAT | O_TRUNC, mode);
    if (fd < 0)
        throw EngineError(path + ": cannot create: " + systemError());
    try {
        writeAllAt(fd, tmp, 0, bytes);
        syncFd(fd, tmp);
    } catch (...) {
        ::close(fd);
        ::unlink(tmp.c_str());
        throw;
    }
    ::close(fd);
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const std::string err = systemError();
        ::unlink(tmp.c_str());
        throw EngineError(path + ": cannot replace: " + err);
    }
}

void syncFolderOf(const std::string& path)
{
    const std::string folder = folderOf(path);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        throw EngineError(folder + ": cannot open folder: " + systemError());
    const int rc = ::fsync(fd);
    const std::string err = rc != 0 ? systemError() : std::string();
    ::close(fd);
    if (rc != 0)
        throw EngineError(folder + ": cannot save to disk: " + err);
}

void removeFileIfPresent(const std::string& path)
{
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        throw EngineError(path + ": cannot remove: " + systemError());
}

WritableFile::WritableFile(const std::string& path) : path_(path)
{
    fd_ = openPlainFile(path, O_RDWR);
    if (fd_ < 0)
        throw EngineError(path + ": cannot open for writing: " + systemError());
}

WritableFile::WritableFile(WritableFile&& other) noexcept : path_(std::move(other.path_)), fd_(other.fd_)
{
    other.fd_ = -1;
}

WritableFile& WritableFile::operator=(WritableFile&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        path_ = std::move(other.path_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

WritableFile::~WritableFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void WritableFile::writeAt(uint64_t offset, std::string_view bytes) { writeAllAt(fd_, path_, offset, bytes); }

void WritableFile::sync() { syncFd(fd_, path_); }

static size_t extensionDot(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string::npos;
    return dot;
}

static std::string withCase(std::string s, bool upper)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [upper](unsigned char c) { return char(upper ? std::toupper(c) : std::tolower(c)); });
    return s;
}

std::string companionPath(const std::string& path, const std::string& ext)
{
    const size_t dot = extensionDot(path);
    const std::string stem = dot == std::string::npos ? path : path.substr(0, dot);
    const std::string ownExt = dot == std::string::npos ? std::string() : path.substr(dot + 1);
    const bool upper = !ownExt.empty() && std::all_of(ownExt.begin(), ownExt.end(), [](unsigned char c) {
        return !std::isalpha(c) || std::isupper(c);
    });
    return stem + "." + withCase(ext, upper);
}

std::string findCompanion(const std::string& path, const std::string& ext)
{
    const size_t dot = extensionDot(path);
    const std::string stem = dot == std::string::npos ? path : path.substr(0, dot);
    for (const std::string& candidate :
         {companionPath(path, ext), stem + "." + withCase(ext, false), stem + "." + withCase(ext, true)})
        if (fileExists(candidate))
            return candidate;
    // Files copied from DOS or Windows come in any mix of cases ("agencias.dbf" beside
    // "AGENCIAS.DBT", "b_daten.DBt"): any name of the folder equal to ours but for case.
    const std::string folder = folderOf(path);
    const auto slash = stem.find_last_of('/');
    const std::string entry = findNameIgnoringCase(folder, (slash == std::string::npos ? stem : stem.substr(slash + 1)) + "." + ext);
    if (entry.empty())
        return {};
    const std::string other = slash == std::string::npos ? entry : (folder == "/" ? "/" : folder + "/") + entry;
    return fileExists(other) ? other : std::string();
}

std::string findNameIgnoringCase(const std::string& folder, const std::string& name)
{
    const std::string wanted = withCase(name, true);
    std::string found;
    DIR* d = ::opendir(folder.c_str());
    if (!d)
        return found;
    while (const dirent* e = ::readdir(d))
        if (withCase(e->d_name, true) == wanted) {
            found = e->d_name;
            break;
        }
    ::closedir(d);
    return found;
}

std::string baseName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name.resize(dot);
    return name;
}

} // namespace tv
