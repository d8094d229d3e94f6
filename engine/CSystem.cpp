// Processor count, mapped blocks with huge-page advice, and the heap's settings.
#include "engine/CSystem.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>                                     // defines __GLIBC__ with the C library
#include <cstring>
#include <new>
#include <thread>

#if defined(__linux__)
#include <sched.h>
#include <sys/mman.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace VELK
{

namespace
{
const std::uintptr_t kHugePage = 2u << 20;
// Below this the faults saved are too few to matter, and a small block would take a
// whole huge page of memory.
const std::size_t kSmallestAdvised = 4 * kHugePage;

inline std::uintptr_t toHugePage(std::uintptr_t address)
{
    return (address + kHugePage - 1) & ~(kHugePage - 1);
}

// A mapped block's size: whole pages, huge ones from a huge page on.
inline std::size_t mappedSize(std::size_t bytes)
{
    const std::size_t page = bytes < kHugePage ? 4096 : kHugePage;
    return (bytes + page - 1) & ~(page - 1);
}
} // namespace

unsigned CSystem::getProcessorCount()
{
    unsigned count = std::max(1u, std::thread::hardware_concurrency());
#if defined(__linux__)
    // A process held to fewer processors runs no more threads than it has: more would only
    // take turns.
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0)
        count = std::min(count, static_cast<unsigned>(CPU_COUNT(&allowed)));
#endif
    // Anything but a positive whole number is ignored.
    if (const char* cap = std::getenv("VELK_THREADS")) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(cap, &end, 10);
        if (*cap >= '0' && *cap <= '9' && end != cap && *end == '\0' && value > 0)
            count = static_cast<unsigned>(std::min<unsigned long>(count, value));
    }
    return count;
}

void CSystem::adviseHugePages(void* start, std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (!start || bytes < kSmallestAdvised)
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

void* CSystem::allocateBlock(std::size_t bytes)
{
#if defined(__linux__)
    if (bytes >= kMappedFrom) {
        const std::size_t size = mappedSize(bytes);
        // From a huge page on, one huge page more than needed, so that an aligned start lies
        // inside; the parts before and after it go back at once.
        const std::size_t slack = bytes < kHugePage ? 0 : kHugePage;
        if (size < bytes || size + slack < size)
            throw std::bad_alloc();
        void* mapped = mmap(nullptr, size + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            throw std::bad_alloc();
        const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(mapped);
        const std::uintptr_t aligned = slack ? toHugePage(begin) : begin;
        if (aligned > begin)
            munmap(mapped, aligned - begin);
        if (aligned + size < begin + size + slack)
            munmap(reinterpret_cast<void*>(aligned + size), begin + slack - aligned);
#if defined(MADV_HUGEPAGE)
        // Aligned and whole, the block takes no more memory in huge pages than in small ones.
        if (slack)
            madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
#endif
        return reinterpret_cast<void*>(aligned);
    }
#endif
    return ::operator new(bytes);
}

void* CSystem::allocateZeroedBlock(std::size_t bytes)
{
    void* block = allocateBlock(bytes);
#if defined(__linux__)
    if (bytes >= kMappedFrom)
        return block;
#endif
    std::memset(block, 0, bytes);
    return block;
}

void CSystem::releaseBlock(void* block, std::size_t bytes) noexcept
{
#if defined(__linux__)
    if (block && bytes >= kMappedFrom) {
        munmap(block, mappedSize(bytes));
        return;
    }
#endif
    ::operator delete(block);
}

void CSystem::keepFreedMemoryInHeap()
{
#if defined(__GLIBC__)
    // 32 MiB is the largest mapping threshold the C library accepts on 64-bit systems;
    // larger blocks still get mappings of their own and go back to the system when freed.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    // Fewer, larger steps when the heap grows.
    mallopt(M_TOP_PAD, 16 << 20);
#endif
}

void CSystem::growHeapInHugePages()
{
#if defined(__GLIBC__)
    // A larger stretch drew a large model faster still but raised its peak memory by a
    // quarter; this one leaves it as it was.
    const std::size_t kStretch = std::size_t(128) << 20;
    mallopt(M_MMAP_MAX, 0);                            // the stretch from the heap, not a mapping
    void* stretch = std::malloc(kStretch);
    mallopt(M_MMAP_MAX, 65536);                        // the library's default again
    adviseHugePages(stretch, kStretch);
    std::free(stretch);
#endif
}

void CSystem::returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace VELK
