// The log manager: one log per exact name, shutdown and reuse, the global log and its helpers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "debugging/CLogManager.h"
#include "tests/support/LogFileMatch.h"

namespace
{

using DEBUGGING::CLog;
using DEBUGGING::CLogManager;
using testlog::logLinesAre;

// The global log as main() finds it, before any test has touched the manager.
struct AtStart
{
    bool open = false;
    std::string name;
    bool registered = false;
};
AtStart atStart;

class RecordGlobalLogAtStart : public testing::Environment
{
public:
    void SetUp() override
    {
        atStart.open = DEBUGGING::globalLog != nullptr;
        if (atStart.open) {
            atStart.name = DEBUGGING::globalLog->getName();
            atStart.registered = CLogManager::getInstance().getLog("global.log") == DEBUGGING::globalLog;
        }
    }
};
[[maybe_unused]] testing::Environment* const recordAtStart = testing::AddGlobalTestEnvironment(new RecordGlobalLogAtStart);

// Each test starts with an empty manager in a folder of its own; the global log is
// opened again only by the tests that need it.
class CLogManagerTest : public testing::Test
{
protected:
    void SetUp() override { manager().shutdown(); }
    void TearDown() override { manager().shutdown(); }
    static CLogManager& manager() { return CLogManager::getInstance(); }

    testlog::ScratchDir scratch;
};

} // namespace

TEST_F(CLogManagerTest, GlobalLogIsOpenAndRegisteredBeforeMain)
{
    EXPECT_TRUE(atStart.open);
    EXPECT_EQ(atStart.name, "global.log");
    EXPECT_TRUE(atStart.registered);
}

TEST_F(CLogManagerTest, SameNameGivesSameLogWithOneHeader)
{
    CLog* first = manager().getLog("same.log");
    CLog* second = manager().getLog("same.log");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    second->print("entry\n");
    manager().shutdown();
    EXPECT_TRUE(logLinesAre("same.log", {"LOG NAME : same.log", "", "{T} -> -- LOGGING START --",
                                         "{T} -> [ INFOS ] entry", "{T} -> -- LOGGING STOP --"}));
}

TEST_F(CLogManagerTest, NamesDifferingInCaseGiveTwoLogs)
{
    CLog* upper = manager().getLog("Case.log");
    CLog* lower = manager().getLog("case.log");
    EXPECT_NE(upper, lower);
    upper->print("upper\n");
    lower->print("lower\n");
    manager().shutdown();
    EXPECT_TRUE(logLinesAre("Case.log", {"LOG NAME : Case.log", "", "{T} -> -- LOGGING START --",
                                         "{T} -> [ INFOS ] upper", "{T} -> -- LOGGING STOP --"}));
    EXPECT_TRUE(logLinesAre("case.log", {"LOG NAME : case.log", "", "{T} -> -- LOGGING START --",
                                         "{T} -> [ INFOS ] lower", "{T} -> -- LOGGING STOP --"}));
}

TEST_F(CLogManagerTest, ShutdownClosesEveryLogOnceAndLaterGetLogStartsAFreshFile)
{
    manager().getLog("a.log")->print("kept\n");
    manager().getLog("b.log")->setLevel(4);
    manager().shutdown();
    const std::vector<std::string> closedA = {"LOG NAME : a.log", "", "{T} -> -- LOGGING START --",
                                              "{T} -> [ INFOS ] kept", "{T} -> -- LOGGING STOP --"};
    const std::vector<std::string> closedB = {"LOG NAME : b.log", "", "{T} -> -- LOGGING START --",
                                              "{T} -> -- LOGGING STOP --"};
    EXPECT_TRUE(logLinesAre("a.log", closedA));
    EXPECT_TRUE(logLinesAre("b.log", closedB));

    const std::string before = testlog::readFile("a.log");
    manager().shutdown();
    EXPECT_EQ(testlog::readFile("a.log"), before);
    EXPECT_TRUE(logLinesAre("b.log", closedB));

    manager().getLog("a.log")->print("again\n");
    manager().shutdown();
    EXPECT_TRUE(logLinesAre("a.log", {"LOG NAME : a.log", "", "{T} -> -- LOGGING START --",
                                      "{T} -> [ INFOS ] again", "{T} -> -- LOGGING STOP --"}));
}

TEST_F(CLogManagerTest, LogWhoseFileCannotBeOpenedIsStillGiven)
{
    CLog* log = manager().getLog("no-such-folder/x.log");
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(manager().getLog("no-such-folder/x.log"), log);
    log->print("dropped\n");
    manager().shutdown();
    EXPECT_TRUE(std::filesystem::is_empty(scratch.get()));
}

TEST_F(CLogManagerTest, GlobalHelpersWriteWholeLinesAndLogMessageLeavesItsLevel)
{
    CLog* global = DEBUGGING::openGlobalLog();
    ASSERT_NE(global, nullptr);
    EXPECT_EQ(global, DEBUGGING::globalLog);
    EXPECT_EQ(manager().getLog("global.log"), global);

    DEBUGGING::logGlobal("CResourceManager - LOADING : ") << "005.obj" << std::endl;
    DEBUGGING::logMessage(4, "VELK::CPictureLoader::loadFromFile a.bmp [FAILED]");
    // Both helpers end their lines with a flush, so the lines are on disk already.
    const std::vector<std::string> running = {"LOG NAME : global.log", "", "{T} -> -- LOGGING START --",
                                              "{T} -> [ INFOS ] CResourceManager - LOADING : 005.obj",
                                              "{T} -> [ ERROR ] VELK::CPictureLoader::loadFromFile a.bmp [FAILED]"};
    EXPECT_TRUE(logLinesAre("global.log", running));

    DEBUGGING::logGlobal("CResourceManager - RELEASE : ") << "005.obj" << std::endl;
    DEBUGGING::logMessage(1, "back to infos");
    manager().shutdown();
    std::vector<std::string> closed = running;
    closed.insert(closed.end(), {"{T} -> [ ERROR ] CResourceManager - RELEASE : 005.obj",
                                 "{T} -> [ INFOS ] back to infos", "{T} -> -- LOGGING STOP --"});
    EXPECT_TRUE(logLinesAre("global.log", closed));
}

TEST_F(CLogManagerTest, GlobalHelpersWriteNothingOnceTheGlobalLogIsClosed)
{
    DEBUGGING::openGlobalLog();
    manager().shutdown();
    EXPECT_EQ(DEBUGGING::globalLog, nullptr);
    const std::string closed = testlog::readFile("global.log");

    DEBUGGING::logGlobal("late : ") << "line" << std::endl;
    DEBUGGING::logMessage(4, "late error");
    EXPECT_EQ(testlog::readFile("global.log"), closed);
    EXPECT_TRUE(logLinesAre("global.log", {"LOG NAME : global.log", "", "{T} -> -- LOGGING START --",
                                           "{T} -> -- LOGGING STOP --"}));
}

namespace
{
// Kept in a global so that the leak checker sees the log the manager never deletes.
CLog* keptAtExit = nullptr;
} // namespace

TEST_F(CLogManagerTest, LogsNotShutDownAtExitGetNoClosingLine)
{
    std::fflush(nullptr);                          // or the child repeats pending output at exit
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        keptAtExit = manager().getLog("kept.log");
        keptAtExit->print("entry") << std::endl;
        std::exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    EXPECT_TRUE(logLinesAre("kept.log", {"LOG NAME : kept.log", "", "{T} -> -- LOGGING START --",
                                         "{T} -> [ INFOS ] entry"}));
}
