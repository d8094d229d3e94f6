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
extern bool panning;                                   // the middle button, or Shift with the left, is down
extern std::int32_t panFromX;                          // where the last pan step ended
extern std::int32_t panFromY;
extern bool infoShown;                                 // the model's facts in the top left corner
extern float lastFrameSeconds;                         // the latest frame, from its start until it was drawn

// Special-key codes of GLUT that move the camera or act on the view.
constexpr int kKeyUp = 101;
constexpr int kKeyDown = 103;
constexpr int kKeyLeft = 100;
constexpr int kKeyRight = 102;
constexpr int kKeyPageUp = 104;
constexpr int kKeyPageDown = 105;
constexpr int kKeyF5 = 5;
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

// Panning: the view moves in the window's plane, so that a point at the depth of the
// view's centre follows the cursor, whatever the distance.
void pressPanButton(int x, int y);
void releasePanButton();
void panTo(int x, int y);

// ---- Framing: a model of any size and place seen whole ----------------------------------

// The box around a model's finite positions, as a sphere.
struct ModelBounds
{
    bool known = false;                                // false: no finite position
    double centre[3] = {0.0, 0.0, 0.0};                // of the box
    double radius = 0.0;                               // half the box's diagonal; 1 for one point
    int exponent = 0;                                  // the positions drawn are the file's times 2^exponent
};

extern ModelBounds modelBounds;                        // set by the scene once the model is loaded
extern bool framing;                                   // the model is drawn at a unit radius about its centre
extern float cameraStep;                               // Up, Down and one wheel notch
extern float closestDistance;                          // the smallest camera distance those reach

// The bounds of `count` vertex records of `stride` floats whose first three are the position.
ModelBounds measureBounds(const float* records, std::size_t count, std::size_t stride);

// Scales the positions of a model far from the unit size by a power of two (exactly, bit for
// bit but for the ends of the float range) so that its radius comes near 1, and the bounds
// with them. Lighting is computed in single precision through the model-view matrix and its
// inverse, which cannot hold the scale that would bring 1e30 to 1; models of ordinary size
// are left as they are.
void scaleNearUnitSize(float* records, std::size_t count, std::size_t stride, ModelBounds& bounds);

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

// ---- The model's place in the view: its up axis, its scale and the point looked at ------

enum class UpAxis
{
    plusX,
    minusX,
    plusY,
    minusY,
    plusZ,
    minusZ,
};

extern UpAxis upAxis;                                  // points up in the starting view and the view keys
extern double panTarget[3];                            // the point the view looks at and the model turns about

// The uniform scale from the positions drawn to the frame the model turns in: framed, the
// model's radius becomes 1; otherwise the file's own units are restored.
double placementScale();
// A camera distance in the model's own units as one in the frame the model turns in.
float distanceInView(float modelDistance);

// The model's placement in the frame it turns in, column by column as OpenGL takes it: the
// point looked at moved to the origin, the up axis turned to +Y, the placement scale, and,
// framed, the model's centre at the origin. False when it is the identity.
bool modelPlacement(double matrix[16]);

// After the model was read again with other bounds: a framed view, which follows the bounds,
// moved and scaled so that the model's parts that stayed where they were are seen where they
// were. The factor by which the view's distances grew; 1 when nothing changes.
double keepViewOnNewBounds(const ModelBounds& before, const ModelBounds& after);

// The turn of a view key: '1' front, '3' right, '7' top, '9' the starting direction, all
// relative to the up axis. False for any other key.
bool viewKeyTurn(unsigned char key, float& turnY, float& turnZ);
