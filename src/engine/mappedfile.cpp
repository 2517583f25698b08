#include "engine/mappedfile.h"

#include "engine/engineerror.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tv {

MappedFile::MappedFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw EngineError(path + ": cannot open: " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const std::string err = std::strerror(errno);
        ::close(fd);
        throw EngineError(path + ": cannot open: " + err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        throw EngineError(path + ": is not a file");
    }
    if (st.st_size > 0) {
        void* p = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
        if (p == MAP_FAILED) {
            const std::string err = std::strerror(errno);
            ::close(fd);
            throw EngineError(path + ": cannot read: " + err);
        }
        data_ = static_cast<const uint8_t*>(p);
        size_ = size_t(st.st_size);
        owned_ = true;
    }
    ::close(fd);
}

MappedFile& MappedFile::operator=(MappedFile&& o) noexcept
{
    if (this != &o) {
        release();
        data_ = o.data_;
        size_ = o.size_;
        owned_ = o.owned_;
        o.data_ = nullptr;
        o.size_ = 0;
        o.owned_ = false;
    }
    return *this;
}

MappedFile::~MappedFile() { release(); }

void MappedFile::release()
{
    if (owned_ && data_)
        ::munmap(const_cast<uint8_t*>(data_), size_);
    data_ = nullptr;
    size_ = 0;
    owned_ = false;
}

} // namespace tv
