// The headless picture: velk-snapshot renders through the viewer's scene code.
#include <gtest/gtest.h>

#include <csignal>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>
#include <regex>

#include "engine/CPicture.h"
#include "engine/CPictureLoader.h"
#include "tests/support/LogLines.h"
#include "tests/e2e/TestScenes.h"
#include "tests/e2e/ViewerProcess.h"
#include "tests/support/RowNames.h"

namespace
{

using testsupport::operator<<;
std::unique_ptr<CPicture> loadPicture(const std::string& path)
{
    static VELK::CPictureLoader loader;
    try {
        return std::unique_ptr<CPicture>(static_cast<CPicture*>(loader.loadFromFile(path)));
    } catch (const std::exception&) {
        return nullptr;
    }
}

// Red, green, blue of a BGR picture's pixel.
std::array<int, 3> rgbAt(const CPicture& picture, int x, int y)
{
    const unsigned char* p = picture.pixels + (static_cast<std::size_t>(y) * picture.size[0] + x) * 3;
    return {p[2], p[1], p[0]};
}

ViewerProcess& run(ViewerProcess& snapshot)
{
    snapshot.start();
    EXPECT_TRUE(snapshot.waitForExit(60));
    return snapshot;
}
} // namespace

TEST(Snapshot, HelpAndBadOptions)
{
    ViewerProcess help(VELK_SNAPSHOT, {"--help"});
    run(help);
    EXPECT_EQ(help.exitStatus(), 0);
    EXPECT_EQ(help.output().rfind("usage: velk-snapshot [--output FILE.png]", 0), 0u) << help.output();

    const std::vector<std::vector<std::string>> bad = {
        {"--size", "100"}, {"--size", "0x10"}, {"--size", "20x99999"}, {"--rotate-y", "ten"},
        {"--distance", "0"}, {"--output"}, {"--frobnicate"}, {"a.obj", "b.obj"}, {"--up", "z"}, {"--samples", "-1"},
        {"--watch"},
    };
    for (const auto& arguments : bad) {
        ViewerProcess snapshot(VELK_SNAPSHOT, arguments);
        run(snapshot);
        EXPECT_EQ(snapshot.exitStatus(), 2) << arguments[0];
        EXPECT_EQ(snapshot.errorOutput().rfind("velk-snapshot: ", 0), 0u) << snapshot.errorOutput();
    }
}

TEST(Snapshot, ModelThatDoesNotLoadFailsWithAMessage)
{
    ViewerProcess snapshot(VELK_SNAPSHOT, {"nowhere/model.obj"});
    run(snapshot);
    EXPECT_EQ(snapshot.exitStatus(), 1);
    EXPECT_EQ(snapshot.errorOutput(), "velk-snapshot: nowhere/model.obj could not be loaded (global.log says why)\n");
    EXPECT_EQ(snapshot.output(), "");
    EXPECT_EQ(snapshot.readFile("snapshot.png"), "");
}

TEST(Snapshot, PictureOnAQuadFacingTheCameraKeepsItsOrientation)
{
    ViewerProcess snapshot(VELK_SNAPSHOT, {"--output", "quad.png", "--size", "512x384", "Data/005.obj"});
    writeOrientationScene(snapshot);
    run(snapshot);
    ASSERT_EQ(snapshot.exitStatus(), 0) << snapshot.errorOutput();
    EXPECT_EQ(snapshot.errorOutput(), "");

    const auto picture = loadPicture(snapshot.directory() + "/quad.png");
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->size[0], 512);
    ASSERT_EQ(picture->size[1], 384);
    // The quad spans 2 units; at 512 x 384 that is 163.9 / 2 pixels per unit around the centre.
    const double unit = 384.0 / 2.0 / (4.0 * std::sqrt(2.0) * std::tan(22.5 * M_PI / 180.0));
    int checked = 0;
    for (int dy = -30; dy <= 30; dy += 6) {
        for (int dx = -30; dx <= 30; dx += 6) {
            for (int qx : {-1, 1}) {
                for (int qy : {-1, 1}) {
                    const int x = static_cast<int>(256 + qx * unit * 0.5) + dx;
                    const int y = static_cast<int>(192 - qy * unit * 0.5) + dy;
                    const auto expected =
                        qy > 0 ? (qx < 0 ? kTopLeft : kTopRight) : (qx < 0 ? kBottomLeft : kBottomRight);
                    EXPECT_EQ(dominant(rgbAt(*picture, x, y)), expected) << x << "," << y;
                    ++checked;
                }
            }
        }
    }
    EXPECT_EQ(checked, 11 * 11 * 4);
    EXPECT_EQ(rgbAt(*picture, 2, 2), (std::array<int, 3>{255, 255, 255}));
}

