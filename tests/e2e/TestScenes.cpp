// Scenes for the end-to-end tests, written at run time.
#include "tests/e2e/TestScenes.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <sstream>
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

void writeOrientationScene(ViewerProcess& viewer)
{
    std::ostringstream obj;
    obj << "mtllib 005.mtl\n";
    commonLines(obj);
    obj << "usemtl sign\n";
    int first = 1;
    quad(obj, first, -1.0, -1.0, 1.0, 1.0);
    viewer.writeDataFile("005.obj", obj.str());
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
                         "newmtl second\nKa 1 1 1\nKd 1 1 1\nmap_Kd quadrants.ppm\n"
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

namespace
{
// Positions only, six quads turned outward.
std::string cube(double side, Vec centre)
{
    std::ostringstream obj;
    for (int i = 0; i < 8; ++i) {
        vertex(obj, {centre.x + (i & 1 ? side : -side) / 2, centre.y + (i & 2 ? side : -side) / 2,
                     centre.z + (i & 4 ? side : -side) / 2});
    }
    obj << "f 1 3 4 2\nf 5 6 8 7\nf 1 2 6 5\nf 3 7 8 4\nf 1 5 7 3\nf 2 4 8 6\n";
    return obj.str();
}

// A sphere of radius 1 in latitude bands, positions only.
std::string sphere()
{
    const int bands = 16, sectors = 24;
    std::ostringstream obj;
    for (int b = 0; b <= bands; ++b) {
        const double theta = M_PI * b / bands;
        for (int s = 0; s < sectors; ++s) {
            const double phi = 2 * M_PI * s / sectors;
            vertex(obj, {std::sin(theta) * std::cos(phi), std::cos(theta), -std::sin(theta) * std::sin(phi)});
        }
    }
    for (int b = 0; b < bands; ++b) {
        for (int s = 0; s < sectors; ++s) {
            const int a = b * sectors + s + 1, next = b * sectors + (s + 1) % sectors + 1;
            obj << "f " << a << ' ' << a + sectors << ' ' << next + sectors << ' ' << next << '\n';
        }
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

// Two quads facing the starting direction, half a unit apart: the nearer one first, in a
// material that lets half of the light through.
std::string seeThroughPair()
{
    std::ostringstream obj;
    obj << "mtllib m.mtl\n";
    commonLines(obj);
    obj << "usemtl glass\n";
    for (double toward : {0.5, 0.0}) {
        for (const auto& [right, up] : {std::pair{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}) {
            const Vec p = at(right, up);
            vertex(obj, {p.x + kTowardCamera.x * toward, p.y + kTowardCamera.y * toward, p.z});
        }
    }
    obj << "f 1/1/1 2/2/1 3/3/1 4/4/1\nusemtl red\nf 5/1/1 6/2/1 7/3/1 8/4/1\n";
    return obj.str();
}

// The box of the picture's pixels that are not white.
struct Box
{
    int left, top, right, bottom;                      // right and bottom past the last
};

Box coveredBox(const Screenshot& shot)
{
    Box box = {shot.width, shot.height, 0, 0};
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            if (shot.at(x, y) != std::array<int, 3>{255, 255, 255}) {
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
            }
        }
    }
    return box;
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

double coveredShare(const Screenshot& shot)
{
    if (shot.width == 0 || shot.height == 0)
        return 0.0;
    return static_cast<double>(shot.countDifferent({255, 255, 255}, 0)) / (static_cast<double>(shot.width) * shot.height);
}

std::string checkLook(const Screenshot& shot, FramedLook look)
{
    const Box box = coveredBox(shot);
    if (box.right <= box.left)
        return "nothing drawn";
    const double width = box.right - box.left, height = box.bottom - box.top;
    std::ostringstream problem;
    if (look == FramedLook::centred) {
        // The cube seen along a diagonal is as tall as sqrt(2) sides, its bounding sphere
        // sqrt(3): with the margin, about three quarters of the height. Turned, its box
        // strays a little from the middle.
        const double offCentre = std::max(std::abs((box.left + box.right) / 2.0 - shot.width / 2.0),
                                          std::abs((box.top + box.bottom) / 2.0 - shot.height / 2.0));
        if (offCentre > 0.05 * shot.height || height < 0.6 * shot.height || height > 0.95 * shot.height)
            problem << "box " << box.left << "," << box.top << " to " << box.right << "," << box.bottom;
    } else if (look == FramedLook::smoothShades) {
        // Flat normals light the sphere in one shade; its own give a gradient up to bright.
        std::set<int> shades;
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x) {
                if (shot.at(x, y) != std::array<int, 3>{255, 255, 255})
                    shades.insert(shot.at(x, y)[0]);
            }
        }
        if (shades.size() < 64 || *shades.rbegin() < 128)
            problem << shades.size() << " shades, the brightest " << (shades.empty() ? 0 : *shades.rbegin());
    } else if (look == FramedLook::seenThrough) {
        const auto centre = shot.at(shot.width / 2, shot.height / 2);
        if (centre[0] < 60 || centre[2] < 60)
            problem << "centre " << centre[0] << "," << centre[1] << "," << centre[2];
    } else {
        // Quarters of the L's box: the upper right one is the notch, the others its arms.
        const auto covered = [&](double fx, double fy) {
            return shot.at(box.left + static_cast<int>(fx * width), box.top + static_cast<int>(fy * height)) !=
                   std::array<int, 3>{255, 255, 255};
        };
        for (const auto& [fx, fy] : {std::pair{0.6, 0.35}, {0.75, 0.25}, {0.9, 0.1}}) {
            if (covered(fx, fy))
                problem << "notch covered at " << fx << "," << fy << "; ";
        }
        for (const auto& [fx, fy] : {std::pair{0.25, 0.25}, {0.25, 0.75}, {0.75, 0.75}}) {
            if (!covered(fx, fy))
                problem << "arm empty at " << fx << "," << fy << "; ";
        }
    }
    return problem.str();
}
