// Renderer start-up: driver strings, GLEW and the required extensions.
#include "gl/GLRenderer.h"

#include <cstdlib>
#include <iostream>

namespace VELK_GL
{

namespace
{
std::string glText(GLenum name)
{
    const GLubyte* text = glGetString(name);
    return text ? reinterpret_cast<const char*>(text) : "";
}
} // namespace

GLRenderer::GLRenderer() : currentDeclaration(nullptr), currentIndexSize(0) {}

GLRenderer::~GLRenderer() = default;

void GLRenderer::init()
{
    version = glText(GL_VERSION);
    extensions = glText(GL_EXTENSIONS);
    vendor = glText(GL_VENDOR);
    rendererName = glText(GL_RENDERER);

    const GLenum status = glewInit();
    if (status != GLEW_OK) {
        std::cout << "GLEW ERROR : " << glewGetErrorString(status) << std::endl;
        std::exit(-1);
    }

    requiredExtensions.push_back("GL_ARB_vertex_buffer_object");
    requiredExtensions.push_back("GL_ARB_multitexture");
    requiredExtensions.push_back("GL_ARB_texture_env_combine");
    if (!checkRequiredExtensions())
        std::exit(-1);
}

bool GLRenderer::checkRequiredExtensions()
{
    for (const std::string& name : requiredExtensions) {
        if (!checkExtension(name))
            return false;
    }
    return true;
}

bool GLRenderer::checkExtension(std::string name)
{
    if (extensions.find(name) == std::string::npos) {
        std::cout << "GL_EXTENSION ERROR : " << name << " was not found!" << std::endl;
        return false;
    }
    return true;
}

void GLRenderer::setExtensions(const std::string& list)
{
    extensions = list;
}

} // namespace VELK_GL
