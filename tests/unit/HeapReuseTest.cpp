// The programs' heap settings: a large freed block stays in the heap for the next request.
#include <gtest/gtest.h>

#include <cstdlib>
#include <malloc.h>

#include "viewer/HeapReuse.h"

TEST(HeapReuse, ALargeBlockComesFromTheHeapAndStaysThereWhenFreed)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator stands in for the C library's heap";
#endif
    keepFreedMemoryForReuse();
    const std::size_t bytes = 8u << 20;               // far above the library's default mapping threshold
    const struct mallinfo2 before = mallinfo2();
    EXPECT_GE(before.fordblks, 128u << 20);           // the first stretch waits, free
    void* block = std::malloc(bytes);
    ASSERT_NE(block, nullptr);
    const struct mallinfo2 held = mallinfo2();
    std::free(block);
    const struct mallinfo2 after = mallinfo2();
    EXPECT_EQ(held.hblkhd, before.hblkhd);            // no mapping of its own
    EXPECT_EQ(after.arena, held.arena);               // the heap did not shrink
    EXPECT_GE(after.fordblks, bytes);                 // and holds the block, free
}
