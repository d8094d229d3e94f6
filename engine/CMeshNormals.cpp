// Normals from the triangles around each position, split where the surface folds.
#include "engine/CMeshNormals.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace VELK
{

namespace
{

const std::uint32_t kFloats = 8;                       // per vertex record
const std::uint32_t kNormalAt = 3;
const std::uint32_t kTexCoordAt = 6;
static_assert(sizeof(float) * kFloats == 32, "a vertex record is 32 bytes");

// A triangle whose sides' cross product is below this share of their lengths' product
// (the sine of its angle) has no direction of its own worth trusting.
const double kFlatSine = 1e-7;

// On an edge shared by many triangles each is compared with this many before it, so that
// a hostile edge cannot make the work grow with the square of its triangles.
const std::uint32_t kEdgePartners = 8;

// Where the vertex record keeps its parts, in floats.
struct CLayout
{
    bool hasNormal = false;
    bool hasTexCoord = false;
    std::uint32_t normal = 0;
    std::uint32_t texCoord = 0;
};

bool readLayout(const CMeshData& mesh, CLayout& layout)
{
    if (mesh.vertexSize != sizeof(float) * kFloats || (!mesh.vertexElements && mesh.vertexElementCount != 0))
        return false;
    bool hasPosition = false;
    for (std::uint32_t e = 0; e < mesh.vertexElementCount; ++e) {
        const CVertexElement& element = mesh.vertexElements[e];
        if (element.usage == CVertexElement::USAGE_NONE)
            break;
        const std::uint32_t at = element.offset / sizeof(float);
        const bool fits = element.offset % sizeof(float) == 0 && at + element.format <= kFloats;
        if (element.usage == CVertexElement::USAGE_POSITION && element.offset == 0 &&
            element.format == CVertexElement::FORMAT_FLOAT3) {
            hasPosition = true;
        } else if (element.usage == CVertexElement::USAGE_NORMAL && element.format == CVertexElement::FORMAT_FLOAT3 &&
                   fits && !layout.hasNormal) {
            layout.hasNormal = true;
            layout.normal = at;
        } else if (element.usage == CVertexElement::USAGE_TEXCOORD && element.format == CVertexElement::FORMAT_FLOAT2 &&
                   fits && !layout.hasTexCoord) {
            layout.hasTexCoord = true;
            layout.texCoord = at;
        } else {
            return false;
        }
    }
    return hasPosition;
}

bool usable(const float* normal)
{
    const double length = static_cast<double>(normal[0]) * normal[0] + static_cast<double>(normal[1]) * normal[1] +
                          static_cast<double>(normal[2]) * normal[2];
    return length > 0 && std::isfinite(length);
}

std::uint64_t mix(std::uint64_t h)
{
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 29;
    return h;
}

std::size_t tableSizeFor(std::size_t entries)
{
    std::size_t size = 16;
    while (size < 2 * entries)
        size *= 2;
    return size;
}

// Numbers for runs of Floats floats equal bit for bit, in order of first appearance. Each
// new run is written to the caller's array, which must have room for all of them; the table
// is for at most `most` new runs until the next clear().
template <std::size_t Floats>
class CNumbering
{
public:
    explicit CNumbering(float* runs) : runs(runs), count(0) {}

    void clear(std::size_t most) { slots.assign(tableSizeFor(most), 0); }

    // The number of the run equal to key; a new one when there is none.
    std::uint32_t number(const float* key)
    {
        std::uint32_t words[Floats];
        std::memcpy(words, key, sizeof words);
        std::uint64_t h = 0;
        for (std::size_t i = 0; i < Floats; i += 2)
            h = mix((h ^ words[i] ^ (i + 1 < Floats ? static_cast<std::uint64_t>(words[i + 1]) << 32 : 0)) * 0x9E3779B97F4A7C15ull);
        const std::size_t mask = slots.size() - 1;
        for (std::size_t slot = h & mask;; slot = (slot + 1) & mask) {
            const std::uint32_t entry = slots[slot];
            if (entry == 0) {
                std::memcpy(runs + count * Floats, key, sizeof words);
                slots[slot] = ++count;
                return count - 1;
            }
            if (std::memcmp(runs + (entry - 1) * Floats, key, sizeof words) == 0)
                return entry - 1;
        }
    }

    std::uint32_t size() const { return count; }

private:
    float* runs;
    std::uint32_t count;
    std::vector<std::uint32_t> slots;                  // run number + 1; 0: empty
};

// Sets of corners around one position that share one normal; the corners are numbered
// from 0 in the position's list.
class CCornerSets
{
public:
    void reset(std::uint32_t corners)
    {
        parent.resize(corners);
        for (std::uint32_t c = 0; c < corners; ++c)
            parent[c] = c;
    }

    std::uint32_t find(std::uint32_t c)
    {
        while (parent[c] != c) {
            parent[c] = parent[parent[c]];
            c = parent[c];
        }
        return c;
    }

    void join(std::uint32_t a, std::uint32_t b)
    {
        a = find(a);
        b = find(b);
        if (a < b)
            parent[b] = a;
        else if (b < a)
            parent[a] = b;
    }

private:
    std::vector<std::uint32_t> parent;
};

// One side of a triangle leaving a position: the position at its other end, and the
// triangle's corner on the first, numbered in that position's list.
struct CSide
{
    std::uint32_t other;
    std::uint32_t corner;

    bool operator<(const CSide& side) const { return other != side.other ? other < side.other : corner < side.corner; }
};

} // namespace

const float CMeshNormals::kCreaseDegrees = 60.0f;

bool CMeshNormals::fillMissing(CMeshData& mesh, float creaseDegrees)
{
    CLayout layout;
    if (!readLayout(mesh, layout) || mesh.indexSize != sizeof(std::uint32_t) || mesh.indexCount % 3 != 0 ||
        (mesh.vertexCount != 0 && !mesh.vertices) || (mesh.indexCount != 0 && !mesh.indices))
        return false;
    const std::uint32_t vertexCount = mesh.vertexCount;
    const std::uint32_t cornerCount = mesh.indexCount;
    const std::uint32_t* indices = mesh.indices;
    for (std::uint32_t c = 0; c < cornerCount; ++c) {
        if (indices[c] >= vertexCount)
            return false;
    }
    const float* vertices = mesh.vertices;
    const auto record = [vertices](std::uint32_t vertex) { return vertices + static_cast<std::size_t>(vertex) * kFloats; };

    std::vector<std::uint8_t> missing(vertexCount, 1);
    bool anyMissing = !layout.hasNormal;
    if (layout.hasNormal) {
        for (std::uint32_t v = 0; v < vertexCount; ++v) {
            missing[v] = !usable(record(v) + layout.normal);
            anyMissing = anyMissing || missing[v];
        }
    }
    if (!anyMissing && layout.normal == kNormalAt && (!layout.hasTexCoord || layout.texCoord == kTexCoordAt))
        return true;                                   // nothing to add, nothing to move

    // Positions by value: 0 and -0 are one place, and vertices that differ in texture
    // coordinate only stand on one position.
    std::vector<std::uint32_t> positionOf(vertexCount);
    std::uint32_t positionCount = 0;
    {
        const std::unique_ptr<float[]> distinct(new float[3 * static_cast<std::size_t>(vertexCount)]);
        CNumbering<3> numbering(distinct.get());
        numbering.clear(vertexCount);
        for (std::uint32_t v = 0; v < vertexCount; ++v) {
            const float* p = record(v);
            const float key[3] = {p[0] + 0.0f, p[1] + 0.0f, p[2] + 0.0f};
            positionOf[v] = numbering.number(key);
        }
        positionCount = numbering.size();
    }

    // Each triangle's direction, (0, 0, 0) for one without area, and its angle at each
    // corner: the weight of its direction there.
    const std::uint32_t triangleCount = cornerCount / 3;
    std::vector<float> direction(3 * static_cast<std::size_t>(triangleCount), 0.0f);
    std::vector<float> angle(cornerCount, 0.0f);
    for (std::uint32_t t = 0; t < triangleCount; ++t) {
        double p[3][3];
        for (unsigned k = 0; k < 3; ++k) {
            const float* position = record(indices[3 * t + k]);
            for (unsigned i = 0; i < 3; ++i)
                p[k][i] = position[i];
        }
        double side[3][3];                             // side k runs from corner k to the next
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
    const auto directionOf = [&direction](std::uint32_t corner) { return &direction[3 * static_cast<std::size_t>(corner / 3)]; };
    const auto flat = [&directionOf](std::uint32_t corner) {
        const float* d = directionOf(corner);
        return d[0] == 0.0f && d[1] == 0.0f && d[2] == 0.0f;
    };

    // The corners standing on each position, in corner order.
    std::vector<std::uint32_t> positionAt(cornerCount);
    for (std::uint32_t c = 0; c < cornerCount; ++c)
        positionAt[c] = positionOf[indices[c]];
    std::vector<std::uint32_t>().swap(positionOf);
    std::vector<std::uint32_t> start(static_cast<std::size_t>(positionCount) + 1, 0);
    for (std::uint32_t c = 0; c < cornerCount; ++c)
        ++start[positionAt[c] + 1];
    for (std::uint32_t p = 0; p < positionCount; ++p)
        start[p + 1] += start[p];
    std::vector<std::uint32_t> around(cornerCount);
    for (std::uint32_t c = 0; c < cornerCount; ++c)
        around[start[positionAt[c]]++] = c;
    for (std::uint32_t p = positionCount; p > 0; --p)
        start[p] = start[p - 1];
    start[0] = 0;

    const double creaseCosine = std::cos(static_cast<double>(creaseDegrees) * 3.14159265358979323846 / 180.0);
    CCornerSets sets;
    std::vector<CSide> sides;
    std::vector<double> sums;
    // The new records go straight to the mesh's new array, sized for the worst case, every
    // corner a vertex of its own: pages that stay unused cost no memory.
    std::unique_ptr<float[]> made(new float[static_cast<std::size_t>(cornerCount) * kFloats]);
    std::unique_ptr<CVertexElement[]> madeLayout(new CVertexElement[layout.hasTexCoord ? 4 : 3]);
    CNumbering<kFloats> numbering(made.get());
    std::vector<std::uint32_t> madeIndices(cornerCount);
    for (std::uint32_t p = 0; p < positionCount; ++p) {
        const std::uint32_t* corners = &around[start[p]];
        const std::uint32_t count = start[p + 1] - start[p];

        // Two triangles on one side leaving the position, that meet at no more than the
        // crease angle, share their normal here; such sides chain the triangles around the
        // position into smooth fans.
        sets.reset(count);
        sides.clear();
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t c = corners[i];
            if (flat(c))
                continue;
            const std::uint32_t first = c - c % 3;
            sides.push_back(CSide{positionAt[first + (c + 1 - first) % 3], i});
            sides.push_back(CSide{positionAt[first + (c + 2 - first) % 3], i});
        }
        std::sort(sides.begin(), sides.end());
        for (std::size_t run = 0; run < sides.size();) {
            std::size_t runEnd = run + 1;
            while (runEnd < sides.size() && sides[runEnd].other == sides[run].other)
                ++runEnd;
            for (std::size_t e = run + 1; e < runEnd; ++e) {
                const float* d = directionOf(corners[sides[e].corner]);
                for (std::size_t f = e - std::min<std::size_t>(e - run, kEdgePartners); f < e; ++f) {
                    const float* g = directionOf(corners[sides[f].corner]);
                    if (static_cast<double>(d[0]) * g[0] + static_cast<double>(d[1]) * g[1] +
                            static_cast<double>(d[2]) * g[2] >= creaseCosine)
                        sets.join(sides[e].corner, sides[f].corner);
                }
            }
            run = runEnd;
        }
        sums.assign(3 * static_cast<std::size_t>(count), 0.0);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t c = corners[i];
            if (flat(c))
                continue;
            const double weight = angle[c];
            const float* d = directionOf(c);
            double* sum = &sums[3 * static_cast<std::size_t>(sets.find(i))];
            for (unsigned k = 0; k < 3; ++k)
                sum[k] += weight * d[k];
        }

        // The records, welded again among the corners of this position: equal records have
        // equal positions.
        numbering.clear(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t c = corners[i];
            const std::uint32_t vertex = indices[c];
            const float* old = record(vertex);
            float out[kFloats] = {old[0], old[1], old[2], 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
            if (layout.hasTexCoord) {
                out[kTexCoordAt] = old[layout.texCoord];
                out[kTexCoordAt + 1] = old[layout.texCoord + 1];
            }
            if (!missing[vertex]) {
                std::memcpy(out + kNormalAt, old + layout.normal, 3 * sizeof(float));
            } else if (flat(c)) {
                out[kNormalAt + 2] = 1.0f;             // (0, 0, 1): no triangle to face
            } else {
                const double* sum = &sums[3 * static_cast<std::size_t>(sets.find(i))];
                const double length = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
                const float* d = directionOf(c);
                // A fan whose directions cancel out takes the corner's own triangle's.
                for (unsigned k = 0; k < 3; ++k)
                    out[kNormalAt + k] = length > 0 && std::isfinite(length) ? static_cast<float>(sum[k] / length) : d[k];
            }
            madeIndices[c] = numbering.number(out);
        }
    }
    std::vector<float>().swap(direction);
    std::vector<std::uint32_t>().swap(around);

    CVertexElement* element = madeLayout.get();
    *element++ = CVertexElement{0, CVertexElement::FORMAT_FLOAT3, CVertexElement::USAGE_POSITION, 0};
    *element++ = CVertexElement{kNormalAt * sizeof(float), CVertexElement::FORMAT_FLOAT3, CVertexElement::USAGE_NORMAL, 0};
    if (layout.hasTexCoord)
        *element++ =
            CVertexElement{kTexCoordAt * sizeof(float), CVertexElement::FORMAT_FLOAT2, CVertexElement::USAGE_TEXCOORD, 0};
    *element++ = CVertexElement{0, CVertexElement::FORMAT_NONE, CVertexElement::USAGE_NONE, 0};

    std::copy(madeIndices.begin(), madeIndices.end(), mesh.indices);
    delete[] mesh.vertices;
    mesh.vertices = made.release();
    mesh.vertexCount = numbering.size();
    delete[] mesh.vertexElements;
    mesh.vertexElementCount = static_cast<std::uint32_t>(element - madeLayout.get());
    mesh.vertexElements = madeLayout.release();
    return true;
}

} // namespace VELK
