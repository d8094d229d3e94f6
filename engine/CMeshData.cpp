// The mesh record, its default material and its subsets.
#include "engine/CMeshData.h"

CMaterial::CMaterial() : shininess(10.0f)
{
    ambient.set(0.1f, 0.1f, 0.1f, 1.0f);
    diffuse.set(0.7f, 0.7f, 0.7f, 1.0f);
    specular.set(0.2f, 0.2f, 0.2f, 1.0f);
    emission.set(0.0f, 0.0f, 0.0f, 1.0f);
}

CMeshData::CMeshData()
    : vertexElements(nullptr), vertexSize(0), indexSize(0), vertexCount(0), indexCount(0),
      vertexElementCount(0), vertices(nullptr), indices(nullptr)
{
}

CMeshData::~CMeshData()
{
    release();
}

void CMeshData::addSubset(const std::string& name, const CMaterial& material, std::int32_t firstIndex,
                          std::int32_t triangleCount, const std::string& textureFile, const std::string& maskFile)
{
    subsets.push_back(CMeshSubset{name, material, textureFile, firstIndex, triangleCount, maskFile});
}

void CMeshData::release()
{
    delete[] vertexElements;
    delete[] vertices;
    delete[] indices;
    vertexElements = nullptr;
    vertices = nullptr;
    indices = nullptr;
    vertexSize = 0;
    vertexCount = 0;
    indexCount = 0;
    vertexElementCount = 0;
    subsets.clear();
    libraries.clear();
}
