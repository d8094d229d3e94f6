// The GL model on a real context: buffers read back from OpenGL, groups drawn into the back
// buffer and read back as pixels.
#include <GL/glew.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "engine/CMeshData.h"
#include "engine/CPicture.h"
#include "gl/CGLModel.h"
#include "gl/CGLTexture.h"
#include "gl/GLRenderer.h"
#include "tests/support/GLTestState.h"
#include "tests/support/RowNames.h"

namespace
{

using testsupport::operator<<;

using VELK_GL::CGLModel;
using VELK_GL::GLRenderer;
using Texture = VELK_GL::CGLTexture<GL_TEXTURE_2D>;

const CVertexElement kLayout[] = {{0, 3, 1, 0}, {12, 3, 2, 0}, {24, 2, 4, 0}, {0, 0, 0, 0}};

// Square cells in a row along the bottom of the window, 30 pixels wide, 40 apart.
constexpr int kCells = 6;
int cellCentreX(int cell)
{
    return 25 + 40 * cell;
}
constexpr int kCellCentreY = 25;

// Vertex records as the OBJ reader writes them: position, normal towards the viewer,
// texture coordinate; each quad is two triangles.
struct Geometry
{
    std::vector<float> vertices;
    std::vector<std::uint32_t> indices;

    void quad(float x0, float y0, float x1, float y1)
    {
        const auto base = static_cast<std::uint32_t>(vertices.size() / 8);
        const float corners[4][4] = {{x0, y0, 0, 0}, {x1, y0, 1, 0}, {x1, y1, 1, 1}, {x0, y1, 0, 1}};
        for (const auto& c : corners)
            vertices.insert(vertices.end(), {c[0], c[1], 0.0f, 0.0f, 0.0f, 1.0f, c[2], c[3]});
        indices.insert(indices.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
    }
    void cells()
    {
        for (int cell = 0; cell < kCells; ++cell)
            quad(10.0f + 40.0f * cell, 10.0f, 40.0f + 40.0f * cell, 40.0f);
    }
};

std::unique_ptr<CMeshData> meshOf(const Geometry& geometry)
{
    auto mesh = std::make_unique<CMeshData>();
    mesh->vertexElementCount = 4;
    mesh->vertexElements = new CVertexElement[4];
    std::copy(kLayout, kLayout + 4, mesh->vertexElements);
    mesh->vertexSize = 32;
    mesh->indexSize = 4;
    mesh->vertexCount = static_cast<std::uint32_t>(geometry.vertices.size() / 8);
    mesh->indexCount = static_cast<std::uint32_t>(geometry.indices.size());
    mesh->vertices = new float[geometry.vertices.size()];
    std::copy(geometry.vertices.begin(), geometry.vertices.end(), mesh->vertices);
    mesh->indices = new std::uint32_t[geometry.indices.size()];
    std::copy(geometry.indices.begin(), geometry.indices.end(), mesh->indices);
    return mesh;
}

// Lit by one white light straight from the viewer, no specular light, half-bright global
// ambient: a front face shows emission + ambient / 2 + diffuse.
void useTestLight()
{
    const GLfloat none[4] = {0, 0, 0, 1};
    const GLfloat white[4] = {1, 1, 1, 1};
    const GLfloat half[4] = {0.5f, 0.5f, 0.5f, 1};
    const GLfloat fromViewer[4] = {0, 0, 1, 0};
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_AMBIENT, none);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, none);
    glLightfv(GL_LIGHT0, GL_POSITION, fromViewer);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, half);
}

// Lit colour (0.4, 0.6, 0.8).
CMaterial tealMaterial()
{
    CMaterial material;
    material.ambient.set(0.4f, 0.4f, 0.0f, 1.0f);
    material.diffuse.set(0.2f, 0.4f, 0.2f, 1.0f);
    material.emission.set(0.0f, 0.0f, 0.6f, 1.0f);
    return material;
}
const RGB kTeal = {102, 153, 204};
const RGB kDefaultLit = {191, 191, 191};              // 0.1 / 2 + 0.7
const RGB kBlack = {0, 0, 0};

