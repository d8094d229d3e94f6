// Welding of equal vertex records on several threads. Each thread welds a range of the
// corners on its own, looking for a record among its vertices of the same position (and in a
// table of whole records for the positions that carry many). Then each range's vertices are
// looked for among those of the ranges before it: the vertices met first in a range are
// numbered after all those of the ranges before, in the order met, so that the numbering is
// that of one pass in file order. Last, the records are written and the corners renumbered.
#include "engine/CVertexWelder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/CHugePageAllocator.h"
#include "engine/CParallel.h"
#include "engine/CRecordTable.h"
#include "engine/CVertexRecord.h"
#include "engine/CZeroedArray.h"

namespace VELK
{

namespace
{

const std::uint32_t kFloats = CVertexRecord::kFloats;
// A crowded position's records are looked up with their colour, 0 where the mesh has none:
// other positions at the same place may have another colour.
const std::uint32_t kKeyFloats = CColouredVertexRecord::kFloats;
using Numbers = CUninitialisedVector<std::uint32_t>;

// A position whose vertices are more than this is looked up in the record table: a walk
// over all vertices of one position would grow with their number.
const std::uint32_t kLongestWalk = 16;
// Marks the newest vertex of a position (kept + 1) when its vertices are in the table; a
// range holds fewer than 2^31 corners.
const std::uint32_t kCrowded = 0x80000000u;
const std::uint32_t kNone = ~std::uint32_t(0);
const std::uint32_t kRepeated = kNone - 1;            // a vertex met first in a range before

const float kZeros[3] = {0.0f, 0.0f, 0.0f};

// What a corner's record is made of: its position as the first one with the same bits and
// the same colour (0-based), so that equal positions have one number; its texture
// coordinate and normal as written (1-based), 0 for none.
struct CKey
{
    std::uint32_t position;
    std::uint32_t texCoord;
    std::uint32_t normal;
};

// What every range reads: the elements, and records made from keys.
class CRecords
{
public:
    explicit CRecords(const CVertexWelder::CElements& elements)
        : elements(elements), samePosition(nullptr), floats(CVertexRecord::floatsOf(elements.colours != nullptr)),
          hasNormals(elements.normalCount != 0), hasTexCoords(elements.texCoordCount != 0),
          texCoordAt(CVertexRecord::texCoordAt(hasNormals))
    {
    }

    // Numbers for a list the file has none of are ignored; all others are checked already.
    CKey keyOf(const CVertexWelder::CCorners& corners, std::size_t corner) const
    {
        return CKey{samePosition[corners.positions[corner] - 1], hasTexCoords ? corners.texCoords[corner] : 0,
                    hasNormals ? corners.normals[corner] : 0};
    }

    // Whether the records of two keys of one position are equal.
    bool sameOnPosition(const CKey& a, const CKey& b) const
    {
        return sameParts(a.normal, b.normal, elements.normals, 3) && sameParts(a.texCoord, b.texCoord, elements.texCoords, 2);
    }

    // The record, of `floats` floats: the position's colour behind the eight where there are colours.
    void fill(const CKey& key, float* record) const
    {
        if (elements.colours)
            std::memcpy(record + CColouredVertexRecord::kColourAt, elements.colours + key.position, sizeof(float));
        std::memset(record, 0, kFloats * sizeof(float));
        std::memcpy(record + CVertexRecord::kPositionAt, elements.positions + 3 * static_cast<std::size_t>(key.position),
                    3 * sizeof(float));
        if (key.normal != 0)
            std::memcpy(record + CVertexRecord::kNormalAt, elements.normals + 3 * static_cast<std::size_t>(key.normal - 1),
                        3 * sizeof(float));
        if (key.texCoord != 0)
            std::memcpy(record + texCoordAt, elements.texCoords + 2 * static_cast<std::size_t>(key.texCoord - 1),
                        2 * sizeof(float));
    }

