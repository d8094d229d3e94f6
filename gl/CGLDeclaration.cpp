// The GL vertex layout: leaving the renderer's draw state when it goes.
#include "gl/CGLDeclaration.h"

#include "gl/GLRenderer.h"

namespace VELK_GL
{

CGLDeclaration::~CGLDeclaration()
{
    // The renderer keeps a plain pointer to the current declaration and walks its elements
    // on the next switch; a declaration that goes away while current must not be walked
    // later, and the arrays it enabled would otherwise stay on.
    GLRenderer& renderer = GLRenderer::getInstance();
    if (renderer.currentDeclaration == this)
        renderer.setDeclaration(nullptr);
}

} // namespace VELK_GL
