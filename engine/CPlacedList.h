#pragma once
// A list that fills a room set aside for it in an array it shares with others, as each part
// of a file fills its stretch of the whole file's lists. Only if the room turns out too small
// does it go on in memory of its own, so that a wrong count costs a copy, never a write past
// the room.

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "engine/CHugePageAllocator.h"

namespace VELK
{

template <typename T>
class CPlacedList
{
public:
    CPlacedList() = default;
    CPlacedList(const CPlacedList&) = delete;
    CPlacedList& operator=(const CPlacedList&) = delete;

    void place(T* room, std::size_t count);            // empty, filling room[0, count) first

    void push_back(T value)
    {
        if (next == roomEnd)
            moveOut(1);
        *next++ = value;
    }
    void append(const T* values, std::size_t count)
    {
        if (static_cast<std::size_t>(roomEnd - next) < count)
            moveOut(count);
        for (std::size_t k = 0; k < count; ++k)
            next[k] = values[k];
        next += count;
    }
    void shrink(std::size_t count) { next = first + count; }  // count no more than size()
    bool hasRoom(std::size_t count) const { return static_cast<std::size_t>(roomEnd - next) >= count; }
    void pushInRoom(T value) { *next++ = value; }      // where hasRoom(1)

    std::size_t size() const { return static_cast<std::size_t>(next - first); }
    bool empty() const { return next == first; }
    T* data() const { return first; }
    T& operator[](std::size_t k) const { return first[k]; }
    bool isInRoom() const { return own.empty(); }      // false once it went on in memory of its own

private:
    void moveOut(std::size_t more);

    T* first = nullptr;
    T* next = nullptr;
    T* roomEnd = nullptr;
    CUninitialisedVector<T> own;                       // empty while the list is in its room
};

template <typename T>
void CPlacedList<T>::place(T* room, std::size_t count)
{
    CUninitialisedVector<T>().swap(own);
    first = next = room;
    roomEnd = room + count;
}

template <typename T>
void CPlacedList<T>::moveOut(std::size_t more)
{
    const std::size_t count = size();
    CUninitialisedVector<T> larger;
    larger.resize(std::max<std::size_t>(2 * (count + more), 1024));
    if (count != 0)
        std::memcpy(larger.data(), first, count * sizeof(T));
    own.swap(larger);
    first = own.data();
    next = first + count;
    roomEnd = first + own.size();
}

} // namespace VELK
