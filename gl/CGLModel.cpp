// The GL model: building buffers from a mesh and drawing its groups.
#include "gl/CGLModel.h"

#include <cstring>
#include <limits>

#include "gl/GLRenderer.h"

namespace VELK_GL
{

static_assert(sizeof(GLushort) == 2 && sizeof(GLuint) == 4, "index sizes select the OpenGL index type");

CGLModel::CGLModel() = default;

CGLModel::~CGLModel()
{
    clear();
}

void CGLModel::clear()
{
    // The renderer would otherwise undo the arrays of the next layout rather than of the one
    // it enabled.
    GLRenderer& renderer = GLRenderer::getInstance();
    if (renderer.currentDeclaration == &declaration)
        renderer.setDeclaration(nullptr);
    declaration.clear();
    vertexBuffer.release();
    indexBuffer.release();
    ranges.clear();
    materials.clear();
    textureNames.clear();
}

template <GLenum target>
bool CGLModel::fill(CGLBuffer<target>& buffer, std::uint32_t count, std::uint32_t elementSize, const void* source)
{
    // On a 32-bit system the product of two 32-bit counts can exceed what a buffer or a copy
    // can span; the storage would then be smaller than what is copied into it.
    const std::uint64_t bytes = static_cast<std::uint64_t>(count) * elementSize;
    if (bytes > static_cast<std::uint64_t>(std::numeric_limits<GLsizeiptrARB>::max()) ||
        bytes > std::numeric_limits<std::size_t>::max())
        return false;
    buffer.create(count, elementSize, GL_STATIC_DRAW_ARB);
    void* mapped = buffer.lock(0, GL_READ_WRITE_ARB);
    if (!mapped)
        return false;
    std::memcpy(mapped, source, static_cast<std::size_t>(bytes));
    return buffer.unlock();
}

void CGLModel::build(const CMeshData& mesh)
{
    clear();
    declaration.setElements(mesh.vertexElements);

    const bool hasGeometry = mesh.vertexCount != 0 && mesh.vertexSize != 0 && mesh.vertices && mesh.indexCount != 0 &&
                             mesh.indexSize != 0 && mesh.indices;
    if (hasGeometry) {
        // Index buffer first, so the vertex buffer is the one left bound.
        if (!fill(indexBuffer, mesh.indexCount, mesh.indexSize, mesh.indices) ||
            !fill(vertexBuffer, mesh.vertexCount, mesh.vertexSize, mesh.vertices)) {
            clear();
            return;
        }
    }

    if (mesh.subsets.empty()) {
        ranges.push_back(CDrawRange{0, static_cast<std::int32_t>(mesh.indexCount / 3)});
        materials.push_back(CMaterial());
        return;
    }
    for (const CMeshSubset& subset : mesh.subsets) {
        ranges.push_back(CDrawRange{subset.firstIndex, subset.triangleCount});
        materials.push_back(subset.material);
        textureNames.push_back(subset.textureFile);
    }
}

bool CGLModel::isDrawable(const CDrawRange& range) const
{
    if (vertexBuffer.bufferId == 0 || indexBuffer.bufferId == 0 || range.firstIndex < 0 || range.triangleCount < 0)
        return false;
    const std::uint64_t end =
        static_cast<std::uint64_t>(range.firstIndex) + 3 * static_cast<std::uint64_t>(range.triangleCount);
    return end <= indexBuffer.count;
}

void CGLModel::drawGroup(CGLTexture<GL_TEXTURE_2D>* texture, std::uint32_t group)
{
    if (group >= ranges.size() || !isDrawable(ranges[group]))
        return;
    const CDrawRange& range = ranges[group];
    GLRenderer& renderer = GLRenderer::getInstance();

    renderer.setDeclaration(&declaration);
    glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, indexBuffer.bufferId);
    renderer.currentIndexSize = indexBuffer.elementSize;
    renderer.setVertexBuffer(vertexBuffer);

    glActiveTextureARB(GL_TEXTURE0_ARB);
    if (texture && texture->textureId != 0) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture->textureId);
        texture->applyParameters();
    } else {
        glDisable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, 0);
    }

    renderer.setMaterial(materials[group]);
    const GLenum indexType = renderer.currentIndexSize == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT;
    renderer.drawIndexedPrimitives(static_cast<std::uint32_t>(range.triangleCount),
                                   static_cast<std::size_t>(range.firstIndex) * renderer.currentIndexSize, indexType,
                                   GLRenderer::PRIMITIVE_TRIANGLE_LIST);

    glActiveTextureARB(GL_TEXTURE0_ARB);
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
}

std::uint32_t CGLModel::getGroupCount() const
{
    return static_cast<std::uint32_t>(ranges.size());
}

std::string CGLModel::getTextureName(std::uint32_t group) const
{
    return group < textureNames.size() ? textureNames[group] : std::string();
}

} // namespace VELK_GL