// Saturates the lighting, so that a modulated texture shows its own colours.
CMaterial glowingMaterial()
{
    CMaterial material;
    material.emission.set(1.0f, 1.0f, 1.0f, 1.0f);
    return material;
}

GLuint boundBuffer(GLenum binding)
{
    GLint name = 0;
    glGetIntegerv(binding, &name);
    return static_cast<GLuint>(name);
}

std::vector<unsigned char> bufferBytes(GLenum target, GLuint name)
{
    glBindBufferARB(target, name);
    GLint size = 0;
    glGetBufferParameterivARB(target, GL_BUFFER_SIZE_ARB, &size);
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
    glGetBufferSubDataARB(target, 0, size, bytes.data());
    return bytes;
}

template <class T>
std::vector<unsigned char> bytesOf(const std::vector<T>& values)
{
    std::vector<unsigned char> bytes(values.size() * sizeof(T));
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

class CGLModelGL : public testing::Test
{
protected:
    CGLModelGL()
    {
        usePixelProjection();
        useTestLight();
        clearToBlack();
    }

    // The six cells as one mesh; geometry keeps what went into it.
    std::unique_ptr<CMeshData> cellsMesh()
    {
        geometry.cells();
        return meshOf(geometry);
    }

    static void expectDrawsNothing(CGLModel& model, unsigned group)
    {
        model.drawGroup(nullptr, group);
        EXPECT_EQ(cellColours(), litCells({}, kDefaultLit));
    }

    static std::vector<RGB> cellColours()
    {
        std::vector<RGB> colours;
        for (int cell = 0; cell < kCells; ++cell)
            colours.push_back(pixelAt(cellCentreX(cell), kCellCentreY));
        return colours;
    }
    static std::vector<RGB> litCells(std::initializer_list<int> lit, const RGB& colour)
    {
        std::vector<RGB> colours(kCells, kBlack);
        for (int cell : lit)
            colours[static_cast<std::size_t>(cell)] = colour;
        return colours;
    }

    GLStateGuard guard;
    Geometry geometry;
};

} // namespace

TEST_F(CGLModelGL, BuildCopiesTheMeshIntoTwoStaticBuffers)
{
    const auto mesh = cellsMesh();
    CGLModel model;
    model.build(*mesh);

    const GLuint vertexName = boundBuffer(GL_ARRAY_BUFFER_BINDING_ARB);
    const GLuint indexName = boundBuffer(GL_ELEMENT_ARRAY_BUFFER_BINDING_ARB);
    ASSERT_NE(vertexName, 0u);
    ASSERT_NE(indexName, 0u);
    ASSERT_NE(vertexName, indexName);
    EXPECT_EQ(bufferBytes(GL_ARRAY_BUFFER_ARB, vertexName), bytesOf(geometry.vertices));
    EXPECT_EQ(bufferBytes(GL_ELEMENT_ARRAY_BUFFER_ARB, indexName), bytesOf(geometry.indices));
    GLint usage = 0;
    glGetBufferParameterivARB(GL_ARRAY_BUFFER_ARB, GL_BUFFER_USAGE_ARB, &usage);
    EXPECT_EQ(usage, GL_STATIC_DRAW_ARB);
    glGetBufferParameterivARB(GL_ELEMENT_ARRAY_BUFFER_ARB, GL_BUFFER_USAGE_ARB, &usage);
    EXPECT_EQ(usage, GL_STATIC_DRAW_ARB);
}

TEST_F(CGLModelGL, SubsetsBecomeGroupsWithTheirTextureNames)
{
    const auto mesh = cellsMesh();
    mesh->addSubset("first", CMaterial(), 0, 4, "a.png");
    mesh->addSubset("second", CMaterial(), 12, 0, "");
    mesh->addSubset("third", CMaterial(), 12, 8, "Sub/B.PNG");
    CGLModel model;
    model.build(*mesh);
    EXPECT_EQ(model.getGroupCount(), 3u);
    EXPECT_EQ(model.getTextureName(0), "a.png");
    EXPECT_EQ(model.getTextureName(1), "");
    EXPECT_EQ(model.getTextureName(2), "Sub/B.PNG");
    EXPECT_EQ(model.getTextureName(3), "");
}