TEST(Snapshot, BundledModelMatchesTheReferencePicture)
{
    ViewerProcess snapshot(VELK_SNAPSHOT);
    snapshot.copyDataFolder(std::string(VELK_SOURCE_DIR) + "/Data");
    run(snapshot);
    ASSERT_EQ(snapshot.exitStatus(), 0) << snapshot.errorOutput();
    EXPECT_TRUE(std::regex_match(snapshot.output(), std::regex("velk-snapshot: loaded 005\\.obj \\(290 triangles\\) in "
                                                               "[0-9]+\\.[0-9]{2} s\nvelk-snapshot: wrote snapshot\\.png "
                                                               "\\(1024x768\\)\n")))
        << snapshot.output();

    const auto actual = loadPicture(snapshot.directory() + "/snapshot.png");
    const auto reference = loadPicture(std::string(VELK_TEST_DATA) + "/reference/snapshot-005.png");
    ASSERT_TRUE(actual);
    ASSERT_TRUE(reference);
    ASSERT_EQ(actual->size[0], reference->size[0]);
    ASSERT_EQ(actual->size[1], reference->size[1]);
    ASSERT_EQ(actual->format, reference->format);
    // Software rendering is repeatable, but not promised bit for bit across driver
    // versions: allow small colour differences and a few stray edge pixels.
    const std::size_t bytes = actual->byteCount();
    std::size_t far = 0;
    for (std::size_t i = 0; i < bytes; ++i)
        far += std::abs(actual->pixels[i] - reference->pixels[i]) > 24;
    EXPECT_LT(far, bytes / 200) << far << " of " << bytes << " bytes differ by more than 24";
    EXPECT_GT(actual->byteCount(), 0u);
}

// ---- Hostile files and faults: each ends one load, logged, and the program goes on ------

