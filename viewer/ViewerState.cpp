// Viewer state and the camera, drag and framing arithmetic.
#include "viewer/ViewerState.h"

#include <algorithm>
#include <cmath>

float windowWidth = 1024.0f;
float windowHeight = 768.0f;
float cameraDistance = kStartDistance;
float rotationY = 0.0f;
float rotationZ = 0.0f;
std::int32_t dragAnchorX = 0;
std::int32_t dragAnchorY = 0;
bool dragging = false;

ModelBounds modelBounds;
bool framing = false;
float cameraStep = kCameraStep;
float closestDistance = kMinCameraDistance;

namespace
{
constexpr float kDragFactor = 0.01f;
constexpr double kPi = 3.14159265358979323846;
constexpr double kHalfFieldOfView = 22.5 * kPi / 180.0;
constexpr double kFitMargin = 1.1;                     // the sphere fills 1 / 1.1 of the view
constexpr double kDepthMargin = 1.1;                   // planes stand this many radii from the centre
// GLU squares the eye's distance in single precision: beyond these sizes it would overflow
// or vanish, and the view be lost.
constexpr double kLargestRadius = 1e18;
constexpr double kSmallestRadius = 1e-15;
} // namespace

float stepCameraDistance(float distance, int key, float step, float closest)
{
    double next = distance;
    if (key == kKeyUp)
        next = static_cast<double>(distance) - static_cast<double>(step);
    else if (key == kKeyDown)
        next = static_cast<double>(distance) + static_cast<double>(step);
    const float stored = static_cast<float>(next);
    return stored < closest ? closest : stored;
}

float turnByDrag(float angle, int displacement)
{
    return static_cast<float>(static_cast<double>(angle) + displacement * static_cast<double>(kDragFactor));
}

void pressLeftButton(int x, int y)
{
    dragAnchorX = x;
    dragAnchorY = y;
    dragging = true;
}

void releaseLeftButton()
{
    dragging = false;
}

void dragTo(int x, int y)
{
    if (!dragging)
        return;
    rotationY = turnByDrag(rotationY, x - dragAnchorX);
    rotationZ = turnByDrag(rotationZ, -(y - dragAnchorY));
}

ModelBounds measureBounds(const float* records, std::size_t count, std::size_t stride)
{
    ModelBounds bounds;
    double low[3] = {0.0, 0.0, 0.0};
    double high[3] = {0.0, 0.0, 0.0};
    bool any = false;
    for (std::size_t v = 0; records && stride >= 3 && v < count; ++v) {
        const float* p = records + v * stride;
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
            continue;
        for (int i = 0; i < 3; ++i) {
            low[i] = any ? std::min(low[i], static_cast<double>(p[i])) : p[i];
            high[i] = any ? std::max(high[i], static_cast<double>(p[i])) : p[i];
        }
        any = true;
    }
    if (!any)
        return bounds;
    double squared = 0.0;
    for (int i = 0; i < 3; ++i) {
        bounds.centre[i] = low[i] / 2 + high[i] / 2;
        squared += (high[i] - low[i]) * (high[i] - low[i]);
    }
    bounds.radius = std::sqrt(squared) / 2;
    if (bounds.radius == 0.0)
        bounds.radius = 1.0;                           // one point: seen as from the designed distance
    bounds.radius = std::max(bounds.radius, kSmallestRadius);
    bounds.known = bounds.radius <= kLargestRadius;
    return bounds;
}

double fittingDistance(double radius, double aspect)
{
    const double halfWidth = std::atan(std::tan(kHalfFieldOfView) * aspect);
    const double half = aspect > 0.0 ? std::min(kHalfFieldOfView, halfWidth) : kHalfFieldOfView;
    // The eye stands d * sqrt(2) from the centre.
    return radius / std::sin(half) * kFitMargin / std::sqrt(2.0);
}

void clipPlanes(double distance, double radius, double& nearPlane, double& farPlane)
{
    const double eye = distance * std::sqrt(2.0);
    farPlane = eye + radius * kDepthMargin;
    nearPlane = std::max(eye - radius * kDepthMargin, farPlane * 1e-3);
}

float framedStep(double distance)
{
    return static_cast<float>(distance * (static_cast<double>(kCameraStep) / static_cast<double>(kStartDistance)));
}
