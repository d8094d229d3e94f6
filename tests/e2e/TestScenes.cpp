// Scenes for the end-to-end tests, written at run time.
#include "tests/e2e/TestScenes.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <sstream>
#include <tuple>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace
{
// The default camera stands at (4, 4, 0) and looks at the origin with y up: its right is
// -z and its up is (-1, 1, 0) / sqrt(2). A quad spanned by those faces it squarely.
struct Vec
{
    double x, y, z;
};

const Vec kRight = {0.0, 0.0, -1.0};
const Vec kUp = {-1.0 / std::sqrt(2.0), 1.0 / std::sqrt(2.0), 0.0};
const Vec kTowardCamera = {1.0 / std::sqrt(2.0), 1.0 / std::sqrt(2.0), 0.0};

Vec at(double right, double up)
{
    return {kRight.x * right + kUp.x * up, kRight.y * right + kUp.y * up, kRight.z * right + kUp.z * up};
}

void vertex(std::ostringstream& obj, Vec v)
{
    obj << "v " << v.x << ' ' << v.y << ' ' << v.z << '\n';
}

// One quad from (left, bottom) to (right, top) in camera-facing coordinates, corners in
// counter-clockwise order as the camera sees them, texture coordinates 1..4 and normal 1.
void quad(std::ostringstream& obj, int& firstVertex, double left, double bottom, double right, double top)
{
    vertex(obj, at(left, bottom));
    vertex(obj, at(right, bottom));
    vertex(obj, at(right, top));
    vertex(obj, at(left, top));
    const int v = firstVertex;
    obj << "f " << v << "/1/1 " << v + 1 << "/2/1 " << v + 2 << "/3/1 " << v + 3 << "/4/1\n";
    firstVertex += 4;
}

void commonLines(std::ostringstream& obj)
{
    obj << "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";
    obj << "vn " << kTowardCamera.x << ' ' << kTowardCamera.y << ' ' << kTowardCamera.z << '\n';
}
} // namespace

std::string orientationPicture()
{
    const int size = 64;
    std::string ppm = "P6\n64 64\n255\n";
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const bool top = y < size / 2;
            const bool left = x < size / 2;
            const std::array<int, 3> c = top ? (left ? kTopLeft : kTopRight) : (left ? kBottomLeft : kBottomRight);
            for (int channel : c)
                ppm += static_cast<char>(channel);
        }
    }
    return ppm;
}

std::string facingSquare(const std::string& library, const std::string& material)
{
    std::ostringstream obj;
    obj << "mtllib " << library << "\n";
    commonLines(obj);
    obj << "usemtl " << material << "\n";
    int first = 1;
    quad(obj, first, -1.0, -1.0, 1.0, 1.0);
    return obj.str();
}

void writeOrientationScene(ViewerProcess& viewer)
{
    viewer.writeDataFile("005.obj", facingSquare("005.mtl", "sign"));
    viewer.writeDataFile("005.mtl", "newmtl sign\nKa 1 1 1\nKd 1 1 1\nKs 0 0 0\nmap_Kd quadrants.ppm\n");
    viewer.writeDataFile("quadrants.ppm", orientationPicture());
}

void writeMaterialScene(ViewerProcess& viewer)
{
    std::ostringstream obj;
    obj << "mtllib 005.mtl\n";
    commonLines(obj);
    int first = 1;
    const char* materials[] = {"first", "second", "broken", "plain"};
    for (int i = 0; i < 4; ++i) {
        obj << "usemtl " << materials[i] << '\n';
        quad(obj, first, -1.8 + i * 0.9, -0.4, -1.0 + i * 0.9, 0.4);
    }
    viewer.writeDataFile("005.obj", obj.str());
    viewer.writeDataFile("005.mtl",
                         "newmtl first\nKa 1 1 1\nKd 1 1 1\nmap_Kd quadrants.ppm\n"
                         "newmtl second\nKa 1 1 1\nKd 1 1 1\nmap_Kd ./quadrants.ppm\n"
                         "newmtl broken\nKd 0 0 1\nmap_Kd missing.png\n"
                         "newmtl plain\nKd 1 0 0\n");
    viewer.writeDataFile("quadrants.ppm", orientationPicture());
}

const char* const kTriangleModel = "mtllib m.mtl\nv 0 0 -1\nv 0 0 1\nv -1 1 0\nusemtl A\nf 2 1 3\n";

