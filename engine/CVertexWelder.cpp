// Welding of equal vertex records: looked for among the vertices of the same position, and
// in a table of whole records for the positions that carry many.
#include "engine/CVertexWelder.h"

#include <cstring>

#include "engine/CHugePageAllocator.h"

namespace VELK
{

namespace
{

const std::uint32_t kFloats = CVertexWelder::kFloats;
static_assert(sizeof(float) * kFloats == 32, "a vertex record is 32 bytes");

std::uint64_t mix(std::uint64_t h)
{
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 29;
    return h;
}

std::uint64_t hashRecord(const float* record)
{
    std::uint64_t words[4];
    std::memcpy(words, record, sizeof words);
    std::uint64_t h = words[0] * 0x9E3779B97F4A7C15ull;
    h = mix(h ^ words[1]) * 0x94D049BB133111EBull;
    h = mix(h ^ words[2]) * 0x9E3779B97F4A7C15ull;
    return mix(h ^ words[3]);
}

std::uint64_t hashPosition(const float* position)
{
    std::uint64_t low = 0;
    std::uint32_t high = 0;
    std::memcpy(&low, position, sizeof low);
    std::memcpy(&high, position + 2, sizeof high);
    return mix((low ^ (static_cast<std::uint64_t>(high) << 17) ^ high) * 0x9E3779B97F4A7C15ull);
}

// Positions written more than once under different numbers: each number to the first one
// with the same bits, so that equal positions share the vertices standing on them.
CHugeVector<std::uint32_t> firstOfEqualPositions(const float* positions, std::size_t count)
{
    std::size_t capacity = 16;
    while (capacity < 2 * count)
        capacity *= 2;
    const std::size_t mask = capacity - 1;
    CHugeVector<std::uint32_t> table(capacity, 0);     // position number + 1; 0: empty
    CHugeVector<std::uint32_t> first(count);
    for (std::size_t p = 0; p < count; ++p) {
        const float* position = positions + 3 * p;
        std::size_t slot = hashPosition(position) & mask;
        for (;;) {
            const std::uint32_t entry = table[slot];
            if (entry == 0) {
                table[slot] = static_cast<std::uint32_t>(p + 1);
                first[p] = static_cast<std::uint32_t>(p);
                break;
            }
            if (std::memcmp(positions + 3 * static_cast<std::size_t>(entry - 1), position, 3 * sizeof(float)) == 0) {
                first[p] = entry - 1;
                break;
            }
            slot = (slot + 1) & mask;
        }
    }
    return first;
}

// The vertices of positions that carry many of them, found by their whole record: a walk
// over all vertices of one position would grow with their number.
class CRecordTable
{
public:
    explicit CRecordTable(const float* records) : records(records), slots(16, 0), used(0) {}

    // The vertex with this record; -1 when there is none.
    std::int64_t find(const float* record, std::uint64_t hash) const
    {
        const std::size_t mask = slots.size() - 1;
        for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            const std::uint32_t entry = slots[slot];
            if (entry == 0)
                return -1;
            if (std::memcmp(records + static_cast<std::size_t>(entry - 1) * kFloats, record, kFloats * sizeof(float)) == 0)
                return entry - 1;
        }
    }

    void add(std::uint32_t vertex)                     // its record is stored already
    {
        if (2 * (used + 1) > slots.size())
            grow();
        place(vertex);
        ++used;
    }

private:
    void place(std::uint32_t vertex)
    {
        const std::size_t mask = slots.size() - 1;
        std::size_t slot = hashRecord(records + static_cast<std::size_t>(vertex) * kFloats) & mask;
        while (slots[slot] != 0)
            slot = (slot + 1) & mask;
        slots[slot] = vertex + 1;
    }

    void grow()
    {
        std::vector<std::uint32_t> old(slots.size() * 2, 0);
        old.swap(slots);
        for (std::uint32_t entry : old) {
            if (entry != 0)
                place(entry - 1);
        }
    }

