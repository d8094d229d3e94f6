// The mesh builder: the welding and material-order steps composed, the layout, and the
// subsets of the mesh.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/CMaterialOrder.h"
#include "engine/CObjLoader.h"
#include "engine/CObjLists.h"
#include "engine/CSystem.h"
#include "engine/CVertexRecord.h"
#include "engine/CVertexWelder.h"

namespace VELK
{

void CObjLoader::buildMesh(CMeshData& mesh)
{
    const double weldStarted = phaseClock();
    CObjLists& model = *lists;
    const bool hasColours = !model.colours.empty();
    const std::uint32_t floats = CVertexRecord::floatsOf(hasColours);
    CVertexRecord::setLayout(mesh, !model.normals.empty(), !model.texCoords.empty(), hasColours);
    // The welder writes each corner's vertex number over its position number, which it has
    // read by then: the vertex numbers take no memory of their own.
    CUninitialisedVector<std::uint32_t> cornerVertices;
    cornerVertices.swap(model.positionIndices);
    // Corners that name the same element welded, each thread a range of them; then the
    // corners' other numbers go, before the records are made.
    CVertexWelder welder(
        CVertexWelder::CElements{model.positions.data(), model.positions.size() / 3, model.normals.data(),
                                 model.normals.size() / 3, model.texCoords.data(), model.texCoords.size() / 2,
                                 hasColours ? model.colours.data() : nullptr},
        loadThreads);
    welder.weld(CVertexWelder::CCorners{cornerVertices.data(), model.texCoordIndices.data(), model.normalIndices.data(),
                                        cornerVertices.size()},
                cornerVertices.data());
    CUninitialisedVector<std::uint32_t>().swap(model.texCoordIndices);
    CUninitialisedVector<std::uint32_t>().swap(model.normalIndices);
    // The records are written straight into the mesh's array, sized for the worst case: all
    // corners distinct, or, where fewer, every choice of position, texture coordinate and
    // normal. The part never written is never mapped, and nothing is copied.
    std::uint64_t most = cornerVertices.size();
    const std::uint64_t choices[] = {model.positions.size() / 3, model.texCoords.size() / 2 + 1, model.normals.size() / 3 + 1};
    std::uint64_t product = 1;
    for (const std::uint64_t choice : choices)
        product = choice != 0 && product > most / choice ? most : product * choice;
    most = std::min(most, product);
    mesh.vertices = new float[most * floats];
    CSystem::adviseHugePages(mesh.vertices, most * floats * sizeof(float));
    mesh.vertexCount = static_cast<std::uint32_t>(welder.writeVertices(mesh.vertices, cornerVertices.data()));
    // The lists are in the records now; their memory goes before the index array below.
    CUninitialisedVector<float>().swap(model.positions);
    CUninitialisedVector<float>().swap(model.normals);
    CUninitialisedVector<float>().swap(model.texCoords);
    CUninitialisedVector<std::uint32_t>().swap(model.colours);

    const double regroupStarted = phaseClock();
    mesh.indexSize = sizeof(std::uint32_t);
    mesh.indexCount = static_cast<std::uint32_t>(model.emittedCorners);
    mesh.indices = new std::uint32_t[model.emittedCorners];
    CSystem::adviseHugePages(mesh.indices, model.emittedCorners * sizeof(std::uint32_t));
    const std::vector<CMaterialOrder::CGroup> groups =
        CMaterialOrder::order(CMaterialOrder::CFaces{cornerVertices.data(), model.faceSizes.data(), model.faceSizes.size(),
                                                      mesh.vertices, floats},
                               model.runs, materials, mesh.indices, mesh.indexCount, loadThreads);
    CUninitialisedVector<std::uint32_t>().swap(cornerVertices);
    CUninitialisedVector<std::uint32_t>().swap(model.faceSizes);

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
