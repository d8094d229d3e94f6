// Renderer draw state: vertex declarations to client arrays, materials and indexed drawing.
#include "gl/GLRenderer.h"

#include <cstdint>
#include <limits>

#include "engine/CDeclaration.h"

namespace VELK_GL
{

namespace
{

static_assert(sizeof(GLfloat) == 4, "vertex attributes are 32-bit floats");

struct ElementFormat
{
    GLint components;
    GLenum componentType;
    GLenum textureTarget;                              // GL_NONE: no texture target
};

// Indexed by the format code of a vertex element.
const ElementFormat kElementFormats[] = {
    {0, GL_NONE, GL_NONE},                             // FORMAT_NONE
    {1, GL_FLOAT, GL_TEXTURE_1D},                      // FORMAT_FLOAT1
    {2, GL_FLOAT, GL_TEXTURE_2D},                      // FORMAT_FLOAT2
    {3, GL_FLOAT, GL_TEXTURE_3D},                      // FORMAT_FLOAT3
    {4, GL_FLOAT, GL_TEXTURE_CUBE_MAP},                // FORMAT_FLOAT4
    {4, GL_UNSIGNED_BYTE, GL_NONE},                    // FORMAT_UBYTE4
    {4, GL_UNSIGNED_BYTE, GL_NONE},                    // FORMAT_COLOUR
};
constexpr std::uint64_t kElementFormatCount = sizeof(kElementFormats) / sizeof(kElementFormats[0]);
static_assert(kElementFormatCount == CVertexElement::FORMAT_COUNT, "one row per vertex-element format code");

bool isTextureCoordinate(const CVertexElement& element)
{
    return element.usage >= CVertexElement::USAGE_TEXCOORD && element.usage <= CVertexElement::USAGE_TEXCOORD_LAST;
}

GLenum textureTargetOf(const CVertexElement& element)
{
    const std::uint64_t index =
        static_cast<std::uint64_t>(element.format) + (element.usage == CVertexElement::USAGE_TEXCOORD_SHIFTED ? 1 : 0);
    return index < kElementFormatCount ? kElementFormats[index].textureTarget : GL_NONE;
}

// The table entry of an element that can be turned into a client array, or null. Elements
// without components, and texture coordinates without a texture target, are left out of
// enabling and disabling alike, so the two walks always touch the same state.
const ElementFormat* usableFormat(const CVertexElement& element)
{
    if (element.format == CVertexElement::FORMAT_NONE || element.format >= kElementFormatCount)
        return nullptr;
    if (isTextureCoordinate(element) && textureTargetOf(element) == GL_NONE)
        return nullptr;
    return &kElementFormats[element.format];
}

// With a buffer bound, an array "pointer" is a byte offset into that buffer.
const GLvoid* bufferOffset(std::size_t offset)
{
    return reinterpret_cast<const GLvoid*>(static_cast<std::uintptr_t>(offset));
}

struct PrimitiveShape
{
    GLenum mode;
    std::uint64_t indicesPerPrimitive;
    std::uint64_t extraIndices;
};

// Indexed by PrimitiveKind: n primitives take n x indicesPerPrimitive + extraIndices indices.
const PrimitiveShape kPrimitiveShapes[] = {
    {GL_TRIANGLES, 3, 0},
    {GL_TRIANGLE_STRIP, 1, 2},
    {GL_TRIANGLE_FAN, 1, 2},
    {GL_LINES, 2, 0},
    {GL_LINE_STRIP, 1, 1},
    {GL_POINTS, 1, 0},
};
constexpr std::uint64_t kPrimitiveKindCount = sizeof(kPrimitiveShapes) / sizeof(kPrimitiveShapes[0]);
static_assert(kPrimitiveKindCount == GLRenderer::PRIMITIVE_POINT_LIST + 1, "one row per primitive kind");

} // namespace

void GLRenderer::setDeclaration(VELK::CDeclaration* declaration)
{
    if (currentDeclaration) {
        for (std::uint32_t i = 0; i < currentDeclaration->count; ++i) {
            const CVertexElement& element = currentDeclaration->elements[i];
            if (!usableFormat(element))
                continue;
            if (element.usage == CVertexElement::USAGE_POSITION) {
                glDisableClientState(GL_VERTEX_ARRAY);
            } else if (element.usage == CVertexElement::USAGE_NORMAL) {
                glDisableClientState(GL_NORMAL_ARRAY);
            } else if (element.usage == CVertexElement::USAGE_COLOUR) {
                glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
                glDisableClientState(GL_COLOR_ARRAY);
                glDisable(GL_COLOR_MATERIAL);
            } else if (isTextureCoordinate(element)) {
                const GLenum textureTarget = textureTargetOf(element);
                glActiveTextureARB(GL_TEXTURE0_ARB + element.usageIndex);
                glDisable(textureTarget);
                glClientActiveTextureARB(GL_TEXTURE0_ARB + element.usageIndex);
                glDisableClientState(GL_TEXTURE_COORD_ARRAY);
                glBindTexture(textureTarget, 0);
            }
        }
    }
    currentDeclaration = declaration;
}

void GLRenderer::setVertexBuffer(const CGLBuffer<GL_ARRAY_BUFFER>& buffer)
{
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffer.bufferId);
    if (!currentDeclaration)
        return;
    const GLsizei stride = static_cast<GLsizei>(buffer.elementSize);
    for (std::uint32_t i = 0; i < currentDeclaration->count; ++i) {
        const CVertexElement& element = currentDeclaration->elements[i];
        const ElementFormat* format = usableFormat(element);
        if (!format)
            continue;
        const GLvoid* offset = bufferOffset(element.offset);
        if (element.usage == CVertexElement::USAGE_POSITION) {
            glEnableClientState(GL_VERTEX_ARRAY);
            glVertexPointer(format->components, format->componentType, stride, offset);
        } else if (element.usage == CVertexElement::USAGE_NORMAL) {
            glEnableClientState(GL_NORMAL_ARRAY);
            glNormalPointer(format->componentType, stride, offset);
        } else if (element.usage == CVertexElement::USAGE_COLOUR) {
            glEnableClientState(GL_COLOR_ARRAY);
            glColorPointer(format->components, format->componentType, stride, offset);
            glEnable(GL_COLOR_MATERIAL);
        } else if (isTextureCoordinate(element)) {
            glActiveTextureARB(GL_TEXTURE0_ARB + element.usageIndex);
            glEnable(textureTargetOf(element));
            glClientActiveTextureARB(GL_TEXTURE0_ARB + element.usageIndex);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(format->components, format->componentType, stride, offset);
        }
    }
}

