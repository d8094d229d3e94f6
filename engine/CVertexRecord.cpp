// The layout entries of the vertex record.
#include "engine/CVertexRecord.h"

void CVertexRecord::setLayout(CMeshData& mesh, bool hasNormals, bool hasTexCoords)
{
    const std::uint32_t count = 2 + (hasNormals ? 1 : 0) + (hasTexCoords ? 1 : 0);
    CVertexElement* layout = new CVertexElement[count];
    CVertexElement* entry = layout;
    *entry++ = CVertexElement{kPositionAt * sizeof(float), CVertexElement::FORMAT_FLOAT3, CVertexElement::USAGE_POSITION, 0};
    if (hasNormals)
        *entry++ = CVertexElement{kNormalAt * sizeof(float), CVertexElement::FORMAT_FLOAT3, CVertexElement::USAGE_NORMAL, 0};
    if (hasTexCoords)
        *entry++ = CVertexElement{texCoordAt(hasNormals) * static_cast<std::uint32_t>(sizeof(float)),
                                  CVertexElement::FORMAT_FLOAT2, CVertexElement::USAGE_TEXCOORD, 0};
    *entry = CVertexElement{0, CVertexElement::FORMAT_NONE, CVertexElement::USAGE_NONE, 0};
    delete[] mesh.vertexElements;
    mesh.vertexElements = layout;
    mesh.vertexElementCount = count;
    mesh.vertexSize = sizeof(CVertexRecord);
}
