// Loads the model named on the command line through the installed engine and prints its counts.
#include <iostream>
#include <memory>

#include "engine/CMeshData.h"
#include "engine/CObjLoader.h"

int main(int argc, char** argv)
{
    VELK::CObjLoader loader;
    std::unique_ptr<CMeshData> mesh(static_cast<CMeshData*>(loader.loadFromFile(argc > 1 ? argv[1] : "")));
    std::cout << mesh->vertexCount << " vertices, " << mesh->indexCount / 3 << " triangles, " << mesh->subsets.size()
              << " materials\n";
    return 0;
}
