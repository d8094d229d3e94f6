#pragma once
// The viewer's window, camera and drag state, and the arithmetic that changes it.
// Kept free of GLUT so that it can be checked on its own.

#include <cstdint>

extern float windowWidth;                              // pixels; last size given to reshape
extern float windowHeight;
extern float cameraDistance;                           // the eye stands at (d, d, 0)
extern float rotationY;                                // degrees, horizontal drag
extern float rotationZ;                                // degrees, vertical drag
extern std::int32_t dragAnchorX;                       // where the left button went down
extern std::int32_t dragAnchorY;
extern bool dragging;

// Special-key codes of GLUT that move the camera.
constexpr int kKeyUp = 101;
constexpr int kKeyDown = 103;

// The closest the eye may come to the centre: at 0 the view direction is undefined.
constexpr float kMinCameraDistance = 0.1f;

// The camera distance after one special key: Up nearer, Down farther, by the
// single-precision 0.1 added in double precision; other keys leave it as it is.
float stepCameraDistance(float distance, int key);

// One motion event of a drag: the rotation turns by the displacement from the press
// point times the single-precision 0.01, formed in double precision.
float turnByDrag(float angle, int displacement);

// Applies a left-button press, release or motion to the drag state.
void pressLeftButton(int x, int y);
void releaseLeftButton();
void dragTo(int x, int y);
