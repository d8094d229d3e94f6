#pragma once
// An array of zeros for tables indexed by a number that most entries never see written: a
// large one costs memory only for the pages written, and nothing clears it first.

#include <cstddef>
#include <new>
#include <utility>

#include "engine/CSystem.h"

namespace VELK
{

template <typename T>
class CZeroedArray
{
public:
    explicit CZeroedArray(std::size_t count);
    ~CZeroedArray();
    CZeroedArray(const CZeroedArray&) = delete;
    CZeroedArray& operator=(const CZeroedArray&) = delete;

    T& operator[](std::size_t k) { return elements[k]; }
    const T& operator[](std::size_t k) const { return elements[k]; }
    std::size_t size() const { return count; }
    void swap(CZeroedArray& other) noexcept
    {
        std::swap(count, other.count);
        std::swap(elements, other.elements);
    }

private:
    std::size_t count;
    T* elements;
};

template <typename T>
CZeroedArray<T>::CZeroedArray(std::size_t count) : count(count), elements(nullptr)
{
    if (count > static_cast<std::size_t>(-1) / sizeof(T))
        throw std::bad_alloc();
    elements = static_cast<T*>(CSystem::allocateZeroedBlock(count * sizeof(T)));
}

template <typename T>
CZeroedArray<T>::~CZeroedArray()
{
    CSystem::releaseBlock(elements, count * sizeof(T));
}

} // namespace VELK
