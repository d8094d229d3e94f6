// The mesh builder: welding of equal vertex records, and the triangles ordered by material.
#include <cstring>
#include <memory>
#include <unordered_map>

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

std::uint64_t hashCorner(std::int32_t p, std::int32_t t, std::int32_t n)
{
    const std::uint64_t key = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(p)) << 32) ^
                              (static_cast<std::uint64_t>(static_cast<std::uint32_t>(t)) << 16) ^
                              static_cast<std::uint32_t>(n);
    return mix(key * 0x9E3779B97F4A7C15ull);
}

// The last corners seen, by their numbers: neighbouring faces share corners, and equal
// numbers always make equal records, so most repeats skip the large table.
struct CRecentCorner
{
    std::int32_t position;                             // 0: empty
    std::int32_t texCoord;
    std::int32_t normal;
    std::uint32_t vertex;
};
const std::size_t kRecentCorners = 1 << 14;

} // namespace

void CObjLoader::buildMesh(CMeshData& mesh)
{
    floatsPerVertex = kFloats;
    fillLayout(mesh);
    weldCorners();
    // The lists are in the records now; their memory goes before the copies below.
    std::vector<float>().swap(positions);
    std::vector<float>().swap(normals);
    std::vector<float>().swap(texCoords);
    writeIndices(mesh);

    mesh.vertexSize = floatsPerVertex * sizeof(float);
    mesh.vertexCount = static_cast<std::uint32_t>(vertices.size() / floatsPerVertex);
    mesh.vertices = new float[vertices.size()];
    std::memcpy(mesh.vertices, vertices.data(), vertices.size() * sizeof(float));
    std::vector<float>().swap(vertices);
    addSubsets(mesh);
}

void CObjLoader::weldCorners()
{
    const std::size_t corners = positionIndices.size();
    // Every corner may be a new vertex, so the table never fills beyond two thirds.
    std::size_t capacity = 16;
    while (capacity < corners + corners / 2)
        capacity *= 2;
    const std::size_t mask = capacity - 1;
    std::vector<std::uint32_t> table(capacity, 0);     // vertex number + 1; 0: empty
    std::vector<CRecentCorner> recent(kRecentCorners, CRecentCorner{0, 0, 0, 0});

    // Numbers for a list the file has none of are ignored; all others are checked already.
    const bool hasNormals = !normals.empty();
    const bool hasTexCoords = !texCoords.empty();
    // With normals in the file, texture coordinates sit behind them in every record.
    const std::size_t texCoordAt = hasNormals ? 6 : 3;
    // Reserved for the worst case, all corners distinct: pages that stay unused cost no
    // memory, and the array never moves while it grows.
    vertices.clear();
    vertices.reserve(corners * kFloats);

    const auto fillRecord = [&](std::size_t corner, float* record) {
        const std::int32_t p = positionIndices[corner];
        const std::int32_t t = hasTexCoords ? texCoordIndices[corner] : 0;
        const std::int32_t n = hasNormals ? normalIndices[corner] : 0;
        std::memset(record, 0, kFloats * sizeof(float));
        std::memcpy(record, &positions[3 * static_cast<std::size_t>(p - 1)], 3 * sizeof(float));
        if (n != 0)
            std::memcpy(record + 3, &normals[3 * static_cast<std::size_t>(n - 1)], 3 * sizeof(float));
        if (t != 0)
            std::memcpy(record + texCoordAt, &texCoords[2 * static_cast<std::size_t>(t - 1)], 2 * sizeof(float));
    };

    // The table is far larger than the processor's cache and every new vertex lands at a
    // random place in it; the slot of a corner a little ahead is fetched while this one
    // is worked on, so that waiting for memory overlaps. Corners found among the recent
    // ones need no slot.
    const std::size_t kAhead = 24;
    std::uint64_t aheadHash[kAhead] = {};
    bool aheadReady[kAhead] = {};
    const auto recentFor = [&](std::size_t corner) -> CRecentCorner& {
        const std::int32_t t = hasTexCoords ? texCoordIndices[corner] : 0;
        const std::int32_t n = hasNormals ? normalIndices[corner] : 0;
        return recent[hashCorner(positionIndices[corner], t, n) & (kRecentCorners - 1)];
    };
    const auto isRecent = [&](const CRecentCorner& cached, std::size_t corner) {
        return cached.position == positionIndices[corner] &&
               cached.texCoord == (hasTexCoords ? texCoordIndices[corner] : 0) &&
               cached.normal == (hasNormals ? normalIndices[corner] : 0);
    };
    const auto prepare = [&](std::size_t corner) {
        aheadReady[corner % kAhead] = false;
        if (isRecent(recentFor(corner), corner))
            return;
        float record[kFloats];
        fillRecord(corner, record);
        const std::uint64_t hash = hashRecord(record);
        aheadHash[corner % kAhead] = hash;
        aheadReady[corner % kAhead] = true;
#if defined(__GNUC__)
        __builtin_prefetch(&table[hash & mask]);
#endif
    };
    for (std::size_t corner = 0; corner < kAhead && corner < corners; ++corner)
        prepare(corner);

    for (std::size_t corner = 0; corner < corners; ++corner) {
        const bool ready = aheadReady[corner % kAhead];
        const std::uint64_t readyHash = aheadHash[corner % kAhead];
        if (corner + kAhead < corners)
            prepare(corner + kAhead);
        CRecentCorner& cached = recentFor(corner);
        if (isRecent(cached, corner)) {
            positionIndices[corner] = static_cast<std::int32_t>(cached.vertex);
            continue;
        }
        const std::int32_t p = positionIndices[corner];
        const std::int32_t t = hasTexCoords ? texCoordIndices[corner] : 0;
        const std::int32_t n = hasNormals ? normalIndices[corner] : 0;

        float record[kFloats];
        fillRecord(corner, record);
        std::size_t slot = (ready ? readyHash : hashRecord(record)) & mask;
        std::uint32_t vertex = 0;
        for (;;) {
            const std::uint32_t entry = table[slot];
            if (entry == 0) {
                vertex = static_cast<std::uint32_t>(vertices.size() / kFloats);
                vertices.insert(vertices.end(), record, record + kFloats);
                table[slot] = vertex + 1;
                break;
            }
            if (std::memcmp(&vertices[static_cast<std::size_t>(entry - 1) * kFloats], record, sizeof record) == 0) {
                vertex = entry - 1;
                break;
            }
            slot = (slot + 1) & mask;
        }
        cached = CRecentCorner{p, t, n, vertex};
        positionIndices[corner] = static_cast<std::int32_t>(vertex);
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
    for (std::size_t face = 0; face < faceCount; ++face) {
        while (grouped && nextRun < runs.size() && runs[nextRun].firstFace == face)
            group = runGroup[nextRun++];
        // A fan around the first corner keeps the face's turning order.
        const std::uint32_t size = faceSizes[face];
        std::uint32_t* out = mesh.indices + cursor[group];
        for (std::uint32_t k = 1; k + 1 < size; ++k) {
            *out++ = corner[0];
            *out++ = corner[k];
            *out++ = corner[k + 1];
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
    layout.push_back(CVertexElement{0, 3, 1, 0});
    if (hasNormals)
        layout.push_back(CVertexElement{12, 3, 2, 0});
    if (hasTexCoords)
        layout.push_back(CVertexElement{hasNormals ? 24u : 12u, 2, 4, 0});
    layout.push_back(CVertexElement{0, 0, 0, 0});
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
