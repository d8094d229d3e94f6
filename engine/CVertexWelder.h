#pragma once
// Welding: each face corner becomes a vertex record (CVertexRecord), and corners whose
// records are equal bit for bit share one vertex. A position's colour is part of its
// records: positions at one place in different colours have vertices of their own.

#include <cstddef>
#include <cstdint>
#include <memory>

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
        const std::uint32_t* colours = nullptr;        // per position, packed; none: records carry no colour
    };

    struct CCorners                                    // per corner, 1-based element numbers; not owned
    {
        const std::uint32_t* positions;                // each within its list
        const std::uint32_t* texCoords;                // 0: none; ignored when the list is empty
        const std::uint32_t* normals;                  // 0: none; ignored when the list is empty
        std::size_t count;
    };

    // The corners are shared out among up to threads threads, in ranges welded each on its
    // own, then matched against each other; the result is that of one pass in file order.
    CVertexWelder(const CElements& elements, unsigned threads);
    ~CVertexWelder();
    CVertexWelder(const CVertexWelder&) = delete;
    CVertexWelder& operator=(const CVertexWelder&) = delete;

    // The first step: each corner's vertex within its range, written to vertexOfCorner, which
    // may be corners.positions itself (each corner's position number is read before its
    // vertex is written). The corners' numbers are not read again, so that their lists can
    // go before the records are made.
    void weld(const CCorners& corners, std::uint32_t* vertexOfCorner);

    // The second step: fills vertices, which has room for a record per corner (all corners
    // distinct, the worst case), with each distinct record once, in order of first use,
    // writes the vertex number of corner k to vertexOfCorner[k], and returns the number of
    // vertices made. The records are laid out as CVertexRecord says for a mesh with normals
    // when the list of normals is not empty, and are coloured records when there are colours. Pages of vertices never written take no memory,
    // so that the mesh's array can be welded into in place.
    std::size_t writeVertices(float* vertices, std::uint32_t* vertexOfCorner);

    // Both steps.
    static std::size_t weldInto(const CElements& elements, const CCorners& corners, float* vertices,
                                std::uint32_t* vertexOfCorner, unsigned threads = 1);

private:
    struct CState;
    std::unique_ptr<CState> state;
};

} // namespace VELK
