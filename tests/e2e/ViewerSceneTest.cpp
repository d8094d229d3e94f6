// The complete viewer as a process: loading, drawing, logs and shutdown.
#include <gtest/gtest.h>

#include <csignal>
#include <cmath>
#include <filesystem>
#include <ostream>
#include <regex>
#include <thread>

#include "tests/support/LogLines.h"
#include "tests/e2e/TestScenes.h"
#include "tests/e2e/ViewerProcess.h"
#include "tests/support/RowNames.h"

namespace
{

using testsupport::operator<<;
const std::array<int, 3> kWhite = {255, 255, 255};

// Where a point of the camera-facing plane through the origin lands in the 1024 x 768
// window at the default camera distance (the eye 4 * sqrt(2) away, 45 degrees vertically).
std::pair<int, int> toScreen(double right, double up)
{
    const double pixelsPerUnit = 384.0 / (4.0 * std::sqrt(2.0) * std::tan(22.5 * M_PI / 180.0));
    return {static_cast<int>(512.0 + right * pixelsPerUnit), static_cast<int>(384.0 - up * pixelsPerUnit)};
}

std::array<int, 3> dominantAt(const Screenshot& shot, double right, double up)
{
    const auto [x, y] = toScreen(right, up);
    return dominant(shot.at(x, y));
}

bool isLoadingLine(const std::string& line)
{
    return std::regex_match(line, std::regex("Loading\\.\\.\\. [0-9.e+-]+"));
}

void quit(ViewerProcess& viewer)
{
    viewer.pressKey("Escape");
    ASSERT_TRUE(viewer.waitForExit());
    EXPECT_EQ(viewer.exitStatus(), 0);
    EXPECT_EQ(viewer.errorOutput(), "");
}
} // namespace

TEST(ViewerScene, CleanRunPrintsTheLoadTimeAndWritesBothLogs)
{
    ViewerProcess viewer(VELK_VIEWER);
    writeOrientationScene(viewer);
    viewer.start();
    ASSERT_TRUE(viewer.waitForWindow()) << viewer.errorOutput();
    quit(viewer);

    const auto console = splitLines(viewer.output());
    ASSERT_EQ(console.size(), 1u) << viewer.output();
    EXPECT_TRUE(isLoadingLine(console[0])) << console[0];

    EXPECT_EQ(compareLog(viewer.readLines("global.log"), "global.log",
                         {" -> -- LOGGING START --",
                          " -> [ INFOS ] CResourceManager - LOADING : 005.obj",
                          " -> [ INFOS ] CResourceManager - LOADING : quadrants.ppm",
                          " -> [ INFOS ] CResourceManager - RELEASE : 005.obj",
                          " -> [ INFOS ] CResourceManager - RELEASE : quadrants.ppm",
                          " -> -- LOGGING STOP --"}),
              "")
        << viewer.readFile("global.log");
    EXPECT_EQ(compareLog(viewer.readLines("memory.log"), "memory.log", kCleanMemoryLog), "")
        << viewer.readFile("memory.log");
}

