#pragma once
// What every mesh the OBJ loader returns promises, checked the same way by the unit tests and
// the fuzz target: every index names a vertex, no two vertex records are equal bit for bit,
// and the subsets, if any, cover the index array in order. Also the comparison of two loads
// that must give the same mesh.

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <string_view>

#include "engine/CMeshData.h"

// Empty when the mesh keeps its promises, else the first one broken.
inline std::string meshFault(const CMeshData& mesh)
{
    for (std::uint32_t i = 0; i < mesh.indexCount; ++i) {
        if (mesh.indices[i] >= mesh.vertexCount)
            return "index " + std::to_string(i) + " is " + std::to_string(mesh.indices[i]) + ", past the " +
                   std::to_string(mesh.vertexCount) + " vertices";
    }
    std::set<std::string_view> records;
    const char* bytes = reinterpret_cast<const char*>(mesh.vertices);
    for (std::uint32_t v = 0; v < mesh.vertexCount; ++v) {
        if (!records.insert(std::string_view(bytes + std::size_t(v) * mesh.vertexSize, mesh.vertexSize)).second)
            return "vertex " + std::to_string(v) + " repeats an earlier one";
    }
    std::uint64_t next = 0;
    for (const CMeshSubset& subset : mesh.subsets) {
        if (subset.firstIndex < 0 || static_cast<std::uint64_t>(subset.firstIndex) != next)
            return "subset " + subset.name + " starts at " + std::to_string(subset.firstIndex) + ", not at " +
                   std::to_string(next);
        next += 3 * static_cast<std::uint64_t>(subset.triangleCount);
    }
    if (!mesh.subsets.empty() && next != mesh.indexCount)
        return "the subsets end at " + std::to_string(next) + ", not at " + std::to_string(mesh.indexCount);
    return "";
}

// Whether two meshes are the same byte for byte: records, indices, layout and subsets.
inline bool sameMesh(const CMeshData& a, const CMeshData& b)
{
    if (a.vertexCount != b.vertexCount || a.indexCount != b.indexCount ||
        a.vertexElementCount != b.vertexElementCount || a.subsets.size() != b.subsets.size())
        return false;
    if (std::memcmp(a.vertices, b.vertices, std::size_t(a.vertexCount) * a.vertexSize) != 0 ||
        std::memcmp(a.indices, b.indices, std::size_t(a.indexCount) * 4) != 0 ||
        std::memcmp(a.vertexElements, b.vertexElements, std::size_t(a.vertexElementCount) * sizeof(CVertexElement)) != 0)
        return false;
    for (std::size_t k = 0; k < a.subsets.size(); ++k) {
        const CMeshSubset& x = a.subsets[k];
        const CMeshSubset& y = b.subsets[k];
        if (x.name != y.name || x.textureFile != y.textureFile || x.firstIndex != y.firstIndex ||
            x.triangleCount != y.triangleCount)
            return false;
    }
    return true;
}
