// Huge-page advice for large blocks of memory.
#include "engine/CMemoryPages.h"

#include <cstdint>
#include <new>

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

std::uintptr_t toHugePage(std::uintptr_t address)
{
    return (address + kHugePage - 1) & ~(kHugePage - 1);
}
} // namespace

void CMemoryPages::adviseHuge(void* start, std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (!start || bytes < kSmallest)
        return;
    const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(start);
    const std::uintptr_t first = toHugePage(begin);
    const std::uintptr_t last = (begin + bytes) & ~(kHugePage - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);  // a refusal changes nothing
#else
    (void)start;
    (void)bytes;
#endif
}

#if defined(__linux__)
namespace
{
std::size_t mappedSize(std::size_t bytes)
{
    const std::size_t page = bytes < kHugePage ? 4096 : kHugePage;
    return (bytes + page - 1) & ~(page - 1);
}
} // namespace

void* CMemoryPages::allocate(std::size_t bytes)
{
    if (bytes < kMappedFrom)
        return ::operator new(bytes);
    const std::size_t size = mappedSize(bytes);
    if (size < bytes || size + kHugePage < size)
        throw std::bad_alloc();
    if (bytes < kHugePage) {
        void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            throw std::bad_alloc();
        return mapped;
    }
    // One huge page more than needed, so that an aligned start lies inside; the parts before
    // and after it go back at once.
    void* mapped = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = toHugePage(begin);
    if (aligned > begin)
        munmap(mapped, aligned - begin);
    if (aligned + size < begin + size + kHugePage)
        munmap(reinterpret_cast<void*>(aligned + size), begin + kHugePage - aligned);
    // Aligned and whole, the block takes no more memory in huge pages than in small ones.
#if defined(MADV_HUGEPAGE)
    madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(aligned);
}

void CMemoryPages::release(void* block, std::size_t bytes) noexcept
{
    if (!block)
        return;
    if (bytes < kMappedFrom)
        ::operator delete(block);
    else
        munmap(block, mappedSize(bytes));
}
#else
void* CMemoryPages::allocate(std::size_t bytes)
{
    return ::operator new(bytes);
}

void CMemoryPages::release(void* block, std::size_t) noexcept
{
    ::operator delete(block);
}
#endif

} // namespace VELK