TEST(ViewerScene, SharedPictureLoadsOnceAndMissingPictureDrawsUntextured)
{
    ViewerProcess viewer(VELK_VIEWER);
    writeMaterialScene(viewer);
    viewer.start();
    ASSERT_TRUE(viewer.waitForWindow()) << viewer.errorOutput();
    const Screenshot shot = viewer.screenshot();
    quit(viewer);

    // Two quads share the picture (named two ways), the third names a missing one, the fourth none.
    ASSERT_EQ(shot.width, 1024);
    for (double left : {-1.8, -0.9}) {
        EXPECT_EQ(dominantAt(shot, left + 0.2, 0.2), kTopLeft) << left;
        EXPECT_EQ(dominantAt(shot, left + 0.6, 0.2), kTopRight) << left;
        EXPECT_EQ(dominantAt(shot, left + 0.2, -0.2), kBottomLeft) << left;
        EXPECT_EQ(dominantAt(shot, left + 0.6, -0.2), kBottomRight) << left;
    }
    EXPECT_EQ(dominantAt(shot, 0.4, 0.0), (std::array<int, 3>{0, 0, 255}));    // its own blue, untextured
    EXPECT_EQ(dominantAt(shot, 1.3, 0.0), (std::array<int, 3>{255, 0, 0}));    // plain red

    EXPECT_EQ(compareLog(viewer.readLines("global.log"), "global.log",
                         {" -> -- LOGGING START --",
                          " -> [ INFOS ] CResourceManager - LOADING : 005.obj",
                          " -> [ INFOS ] CResourceManager - LOADING : quadrants.ppm",
                          " -> [ ERROR ] VELK::CPictureLoader::loadFromFile : Data/missing.png : "
                          "cannot open: No such file or directory",
                          " -> [ ERROR ] VELK::CPictureLoader::loadFromFile Data/missing.png [FAILED]",
                          " -> [ ERROR ] CResourceManager - RELEASE : 005.obj",
                          " -> [ ERROR ] CResourceManager - RELEASE : quadrants.ppm",
                          " -> -- LOGGING STOP --"}),
              "")
        << viewer.readFile("global.log");
}

TEST(ViewerScene, PictureReadsTheRightWayRoundAndUp)
{
    ViewerProcess viewer(VELK_VIEWER);
    writeOrientationScene(viewer);
    viewer.start();
    ASSERT_TRUE(viewer.waitForWindow()) << viewer.errorOutput();
    const Screenshot shot = viewer.screenshot();
    quit(viewer);

    ASSERT_EQ(shot.width, 1024);
    EXPECT_EQ(dominantAt(shot, -0.5, 0.5), kTopLeft);
    EXPECT_EQ(dominantAt(shot, 0.5, 0.5), kTopRight);
    EXPECT_EQ(dominantAt(shot, -0.5, -0.5), kBottomLeft);
    EXPECT_EQ(dominantAt(shot, 0.5, -0.5), kBottomRight);
    EXPECT_EQ(shot.at(5, 5), kWhite);
}

TEST(ViewerScene, UpAndDownMoveTheCameraAndDraggingTurnsTheModel)
{
    ViewerProcess viewer(VELK_VIEWER);
    writeOrientationScene(viewer);
    viewer.start();
    ASSERT_TRUE(viewer.waitForWindow()) << viewer.errorOutput();

    const int start = viewer.screenshot().countDifferent(kWhite, 8);
    ASSERT_GT(start, 10000);
    for (int i = 0; i < 5; ++i)
        viewer.pressKey("Up");
    const int nearer = viewer.screenshot().countDifferent(kWhite, 8);
    for (int i = 0; i < 10; ++i)
        viewer.pressKey("Down");
    const int farther = viewer.screenshot().countDifferent(kWhite, 8);
    EXPECT_GT(nearer, start * 11 / 10);
    EXPECT_LT(farther, start * 9 / 10);

    // Holding the button 100 pixels right of the press point turns the quad about y.
    const Screenshot before = viewer.screenshot();
    viewer.drag(512, 384, 612, 384, 20);
    const Screenshot after = viewer.screenshot();
    int changed = 0;
    for (std::size_t i = 0; i < before.rgb.size() && i < after.rgb.size(); ++i)
        changed += std::abs(before.rgb[i] - after.rgb[i]) > 32;
    EXPECT_GT(changed, 3000);
    quit(viewer);
}

