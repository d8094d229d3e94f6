// Normals for corners without one: flat across creases, smooth elsewhere, file normals kept.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/CMeshNormals.h"
#include "engine/CObjLoader.h"

namespace
{

using Vector = std::array<float, 3>;

std::unique_ptr<CMeshData> withNormals(const std::string& obj)
{
    VELK::CObjLoader loader;
    std::unique_ptr<CMeshData> mesh(
        loader.loadFromText("m.obj", obj, [](const std::string&, std::string&) { return false; }));
    EXPECT_TRUE(VELK::CMeshNormals::fillMissing(*mesh));
    return mesh;
}

// Floats 0 to 2 the position, 3 to 5 the normal, of the vertex at a corner.
Vector at(const CMeshData& mesh, std::uint32_t corner, int first)
{
    const float* record = mesh.vertices + 8 * mesh.indices[corner] + first;
    return {record[0], record[1], record[2]};
}

Vector unit(const Vector& v)
{
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    return {v[0] / length, v[1] / length, v[2] / length};
}

void expectNear(const Vector& actual, const Vector& expected)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-6) << "component " << i;
}

TEST(MeshNormals, CubeSidesMeetAtTheCreaseAndStayFlat)
{
    const auto mesh = withNormals("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n"
                                  "f 1 4 3 2\nf 5 6 7 8\nf 1 2 6 5\nf 2 3 7 6\nf 3 4 8 7\nf 4 1 5 8\n");
    EXPECT_EQ(mesh->vertexCount, 24u);
    for (std::uint32_t c = 0; c < mesh->indexCount; ++c) {
        const std::uint32_t first = c - c % 3;
        const Vector a = at(*mesh, first, 0), b = at(*mesh, first + 1, 0), e = at(*mesh, first + 2, 0);
        const Vector u = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const Vector v = {e[0] - a[0], e[1] - a[1], e[2] - a[2]};
        expectNear(at(*mesh, c, 3), unit({u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]}));
    }
    ASSERT_EQ(mesh->vertexElementCount, 3u);
    const CVertexElement normal = mesh->vertexElements[1];
    EXPECT_EQ(std::vector<std::uint32_t>({normal.offset, normal.format, normal.usage, normal.usageIndex}),
              std::vector<std::uint32_t>({12, 3, 2, 0}));
}

TEST(MeshNormals, IcosahedronIsSmoothWithOneNormalPerCorner)
{
    // Neighbouring faces meet at under 42 degrees; the normal at a corner is its direction.
    const auto mesh = withNormals(
        "v 0 -1 -1.618034\nv 0 -1 1.618034\nv 0 1 -1.618034\nv 0 1 1.618034\nv -1.618034 0 -1\nv 1.618034 0 -1\n"
        "v -1.618034 0 1\nv 1.618034 0 1\nv -1 -1.618034 0\nv -1 1.618034 0\nv 1 -1.618034 0\nv 1 1.618034 0\n"
        "f 1 5 3\nf 1 3 6\nf 1 9 5\nf 1 6 11\nf 1 11 9\nf 2 4 7\nf 2 8 4\nf 2 7 9\nf 2 11 8\nf 2 9 11\n"
        "f 3 5 10\nf 3 12 6\nf 3 10 12\nf 4 10 7\nf 4 8 12\nf 4 12 10\nf 5 9 7\nf 5 7 10\nf 6 8 11\nf 6 12 8\n");
    EXPECT_EQ(mesh->vertexCount, 12u);
    for (std::uint32_t c = 0; c < mesh->indexCount; ++c)
        expectNear(at(*mesh, c, 3), unit(at(*mesh, c, 0)));
}

TEST(MeshNormals, FileNormalsAreKeptBitForBitAndTextureCoordinatesMoveBehindTheNormal)
{
    // The second triangle's corners give no normal number: the reader gives them (0, 0, 0),
    // which counts as none.
    const auto mesh = withNormals("v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nvn 0 0 2\nvt 0.25 0.75\n"
                                  "f 1/1/1 2/1/1 3/1/1\nf 2/1 4/1 3/1\n");
    EXPECT_EQ(mesh->vertexCount, 6u);
    for (std::uint32_t c = 0; c < 6; ++c)
        EXPECT_EQ(at(*mesh, c, 3), (c < 3 ? Vector{0, 0, 2} : Vector{0, 0, 1})) << "corner " << c;

    const auto textured = withNormals("v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0.25 0.75\nf 1/1 2/1 3/1\n");
    EXPECT_EQ(std::vector<float>(textured->vertices, textured->vertices + 8),
              std::vector<float>({0, 0, 0, 0, 0, 1, 0.25f, -0.75f}));
    ASSERT_EQ(textured->vertexElementCount, 4u);
    EXPECT_EQ(textured->vertexElements[2].offset, 24u);
}

TEST(MeshNormals, TrianglesWithoutAreaOrFiniteCornersFace001)
{
    const auto mesh = withNormals("v 1 1 1\nv 1 1 1\nv 1 1 1\nv nan 0 0\nv 0 1 0\nv inf 0 0\nf 1 2 3\nf 4 5 6\n");
    for (std::uint32_t c = 0; c < mesh->indexCount; ++c)
        EXPECT_EQ(at(*mesh, c, 3), (Vector{0, 0, 1})) << "corner " << c;
}

TEST(MeshNormals, MeshesItCannotReadAreLeftAsTheyAre)
{
    auto mesh = withNormals("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    const float* vertices = mesh->vertices;
    mesh->indices[2] = 3;
    EXPECT_FALSE(VELK::CMeshNormals::fillMissing(*mesh));
    mesh->indices[2] = 2;
    mesh->vertexSize = 24;
    EXPECT_FALSE(VELK::CMeshNormals::fillMissing(*mesh));
    EXPECT_EQ(mesh->vertices, vertices);
    EXPECT_EQ(mesh->indices[2], 2u);
}

} // namespace