void writeDataEntry(ViewerProcess& viewer, const std::string& name, const std::string& content)
{
    const std::string path = viewer.directory() + "/Data/" + name;
    std::filesystem::create_directories(viewer.directory() + "/Data");
    if (content == "<folder>")
        std::filesystem::create_directory(path);
    else if (content == "<fifo>")
        ::mkfifo(path.c_str(), 0600);
    else if (content == "<zero>")
        std::filesystem::create_symlink("/dev/zero", path);
    else
        viewer.writeDataFile(name, content);
}

std::array<int, 3> dominant(std::array<int, 3> pixel)
{
    const int brightest = std::max({pixel[0], pixel[1], pixel[2]});
    std::array<int, 3> result{};
    for (int c = 0; c < 3; ++c)
        result[c] = brightest > 40 && pixel[c] * 2 > brightest ? 255 : 0;
    return result;
}

std::string checkerPicture()
{
    // An uncompressed TGA of 32 bits, its rows top first (descriptor: 8 alpha bits, origin top left).
    const unsigned char tga[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 64, 0, 64, 0, 32, 0x28};
    std::string picture(reinterpret_cast<const char*>(tga), 18);
    for (int i = 0; i < 64 * 64; ++i)
        picture += std::string{'\0', '\0', '\xff', (i % 64 / 8 + i / 64 / 8) % 2 == 0 ? '\xff' : '\0'};
    return picture;
}

namespace
{
// Positions only, six quads turned outward.
std::string cube(double side, Vec c)
{
    std::ostringstream obj;
    for (int i = 0; i < 8; ++i)
        vertex(obj, {c.x + (i & 1 ? 0.5 : -0.5) * side, c.y + (i & 2 ? 0.5 : -0.5) * side, c.z + (i & 4 ? 0.5 : -0.5) * side});
    obj << "f 1 3 4 2\nf 5 6 8 7\nf 1 2 6 5\nf 3 7 8 4\nf 1 5 7 3\nf 2 4 8 6\n";
    return obj.str();
}

// A sphere of radius 1 in 16 bands of 24 quads, positions only.
std::string sphere()
{
    std::ostringstream obj;
    for (int b = 0; b <= 16; ++b) {
        for (int s = 0; s < 24; ++s) {
            const double ring = std::sin(M_PI * b / 16);
            vertex(obj, {ring * std::cos(M_PI * s / 12), std::cos(M_PI * b / 16), -ring * std::sin(M_PI * s / 12)});
        }
    }
    for (int a = 1; a <= 16 * 24; ++a) {
        const int next = a % 24 == 0 ? a - 23 : a + 1;
        obj << "f " << a << ' ' << a + 24 << ' ' << next + 24 << ' ' << next << '\n';
    }
    return obj.str();
}

// An L of one face, 2 across, facing the starting direction; its outline starts where a fan
// would cover the notch (the upper right quarter).
std::string lShape()
{
    std::ostringstream obj;
    for (const auto& [right, up] : {std::pair{2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}, {0, 0}})
        vertex(obj, at(right, up));
    obj << "f 1 2 3 4 5 6\n";
    return obj.str();
}

// Two equal quads facing the starting direction, the see-through one first: drawn in that
// order, the second would cover the first where depths tie.
std::string seeThroughPair()
{
    std::ostringstream obj;
    obj << "mtllib m.mtl\n";
    commonLines(obj);
    int first = 1;
    obj << "usemtl glass\n";
    quad(obj, first, -1.0, -1.0, 1.0, 1.0);
    obj << "usemtl red\n";
    quad(obj, first, -1.0, -1.0, 1.0, 1.0);
    return obj.str();
}
} // namespace

const FramedModel kFramedModels[5] = {
    {"farCube", cube(400, {5000, -3000, 2000}), "", FramedLook::centred},
    {"tinyCube", cube(0.01, {0.3, 0.2, -0.1}), "", FramedLook::centred},
    {"sphereWithoutNormals", sphere(), "", FramedLook::smoothShades},
    {"concaveFace", lShape(), "", FramedLook::notchWhite},
    {"seeThroughBeforeOpaque", seeThroughPair(), "newmtl glass\nd 0.5\nKd 0 0 1\nnewmtl red\nKd 1 0 0\n",
     FramedLook::seenThrough},
};

void writeFramedModel(ViewerProcess& viewer, const FramedModel& model)
{
    viewer.writeDataFile("m.obj", model.text);
    if (!model.library.empty())
        viewer.writeDataFile("m.mtl", model.library);
}

