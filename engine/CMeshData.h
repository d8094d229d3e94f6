#pragma once
// A loaded model in memory: interleaved vertices, triangle indices, the vertex layout and
// the material subsets of the index array.

#include <cstdint>
#include <string>
#include <vector>

#include "math/CMyVector.h"

struct CVertexElement
{
    // Codes of format: the components of one attribute. The float codes are their float
    // counts, and the GL side takes a texture target from them.
    enum Format : std::uint32_t
    {
        FORMAT_NONE = 0,                               // ends a list
        FORMAT_FLOAT1 = 1, FORMAT_FLOAT2 = 2, FORMAT_FLOAT3 = 3, FORMAT_FLOAT4 = 4,
        FORMAT_UBYTE4 = 5,                             // four unsigned bytes
        FORMAT_COLOUR = 6,                             // four unsigned bytes as well
        FORMAT_COUNT = 7
    };

    // Codes of usage: what an attribute is. Every code from USAGE_TEXCOORD to
    // USAGE_TEXCOORD_LAST is a texture coordinate for texture unit usageIndex.
    enum Usage : std::uint32_t
    {
        USAGE_NONE = 0,                                // ends a list
        USAGE_POSITION = 1, USAGE_NORMAL = 2, USAGE_COLOUR = 3,
        USAGE_TEXCOORD = 4,
        USAGE_TEXCOORD_SHIFTED = 5,                    // takes its texture target one format step further
        USAGE_TEXCOORD_LAST = 9
    };

    std::uint32_t offset;                              // bytes into the vertex record
    std::uint32_t format;                              // a Format code
    std::uint32_t usage;                               // a Usage code
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
    std::string maskFile;                              // map_d as written: where it is below one half, nothing is drawn
};

class CMeshData
{
public:
    CMeshData();
    ~CMeshData();
    CMeshData(const CMeshData&) = delete;
    CMeshData& operator=(const CMeshData&) = delete;

    void addSubset(const std::string& name, const CMaterial& material, std::int32_t firstIndex,
                   std::int32_t triangleCount, const std::string& textureFile,
                   const std::string& maskFile = std::string());
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
    std::vector<std::string> libraries;                // the paths of the material libraries read, in reading order
};
