#pragma once
// A loaded model in memory: interleaved vertices, triangle indices, the vertex layout and
// the material subsets of the index array.

#include <cstdint>
#include <string>
#include <vector>

#include "math/CMyVector.h"

struct CVertexElement
{
    std::uint32_t offset;                              // bytes into the vertex record
    std::uint32_t format;                              // 2, 3: that many 32-bit floats; 0 ends a list
    std::uint32_t usage;                               // 1 position, 2 normal, 4 texture coordinate; 0 ends a list
    std::uint32_t usageIndex;                          // texture unit for texture coordinates
};
static_assert(sizeof(CVertexElement) == 16, "a layout entry is four 32-bit fields");

class CMaterial
{
public:
    CMaterial();                                       // ambient 0.1, diffuse 0.7, specular 0.2, emission 0, alpha 1, shininess 10

    CMyVector<float, 4> ambient;                       // Ka
    CMyVector<float, 4> diffuse;                       // Kd
    CMyVector<float, 4> specular;                      // Ks
    CMyVector<float, 4> emission;
    float shininess;                                   // Ns
};

struct CMeshSubset
{
    std::string name;                                  // newmtl
    CMaterial material;
    std::string textureFile;                           // map_Kd as written; empty for none
    std::int32_t firstIndex;                           // counted in indices
    std::int32_t triangleCount;
};

class CMeshData
{
public:
    CMeshData();
    ~CMeshData();
    CMeshData(const CMeshData&) = delete;
    CMeshData& operator=(const CMeshData&) = delete;

    void addSubset(const std::string& name, const CMaterial& material, std::int32_t firstIndex,
                   std::int32_t triangleCount, const std::string& textureFile);
    void release();                                    // frees the arrays; indexSize keeps its value

    CVertexElement* vertexElements;                    // owned; ends with the all-zero entry
    std::uint32_t vertexSize;                          // bytes per vertex (32)
    std::uint32_t indexSize;                           // bytes per index (4)
    std::uint32_t vertexCount;
    std::uint32_t indexCount;                          // a multiple of 3
    std::uint32_t vertexElementCount;                  // terminator included
    float* vertices;                                   // owned, vertexCount x vertexSize bytes
    std::uint32_t* indices;                            // owned, indexCount values
    std::vector<CMeshSubset> subsets;                  // library order
};