namespace
{
struct HostileRun
{
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;  // below Data/, as writeDataEntry takes them
    std::string model;                                       // the argument
    int status;
    std::vector<std::string> log;                            // global.log between START and STOP
    bool closedConsole = false;                              // standard output as "| true" leaves it
};

const std::string kPictureLibrary = "newmtl A\nKd 1 0 0\nmap_Kd t.png\n";
const char* const kLoaded = " -> [ INFOS ] CResourceManager - LOADING : m.obj";
const char* const kReleased = " -> [ ERROR ] CResourceManager - RELEASE : m.obj";
const char* const kReleasedClean = " -> [ INFOS ] CResourceManager - RELEASE : m.obj";

const HostileRun kHostileRuns[] = {
    {"mapKdNamesAModel",
     {{"m.obj", kTriangleModel}, {"m.mtl", "newmtl A\nKd 1 0 0\nmap_Kd other.obj\n"}, {"other.obj", kTriangleModel}},
     "Data/m.obj", 0,
     {kLoaded, " -> [ ERROR ] VELK::CFactoryLoader::loadFromFile : Data/other.obj : a model, not a picture", kReleased}},
    {"pictureNamedAsTheModel", {{"sign.ppm", orientationPicture()}}, "Data/sign.ppm", 1,
     {" -> [ ERROR ] VELK::CFactoryLoader::loadFromFile : Data/sign.ppm : a picture, not a model"}},
    {"folderWithAPictureNameAsTheModel", {{"d.png", "<folder>"}}, "Data/d.png", 1,
     {" -> [ ERROR ] VELK::CFactoryLoader::loadFromFile : Data/d.png : a picture, not a model"}},
    {"modelIsAFolder", {{"m.obj", "<folder>"}}, "Data/m.obj", 1,
     {failureLines("CObjLoader", "Data/m.obj", "is a directory")}},
    {"modelIsAFifo", {{"m.obj", "<fifo>"}}, "Data/m.obj", 1, {failureLines("CObjLoader", "Data/m.obj", "is a FIFO")}},
    {"libraryIsAFifo", {{"m.obj", kTriangleModel}, {"m.mtl", "<fifo>"}}, "Data/m.obj", 0,
     {" -> [ ERROR ] VELK::CObjLoader::loadFromFile : Data/m.mtl : is a FIFO",
      " -> [ ERROR ] CResourceManager - LOADING : m.obj", kReleased}},
    {"libraryIsDevZero", {{"m.obj", kTriangleModel}, {"m.mtl", "<zero>"}}, "Data/m.obj", 0,
     {" -> [ ERROR ] VELK::CObjLoader::loadFromFile : Data/m.mtl : is a device",
      " -> [ ERROR ] CResourceManager - LOADING : m.obj", kReleased}},
    {"pictureIsAFolder", {{"m.obj", kTriangleModel}, {"m.mtl", kPictureLibrary}, {"t.png", "<folder>"}}, "Data/m.obj", 0,
     {kLoaded, failureLines("CPictureLoader", "Data/t.png", "is a directory"), kReleased}},
    {"pictureIsAFifo", {{"m.obj", kTriangleModel}, {"m.mtl", kPictureLibrary}, {"t.png", "<fifo>"}}, "Data/m.obj", 0,
     {kLoaded, failureLines("CPictureLoader", "Data/t.png", "is a FIFO"), kReleased}},
    {"pictureIsDevZero", {{"m.obj", kTriangleModel}, {"m.mtl", kPictureLibrary}, {"t.png", "<zero>"}}, "Data/m.obj", 0,
     {kLoaded, failureLines("CPictureLoader", "Data/t.png", "is a device"), kReleased}},
    {"onePictureNamedThreeWaysLoadsOnce",
     {{"m.obj", std::string(kTriangleModel) + "usemtl B\nf 2 1 3\nusemtl C\nf 2 1 3\n"}, {"sub", "<folder>"},
      {"m.mtl", "newmtl A\nmap_Kd t.ppm\nnewmtl B\nmap_Kd ./t.ppm\nnewmtl C\nmap_Kd sub/../t.ppm\n"},
      {"t.ppm", orientationPicture()}},
     "Data/m.obj", 0,
     {kLoaded, " -> [ INFOS ] CResourceManager - LOADING : t.ppm", kReleasedClean,
      " -> [ INFOS ] CResourceManager - RELEASE : t.ppm"}},
    {"closedConsole", {{"m.obj", kTriangleModel}}, "Data/m.obj", 0, {kLoaded, kReleasedClean}, true},
    {"missingMask", {{"m.obj", kTriangleModel}, {"m.mtl", "newmtl A\nKd 1 0 0\nmap_d gone.png\n"}}, "Data/m.obj", 0,
     {kLoaded, failureLines("CPictureLoader", "Data/gone.png", "cannot open: No such file or directory"), kReleased}},
    {"missingPictureNamedTwiceIsTriedOnce",
     {{"m.obj", std::string(kTriangleModel) + "usemtl B\nf 2 1 3\n"}, {"m.mtl", kPictureLibrary + "newmtl B\nmap_Kd t.png\n"}},
     "Data/m.obj", 0,
     {kLoaded, failureLines("CPictureLoader", "Data/t.png", "cannot open: No such file or directory"), kReleased}},
};

class HostileFiles : public testing::TestWithParam<HostileRun> {};
} // namespace

