#pragma once
// An allocator for the large arrays of a load: blocks come from CSystem, so that a vector
// that grows by copying is served by huge pages from its first write on and hands each old
// block back to the system as it moves.

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "engine/CSystem.h"

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
        return static_cast<T*>(CSystem::allocateBlock(count * sizeof(T)));
    }

    void deallocate(T* block, std::size_t count) noexcept
    {
        CSystem::releaseBlock(block, count * sizeof(T));
    }

    // Elements made without a value are left as the memory holds them, as new[] leaves
    // them: an array sized before it is filled is written once, not zeroed first.
    template <typename U>
    void construct(U* element) noexcept
    {
        ::new (static_cast<void*>(element)) U;
    }
    template <typename U, typename... Values>
    void construct(U* element, Values&&... values)
    {
        ::new (static_cast<void*>(element)) U(std::forward<Values>(values)...);
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

// A vector for arrays of megabytes, filled at once: resize() leaves the elements it adds
// uninitialised (resize(n, value) and push_back still write theirs).
template <typename T>
using CUninitialisedVector = std::vector<T, CHugePageAllocator<T>>;

} // namespace VELK
