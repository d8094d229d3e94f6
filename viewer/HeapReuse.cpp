// The heap settings of the programs.
#include "viewer/HeapReuse.h"

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
#endif
}
