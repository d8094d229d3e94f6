#pragma once
// Normals computed for the corners of a loaded mesh that have none.

#include "engine/CMeshData.h"

namespace VELK
{

class CMeshNormals
{
public:
    // Gives every corner without a usable normal (the layout has none, or its normal has
    // length 0 or is not finite) one made from the triangles around its position: those that
    // reach it through shared edges whose two sides meet at no more than creaseDegrees are
    // averaged, each weighted by its angle at the position. Positions are matched by value.
    // A corner of a triangle without area gets (0, 0, 1). Other corners keep their normal bit
    // for bit. Afterwards the records are laid out as CVertexRecord gives them for a mesh
    // with normals, colours kept; corners given different normals no longer share a vertex, equal records
    // do, and the indices keep their order, so the subsets stay as they are.
    // Returns false and leaves the mesh as it is when its layout is not one of those the OBJ
    // loader makes, when an index names no vertex, or for 2^31 vertices or indices or more.
    // The indices are renumbered in place: a mesh whose normals run out of memory midway
    // (std::bad_alloc) is left unusable.
    static bool fillMissing(CMeshData& mesh, float creaseDegrees = kCreaseDegrees);

    static const float kCreaseDegrees;                 // 60
};

} // namespace VELK
