// Normals from the triangles around each position, split where the surface folds.
#include "engine/CMeshNormals.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numeric>
#include <vector>

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
bool readLayout(const CMeshData& mesh, bool& hasNormals, bool& hasTexCoords)
{
    if (mesh.vertexSize != sizeof(CVertexRecord) || !mesh.vertexElements)
        return false;
    hasNormals = hasTexCoords = false;
    for (std::uint32_t e = 0; e < mesh.vertexElementCount && mesh.vertexElements[e].usage != CVertexElement::USAGE_NONE;
         ++e) {
        hasNormals = hasNormals || mesh.vertexElements[e].usage == CVertexElement::USAGE_NORMAL;
        hasTexCoords = hasTexCoords || mesh.vertexElements[e].usage == CVertexElement::USAGE_TEXCOORD;
    }
    CMeshData expected;
    CVertexRecord::setLayout(expected, hasNormals, hasTexCoords);
    return mesh.vertexElementCount == expected.vertexElementCount &&
           std::memcmp(mesh.vertexElements, expected.vertexElements, sizeof(CVertexElement) * expected.vertexElementCount) == 0;
}

bool usable(const float* normal)
{
    const double length = static_cast<double>(normal[0]) * normal[0] + static_cast<double>(normal[1]) * normal[1] +
                          static_cast<double>(normal[2]) * normal[2];
    return length > 0 && std::isfinite(length);
}

// The corners standing on each position, positions matched by value: 0 and -0 are one
// place, and vertices that differ in texture coordinate only stand on one position.
struct CPositionCorners
{
    std::uint32_t positionCount = 0;
    std::vector<std::uint32_t> positionAt;             // per corner
    std::vector<std::uint32_t> start;                  // per position, where its corners begin in around; one more
    std::vector<std::uint32_t> around;                 // corners, position after position, each in corner order

    CPositionCorners(const CMeshData& mesh)
    {
        const std::uint32_t vertexCount = mesh.vertexCount;
        const std::uint32_t cornerCount = mesh.indexCount;
        std::vector<std::uint32_t> positionOf(vertexCount);
        {
            const std::unique_ptr<float[]> distinct(new float[3 * static_cast<std::size_t>(vertexCount)]);
            CRecordTable<3> numbering(distinct.get(), vertexCount);
            for (std::uint32_t v = 0; v < vertexCount; ++v) {
                const float* p = mesh.vertices + static_cast<std::size_t>(v) * kFloats + CVertexRecord::kPositionAt;
                float* key = distinct.get() + 3 * static_cast<std::size_t>(positionCount);
                for (unsigned i = 0; i < 3; ++i)
                    key[i] = p[i] + 0.0f;
                positionOf[v] = numbering.findOrAdd(positionCount);
                if (positionOf[v] == positionCount)
                    ++positionCount;
            }
        }
        positionAt.resize(cornerCount);
        for (std::uint32_t c = 0; c < cornerCount; ++c)
            positionAt[c] = positionOf[mesh.indices[c]];
        std::vector<std::uint32_t>().swap(positionOf);
        start.assign(static_cast<std::size_t>(positionCount) + 1, 0);
        for (std::uint32_t c = 0; c < cornerCount; ++c)
            ++start[positionAt[c] + 1];
        for (std::uint32_t p = 0; p < positionCount; ++p)
            start[p + 1] += start[p];
        around.resize(cornerCount);
        for (std::uint32_t c = 0; c < cornerCount; ++c)
            around[start[positionAt[c]]++] = c;
        for (std::uint32_t p = positionCount; p > 0; --p)
            start[p] = start[p - 1];
        start[0] = 0;
    }
};

// Each triangle's direction, (0, 0, 0) for one without area, and its angle at each
// corner: the weight of its direction there.
struct CFaceNormals
{
    std::vector<float> direction;                      // x, y, z per triangle
    std::vector<float> angle;                          // per corner