TEST(ViewerScene, MissingModelIsReportedEveryFrameAndShutsDownCleanly)
{
    ViewerProcess viewer(VELK_VIEWER);
    viewer.start();
    ASSERT_TRUE(viewer.waitForWindow()) << viewer.errorOutput();
    const Screenshot shot = viewer.screenshot();
    quit(viewer);

    EXPECT_EQ(shot.countDifferent(kWhite, 0), 0);
    const auto console = splitLines(viewer.output());
    ASSERT_GE(console.size(), 3u) << viewer.output();
    EXPECT_TRUE(isLoadingLine(console[0])) << console[0];
    for (std::size_t i = 1; i < console.size(); ++i)
        EXPECT_EQ(console[i], "005.obj not found!");
    EXPECT_EQ(compareLog(viewer.readLines("global.log"), "global.log",
                         {" -> -- LOGGING START --",
                          " -> [ ERROR ] VELK::CObjLoader::loadFromFile : Data/005.obj : "
                          "cannot open: No such file or directory",
                          " -> [ ERROR ] VELK::CObjLoader::loadFromFile Data/005.obj [FAILED]",
                          " -> -- LOGGING STOP --"}),
              "")
        << viewer.readFile("global.log");
    EXPECT_EQ(compareLog(viewer.readLines("memory.log"), "memory.log", kCleanMemoryLog), "");
}

TEST(ViewerScene, BrokenModelIsReportedLikeAMissingOne)
{
    ViewerProcess viewer(VELK_VIEWER);
    viewer.writeDataFile("005.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 9\n");
    viewer.start();
    ASSERT_TRUE(viewer.waitForWindow()) << viewer.errorOutput();
    viewer.requestClose();
    ASSERT_TRUE(viewer.waitForExit());
    EXPECT_EQ(viewer.exitStatus(), 0);
    EXPECT_EQ(viewer.errorOutput(), "");

    const auto console = splitLines(viewer.output());
    ASSERT_GE(console.size(), 2u);
    EXPECT_EQ(console[1], "005.obj not found!");
    const auto log = viewer.readLines("global.log");
    ASSERT_GE(log.size(), 3u);
    EXPECT_TRUE(isTimedLine(log[log.size() - 2], " -> [ ERROR ] VELK::CObjLoader::loadFromFile Data/005.obj [FAILED]"))
        << viewer.readFile("global.log");
    EXPECT_TRUE(isTimedLine(log.back(), " -> -- LOGGING STOP --"));
}

TEST(ViewerScene, BundledModelShowsItsNamePlateTheRightWayAndLogsEveryPictureOnce)
{
    ViewerProcess viewer(VELK_VIEWER);
    viewer.copyDataFolder(std::string(VELK_SOURCE_DIR) + "/Data");
    viewer.start();
    ASSERT_TRUE(viewer.waitForWindow()) << viewer.errorOutput();
    const Screenshot shot = viewer.screenshot();
    quit(viewer);

    ASSERT_EQ(shot.width, 1024);
    const std::array<int, 3> red = {255, 0, 0}, navy = {0, 0, 255}, yellow = {255, 255, 0};
    // The plate's arrow points right below the letters: a mirrored picture puts its head
    // on the left, an upside-down one puts the arrow above the letters.
    EXPECT_EQ(dominant(shot.at(576, 523)), red);                 // arrow head, right
    EXPECT_EQ(dominant(shot.at(452, 522)), navy);                // left of the head's rows: background
    EXPECT_EQ(dominant(shot.at(482, 486)), yellow);              // the E's bar, above the arrow
    EXPECT_EQ(dominant(shot.at(529, 486)), yellow);              // the L's bar
    EXPECT_EQ(shot.at(5, 5), kWhite);
    EXPECT_GT(shot.countDifferent(kWhite, 8), 60000);            // the model is there, lit

    EXPECT_EQ(compareLog(viewer.readLines("global.log"), "global.log",
                         {" -> -- LOGGING START --",
                          " -> [ INFOS ] CResourceManager - LOADING : 005.obj",
                          " -> [ INFOS ] CResourceManager - LOADING : stone.pgm",
                          " -> [ INFOS ] CResourceManager - LOADING : tiles.jpg",
                          " -> [ INFOS ] CResourceManager - LOADING : sign.png",
                          " -> [ INFOS ] CResourceManager - LOADING : crate.tga",
                          " -> [ INFOS ] CResourceManager - RELEASE : 005.obj",
                          " -> [ INFOS ] CResourceManager - RELEASE : crate.tga",
                          " -> [ INFOS ] CResourceManager - RELEASE : sign.png",
                          " -> [ INFOS ] CResourceManager - RELEASE : stone.pgm",
                          " -> [ INFOS ] CResourceManager - RELEASE : tiles.jpg",
                          " -> -- LOGGING STOP --"}),
              "")
        << viewer.readFile("global.log");
}

