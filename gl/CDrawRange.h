#pragma once
// The triangles of one material group: a run of the index buffer.

#include <cstdint>

namespace VELK_GL
{

struct CDrawRange
{
    std::int32_t firstIndex;                           // counted in indices, not bytes
    std::int32_t triangleCount;                        // the group covers 3 x triangleCount indices
};

} // namespace VELK_GL