    // The record and its colour, of kKeyFloats floats.
    void fillKey(const CKey& key, float* record) const
    {
        if (!elements.colours)
            record[CColouredVertexRecord::kColourAt] = 0.0f;
        fill(key, record);
    }

private:
    // The same numbers have the same values; other numbers may have them too, and none
    // stands for zeros.
    static bool sameParts(std::uint32_t a, std::uint32_t b, const float* list, std::size_t floats)
    {
        if (a == b)
            return true;
        const float* x = a != 0 ? list + floats * (a - 1) : kZeros;
        const float* y = b != 0 ? list + floats * (b - 1) : kZeros;
        return std::memcmp(x, y, floats * sizeof(float)) == 0;
    }

public:
    const CVertexWelder::CElements elements;
    const std::uint32_t* samePosition;                 // while the corners are welded
    const std::uint32_t floats;                        // of a record
private:
    const bool hasNormals;
    const bool hasTexCoords;
    const std::uint32_t texCoordAt;
};

// The corners [first, last) welded among themselves. Equal records have equal positions,
// so a record is looked for only among the vertices of its position: exporters write the
// faces around a position close together, and the few vertices on it were made a moment
// ago and are still in the processor's cache. A large table over all records would be
// waited for at every new vertex.
class CRange
{
public:
    // Room for every corner a vertex of its own: the part not written takes no memory.
    CRange(const CRecords& records, std::size_t positionCount, std::size_t first, std::size_t last)
        : first(first), last(last), keys(reserved<CKey>(last - first)), records(records), newest(positionCount),
          previous(reserved<std::uint32_t>(last - first)), crowded(reserved<float>(kKeyFloats * (last - first))),
          crowdedRecords(crowded.data())
    {
    }

    // Writes each corner's vertex in this range to vertexOfCorner.
    void weld(const CVertexWelder::CCorners& corners, std::uint32_t* vertexOfCorner)
    {
        for (std::size_t corner = first; corner < last; ++corner) {
            const CKey key = records.keyOf(corners, corner);
            std::uint32_t& head = newest[key.position];
            if (head & kCrowded) {
                vertexOfCorner[corner] = findOrAddCrowded(key);
                continue;
            }
            std::uint32_t walked = 0;
            std::uint32_t vertex = head;
            for (; vertex != 0; vertex = previous[vertex - 1], ++walked) {
                if (records.sameOnPosition(keys[vertex - 1], key))
                    break;
            }
            if (vertex != 0) {
                vertexOfCorner[corner] = vertex - 1;
                continue;
            }
            const std::uint32_t made = add(key, head);
            head = made + 1;
            vertexOfCorner[corner] = made;
            if (walked >= kLongestWalk)
                crowd(head);
        }
    }

    // The vertex of this range whose record is key's; kNone when there is none. Only once
    // the range is welded, and then from any thread.
    std::uint32_t find(const CKey& key, float* scratch) const
    {
        const std::uint32_t head = newest[key.position];
        if (head & kCrowded) {
            records.fillKey(key, scratch);
            const std::uint32_t found = crowdedRecords.find(scratch);
            return found == CRecordTable<kKeyFloats>::kAbsent ? kNone : crowdedVertex[found];
        }
        for (std::uint32_t vertex = head; vertex != 0; vertex = previous[vertex - 1]) {
            if (records.sameOnPosition(keys[vertex - 1], key))
                return vertex - 1;
        }
        return kNone;
    }

    // Once every range has looked here: only the keys and numbers are left.
    void forgetChains()
    {
        CZeroedArray<std::uint32_t>(0).swap(newest);
        Numbers().swap(previous);
        CUninitialisedVector<float>().swap(crowded);
        Numbers().swap(crowdedVertex);
        crowdedRecords.clear(0);
    }

    const std::size_t first;
    const std::size_t last;
    CUninitialisedVector<CKey> keys;                   // per vertex, in the order met
    Numbers number;                                    // per vertex: its number in the mesh, once known
    std::size_t numberedFrom = 0;                      // the mesh's number of this range's first new vertex

private:
    template <typename T>
    static CUninitialisedVector<T> reserved(std::size_t count)
    {
        CUninitialisedVector<T> list;
        list.reserve(count);
        return list;
    }

    std::uint32_t add(const CKey& key, std::uint32_t chained)
    {
        const std::uint32_t made = static_cast<std::uint32_t>(keys.size());
        keys.push_back(key);
        previous.push_back(chained & ~kCrowded);
        return made;
    }

    // The position's vertices go into the record table, where it is looked up from now on.
    void crowd(std::uint32_t& head)
    {
        for (std::uint32_t vertex = head; vertex != 0; vertex = previous[vertex - 1]) {
            const std::uint32_t slot = static_cast<std::uint32_t>(crowdedVertex.size());
            crowded.resize(kKeyFloats * (slot + 1));
            records.fillKey(keys[vertex - 1], crowded.data() + kKeyFloats * slot);
            crowdedRecords.findOrAdd(slot);
            crowdedVertex.push_back(vertex - 1);
        }
        head |= kCrowded;
    }

