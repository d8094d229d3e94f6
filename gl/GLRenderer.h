#pragma once
// The engine's door to OpenGL: extension checks at start-up, and the vertex-stream
// state used while drawing.

#include <GL/glew.h>

#include <cstdint>
#include <string>
#include <vector>

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
