#pragma once
// A stretch of faces under one "usemtl" name, up to the next "usemtl" line.

#include <cstdint>
#include <string>

namespace VELK
{

struct CMaterialRun
{
    std::string name;                                  // usemtl; exact compare
    std::int32_t firstIndex;                           // triangle corners emitted before it
    std::uint32_t firstFace;                           // faces of three corners or more before it
};

} // namespace VELK