    // Written where a new record would go, and kept there only if it is new.
    std::uint32_t findOrAddCrowded(const CKey& key)
    {
        const std::uint32_t slot = static_cast<std::uint32_t>(crowdedVertex.size());
        crowded.resize(kKeyFloats * (slot + 1));
        records.fillKey(key, crowded.data() + kKeyFloats * slot);
        const std::uint32_t found = crowdedRecords.findOrAdd(slot);
        if (found != slot) {
            crowded.resize(kKeyFloats * slot);
            return crowdedVertex[found];
        }
        const std::uint32_t made = add(key, 0);
        crowdedVertex.push_back(made);
        return made;
    }

    const CRecords& records;
    CZeroedArray<std::uint32_t> newest;                // per position: its newest vertex + 1, or 0
    Numbers previous;                                  // per vertex: the one made before it on its position, + 1
    CUninitialisedVector<float> crowded;               // records of the vertices of crowded positions
    Numbers crowdedVertex;                             // per record there: its vertex
    CRecordTable<kKeyFloats> crowdedRecords;
};

// Positions written more than once under different numbers: each number to the first one
// with the same bits, so that equal positions share the vertices standing on them. Each
// thread numbers a part of the positions alone; the positions first met in a part are then
// looked for in the parts before it, every thread taking a slice, and last the others of
// the part follow the first of theirs. Records of Floats floats: a position, or a position
// and its colour.
template <std::size_t Floats>
Numbers firstOfEqual(const float* positions, std::size_t count, unsigned threads)
{
    Numbers first(count);
    const unsigned parts = static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>(threads, count)));
    const auto bound = [count, parts](unsigned part) { return count / parts * part + std::min<std::size_t>(part, count % parts); };
    std::vector<std::unique_ptr<CRecordTable<Floats>>> tables(parts);
    CParallel::run(threads, parts, [&](unsigned part) {
        tables[part].reset(new CRecordTable<Floats>(positions, bound(part + 1) - bound(part)));
        for (std::size_t p = bound(part); p < bound(part + 1); ++p)
            first[p] = tables[part]->findOrAdd(static_cast<std::uint32_t>(p));
    });
    const unsigned slices = threads;
    CParallel::run(threads, (parts - 1) * slices, [&](unsigned job) {
        const unsigned part = 1 + job / slices;
        const std::size_t from = bound(part);
        const std::size_t size = bound(part + 1) - from;
        for (std::size_t p = from + size * (job % slices) / slices; p < from + size * (job % slices + 1) / slices; ++p) {
            for (unsigned before = 0; first[p] == p && before < part; ++before) {
                const std::uint32_t found = tables[before]->find(positions + Floats * p);
                if (found != CRecordTable<Floats>::kAbsent)
                    first[p] = found;
            }
        }
    });
    CParallel::run(threads, parts - 1, [&](unsigned job) {
        const unsigned part = job + 1;
        for (std::size_t p = bound(part); p < bound(part + 1); ++p) {
            if (first[p] != p && first[p] >= bound(part))
                first[p] = first[first[p]];
        }
    });
    return first;
}

// Positions are equal when their coordinates and their colours are.
Numbers firstOfEqualPositions(const CVertexWelder::CElements& elements, unsigned threads)
{
    const std::size_t count = elements.positionCount;
    if (!elements.colours)
        return firstOfEqual<3>(elements.positions, count, threads);
    CUninitialisedVector<float> coloured(4 * count);
    CParallel::run(threads, threads, [&](unsigned part) {
        for (std::size_t p = count * part / threads; p < count * (part + 1) / threads; ++p) {
            std::memcpy(&coloured[4 * p], elements.positions + 3 * p, 3 * sizeof(float));
            std::memcpy(&coloured[4 * p + 3], elements.colours + p, sizeof(float));
        }
    });
    return firstOfEqual<4>(coloured.data(), count, threads);
}

} // namespace

struct CVertexWelder::CState
{
    CState(const CElements& elements, unsigned threads) : records(elements), threads(std::max(1u, threads)) {}

    CRecords records;
    const unsigned threads;
    std::vector<std::unique_ptr<CRange>> ranges;
};

CVertexWelder::CVertexWelder(const CElements& elements, unsigned threads) : state(new CState(elements, threads))
{
}

CVertexWelder::~CVertexWelder() = default;

