// Counts of OBJ models by this engine's loader beside two peer loaders, one model a line,
// for checking the expected counts of the corpus tests (tests/data/obj/*-counts.txt) by
// other means than the loader under test. The columns: the path; ours: triangles, welded
// vertices and subsets (or the rejection, whose reason is in global.log); tinyobjloader:
// triangles, its corners' distinct vertex records built as ours are, and the materials of
// the library; assimp: triangles.
//
//   velk-obj-peers <model.obj>...
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <tiny_obj_loader.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "debugging/CException.h"
#include "engine/CMeshData.h"
#include "engine/CObjLoader.h"

namespace
{

std::uint32_t bitsOf(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::string countOurs(const std::string& path)
{
    try {
        VELK::CObjLoader loader;
        std::unique_ptr<CMeshData> mesh(static_cast<CMeshData*>(loader.loadFromFile(path)));
        return std::to_string(mesh->indexCount / 3) + " " + std::to_string(mesh->vertexCount) + " " +
               std::to_string(mesh->subsets.size());
    } catch (const DEBUGGING::CException&) {
        return "rejected";
    }
}

// Distinct records compare bit for bit, as the welder does: position, then the normal where
// the corner has one, then the texture coordinate, zeros elsewhere. Corners whose numbers
// the peer could not resolve are left out.
std::string countTinyobj(const std::string& path)
{
    tinyobj::attrib_t attributes;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warning, error;
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    if (!tinyobj::LoadObj(&attributes, &shapes, &materials, &warning, &error, path.c_str(), folder.c_str(), true))
        return "error: " + error.substr(0, error.find('\n'));
    std::size_t triangles = 0;
    std::set<std::array<std::uint32_t, 8>> records;
    for (const tinyobj::shape_t& shape : shapes) {
        triangles += shape.mesh.num_face_vertices.size();
        for (const tinyobj::index_t& corner : shape.mesh.indices) {
            const auto p = static_cast<std::size_t>(corner.vertex_index), n = static_cast<std::size_t>(corner.normal_index),
                       t = static_cast<std::size_t>(corner.texcoord_index);
            if (corner.vertex_index < 0 || 3 * p + 2 >= attributes.vertices.size())
                continue;
            std::array<std::uint32_t, 8> record{};
            std::size_t next = 3;
            for (std::size_t k = 0; k < 3; ++k)
                record[k] = bitsOf(attributes.vertices[3 * p + k]);
            if (corner.normal_index >= 0 && 3 * n + 2 < attributes.normals.size()) {
                for (std::size_t k = 0; k < 3; ++k)
                    record[3 + k] = bitsOf(attributes.normals[3 * n + k]);
                next = 6;
            }
            if (corner.texcoord_index >= 0 && 2 * t + 1 < attributes.texcoords.size()) {
                record[next] = bitsOf(-attributes.texcoords[2 * t]);
                record[next + 1] = bitsOf(-attributes.texcoords[2 * t + 1]);
            }
            records.insert(record);
        }
    }
    return std::to_string(triangles) + " " + std::to_string(records.size()) + " " + std::to_string(materials.size());
}

std::string countAssimp(const std::string& path)
{
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, aiProcess_Triangulate);
    if (!scene)
        return std::string("error: ") + importer.GetErrorString();
    std::size_t triangles = 0;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m)
        for (unsigned f = 0; f < scene->mMeshes[m]->mNumFaces; ++f)
            triangles += scene->mMeshes[m]->mFaces[f].mNumIndices == 3;
    return std::to_string(triangles);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: velk-obj-peers <model.obj>...\n";
        return 2;
    }
    for (int i = 1; i < argc; ++i)
        std::cout << argv[i] << "\tvelk " << countOurs(argv[i]) << "\ttinyobjloader " << countTinyobj(argv[i]) << "\tassimp "
                  << countAssimp(argv[i]) << "\n";
    return 0;
}
