#pragma once
// One material of a library, as "newmtl" starts it.

#include <string>

#include "engine/CMeshData.h"

namespace VELK
{

struct CObjMaterial
{
    std::string name;                                  // newmtl
    CMaterial material;                                // Ka, Kd, Ks with the alpha current then; Ns
    std::string textureFile;                           // map_Kd; back slashes turned to '/'; empty for none
    std::string maskFile = std::string();              // map_d, the same way
};

} // namespace VELK
