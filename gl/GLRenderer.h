#pragma once
// The engine's door to OpenGL: extension checks at start-up, and the vertex-stream
// state used while drawing.

#include <GL/glew.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/CMeshData.h"
#include "gl/CGLBuffer.h"
#include "tools/CSingleton.h"

namespace VELK
{
class CDeclaration;
}

namespace VELK_GL
{

class GLRenderer : public TOOLS::CSingleton<GLRenderer>
{
    friend class TOOLS::CSingleton<GLRenderer>;

public:
    ~GLRenderer() override;                            // makes no GL call
    void init();                                       // needs a current context; exit(-1) on failure
    bool checkExtension(std::string name);             // plain substring search; prints a line when absent
    bool checkRequiredExtensions();                    // in order; stops at the first missing name
    void setExtensions(const std::string& list);       // the string checkExtension searches

    enum PrimitiveKind : std::uint32_t
    {
        PRIMITIVE_TRIANGLE_LIST  = 0,
        PRIMITIVE_TRIANGLE_STRIP = 1,
        PRIMITIVE_TRIANGLE_FAN   = 2,
        PRIMITIVE_LINE_LIST      = 3,
        PRIMITIVE_LINE_STRIP     = 4,
        PRIMITIVE_POINT_LIST     = 5
    };

    // Draw state: the context must be current.
    void setDeclaration(VELK::CDeclaration* declaration);  // disables the current one's arrays; enables nothing
    void setVertexBuffer(const CGLBuffer<GL_ARRAY_BUFFER>& buffer);  // binds it; enables the current declaration's arrays
    void drawIndexedPrimitives(std::uint32_t primitiveCount, std::size_t indexOffset, GLenum indexType,
                               PrimitiveKind kind);   // indexOffset in bytes; an unknown kind draws nothing
    void setMaterial(const CMaterial& material);       // front faces only

    std::string extensions;                            // GL_EXTENSIONS
    std::string version;                               // GL_VERSION
    std::string vendor;                                // GL_VENDOR
    std::string rendererName;                          // GL_RENDERER
    std::vector<std::string> requiredExtensions;       // in check order
    VELK::CDeclaration* currentDeclaration;            // not owned; arrays of it are enabled
    std::uint32_t currentIndexSize;                    // bytes per index of the bound index buffer

private:
    GLRenderer();
};

} // namespace VELK_GL
