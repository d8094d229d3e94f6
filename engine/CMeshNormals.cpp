// Normals from the triangles around each position, split where the surface folds.
#include "engine/CMeshNormals.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numeric>
#include <vector>

#include "engine/CHugePageAllocator.h"
#include "engine/CRecordTable.h"
#include "engine/CVertexRecord.h"

namespace VELK
{

namespace
{

const std::uint32_t kFloats = CVertexRecord::kFloats;
const std::uint32_t kNormalAt = CVertexRecord::kNormalAt;
const std::uint32_t kTexCoordAt = CVertexRecord::kTexCoordAt;

// A triangle whose sides' cross product is below this share of their lengths' product
// (the sine of its angle) has no direction of its own worth trusting.
const double kFlatSine = 1e-7;

// On an edge shared by many triangles each is compared with this many before it, so that
// a hostile edge cannot make the work grow with the square of its triangles.
const std::uint32_t kEdgePartners = 8;

// Which parts the records hold; false when the layout is none that CVertexRecord gives.
bool readLayout(const CMeshData& mesh, bool& hasNormals, bool& hasTexCoords, bool& hasColours)
{
    if (!mesh.vertexElements)
        return false;
    hasNormals = hasTexCoords = hasColours = false;
    for (std::uint32_t e = 0; e < mesh.vertexElementCount && mesh.vertexElements[e].usage != CVertexElement::USAGE_NONE;
         ++e) {
        hasNormals = hasNormals || mesh.vertexElements[e].usage == CVertexElement::USAGE_NORMAL;
        hasTexCoords = hasTexCoords || mesh.vertexElements[e].usage == CVertexElement::USAGE_TEXCOORD;
        hasColours = hasColours || mesh.vertexElements[e].usage == CVertexElement::USAGE_COLOUR;
    }
    CMeshData expected;
    CVertexRecord::setLayout(expected, hasNormals, hasTexCoords, hasColours);
    return mesh.vertexSize == expected.vertexSize && mesh.vertexElementCount == expected.vertexElementCount &&
           std::memcmp(mesh.vertexElements, expected.vertexElements, sizeof(CVertexElement) * expected.vertexElementCount) == 0;
}

bool usable(const float* normal)
{
    const double length = static_cast<double>(normal[0]) * normal[0] + static_cast<double>(normal[1]) * normal[1] +
                          static_cast<double>(normal[2]) * normal[2];
    return length > 0 && std::isfinite(length);
}

// A vertex number written over an old one while the normals are made: the new records are
// numbered from 0 again, and a corner's number tells which array its record is in. Meshes of
// 2^31 vertices or indices or more are left as they are.
const std::uint32_t kNew = 0x80000000u;
const std::uint32_t kNone = ~std::uint32_t(0);

// The positions of a mesh, matched by value: 0 and -0 are one place, and vertices that differ
// in texture coordinate only stand on one position. Each position's corners, in corner order.
struct CPositionCorners
{
    std::uint32_t positionCount = 0;
    CUninitialisedVector<std::uint32_t> positionOf;    // per old vertex
    std::vector<std::uint32_t> start;                  // per position, where its corners begin in around; one more
    CUninitialisedVector<std::uint32_t> around;        // corners, position after position, each in corner order

    CPositionCorners(const CMeshData& mesh, std::uint32_t floats)
    {
        const std::uint32_t vertexCount = mesh.vertexCount;
        const std::uint32_t cornerCount = mesh.indexCount;
        positionOf.resize(vertexCount);
        {
            const std::unique_ptr<float[]> distinct(new float[3 * static_cast<std::size_t>(vertexCount)]);
            CRecordTable<3> numbering(distinct.get(), vertexCount);
            for (std::uint32_t v = 0; v < vertexCount; ++v) {
                const float* p = mesh.vertices + static_cast<std::size_t>(v) * floats + CVertexRecord::kPositionAt;
                float* key = distinct.get() + 3 * static_cast<std::size_t>(positionCount);
                for (unsigned i = 0; i < 3; ++i)
                    key[i] = p[i] + 0.0f;
                positionOf[v] = numbering.findOrAdd(positionCount);
                if (positionOf[v] == positionCount)
                    ++positionCount;
            }
        }
        start.assign(static_cast<std::size_t>(positionCount) + 1, 0);
        for (std::uint32_t c = 0; c < cornerCount; ++c)
            ++start[positionOf[mesh.indices[c]] + 1];
        for (std::uint32_t p = 0; p < positionCount; ++p)
            start[p + 1] += start[p];
        around.resize(cornerCount);
        for (std::uint32_t c = 0; c < cornerCount; ++c)
            around[start[positionOf[mesh.indices[c]]]++] = c;
        for (std::uint32_t p = positionCount; p > 0; --p)
            start[p] = start[p - 1];
        start[0] = 0;
    }
};

// The records as they are while the normals are made: the old ones, and the new ones of the
// positions done so far, whose corners carry their numbers marked with kNew.
struct CRecordsSoFar
{
    const CMeshData& mesh;
    const CPositionCorners& positions;
    const float* made;
    const std::uint32_t floats;                        // of a record, old or new
    CUninitialisedVector<std::uint32_t> positionOfMade;  // per new record