TEST_F(CGLModelGL, WithoutSubsetsEveryTriangleIsOneGroupWithTheDefaultMaterial)
{
    const auto mesh = cellsMesh();
    CGLModel model;
    model.build(*mesh);
    ASSERT_EQ(model.getGroupCount(), 1u);
    EXPECT_EQ(model.getTextureName(0), "");
    model.drawGroup(nullptr, 0);
    EXPECT_EQ(cellColours(), litCells({0, 1, 2, 3, 4, 5}, kDefaultLit));
    EXPECT_EQ(pixelAt(5, 5), kBlack);
}

TEST_F(CGLModelGL, AnUntexturedGroupShowsItsMaterialsLitColour)
{
    const auto mesh = cellsMesh();
    mesh->addSubset("teal", tealMaterial(), 0, 12, "");
    CGLModel model;
    model.build(*mesh);
    model.drawGroup(nullptr, 0);
    for (const RGB& colour : cellColours())
        EXPECT_TRUE(isColour(colour, kTeal));
    GLfloat diffuse[4] = {0, 0, 0, 0};
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    EXPECT_EQ(std::vector<GLfloat>(diffuse, diffuse + 4), (std::vector<GLfloat>{0.2f, 0.4f, 0.2f, 1.0f}));
}

// Ten triangles fill cells 0 to 4; the group from index 30 on (byte 120 of 4-byte indices)
// holds the two of cell 5.
TEST_F(CGLModelGL, GroupsDrawOnlyTheTrianglesOfTheirRange)
{
    const auto mesh = cellsMesh();
    mesh->addSubset("first", CMaterial(), 0, 10, "");
    mesh->addSubset("last", CMaterial(), 30, 2, "");
    mesh->addSubset("unused", CMaterial(), 36, 0, "");
    CGLModel model;
    model.build(*mesh);

    model.drawGroup(nullptr, 1);
    EXPECT_EQ(cellColours(), litCells({5}, kDefaultLit));
    clearToBlack();
    model.drawGroup(nullptr, 0);
    EXPECT_EQ(cellColours(), litCells({0, 1, 2, 3, 4}, kDefaultLit));
    clearToBlack();
    expectDrawsNothing(model, 2);
}

TEST_F(CGLModelGL, TwoByteIndicesAreDrawnAsShorts)
{
    const auto mesh = cellsMesh();
    // The same indices packed two to a 32-bit slot, as a mesh with 2-byte indices holds them.
    std::vector<std::uint16_t> shorts(geometry.indices.begin(), geometry.indices.end());
    std::memcpy(mesh->indices, shorts.data(), shorts.size() * 2);
    mesh->indexSize = 2;
    mesh->addSubset("second", CMaterial(), 6, 1, "");
    mesh->addSubset("rest", CMaterial(), 27, 3, "");
    CGLModel model;
    model.build(*mesh);
    EXPECT_EQ(bufferBytes(GL_ELEMENT_ARRAY_BUFFER_ARB, boundBuffer(GL_ELEMENT_ARRAY_BUFFER_BINDING_ARB)),
              bytesOf(shorts));

    model.drawGroup(nullptr, 1);                       // the second half of cell 4 and all of cell 5
    EXPECT_EQ(cellColours(), litCells({5}, kDefaultLit));
    EXPECT_EQ(pixelAt(200, 15), kBlack);               // below the diagonal of cell 4: its first triangle
    EXPECT_EQ(pixelAt(175, 35), kDefaultLit);          // above it: the second
}

