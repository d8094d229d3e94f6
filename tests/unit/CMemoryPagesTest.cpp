// Blocks for large arrays: usable to their last byte whatever their size, those of huge
// pages aligned to one, and handed back with the size they were asked with.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "engine/CHugePageAllocator.h"
#include "engine/CMemoryPages.h"
#include "tests/support/RowNames.h"

namespace
{

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
    unsigned char* block = static_cast<unsigned char*>(VELK::CMemoryPages::allocate(bytes));
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(!GetParam().hugeAligned || reinterpret_cast<std::uintptr_t>(block) % (2u << 20) == 0);
    std::memset(block, 0xA5, bytes);
    EXPECT_EQ(block[0], 0xA5);
    EXPECT_EQ(block[bytes - 1], 0xA5);
    VELK::CMemoryPages::release(block, bytes);
}

INSTANTIATE_TEST_SUITE_P(Sizes, MemoryBlock, testing::ValuesIn(kBlocks), testsupport::RowName());

TEST(HugeVector, KeepsItsElementsAsItGrowsThroughMappedBlocks)
{
    VELK::CHugeVector<std::uint32_t> numbers;
    for (std::uint32_t i = 0; i < (3u << 20); ++i)
        numbers.push_back(i * 7u);
    ASSERT_EQ(numbers.size(), 3u << 20);
    EXPECT_EQ(numbers[12345], 12345u * 7u);
    EXPECT_EQ(numbers.back(), ((3u << 20) - 1) * 7u);
    numbers.resize(5);
    numbers.resize(8, 9u);                             // a given value is still written
    EXPECT_EQ(numbers[7], 9u);
}

} // namespace