    const float* recordOf(std::uint32_t corner) const
    {
        const std::uint32_t vertex = mesh.indices[corner];
        return (vertex & kNew ? made + static_cast<std::size_t>(vertex & ~kNew) * floats
                              : mesh.vertices + static_cast<std::size_t>(vertex) * floats);
    }

    std::uint32_t positionAt(std::uint32_t corner) const
    {
        const std::uint32_t vertex = mesh.indices[corner];
        return vertex & kNew ? positionOfMade[vertex & ~kNew] : positions.positionOf[vertex];
    }
};

// A corner whose triangle has an area: its place among its position's corners, the
// triangle's direction, and its angle at the corner, the weight of the direction there.
struct CLitCorner
{
    std::uint32_t at;
    float direction[3];
    float angle;
};

// The direction of a corner's triangle and the triangle's angle at the corner; false for a
// triangle without area.
bool measure(const CRecordsSoFar& records, std::uint32_t corner, CLitCorner& lit)
{
    const std::uint32_t first = corner - corner % 3;
    double p[3][3];
    for (unsigned k = 0; k < 3; ++k) {
        const float* position = records.recordOf(first + k) + CVertexRecord::kPositionAt;
        for (unsigned i = 0; i < 3; ++i)
            p[k][i] = position[i];
    }
    double side[3][3];                                 // side k runs from corner k to the next
    for (unsigned k = 0; k < 3; ++k) {
        for (unsigned i = 0; i < 3; ++i)
            side[k][i] = p[k == 2 ? 0 : k + 1][i] - p[k][i];
    }
    const double* a = side[0];
    const double* b = side[1];
    const double n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    const double cross = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
    const double lengths = (a[0] * a[0] + a[1] * a[1] + a[2] * a[2]) * (b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
    if (!std::isfinite(cross) || !std::isfinite(lengths) || !(cross > kFlatSine * kFlatSine * lengths))
        return false;
    const double length = std::sqrt(cross);
    for (unsigned i = 0; i < 3; ++i)
        lit.direction[i] = static_cast<float>(n[i] / length);
    // Between the side leaving the corner and the one reaching it, turned round; the length
    // of their cross product is the same at every corner.
    const unsigned k = corner - first;
    const double* out = side[k];
    const double* in = side[k == 0 ? 2 : k - 1];
    lit.angle = static_cast<float>(std::atan2(length, -(out[0] * in[0] + out[1] * in[1] + out[2] * in[2])));
    return true;
}

// One side of a triangle leaving a position: the position at its other end, and the
// triangle's corner on the first, numbered among the position's lit corners.
struct CSide
{
    std::uint32_t other;
    std::uint32_t corner;

    bool operator<(const CSide& side) const { return other != side.other ? other < side.other : corner < side.corner; }
};

// The crease groups of one position at a time: two triangles on one side leaving the
// position, that meet at no more than the crease angle, share their normal there; such
// sides chain the triangles around the position into smooth fans. Each group's normal is
// the sum of its triangles' directions, weighted by their angles at the position. All it
// holds is sized by the lit corners and the groups of one position.
class CCreaseGroups
{
public:
    explicit CCreaseGroups(float creaseDegrees)
        : creaseCosine(std::cos(static_cast<double>(creaseDegrees) * 3.14159265358979323846 / 180.0))
    {
    }

    // The position's corners whose triangles have an area, in corner order, grouped.
    void group(const CRecordsSoFar& records, const std::uint32_t* corners, std::uint32_t count)
    {
        lit.clear();
        for (std::uint32_t i = 0; i < count; ++i) {
            CLitCorner corner{i, {0.0f, 0.0f, 0.0f}, 0.0f};
            if (measure(records, corners[i], corner))
                lit.push_back(corner);
        }
        const std::uint32_t litCount = static_cast<std::uint32_t>(lit.size());
        parent.resize(litCount);
        std::iota(parent.begin(), parent.end(), 0u);
        sides.clear();
        for (std::uint32_t j = 0; j < litCount; ++j) {
            const std::uint32_t c = corners[lit[j].at];
            const std::uint32_t first = c - c % 3;
            sides.push_back(CSide{records.positionAt(first + (c + 1 - first) % 3), j});
            sides.push_back(CSide{records.positionAt(first + (c + 2 - first) % 3), j});
        }
        std::sort(sides.begin(), sides.end());
        for (std::size_t run = 0; run < sides.size();) {
            std::size_t runEnd = run + 1;
            while (runEnd < sides.size() && sides[runEnd].other == sides[run].other)
                ++runEnd;
            for (std::size_t e = run + 1; e < runEnd; ++e) {
                const float* d = lit[sides[e].corner].direction;
                for (std::size_t f = e - std::min<std::size_t>(e - run, kEdgePartners); f < e; ++f) {
                    const float* g = lit[sides[f].corner].direction;
                    if (static_cast<double>(d[0]) * g[0] + static_cast<double>(d[1]) * g[1] +
                            static_cast<double>(d[2]) * g[2] >= creaseCosine)
                        join(sides[e].corner, sides[f].corner);
                }
            }
            run = runEnd;
        }
        // Each set numbered by its first corner, and its sum kept once.
        groupOf.resize(litCount);
        std::uint32_t groups = 0;
        for (std::uint32_t j = 0; j < litCount; ++j) {
            const std::uint32_t root = find(j);
            groupOf[j] = root == j ? groups++ : groupOf[root];
        }
        sums.assign(3 * static_cast<std::size_t>(groups), 0.0);
        for (std::uint32_t j = 0; j < litCount; ++j) {
            const double weight = lit[j].angle;
            double* sum = &sums[3 * static_cast<std::size_t>(groupOf[j])];
            for (unsigned k = 0; k < 3; ++k)
                sum[k] += weight * lit[j].direction[k];
        }
    }

    std::vector<CLitCorner> lit;                       // in corner order
    const double* sumOf(std::uint32_t j) const { return &sums[3 * static_cast<std::size_t>(groupOf[j])]; }

private:
    // The set of a lit corner: the first lit corner of its set.
    std::uint32_t find(std::uint32_t c)
    {
        while (parent[c] != c)
            c = parent[c] = parent[parent[c]];
        return c;
    }

    void join(std::uint32_t a, std::uint32_t b)
    {
        a = find(a);
        b = find(b);
        parent[std::max(a, b)] = std::min(a, b);
    }

    const double creaseCosine;
    std::vector<std::uint32_t> parent;                 // per lit corner, a lit corner of its set before it, or itself
    std::vector<std::uint32_t> groupOf;                // per lit corner
    std::vector<CSide> sides;
    std::vector<double> sums;                          // x, y, z per group
};

// The new records of one position's corners, welded again among them (equal records have
// equal positions): the old position, texture coordinate and colour, the file's normal where
// it is usable, else the crease group's. Each corner's number is written over its old one,
// marked as new. Records of Floats floats, with a colour or without.
template <std::uint32_t Floats>
void addRecords(CMeshData& mesh, bool hasNormals, bool hasTexCoords, const std::vector<std::uint8_t>& missing,
                const CCreaseGroups& groups, std::uint32_t position, const std::uint32_t* corners, std::uint32_t count,
                CRecordTable<Floats>& numbering, float* made, CRecordsSoFar& records)
{
    // Sized by the records made, which most positions have few of, not by the corners.
    numbering.clear(0);
    std::size_t nextLit = 0;
    std::uint32_t last = kNone;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t c = corners[i];
        const std::uint32_t vertex = mesh.indices[c];
        const float* old = mesh.vertices + static_cast<std::size_t>(vertex) * Floats;
        const std::uint32_t madeCount = static_cast<std::uint32_t>(records.positionOfMade.size());
        float* out = made + static_cast<std::size_t>(madeCount) * Floats;
        std::fill(out, out + kFloats, 0.0f);
        if (Floats > kFloats)
            std::memcpy(out + kFloats, old + kFloats, (Floats - kFloats) * sizeof(float));
        std::copy(old + CVertexRecord::kPositionAt, old + CVertexRecord::kPositionAt + 3, out + CVertexRecord::kPositionAt);
        if (hasTexCoords)
            std::copy(old + CVertexRecord::texCoordAt(hasNormals), old + CVertexRecord::texCoordAt(hasNormals) + 2,
                      out + kTexCoordAt);
        const bool isLit = nextLit < groups.lit.size() && groups.lit[nextLit].at == i;
        if (!missing[vertex]) {
            std::memcpy(out + kNormalAt, old + kNormalAt, 3 * sizeof(float));
        } else if (!isLit) {
            out[kNormalAt + 2] = 1.0f;                 // (0, 0, 1): no triangle to face
        } else {
            const double* sum = groups.sumOf(static_cast<std::uint32_t>(nextLit));
            const double length = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
            const float* d = groups.lit[nextLit].direction;
            // A fan whose directions cancel out takes the corner's own triangle's.
            for (unsigned k = 0; k < 3; ++k)
                out[kNormalAt + k] = length > 0 && std::isfinite(length) ? static_cast<float>(sum[k] / length) : d[k];
        }
        nextLit += isLit;
        // Corners in a row often make the same record (a fan's centre): the last one is
        // tried before the table.
        const bool repeats =
            last != kNone && std::memcmp(made + static_cast<std::size_t>(last) * Floats, out, Floats * sizeof(float)) == 0;
        const std::uint32_t number = repeats ? last : numbering.findOrAdd(madeCount);
        if (number == madeCount)
            records.positionOfMade.push_back(position);
        mesh.indices[c] = number | kNew;
        last = number;
    }
}

// Every corner's record made anew, with its normal, into the mesh's new array.
template <std::uint32_t Floats>
void makeRecords(CMeshData& mesh, bool hasNormals, bool hasTexCoords, const std::vector<std::uint8_t>& missing,
                 float creaseDegrees)
{
    const std::uint32_t cornerCount = mesh.indexCount;
    const CPositionCorners positions(mesh, Floats);
    CCreaseGroups groups(creaseDegrees);
    // The new records go straight to the mesh's new array, sized for the worst case, every
    // corner a vertex of its own: pages that stay unused cost no memory.
    std::unique_ptr<float[]> made(new float[static_cast<std::size_t>(cornerCount) * Floats]);
    CRecordTable<Floats> numbering(made.get());
    CRecordsSoFar records{mesh, positions, made.get(), Floats, {}};
    records.positionOfMade.reserve(cornerCount);
    for (std::uint32_t p = 0; p < positions.positionCount; ++p) {
        const std::uint32_t* corners = &positions.around[positions.start[p]];
        const std::uint32_t count = positions.start[p + 1] - positions.start[p];
        groups.group(records, corners, count);
        addRecords<Floats>(mesh, hasNormals, hasTexCoords, missing, groups, p, corners, count, numbering, made.get(),
                           records);
    }

    for (std::uint32_t c = 0; c < cornerCount; ++c)
        mesh.indices[c] &= ~kNew;
    delete[] mesh.vertices;
    mesh.vertices = made.release();
    mesh.vertexCount = static_cast<std::uint32_t>(records.positionOfMade.size());
}

} // namespace

const float CMeshNormals::kCreaseDegrees = 60.0f;

bool CMeshNormals::fillMissing(CMeshData& mesh, float creaseDegrees)
{
    bool hasNormals = false;
    bool hasTexCoords = false;
    bool hasColours = false;
    if (!readLayout(mesh, hasNormals, hasTexCoords, hasColours) || mesh.indexSize != sizeof(std::uint32_t) ||
        mesh.indexCount % 3 != 0 || (mesh.vertexCount != 0 && !mesh.vertices) || (mesh.indexCount != 0 && !mesh.indices))
        return false;
    const std::uint32_t vertexCount = mesh.vertexCount;
    const std::uint32_t cornerCount = mesh.indexCount;
    if (vertexCount >= kNew || cornerCount >= kNew)
        return false;
    for (std::uint32_t c = 0; c < cornerCount; ++c) {
        if (mesh.indices[c] >= vertexCount)
            return false;
    }

    std::vector<std::uint8_t> missing(vertexCount, 1);
    bool anyMissing = !hasNormals;
    for (std::uint32_t v = 0; hasNormals && v < vertexCount; ++v) {
        missing[v] = !usable(mesh.vertices + static_cast<std::size_t>(v) * CVertexRecord::floatsOf(hasColours) + kNormalAt);
        anyMissing = anyMissing || missing[v];
    }
    if (!anyMissing)
        return true;                                   // nothing to add, nothing to move

    if (hasColours)
        makeRecords<CColouredVertexRecord::kFloats>(mesh, hasNormals, hasTexCoords, missing, creaseDegrees);
    else
        makeRecords<kFloats>(mesh, hasNormals, hasTexCoords, missing, creaseDegrees);
    CVertexRecord::setLayout(mesh, true, hasTexCoords, hasColours);
    return true;
}

} // namespace VELK
