// The mesh builder: the welding and material-order steps composed, the layout, and the
// subsets of the mesh.
#include <cstring>
#include <string>
#include <vector>

#include "engine/CMaterialOrder.h"
#include "engine/CMemoryPages.h"
#include "engine/CObjLoader.h"
#include "engine/CVertexWelder.h"

namespace VELK
{

void CObjLoader::buildMesh(CMeshData& mesh)
{
    const double weldStarted = phaseClock();
    floatsPerVertex = CVertexWelder::kFloats;
    fillLayout(mesh);
    // The welder writes each corner's vertex number over its position number, which it has
    // read by then: the vertex numbers take no memory of their own.
    CHugeVector<std::uint32_t> cornerVertices;
    cornerVertices.swap(positionIndices);
    // The records are welded straight into the mesh's array, sized for the worst case of
    // all corners distinct: the part never written is never mapped, and nothing is copied.
    mesh.vertices = new float[cornerVertices.size() * floatsPerVertex];
    CMemoryPages::adviseHuge(mesh.vertices, cornerVertices.size() * floatsPerVertex * sizeof(float));
    const std::size_t vertexCount = CVertexWelder::weldInto(
        CVertexWelder::CElements{positions.data(), positions.size() / 3, normals.data(), normals.size() / 3,
                                 texCoords.data(), texCoords.size() / 2},
        CVertexWelder::CCorners{cornerVertices.data(), texCoordIndices.data(), normalIndices.data(),
                                cornerVertices.size()},
        mesh.vertices, cornerVertices.data());
    mesh.vertexSize = floatsPerVertex * sizeof(float);
    mesh.vertexCount = static_cast<std::uint32_t>(vertexCount);
    // The lists are in the records now; their memory goes before the index array below.
    CHugeVector<float>().swap(positions);
    CHugeVector<float>().swap(normals);
    CHugeVector<float>().swap(texCoords);
    CHugeVector<std::uint32_t>().swap(texCoordIndices);
    CHugeVector<std::uint32_t>().swap(normalIndices);

    const double regroupStarted = phaseClock();
    mesh.indexSize = sizeof(std::uint32_t);
    mesh.indexCount = static_cast<std::uint32_t>(emittedCorners);
    mesh.indices = new std::uint32_t[emittedCorners];
    CMemoryPages::adviseHuge(mesh.indices, emittedCorners * sizeof(std::uint32_t));
    const std::vector<CMaterialOrder::CGroup> groups = CMaterialOrder().order(
        CMaterialOrder::CFaces{cornerVertices.data(), faceSizes.data(), faceSizes.size(), mesh.vertices, floatsPerVertex},
        runs, materials, mesh.indices, mesh.indexCount);
    CHugeVector<std::uint32_t>().swap(cornerVertices);
    CHugeVector<std::uint32_t>().swap(faceSizes);

    const double copyStarted = phaseClock();
    addSubsets(mesh, groups);
    if (phaseTimes) {
        const double done = phaseClock();
        phaseTimes->weld = regroupStarted - weldStarted;
        phaseTimes->regroup = copyStarted - regroupStarted;
        phaseTimes->copyOut = done - copyStarted;
    }
}

void CObjLoader::fillLayout(CMeshData& mesh) const
{
    const bool hasNormals = !normals.empty();
    const bool hasTexCoords = !texCoords.empty();
    std::vector<CVertexElement> layout;
    layout.push_back(CVertexElement{0, CVertexElement::FORMAT_FLOAT3, CVertexElement::USAGE_POSITION, 0});
    if (hasNormals)
        layout.push_back(CVertexElement{12, CVertexElement::FORMAT_FLOAT3, CVertexElement::USAGE_NORMAL, 0});
    if (hasTexCoords)
        layout.push_back(
            CVertexElement{hasNormals ? 24u : 12u, CVertexElement::FORMAT_FLOAT2, CVertexElement::USAGE_TEXCOORD, 0});
    layout.push_back(CVertexElement{0, CVertexElement::FORMAT_NONE, CVertexElement::USAGE_NONE, 0});
    mesh.vertexElementCount = static_cast<std::uint32_t>(layout.size());
    mesh.vertexElements = new CVertexElement[layout.size()];
    std::memcpy(mesh.vertexElements, layout.data(), layout.size() * sizeof(CVertexElement));
}

void CObjLoader::addSubsets(CMeshData& mesh, const std::vector<CMaterialOrder::CGroup>& groups) const
{
    for (const CMaterialOrder::CGroup& group : groups) {
        const std::int32_t firstIndex = static_cast<std::int32_t>(group.firstIndex);
        const std::int32_t triangles = static_cast<std::int32_t>(group.triangleCount);
        if (group.material != CMaterialOrder::kNoMaterial) {
            const CObjMaterial& material = materials[group.material];
            mesh.addSubset(group.name, material.material, firstIndex, triangles, material.textureFile);
        } else {
            mesh.addSubset(group.name, CMaterial(), firstIndex, triangles, std::string());
        }
    }
}

} // namespace VELK
