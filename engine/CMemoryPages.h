#pragma once
// Advice to the system about large blocks of memory that are about to be filled. A block
// is mapped page by page as it is first written, and with small pages a model of hundreds
// of megabytes waits longer on those first writes than on its parsing; huge pages cut the
// number of them by a factor of 512 where the kernel grants them.

#include <cstddef>

namespace VELK
{

class CMemoryPages
{
public:
    // Asks for huge pages over the part of [start, start + bytes) that whole huge pages
    // cover. Blocks under a few huge pages are left alone; where the system has no such
    // advice, or refuses it, nothing happens.
    static void adviseHuge(void* start, std::size_t bytes);

    // A block of at least bytes for an array about to be filled, and its release with the
    // same size. Blocks from kMappedFrom on are mapped apart from the heap, so that they
    // go back to the system the moment they are released (a vector that grows would
    // otherwise leave its old blocks in the heap); those of a huge page and more are aligned
    // to one and advised as above all through. Small blocks come from operator new. Throws
    // std::bad_alloc.
    static const std::size_t kMappedFrom = 1u << 20;
    static void* allocate(std::size_t bytes);
    static void release(void* block, std::size_t bytes) noexcept;
};

} // namespace VELK
