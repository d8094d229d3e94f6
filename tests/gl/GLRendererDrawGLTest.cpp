// The renderer's draw state on a real context: client arrays, materials and indexed drawing
// read back from OpenGL.
#include <GL/glew.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "gl/CGLBuffer.h"
#include "gl/CGLDeclaration.h"
#include "gl/GLRenderer.h"
#include "tests/support/GLTestState.h"
#include "tests/support/RowNames.h"

namespace
{

using testsupport::operator<<;

using VELK_GL::CGLBuffer;
using VELK_GL::CGLDeclaration;
using VELK_GL::GLRenderer;

template <GLenum target, class T>
void fill(CGLBuffer<target>& buffer, const std::vector<T>& values, std::uint32_t elementSize)
{
    const std::size_t bytes = values.size() * sizeof(T);
    buffer.create(static_cast<std::uint32_t>(bytes / elementSize), elementSize, GL_STATIC_DRAW_ARB);
    void* mapped = buffer.lock(0, GL_WRITE_ONLY_ARB);
    ASSERT_NE(mapped, nullptr);
    std::memcpy(mapped, values.data(), bytes);
    ASSERT_TRUE(buffer.unlock());
}

void setLayout(CGLDeclaration& declaration, std::vector<CVertexElement> elements)
{
    elements.push_back(CVertexElement{0, 0, 0, 0});
    declaration.setElements(elements.data());
}

GLint integer(GLenum name)
{
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

std::uintptr_t pointer(GLenum name)
{
    GLvoid* value = reinterpret_cast<GLvoid*>(-1);
    glGetPointerv(name, &value);
    return reinterpret_cast<std::uintptr_t>(value);
}

bool isEnabledOnUnit(GLenum capability, GLuint unit)
{
    const GLint active = integer(GL_ACTIVE_TEXTURE_ARB);
    glActiveTextureARB(GL_TEXTURE0_ARB + unit);
    const bool enabled = glIsEnabled(capability) == GL_TRUE;
    glActiveTextureARB(static_cast<GLenum>(active));
    return enabled;
}

bool isCoordinateArrayEnabledOnUnit(GLuint unit)
{
    const GLint active = integer(GL_CLIENT_ACTIVE_TEXTURE_ARB);
    glClientActiveTextureARB(GL_TEXTURE0_ARB + unit);
    const bool enabled = glIsEnabled(GL_TEXTURE_COORD_ARRAY) == GL_TRUE;
    glClientActiveTextureARB(static_cast<GLenum>(active));
    return enabled;
}

const CVertexElement kPosition = {0, 3, 1, 0};
const CVertexElement kNormal = {12, 3, 2, 0};
const CVertexElement kTexture = {24, 2, 4, 0};

class GLRendererDrawGL : public testing::Test
{
protected:
    GLRendererDrawGL() : renderer(GLRenderer::getInstance())
    {
        vertices.create(4, 32, GL_STATIC_DRAW_ARB);
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    }

    // Positions and their indices into the fixture's buffers, with a layout of positions
    // only set up to draw them.
    template <class Index>
    void usePositions(const std::vector<float>& positions, const std::vector<Index>& indices)
    {
        fill(positionBuffer, positions, 12);
        fill(indexBuffer, indices, sizeof(Index));
        setLayout(positionLayout, {kPosition});
        renderer.setDeclaration(&positionLayout);
        renderer.setVertexBuffer(positionBuffer);
    }

    GLStateGuard guard;
    GLRenderer& renderer;
    CGLBuffer<GL_ARRAY_BUFFER> vertices;
    CGLBuffer<GL_ARRAY_BUFFER> positionBuffer;
    CGLBuffer<GL_ELEMENT_ARRAY_BUFFER> indexBuffer;
    CGLDeclaration positionLayout;
};

} // namespace

TEST_F(GLRendererDrawGL, PositionNormalAndTextureCoordinatesBecomeThreeArraysAndTheTexture2DTarget)
{
    CGLDeclaration declaration;
    setLayout(declaration, {kPosition, kNormal, kTexture});
    renderer.setDeclaration(&declaration);
    renderer.setVertexBuffer(vertices);

    EXPECT_EQ(integer(GL_ARRAY_BUFFER_BINDING_ARB), static_cast<GLint>(vertices.bufferId));
    EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_TRUE(glIsEnabled(GL_NORMAL_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
    EXPECT_EQ(integer(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE0_ARB);
    EXPECT_EQ(integer(GL_CLIENT_ACTIVE_TEXTURE_ARB), GL_TEXTURE0_ARB);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));

    EXPECT_EQ(integer(GL_VERTEX_ARRAY_BUFFER_BINDING_ARB), static_cast<GLint>(vertices.bufferId));
    EXPECT_EQ(integer(GL_VERTEX_ARRAY_SIZE), 3);
    EXPECT_EQ(integer(GL_VERTEX_ARRAY_TYPE), GL_FLOAT);
    EXPECT_EQ(integer(GL_VERTEX_ARRAY_STRIDE), 32);
    EXPECT_EQ(pointer(GL_VERTEX_ARRAY_POINTER), 0u);
    EXPECT_EQ(integer(GL_NORMAL_ARRAY_TYPE), GL_FLOAT);
    EXPECT_EQ(integer(GL_NORMAL_ARRAY_STRIDE), 32);
    EXPECT_EQ(pointer(GL_NORMAL_ARRAY_POINTER), 12u);
    EXPECT_EQ(integer(GL_TEXTURE_COORD_ARRAY_SIZE), 2);
    EXPECT_EQ(integer(GL_TEXTURE_COORD_ARRAY_TYPE), GL_FLOAT);
    EXPECT_EQ(integer(GL_TEXTURE_COORD_ARRAY_STRIDE), 32);
    EXPECT_EQ(pointer(GL_TEXTURE_COORD_ARRAY_POINTER), 24u);
}

TEST_F(GLRendererDrawGL, TheNextDeclarationDisablesTheArraysAndUnbindsTheTexture)
{
    CGLDeclaration first;
    setLayout(first, {kPosition, kNormal, kTexture});
    CGLDeclaration second;
    setLayout(second, {kPosition});
    GLuint texture = 0;
    glGenTextures(1, &texture);

    renderer.setDeclaration(&first);
    renderer.setVertexBuffer(vertices);
    glBindTexture(GL_TEXTURE_2D, texture);
    renderer.setDeclaration(&second);

    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
    EXPECT_FALSE(isCoordinateArrayEnabledOnUnit(0));
    EXPECT_FALSE(isEnabledOnUnit(GL_TEXTURE_2D, 0));
    EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), 0);
    EXPECT_EQ(renderer.currentDeclaration, &second);
    glDeleteTextures(1, &texture);
}