const char* const kSmoothLibrary = "newmtl black\nKa 0 0 0\nKd 0 0 0\nKs 0 0 0\n"
                                   "newmtl red\nKa 1 0 0\nKd 1 0 0\nnewmtl blue\nKa 0 0 1\nKd 0 0 1\n";

std::string squareAndStripes()
{
    std::ostringstream obj;
    obj << "mtllib m.mtl\nusemtl black\n";
    commonLines(obj);
    for (double degrees : {30.0, 120.0, 210.0, 300.0})
        vertex(obj, at(std::cos(degrees * M_PI / 180) - 1.2, std::sin(degrees * M_PI / 180)));
    obj << "f 1 2 3 4\n";
    for (int i = 0, first = 5; i < 1000; ++i) {
        obj << "usemtl " << (i % 2 ? "blue" : "red") << '\n';
        quad(obj, first, 0.2 + i * 0.002, -1.0, 0.202 + i * 0.002, 1.0);
    }
    return obj.str();
}

std::string comb(double across)
{
    // One face facing the starting direction, its teeth up: the spine, then tooth by tooth back.
    std::vector<std::pair<double, double>> corners = {{0, 0}, {6, 0}, {6, 1}};
    for (int tooth = 5; tooth >= 0; --tooth)
        corners.insert(corners.end(), {{tooth + 0.6, 1}, {tooth + 0.6, 3}, {tooth + 0.2, 3}, {tooth + 0.2, 1}});
    corners.push_back({0, 1});
    std::ostringstream obj;
    for (const auto& [right, up] : corners)
        vertex(obj, at(right * across / 6, up * across / 6));
    obj << "f";
    for (std::size_t v = 1; v <= corners.size(); ++v)
        obj << ' ' << v;
    obj << '\n';
    return obj.str();
}

Outline outlineOf(const Screenshot& shot)
{
    const std::array<int, 3> white = {255, 255, 255};
    Outline o{shot.width, shot.height, 0, 0, 0.0, 0.0, {}};
    long count = 0;
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            if (shot.at(x, y) != white) {
                o.left = std::min(o.left, x), o.top = std::min(o.top, y), o.right = std::max(o.right, x + 1), o.bottom = std::max(o.bottom, y + 1);
                o.x += x, o.y += y, ++count, o.shades.insert(shot.at(x, y)[0]);
            }
        }
    }
    o.x /= std::max(count, 1L), o.y /= std::max(count, 1L);
    return o;
}

std::string checkLook(const Screenshot& shot, FramedLook look)
{
    const std::array<int, 3> white = {255, 255, 255};
    const auto [left, top, right, bottom, x, y, shades] = outlineOf(shot);
    if (right <= left)
        return "nothing drawn";
    std::ostringstream problem;
    const int height = bottom - top;
    if (look == FramedLook::centred) {
        // The cube seen along a diagonal is as tall as sqrt(2) sides, its bounding sphere
        // sqrt(3): with the margin, about three quarters of the height. Turned, its box
        // strays a little from the middle.
        const double offCentre = std::max(std::abs((left + right - shot.width) / 2.0), std::abs((top + bottom - shot.height) / 2.0));
        if (offCentre > 0.05 * shot.height || height < 0.6 * shot.height || height > 0.95 * shot.height)
            problem << "box " << left << "," << top << " to " << right << "," << bottom;
    } else if (look == FramedLook::smoothShades) {
        // Flat normals light the sphere in one shade; its own give a gradient up to bright.
        if (shades.size() < 64 || *shades.rbegin() < 128)
            problem << shades.size() << " shades, the brightest " << *shades.rbegin();
    } else if (look == FramedLook::notchWhite) {
        // In quarters of the L's box, the upper right one is the notch.
        for (const auto& [fx, fy, notch] : {std::tuple{0.6, 0.35, true}, {0.75, 0.25, true}, {0.9, 0.1, true},
                                            {0.25, 0.25, false}, {0.25, 0.75, false}, {0.75, 0.75, false}}) {
            if ((shot.at(left + static_cast<int>(fx * (right - left)), top + static_cast<int>(fy * height)) == white) != notch)
                problem << (notch ? "notch covered at " : "arm empty at ") << fx << "," << fy << "; ";
        }
    } else {
        const auto centre = shot.at(shot.width / 2, shot.height / 2);
        if (centre[0] < 60 || centre[2] < 60)
            problem << "centre " << centre[0] << "," << centre[1] << "," << centre[2];
    }
    return problem.str();
}
