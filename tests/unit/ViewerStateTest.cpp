// Camera steps and drag rotation in the viewer's exact float arithmetic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "viewer/ViewerState.h"

TEST(ViewerCamera, UpAndDownStepByTheSinglePrecisionTenth)
{
    EXPECT_EQ(stepCameraDistance(4.0f, kKeyUp), static_cast<float>(4.0 - 0.10000000149011612));
    EXPECT_EQ(stepCameraDistance(4.0f, kKeyUp), 3.9f);
    EXPECT_EQ(stepCameraDistance(4.0f, kKeyDown), 4.1f);
    EXPECT_EQ(stepCameraDistance(stepCameraDistance(4.0f, kKeyUp), kKeyDown), 4.0f);
}

TEST(ViewerCamera, OtherSpecialKeysLeaveTheDistance)
{
    for (int key : {100, 102, 104, 105, 106, 1, 12})
        EXPECT_EQ(stepCameraDistance(4.0f, key), 4.0f) << key;
}

TEST(ViewerCamera, UpNeverBringsTheEyeCloserThanATenth)
{
    float distance = 4.0f;
    for (int i = 0; i < 100; ++i)
        distance = stepCameraDistance(distance, kKeyUp);
    EXPECT_EQ(distance, kMinCameraDistance);
    EXPECT_GT(stepCameraDistance(distance, kKeyDown), kMinCameraDistance);
}

TEST(ViewerCamera, DownHasNoUpperBound)
{
    float distance = 4.0f;
    for (int i = 0; i < 10000; ++i)
        distance = stepCameraDistance(distance, kKeyDown);
    EXPECT_GT(distance, 1000.0f);
}

class ViewerDrag : public testing::Test
{
protected:
    void SetUp() override
    {
        rotationY = 0.0f;
        rotationZ = 0.0f;
        dragging = false;
    }
};

TEST_F(ViewerDrag, HundredPixelsRightTurnsOneDegreePerEvent)
{
    pressLeftButton(200, 300);
    dragTo(300, 300);
    EXPECT_EQ(rotationY, 1.0f);
    dragTo(300, 300);
    EXPECT_EQ(rotationY, 2.0f);
    EXPECT_EQ(rotationZ, 0.0f);
}

TEST_F(ViewerDrag, BackAtThePressPointStopsTurning)
{
    pressLeftButton(200, 300);
    dragTo(300, 300);
    dragTo(200, 300);
    dragTo(200, 300);
    EXPECT_EQ(rotationY, 1.0f);
}

TEST_F(ViewerDrag, HundredPixelsDownSubtractsOneDegreeFromZ)
{
    pressLeftButton(10, 10);
    dragTo(10, 110);
    EXPECT_EQ(rotationZ, -1.0f);
    EXPECT_EQ(rotationY, 0.0f);
}

TEST_F(ViewerDrag, ProductIsFormedInDoublePrecision)
{
    pressLeftButton(0, 0);
    dragTo(37, -3);
    EXPECT_EQ(rotationY, static_cast<float>(37 * 0.009999999776482582));
    EXPECT_EQ(rotationZ, static_cast<float>(3 * 0.009999999776482582));
}

TEST_F(ViewerDrag, MotionWithoutPressOrAfterReleaseDoesNothing)
{
    dragTo(500, 500);
    EXPECT_EQ(rotationY, 0.0f);
    pressLeftButton(0, 0);
    releaseLeftButton();
    dragTo(500, 500);
    EXPECT_EQ(rotationY, 0.0f);
    EXPECT_EQ(rotationZ, 0.0f);
}

TEST_F(ViewerDrag, NewPressReanchorsAndKeepsTheAngles)
{
    pressLeftButton(0, 0);
    dragTo(100, 0);
    pressLeftButton(100, 0);
    dragTo(100, 0);
    EXPECT_EQ(rotationY, 1.0f);
    EXPECT_EQ(dragAnchorX, 100);
}

TEST(ViewerCamera, FramedStepsAreTheirOwnAndStopAtTheClosest)
{
    EXPECT_EQ(stepCameraDistance(0.05f, kKeyUp, 0.002f, 0.002f), static_cast<float>(0.05f - static_cast<double>(0.002f)));
    EXPECT_EQ(stepCameraDistance(0.003f, kKeyUp, 0.002f, 0.002f), 0.002f);
    EXPECT_EQ(framedStep(4.0), 0.1f);
}

TEST(ViewerFraming, BoundsTakeFinitePositionsOnly)
{
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    // Records of four floats: the fourth is not a coordinate.
    const float records[] = {1, 2, 3, 99, -3, 2, 6, 99, nan, 0, 0, 0, 0, inf, 0, 0};
    const ModelBounds bounds = measureBounds(records, 4, 4);
    EXPECT_TRUE(bounds.known);
    EXPECT_EQ(std::vector<double>(bounds.centre, bounds.centre + 3), (std::vector<double>{-1.0, 2.0, 4.5}));
    EXPECT_EQ(bounds.radius, 2.5);
    EXPECT_EQ(measureBounds(records, 1, 4).radius, 1.0);          // one point
    EXPECT_FALSE(measureBounds(records + 8, 2, 4).known);         // nothing finite
    const float huge[] = {-1e30f, 0, 0, 1e30f, 0, 0};
    EXPECT_TRUE(measureBounds(huge, 2, 3).known);                 // drawn scaled to a unit size
}

// Pixels from the picture's centre to the outline of a sphere about the origin, seen from
// the eye at (d, d, 0) with the vertical field of 45 degrees, in a window of the height.
double outlinePixels(double radius, double d, double height)
{
    return std::tan(std::asin(radius / (d * std::sqrt(2.0)))) / std::tan(M_PI / 8) * height / 2;
}

TEST(ViewerFraming, SphereTouchesTheNearerEdge)
{
    // The model's sphere with the tenth of its radius the view keeps as margin reaches the
    // nearer edge of the window to within a pixel: in a wide window the top, in a tall one
    // the sides.
    for (const auto& [width, height] : {std::pair{1024.0, 768.0}, std::pair{400.0, 800.0}}) {
        for (double radius : {1e-3, 1.0, 5e4}) {
            const double d = fittingDistance(radius, width / height);
            EXPECT_NEAR(outlinePixels(1.1 * radius, d, height), std::min(width, height) / 2, 1.0)
                << width << "x" << height << ", radius " << radius;
        }
    }
}
