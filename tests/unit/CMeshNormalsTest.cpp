// Normals for corners without one: flat across creases, smooth elsewhere, file normals kept.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
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

const float* recordOf(const CMeshData& mesh, std::uint32_t corner)
{
    return mesh.vertices + 8 * mesh.indices[corner];
}

Vector normalOf(const CMeshData& mesh, std::uint32_t corner)
{
    const float* record = recordOf(mesh, corner);
    return {record[3], record[4], record[5]};
}

// The unit normal of the triangle a corner belongs to.
Vector faceOf(const CMeshData& mesh, std::uint32_t corner)
{
    const std::uint32_t first = corner - corner % 3;
    const float* a = recordOf(mesh, first);
    const float* b = recordOf(mesh, first + 1);
    const float* c = recordOf(mesh, first + 2);
    const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const Vector n = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    return {n[0] / length, n[1] / length, n[2] / length};
}

void expectNear(const Vector& actual, const Vector& expected)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-6) << "component " << i;
}

const char* const kCubeCorners = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n";

TEST(MeshNormals, CubeSidesStayFlat)
{
    const auto mesh = withNormals(std::string(kCubeCorners) +
                                  "f 1 4 3 2\nf 5 6 7 8\nf 1 2 6 5\nf 2 3 7 6\nf 3 4 8 7\nf 4 1 5 8\n");
    EXPECT_EQ(mesh->vertexCount, 24u);
    for (std::uint32_t c = 0; c < mesh->indexCount; ++c)
        expectNear(normalOf(*mesh, c), faceOf(*mesh, c));
    ASSERT_EQ(mesh->vertexElementCount, 3u);
    const CVertexElement normal = mesh->vertexElements[1];
    EXPECT_EQ(std::vector<std::uint32_t>({normal.offset, normal.format, normal.usage, normal.usageIndex}),
              std::vector<std::uint32_t>({12, 3, 2, 0}));
}

// Two squares sharing an edge, the second turned up about it by the given angle.
struct Fold
{
    const char* name;
    double degrees;
    std::uint32_t vertices;
};

const Fold kFolds[] = {
    {"shallowSharesTheEdge", 30, 6},
    {"sharpSplitsIt", 90, 8},
};

class MeshNormalsFold : public testing::TestWithParam<Fold>
{
};

TEST_P(MeshNormalsFold, BeyondTheCreaseAngleTheEdgeSplits)
{
    const double turn = GetParam().degrees * 3.14159265358979 / 180.0;
    const std::string x = std::to_string(1 + std::cos(turn));
    const std::string z = std::to_string(std::sin(turn));
    const auto mesh = withNormals("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv " + x + " 0 " + z + "\nv " + x + " 1 " + z +
                                  "\nf 1 2 3 4\nf 2 5 6 3\n");
    EXPECT_EQ(mesh->vertexCount, GetParam().vertices);
    // On the shared edge, either the bisector of both squares or each square's own normal.
    const Vector bisector = {static_cast<float>(-std::sin(turn / 2)), 0.0f, static_cast<float>(std::cos(turn / 2))};
    for (std::uint32_t c = 0; c < mesh->indexCount; ++c) {
        const float* record = recordOf(*mesh, c);
        if (record[0] == 1.0f)
            expectNear(normalOf(*mesh, c), GetParam().vertices == 6 ? bisector : faceOf(*mesh, c));
    }
}

