// Fixed-size arrays, points and vectors: zeroing, copies, component lists, element layout.
#include <gtest/gtest.h>

#include <type_traits>
#include <utility>

#include "math/CMyVector.h"

namespace
{

template <class C>
class AllLevels : public testing::Test
{
};

// The three levels of each of the three instantiations.
using Levels = testing::Types<CMyArray<float, 4>, CMyPoint<float, 4>, CMyVector<float, 4>,
                              CMyArray<int, 2>, CMyPoint<int, 2>, CMyVector<int, 2>,
                              CMyArray<int, 3>, CMyPoint<int, 3>, CMyVector<int, 3>>;
TYPED_TEST_SUITE(AllLevels, Levels);

template <class T, std::size_t N>
constexpr std::size_t countOf(const CMyArray<T, N>&) { return N; }

template <class C>
using ElementOf = std::remove_reference_t<decltype(std::declval<C&>()[0])>;

} // namespace

TYPED_TEST(AllLevels, DefaultHoldsOnlyZeros)
{
    const TypeParam value;
    for (std::size_t i = 0; i < countOf(value); ++i)
        EXPECT_EQ(value[i], 0) << "element " << i;
}

TYPED_TEST(AllLevels, CopiesAreIndependentOfTheirSource)
{
    using Element = ElementOf<TypeParam>;
    TypeParam source;
    for (std::size_t i = 0; i < countOf(source); ++i)
        source[i] = static_cast<Element>(i + 1);
    TypeParam copied(source);
    TypeParam assigned;
    assigned = source;
    copied[0] = 100;
    assigned[1] = 200;
    for (std::size_t i = 0; i < countOf(source); ++i) {
        EXPECT_EQ(source[i], static_cast<Element>(i + 1));
        EXPECT_EQ(copied[i], static_cast<Element>(i == 0 ? 100 : i + 1));
        EXPECT_EQ(assigned[i], static_cast<Element>(i == 1 ? 200 : i + 1));
    }
}

TEST(CMyVector, EachLevelHasItsOwnRunTimeType)
{
    using Vector = CMyVector<int, 2>;
    using Point = CMyPoint<int, 2>;
    Vector vector;
    CMyArray<int, 2>& asArray = vector;
    Point point;
    CMyArray<int, 2>& pointAsArray = point;
    // Seen through the storage level, a vector is found again, and a point is not taken for one.
    EXPECT_EQ(dynamic_cast<Vector*>(&asArray), &vector);
    EXPECT_EQ(dynamic_cast<Vector*>(&pointAsArray), nullptr);
    EXPECT_EQ(dynamic_cast<Point*>(&pointAsArray), &point);
}

TEST(CMyVector, FloatComponentsSurviveTheirPromotionExactly)
{
    const CMyVector<float, 4> colour(0.1f, 0.7f, 0.2f, 1.0f);
    EXPECT_EQ(colour[0], 0.1f);
    EXPECT_EQ(colour[1], 0.7f);
    EXPECT_EQ(colour[2], 0.2f);
    EXPECT_EQ(colour[3], 1.0f);
}

TEST(CMyVector, IntComponentsAreTakenInOrder)
{
    const CMyVector<int, 3> texture(640, 480, 0);
    EXPECT_EQ(texture[0], 640);
    EXPECT_EQ(texture[1], 480);
    EXPECT_EQ(texture[2], 0);
    const CMyVector<int, 2> picture(-3, 2);
    EXPECT_EQ(picture[0], -3);
    EXPECT_EQ(picture[1], 2);
}

TEST(CMyVector, SetReplacesEveryComponent)
{
    CMyVector<int, 3> size(1, 2, 3);
    size.set(4, 5, 6);
    EXPECT_EQ(size[0], 4);
    EXPECT_EQ(size[1], 5);
    EXPECT_EQ(size[2], 6);

    CMyVector<float, 4> colour(0.9f, 0.9f, 0.9f, 0.9f);
    // Doubles are what a float component list carries; they narrow like a plain conversion.
    colour.set(0.2f, 0.8, 0.3, 1.0);
    EXPECT_EQ(colour[0], 0.2f);
    EXPECT_EQ(colour[1], static_cast<float>(0.8));
    EXPECT_EQ(colour[2], static_cast<float>(0.3));
    EXPECT_EQ(colour[3], 1.0f);
}

TEST(CMyVector, ElementAddressPointsAtRedGreenBlueAlpha)
{
    CMyVector<float, 4> colour(0.25f, 0.5f, 0.75f, 1.0f);
    const float* rgba = colour.data();
    EXPECT_EQ(rgba, &colour[0]);
    EXPECT_EQ(rgba + 3, &colour[3]);
    EXPECT_EQ(rgba[0], 0.25f);
    EXPECT_EQ(rgba[1], 0.5f);
    EXPECT_EQ(rgba[2], 0.75f);
    EXPECT_EQ(rgba[3], 1.0f);
    colour.data()[2] = 0.125f;
    EXPECT_EQ(colour[2], 0.125f);
}