TEST_F(GLRendererDrawGL, TheFirstDeclarationDisablesNothing)
{
    ASSERT_EQ(renderer.currentDeclaration, nullptr);
    glEnableClientState(GL_VERTEX_ARRAY);
    CGLDeclaration declaration;
    setLayout(declaration, {kPosition});
    renderer.setDeclaration(&declaration);
    EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
}

TEST_F(GLRendererDrawGL, SettingTheSameDeclarationAgainDisablesAndTheBufferEnablesAgain)
{
    CGLDeclaration declaration;
    setLayout(declaration, {kPosition, kNormal});
    renderer.setDeclaration(&declaration);
    renderer.setVertexBuffer(vertices);
    renderer.setDeclaration(&declaration);
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
    renderer.setVertexBuffer(vertices);
    EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_TRUE(glIsEnabled(GL_NORMAL_ARRAY));
}

TEST_F(GLRendererDrawGL, AColourElementUsesColourMaterialAndLeavesWhiteBehind)
{
    CGLDeclaration declaration;
    setLayout(declaration, {kPosition, CVertexElement{12, 5, 3, 0}});
    renderer.setDeclaration(&declaration);
    renderer.setVertexBuffer(vertices);
    EXPECT_TRUE(glIsEnabled(GL_COLOR_ARRAY));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_EQ(integer(GL_COLOR_ARRAY_SIZE), 4);
    EXPECT_EQ(integer(GL_COLOR_ARRAY_TYPE), GL_UNSIGNED_BYTE);
    EXPECT_EQ(integer(GL_COLOR_ARRAY_STRIDE), 32);
    EXPECT_EQ(pointer(GL_COLOR_ARRAY_POINTER), 12u);

    glColor4f(0.25f, 0.5f, 0.75f, 0.5f);
    renderer.setDeclaration(nullptr);
    EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    GLfloat colour[4] = {0, 0, 0, 0};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(std::vector<GLfloat>(colour, colour + 4), (std::vector<GLfloat>{1, 1, 1, 1}));
}

