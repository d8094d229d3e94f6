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
bool panning = false;
std::int32_t panFromX = 0;
std::int32_t panFromY = 0;
bool infoShown = false;
float lastFrameSeconds = 0.0f;

ModelBounds modelBounds;
bool framing = false;
float cameraStep = kCameraStep;
float closestDistance = kMinCameraDistance;

UpAxis upAxis = UpAxis::plusY;
double panTarget[3] = {0.0, 0.0, 0.0};

namespace
{
constexpr float kDragFactor = 0.01f;
constexpr double kPi = 3.14159265358979323846;
constexpr double kHalfFieldOfView = 22.5 * kPi / 180.0;
constexpr double kFitMargin = 1.1;                     // the sphere fills 1 / 1.1 of the view
constexpr double kDepthMargin = 1.1;                   // planes stand this many radii from the centre
// Between these radii the model-view matrix can scale a model to a unit radius and its
// inverse, which lights the normals, still holds in single precision.
constexpr double kSmallestPlainRadius = 0x1p-20;
constexpr double kLargestPlainRadius = 0x1p20;

// For each up axis, in the order of UpAxis, the model's directions that become the view
// frame's right (+X), up (+Y) and front (+Z): the rows of a turn.
constexpr double kUpTurns[6][3][3] = {
    {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},                // +X
    {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}},                // -X
    {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},                 // +Y
    {{1, 0, 0}, {0, -1, 0}, {0, 0, -1}},               // -Y
    {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}},                // +Z
    {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}},                // -Z
};

double toRadians(float degrees)
{
    return static_cast<double>(degrees) * kPi / 180.0;
}
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

void pressPanButton(int x, int y)
{
    panFromX = x;
    panFromY = y;
    panning = true;
}

void releasePanButton()
{
    panning = false;
}

void panTo(int x, int y)
{
    if (!panning || windowHeight <= 0.0f)
        return;
    const int dx = x - panFromX;
    const int dy = y - panFromY;
    panFromX = x;
    panFromY = y;
    // The size of a pixel at the depth of the view's centre, d * sqrt(2) from the eye.
    const double pixel = 2.0 * std::tan(kHalfFieldOfView) * cameraDistance * std::sqrt(2.0) / windowHeight;
    // The window's right is -z of the turned frame and its up (-1, 1, 0) / sqrt(2): the
    // point looked at moves against the cursor, so that the model follows it.
    const double up = dy * pixel / std::sqrt(2.0);
    const double moved[3] = {-up, up, dx * pixel};
    // Back through the turns (about z, then y) into the frame the model turns in.
    const double z = -toRadians(rotationZ), yAngle = -toRadians(rotationY);
    const double a[3] = {moved[0] * std::cos(z) - moved[1] * std::sin(z), moved[0] * std::sin(z) + moved[1] * std::cos(z),
                         moved[2]};
    panTarget[0] += a[0] * std::cos(yAngle) + a[2] * std::sin(yAngle);
    panTarget[1] += a[1];
    panTarget[2] += -a[0] * std::sin(yAngle) + a[2] * std::cos(yAngle);
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
    bounds.known = true;
    return bounds;
}

void scaleNearUnitSize(float* records, std::size_t count, std::size_t stride, ModelBounds& bounds)
{
    if (!bounds.known || (bounds.radius >= kSmallestPlainRadius && bounds.radius <= kLargestPlainRadius))
        return;
    int power = 0;
    std::frexp(bounds.radius, &power);                 // radius = m * 2^power, m in [0.5, 1)
    for (std::size_t v = 0; records && stride >= 3 && v < count; ++v) {
        for (float* p = records + v * stride; p < records + v * stride + 3; ++p)
            *p = std::ldexp(*p, -power);
    }
    for (double& c : bounds.centre)
        c = std::ldexp(c, -power);
    bounds.radius = std::ldexp(bounds.radius, -power);
    bounds.exponent = -power;
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

double placementScale()
{
    return framing ? 1.0 / modelBounds.radius : std::ldexp(1.0, -modelBounds.exponent);
}

float distanceInView(float modelDistance)
{
    return static_cast<float>(modelDistance * std::ldexp(placementScale(), modelBounds.exponent));
}

bool modelPlacement(double matrix[16])
{
    const double scale = placementScale();
    const double(&turn)[3][3] = kUpTurns[static_cast<int>(upAxis)];
    const double* centre = framing ? modelBounds.centre : nullptr;
    bool identity = scale == 1.0 && upAxis == UpAxis::plusY;
    for (int row = 0; row < 3; ++row) {
        double moved = -panTarget[row];
        for (int column = 0; column < 3; ++column) {
            matrix[column * 4 + row] = scale * turn[row][column];
            moved -= centre ? scale * turn[row][column] * centre[column] : 0.0;
        }
        matrix[12 + row] = moved;
        matrix[row * 4 + 3] = 0.0;
        identity = identity && moved == 0.0;
    }
    matrix[15] = 1.0;
    return !identity;
}

double keepViewOnNewBounds(const ModelBounds& before, const ModelBounds& after)
{
    if (!framing || !before.known || !after.known)
        return 1.0;
    // Framed, a point p of the file is drawn at T (p - C) / R - pan in the frame the model
    // turns in, with C and R the centre and radius in the file's units. Scaling that frame
    // by k = R / R' changes nothing on screen; the new pan makes it hold for the new C', R'.
    const double radius = std::ldexp(before.radius, -before.exponent);
    const double newRadius = std::ldexp(after.radius, -after.exponent);
    const double k = radius / newRadius;
    const double(&turn)[3][3] = kUpTurns[static_cast<int>(upAxis)];
    double moved[3];
    for (int row = 0; row < 3; ++row) {
        moved[row] = k * panTarget[row];
        for (int column = 0; column < 3; ++column)
            moved[row] += turn[row][column] *
                          (std::ldexp(before.centre[column], -before.exponent) - std::ldexp(after.centre[column], -after.exponent)) /
                          newRadius;
    }
    for (int row = 0; row < 3; ++row)
        panTarget[row] = moved[row];
    cameraDistance = static_cast<float>(cameraDistance * k);
    cameraStep = static_cast<float>(cameraStep * k);
    closestDistance = static_cast<float>(closestDistance * k);
    return k;
}

bool viewKeyTurn(unsigned char key, float& turnY, float& turnZ)
{
    // The turns that bring the frame's +Z (front), +X (right) or +Y (top) to the eye, with
    // +Y, or for the top -Z, upward in the window.
    switch (key) {
    case '1':
        turnY = 90.0f, turnZ = 45.0f;
        return true;
    case '3':
        turnY = 0.0f, turnZ = 45.0f;
        return true;
    case '7':
        turnY = 90.0f, turnZ = -45.0f;
        return true;
    case '9':
        turnY = 0.0f, turnZ = 0.0f;
        return true;
    default:
        return false;
    }
}
