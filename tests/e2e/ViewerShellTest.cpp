// The viewer's window, its ways out, and its start-up failure, as a real process.
#include <gtest/gtest.h>

#include "tests/e2e/ViewerProcess.h"

namespace
{
const std::array<int, 3> kWhite = {255, 255, 255};

std::string lastLine(const std::vector<std::string>& lines)
{
    return lines.empty() ? "" : lines.back();
}

// The viewer on the bundled model, in a scratch folder of its own.
void startWithBundledData(ViewerProcess& viewer)
{
    viewer.copyDataFolder(std::string(VELK_SOURCE_DIR) + "/Data");
    viewer.start();
}

// A normal run prints the load time and nothing else.
void expectOnlyTheLoadTime(const ViewerProcess& viewer)
{
    const auto lines = splitLines(viewer.output());
    ASSERT_EQ(lines.size(), 1u) << "first line: " << (lines.empty() ? "" : lines.front());
    EXPECT_EQ(lines[0].rfind("Loading... ", 0), 0u) << lines[0];
}
} // namespace

TEST(ViewerShell, OpensAWindowOfTheFixedSizeOnWhiteAndEndsOnEscape)
{
    ViewerProcess viewer(VELK_VIEWER);
    startWithBundledData(viewer);
    ASSERT_TRUE(viewer.waitForWindow()) << viewer.errorOutput();

    const std::string geometry = runCommand("xdotool getwindowgeometry " + viewer.windowId());
    EXPECT_NE(geometry.find("Position: 50,50"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Geometry: 1024x768"), std::string::npos) << geometry;
    EXPECT_EQ(runCommand("xdotool getwindowname " + viewer.windowId()), "My Window\n");

    const Screenshot shot = viewer.screenshot();
    ASSERT_EQ(shot.width, 1024);
    ASSERT_EQ(shot.height, 768);
    EXPECT_TRUE(shot.isUniform(0, 0, 1024, 100, kWhite, 0));      // the model sits in the middle
    EXPECT_TRUE(shot.isUniform(0, 700, 1024, 768, kWhite, 0));

    viewer.pressKey("Escape");
    ASSERT_TRUE(viewer.waitForExit());
    EXPECT_EQ(viewer.exitStatus(), 0);
    EXPECT_EQ(viewer.errorOutput(), "");
    expectOnlyTheLoadTime(viewer);
    EXPECT_NE(lastLine(viewer.readLines("global.log")).find(" -> -- LOGGING STOP --"), std::string::npos)
        << viewer.readFile("global.log");
}

TEST(ViewerShell, OtherKeysAndDragsKeepItRunning)
{
    ViewerProcess viewer(VELK_VIEWER);
    startWithBundledData(viewer);
    ASSERT_TRUE(viewer.waitForWindow()) << viewer.errorOutput();
    viewer.pressKey("a");
    viewer.pressKey("Up");
    viewer.pressKey("Down");
    viewer.pressKey("Left");
    viewer.drag(500, 400, 600, 450);
    EXPECT_TRUE(viewer.running());
    viewer.pressKey("Escape");
    ASSERT_TRUE(viewer.waitForExit());
    EXPECT_EQ(viewer.exitStatus(), 0);
    expectOnlyTheLoadTime(viewer);
}

TEST(ViewerShell, WindowManagerCloseRunsTheExitPathCleanly)
{
    ViewerProcess viewer(VELK_VIEWER);
    startWithBundledData(viewer);
    ASSERT_TRUE(viewer.waitForWindow()) << viewer.errorOutput();
    viewer.requestClose();
    ASSERT_TRUE(viewer.waitForExit());
    EXPECT_EQ(viewer.exitStatus(), 0);
    EXPECT_EQ(viewer.errorOutput(), "");
    EXPECT_NE(lastLine(viewer.readLines("global.log")).find(" -> -- LOGGING STOP --"), std::string::npos)
        << viewer.readFile("global.log");
}

TEST(ViewerShell, MissingVertexBufferExtensionEndsWithOneLineAndStatus255)
{
    ViewerProcess viewer(VELK_VIEWER);
    viewer.setEnvironment("MESA_EXTENSION_MAX_YEAR", "2002");
    viewer.start();
    ASSERT_TRUE(viewer.waitForExit());
    EXPECT_EQ(viewer.exitStatus(), 255);
    EXPECT_EQ(viewer.output(), "GL_EXTENSION ERROR : GL_ARB_vertex_buffer_object was not found!\n");
    // The exit path ran: the global log was closed.
    EXPECT_NE(lastLine(viewer.readLines("global.log")).find(" -> -- LOGGING STOP --"), std::string::npos)
        << viewer.readFile("global.log");
}

TEST(ViewerShell, HelpListsTheKeysAndBadOptionsEndWithStatus2)
{
    // The snapshot's own options are not the viewer's, and GLUT's are not passed on.
    const std::vector<std::vector<std::string>> runs = {
        {"--help"}, {"--frobnicate"}, {"a.obj", ""}, {"--output", "x.png"}, {"-display", ":0"},
    };
    for (const auto& arguments : runs) {
        ViewerProcess viewer(VELK_VIEWER, arguments);
        viewer.start();
        ASSERT_TRUE(viewer.waitForExit());
        const bool help = arguments[0] == "--help";
        EXPECT_EQ(viewer.exitStatus(), help ? 0 : 2) << arguments[0];
        const std::string text = help ? viewer.output() : viewer.errorOutput();
        EXPECT_EQ(text.rfind(help ? "usage: velk-viewer " : "velk-viewer: ", 0), 0u) << text;
        EXPECT_NE(text.find("\n  F12              write the picture to velk-<n>.png"), std::string::npos) << text;
        EXPECT_NE(text.find("\n  F5               read the model, its libraries and pictures again"), std::string::npos);
    }
}
