// The GL vertex layout leaving the renderer's draw state when it is destroyed.
#include <GL/glew.h>

#include <gtest/gtest.h>

#include "gl/CGLBuffer.h"
#include "gl/CGLDeclaration.h"
#include "gl/GLRenderer.h"
#include "tests/support/GLTestState.h"

namespace
{

using VELK_GL::CGLDeclaration;
using VELK_GL::GLRenderer;

const CVertexElement kLayout[] = {{0, 3, 1, 0}, {12, 3, 2, 0}, {24, 2, 4, 0}, {0, 0, 0, 0}};

class CGLDeclarationGL : public testing::Test
{
protected:
    CGLDeclarationGL() : renderer(GLRenderer::getInstance()) { vertices.create(3, 32, GL_STATIC_DRAW_ARB); }

    GLStateGuard guard;
    GLRenderer& renderer;
    VELK_GL::CGLBuffer<GL_ARRAY_BUFFER> vertices;
};

} // namespace

TEST_F(CGLDeclarationGL, DestroyingTheCurrentOneDisablesItsArraysAndForgetsIt)
{
    {
        CGLDeclaration declaration;
        declaration.setElements(kLayout);
        renderer.setDeclaration(&declaration);
        renderer.setVertexBuffer(vertices);
        ASSERT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
    }
    EXPECT_EQ(renderer.currentDeclaration, nullptr);
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

    CGLDeclaration next;                               // the switch walks nothing that is gone
    renderer.setDeclaration(&next);
    EXPECT_EQ(renderer.currentDeclaration, &next);
}

TEST_F(CGLDeclarationGL, DestroyingAnotherOneLeavesTheCurrentArraysOn)
{
    CGLDeclaration current;
    current.setElements(kLayout);
    renderer.setDeclaration(&current);
    renderer.setVertexBuffer(vertices);
    {
        CGLDeclaration other;
        other.setElements(kLayout);
    }
    EXPECT_EQ(renderer.currentDeclaration, &current);
    EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_TRUE(glIsEnabled(GL_NORMAL_ARRAY));
}
