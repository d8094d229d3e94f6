// Renderer start-up on a real context.
#include <gtest/gtest.h>

#include "gl/GLRenderer.h"

TEST(GLRendererGL, InitReadsTheDriverAndFindsTheRequiredExtensions)
{
    VELK_GL::GLRenderer& renderer = VELK_GL::GLRenderer::getInstance();
    testing::internal::CaptureStdout();
    renderer.init();                                   // would exit(-1) on a missing extension
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(renderer.version.empty());
    EXPECT_FALSE(renderer.vendor.empty());
    EXPECT_FALSE(renderer.rendererName.empty());
    EXPECT_NE(renderer.extensions.find("GL_ARB_vertex_buffer_object"), std::string::npos);
    EXPECT_EQ(renderer.requiredExtensions,
              (std::vector<std::string>{"GL_ARB_vertex_buffer_object", "GL_ARB_multitexture",
                                        "GL_ARB_texture_env_combine"}));
    EXPECT_NE(glBindBufferARB, nullptr);
}