// ---- Hostile files and faults: each ends one load, logged, and the viewer goes on -------

namespace
{
struct HostileScene
{
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;  // below Data/, as writeDataEntry takes them
    bool modelLoads;
    std::vector<std::string> log;                            // global.log between START and STOP
};

const HostileScene kHostileScenes[] = {
    {"picturesOfEveryWrongKind",
     {{"005.obj", "mtllib m.mtl\nv 0 0 -1\nv 0 0 1\nv -1 1 0\n"
                  "usemtl A\nf 2 1 3\nusemtl B\nf 2 1 3\nusemtl C\nf 2 1 3\nusemtl D\nf 2 1 3\nusemtl E\nf 2 1 3\n"},
      {"m.mtl", "newmtl A\nmap_Kd other.obj\nnewmtl B\nmap_Kd d.png\nnewmtl C\nmap_Kd f.png\n"
                "newmtl D\nmap_Kd z.png\nnewmtl E\nmap_Kd missing.png\n"},
      {"other.obj", kTriangleModel}, {"d.png", "<folder>"}, {"f.png", "<fifo>"}, {"z.png", "<zero>"}},
     true,
     {" -> [ INFOS ] CResourceManager - LOADING : 005.obj",
      " -> [ ERROR ] VELK::CFactoryLoader::loadFromFile : Data/other.obj : a model, not a picture",
      failureLines("CPictureLoader", "Data/d.png", "is a directory"),
      failureLines("CPictureLoader", "Data/f.png", "is a FIFO"), failureLines("CPictureLoader", "Data/z.png", "is a device"),
      failureLines("CPictureLoader", "Data/missing.png", "cannot open: No such file or directory"),
      " -> [ ERROR ] CResourceManager - RELEASE : 005.obj"}},
    {"modelIsAFifo", {{"005.obj", "<fifo>"}}, false, {failureLines("CObjLoader", "Data/005.obj", "is a FIFO")}},
};

class HostileFiles : public testing::TestWithParam<HostileScene> {};
class ExitSignal : public testing::TestWithParam<int> {};
} // namespace

TEST_P(HostileFiles, EndOneLoadWithTheirLinesAndTheViewerGoesOn)
{
    const HostileScene& scene = GetParam();
    ViewerProcess viewer(VELK_VIEWER);
    for (const auto& [name, content] : scene.files)
        writeDataEntry(viewer, name, content);
    viewer.start();
    ASSERT_TRUE(viewer.waitForWindow()) << viewer.errorOutput();
    quit(viewer);

    // The load time, then, with no model, the line of every frame.
    const auto console = splitLines(viewer.output());
    ASSERT_GE(console.size(), 1u);
    EXPECT_TRUE(isLoadingLine(console[0])) << console[0];
    EXPECT_EQ(console.size() == 1, scene.modelLoads) << viewer.output();
    for (std::size_t i = 1; i < console.size(); ++i)
        EXPECT_EQ(console[i], "005.obj not found!");
    EXPECT_EQ(compareLog(viewer.readLines("global.log"), "global.log", between(scene.log)), "")
        << viewer.readFile("global.log");
    EXPECT_EQ(compareLog(viewer.readLines("memory.log"), "memory.log", kCleanMemoryLog), "");
}

