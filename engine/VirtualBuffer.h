#pragma once
// A device buffer of fixed-size elements, filled by mapping it into memory.

#include <cstdint>

namespace VELK
{

class VirtualBuffer
{
public:
    virtual ~VirtualBuffer() = default;

    // usage and access are the device's own codes (for OpenGL its usage hints and access
    // modes); the engine passes them through untouched.
    virtual void create(std::uint32_t count, std::uint32_t elementSize, std::uint32_t usage) = 0;
    virtual bool release() = 0;                        // false when there was nothing to release
    virtual void* lock(std::uint32_t firstElement, std::uint32_t access) = 0;  // null: not mapped, write nothing
    virtual bool unlock() = 0;                         // false: the contents were lost while mapped
};

} // namespace VELK
