#pragma once
// The machine as the engine and the programs tune it: the processors a load may use, large
// blocks mapped apart from the heap and advised for huge pages, and the heap's settings.
// Every call that asks the system for such tuning (sched_getaffinity, getenv, madvise,
// mmap, mallopt) is made here, each where the system has it; elsewhere the calls do what
// the standard library alone can.

#include <cstddef>

namespace VELK
{

class CSystem
{
public:
    // The processors this process may run on (taskset, a container's share), capped by the
    // environment variable VELK_THREADS when it is a positive whole number; at least 1.
    static unsigned getProcessorCount();

    // Asks for huge pages over the part of [start, start + bytes) that whole huge pages
    // cover: a block of hundreds of megabytes then faults in 512 times fewer times as it is
    // first written. Blocks under a few huge pages are left alone; where the system has no
    // such advice, or refuses it, nothing happens.
    static void adviseHugePages(void* start, std::size_t bytes);

    // A block of at least bytes for an array about to be filled, and its release with the
    // same size. Blocks from kMappedFrom on are mapped apart from the heap, so that they go
    // back to the system the moment they are released (a vector that grows would otherwise
    // leave its old blocks in the heap); those of a huge page and more are aligned to one
    // and advised as above all through. Smaller blocks come from operator new. Throws
    // std::bad_alloc.
    static const std::size_t kMappedFrom = 1u << 20;
    static void* allocateBlock(std::size_t bytes);
    static void releaseBlock(void* block, std::size_t bytes) noexcept;

    // The programs' heap, set before anything large is allocated. A load frees hundreds of
    // megabytes just before the OpenGL driver asks for as much again; by default each large
    // block goes back to the system when freed, and the driver's requests fault fresh pages
    // in one by one. Blocks up to 32 MiB then come from the heap, and freed memory stays in
    // it while under 512 MiB is free at its top.
    static void keepFreedMemoryInHeap();
    // Grows the heap by its first stretch at once, advised for huge pages, and leaves it
    // free: the driver's many blocks while drawing are carved from it and fault in 2 MiB at
    // a time. Without keepFreedMemoryInHeap the stretch may go straight back.
    static void growHeapInHugePages();
};

} // namespace VELK