INSTANTIATE_TEST_SUITE_P(Viewer, HostileFiles, testing::ValuesIn(kHostileScenes), testsupport::RowName());

TEST_P(ExitSignal, EndsTheViewerLikeEscape)
{
    ViewerProcess viewer(VELK_VIEWER);
    writeOrientationScene(viewer);
    viewer.start();
    ASSERT_TRUE(viewer.waitForWindow()) << viewer.errorOutput();
    viewer.sendSignal(GetParam());
    ASSERT_TRUE(viewer.waitForExit());
    EXPECT_EQ(viewer.exitStatus(), 0);
    EXPECT_EQ(viewer.errorOutput(), "");
    EXPECT_EQ(compareLog(viewer.readLines("global.log"), "global.log",
                         between({" -> [ INFOS ] CResourceManager - LOADING : 005.obj",
                                  " -> [ INFOS ] CResourceManager - LOADING : quadrants.ppm",
                                  " -> [ INFOS ] CResourceManager - RELEASE : 005.obj",
                                  " -> [ INFOS ] CResourceManager - RELEASE : quadrants.ppm"})),
              "")
        << viewer.readFile("global.log");
    EXPECT_EQ(compareLog(viewer.readLines("memory.log"), "memory.log", kCleanMemoryLog), "");
}

INSTANTIATE_TEST_SUITE_P(Viewer, ExitSignal, testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto& info) { return std::string(info.param == SIGTERM  ? "SIGTERM"
                                                                   : info.param == SIGINT ? "SIGINT"
                                                                                          : "SIGHUP"); });

TEST(ViewerScene, LogsThatCannotBeWrittenAreSaidOnStderr)
{
    // A dangling link does not make its target.
    ViewerProcess viewer(VELK_VIEWER);
    writeOrientationScene(viewer);
    std::filesystem::create_symlink("Data/absent.txt", viewer.directory() + "/global.log");
    std::filesystem::create_directory(viewer.directory() + "/memory.log");
    viewer.start();
    ASSERT_TRUE(viewer.waitForWindow()) << viewer.errorOutput();
    viewer.pressKey("Escape");
    ASSERT_TRUE(viewer.waitForExit());
    EXPECT_EQ(viewer.exitStatus(), 0);
    EXPECT_EQ(viewer.errorOutput(), "velk: cannot write global.log: Is a symbolic link\n"
                                    "velk: cannot write memory.log: Is a directory\n");
    EXPECT_FALSE(std::filesystem::exists(viewer.directory() + "/Data/absent.txt"));
}

// ---- Models named on the command line: framed, lit, and the keys that move the view ----

namespace
{
// The share of bytes of two pictures of one program that differ more than rounding does.
double differentShare(const Screenshot& a, const Screenshot& b)
{
    std::size_t far = 0;
    for (std::size_t i = 0; i < a.rgb.size() && a.rgb.size() == b.rgb.size(); ++i)
        far += std::abs(a.rgb[i] - b.rgb[i]) > 24;
    return a.rgb.size() == b.rgb.size() && !a.rgb.empty() ? static_cast<double>(far) / a.rgb.size() : 1.0;
}

class FramedModels : public testing::TestWithParam<FramedModel> {};
} // namespace

TEST_P(FramedModels, ShowWholeInTheViewerAndTheSnapshotAlike)
{
    ViewerProcess viewer(VELK_VIEWER, {"Data/m.obj"});
    writeFramedModel(viewer, GetParam());
    viewer.start();
    ASSERT_TRUE(viewer.waitForWindow(30, "m.obj - velk-viewer")) << viewer.errorOutput();
    const Screenshot shot = viewer.screenshot();
    quit(viewer);
    EXPECT_EQ(checkLook(shot, GetParam().look), "");

    ViewerProcess snapshot(VELK_SNAPSHOT, {"Data/m.obj"});
    writeFramedModel(snapshot, GetParam());
    snapshot.start();
    ASSERT_TRUE(snapshot.waitForExit(60));
    EXPECT_LT(differentShare(shot, readPicture(snapshot.directory() + "/snapshot.png")), 0.001);
}

