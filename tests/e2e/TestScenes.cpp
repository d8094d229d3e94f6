// Scenes for the end-to-end tests, written at run time.
#include "tests/e2e/TestScenes.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>

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