    const float* records;                              // the vertices made so far, kFloats each
    std::vector<std::uint32_t> slots;                  // vertex number + 1; 0: empty
    std::size_t used;
};

// A position whose vertices are more than this is looked up in the record table.
const std::uint32_t kLongestWalk = 16;

} // namespace

std::size_t CVertexWelder::weldInto(const CElements& elements, const CCorners& corners, float* vertices,
                                    std::uint32_t* vertexOfCorner)
{
    const std::size_t count = corners.count;
    // Numbers for a list the file has none of are ignored; all others are checked already.
    const bool hasNormals = elements.normalCount != 0;
    const bool hasTexCoords = elements.texCoordCount != 0;
    // With normals in the file, texture coordinates sit behind them in every record.
    const std::size_t texCoordAt = hasNormals ? 6 : 3;
    std::size_t made = 0;                              // vertices so far
    CHugeVector<std::uint32_t> previousOnPosition;     // per vertex: the one made before it on its position, + 1
    previousOnPosition.reserve(count);

    // Equal records have equal positions, so a record is looked for only among the vertices
    // of its position: exporters write the faces around a position close together, and the
    // few vertices on it were made a moment ago and are still in the processor's cache.
    // A large table over all records would be waited for at every new vertex.
    const CHugeVector<std::uint32_t> samePosition = firstOfEqualPositions(elements.positions, elements.positionCount);
    CHugeVector<std::uint32_t> newestOnPosition(samePosition.size(), 0);  // vertex + 1; 0: none
    CHugeVector<std::uint8_t> crowded(samePosition.size(), 0);
    CRecordTable crowdedRecords(vertices);

    float record[kFloats];
    for (std::size_t corner = 0; corner < count; ++corner) {
        const std::uint32_t p = corners.positions[corner];
        const std::uint32_t t = hasTexCoords ? corners.texCoords[corner] : 0;
        const std::uint32_t n = hasNormals ? corners.normals[corner] : 0;
        std::memset(record, 0, sizeof record);
        std::memcpy(record, elements.positions + 3 * static_cast<std::size_t>(p - 1), 3 * sizeof(float));
        if (n != 0)
            std::memcpy(record + 3, elements.normals + 3 * static_cast<std::size_t>(n - 1), 3 * sizeof(float));
        if (t != 0)
            std::memcpy(record + texCoordAt, elements.texCoords + 2 * static_cast<std::size_t>(t - 1), 2 * sizeof(float));
        const std::uint32_t position = samePosition[static_cast<std::size_t>(p - 1)];
        const std::uint32_t next = static_cast<std::uint32_t>(made);

        if (crowded[position]) {
            const std::uint64_t hash = hashRecord(record);
            const std::int64_t found = crowdedRecords.find(record, hash);
            if (found >= 0) {
                vertexOfCorner[corner] = static_cast<std::uint32_t>(found);
                continue;
            }
            std::memcpy(vertices + made++ * kFloats, record, sizeof record);
            previousOnPosition.push_back(0);
            crowdedRecords.add(next);
            vertexOfCorner[corner] = next;
            continue;
        }

        std::uint32_t walked = 0;
        std::uint32_t vertex = newestOnPosition[position];
        for (; vertex != 0; vertex = previousOnPosition[vertex - 1], ++walked) {
            if (std::memcmp(vertices + static_cast<std::size_t>(vertex - 1) * kFloats, record, sizeof record) == 0)
                break;
        }
        if (vertex != 0) {
            vertexOfCorner[corner] = vertex - 1;
            continue;
        }
        std::memcpy(vertices + made++ * kFloats, record, sizeof record);
        previousOnPosition.push_back(newestOnPosition[position]);
        newestOnPosition[position] = next + 1;
        vertexOfCorner[corner] = next;
        if (walked >= kLongestWalk) {
            crowded[position] = 1;
            for (std::uint32_t v = next + 1; v != 0; v = previousOnPosition[v - 1])
                crowdedRecords.add(v - 1);
        }
    }
    return made;
}

} // namespace VELK