TEST_P(HostileFiles, EndOneLoadWithTheirLinesAndTheProgramGoesOn)
{
    const HostileRun& hostile = GetParam();
    ViewerProcess snapshot(VELK_SNAPSHOT, {hostile.model});
    for (const auto& [name, content] : hostile.files)
        writeDataEntry(snapshot, name, content);
    if (hostile.closedConsole)
        snapshot.closeOutput();
    run(snapshot);
    EXPECT_EQ(snapshot.exitStatus(), hostile.status);
    EXPECT_EQ(loadPicture(snapshot.directory() + "/snapshot.png") != nullptr, hostile.status == 0);
    EXPECT_EQ(snapshot.errorOutput(),
              hostile.status == 0 ? "" : "velk-snapshot: " + hostile.model + " could not be loaded (global.log says why)\n");
    EXPECT_EQ(compareLog(snapshot.readLines("global.log"), "global.log", between(hostile.log)), "")
        << snapshot.readFile("global.log");
    EXPECT_EQ(compareLog(snapshot.readLines("memory.log"), "memory.log", kCleanMemoryLog), "");
}

INSTANTIATE_TEST_SUITE_P(Snapshot, HostileFiles, testing::ValuesIn(kHostileRuns), testsupport::RowName());

TEST(Snapshot, ModelThatRunsOutOfMemoryFailsAsOneLoad)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's allocator ends the program instead of throwing";
#endif
    // Each two-byte line is a position of twelve bytes: 1.2 GB of address space, about
    // twice what the program needs to start, runs out long before the end.
    std::string model(100'000'000, 'v');
    for (std::size_t i = 1; i < model.size(); i += 2)
        model[i] = '\n';
    ViewerProcess snapshot(VELK_SNAPSHOT, {"Data/m.obj"});
    snapshot.writeDataFile("m.obj", model);
    snapshot.setMemoryLimit(1200LL * 1000 * 1000);
    run(snapshot);
    EXPECT_EQ(snapshot.exitStatus(), 1);
    EXPECT_EQ(snapshot.errorOutput(), "velk-snapshot: Data/m.obj could not be loaded (global.log says why)\n");
    EXPECT_EQ(compareLog(snapshot.readLines("global.log"), "global.log",
                         between({failureLines("CObjLoader", "Data/m.obj", "out of memory")})),
              "")
        << snapshot.readFile("global.log");
    EXPECT_EQ(compareLog(snapshot.readLines("memory.log"), "memory.log", kCleanMemoryLog), "");
}

TEST(Snapshot, TerminationSignalEndsItThroughTheNormalExit)
{
    ViewerProcess snapshot(VELK_SNAPSHOT, {"Data/m.obj"});
    snapshot.writeDataFile("m.obj", kTriangleModel);
    snapshot.start();
    ASSERT_TRUE(snapshot.waitUntilCatching(SIGTERM));
    snapshot.sendSignal(SIGTERM);
    ASSERT_TRUE(snapshot.waitForExit(60));
    EXPECT_EQ(snapshot.exitStatus(), 1);
    EXPECT_EQ(snapshot.errorOutput(), "velk-snapshot: stopped by SIGTERM, snapshot.png not written\n");
    EXPECT_EQ(compareLog(snapshot.readLines("global.log"), "global.log", between({})), "")
        << snapshot.readFile("global.log");
    EXPECT_EQ(compareLog(snapshot.readLines("memory.log"), "memory.log", kCleanMemoryLog), "");
    EXPECT_EQ(snapshot.readFile("snapshot.png"), "");
}

