// The mesh record: its empty state, its default material, subsets and release.
#include <gtest/gtest.h>

#include <vector>

#include "engine/CMeshData.h"

namespace
{

std::vector<float> rgba(const CMyVector<float, 4>& colour)
{
    return {colour[0], colour[1], colour[2], colour[3]};
}

TEST(MeshData, StartsEmpty)
{
    const CMeshData mesh;
    EXPECT_EQ(mesh.vertexElements, nullptr);
    EXPECT_EQ(mesh.vertices, nullptr);
    EXPECT_EQ(mesh.indices, nullptr);
    EXPECT_EQ(mesh.vertexSize + mesh.indexSize + mesh.vertexCount + mesh.indexCount + mesh.vertexElementCount, 0u);
    EXPECT_TRUE(mesh.subsets.empty());
}

TEST(MeshData, DefaultMaterial)
{
    const CMaterial material;
    EXPECT_EQ(rgba(material.ambient), (std::vector<float>{0.1f, 0.1f, 0.1f, 1.0f}));
    EXPECT_EQ(rgba(material.diffuse), (std::vector<float>{0.7f, 0.7f, 0.7f, 1.0f}));
    EXPECT_EQ(rgba(material.specular), (std::vector<float>{0.2f, 0.2f, 0.2f, 1.0f}));
    EXPECT_EQ(rgba(material.emission), (std::vector<float>{0.0f, 0.0f, 0.0f, 1.0f}));
    EXPECT_EQ(material.shininess, 10.0f);
}

TEST(MeshData, SubsetsAreAppendedInOrderWithACopiedMaterial)
{
    CMeshData mesh;
    CMaterial red;
    red.diffuse.set(1.0f, 0.0f, 0.0f, 0.5f);
    mesh.addSubset("red", red, 0, 2, "red.png");
    red.diffuse.set(0.0f, 0.0f, 0.0f, 0.0f);
    mesh.addSubset("plain", CMaterial(), 6, 0, "");
    ASSERT_EQ(mesh.subsets.size(), 2u);
    EXPECT_EQ(mesh.subsets[0].name, "red");
    EXPECT_EQ(rgba(mesh.subsets[0].material.diffuse), (std::vector<float>{1.0f, 0.0f, 0.0f, 0.5f}));
    EXPECT_EQ(mesh.subsets[0].firstIndex, 0);
    EXPECT_EQ(mesh.subsets[0].triangleCount, 2);
    EXPECT_EQ(mesh.subsets[0].textureFile, "red.png");
    EXPECT_EQ(mesh.subsets[1].name, "plain");
    EXPECT_EQ(mesh.subsets[1].firstIndex, 6);
}

TEST(MeshData, ReleaseFreesTheArraysAndKeepsTheIndexSize)
{
    CMeshData mesh;
    mesh.vertexElements = new CVertexElement[2]{{0, 3, 1, 0}, {0, 0, 0, 0}};
    mesh.vertexElementCount = 2;
    mesh.vertices = new float[8]();
    mesh.vertexCount = 1;
    mesh.vertexSize = 32;
    mesh.indices = new std::uint32_t[3]();
    mesh.indexCount = 3;
    mesh.indexSize = 4;
    mesh.addSubset("a", CMaterial(), 0, 1, "");
    mesh.release();
    EXPECT_EQ(mesh.vertexElements, nullptr);
    EXPECT_EQ(mesh.vertices, nullptr);
    EXPECT_EQ(mesh.indices, nullptr);
    EXPECT_EQ(mesh.vertexSize + mesh.vertexCount + mesh.indexCount + mesh.vertexElementCount, 0u);
    EXPECT_EQ(mesh.indexSize, 4u);
    EXPECT_TRUE(mesh.subsets.empty());
    mesh.release();                                    // a second release finds nothing to free
    EXPECT_EQ(mesh.vertices, nullptr);
}

} // namespace
