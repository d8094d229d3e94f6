#pragma once
// A loaded model in OpenGL buffers, drawn one material group at a time.

#include <GL/glew.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/CMeshData.h"
#include "engine/CResource.h"
#include "gl/CDrawRange.h"
#include "gl/CGLBuffer.h"
#include "gl/CGLDeclaration.h"
#include "gl/CGLTexture.h"

namespace VELK_GL
{

class CGLModel : public VELK::CResource
{
public:
    CGLModel();                                        // empty: no buffer objects, no groups
    ~CGLModel() override;                              // as clear(); needs the context while buffers exist

    // Copies the mesh; the mesh stays the caller's. A mesh without vertices or indices gets
    // its groups but no buffer objects and draws nothing. When a buffer cannot be mapped or
    // loses its contents, nothing of the mesh is kept: the model is left empty.
    void build(const CMeshData& mesh);
    void clear();
    // Null texture, or one without a texture object: untextured. Draws nothing for a group
    // number past the end, or for a group whose range leaves the index buffer.
    void drawGroup(CGLTexture<GL_TEXTURE_2D>* texture, std::uint32_t group);
    std::uint32_t getGroupCount() const;
    std::string getTextureName(std::uint32_t group) const;  // empty past the end

private:
    template <GLenum target>
    static bool fill(CGLBuffer<target>& buffer, std::uint32_t count, std::uint32_t elementSize, const void* source);
    bool isDrawable(const CDrawRange& range) const;

    CGLDeclaration declaration;                        // the mesh's vertex layout
    CGLBuffer<GL_ARRAY_BUFFER> vertexBuffer;           // element size: bytes per vertex
    CGLBuffer<GL_ELEMENT_ARRAY_BUFFER> indexBuffer;    // element size: bytes per index
    std::vector<CDrawRange> ranges;                    // one per group, in group order
    std::vector<CMaterial> materials;                  // one per group
    std::vector<std::string> textureNames;             // one per mesh subset; empty without subsets
};

} // namespace VELK_GL
