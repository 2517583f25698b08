#include "engine/mappedfile.h"

#include "engine/engineerror.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tv {

namespace {

// The mappings the SIGBUS handler may mend. The handler reads them without locking, so every
// field is atomic; a place is only handed out again once its mapping is gone.
struct Guarded {
    std::atomic<uintptr_t> start{0};
    std::atomic<size_t> length{0};
    std::atomic<bool> cut{false};
};
constexpr int kGuarded = 1024;
Guarded g_guarded[kGuarded];
std::mutex g_guardMutex;
struct sigaction g_previousBus {};

void onBusError(int sig, siginfo_t* info, void* context)
{
    const auto addr = reinterpret_cast<uintptr_t>(info->si_addr);
    for (auto& g : g_guarded) {
        const uintptr_t start = g.start.load(std::memory_order_acquire);
        const size_t length = g.length.load(std::memory_order_acquire);
        if (start == 0 || addr < start || addr - start >= length)
            continue;
        // Zero pages from the faulting one to the end of the mapping: the file is gone there.
        const auto page = uintptr_t(::sysconf(_SC_PAGESIZE));
        const uintptr_t from = addr & ~(page - 1);
        const uintptr_t end = (start + length + page - 1) & ~(page - 1);
        if (::mmap(reinterpret_cast<void*>(from), end - from, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == MAP_FAILED)
            break;
        g.cut.store(true, std::memory_order_release);
        return;
    }
    // Not one of ours: whatever handled it before (by default the program ends).
    if (g_previousBus.sa_flags & SA_SIGINFO) {
        if (g_previousBus.sa_sigaction) {
            g_previousBus.sa_sigaction(sig, info, context);
            return;
        }
    } else if (g_previousBus.sa_handler != SIG_DFL && g_previousBus.sa_handler != SIG_IGN) {
        g_previousBus.sa_handler(sig);
        return;
    }
    ::signal(SIGBUS, SIG_DFL);   // the access runs again and ends the program as usual
}

int guard(const uint8_t* data, size_t size)
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction sa {};
        sa.sa_sigaction = onBusError;
        sa.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&sa.sa_mask);
        ::sigaction(SIGBUS, &sa, &g_previousBus);
    });
    const std::lock_guard<std::mutex> lock(g_guardMutex);
    for (int i = 0; i < kGuarded; ++i) {
        Guarded& g = g_guarded[i];
        if (g.start.load(std::memory_order_relaxed) != 0)
            continue;
        g.cut.store(false, std::memory_order_relaxed);
        g.length.store(size, std::memory_order_release);
        g.start.store(reinterpret_cast<uintptr_t>(data), std::memory_order_release);
        return i;
    }
    return -1;
}

void unguard(int i)
{
    const std::lock_guard<std::mutex> lock(g_guardMutex);
    g_guarded[i].start.store(0, std::memory_order_release);
    g_guarded[i].length.store(0, std::memory_order_release);
}

} // namespace

MappedFile::MappedFile(const std::string& path, Reading reading)
{
    // Without waiting: a pipe in the place of the file is refused below, not waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throw EngineError(path + ": cannot open: " + std::strerror(errno));
    try {
        map(fd, path, reading);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
}

MappedFile::MappedFile(int fd, const std::string& path) { map(fd, path); }

void MappedFile::map(int fd, const std::string& path, Reading reading)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw EngineError(path + ": cannot open: " + std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        throw EngineError(path + ": is not a file (a pipe, a device or a folder is in its place)");
    if (st.st_size > 0) {
        void* p = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
        if (p == MAP_FAILED)
            throw EngineError(path + ": cannot read: " + std::strerror(errno));
        if (reading == Reading::Touched)
            ::madvise(p, size_t(st.st_size), MADV_RANDOM);   // advice only: a refusal changes nothing
        data_ = static_cast<const uint8_t*>(p);
        size_ = size_t(st.st_size);
        owned_ = true;
        guard_ = guard(data_, size_);
        if (guard_ < 0) {
            release();
            throw EngineError(path + ": cannot read: too many files are open");
        }
    }
}

void MappedFile::readTouchedOnly(size_t length)
{
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    length = std::min(length, size_) & ~(page - 1);   // whole pages only: the rest reads as before
    if (owned_ && length > 0)
        ::madvise(const_cast<uint8_t*>(data_), length, MADV_RANDOM);   // advice only
}

void MappedFile::readInLargePieces() const
{
    if (!owned_ || size_ == 0)
        return;
    void* p = const_cast<uint8_t*>(data_);
#ifdef MADV_HUGEPAGE
    ::madvise(p, size_, MADV_HUGEPAGE);   // advice only: a refusal changes nothing
#endif
    ::madvise(p, size_, MADV_WILLNEED);
}

bool MappedFile::intact() const { return guard_ < 0 || !g_guarded[guard_].cut.load(std::memory_order_acquire); }

void MappedFile::releaseResidentPages()
{
    // Under the lock no mapping can be unmapped (release() leaves the guarded ones first), so
    // the ranges stay ours while they are advised. A part mended after a cut is anonymous and
    // private: its pages come back as the zeros they were.
    const std::lock_guard<std::mutex> lock(g_guardMutex);
    for (const Guarded& g : g_guarded) {
        const uintptr_t start = g.start.load(std::memory_order_acquire);
        const size_t length = g.length.load(std::memory_order_acquire);
        if (start != 0 && length != 0)
            ::madvise(reinterpret_cast<void*>(start), length, MADV_DONTNEED);   // advice only
    }
}

MappedFile& MappedFile::operator=(MappedFile&& o) noexcept
{
    if (this != &o) {
        release();
        data_ = o.data_;
        size_ = o.size_;
        owned_ = o.owned_;
        guard_ = o.guard_;
        o.data_ = nullptr;
        o.size_ = 0;
        o.owned_ = false;
        o.guard_ = -1;
    }
    return *this;
}

MappedFile::~MappedFile() { release(); }

void MappedFile::release()
{
    // Out of the handler's sight before the address range can be handed out again.
    if (guard_ >= 0)
        unguard(guard_);
    if (owned_ && data_)
        ::munmap(const_cast<uint8_t*>(data_), size_);
    data_ = nullptr;
    size_ = 0;
    owned_ = false;
    guard_ = -1;
}

} // namespace tv
