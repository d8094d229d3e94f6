// Huge-page advice for large blocks of memory.
#include "engine/CMemoryPages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace VELK
{

namespace
{
const std::uintptr_t kHugePage = 2u << 20;
// Below this the faults saved are too few to matter, and a small block would take a
// whole huge page of memory.
const std::size_t kSmallest = 4 * kHugePage;
} // namespace

void CMemoryPages::adviseHuge(void* start, std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (!start || bytes < kSmallest)
        return;
    const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(start);
    const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kHugePage - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);  // a refusal changes nothing
#else
    (void)start;
    (void)bytes;
#endif
}

} // namespace VELK
