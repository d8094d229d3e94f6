// The memory tracker's report in "memory.log": clean runs, leaked blocks, long file names.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "debugging/CLogManager.h"
#include "debugging/CMemoryManager.h"
#include "tests/support/LogFileMatch.h"

namespace
{

using DEBUGGING::CMemoryManager;
using testlog::logLinesAre;

const std::string kVerification = "-------------------Verification memory----------------------";
const std::string kClosing = "-----------------------------------------------------------";

const void* at(std::uintptr_t address)
{
    return reinterpret_cast<const void*>(address);
}

// The address as the platform's stream writes pointers.
std::string shown(const void* address)
{
    std::ostringstream text;
    text << address;
    return text.str();
}

// A block the report lists as not freed.
struct Leak
{
    std::uintptr_t address;
    std::string bytes;
    std::string file;
    int line;
};

// The report's lines for blocks still held, in the order given, and the total it prints.
std::vector<std::string> leakReport(const std::vector<Leak>& leaks, const std::string& total)
{
    std::vector<std::string> lines = {"{T} -> [WARNING] Memory leaks : " + std::to_string(leaks.size()) +
                                      " blocks not free :"};
    for (const Leak& leak : leaks)
        lines.push_back("{T} -> [WARNING] Adress " + shown(at(leak.address)) + " : " + leak.bytes +
                        " bytes > File : \"" + leak.file + "\", line " + std::to_string(leak.line));
    lines.push_back("{T} -> [WARNING] Memory not free : " + total + " bytes");
    return lines;
}

std::vector<std::string> withReport(const std::vector<std::string>& report)
{
    std::vector<std::string> lines = {"LOG NAME : memory.log", "", "{T} -> -- LOGGING START --",
                                      "{T} -> [ INFOS ] " + kVerification};
    lines.insert(lines.end(), report.begin(), report.end());
    lines.insert(lines.end(), {"{T} -> [ INFOS ] " + kClosing, "{T} -> -- LOGGING STOP --"});
    return lines;
}

// The tracker lives as long as the process and is made on its first request, so every
// scenario runs in a child process of its own, inside the test's scratch folder; this
// process never requests the tracker itself.
class CMemoryManagerTest : public testing::Test
{
protected:
    testing::AssertionResult runInChild(void (*scenario)())
    {
        std::fflush(nullptr);                          // or the child repeats pending output at exit
        const pid_t child = ::fork();
        if (child == -1)
            return testing::AssertionFailure() << "fork failed";
        if (child == 0) {
            scenario();
            std::exit(0);
        }
        int status = 0;
        if (::waitpid(child, &status, 0) != child)
            return testing::AssertionFailure() << "waitpid failed";
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return testing::AssertionFailure() << "child ended with status " << status;
        return testing::AssertionSuccess();
    }

    testlog::ScratchDir scratch;
};

} // namespace

TEST_F(CMemoryManagerTest, CleanRunOnTheExitPathWritesSevenLines)
{
    std::ofstream("memory.log") << "left from an earlier run\n";
    ASSERT_TRUE(runInChild([] {
        DEBUGGING::CLogManager::getInstance().shutdown();
        CMemoryManager::getInstance().shutdown();
    }));
    EXPECT_TRUE(logLinesAre("memory.log", withReport({"{T} -> [ INFOS ] Memory clean"})));
}

TEST_F(CMemoryManagerTest, BlocksAreListedInAscendingAddressOrderWithTheirTotal)
{
    ASSERT_TRUE(runInChild([] {
        CMemoryManager& tracker = CMemoryManager::getInstance();
        tracker.addBlock(at(0x2000), 24, "engine/CObjLoader.cpp", 7);
        tracker.addBlock(at(0x1000), 16, "math/StringUtils.cpp", 42);
        tracker.shutdown();
    }));
    EXPECT_TRUE(logLinesAre(
        "memory.log",
        withReport(leakReport({{0x1000, "16", "math/StringUtils.cpp", 42}, {0x2000, "24", "engine/CObjLoader.cpp", 7}},
                              "40"))));
}

