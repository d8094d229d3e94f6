// Fuzzes the OBJ reader, the MTL reader and the mesh builder. The input is an OBJ text,
// optionally followed by the marker line "=mtl=" and the text of the material library
// that the model's first "mtllib" line is given.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "debugging/CException.h"
#include "debugging/CLogManager.h"
#include "engine/CMeshNormals.h"
#include "engine/CObjLoader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Rejections would otherwise pile up in global.log for the whole run.
    DEBUGGING::CLogManager::getInstance().shutdown();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string marker = "\n=mtl=\n";
    const std::size_t split = input.find(marker);
    const std::string obj = input.substr(0, split);
    const std::string mtl = split == std::string::npos ? std::string() : input.substr(split + marker.size());

    // One library, handed out once, as one file on disk would be read once.
    int libraryReads = 0;
    const VELK::CObjLoader::FileReader readFile = [&](const std::string&, std::string& text) {
        if (split == std::string::npos || libraryReads++ > 0)
            return false;
        text = mtl;
        return true;
    };

    VELK::CObjLoader loader;
    try {
        CMeshData* mesh = loader.loadFromText("fuzz/model.obj", obj, readFile);
        // The mesh's promises: every index names a vertex, subsets cover the indices in order.
        for (std::uint32_t i = 0; i < mesh->indexCount; ++i) {
            if (mesh->indices[i] >= mesh->vertexCount)
                std::abort();
        }
        std::uint64_t next = 0;
        for (const CMeshSubset& subset : mesh->subsets) {
            if (subset.firstIndex < 0 || static_cast<std::uint64_t>(subset.firstIndex) != next)
                std::abort();
            next += 3 * static_cast<std::uint64_t>(subset.triangleCount);
        }
        if (!mesh->subsets.empty() && next != mesh->indexCount)
            std::abort();
        // Computed normals: every mesh of the loader is one they read, and all normals end finite.
        if (!VELK::CMeshNormals::fillMissing(*mesh))
            std::abort();
        for (std::uint32_t v = 0; v < mesh->vertexCount; ++v) {
            for (int i = 3; i < 6; ++i) {
                if (!std::isfinite(mesh->vertices[8 * v + i]))
                    std::abort();
            }
        }
        delete mesh;
    } catch (const DEBUGGING::CException&) {
    }
    return 0;
}
