// Viewer state and the camera and drag arithmetic.
#include "viewer/ViewerState.h"

float windowWidth = 1024.0f;
float windowHeight = 768.0f;
float cameraDistance = 4.0f;
float rotationY = 0.0f;
float rotationZ = 0.0f;
std::int32_t dragAnchorX = 0;
std::int32_t dragAnchorY = 0;
bool dragging = false;

namespace
{
constexpr float kCameraStep = 0.1f;
constexpr float kDragFactor = 0.01f;
} // namespace

float stepCameraDistance(float distance, int key)
{
    double next = distance;
    if (key == kKeyUp)
        next = static_cast<double>(distance) - static_cast<double>(kCameraStep);
    else if (key == kKeyDown)
        next = static_cast<double>(distance) + static_cast<double>(kCameraStep);
    const float stored = static_cast<float>(next);
    return stored < kMinCameraDistance ? kMinCameraDistance : stored;
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
