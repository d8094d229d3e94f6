// Cutting faces into triangles: the fan where it fits the outline, ear clipping where it does not.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

#include "engine/CFaceTriangulator.h"
#include "tests/support/RowNames.h"

namespace
{

using Indices = std::vector<std::uint32_t>;

struct CCut
{
    bool clipped;
    Indices triangles;
};

// Corners in the plane z = 0, as x, y pairs.
std::vector<float> flat(const std::vector<float>& xy)
{
    std::vector<float> xyz;
    for (std::size_t k = 0; k + 1 < xy.size(); k += 2)
        xyz.insert(xyz.end(), {xy[k], xy[k + 1], 0.0f});
    return xyz;
}

CCut cut(const std::vector<float>& xyz)
{
    const std::uint32_t count = static_cast<std::uint32_t>(xyz.size() / 3);
    Indices corners(count);
    std::iota(corners.begin(), corners.end(), 0u);
    CCut result{false, Indices(3 * (count - 2))};
    result.clipped = VELK::CFaceTriangulator().triangulate(xyz.data(), 3, corners.data(), count, result.triangles.data());
    return result;
}

// Twice the signed area in the plane z = 0.
double area(const std::vector<float>& xyz, const Indices& outline)
{
    double sum = 0.0;
    for (std::size_t k = 0; k < outline.size(); ++k) {
        const std::uint32_t a = outline[k];
        const std::uint32_t b = outline[(k + 1) % outline.size()];
        sum += static_cast<double>(xyz[3 * a]) * xyz[3 * b + 1] - static_cast<double>(xyz[3 * b]) * xyz[3 * a + 1];
    }
    return sum;
}

// The triangles fill the outline exactly: each turns the outline's way, and together they
// cover its area.
void expectFillsOutline(const std::vector<float>& xyz, const Indices& triangles)
{
    Indices outline(xyz.size() / 3);
    std::iota(outline.begin(), outline.end(), 0u);
    const double whole = area(xyz, outline);
    double sum = 0.0;
    for (std::size_t t = 0; t < triangles.size(); t += 3) {
        const double part = area(xyz, {triangles[t], triangles[t + 1], triangles[t + 2]});
        EXPECT_GE(part * whole, 0.0) << "triangle " << t / 3;
        sum += part;
    }
    EXPECT_NEAR(sum, whole, 1e-9 * std::fabs(whole));
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const std::vector<float> kNotch = flat({0, 0, 1, 1, 2, 0, 2, 2, 0, 2});  // the bottom edge pushed in at corner 1
const Indices kFan5 = {0, 1, 2, 0, 2, 3, 0, 3, 4};

struct Face
{
    const char* name;
    std::vector<float> xyz;
    bool clipped;
    Indices triangles;
};

const Face kFaces[] = {
    {"notch", kNotch, true, {1, 2, 3, 1, 3, 4, 1, 4, 0}},
    // The same outline in the plane x = 0, seen from the other side.
    {"notchTurnedAndMirrored", {0, 0, 0, 0, 1, 1, 0, 0, 2, 0, 2, 2, 0, 2, 0}, true, {1, 2, 3, 1, 3, 4, 1, 4, 0}},
    {"quadConcaveAtCorner1", flat({0, 2, 1, 1, 0, 0, 2, 1}), true, {1, 2, 3, 1, 3, 0}},
    // A square around a square hole, reached through a cut whose two sides coincide.
    {"holeThroughACut", flat({0, 0, 4, 0, 4, 4, 0, 4, 0, 0, 1, 1, 1, 3, 3, 3, 3, 1, 1, 1}), true,
     {3, 4, 5, 3, 5, 6, 3, 6, 7, 8, 9, 0, 8, 0, 1, 8, 1, 2, 2, 3, 7, 2, 7, 8}},
    {"quadConcaveAtCorner0", flat({1, 1, 0, 0, 2, 1, 0, 2}), false, {0, 1, 2, 0, 2, 3}},
    {"convexWithACornerOnAnEdge", flat({0, 0, 1, 0, 2, 0, 2, 2, 0, 2}), false, kFan5},
    {"collinear", flat({0, 0, 1, 0, 3, 0, 2, 0, 5, 0}), false, kFan5},
    {"allCornersEqual", flat({1, 1, 1, 1, 1, 1, 1, 1, 1, 1}), false, kFan5},
    {"selfIntersecting", flat({0, 0, 2, 2, 2, 0, 0, 2, 1, -1}), false, kFan5},
    {"notFinite", flat({0, 0, 1, 1, 2, 0, kNaN, 2, 0, 2}), false, kFan5},
};

class FaceCut : public testing::TestWithParam<Face>
{
};

TEST_P(FaceCut, GivesTheseTriangles)
{
    const CCut result = cut(GetParam().xyz);
    EXPECT_EQ(result.clipped, GetParam().clipped);
    EXPECT_EQ(result.triangles, GetParam().triangles);
    if (result.clipped)
        expectFillsOutline(GetParam().xyz, result.triangles);
}

INSTANTIATE_TEST_SUITE_P(Faces, FaceCut, testing::ValuesIn(kFaces), testsupport::RowName());

// A comb of 255 teeth: the largest face that is cut, within its bounded work; one corner
// more and it is fanned.
TEST(FaceCut, LargeFacesAreCutUpToTheLimit)
{
    std::vector<float> xy = {0, 0};
    for (int tooth = 0; tooth < 255; ++tooth)
        xy.insert(xy.end(), {2.0f * tooth + 1, 0, 2.0f * tooth + 1, 10, 2.0f * tooth + 2, 10, 2.0f * tooth + 2, 0});
    xy.insert(xy.end(), {511, 0, 511, -1, 0, -1});
    ASSERT_EQ(xy.size() / 2, VELK::CFaceTriangulator::kMostCorners);
    const CCut comb = cut(flat(xy));
    EXPECT_TRUE(comb.clipped);
    expectFillsOutline(flat(xy), comb.triangles);

    xy.insert(xy.end(), {0, -0.5f});
    EXPECT_FALSE(cut(flat(xy)).clipped);
}

} // namespace