TEST(Snapshot, LogsThatCannotBeWrittenAreSaidOnStderr)
{
    // The logs as links, as a shared folder or an unpacked archive may hold them: the file
    // they point to is left as it is.
    ViewerProcess snapshot(VELK_SNAPSHOT, {"nowhere/model.obj"});
    snapshot.writeDataFile("notes.txt", "A sentence to keep.\n");
    std::filesystem::create_symlink("Data/notes.txt", snapshot.directory() + "/global.log");
    std::filesystem::create_symlink("Data/notes.txt", snapshot.directory() + "/memory.log");
    run(snapshot);
    EXPECT_EQ(snapshot.exitStatus(), 1);
    EXPECT_EQ(snapshot.errorOutput(), "velk: cannot write global.log: Is a symbolic link\n"
                                      "velk-snapshot: nowhere/model.obj could not be loaded\n"
                                      "velk: cannot write memory.log: Is a symbolic link\n");
    EXPECT_EQ(snapshot.readFile("Data/notes.txt"), "A sentence to keep.\n");
}

TEST(Snapshot, SamplesSmoothEdgesAndAverageFineStripes)
{
    // Without samples and with 4: how many pixels lie between white and black along the
    // square's edges, and the mean and spread of red minus blue over the stripes' middle.
    int between[2] = {0, 0};
    double mean[2] = {0.0, 0.0}, spread[2] = {0.0, 0.0};
    for (int smooth : {0, 1}) {
        ViewerProcess snapshot(VELK_SNAPSHOT, {"--samples", smooth ? "4" : "0", "--size", "256x256", "Data/m.obj"});
        snapshot.writeDataFile("m.obj", squareAndStripes());
        snapshot.writeDataFile("m.mtl", kSmoothLibrary);
        const Screenshot shot = readPicture(run(snapshot).directory() + "/snapshot.png");
        ASSERT_EQ(shot.width, 256);
        EXPECT_EQ(snapshot.output().rfind("velk-snapshot: loaded m.obj (2,002 triangles) in ", 0), 0u) << snapshot.output();
        for (int i = 0, x = 0, y = 0; i < 256 * 256; ++i, x = i % 256, y = i / 256) {
            const double d = shot.rgb[3 * i] - shot.rgb[3 * i + 2], n = 48 * 48;
            between[smooth] += x < 124 && shot.rgb[3 * i + 1] >= 32 && shot.rgb[3 * i + 1] <= 223;
            if (x >= 160 && x < 208 && y >= 104 && y < 152)
                mean[smooth] += d / n, spread[smooth] += d * d / n;
        }
        spread[smooth] = std::sqrt(spread[smooth] - mean[smooth] * mean[smooth]);
    }
    EXPECT_TRUE(between[0] == 0 && between[1] > 100) << between[0] << ", " << between[1];
    EXPECT_TRUE(std::abs(mean[1]) < 32.0 && spread[1] < spread[0] / 2) << mean[1] << ", " << spread[1] << " of " << spread[0];
}

// ---- Cut-outs: where a mask is below one half, what lies behind shows ------------------

namespace
{
struct CutOut
{
    const char* name;
    // Of the square; beside it the orientation picture, whose quadrants' grey is red 76, green
    // 150, blue 29 and yellow 226 of 255, and a red picture whose alpha is a checkerboard.
    const char* library;
    double seenThrough;                                // the share of the square's middle left white
};

const CutOut kCutOuts[] = {
    {"greyMask", "newmtl A\nKd 1 0 0\nmap_d q.ppm\n", 0.5},
    {"withoutMapDAlphaIgnored", "newmtl A\nKd 1 1 1\nmap_Kd own.tga\n", 0.0},
    {"diffusePicturesOwnAlpha", "newmtl A\nKd 1 1 1\nmap_Kd own.tga\nmap_d own.tga\n", 0.5},
    {"missingMaskDrawsSolid", "newmtl A\nKd 1 0 0\nmap_d gone.png\n", 0.0},
};

class CutOuts : public testing::TestWithParam<CutOut> {};
} // namespace

