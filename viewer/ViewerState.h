#pragma once
// The viewer's window, camera and drag state, and the arithmetic that changes it.
// Kept free of GLUT so that it can be checked on its own.

#include <cstddef>
#include <cstdint>

extern float windowWidth;                              // pixels; last size given to reshape
extern float windowHeight;
extern float cameraDistance;                           // the eye stands at (d, d, 0)
extern float rotationY;                                // degrees, horizontal drag
extern float rotationZ;                                // degrees, vertical drag
extern std::int32_t dragAnchorX;                       // where the left button went down
extern std::int32_t dragAnchorY;
extern bool dragging;

// Special-key codes of GLUT that move the camera or act on the view.
constexpr int kKeyUp = 101;
constexpr int kKeyDown = 103;
constexpr int kKeyF12 = 12;

// The closest the eye may come to the centre: at 0 the view direction is undefined.
constexpr float kMinCameraDistance = 0.1f;
// The designed starting view: eye at (4, 4, 0), steps of 0.1.
constexpr float kStartDistance = 4.0f;
constexpr float kCameraStep = 0.1f;

// The camera distance after one special key: Up nearer, Down farther, by the step (a
// single-precision value) added in double precision; other keys leave it as it is. The
// result is never below `closest`.
float stepCameraDistance(float distance, int key, float step = kCameraStep, float closest = kMinCameraDistance);

// One motion event of a drag: the rotation turns by the displacement from the press
// point times the single-precision 0.01, formed in double precision.
float turnByDrag(float angle, int displacement);

// Applies a left-button press, release or motion to the drag state.
void pressLeftButton(int x, int y);
void releaseLeftButton();
void dragTo(int x, int y);

// ---- Framing: a model of any size and place seen whole ----------------------------------

// The box around a model's finite positions, as a sphere.
struct ModelBounds
{
    bool known = false;                                // false: no finite position, or over 1e18 across
    double centre[3] = {0.0, 0.0, 0.0};                // of the box
    double radius = 0.0;                               // half the box's diagonal, at least 1e-15; 1 for one point
};

extern ModelBounds modelBounds;                        // set by the scene once the model is loaded
extern bool framing;                                   // the model turns about its centre; planes follow its size
extern float cameraStep;                               // Up, Down and one wheel notch
extern float closestDistance;                          // the smallest camera distance those reach

// The bounds of `count` vertex records of `stride` floats whose first three are the position.
ModelBounds measureBounds(const float* records, std::size_t count, std::size_t stride);

// The camera distance d (eye at (d, d, 0)) from which a sphere of the radius around the
// origin fills the smaller of the two fields of view (45 degrees vertically, the aspect
// ratio widening or narrowing it horizontally), with a small margin.
double fittingDistance(double radius, double aspect);

// Near and far planes for the eye at camera distance d from the centre of a sphere of the
// radius: around the sphere, the near one never closer than a thousandth of the far one,
// so that depth keeps its precision.
void clipPlanes(double distance, double radius, double& nearPlane, double& farPlane);

// The camera step of a framed view: the designed view's share of its distance.
float framedStep(double distance);
