#pragma once
// Records of Floats floats equal bit for bit, found by one hash: an open-addressing table of
// record numbers over an array of records that the caller keeps and fills. Welding numbers
// equal positions and the vertices of crowded positions with it; the normals number their
// positions and their new records.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/CHugePageAllocator.h"

namespace VELK
{

template <std::size_t Floats>
class CRecordTable
{
public:
    // Record k at records + k * Floats, not owned; room for most records before it grows.
    explicit CRecordTable(const float* records, std::size_t most = 0);
    void clear(std::size_t most);                      // empty, with room as above

    // The number of the record in the table equal to record `number` of the array; when
    // there is none, record `number` goes in and its own number comes back.
    std::uint32_t findOrAdd(std::uint32_t number);

    // The number of the record in the table equal to record, which need not be in the
    // array; kAbsent when there is none. Tables that no thread adds to any more may be
    // asked from several at once.
    static constexpr std::uint32_t kAbsent = ~std::uint32_t(0);
    std::uint32_t find(const float* record) const;

private:
    static std::uint64_t hash(const float* record);
    void grow();                                       // twice the size, the records it held in again

    const float* records;
    CUninitialisedVector<std::uint32_t> slots;         // record number + 1; 0: empty
    std::size_t used;
};

template <std::size_t Floats>
CRecordTable<Floats>::CRecordTable(const float* records, std::size_t most) : records(records), used(0)
{
    clear(most);
}

template <std::size_t Floats>
void CRecordTable<Floats>::clear(std::size_t most)
{
    std::size_t size = 16;
    while (size < 2 * most)
        size *= 2;
    slots.assign(size, 0);
    used = 0;
}

template <std::size_t Floats>
std::uint64_t CRecordTable<Floats>::hash(const float* record)
{
    // The floats two at a time as one 64-bit word, each word multiplied in; mixed once.
    std::uint64_t h = 0;
    for (std::size_t i = 0; i < Floats; i += 2) {
        std::uint64_t word = 0;
        std::memcpy(&word, record + i, (i + 1 < Floats ? 2 : 1) * sizeof(float));
        h = (h ^ word) * 0x9E3779B97F4A7C15ull;
    }
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 29);
}

template <std::size_t Floats>
std::uint32_t CRecordTable<Floats>::findOrAdd(std::uint32_t number)
{
    if (2 * (used + 1) > slots.size())
        grow();
    const float* record = records + static_cast<std::size_t>(number) * Floats;
    const std::size_t mask = slots.size() - 1;
    std::size_t slot = hash(record) & mask;
    for (; slots[slot] != 0; slot = (slot + 1) & mask) {
        const std::uint32_t found = slots[slot] - 1;
        if (std::memcmp(records + static_cast<std::size_t>(found) * Floats, record, Floats * sizeof(float)) == 0)
            return found;
    }
    slots[slot] = number + 1;
    ++used;
    return number;
}

template <std::size_t Floats>
std::uint32_t CRecordTable<Floats>::find(const float* record) const
{
    const std::size_t mask = slots.size() - 1;
    for (std::size_t slot = hash(record) & mask; slots[slot] != 0; slot = (slot + 1) & mask) {
        const std::uint32_t found = slots[slot] - 1;
        if (std::memcmp(records + static_cast<std::size_t>(found) * Floats, record, Floats * sizeof(float)) == 0)
            return found;
    }
    return kAbsent;
}

template <std::size_t Floats>
void CRecordTable<Floats>::grow()
{
    CUninitialisedVector<std::uint32_t> old(slots.size() * 2, 0);
    old.swap(slots);
    const std::size_t mask = slots.size() - 1;
    for (std::uint32_t entry : old) {
        if (entry == 0)
            continue;
        std::size_t slot = hash(records + static_cast<std::size_t>(entry - 1) * Floats) & mask;
        while (slots[slot] != 0)
            slot = (slot + 1) & mask;
        slots[slot] = entry;
    }
}

} // namespace VELK
