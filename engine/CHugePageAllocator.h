#pragma once
// An allocator for the large arrays of a load: each block is given the huge-page advice of
// CMemoryPages before the container writes into it, so that a vector that grows by copying
// is served by huge pages from its first write on.

#include <cstddef>
#include <memory>
#include <vector>

#include "engine/CMemoryPages.h"

namespace VELK
{

template <typename T>
class CHugePageAllocator
{
public:
    using value_type = T;

    CHugePageAllocator() = default;
    template <typename U>
    CHugePageAllocator(const CHugePageAllocator<U>&) noexcept
    {
    }

    T* allocate(std::size_t count)
    {
        T* block = std::allocator<T>().allocate(count);
        CMemoryPages::adviseHuge(block, count * sizeof(T));
        return block;
    }

    void deallocate(T* block, std::size_t count) noexcept
    {
        std::allocator<T>().deallocate(block, count);
    }

    template <typename U>
    bool operator==(const CHugePageAllocator<U>&) const noexcept
    {
        return true;
    }
    template <typename U>
    bool operator!=(const CHugePageAllocator<U>&) const noexcept
    {
        return false;
    }
};

// A vector whose blocks are advised as above: for arrays of megabytes, filled at once.
template <typename T>
using CHugeVector = std::vector<T, CHugePageAllocator<T>>;

} // namespace VELK
