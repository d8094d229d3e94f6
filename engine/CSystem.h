#pragma once
// The machine as the engine and the programs tune it: the processors a load may use, large
// blocks mapped apart from the heap and advised for huge pages, the heap's settings. Every
// call that tunes the system (sched_getaffinity, getenv, madvise, mmap, mallopt, malloc_trim)
// is here, each where the system has it.

#include <cstddef>

namespace VELK
{

class CSystem
{
public:
    // The processors this process may run on (taskset, a container's share), capped by
    // VELK_THREADS when it is a positive whole number; at least 1.
    static unsigned getProcessorCount();

    // Huge pages asked for over the whole huge pages within [start, start + bytes): a large
    // block then faults in 512 times fewer steps. Blocks under a few huge pages are left alone.
    static void adviseHugePages(void* start, std::size_t bytes);

    // A block for an array about to be filled, released with the same size; throws
    // std::bad_alloc. From kMappedFrom on it is mapped apart from the heap, so that it goes
    // back to the system when released; from a huge page on it is aligned to one and advised.
    static const std::size_t kMappedFrom = 1u << 20;
    static void* allocateBlock(std::size_t bytes);
    static void releaseBlock(void* block, std::size_t bytes) noexcept;
    // The same, all zeros: a mapped block is zero as the system hands it out, so that only
    // the pages written take memory, and nothing is cleared twice.
    static void* allocateZeroedBlock(std::size_t bytes);

    // The programs' heap, set before anything large is allocated: the load frees hundreds of
    // megabytes just before the OpenGL driver asks for as much again. Blocks up to 32 MiB come
    // from the heap, and freed memory stays in it while under 512 MiB is free at its top.
    static void keepFreedMemoryInHeap();
    // The heap's first 128 MiB grown at once, advised for huge pages and left free: the
    // driver's many blocks while drawing then fault in 2 MiB at a time.
    static void growHeapInHugePages();
    // The heap's free pages given back to the system, its free blocks kept: after a model is
    // released, so that the next one finds no resident holes to grow around.
    static void returnFreedMemory();
};

} // namespace VELK
