#pragma once
// Storage for large scanned buffers (text columns, text chunks). Buffers of 2 MiB and more
// are aligned to and backed by huge pages where the system offers them: a scan then needs
// about 500 times fewer page-table entries than with ordinary pages.

#include <cstddef>
#include <new>
#include <utility>

namespace tv {

// Freed with freeBig(). Throws std::bad_alloc.
void* allocateBig(size_t bytes);
void freeBig(void* p) noexcept;

// Elements a container makes without a value (resize(n)) are left as they are, not zeroed:
// every buffer built with it is written in full before it is read, and zeroing hundreds of
// megabytes first would cost a pass over them.
template <class T>
struct BigAllocator {
    using value_type = T;
    BigAllocator() = default;
    template <class U>
    BigAllocator(const BigAllocator<U>&) noexcept
    {
    }
    T* allocate(size_t n)
    {
        if (n > size_t(-1) / sizeof(T))
            throw std::bad_alloc();
        return static_cast<T*>(allocateBig(n * sizeof(T)));
    }
    void deallocate(T* p, size_t) noexcept { freeBig(p); }
    template <class U, class... Args>
    void construct(U* p, Args&&... args)
    {
        if constexpr (sizeof...(Args) == 0)
            ::new (static_cast<void*>(p)) U;
        else
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <class U>
    bool operator==(const BigAllocator<U>&) const noexcept
    {
        return true;
    }
};

} // namespace tv