namespace
{

// 4 x 4 BGR pixels in 2 x 2 blocks of one colour each, first row first.
CPicture blockPicture()
{
    const unsigned char blocks[2][2][3] = {{{0, 0, 255}, {0, 255, 0}}, {{255, 0, 0}, {64, 128, 192}}};
    unsigned char pixels[4 * 4 * 3];
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            std::memcpy(pixels + (row * 4 + column) * 3, blocks[row / 2][column / 2], 3);
    return CPicture(CMyVector<int, 2>(4, 4), CPicture::FORMAT_BGR, pixels);
}

} // namespace

// The first rows of the picture lie at texture coordinate 0, the bottom of the quad; the
// centre of each quarter is where four texels of the same colour meet.
TEST_F(CGLModelGL, ATexturedGroupShowsThePicturesColours)
{
    geometry.quad(64, 64, 192, 192);
    const auto mesh = meshOf(geometry);
    mesh->addSubset("picture", glowingMaterial(), 0, 2, "blocks.bmp");
    CGLModel model;
    model.build(*mesh);
    Texture texture;
    texture.createFromPicture(blockPicture());

    model.drawGroup(&texture, 0);
    EXPECT_EQ(pixelAt(96, 96), (RGB{255, 0, 0}));
    EXPECT_EQ(pixelAt(160, 96), (RGB{0, 255, 0}));
    EXPECT_EQ(pixelAt(96, 160), (RGB{0, 0, 255}));
    EXPECT_EQ(pixelAt(160, 160), (RGB{192, 128, 64}));
    EXPECT_EQ(pixelAt(32, 32), kBlack);

    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
    EXPECT_EQ(active, GL_TEXTURE0_ARB);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
}

TEST_F(CGLModelGL, ATextureWithoutTextureObjectDrawsUntextured)
{
    geometry.quad(64, 64, 192, 192);
    const auto mesh = meshOf(geometry);
    mesh->addSubset("teal", tealMaterial(), 0, 2, "odd.bmp");
    CGLModel model;
    model.build(*mesh);
    Texture texture;
    texture.create(CMyVector<int, 3>(4, 4, 0), 3, false);
    ASSERT_EQ(texture.textureId, 0u);

    // A texture left bound from elsewhere must not show through.
    Texture stray;
    stray.createFromPicture(blockPicture());
    glBindTexture(GL_TEXTURE_2D, stray.textureId);
    model.drawGroup(&texture, 0);
    EXPECT_TRUE(isColour(pixelAt(96, 96), kTeal));
    EXPECT_TRUE(isColour(pixelAt(160, 160), kTeal));
}

namespace
{

struct OutOfRangeCase
{
    const char* name;
    std::int32_t firstIndex;
    std::int32_t triangleCount;
};

const OutOfRangeCase kOutOfRange[] = {
    {"EndsPastTheIndices", 30, 3},
    {"StartsPastTheIndices", 36, 1},
    {"NegativeFirstIndex", -3, 2},
    {"NegativeTriangleCount", 0, -1},
};

class RangeOutsideTheIndices : public CGLModelGL, public testing::WithParamInterface<OutOfRangeCase>
{
};

} // namespace

TEST_P(RangeOutsideTheIndices, DrawsNothing)
{
    const auto mesh = cellsMesh();
    mesh->addSubset("bad", CMaterial(), GetParam().firstIndex, GetParam().triangleCount, "");
    CGLModel model;
    model.build(*mesh);
    expectDrawsNothing(model, 0);
}

INSTANTIATE_TEST_SUITE_P(Model, RangeOutsideTheIndices, testing::ValuesIn(kOutOfRange), testsupport::RowName());

TEST_F(CGLModelGL, AGroupNumberPastTheEndDrawsNothing)
{
    const auto mesh = cellsMesh();
    CGLModel model;
    model.build(*mesh);
    expectDrawsNothing(model, 1);
}

