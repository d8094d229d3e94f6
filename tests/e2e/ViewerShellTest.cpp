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
} // namespace

TEST(ViewerShell, OpensAWhiteWindowOfTheFixedSizeAndEndsOnEscape)
{
    ViewerProcess viewer(VELK_VIEWER);
    viewer.start();
    ASSERT_TRUE(viewer.waitForWindow()) << viewer.errorOutput();

    const std::string geometry = runCommand("xdotool getwindowgeometry " + viewer.windowId());
    EXPECT_NE(geometry.find("Position: 50,50"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Geometry: 1024x768"), std::string::npos) << geometry;
    EXPECT_EQ(runCommand("xdotool getwindowname " + viewer.windowId()), "My Window\n");

    const Screenshot shot = viewer.screenshot();
    ASSERT_EQ(shot.width, 1024);
    ASSERT_EQ(shot.height, 768);
    EXPECT_EQ(shot.countDifferent(kWhite, 0), 0);

    viewer.pressKey("Escape");
    ASSERT_TRUE(viewer.waitForExit());
    EXPECT_EQ(viewer.exitStatus(), 0);
    EXPECT_EQ(viewer.errorOutput(), "");
    EXPECT_EQ(viewer.output(), "");
    EXPECT_NE(lastLine(viewer.readLines("global.log")).find(" -> -- LOGGING STOP --"), std::string::npos)
        << viewer.readFile("global.log");
}

TEST(ViewerShell, OtherKeysAndDragsKeepItRunning)
{
    ViewerProcess viewer(VELK_VIEWER);
    viewer.start();
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
    EXPECT_EQ(viewer.output(), "");
}

TEST(ViewerShell, WindowManagerCloseRunsTheExitPathCleanly)
{
    ViewerProcess viewer(VELK_VIEWER);
    viewer.start();
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
