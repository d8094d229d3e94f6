// The mesh builder: the welding and material-order steps composed, the layout, and the
// subsets of the mesh.
#include <string>
#include <vector>

#include "engine/CMaterialOrder.h"
#include "engine/CObjLoader.h"
#include "engine/CObjParse.h"
#include "engine/CSystem.h"
#include "engine/CVertexRecord.h"
#include "engine/CVertexWelder.h"

namespace VELK
{

void CObjLoader::buildMesh(CMeshData& mesh)
{
    const double weldStarted = phaseClock();
    CObjParse& lists = *parse;
    CVertexRecord::setLayout(mesh, !lists.normals.empty(), !lists.texCoords.empty());
    // The welder writes each corner's vertex number over its position number, which it has
    // read by then: the vertex numbers take no memory of their own.
    CUninitialisedVector<std::uint32_t> cornerVertices;
    cornerVertices.swap(lists.positionIndices);
    // The records are welded straight into the mesh's array, sized for the worst case of
    // all corners distinct: the part never written is never mapped, and nothing is copied.
    mesh.vertices = new float[cornerVertices.size() * CVertexRecord::kFloats];
    CSystem::adviseHugePages(mesh.vertices, cornerVertices.size() * sizeof(CVertexRecord));
    const std::size_t vertexCount = CVertexWelder::weldInto(
        CVertexWelder::CElements{lists.positions.data(), lists.positions.size() / 3, lists.normals.data(),
                                 lists.normals.size() / 3, lists.texCoords.data(), lists.texCoords.size() / 2},
        CVertexWelder::CCorners{cornerVertices.data(), lists.texCoordIndices.data(), lists.normalIndices.data(),
                                cornerVertices.size()},
        mesh.vertices, cornerVertices.data());
    mesh.vertexCount = static_cast<std::uint32_t>(vertexCount);
    // The lists are in the records now; their memory goes before the index array below.
    CUninitialisedVector<float>().swap(lists.positions);
    CUninitialisedVector<float>().swap(lists.normals);
    CUninitialisedVector<float>().swap(lists.texCoords);
    CUninitialisedVector<std::uint32_t>().swap(lists.texCoordIndices);
    CUninitialisedVector<std::uint32_t>().swap(lists.normalIndices);

    const double regroupStarted = phaseClock();
    mesh.indexSize = sizeof(std::uint32_t);
    mesh.indexCount = static_cast<std::uint32_t>(lists.emittedCorners);
    mesh.indices = new std::uint32_t[lists.emittedCorners];
    CSystem::adviseHugePages(mesh.indices, lists.emittedCorners * sizeof(std::uint32_t));
    const std::vector<CMaterialOrder::CGroup> groups =
        CMaterialOrder().order(CMaterialOrder::CFaces{cornerVertices.data(), lists.faceSizes.data(), lists.faceSizes.size(),
                                                      mesh.vertices, CVertexRecord::kFloats},
                               lists.runs, materials, mesh.indices, mesh.indexCount);
    CUninitialisedVector<std::uint32_t>().swap(cornerVertices);
    CUninitialisedVector<std::uint32_t>().swap(lists.faceSizes);

    const double copyStarted = phaseClock();
    for (const CMaterialOrder::CGroup& group : groups) {
        const std::int32_t firstIndex = static_cast<std::int32_t>(group.firstIndex);
        const std::int32_t triangles = static_cast<std::int32_t>(group.triangleCount);
        if (group.material != CMaterialOrder::kNoMaterial) {
            const CObjMaterial& material = materials[group.material];
            mesh.addSubset(group.name, material.material, firstIndex, triangles, material.textureFile,
                           material.maskFile);
        } else {
            mesh.addSubset(group.name, CMaterial(), firstIndex, triangles, std::string());
        }
    }
    if (phaseTimes) {
        const double done = phaseClock();
        phaseTimes->weld = regroupStarted - weldStarted;
        phaseTimes->regroup = copyStarted - regroupStarted;
        phaseTimes->copyOut = done - copyStarted;
    }
}

} // namespace VELK
