#pragma once
// Asking the kernel for the pages of a mapping before they are touched: one large read in the
// background instead of a fault (and, on a cold cache, a small synchronous read) per page.

#include <cstddef>
#include <cstdint>
#include <sys/mman.h>

namespace tv {

// `sequential`: the range is about to be read once from start to end.
inline void readAhead(const void* data, size_t size, bool sequential = false)
{
    if (!data || size == 0)
        return;
    const uintptr_t page = 4096;
    const uintptr_t begin = reinterpret_cast<uintptr_t>(data) & ~(page - 1);
    const size_t length = size_t(reinterpret_cast<uintptr_t>(data) + size - begin);
    void* p = reinterpret_cast<void*>(begin);
    if (sequential)
        ::madvise(p, length, MADV_SEQUENTIAL);
    ::madvise(p, length, MADV_WILLNEED);   // advice only: a refusal changes nothing
}

} // namespace tv
