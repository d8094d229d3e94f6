// The in-memory picture: sizes per layout, deep copies, self- and zero-sized assignment,
// and row flipping.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "engine/CPicture.h"
#include "tests/support/RowNames.h"

namespace
{

using testsupport::operator<<;

using Bytes = std::vector<unsigned char>;

Bytes bytesOf(const CPicture& picture)
{
    return picture.pixels ? Bytes(picture.pixels, picture.pixels + picture.byteCount()) : Bytes{};
}

Bytes counting(std::size_t count)
{
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<unsigned char>(i + 1);
    return bytes;
}

CPicture picture(int width, int height, int format, const Bytes& source)
{
    return CPicture(CMyVector<int, 2>(width, height), format, source.empty() ? nullptr : source.data());
}

struct Layout
{
    const char* name;
    int format;
    std::size_t bytesPerPixel;
};
const Layout kLayouts[] = {
    {"bgr", CPicture::FORMAT_BGR, 3},
    {"bgra", CPicture::FORMAT_BGRA, 4},
    {"luminance", CPicture::FORMAT_LUMINANCE, 1},
    {"unknown", 7, 0},
    {"negative", -1, 0},
};

class PictureLayout : public testing::TestWithParam<Layout> {};

TEST_P(PictureLayout, HoldsWidthTimesHeightTimesBytesPerPixel)
{
    const Layout& layout = GetParam();
    const Bytes source = counting(3 * 2 * 4);
    const CPicture copied = picture(3, 2, layout.format, source);
    EXPECT_EQ(copied.byteCount(), 6 * layout.bytesPerPixel);
    EXPECT_EQ(bytesOf(copied), Bytes(source.begin(), source.begin() + 6 * layout.bytesPerPixel));

    const CPicture zeroed = picture(3, 2, layout.format, {});
    EXPECT_EQ(bytesOf(zeroed), Bytes(6 * layout.bytesPerPixel, 0));
    EXPECT_EQ(CPicture::bytesPerPixel(layout.format), layout.bytesPerPixel);
}

INSTANTIATE_TEST_SUITE_P(Formats, PictureLayout, testing::ValuesIn(kLayouts), testsupport::RowName());

TEST(Picture, UnknownFormatOrEmptySizeHoldsNoBytes)
{
    for (const CMyVector<int, 2>& size : {CMyVector<int, 2>(0, 5), CMyVector<int, 2>(5, 0),
                                          CMyVector<int, 2>(-3, 2), CMyVector<int, 2>(3, -2)}) {
        const CPicture empty(size, CPicture::FORMAT_BGRA, nullptr);
        EXPECT_EQ(empty.byteCount(), 0u);
        EXPECT_EQ(empty.pixels, nullptr);
    }
    EXPECT_EQ(picture(2, 2, 7, counting(16)).pixels, nullptr);
}

TEST(Picture, CopiesAreDeep)
{
    CPicture original = picture(2, 2, CPicture::FORMAT_BGR, counting(12));
    CPicture copy(original);
    CPicture assigned = picture(1, 1, CPicture::FORMAT_LUMINANCE, {9});
    assigned = original;

    original.pixels[0] = 200;
    original.pixels[11] = 201;
    for (const CPicture* other : {&copy, &assigned}) {
        EXPECT_EQ(other->size[0], 2);
        EXPECT_EQ(other->size[1], 2);
        EXPECT_EQ(other->format, CPicture::FORMAT_BGR);
        EXPECT_EQ(bytesOf(*other), counting(12));
        EXPECT_NE(other->pixels, original.pixels);
    }
}

TEST(Picture, SelfAssignmentKeepsTheBytes)
{
    CPicture same = picture(3, 1, CPicture::FORMAT_BGRA, counting(12));
    CPicture& alias = same;
    same = alias;
    EXPECT_EQ(bytesOf(same), counting(12));

    CPicture empty(CMyVector<int, 2>(0, 0), CPicture::FORMAT_BGR, nullptr);
    CPicture& emptyAlias = empty;
    empty = emptyAlias;
    EXPECT_EQ(empty.pixels, nullptr);
}

TEST(Picture, ZeroSizedPicturesCopyBothWays)
{
    const CPicture empty(CMyVector<int, 2>(0, 4), CPicture::FORMAT_BGR, nullptr);
    CPicture copy(empty);
    EXPECT_EQ(copy.pixels, nullptr);
    EXPECT_EQ(copy.size[1], 4);

    CPicture full = picture(2, 1, CPicture::FORMAT_BGR, counting(6));
    full = empty;
    EXPECT_EQ(full.pixels, nullptr);
    EXPECT_EQ(full.byteCount(), 0u);

    copy = picture(2, 1, CPicture::FORMAT_BGR, counting(6));
    EXPECT_EQ(bytesOf(copy), counting(6));
}

TEST(Picture, FlipOfOneRowChangesNothing)
{
    CPicture row = picture(4, 1, CPicture::FORMAT_BGR, counting(12));
    row.flipVertical();
    EXPECT_EQ(bytesOf(row), counting(12));
}

TEST(Picture, FlipOfThreeRowsSwapsTheOuterRowsWholly)
{
    // Two BGR pixels per row: rows 1..6, 7..12, 13..18.
    CPicture rows = picture(2, 3, CPicture::FORMAT_BGR, counting(18));
    rows.flipVertical();
    EXPECT_EQ(bytesOf(rows), (Bytes{13, 14, 15, 16, 17, 18, 7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6}));
}

TEST(Picture, FlipOfFourRowsReversesThem)
{
    CPicture rows = picture(1, 4, CPicture::FORMAT_BGRA, counting(16));
    rows.flipVertical();
    EXPECT_EQ(bytesOf(rows), (Bytes{13, 14, 15, 16, 9, 10, 11, 12, 5, 6, 7, 8, 1, 2, 3, 4}));
    rows.flipVertical();
    EXPECT_EQ(bytesOf(rows), counting(16));
}

TEST(Picture, MaskGivesItsAlphaOrGreyFromTheNearestPixel)
{
    // Two BGR pixels by one, masked by a 1 x 1 BGRA, a 1 x 2 grey and a 2 x 1 BGR picture
    // (grey 76 for pure red, 150 for pure green); a grey picture's colours masked by those two.
    const CPicture colours = picture(2, 1, CPicture::FORMAT_BGR, counting(6));
    EXPECT_EQ(bytesOf(colours.withMask(picture(1, 1, CPicture::FORMAT_BGRA, {0, 0, 0, 99}))),
              (Bytes{1, 2, 3, 99, 4, 5, 6, 99}));
    EXPECT_EQ(bytesOf(colours.withMask(picture(1, 2, CPicture::FORMAT_LUMINANCE, {7, 8}))), (Bytes{1, 2, 3, 7, 4, 5, 6, 7}));
    EXPECT_EQ(bytesOf(colours.withMask(picture(2, 1, CPicture::FORMAT_BGR, {0, 0, 255, 0, 255, 0}))),
              (Bytes{1, 2, 3, 76, 4, 5, 6, 150}));
    EXPECT_EQ(bytesOf(picture(1, 1, CPicture::FORMAT_LUMINANCE, {5}).withMask(colours)), (Bytes{5, 5, 5, 2}));
}

TEST(Picture, FlipOfAnEmptyPictureDoesNothing)
{
    CPicture empty(CMyVector<int, 2>(0, 3), CPicture::FORMAT_LUMINANCE, nullptr);
    empty.flipVertical();
    EXPECT_EQ(empty.pixels, nullptr);
}

} // namespace