INSTANTIATE_TEST_SUITE_P(Viewer, FramedModels, testing::ValuesIn(kFramedModels), testsupport::RowName());

TEST(ViewerScene, WheelZoomsFFramesRResetsAndF12WritesThePicture)
{
    ViewerProcess viewer(VELK_VIEWER, {"Data/m.obj"});
    writeFramedModel(viewer, kFramedModels[0]);
    viewer.start();
    ASSERT_TRUE(viewer.waitForWindow(30, "m.obj - velk-viewer")) << viewer.errorOutput();
    const Screenshot first = viewer.screenshot();

    viewer.click(4, 3);                                // the wheel forward: nearer
    EXPECT_GT(viewer.screenshot().countDifferent(kWhite, 0), first.countDifferent(kWhite, 0) * 11 / 10);

    viewer.drag(512, 384, 592, 424, 10);
    viewer.click(5, 20);
    viewer.pressKey("f");
    EXPECT_EQ(checkLook(viewer.screenshot(), FramedLook::centred), "");

    viewer.pressKey("r");
    EXPECT_LT(differentShare(first, viewer.screenshot()), 0.001);

    viewer.pressKey("F12");
    quit(viewer);
    EXPECT_EQ(viewer.output().substr(viewer.output().find('\n') + 1), "velk-viewer: wrote velk-1.png\n");
    EXPECT_LT(differentShare(first, readPicture(viewer.directory() + "/velk-1.png")), 0.001);
}

TEST(ViewerScene, PanFollowsTheCursorRUndoesItAndIDrawsInTheCornerOnly)
{
    // A flat L at the depth of the view's centre: it follows the cursor exactly.
    ViewerProcess viewer(VELK_VIEWER, {"Data/m.obj"}), snapshot(VELK_SNAPSHOT, {"--info", "Data/m.obj"});
    writeFramedModel(viewer, kFramedModels[3]);
    writeFramedModel(snapshot, kFramedModels[3]);
    viewer.start();
    ASSERT_TRUE(viewer.waitForWindow(30, "m.obj - velk-viewer")) << viewer.errorOutput();
    const Screenshot first = viewer.screenshot();
    for (const auto& [button, holding, dx, dy] : {std::tuple{2, "", 120, 60}, {1, "shift", -80, 100}}) {
        viewer.drag(512, 384, 512 + dx, 384 + dy, 8, button, holding);
        const Outline start = outlineOf(first), moved = outlineOf(viewer.screenshot());
        EXPECT_NEAR(moved.x - start.x, dx, 10) << button;
        EXPECT_NEAR(moved.y - start.y, dy, 10) << button;
        viewer.pressKey("r");
        EXPECT_LT(differentShare(first, viewer.screenshot()), 0.001);
    }
    viewer.pressKey("i");
    const Screenshot shown = viewer.screenshot();
    quit(viewer);
    snapshot.start();
    ASSERT_TRUE(snapshot.waitForExit(60));
    // The block of facts, alone, in the window and in velk-snapshot --info's picture.
    for (const Screenshot& shot : {shown, readPicture(snapshot.directory() + "/snapshot.png")}) {
        int changed[2] = {0, 0};                           // in the corner, elsewhere
        for (int i = 0; i < shot.width * shot.height && shot.rgb.size() == first.rgb.size(); ++i)
            changed[i % shot.width >= 240 || i / shot.width >= 160] += std::abs(shot.rgb[3 * i] - first.rgb[3 * i]) > 24;
        EXPECT_GT(changed[0], 1000);
        EXPECT_LT(changed[1], 100);
    }
}

