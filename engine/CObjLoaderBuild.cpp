// The mesh builder: welding of equal vertex records, faces cut into triangles, and the
// triangles ordered by material.
#include <cstring>
#include <memory>
#include <unordered_map>

#include "engine/CFaceTriangulator.h"
#include "engine/CObjLoader.h"

namespace VELK
{

namespace
{

const std::uint32_t kFloats = 8;
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
std::vector<std::uint32_t> firstOfEqualPositions(const std::vector<float>& positions)
{
    const std::size_t count = positions.size() / 3;
    std::size_t capacity = 16;
    while (capacity < 2 * count)
        capacity *= 2;
    const std::size_t mask = capacity - 1;
    std::vector<std::uint32_t> table(capacity, 0);     // position number + 1; 0: empty
    std::vector<std::uint32_t> first(count);
    for (std::size_t p = 0; p < count; ++p) {
        const float* position = &positions[3 * p];
        std::size_t slot = hashPosition(position) & mask;
        for (;;) {
            const std::uint32_t entry = table[slot];
            if (entry == 0) {
                table[slot] = static_cast<std::uint32_t>(p + 1);
                first[p] = static_cast<std::uint32_t>(p);
                break;
            }
            if (std::memcmp(&positions[3 * static_cast<std::size_t>(entry - 1)], position, 3 * sizeof(float)) == 0) {
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
    explicit CRecordTable(const std::vector<float>& records) : records(records), slots(16, 0), used(0) {}

    // The vertex with this record; -1 when there is none.
    std::int64_t find(const float* record, std::uint64_t hash) const
    {
        const std::size_t mask = slots.size() - 1;
        for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            const std::uint32_t entry = slots[slot];
            if (entry == 0)
                return -1;
            if (std::memcmp(&records[static_cast<std::size_t>(entry - 1) * kFloats], record, kFloats * sizeof(float)) == 0)
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
        std::size_t slot = hashRecord(&records[static_cast<std::size_t>(vertex) * kFloats]) & mask;
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

    const std::vector<float>& records;
    std::vector<std::uint32_t> slots;                  // vertex number + 1; 0: empty
    std::size_t used;
};

// A position whose vertices are more than this is looked up in the record table.
const std::uint32_t kLongestWalk = 16;

} // namespace

void CObjLoader::buildMesh(CMeshData& mesh)
{
    const double weldStarted = phaseClock();
    floatsPerVertex = kFloats;
    fillLayout(mesh);
    weldCorners();
    // The lists are in the records now; their memory goes before the copies below.
    std::vector<float>().swap(positions);
    std::vector<float>().swap(normals);
    std::vector<float>().swap(texCoords);
    const double regroupStarted = phaseClock();
    writeIndices(mesh);

    const double copyStarted = phaseClock();
    mesh.vertexSize = floatsPerVertex * sizeof(float);
    mesh.vertexCount = static_cast<std::uint32_t>(vertices.size() / floatsPerVertex);
    mesh.vertices = new float[vertices.size()];
    std::memcpy(mesh.vertices, vertices.data(), vertices.size() * sizeof(float));
    std::vector<float>().swap(vertices);
    addSubsets(mesh);
    if (phaseTimes) {
        const double done = phaseClock();
        phaseTimes->weld = regroupStarted - weldStarted;
        phaseTimes->regroup = copyStarted - regroupStarted;
        phaseTimes->copyOut = done - copyStarted;
    }
}

void CObjLoader::weldCorners()
{
    const std::size_t corners = positionIndices.size();
    // Numbers for a list the file has none of are ignored; all others are checked already.
    const bool hasNormals = !normals.empty();
    const bool hasTexCoords = !texCoords.empty();
    // With normals in the file, texture coordinates sit behind them in every record.
    const std::size_t texCoordAt = hasNormals ? 6 : 3;
    // Reserved for the worst case, all corners distinct: pages that stay unused cost no
    // memory, and the arrays never move while they grow.
    vertices.clear();
    vertices.reserve(corners * kFloats);
    std::vector<std::uint32_t> previousOnPosition;     // per vertex: the one made before it on its position, + 1
    previousOnPosition.reserve(corners);

    // Equal records have equal positions, so a record is looked for only among the vertices
    // of its position: exporters write the faces around a position close together, and the
    // few vertices on it were made a moment ago and are still in the processor's cache.
    // A large table over all records would be waited for at every new vertex.
    const std::vector<std::uint32_t> samePosition = firstOfEqualPositions(positions);
    std::vector<std::uint32_t> newestOnPosition(samePosition.size(), 0);  // vertex + 1; 0: none
    std::vector<std::uint8_t> crowded(samePosition.size(), 0);
    CRecordTable crowdedRecords(vertices);

    float record[kFloats];
    for (std::size_t corner = 0; corner < corners; ++corner) {
        const std::int32_t p = positionIndices[corner];
        const std::int32_t t = hasTexCoords ? texCoordIndices[corner] : 0;
        const std::int32_t n = hasNormals ? normalIndices[corner] : 0;
        std::memset(record, 0, sizeof record);
        std::memcpy(record, &positions[3 * static_cast<std::size_t>(p - 1)], 3 * sizeof(float));
        if (n != 0)
            std::memcpy(record + 3, &normals[3 * static_cast<std::size_t>(n - 1)], 3 * sizeof(float));
        if (t != 0)
            std::memcpy(record + texCoordAt, &texCoords[2 * static_cast<std::size_t>(t - 1)], 2 * sizeof(float));
        const std::uint32_t position = samePosition[static_cast<std::size_t>(p - 1)];
        const std::uint32_t next = static_cast<std::uint32_t>(vertices.size() / kFloats);

        if (crowded[position]) {
            const std::uint64_t hash = hashRecord(record);
            const std::int64_t found = crowdedRecords.find(record, hash);
            if (found >= 0) {
                positionIndices[corner] = static_cast<std::int32_t>(found);
                continue;
            }
            vertices.insert(vertices.end(), record, record + kFloats);
            previousOnPosition.push_back(0);
            crowdedRecords.add(next);
            positionIndices[corner] = static_cast<std::int32_t>(next);
            continue;
        }

        std::uint32_t walked = 0;
        std::uint32_t vertex = newestOnPosition[position];
        for (; vertex != 0; vertex = previousOnPosition[vertex - 1], ++walked) {
            if (std::memcmp(&vertices[static_cast<std::size_t>(vertex - 1) * kFloats], record, sizeof record) == 0)
                break;
        }
        if (vertex != 0) {
            positionIndices[corner] = static_cast<std::int32_t>(vertex - 1);
            continue;
        }
        vertices.insert(vertices.end(), record, record + kFloats);
        previousOnPosition.push_back(newestOnPosition[position]);
        newestOnPosition[position] = next + 1;
        positionIndices[corner] = static_cast<std::int32_t>(next);
        if (walked >= kLongestWalk) {
            crowded[position] = 1;
            for (std::uint32_t v = next + 1; v != 0; v = previousOnPosition[v - 1])
                crowdedRecords.add(v - 1);
        }
    }
    std::vector<std::int32_t>().swap(normalIndices);
    std::vector<std::int32_t>().swap(texCoordIndices);
}

void CObjLoader::writeIndices(CMeshData& mesh)
{
    // Groups: the library's materials in library order, then one for the faces under no
    // material of the library. Without a library or without "usemtl" lines, one group in
    // file order and no subsets.
    const std::size_t materialCount = materials.size();
    const bool grouped = materialCount != 0 && !runs.empty();
    const std::size_t groupCount = grouped ? materialCount + 1 : 1;
    const std::size_t leftover = groupCount - 1;
    const std::size_t faceCount = faceSizes.size();

    // The group of each run; a name defined twice in the library goes to its first material.
    std::vector<std::uint32_t> runGroup(runs.size(), static_cast<std::uint32_t>(leftover));
    if (grouped) {
        std::unordered_map<std::string, std::uint32_t> byName;
        for (std::size_t m = 0; m < materialCount; ++m)
            byName.emplace(materials[m].name, static_cast<std::uint32_t>(m));
        for (std::size_t r = 0; r < runs.size(); ++r) {
            const auto found = byName.find(runs[r].name);
            if (found != byName.end())
                runGroup[r] = found->second;
        }
    }

    // A counting pass over the runs gives each group's start; then every triangle goes
    // straight to its place.
    std::vector<std::uint64_t> groupStart(groupCount + 1, 0);
    const auto runEnd = [&](std::size_t r) {
        return r + 1 < runs.size() ? static_cast<std::uint64_t>(runs[r + 1].firstIndex) : emittedCorners;
    };
    if (grouped) {
        groupStart[leftover + 1] += static_cast<std::uint64_t>(runs.front().firstIndex);
        for (std::size_t r = 0; r < runs.size(); ++r)
            groupStart[runGroup[r] + 1] += runEnd(r) - static_cast<std::uint64_t>(runs[r].firstIndex);
    } else {
        groupStart[1] = emittedCorners;
    }
    for (std::size_t g = 0; g < groupCount; ++g)
        groupStart[g + 1] += groupStart[g];

    mesh.indexSize = sizeof(std::uint32_t);
    mesh.indexCount = static_cast<std::uint32_t>(emittedCorners);
    mesh.indices = new std::uint32_t[emittedCorners];
    std::vector<std::uint64_t> cursor(groupStart.begin(), groupStart.end() - 1);

    const std::uint32_t* corner = reinterpret_cast<const std::uint32_t*>(positionIndices.data());
    std::size_t nextRun = 0;
    std::size_t group = leftover;
    CFaceTriangulator triangulator;
    for (std::size_t face = 0; face < faceCount; ++face) {
        while (grouped && nextRun < runs.size() && runs[nextRun].firstFace == face)
            group = runGroup[nextRun++];
        // Triangles, most faces of a file, are copied as they are; larger faces keep their
        // turning order in each of their triangles. Welding left the positions in the records.
        const std::uint32_t size = faceSizes[face];
        std::uint32_t* out = mesh.indices + cursor[group];
        if (size == 3) {
            out[0] = corner[0];
            out[1] = corner[1];
            out[2] = corner[2];
        } else {
            triangulator.triangulate(vertices.data(), kFloats, corner, size, out);
        }
        cursor[group] += 3 * static_cast<std::uint64_t>(size - 2);
        corner += size;
    }
    std::vector<std::int32_t>().swap(positionIndices);
    std::vector<std::uint32_t>().swap(faceSizes);

    // From here on, one run per group, where its indices start.
    std::vector<CMaterialRun> groupRuns;
    if (grouped) {
        for (std::size_t g = 0; g < groupCount; ++g) {
            if (g == leftover && groupStart[g + 1] == groupStart[g])
                break;                                 // the extra group only when faces fall in it
            groupRuns.push_back(CMaterialRun{g == leftover ? std::string() : materials[g].name,
                                             static_cast<std::int32_t>(groupStart[g]), 0});
        }
    }
    runs.swap(groupRuns);
}

void CObjLoader::fillLayout(CMeshData& mesh) const
{
    const bool hasNormals = !normals.empty();
    const bool hasTexCoords = !texCoords.empty();
    std::vector<CVertexElement> layout;
    layout.push_back(CVertexElement{0, CVertexElement::FORMAT_FLOAT3, CVertexElement::USAGE_POSITION, 0});
    if (hasNormals)
        layout.push_back(CVertexElement{12, CVertexElement::FORMAT_FLOAT3, CVertexElement::USAGE_NORMAL, 0});
    if (hasTexCoords)
        layout.push_back(
            CVertexElement{hasNormals ? 24u : 12u, CVertexElement::FORMAT_FLOAT2, CVertexElement::USAGE_TEXCOORD, 0});
    layout.push_back(CVertexElement{0, CVertexElement::FORMAT_NONE, CVertexElement::USAGE_NONE, 0});
    mesh.vertexElementCount = static_cast<std::uint32_t>(layout.size());
    mesh.vertexElements = new CVertexElement[layout.size()];
    std::memcpy(mesh.vertexElements, layout.data(), layout.size() * sizeof(CVertexElement));
}

void CObjLoader::addSubsets(CMeshData& mesh) const
{
    for (std::size_t k = 0; k < runs.size(); ++k) {
        const std::uint32_t end = k + 1 < runs.size() ? static_cast<std::uint32_t>(runs[k + 1].firstIndex) : mesh.indexCount;
        const std::uint32_t triangles = (end - static_cast<std::uint32_t>(runs[k].firstIndex)) / 3;
        if (k < materials.size())
            mesh.addSubset(runs[k].name, materials[k].material, runs[k].firstIndex, static_cast<std::int32_t>(triangles),
                           materials[k].textureFile);
        else
            mesh.addSubset(runs[k].name, CMaterial(), runs[k].firstIndex, static_cast<std::int32_t>(triangles),
                           std::string());
    }
}

} // namespace VELK
