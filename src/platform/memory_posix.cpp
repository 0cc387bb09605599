#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

#include "platform/memory.h"

namespace {

#ifdef MADV_HUGEPAGE
// The size of a transparent huge page on x86-64 and the usual arm64 setup.
// On a system with another size the advice covers fewer or no whole pages
// and changes nothing else.
constexpr size_t LargePage = size_t{2} << 20;

size_t LargePagesFor(size_t bytes) {
    return (bytes + LargePage - 1) & ~(LargePage - 1);
}
#endif

}  // namespace

void AdviseLargePages(void* block, size_t filledBytes) {
#ifdef MADV_HUGEPAGE
    if (block == nullptr)
        return;
    const uintptr_t start = reinterpret_cast<uintptr_t>(block);
    const uintptr_t first = (start + LargePage - 1) & ~uintptr_t{LargePage - 1};
    const uintptr_t end = (start + filledBytes) & ~uintptr_t{LargePage - 1};
    // Advice only: where the kernel has no huge page to give, or refuses,
    // the table is backed by small pages as before.
    if (end > first)
        ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
    (void)block;
    (void)filledBytes;
#endif
}

void* AllocateTable(size_t bytes, TableUse use) {
#ifdef MADV_HUGEPAGE
    if (use == TableSpeedFirst && bytes >= LargePage && LargePagesFor(bytes) >= bytes) {
        // Whole large pages from a large page boundary (aligned_alloc wants
        // a size that is a multiple of the alignment).
        const size_t room = LargePagesFor(bytes);
        void* block = std::aligned_alloc(LargePage, room);
        AdviseLargePages(block, room);
        return block;
    }
#else
    (void)use;
#endif
    return std::malloc(bytes);
}
