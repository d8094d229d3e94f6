// The machine's tuning: blocks for large arrays, usable to their last byte whatever their
// size, those of huge pages aligned to one, and handed back to the system; the heap that
// keeps a freed block for the next request.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <sys/resource.h>
#include <unistd.h>

#include "engine/CHugePageAllocator.h"
#include "engine/CSystem.h"
#include "tests/support/RowNames.h"

namespace
{

std::size_t residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    std::size_t size = 0;
    std::size_t resident = 0;
    statm >> size >> resident;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

long minorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Writes every page, in a way the compiler cannot leave out.
void touch(void* block, std::size_t bytes)
{
    volatile char* bytesOf = static_cast<char*>(block);
    for (std::size_t i = 0; i < bytes; i += 4096)
        bytesOf[i] = 1;
}

struct Block
{
    const char* name;
    std::size_t bytes;
    bool hugeAligned;
};

const Block kBlocks[] = {
    {"small", 1000, false},
    {"mappedApart", (1u << 20) + 3, false},
    {"oneHugePage", 2u << 20, true},
    {"manyHugePagesAndABit", (9u << 20) + 5, true},
};

class MemoryBlock : public testing::TestWithParam<Block> {};

TEST_P(MemoryBlock, IsWritableToItsEndAndGoesBack)
{
    const std::size_t bytes = GetParam().bytes;
    unsigned char* block = static_cast<unsigned char*>(VELK::CSystem::allocateBlock(bytes));
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(!GetParam().hugeAligned || reinterpret_cast<std::uintptr_t>(block) % (2u << 20) == 0);
    std::memset(block, 0xA5, bytes);
    EXPECT_EQ(block[0], 0xA5);
    EXPECT_EQ(block[bytes - 1], 0xA5);
    const std::size_t held = residentBytes();
    VELK::CSystem::releaseBlock(block, bytes);
    // A block mapped apart leaves the process the moment it is released; a small one goes
    // back to the heap.
    if (bytes >= VELK::CSystem::kMappedFrom) {
        EXPECT_LE(residentBytes() + bytes * 9 / 10, held);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, MemoryBlock, testing::ValuesIn(kBlocks), testsupport::RowName());

TEST(UninitialisedVector, KeepsItsElementsAsItGrowsThroughMappedBlocks)
{
    VELK::CUninitialisedVector<std::uint32_t> numbers;
    for (std::uint32_t i = 0; i < (3u << 20); ++i)
        numbers.push_back(i * 7u);
    ASSERT_EQ(numbers.size(), 3u << 20);
    EXPECT_EQ(numbers[12345], 12345u * 7u);
    EXPECT_EQ(numbers.back(), ((3u << 20) - 1) * 7u);
    numbers.resize(5);
    numbers.resize(8, 9u);                             // a given value is still written
    EXPECT_EQ(numbers[7], 9u);
}

// What the programs rely on: the load frees blocks of megabytes just before the OpenGL
// driver asks for as much; the heap gives them again with their pages still in place.
TEST(HeapSettings, FreedBlockComesBackWithoutFaultingAgain)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator stands in for the C library's heap";
#endif
    VELK::CSystem::keepFreedMemoryInHeap();
    VELK::CSystem::growHeapInHugePages();
    const std::size_t bytes = 24u << 20;
    void* first = std::malloc(bytes);
    ASSERT_NE(first, nullptr);
    touch(first, bytes);
    std::free(first);
    const long before = minorFaults();
    void* second = std::malloc(bytes);
    ASSERT_NE(second, nullptr);
    touch(second, bytes);
    const long faults = minorFaults() - before;
    std::free(second);
    EXPECT_LT(faults, static_cast<long>(bytes / 4096 / 16));
}

} // namespace
