#pragma once
// An allocator for the large arrays of a load: blocks come from CMemoryPages, so that a
// vector that grows by copying is served by huge pages from its first write on and hands
// each old block back to the system as it moves.

#include <cstddef>
#include <new>
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
        if (count > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_alloc();
        return static_cast<T*>(CMemoryPages::allocate(count * sizeof(T)));
    }

    void deallocate(T* block, std::size_t count) noexcept
    {
        CMemoryPages::release(block, count * sizeof(T));
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