TEST(ViewerScene, UpAxisAndViewKeysShowAZUpPyramidsSides)
{
    // Its base 2 along x and 1 along y, its apex 4 up along z.
    ViewerProcess viewer(VELK_VIEWER, {"--up", "+Z", "Data/m.obj"});
    viewer.writeDataFile("m.obj", "v -1 -0.5 0\nv 1 -0.5 0\nv 1 0.5 0\nv -1 0.5 0\nv 0 0 4\n"
                                  "f 4 3 2 1\nf 1 2 5\nf 2 3 5\nf 3 4 5\nf 4 1 5\n");
    viewer.start();
    ASSERT_TRUE(viewer.waitForWindow(30, "m.obj - velk-viewer")) << viewer.errorOutput();
    // The outline's width over its height, from the start and after each key; but from the
    // top, the apex is up, and the outline's weight below its middle.
    for (const auto& [key, least, most] : {std::tuple{"", 0.1, 0.5}, {"1", 0.45, 0.6}, {"3", 0.2, 0.3}, {"7", 1.8, 2.2}}) {
        if (*key)
            viewer.pressKey(key);
        const Outline o = outlineOf(viewer.screenshot());
        const int width = o.right - o.left, height = std::max(o.bottom - o.top, 1);
        EXPECT_TRUE(width >= least * height && width <= most * height && (least > 1.0 || o.y > o.top + 0.6 * height))
            << key << ": " << width << " x " << height << ", the middle " << o.y - o.top << " down";
    }
    quit(viewer);
}

TEST(ViewerScene, CombLooksTheSameFrom1eMinus30To1e30Across)
{
    Screenshot pictures[3];                                // 1e-30, 1 and 1e30 across
    for (int i = 0; i < 3; ++i) {
        ViewerProcess snapshot(VELK_SNAPSHOT, {"--size", "320x240", "Data/m.obj"});
        snapshot.writeDataFile("m.obj", comb(std::pow(1e30, i - 1)));
        snapshot.start();
        ASSERT_TRUE(snapshot.waitForExit(60));
        pictures[i] = readPicture(snapshot.directory() + "/snapshot.png");
    }
    EXPECT_GT(outlineOf(pictures[1]).right - outlineOf(pictures[1]).left, 160);
    EXPECT_LT(std::max(differentShare(pictures[0], pictures[1]), differentShare(pictures[2], pictures[1])), 0.001);
}

TEST(ViewerScene, RightAndLeftShowEachModelFramedAndReleaseTheOneLeft)
{
    // A red cube 400 across, a green one 0.01 across, a blue one as the red, and a name that reaches no file.
    ViewerProcess viewer(VELK_VIEWER, {"Data/a.obj", "Data/b.obj", "Data/c.obj", "Data/gone.obj"});
    viewer.writeDataFile("m.mtl", "newmtl a\nKd 1 0 0\nnewmtl b\nKd 0 1 0\nnewmtl c\nKd 0 0 1\n");
    for (const char* name : {"a", "b", "c"})
        viewer.writeDataFile(name + std::string(".obj"), "mtllib m.mtl\nusemtl " + (name + ("\n" + kFramedModels[(*name - 'a') % 2].text)));
    viewer.start();
    ASSERT_TRUE(viewer.waitForWindow(30, "a.obj \\(1/4\\) - velk-viewer")) << viewer.errorOutput();
    const std::string kResource = " -> [ INFOS ] CResourceManager - ";
    std::vector<std::string> log = {kResource + "LOADING : a.obj"};
    for (const auto& [key, title, colour] : {std::tuple{"Right", "b.obj (2/4)", std::array<int, 3>{0, 255, 0}},
                                             {"Right", "c.obj (3/4)", {0, 0, 255}}, {"Left", "b.obj (2/4)", {0, 255, 0}},
                                             {"Left", "a.obj (1/4)", {255, 0, 0}},
                                             {"Page_Up", "gone.obj (4/4, not loaded)", kWhite}}) {
        viewer.pressKey(key);
        const Screenshot shot = viewer.screenshot();
        EXPECT_EQ(runCommand("xdotool getwindowname " + viewer.windowId()), title + std::string(" - velk-viewer\n"));
        EXPECT_EQ(dominant(shot.at(512, 384)), colour) << title;
        EXPECT_EQ(checkLook(shot, FramedLook::centred), colour == kWhite ? "nothing drawn" : "") << title;
        log.push_back(kResource + "RELEASE : " + log.back().substr(log.back().size() - 5));
        log.push_back(colour == kWhite ? failureLines("CObjLoader", "Data/gone.obj", "cannot open: No such file or directory")
                                       : kResource + "LOADING : " + std::string(title, 5));
    }
    quit(viewer);
    EXPECT_EQ(compareLog(viewer.readLines("global.log"), "global.log", between(log)), "") << viewer.readFile("global.log");
}