namespace
{

struct CoordinateCase
{
    const char* name;
    CVertexElement element;
    GLenum target;
    GLint components;
};

const CoordinateCase kCoordinates[] = {
    {"OneFloatIs1D", {12, 1, 4, 0}, GL_TEXTURE_1D, 1},
    {"ThreeFloatsAre3D", {12, 3, 4, 1}, GL_TEXTURE_3D, 3},
    {"FourFloatsAreCubeMap", {12, 4, 8, 2}, GL_TEXTURE_CUBE_MAP, 4},
    {"UsageFiveTwoFloatsAre3D", {12, 2, 5, 1}, GL_TEXTURE_3D, 2},
    {"UsageFiveThreeFloatsAreCubeMap", {12, 3, 5, 2}, GL_TEXTURE_CUBE_MAP, 3},
    {"UsageNineTwoFloatsAre2D", {12, 2, 9, 3}, GL_TEXTURE_2D, 2},
};

class TextureCoordinates : public GLRendererDrawGL, public testing::WithParamInterface<CoordinateCase>
{
};

} // namespace

TEST_P(TextureCoordinates, EnableTheTargetOnTheirUnitAndDisableItAgain)
{
    const CoordinateCase& c = GetParam();
    const GLuint unit = c.element.usageIndex;
    CGLDeclaration declaration;
    setLayout(declaration, {kPosition, c.element});
    renderer.setDeclaration(&declaration);
    renderer.setVertexBuffer(vertices);

    EXPECT_EQ(integer(GL_ACTIVE_TEXTURE_ARB), static_cast<GLint>(GL_TEXTURE0_ARB + unit));
    EXPECT_EQ(integer(GL_CLIENT_ACTIVE_TEXTURE_ARB), static_cast<GLint>(GL_TEXTURE0_ARB + unit));
    EXPECT_TRUE(glIsEnabled(c.target));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    EXPECT_EQ(integer(GL_TEXTURE_COORD_ARRAY_SIZE), c.components);
    EXPECT_EQ(pointer(GL_TEXTURE_COORD_ARRAY_POINTER), 12u);
    if (unit != 0) {
        EXPECT_FALSE(isCoordinateArrayEnabledOnUnit(0));
    }

    renderer.setDeclaration(nullptr);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_FALSE(isEnabledOnUnit(c.target, unit));
    EXPECT_FALSE(isCoordinateArrayEnabledOnUnit(unit));
}

INSTANTIATE_TEST_SUITE_P(Draw, TextureCoordinates, testing::ValuesIn(kCoordinates), testsupport::RowName());

namespace
{

struct SkippedCase
{
    const char* name;
    CVertexElement element;
};

// Elements that name no client array the renderer could set up.
const SkippedCase kSkipped[] = {
    {"CoordinateOfFourBytes", {12, 5, 4, 0}},
    {"CoordinateOfOtherFourBytes", {12, 6, 4, 1}},
    {"UsageFiveFourFloats", {12, 4, 5, 0}},
    {"UsageFiveFourBytes", {12, 6, 5, 0}},
    {"CoordinateWithoutFormat", {12, 0, 7, 0}},
    {"CoordinateFormatOutsideTable", {12, 12, 4, 0}},
    {"PositionFormatOutsideTable", {12, 9, 1, 0}},
    {"PositionWithoutFormat", {12, 0, 1, 0}},
    {"UsageOutsideTable", {12, 3, 10, 0}},
};

class SkippedElement : public GLRendererDrawGL, public testing::WithParamInterface<SkippedCase>
{
};

} // namespace