void GLRenderer::drawIndexedPrimitives(std::uint32_t primitiveCount, std::size_t indexOffset, GLenum indexType,
                                       PrimitiveKind kind)
{
    const std::uint64_t kindCode = static_cast<std::uint64_t>(kind);
    if (kindCode >= kPrimitiveKindCount)
        return;
    const PrimitiveShape& shape = kPrimitiveShapes[kindCode];
    const std::uint64_t indexCount = primitiveCount * shape.indicesPerPrimitive + shape.extraIndices;
    // A count that GLsizei cannot hold could only reach the driver as a negative number.
    if (indexCount > static_cast<std::uint64_t>(std::numeric_limits<GLsizei>::max()))
        return;
    glDrawElements(shape.mode, static_cast<GLsizei>(indexCount), indexType, bufferOffset(indexOffset));
}

void GLRenderer::setMaterial(const CMaterial& material)
{
    glMaterialfv(GL_FRONT, GL_AMBIENT, material.ambient.data());
    glMaterialfv(GL_FRONT, GL_DIFFUSE, material.diffuse.data());
    glMaterialfv(GL_FRONT, GL_SPECULAR, material.specular.data());
    glMaterialfv(GL_FRONT, GL_EMISSION, material.emission.data());
    glMaterialf(GL_FRONT, GL_SHININESS, material.shininess);
}

} // namespace VELK_GL
