#pragma once
// The lists of a whole OBJ model, in file order: what the parse of its text gives the mesh
// builder. Each array is sized once, from a count of the text, and its parts fill it in place.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/CHugePageAllocator.h"
#include "engine/CMaterialRun.h"

namespace VELK
{

struct CObjLists
{
    struct CLibraryName                                // one "mtllib" line, back slashes turned to '/'
    {
        std::string wholeName;                         // the rest of the line, blanks included
        std::vector<std::string> words;
    };

    std::vector<CMaterialRun> runs;                    // one per "usemtl" line
    std::vector<CLibraryName> libraries;               // one per "mtllib" line
    CUninitialisedVector<float> positions;             // v: x, y, z
    CUninitialisedVector<float> normals;               // vn: x, y, z
    CUninitialisedVector<float> texCoords;             // vt: u, -v
    // Per position, its colour as CColouredVertexRecord packs it, white where its v gives
    // none; empty when no v of the file gives one.
    CUninitialisedVector<std::uint32_t> colours;
    // One entry per corner of each face of three corners or more, 1-based (numbers counted
    // back turned positive); 0 where the corner gives none.
    CUninitialisedVector<std::uint32_t> positionIndices;
    CUninitialisedVector<std::uint32_t> normalIndices;
    CUninitialisedVector<std::uint32_t> texCoordIndices;
    CUninitialisedVector<std::uint32_t> faceSizes;     // corners per face; a face of c gives c - 2 triangles
    std::uint64_t emittedCorners = 0;                  // 3 per triangle
};

} // namespace VELK
