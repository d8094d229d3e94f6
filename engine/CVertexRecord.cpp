// The layout entries of the vertex record, and the colour bytes of a coloured one.
#include "engine/CVertexRecord.h"

#include <cmath>
#include <cstring>

void CVertexRecord::setLayout(CMeshData& mesh, bool hasNormals, bool hasTexCoords, bool hasColours)
{
    const std::uint32_t count = 2 + (hasNormals ? 1 : 0) + (hasTexCoords ? 1 : 0) + (hasColours ? 1 : 0);
    CVertexElement* layout = new CVertexElement[count];
    CVertexElement* entry = layout;
    *entry++ = CVertexElement{kPositionAt * sizeof(float), CVertexElement::FORMAT_FLOAT3, CVertexElement::USAGE_POSITION, 0};
    if (hasNormals)
        *entry++ = CVertexElement{kNormalAt * sizeof(float), CVertexElement::FORMAT_FLOAT3, CVertexElement::USAGE_NORMAL, 0};
    if (hasTexCoords)
        *entry++ = CVertexElement{texCoordAt(hasNormals) * static_cast<std::uint32_t>(sizeof(float)),
                                  CVertexElement::FORMAT_FLOAT2, CVertexElement::USAGE_TEXCOORD, 0};
    if (hasColours)
        *entry++ = CVertexElement{static_cast<std::uint32_t>(offsetof(CColouredVertexRecord, colour)),
                                  CVertexElement::FORMAT_COLOUR, CVertexElement::USAGE_COLOUR, 0};
    *entry = CVertexElement{0, CVertexElement::FORMAT_NONE, CVertexElement::USAGE_NONE, 0};
    delete[] mesh.vertexElements;
    mesh.vertexElements = layout;
    mesh.vertexElementCount = count;
    mesh.vertexSize = floatsOf(hasColours) * static_cast<std::uint32_t>(sizeof(float));
}

std::uint32_t CColouredVertexRecord::packColour(const float* rgb)
{
    std::uint8_t bytes[4] = {0, 0, 0, 255};
    for (int i = 0; i < 3; ++i) {
        // Written so that a part that is not a number fails the first test.
        if (rgb[i] > 0.0f)
            bytes[i] = rgb[i] < 1.0f ? static_cast<std::uint8_t>(std::lround(rgb[i] * 255.0f)) : 255;
    }
    std::uint32_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}