namespace
{

struct EmptyCase
{
    const char* name;
    void (*empty)(CMeshData& mesh);
};

const EmptyCase kEmpty[] = {
    {"NoVertices", [](CMeshData& mesh) { mesh.vertexCount = 0; }},
    {"NoIndices", [](CMeshData& mesh) { mesh.indexCount = 0; }},
    {"NoVertexArray",
     [](CMeshData& mesh) {
         delete[] mesh.vertices;
         mesh.vertices = nullptr;
     }},
    {"NoIndexArray",
     [](CMeshData& mesh) {
         delete[] mesh.indices;
         mesh.indices = nullptr;
     }},
    {"ZeroVertexSize", [](CMeshData& mesh) { mesh.vertexSize = 0; }},
};

class EmptyMesh : public CGLModelGL, public testing::WithParamInterface<EmptyCase>
{
};

} // namespace

TEST_P(EmptyMesh, MakesNoBufferAndDrawsNothing)
{
    const auto mesh = cellsMesh();
    GetParam().empty(*mesh);
    mesh->addSubset("all", CMaterial(), 0, 12, "a.png");
    BufferCallRecorder calls;
    CGLModel model;
    model.build(*mesh);
    EXPECT_TRUE(calls.generated.empty());
    EXPECT_EQ(calls.mapCalls, 0);
    EXPECT_EQ(model.getGroupCount(), 1u);
    EXPECT_EQ(model.getTextureName(0), "a.png");
    expectDrawsNothing(model, 0);
}

INSTANTIATE_TEST_SUITE_P(Model, EmptyMesh, testing::ValuesIn(kEmpty), testsupport::RowName());

namespace
{

struct FaultCase
{
    const char* name;
    BufferCallRecorder::Fault fault;
};

const FaultCase kFaults[] = {
    {"MappingFails", BufferCallRecorder::MAPPING_FAILS},
    {"ContentsLost", BufferCallRecorder::CONTENTS_LOST},
};

class FillFault : public CGLModelGL, public testing::WithParamInterface<FaultCase>
{
};

} // namespace

// The first buffer filled is the index buffer; after its fault nothing else is tried.
TEST_P(FillFault, LeavesTheModelEmptyWithEveryBufferDeleted)
{
    const auto mesh = cellsMesh();
    CGLModel model;
    {
        BufferCallRecorder calls(GetParam().fault);
        model.build(*mesh);
        EXPECT_EQ(calls.mapCalls, 1);
        EXPECT_EQ(calls.generated.size(), 1u);
        EXPECT_EQ(calls.deleted, calls.generated);
    }
    EXPECT_EQ(model.getGroupCount(), 0u);
    expectDrawsNothing(model, 0);
}

INSTANTIATE_TEST_SUITE_P(Model, FillFault, testing::ValuesIn(kFaults), testsupport::RowName());

TEST_F(CGLModelGL, EveryBufferObjectIsDeletedExactlyOnce)
{
    const auto mesh = cellsMesh();
    BufferCallRecorder calls;
    {
        CGLModel model;
        model.build(*mesh);
        ASSERT_EQ(calls.generated.size(), 2u);
        model.build(*mesh);                            // a second build replaces both buffers
        ASSERT_EQ(calls.generated.size(), 4u);
        std::vector<GLuint> first(calls.generated.begin(), calls.generated.begin() + 2);
        std::sort(calls.deleted.begin(), calls.deleted.end());
        EXPECT_EQ(calls.deleted, first);
        model.drawGroup(nullptr, 0);
        EXPECT_EQ(cellColours(), litCells({0, 1, 2, 3, 4, 5}, kDefaultLit));
    }
    std::sort(calls.deleted.begin(), calls.deleted.end());
    std::vector<GLuint> generated = calls.generated;
    std::sort(generated.begin(), generated.end());
    EXPECT_EQ(calls.deleted, generated);
    for (GLuint name : generated)
        EXPECT_FALSE(glIsBufferARB(name)) << name;
}

TEST_F(CGLModelGL, DestroyingADrawnModelLeavesNoArrayEnabled)
{
    const auto mesh = cellsMesh();
    {
        CGLModel model;
        model.build(*mesh);
        model.drawGroup(nullptr, 0);
        ASSERT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
    }
    EXPECT_EQ(GLRenderer::getInstance().currentDeclaration, nullptr);
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
}
