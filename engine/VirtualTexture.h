#pragma once
// A device texture: a resource with a size in texels.

#include "engine/CResource.h"
#include "math/CMyVector.h"

namespace VELK
{

class VirtualTexture : public CResource
{
public:
    VirtualTexture() = default;                        // size (0, 0, 0)
    ~VirtualTexture() override = default;

    CMyVector<int, 3> size;                            // width, height, depth; depth 0 for a 2-D texture
};

} // namespace VELK
