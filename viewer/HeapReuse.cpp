// The heap settings of the programs.
#include "viewer/HeapReuse.h"

#include "engine/CMemoryPages.h"

#include <cstdlib>                                     // defines __GLIBC__ with the C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void keepFreedMemoryForReuse()
{
#if defined(__GLIBC__)
    // 32 MiB is the largest mapping threshold the C library accepts on 64-bit systems;
    // larger blocks still get mappings of their own and go back to the system when freed.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    // Fewer, larger steps when the heap grows.
    mallopt(M_TOP_PAD, 16 << 20);
    // The heap's first stretch, grown at once and advised for huge pages, then freed: the
    // driver's many blocks while drawing are carved from it and fault in 2 MiB at a time
    // rather than 4 KiB. A larger stretch drew a large model faster still but raised its
    // peak memory by a quarter; this one leaves it as it was.
    const std::size_t kStretch = std::size_t(128) << 20;
    mallopt(M_MMAP_MAX, 0);
    void* stretch = std::malloc(kStretch);
    mallopt(M_MMAP_MAX, 65536);                      // the library's default again
    VELK::CMemoryPages::adviseHuge(stretch, kStretch);
    std::free(stretch);
#endif
}
