#pragma once
// The vertex record of every mesh the engine loads: eight floats, 32 bytes, whatever the
// file gives. The position comes first; in a mesh with normals the normal follows it and
// the texture coordinate comes last; in a mesh without, the texture coordinate takes the
// normal's place. Floats a corner does not give are 0.

#include <cstddef>
#include <cstdint>

#include "engine/CMeshData.h"

struct CVertexRecord
{
    float position[3];                                 // x, y, z
    float normal[3];                                   // x, y, z
    float texCoord[2];                                 // u, -v

    // Where the parts stand, in floats from the record's start.
    static const std::uint32_t kFloats;
    static const std::uint32_t kPositionAt;
    static const std::uint32_t kNormalAt;
    static const std::uint32_t kTexCoordAt;            // behind the normal
    static std::uint32_t texCoordAt(bool hasNormals)   // in the normal's place in a mesh without normals
    {
        return hasNormals ? kTexCoordAt : kNormalAt;
    }

    // Gives the mesh the layout of records with these parts (the position always): the
    // entries in offset order, the all-zero entry last, and the record's size.
    static void setLayout(CMeshData& mesh, bool hasNormals, bool hasTexCoords);
};

inline constexpr std::uint32_t CVertexRecord::kFloats = sizeof(CVertexRecord) / sizeof(float);
inline constexpr std::uint32_t CVertexRecord::kPositionAt = offsetof(CVertexRecord, position) / sizeof(float);
inline constexpr std::uint32_t CVertexRecord::kNormalAt = offsetof(CVertexRecord, normal) / sizeof(float);
inline constexpr std::uint32_t CVertexRecord::kTexCoordAt = offsetof(CVertexRecord, texCoord) / sizeof(float);
static_assert(sizeof(CVertexRecord) == 32 && CVertexRecord::kFloats == 8, "a vertex record is eight floats, 32 bytes");
