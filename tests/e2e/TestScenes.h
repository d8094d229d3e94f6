#pragma once
// Small scenes written into a viewer's scratch Data/ folder by the end-to-end tests.

#include <array>
#include <set>
#include <string>

#include "tests/e2e/ViewerProcess.h"

// Quadrant colours of the orientation picture, as seen the right way round and up.
constexpr std::array<int, 3> kTopLeft = {255, 0, 0};       // red
constexpr std::array<int, 3> kTopRight = {0, 255, 0};      // green
constexpr std::array<int, 3> kBottomLeft = {0, 0, 255};    // blue
constexpr std::array<int, 3> kBottomRight = {255, 255, 0}; // yellow

// A 64 x 64 binary PPM split into the four quadrant colours above.
std::string orientationPicture();

// 005.obj: one quad facing the default camera squarely, 2 units on a side, centred on the
// origin, textured with the orientation picture (u to the right, v up, as OBJ files give
// them); its material is white so that the picture's colours show nearly unchanged.
void writeOrientationScene(ViewerProcess& viewer);

// 005.obj: four quads side by side facing the camera, with four materials: two naming the
// same picture (as quadrants.ppm and ./quadrants.ppm), one naming a picture that does not
// exist, one with no picture.
void writeMaterialScene(ViewerProcess& viewer);

// Writes Data/<name> as a file of that content, or, for the content "<folder>", "<fifo>" or
// "<zero>", as a folder, a FIFO or a symbolic link to /dev/zero.
void writeDataEntry(ViewerProcess& viewer, const std::string& name, const std::string& content);

// A square 2 across facing the starting direction, textured corner to corner, in the
// material of the library.
std::string facingSquare(const std::string& library = "m.mtl", const std::string& material = "A");

// A red TGA of 64 x 64 pixels whose alpha is a checkerboard of 8 x 8 squares, the top left one on.
std::string checkerPicture();

// A triangle facing the default camera, in the material A of the library m.mtl.
extern const char* const kTriangleModel;

// The dominant colour of a pixel, for telling quadrants apart under lighting: each
// channel above half of the brightest one counts.
std::array<int, 3> dominant(std::array<int, 3> pixel);

// ---- Models of any size and place, as a user would name them -----------------------------

// What a framed picture must show.
enum class FramedLook
{
    centred,                                           // the model in the middle, filling a fair share
    smoothShades,                                      // lit, with a gradient of many shades
    notchWhite,                                        // the inner corner of an L left empty
    seenThrough,                                       // red behind a half see-through blue
};

struct FramedModel
{
    const char* name;
    std::string text;                                  // the OBJ file
    std::string library;                               // m.mtl; empty: none
    FramedLook look;
};

// A cube 400 across far from the origin, one 0.01 across, a sphere without normals, an L
// of one face; a see-through quad before an opaque one.
extern const FramedModel kFramedModels[5];

// Data/m.obj and, with a library, Data/m.mtl.
void writeFramedModel(ViewerProcess& viewer, const FramedModel& model);

// Empty when the picture shows the look; otherwise what it shows instead.
std::string checkLook(const Screenshot& shot, FramedLook look);

// With the library m.mtl of kSmoothLibrary, facing the starting direction: a black square
// turned 30 degrees in the window's plane, and right of it 1000 stripes, alternately red and
// blue, across a square of the same height.
extern const char* const kSmoothLibrary;
std::string squareAndStripes();

// A comb, `across` wide, of one face facing the starting direction, positions only.
std::string comb(double across);

// The pixels of a picture that are not white: the box around them (right and bottom past
// its edge), their centroid, and their shades of red.
struct Outline
{
    int left = 0, top = 0, right = 0, bottom = 0;
    double x = 0.0, y = 0.0;
    std::set<int> shades;
};
Outline outlineOf(const Screenshot& shot);