TEST_F(CMemoryManagerTest, RemovedBlocksLeaveTheReportAndReenteredAddressesReplace)
{
    ASSERT_TRUE(runInChild([] {
        CMemoryManager& tracker = CMemoryManager::getInstance();
        tracker.addBlock(at(0x1000), 1, "a.cpp", 1);
        tracker.addBlock(at(0x2000), 2, "b.cpp", 2);
        tracker.addBlock(at(0x3000), 3, "c.cpp", 3);
        tracker.removeBlock(at(0x2000));
        tracker.removeBlock(at(0x4000));
        tracker.addBlock(at(0x1000), 5, "again.cpp", 9);
        tracker.shutdown();
    }));
    EXPECT_TRUE(logLinesAre(
        "memory.log",
        withReport(leakReport({{0x1000, "5", "again.cpp", 9}, {0x3000, "3", "c.cpp", 3}}, "8"))));
}

TEST_F(CMemoryManagerTest, EveryBlockRemovedReportsClean)
{
    ASSERT_TRUE(runInChild([] {
        CMemoryManager& tracker = CMemoryManager::getInstance();
        tracker.addBlock(at(0x1000), 8, "a.cpp", 1);
        tracker.removeBlock(at(0x1000));
        tracker.shutdown();
    }));
    EXPECT_TRUE(logLinesAre("memory.log", withReport({"{T} -> [ INFOS ] Memory clean"})));
}

TEST_F(CMemoryManagerTest, FileNamesAreKeptUpTo255Characters)
{
    ASSERT_TRUE(runInChild([] {
        static const std::string full(255, 'f');
        static const std::string tooLong = std::string(255, 'l') + std::string(45, 'x');
        CMemoryManager& tracker = CMemoryManager::getInstance();
        tracker.addBlock(at(0x1000), 1, full.c_str(), 10);
        tracker.addBlock(at(0x2000), 2, tooLong.c_str(), 20);
        tracker.addBlock(at(0x3000), 3, "", 30);
        tracker.addBlock(at(0x4000), 4, nullptr, 40);
        tracker.shutdown();
    }));
    EXPECT_TRUE(logLinesAre(
        "memory.log",
        withReport(leakReport({{0x1000, "1", std::string(255, 'f'), 10},
                               {0x2000, "2", std::string(255, 'l'), 20},
                               {0x3000, "3", "", 30},
                               {0x4000, "4", "", 40}},
                              "10"))));
}

TEST_F(CMemoryManagerTest, TotalWrapsAt32Bits)
{
    ASSERT_TRUE(runInChild([] {
        CMemoryManager& tracker = CMemoryManager::getInstance();
        tracker.addBlock(at(0x1000), 4000000000u, "big.cpp", 1);
        tracker.addBlock(at(0x2000), 400000000u, "big.cpp", 2);
        tracker.shutdown();
    }));
    EXPECT_TRUE(logLinesAre(
        "memory.log",
        withReport(leakReport({{0x1000, "4000000000", "big.cpp", 1}, {0x2000, "400000000", "big.cpp", 2}},
                              "105032704"))));
}

TEST_F(CMemoryManagerTest, SecondShutdownWritesNothing)
{
    ASSERT_TRUE(runInChild([] {
        CMemoryManager& tracker = CMemoryManager::getInstance();
        tracker.shutdown();
        tracker.addBlock(at(0x1000), 8, "late.cpp", 1);
        tracker.shutdown();
    }));
    EXPECT_TRUE(logLinesAre("memory.log", withReport({"{T} -> [ INFOS ] Memory clean"})));
}

TEST_F(CMemoryManagerTest, WithoutShutdownTheReportIsNeverWritten)
{
    ASSERT_TRUE(runInChild([] { CMemoryManager::getInstance().addBlock(at(0x1000), 8, "a.cpp", 1); }));
    // The log is never closed, so whatever it had not flushed stays unwritten; only the
    // header is sure to be there, and nothing after the START line.
    const std::string text = testlog::readFile("memory.log");
    EXPECT_EQ(text.rfind("LOG NAME : memory.log\n\n", 0), 0u) << text;
    const std::string rest = text.substr(std::string("LOG NAME : memory.log\n\n").size());
    EXPECT_TRUE(rest.empty() || testlog::matchesLine("{T} -> -- LOGGING START --\n", rest)) << text;
}

TEST_F(CMemoryManagerTest, UnopenableLogLosesTheReportSilently)
{
    std::filesystem::create_directory("memory.log");
    ASSERT_TRUE(runInChild([] {
        CMemoryManager& tracker = CMemoryManager::getInstance();
        tracker.addBlock(at(0x1000), 8, "a.cpp", 1);
        tracker.shutdown();
    }));
    EXPECT_TRUE(std::filesystem::is_empty("memory.log"));
}