void CVertexWelder::weld(const CCorners& corners, std::uint32_t* vertexOfCorner)
{
    const unsigned threads = state->threads;
    const CElements& elements = state->records.elements;
    const std::size_t count = corners.count;
    const Numbers samePosition = firstOfEqualPositions(elements, threads);
    state->records.samePosition = samePosition.data();
    const unsigned rangeCount = static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>(threads, count)));
    std::vector<std::unique_ptr<CRange>>& ranges = state->ranges;
    ranges.clear();
    for (unsigned r = 0; r < rangeCount; ++r)
        ranges.emplace_back(new CRange(state->records, elements.positionCount, count * r / rangeCount,
                                       count * (r + 1) / rangeCount));
    CParallel::run(threads, rangeCount, [&](unsigned r) { ranges[r]->weld(corners, vertexOfCorner); });
    state->records.samePosition = nullptr;
}

std::size_t CVertexWelder::writeVertices(float* vertices, std::uint32_t* vertexOfCorner)
{
    const unsigned threads = state->threads;
    const CRecords& records = state->records;
    std::vector<std::unique_ptr<CRange>>& ranges = state->ranges;
    const unsigned rangeCount = static_cast<unsigned>(ranges.size());

    // Each vertex of a range is new (kNone for now), or equal to one met first in a range
    // before (kRepeated, and noted with the first such). The vertices of each range are
    // shared out in slices, so that all threads look, however many ranges there are.
    struct CEarlier
    {
        std::uint32_t vertex;
        std::uint32_t range;
        std::uint32_t earlier;                         // the vertex there
    };
    const unsigned slices = threads;
    std::vector<std::vector<CEarlier>> earlier(static_cast<std::size_t>(rangeCount) * slices);
    for (const std::unique_ptr<CRange>& range : ranges)
        range->number.resize(range->keys.size());
    CParallel::run(threads, rangeCount * slices, [&](unsigned job) {
        const unsigned r = job / slices;
        const unsigned slice = job % slices;
        CRange& range = *ranges[r];
        const std::size_t made = range.keys.size();
        float scratch[kKeyFloats];
        for (std::size_t v = made * slice / slices; v < made * (slice + 1) / slices; ++v) {
            range.number[v] = kNone;
            for (unsigned before = 0; before < r; ++before) {
                const std::uint32_t found = ranges[before]->find(range.keys[v], scratch);
                if (found != kNone) {
                    range.number[v] = kRepeated;
                    earlier[job].push_back(CEarlier{static_cast<std::uint32_t>(v), before, found});
                    break;
                }
            }
        }
    });
    for (const std::unique_ptr<CRange>& range : ranges)
        range->forgetChains();

    // The new vertices of each range numbered after those of the ranges before, in the
    // order met; then the others as their equals.
    std::size_t total = 0;
    for (unsigned r = 0; r < rangeCount; ++r) {
        std::size_t repeated = 0;
        for (unsigned slice = 0; slice < slices; ++slice)
            repeated += earlier[static_cast<std::size_t>(r) * slices + slice].size();
        ranges[r]->numberedFrom = total;
        total += ranges[r]->keys.size() - repeated;
    }
    CParallel::run(threads, rangeCount, [&](unsigned r) {
        CRange& range = *ranges[r];
        std::uint32_t next = static_cast<std::uint32_t>(range.numberedFrom);
        for (std::uint32_t& number : range.number) {
            if (number == kNone)
                number = next++;
        }
    });
    for (unsigned r = 0; r < rangeCount; ++r) {
        for (unsigned slice = 0; slice < slices; ++slice) {
            for (const CEarlier& equal : earlier[static_cast<std::size_t>(r) * slices + slice])
                ranges[r]->number[equal.vertex] = ranges[equal.range]->number[equal.earlier];
        }
    }

    // Each range writes the records of its new vertices, one stretch of the array, and
    // gives its corners their numbers.
    CParallel::run(threads, rangeCount, [&](unsigned r) {
        CRange& range = *ranges[r];
        for (std::size_t v = 0; v < range.keys.size(); ++v) {
            if (range.number[v] >= range.numberedFrom)
                records.fill(range.keys[v], vertices + records.floats * static_cast<std::size_t>(range.number[v]));
        }
        for (std::size_t corner = range.first; corner < range.last; ++corner)
            vertexOfCorner[corner] = range.number[vertexOfCorner[corner]];
    });
    ranges.clear();
    return total;
}

std::size_t CVertexWelder::weldInto(const CElements& elements, const CCorners& corners, float* vertices,
                                    std::uint32_t* vertexOfCorner, unsigned threads)
{
    CVertexWelder welder(elements, threads);
    welder.weld(corners, vertexOfCorner);
    return welder.writeVertices(vertices, vertexOfCorner);
}

} // namespace VELK
