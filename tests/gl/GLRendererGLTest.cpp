// Renderer start-up on a real context, and its extension checks on crafted extension strings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

namespace
{

using VELK_GL::GLRenderer;

const std::vector<std::string> kRequired = {"GL_ARB_vertex_buffer_object", "GL_ARB_multitexture",
                                            "GL_ARB_texture_env_combine"};

struct Checked
{
    bool passed;
    std::string console;
};

Checked checkRequired(const std::string& extensions)
{
    GLRenderer& renderer = GLRenderer::getInstance();
    renderer.setExtensions(extensions);
    renderer.requiredExtensions = kRequired;
    testing::internal::CaptureStdout();
    const bool passed = renderer.checkRequiredExtensions();
    return {passed, testing::internal::GetCapturedStdout()};
}

} // namespace

TEST(GLRenderer, AllRequiredPresentPrintsNothing)
{
    const Checked result =
        checkRequired("GL_ARB_multitexture GL_EXT_foo GL_ARB_vertex_buffer_object GL_ARB_texture_env_combine");
    EXPECT_TRUE(result.passed);
    EXPECT_EQ(result.console, "");
}

TEST(GLRenderer, StopsAtFirstMissingNameWithOneLine)
{
    const Checked result = checkRequired("GL_ARB_vertex_buffer_object GL_EXT_texture");
    EXPECT_FALSE(result.passed);
    EXPECT_EQ(result.console, "GL_EXTENSION ERROR : GL_ARB_multitexture was not found!\n");
}

TEST(GLRenderer, FirstNameMissingReportsOnlyIt)
{
    const Checked result = checkRequired("");
    EXPECT_FALSE(result.passed);
    EXPECT_EQ(result.console, "GL_EXTENSION ERROR : GL_ARB_vertex_buffer_object was not found!\n");
}

TEST(GLRenderer, NameInsideLongerNameSatisfiesTheCheck)
{
    const Checked result = checkRequired(
        "GL_ARB_vertex_buffer_object_rgb32 GL_XGL_ARB_multitexture_extra GL_ARB_texture_env_combineX");
    EXPECT_TRUE(result.passed);
    EXPECT_EQ(result.console, "");
}

TEST(GLRenderer, RepeatedFailingCheckPrintsAgain)
{
    GLRenderer& renderer = GLRenderer::getInstance();
    renderer.setExtensions("GL_EXT_other");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(renderer.checkExtension("GL_ARB_multitexture"));
    EXPECT_FALSE(renderer.checkExtension("GL_ARB_multitexture"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "GL_EXTENSION ERROR : GL_ARB_multitexture was not found!\n"
              "GL_EXTENSION ERROR : GL_ARB_multitexture was not found!\n");
}

TEST(GLRenderer, DrawStateStartsEmpty)
{
    GLRenderer& renderer = GLRenderer::getInstance();
    EXPECT_EQ(renderer.currentDeclaration, nullptr);
    EXPECT_EQ(renderer.currentIndexSize, 0u);
}
