// Welding of equal vertex records: looked for among the vertices of the same position, and
// in a table of whole records for the positions that carry many.
#include "engine/CVertexWelder.h"

#include <cstring>

#include "engine/CHugePageAllocator.h"
#include "engine/CRecordTable.h"
#include "engine/CVertexRecord.h"

namespace VELK
{

namespace
{

const std::uint32_t kFloats = CVertexRecord::kFloats;
using Numbers = CUninitialisedVector<std::uint32_t>;

// Positions written more than once under different numbers: each number to the first one
// with the same bits, so that equal positions share the vertices standing on them.
Numbers firstOfEqualPositions(const float* positions, std::size_t count)
{
    CRecordTable<3> table(positions, count);
    Numbers first(count);
    for (std::size_t p = 0; p < count; ++p)
        first[p] = table.findOrAdd(static_cast<std::uint32_t>(p));
    return first;
}

// A position whose vertices are more than this is looked up in the record table: a walk
// over all vertices of one position would grow with their number.
const std::uint32_t kLongestWalk = 16;

} // namespace

std::size_t CVertexWelder::weldInto(const CElements& elements, const CCorners& corners, float* vertices,
                                    std::uint32_t* vertexOfCorner)
{
    const std::size_t count = corners.count;
    // Numbers for a list the file has none of are ignored; all others are checked already.
    const bool hasNormals = elements.normalCount != 0;
    const bool hasTexCoords = elements.texCoordCount != 0;
    const std::size_t texCoordAt = CVertexRecord::texCoordAt(hasNormals);
    std::size_t made = 0;                              // vertices so far
    Numbers previousOnPosition;                        // per vertex: the one made before it on its position, + 1
    previousOnPosition.reserve(count);

    // Equal records have equal positions, so a record is looked for only among the vertices
    // of its position: exporters write the faces around a position close together, and the
    // few vertices on it were made a moment ago and are still in the processor's cache.
    // A large table over all records would be waited for at every new vertex.
    const Numbers samePosition = firstOfEqualPositions(elements.positions, elements.positionCount);
    Numbers newestOnPosition(samePosition.size(), 0);  // vertex + 1; 0: none
    CUninitialisedVector<std::uint8_t> crowded(samePosition.size(), 0);
    CRecordTable<kFloats> crowdedRecords(vertices);

    float record[kFloats];
    for (std::size_t corner = 0; corner < count; ++corner) {
        const std::uint32_t p = corners.positions[corner];
        const std::uint32_t t = hasTexCoords ? corners.texCoords[corner] : 0;
        const std::uint32_t n = hasNormals ? corners.normals[corner] : 0;
        std::memset(record, 0, sizeof record);
        std::memcpy(record + CVertexRecord::kPositionAt, elements.positions + 3 * static_cast<std::size_t>(p - 1),
                    3 * sizeof(float));
        if (n != 0)
            std::memcpy(record + CVertexRecord::kNormalAt, elements.normals + 3 * static_cast<std::size_t>(n - 1),
                        3 * sizeof(float));
        if (t != 0)
            std::memcpy(record + texCoordAt, elements.texCoords + 2 * static_cast<std::size_t>(t - 1), 2 * sizeof(float));
        const std::uint32_t position = samePosition[static_cast<std::size_t>(p - 1)];
        const std::uint32_t next = static_cast<std::uint32_t>(made);

        if (crowded[position]) {
            // Written where a new vertex would go, and kept there only if it is new.
            std::memcpy(vertices + made * kFloats, record, sizeof record);
            vertexOfCorner[corner] = crowdedRecords.findOrAdd(next);
            if (vertexOfCorner[corner] == next) {
                ++made;
                previousOnPosition.push_back(0);
            }
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
                crowdedRecords.findOrAdd(v - 1);
        }
    }
    return made;
}

} // namespace VELK