    CFaceNormals(const CMeshData& mesh)
        : direction(3 * static_cast<std::size_t>(mesh.indexCount / 3), 0.0f), angle(mesh.indexCount, 0.0f)
    {
        for (std::uint32_t t = 0; t < mesh.indexCount / 3; ++t) {
            double p[3][3];
            for (unsigned k = 0; k < 3; ++k) {
                const float* position = mesh.vertices + static_cast<std::size_t>(mesh.indices[3 * t + k]) * kFloats +
                                        CVertexRecord::kPositionAt;
                for (unsigned i = 0; i < 3; ++i)
                    p[k][i] = position[i];
            }
            double side[3][3];                         // side k runs from corner k to the next
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
                continue;
            const double length = std::sqrt(cross);
            for (unsigned i = 0; i < 3; ++i)
                direction[3 * static_cast<std::size_t>(t) + i] = static_cast<float>(n[i] / length);
            for (unsigned k = 0; k < 3; ++k) {
                // Between the side leaving corner k and the one reaching it, turned round; the
                // length of their cross product is the same at every corner.
                const double* out = side[k];
                const double* in = side[k == 0 ? 2 : k - 1];
                angle[3 * t + k] = static_cast<float>(std::atan2(length, -(out[0] * in[0] + out[1] * in[1] + out[2] * in[2])));
            }
        }
    }

    const float* of(std::uint32_t corner) const { return &direction[3 * static_cast<std::size_t>(corner / 3)]; }

    bool flat(std::uint32_t corner) const
    {
        const float* d = of(corner);
        return d[0] == 0.0f && d[1] == 0.0f && d[2] == 0.0f;
    }
};

// One side of a triangle leaving a position: the position at its other end, and the
// triangle's corner on the first, numbered in that position's list.
struct CSide
{
    std::uint32_t other;
    std::uint32_t corner;

    bool operator<(const CSide& side) const { return other != side.other ? other < side.other : corner < side.corner; }
};

// The crease groups of one position at a time: two triangles on one side leaving the
// position, that meet at no more than the crease angle, share their normal there; such
// sides chain the triangles around the position into smooth fans. Each group's normal is
// the sum of its triangles' directions, weighted by their angles at the position.
class CCreaseGroups
{
public:
    CCreaseGroups(const CPositionCorners& positions, const CFaceNormals& faces, float creaseDegrees)
        : positions(positions), faces(faces),
          creaseCosine(std::cos(static_cast<double>(creaseDegrees) * 3.14159265358979323846 / 180.0))
    {
    }

    void group(const std::uint32_t* corners, std::uint32_t count)
    {
        parent.resize(count);
        std::iota(parent.begin(), parent.end(), 0u);
        sides.clear();
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t c = corners[i];
            if (faces.flat(c))
                continue;
            const std::uint32_t first = c - c % 3;
            sides.push_back(CSide{positions.positionAt[first + (c + 1 - first) % 3], i});
            sides.push_back(CSide{positions.positionAt[first + (c + 2 - first) % 3], i});
        }
        std::sort(sides.begin(), sides.end());
        for (std::size_t run = 0; run < sides.size();) {
            std::size_t runEnd = run + 1;
            while (runEnd < sides.size() && sides[runEnd].other == sides[run].other)
                ++runEnd;
            for (std::size_t e = run + 1; e < runEnd; ++e) {
                const float* d = faces.of(corners[sides[e].corner]);
                for (std::size_t f = e - std::min<std::size_t>(e - run, kEdgePartners); f < e; ++f) {
                    const float* g = faces.of(corners[sides[f].corner]);
                    if (static_cast<double>(d[0]) * g[0] + static_cast<double>(d[1]) * g[1] +
                            static_cast<double>(d[2]) * g[2] >= creaseCosine)
                        join(sides[e].corner, sides[f].corner);
                }
            }
            run = runEnd;
        }
        sums.assign(3 * static_cast<std::size_t>(count), 0.0);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t c = corners[i];
            if (faces.flat(c))
                continue;
            const double weight = faces.angle[c];
            const float* d = faces.of(c);
            double* sum = &sums[3 * static_cast<std::size_t>(find(i))];
            for (unsigned k = 0; k < 3; ++k)
                sum[k] += weight * d[k];
        }
    }

    const double* sumOf(std::uint32_t i) { return &sums[3 * static_cast<std::size_t>(find(i))]; }

private:
    // The group of a corner, numbered in the position's list: the first corner of its set.
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

    const CPositionCorners& positions;
    const CFaceNormals& faces;
    const double creaseCosine;
    std::vector<std::uint32_t> parent;                 // per corner, a corner of its set before it, or itself
    std::vector<CSide> sides;
    std::vector<double> sums;                          // x, y, z per group, at its first corner's place
};