TEST_P(CutOuts, ShowTheBackgroundWhereTheMaskIsBelowOneHalf)
{
    ViewerProcess snapshot(VELK_SNAPSHOT, {"--samples", "0", "--size", "256x256", "Data/m.obj"});
    snapshot.writeDataFile("m.obj", facingSquare());
    snapshot.writeDataFile("m.mtl", GetParam().library);
    snapshot.writeDataFile("q.ppm", orientationPicture());
    snapshot.writeDataFile("own.tga", checkerPicture());
    const Screenshot shot = readPicture(run(snapshot).directory() + "/snapshot.png");
    // The framed square spans the middle 150 pixels or so; these 120 lie inside it.
    int white = 0;
    for (int i = 0; i < 120 * 120 && shot.width == 256; ++i)
        white += shot.at(68 + i % 120, 68 + i / 120) == std::array<int, 3>{255, 255, 255};
    EXPECT_NEAR(white / (120.0 * 120.0), GetParam().seenThrough, 0.05);
}

INSTANTIATE_TEST_SUITE_P(Snapshot, CutOuts, testing::ValuesIn(kCutOuts), testsupport::RowName());

// A triangle with red, green and blue corners shows each hue near its corner, lit: with
// normals side-on to the light the hues are darker.
TEST(Snapshot, VertexColoursShowLitNearTheirCorners)
{
    const int inside[3][2] = {{70, 195}, {186, 195}, {128, 75}};
    int brightness[2][3] = {};
    for (int sideOn = 0; sideOn < 2; ++sideOn) {
        ViewerProcess snapshot(VELK_SNAPSHOT, {"--samples", "0", "--size", "256x256", "Data/m.obj"});
        snapshot.writeDataFile("m.obj", std::string("v 0.7071 -0.7071 1 1 0 0\nv 0.7071 -0.7071 -1 0 1 0\n") +
                                            "v -0.7071 0.7071 0 0 0 1\nvn 0 0 -1\nf 1" + (sideOn ? "//1 2//1 3//1\n" : " 2 3\n"));
        const Screenshot shot = readPicture(run(snapshot).directory() + "/snapshot.png");
        for (int c = 0; c < 3 && shot.width == 256; ++c) {
            const std::array<int, 3> pixel = shot.at(inside[c][0], inside[c][1]);
            const std::array<int, 3> hue = {c == 0 ? 255 : 0, c == 1 ? 255 : 0, c == 2 ? 255 : 0};
            EXPECT_EQ(dominant(pixel), hue) << "corner " << c << ", side-on " << sideOn;
            brightness[sideOn][c] = pixel[c] - (sideOn ? 30 : 0);
        }
    }
    for (int c = 0; c < 3; ++c)
        EXPECT_GT(brightness[0][c], brightness[1][c]) << "corner " << c;
}

// The vertices' colour is opaque: a see-through material still shows the white behind it.
TEST(Snapshot, ColouredGlassBlends)
{
    ViewerProcess snapshot(VELK_SNAPSHOT, {"--samples", "0", "--size", "256x256", "Data/m.obj"});
    snapshot.writeDataFile("m.mtl", "newmtl glass\nd 0.5\nKd 1 1 1\n");
    snapshot.writeDataFile("m.obj", "mtllib m.mtl\nv 0.7071 -0.7071 1 1 0 0\nv 0.7071 -0.7071 -1 1 0 0\n"
                                    "v -0.7071 0.7071 0 1 0 0\nusemtl glass\nf 1 2 3\n");
    const std::array<int, 3> pixel = readPicture(run(snapshot).directory() + "/snapshot.png").at(128, 160);
    EXPECT_GT(pixel[1], 80) << pixel[0] << " " << pixel[1] << " " << pixel[2];
    EXPECT_GT(pixel[0], pixel[1] + 40);
}
