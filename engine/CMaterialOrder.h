#pragma once
// Material order: faces cut into triangles, written so that the triangles of each material
// of the library lie together, in library order.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/CMaterialRun.h"
#include "engine/CObjMaterial.h"

namespace VELK
{

class CMaterialOrder
{
public:
    static const std::uint32_t kNoMaterial;            // the group of the faces under no material of the library

    struct CFaces                                      // faces of three corners or more, in file order; not owned
    {
        const std::uint32_t* corners;                  // the vertex number of each corner, face after face
        const std::uint32_t* sizes;                    // corners per face
        std::size_t count;
        const float* vertices;                         // records starting with x, y, z, for cutting larger faces
        std::size_t stride;                            // floats per record
    };

    struct CGroup
    {
        std::string name;                              // the material's; empty for kNoMaterial
        std::uint32_t material;                        // into the library's materials, or kNoMaterial
        std::uint32_t firstIndex;
        std::uint32_t triangleCount;
    };

    // Writes the faces' triangles (3 × (size − 2) indices each, indexCount in all) into
    // indices, each face wound as it is written. The groups, returned in this order: one per
    // material of the library, the runs naming it joined in file order (a name defined twice
    // goes to its first material); then, only when faces fall in it, one for the faces before
    // the first run or in runs that name no material of the library. Without materials or
    // without runs: no groups, and the triangles in file order. The faces are shared out
    // among up to threads threads; the result is the same.
    static std::vector<CGroup> order(const CFaces& faces, const std::vector<CMaterialRun>& runs,
                                     const std::vector<CObjMaterial>& materials, std::uint32_t* indices,
                                     std::size_t indexCount, unsigned threads = 1);
};

} // namespace VELK