// The new records of one position's corners, welded again among them (equal records have
// equal positions): the old position and texture coordinate, the file's normal where it is
// usable, else the crease group's.
void addRecords(const CMeshData& mesh, bool hasNormals, bool hasTexCoords, const std::vector<std::uint8_t>& missing,
                const CFaceNormals& faces, CCreaseGroups& groups, const std::uint32_t* corners, std::uint32_t count,
                CRecordTable<kFloats>& numbering, float* made, std::uint32_t& madeCount, std::uint32_t* madeIndices)
{
    numbering.clear(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t c = corners[i];
        const std::uint32_t vertex = mesh.indices[c];
        const float* old = mesh.vertices + static_cast<std::size_t>(vertex) * kFloats;
        float* out = made + static_cast<std::size_t>(madeCount) * kFloats;
        std::fill(out, out + kFloats, 0.0f);
        std::copy(old + CVertexRecord::kPositionAt, old + CVertexRecord::kPositionAt + 3, out + CVertexRecord::kPositionAt);
        if (hasTexCoords)
            std::copy(old + CVertexRecord::texCoordAt(hasNormals), old + CVertexRecord::texCoordAt(hasNormals) + 2,
                      out + kTexCoordAt);
        if (!missing[vertex]) {
            std::memcpy(out + kNormalAt, old + kNormalAt, 3 * sizeof(float));
        } else if (faces.flat(c)) {
            out[kNormalAt + 2] = 1.0f;                 // (0, 0, 1): no triangle to face
        } else {
            const double* sum = groups.sumOf(i);
            const double length = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
            const float* d = faces.of(c);
            // A fan whose directions cancel out takes the corner's own triangle's.
            for (unsigned k = 0; k < 3; ++k)
                out[kNormalAt + k] = length > 0 && std::isfinite(length) ? static_cast<float>(sum[k] / length) : d[k];
        }
        madeIndices[c] = numbering.findOrAdd(madeCount);
        if (madeIndices[c] == madeCount)
            ++madeCount;
    }
}

} // namespace

const float CMeshNormals::kCreaseDegrees = 60.0f;

bool CMeshNormals::fillMissing(CMeshData& mesh, float creaseDegrees)
{
    bool hasNormals = false;
    bool hasTexCoords = false;
    if (!readLayout(mesh, hasNormals, hasTexCoords) || mesh.indexSize != sizeof(std::uint32_t) || mesh.indexCount % 3 != 0 ||
        (mesh.vertexCount != 0 && !mesh.vertices) || (mesh.indexCount != 0 && !mesh.indices))
        return false;
    const std::uint32_t vertexCount = mesh.vertexCount;
    const std::uint32_t cornerCount = mesh.indexCount;
    for (std::uint32_t c = 0; c < cornerCount; ++c) {
        if (mesh.indices[c] >= vertexCount)
            return false;
    }

    std::vector<std::uint8_t> missing(vertexCount, 1);
    bool anyMissing = !hasNormals;
    for (std::uint32_t v = 0; hasNormals && v < vertexCount; ++v) {
        missing[v] = !usable(mesh.vertices + static_cast<std::size_t>(v) * kFloats + kNormalAt);
        anyMissing = anyMissing || missing[v];
    }
    if (!anyMissing)
        return true;                                   // nothing to add, nothing to move

    const CPositionCorners positions(mesh);
    const CFaceNormals faces(mesh);
    CCreaseGroups groups(positions, faces, creaseDegrees);
    // The new records go straight to the mesh's new array, sized for the worst case, every
    // corner a vertex of its own: pages that stay unused cost no memory.
    std::unique_ptr<float[]> made(new float[static_cast<std::size_t>(cornerCount) * kFloats]);
    CRecordTable<kFloats> numbering(made.get());
    std::uint32_t madeCount = 0;
    std::vector<std::uint32_t> madeIndices(cornerCount);
    for (std::uint32_t p = 0; p < positions.positionCount; ++p) {
        const std::uint32_t* corners = &positions.around[positions.start[p]];
        const std::uint32_t count = positions.start[p + 1] - positions.start[p];
        groups.group(corners, count);
        addRecords(mesh, hasNormals, hasTexCoords, missing, faces, groups, corners, count, numbering, made.get(), madeCount,
                   madeIndices.data());
    }

    std::copy(madeIndices.begin(), madeIndices.end(), mesh.indices);
    delete[] mesh.vertices;
    mesh.vertices = made.release();
    mesh.vertexCount = madeCount;
    CVertexRecord::setLayout(mesh, true, hasTexCoords);
    return true;
}

} // namespace VELK