TEST(ViewerScene, WatchAndF5ReloadKeepingTheViewAndTheMemory)
{
    // A square with five thousand copies of its back, which are never drawn, under a picture of
    // 512 x 512: a model (120 kB of indices) or a picture kept by each of a hundred reloads
    // would show in the peak memory.
    std::string model = facingSquare(), red = "P6\n512 512\n255\n", blue = red;
    for (int i = 0; i < 512 * 512; ++i)
        red += std::string("\xff\0\0", 3), blue += std::string("\0\0\xff", 3), model += i < 5000 ? "f 4/4/1 3/3/1 2/2/1 1/1/1\n" : "";
    ViewerProcess viewer(VELK_VIEWER, {"--watch", "Data/m.obj"});
    viewer.writeDataFile("m.obj", model);
    viewer.writeDataFile("m.mtl", "newmtl A\nKa 1 1 1\nKd 1 1 1\nmap_Kd p.ppm\n");
    viewer.writeDataFile("p.ppm", red);
    viewer.start();
    ASSERT_TRUE(viewer.waitForWindow(30, "m.obj - velk-viewer")) << viewer.errorOutput();
    [[maybe_unused]] const long firstPeak = viewer.peakMemory();

    // A hundred F5 presses, from a turned and moved view, which they keep.
    viewer.drag(512, 384, 562, 404, 5);
    viewer.drag(512, 384, 542, 394, 5, 2);
    const Screenshot turned = viewer.screenshot();
    EXPECT_EQ(dominant(turned.at(512, 384)), (std::array<int, 3>{255, 0, 0}));
    viewer.pressKey("F5", 100);
    for (int i = 0; i < 600 && splitLines(viewer.output()).size() < 101; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(splitLines(viewer.output()).size(), 101u);
    EXPECT_LT(differentShare(turned, viewer.screenshot()), 0.001);
#if !defined(__SANITIZE_ADDRESS__)                    // which holds freed memory back a while
    EXPECT_LE(viewer.peakMemory(), firstPeak * 11 / 10) << firstPeak;
#endif

    // The picture rewritten, then the model broken: the one shown within three seconds, the
    // other said on stderr while the last version stays.
    viewer.writeDataFile("p.ppm", blue);
    const auto written = std::chrono::steady_clock::now();
    while (dominant(viewer.screenshot().at(512, 384))[2] == 0 && std::chrono::steady_clock::now() - written < std::chrono::seconds(3))
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const Screenshot blueShot = viewer.screenshot();
    EXPECT_EQ(dominant(blueShot.at(512, 384)), (std::array<int, 3>{0, 0, 255}));
    viewer.writeDataFile("m.obj", "v 0 0 0\nf 1 2 9\n");
    for (int i = 0; i < 30 && viewer.errorOutput().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(viewer.errorOutput(), "velk-viewer: Data/m.obj could not be reloaded: VELK::CObjLoader::loadFromFile : "
                                    "Data/m.obj line 2 : position number 2 is out of range; the last version stays\n");
    EXPECT_LT(differentShare(blueShot, viewer.screenshot()), 0.001);
}
