#pragma once
// What the memory tracker knows about one live block: its size and where it was allocated.

#include <cstdint>

namespace DEBUGGING
{

class CAllocationRecord
{
public:
    // A file name longer than 255 characters keeps its first 255; null counts as empty.
    CAllocationRecord(std::uint32_t size, const char* file, std::uint32_t line);

    std::uint32_t size;                                // bytes
    char file[256];                                    // null-terminated source file name
    std::uint32_t line;
};

inline CAllocationRecord::CAllocationRecord(std::uint32_t size, const char* file, std::uint32_t line)
    : size(size), file{}, line(line)
{
    // Copied by hand rather than with strncpy: the source may be shorter than the array
    // and need not be terminated within 256 bytes, so read no further than needed.
    if (!file)
        return;
    for (std::uint32_t i = 0; i + 1 < sizeof(this->file) && file[i] != '\0'; ++i)
        this->file[i] = file[i];
}

} // namespace DEBUGGING