// Disabling a target that does not exist would raise GL_INVALID_ENUM: the pending-error
// check after the switch shows the element was skipped there too.
TEST_P(SkippedElement, IsNeitherEnabledNorDisabled)
{
    CGLDeclaration declaration;
    setLayout(declaration, {CVertexElement{0, 3, 2, 0}, GetParam().element});
    renderer.setDeclaration(&declaration);
    renderer.setVertexBuffer(vertices);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(glIsEnabled(GL_NORMAL_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
    EXPECT_EQ(integer(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE0_ARB);
    EXPECT_EQ(integer(GL_CLIENT_ACTIVE_TEXTURE_ARB), GL_TEXTURE0_ARB);
    for (GLuint unit = 0; unit < 2; ++unit) {
        EXPECT_FALSE(isCoordinateArrayEnabledOnUnit(unit)) << "unit " << unit;
        for (GLenum target : {GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_3D, GL_TEXTURE_CUBE_MAP})
            EXPECT_FALSE(isEnabledOnUnit(target, unit)) << "unit " << unit;
    }

    renderer.setDeclaration(nullptr);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
}

INSTANTIATE_TEST_SUITE_P(Draw, SkippedElement, testing::ValuesIn(kSkipped), testsupport::RowName());

TEST_F(GLRendererDrawGL, WithoutADeclarationTheBufferIsBoundAndNothingEnabled)
{
    ASSERT_EQ(renderer.currentDeclaration, nullptr);
    renderer.setVertexBuffer(vertices);
    EXPECT_EQ(integer(GL_ARRAY_BUFFER_BINDING_ARB), static_cast<GLint>(vertices.bufferId));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
}

namespace
{

struct KindCase
{
    const char* name;
    std::uint32_t kind;
    GLuint vertices;                                   // indices handed to OpenGL for 12 primitives
    GLuint primitives;
};

const KindCase kKinds[] = {
    {"TriangleList", 0, 36, 12}, {"TriangleStrip", 1, 14, 12}, {"TriangleFan", 2, 14, 12},
    {"LineList", 3, 24, 12},     {"LineStrip", 4, 13, 12},     {"PointList", 5, 12, 12},
    {"UnknownKind", 6, 0, 0},
};

class PrimitiveKinds : public GLRendererDrawGL, public testing::WithParamInterface<KindCase>
{
};

} // namespace

// The driver's pipeline statistics count what one draw call handed over.
TEST_P(PrimitiveKinds, DrawTheIndexCountOfTheirKind)
{
    if (!GLEW_ARB_pipeline_statistics_query)
        GTEST_SKIP() << "the driver has no pipeline statistics";
    const KindCase& c = GetParam();
    std::vector<float> positions;
    std::vector<std::uint32_t> indices;
    for (std::uint32_t i = 0; i < 40; ++i) {
        positions.insert(positions.end(), {10.0f * (i % 8), 10.0f * (i / 8), 0.0f});
        indices.push_back(i);
    }
    usePositions(positions, indices);

    GLuint queries[2] = {0, 0};
    glGenQueries(2, queries);
    glBeginQuery(GL_VERTICES_SUBMITTED_ARB, queries[0]);
    glBeginQuery(GL_PRIMITIVES_SUBMITTED_ARB, queries[1]);
    renderer.drawIndexedPrimitives(12, 0, GL_UNSIGNED_INT, static_cast<GLRenderer::PrimitiveKind>(c.kind));
    glEndQuery(GL_VERTICES_SUBMITTED_ARB);
    glEndQuery(GL_PRIMITIVES_SUBMITTED_ARB);
    GLuint submitted[2] = {0, 0};
    glGetQueryObjectuiv(queries[0], GL_QUERY_RESULT, &submitted[0]);
    glGetQueryObjectuiv(queries[1], GL_QUERY_RESULT, &submitted[1]);
    glDeleteQueries(2, queries);
    EXPECT_EQ(submitted[0], c.vertices);
    EXPECT_EQ(submitted[1], c.primitives);
}

INSTANTIATE_TEST_SUITE_P(Draw, PrimitiveKinds, testing::ValuesIn(kKinds), testsupport::RowName());

// Strip and fan take the same number of indices; the shape tells them apart. Four corners
// of a square as a fan cover it; as a strip they leave the corner opposite the second.
TEST_F(GLRendererDrawGL, AFanTurnsAroundItsFirstVertexAndAStripDoesNot)
{
    const std::vector<float> corners = {20, 20, 0, 120, 20, 0, 120, 120, 0, 20, 120, 0};
    const std::vector<std::uint16_t> indices = {0, 1, 2, 3};
    usePositions(corners, indices);
    usePixelProjection();
    glColor3f(1, 1, 1);

    const RGB white = {255, 255, 255};
    const RGB black = {0, 0, 0};
    clearToBlack();
    renderer.drawIndexedPrimitives(2, 0, GL_UNSIGNED_SHORT, GLRenderer::PRIMITIVE_TRIANGLE_FAN);
    EXPECT_EQ(pixelAt(30, 100), white);
    EXPECT_EQ(pixelAt(110, 30), white);
    clearToBlack();
    renderer.drawIndexedPrimitives(2, 0, GL_UNSIGNED_SHORT, GLRenderer::PRIMITIVE_TRIANGLE_STRIP);
    EXPECT_EQ(pixelAt(30, 100), black);
    EXPECT_EQ(pixelAt(110, 30), white);
}

namespace
{

std::vector<GLfloat> frontMaterial(GLenum name, int count)
{
    std::vector<GLfloat> values(static_cast<std::size_t>(count), -1.0f);
    glGetMaterialfv(GL_FRONT, name, values.data());
    return values;
}

} // namespace

TEST_F(GLRendererDrawGL, TheDefaultMaterialReachesTheFrontFaces)
{
    renderer.setMaterial(CMaterial());
    EXPECT_EQ(frontMaterial(GL_AMBIENT, 4), (std::vector<GLfloat>{0.1f, 0.1f, 0.1f, 1.0f}));
    EXPECT_EQ(frontMaterial(GL_DIFFUSE, 4), (std::vector<GLfloat>{0.7f, 0.7f, 0.7f, 1.0f}));
    EXPECT_EQ(frontMaterial(GL_SPECULAR, 4), (std::vector<GLfloat>{0.2f, 0.2f, 0.2f, 1.0f}));
    EXPECT_EQ(frontMaterial(GL_EMISSION, 4), (std::vector<GLfloat>{0.0f, 0.0f, 0.0f, 1.0f}));
    EXPECT_EQ(frontMaterial(GL_SHININESS, 1), (std::vector<GLfloat>{10.0f}));
}

TEST_F(GLRendererDrawGL, EachColourGoesToItsOwnFrontSlotAndTheBackIsLeftAlone)
{
    const GLfloat back[4] = {0.5f, 0.25f, 0.125f, 0.75f};
    glMaterialfv(GL_BACK, GL_DIFFUSE, back);
    CMaterial material;
    material.ambient.set(0.125f, 0.25f, 0.375f, 0.5f);
    material.diffuse.set(0.5f, 0.625f, 0.75f, 0.875f);
    material.specular.set(1.0f, 0.0f, 0.5f, 0.25f);
    material.emission.set(0.0625f, 0.1875f, 0.3125f, 0.4375f);
    material.shininess = 96.0f;
    renderer.setMaterial(material);
    EXPECT_EQ(frontMaterial(GL_AMBIENT, 4), (std::vector<GLfloat>{0.125f, 0.25f, 0.375f, 0.5f}));
    EXPECT_EQ(frontMaterial(GL_DIFFUSE, 4), (std::vector<GLfloat>{0.5f, 0.625f, 0.75f, 0.875f}));
    EXPECT_EQ(frontMaterial(GL_SPECULAR, 4), (std::vector<GLfloat>{1.0f, 0.0f, 0.5f, 0.25f}));
    EXPECT_EQ(frontMaterial(GL_EMISSION, 4), (std::vector<GLfloat>{0.0625f, 0.1875f, 0.3125f, 0.4375f}));
    EXPECT_EQ(frontMaterial(GL_SHININESS, 1), (std::vector<GLfloat>{96.0f}));
    GLfloat backDiffuse[4] = {0, 0, 0, 0};
    glGetMaterialfv(GL_BACK, GL_DIFFUSE, backDiffuse);
    EXPECT_EQ(std::vector<GLfloat>(backDiffuse, backDiffuse + 4), std::vector<GLfloat>(back, back + 4));
}
