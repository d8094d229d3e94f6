#pragma once
// Welding: each face corner becomes a vertex record (CVertexRecord), and corners whose
// records are equal bit for bit share one vertex.

#include <cstddef>
#include <cstdint>

namespace VELK
{

class CVertexWelder
{
public:
    struct CElements                                   // the lists that corners name; not owned
    {
        const float* positions;                        // x, y, z each
        std::size_t positionCount;
        const float* normals;                          // x, y, z each; none: records carry no normal
        std::size_t normalCount;
        const float* texCoords;                        // u, v each; none: records carry no texture coordinate
        std::size_t texCoordCount;
    };

    struct CCorners                                    // per corner, 1-based element numbers; not owned
    {
        const std::uint32_t* positions;                // each within its list
        const std::uint32_t* texCoords;                // 0: none; ignored when the list is empty
        const std::uint32_t* normals;                  // 0: none; ignored when the list is empty
        std::size_t count;
    };

    // Fills vertices, which has room for corners.count records (all corners distinct, the
    // worst case), with each distinct record once, in order of first use, writes the vertex
    // number of corner k to vertexOfCorner[k], and returns the number of vertices made.
    // The records are laid out as CVertexRecord says for a mesh with normals when the list
    // of normals is not empty. vertexOfCorner may be corners.positions itself: each
    // corner's position number is read before its vertex number is written. Pages of
    // vertices never written take no memory, so that the mesh's array can be welded into in
    // place. The corners are shared out among up to threads threads; the result is the same.
    static std::size_t weldInto(const CElements& elements, const CCorners& corners, float* vertices,
                                std::uint32_t* vertexOfCorner, unsigned threads = 1);
};

} // namespace VELK
