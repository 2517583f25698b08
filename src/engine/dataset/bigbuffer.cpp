#include "engine/dataset/bigbuffer.h"

#include <cstdlib>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace tv {

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
}

void* allocateBig(size_t bytes)
{
    void* p = nullptr;
    if (bytes < kHugePage) {
        p = std::malloc(bytes ? bytes : 1);
    } else {
        const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        p = std::aligned_alloc(kHugePage, rounded);
#ifdef MADV_HUGEPAGE
        if (p)
            ::madvise(p, rounded, MADV_HUGEPAGE);   // advice only: ignored where not supported
#endif
    }
    if (!p)
        throw std::bad_alloc();
    return p;
}

void freeBig(void* p) noexcept { std::free(p); }

} // namespace tv
