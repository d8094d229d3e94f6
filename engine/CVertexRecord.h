#pragma once
// The vertex record of every mesh the engine loads: eight floats, 32 bytes, whatever the
// file gives. The position comes first; in a mesh with normals the normal follows it and
// the texture coordinate comes last; in a mesh without, the texture coordinate takes the
// normal's place. Floats a corner does not give are 0. A mesh whose file colours any of
// its positions carries the position's colour behind the eight floats (CColouredVertexRecord).

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
    static std::uint32_t floatsOf(bool hasColours);    // the whole record's, colour included

    // Gives the mesh the layout of records with these parts (the position always): the
    // entries in offset order, the all-zero entry last, and the record's size.
    static void setLayout(CMeshData& mesh, bool hasNormals, bool hasTexCoords, bool hasColours = false);
};

// The record of a coloured mesh: red, green, blue and alpha as bytes in this order, which
// the renderer reads as one colour element. A position the file gives no colour is white.
struct CColouredVertexRecord
{
    CVertexRecord record;
    std::uint8_t colour[4];

    static const std::uint32_t kFloats;
    static const std::uint32_t kColourAt;              // in floats: the four bytes take one float's place

    // Each part clamped to [0, 1] (a part that is not a number counts as 0, as a word that is
    // none does) and rounded to the nearest byte; alpha is opaque. The bytes in record order,
    // as one word.
    static std::uint32_t packColour(const float* rgb);
    static const std::uint32_t kWhite;
};

inline constexpr std::uint32_t CVertexRecord::kFloats = sizeof(CVertexRecord) / sizeof(float);
inline constexpr std::uint32_t CVertexRecord::kPositionAt = offsetof(CVertexRecord, position) / sizeof(float);
inline constexpr std::uint32_t CVertexRecord::kNormalAt = offsetof(CVertexRecord, normal) / sizeof(float);
inline constexpr std::uint32_t CVertexRecord::kTexCoordAt = offsetof(CVertexRecord, texCoord) / sizeof(float);
inline constexpr std::uint32_t CColouredVertexRecord::kFloats = sizeof(CColouredVertexRecord) / sizeof(float);
inline constexpr std::uint32_t CColouredVertexRecord::kColourAt = offsetof(CColouredVertexRecord, colour) / sizeof(float);
inline constexpr std::uint32_t CColouredVertexRecord::kWhite = 0xFFFFFFFFu;  // all four bytes 255, in any byte order
static_assert(sizeof(CVertexRecord) == 32 && CVertexRecord::kFloats == 8, "a vertex record is eight floats, 32 bytes");
static_assert(sizeof(CColouredVertexRecord) == 36 && CColouredVertexRecord::kColourAt == CVertexRecord::kFloats,
              "a coloured record is the vertex record and four colour bytes");

inline std::uint32_t CVertexRecord::floatsOf(bool hasColours)
{
    return hasColours ? CColouredVertexRecord::kFloats : kFloats;
}