INSTANTIATE_TEST_SUITE_P(Folds, MeshNormalsFold, testing::ValuesIn(kFolds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MeshNormals, IcosahedronIsSmoothWithOneNormalPerCorner)
{
    // The twelve corners (0, +-1, +-g) and their cyclic turns; its faces are the triples
    // of corners two apart, turned to face outwards.
    const float g = (1.0f + std::sqrt(5.0f)) / 2.0f;
    std::vector<Vector> corners;
    for (int axis = 0; axis < 3; ++axis) {
        for (float a : {-1.0f, 1.0f}) {
            for (float b : {-g, g}) {
                Vector p = {0.0f, 0.0f, 0.0f};
                p[(axis + 1) % 3] = a;
                p[(axis + 2) % 3] = b;
                corners.push_back(p);
            }
        }
    }
    std::string obj;
    for (const Vector& p : corners)
        obj += "v " + std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]) + "\n";
    const auto apart = [&](std::size_t i, std::size_t j) {
        const float d[3] = {corners[i][0] - corners[j][0], corners[i][1] - corners[j][1], corners[i][2] - corners[j][2]};
        return std::fabs(d[0] * d[0] + d[1] * d[1] + d[2] * d[2] - 4.0f) < 0.01f;
    };
    for (std::size_t i = 0; i < 12; ++i) {
        for (std::size_t j = i + 1; j < 12; ++j) {
            for (std::size_t k = j + 1; k < 12; ++k) {
                if (!apart(i, j) || !apart(j, k) || !apart(i, k))
                    continue;
                const Vector &a = corners[i], &b = corners[j], &c = corners[k];
                const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
                const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
                const float outwards = (u[1] * v[2] - u[2] * v[1]) * a[0] + (u[2] * v[0] - u[0] * v[2]) * a[1] +
                                       (u[0] * v[1] - u[1] * v[0]) * a[2];
                obj += "f " + std::to_string(i + 1) + " " + std::to_string((outwards > 0 ? j : k) + 1) + " " +
                       std::to_string((outwards > 0 ? k : j) + 1) + "\n";
            }
        }
    }
    const auto mesh = withNormals(obj);
    ASSERT_EQ(mesh->indexCount, 60u);
    EXPECT_EQ(mesh->vertexCount, 12u);
    for (std::uint32_t c = 0; c < mesh->indexCount; ++c) {
        const float* p = recordOf(*mesh, c);
        const float length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        expectNear(normalOf(*mesh, c), {p[0] / length, p[1] / length, p[2] / length});
    }
}

TEST(MeshNormals, FileNormalsAreKeptBitForBitAndTextureCoordinatesMoveBehindTheNormal)
{
    // The second triangle's corners give no normal number: they get (0, 0, 0) from the
    // reader, which counts as none.
    const auto mesh = withNormals("v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nvn 0 0 2\nvt 0.25 0.75\n"
                                  "f 1/1/1 2/1/1 3/1/1\nf 2/1 4/1 3/1\n");
    EXPECT_EQ(mesh->vertexCount, 6u);
    for (std::uint32_t c = 0; c < 6; ++c) {
        EXPECT_EQ(normalOf(*mesh, c), (c < 3 ? Vector{0, 0, 2} : Vector{0, 0, 1})) << "corner " << c;
        EXPECT_EQ(recordOf(*mesh, c)[6], 0.25f);
    }

    const auto textured = withNormals("v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0.25 0.75\nf 1/1 2/1 3/1\n");
    EXPECT_EQ(std::vector<float>(textured->vertices, textured->vertices + 8),
              std::vector<float>({0, 0, 0, 0, 0, 1, 0.25f, -0.75f}));
    ASSERT_EQ(textured->vertexElementCount, 4u);
    EXPECT_EQ(textured->vertexElements[2].offset, 24u);
    EXPECT_EQ(textured->vertexElements[2].usage, 4u);
}

TEST(MeshNormals, TrianglesWithoutAreaOrFiniteCornersFace001)
{
    const auto mesh = withNormals("v 1 1 1\nv 1 1 1\nv 1 1 1\nv nan 0 0\nv 0 1 0\nv inf 0 0\nf 1 2 3\nf 4 5 6\n");
    for (std::uint32_t c = 0; c < mesh->indexCount; ++c)
        EXPECT_EQ(normalOf(*mesh, c), (Vector{0, 0, 1})) << "corner " << c;
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
