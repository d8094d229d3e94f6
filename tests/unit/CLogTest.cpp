// One log file: header, entries with time and level tag, the closing line, failed opens
// and writes said on stderr.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

#include <sys/resource.h>

#include "debugging/CLog.h"
#include "tests/support/LogFileMatch.h"
#include "tests/support/RowNames.h"

namespace
{

using testsupport::operator<<;

using DEBUGGING::CLog;
using testlog::logLinesAre;

class CLogFile : public testing::Test
{
protected:
    testlog::ScratchDir scratch;
};

} // namespace

TEST_F(CLogFile, FreshLogHasHeaderStartAndStopOnly)
{
    { CLog log("x.log"); }
    EXPECT_TRUE(logLinesAre("x.log", {"LOG NAME : x.log", "", "{T} -> -- LOGGING START --", "{T} -> -- LOGGING STOP --"}));
}

TEST_F(CLogFile, HeaderIsFlushedAndEntriesWaitForTheCallersLineEnd)
{
    CLog log("x.log");
    EXPECT_EQ(testlog::readFile("x.log"), "LOG NAME : x.log\n\n");
    log.write("entry") << std::endl;
    EXPECT_TRUE(logLinesAre("x.log", {"LOG NAME : x.log", "", "{T} -> -- LOGGING START --", "{T} -> [ INFOS ] entry"}));
    EXPECT_TRUE(log.isWritten());
}

TEST_F(CLogFile, OpeningTruncatesEarlierContent)
{
    std::ofstream("x.log") << "left from an earlier run\n";
    { CLog log("x.log"); }
    EXPECT_TRUE(logLinesAre("x.log", {"LOG NAME : x.log", "", "{T} -> -- LOGGING START --", "{T} -> -- LOGGING STOP --"}));
}

TEST_F(CLogFile, TwoWritesShareOneLineUntilATextEndsIt)
{
    {
        CLog log("x.log");
        log.write("first");
        log.write("second\n");
    }
    EXPECT_TRUE(logLinesAre("x.log", {"LOG NAME : x.log", "", "{T} -> -- LOGGING START --",
                                      "{T} -> [ INFOS ] first{T} -> [ INFOS ] second", "{T} -> -- LOGGING STOP --"}));
}

TEST_F(CLogFile, LevelStaysInForceUntilSetAgain)
{
    {
        CLog log("x.log");
        log.setLevel(4);
        log.write("one\n");
        log.write("two\n");
        log.setLevel(7);
        log.write("three\n");
    }
    EXPECT_TRUE(logLinesAre("x.log", {"LOG NAME : x.log", "", "{T} -> -- LOGGING START --", "{T} -> [ ERROR ] one",
                                      "{T} -> [ ERROR ] two", "{T} -> three", "{T} -> -- LOGGING STOP --"}));
}

TEST_F(CLogFile, PrintFormatsAnyStreamableValue)
{
    {
        CLog log("x.log");
        log.print(42) << ' ' << 2.5 << '\n';
        log.print("literal\n");
        log.print(std::string("text")) << std::endl;
    }
    EXPECT_TRUE(logLinesAre("x.log", {"LOG NAME : x.log", "", "{T} -> -- LOGGING START --", "{T} -> [ INFOS ] 42 2.5",
                                      "{T} -> [ INFOS ] literal", "{T} -> [ INFOS ] text", "{T} -> -- LOGGING STOP --"}));
}

namespace
{

struct LevelTag
{
    const char* name;
    int level;
    const char* tag;
};

const LevelTag kLevelTags[] = {
    {"none", 0, " -> "},
    {"infos", 1, " -> [ INFOS ] "},
    {"debug", 2, " -> [ DEBUG ] "},
    {"warning", 3, " -> [WARNING] "},
    {"error", 4, " -> [ ERROR ] "},
    {"pastLast", 5, " -> "},
    {"negative", -1, " -> "},
};

class CLogLevelTag : public testing::TestWithParam<LevelTag>
{
protected:
    testlog::ScratchDir scratch;
};

} // namespace

TEST_P(CLogLevelTag, EntryCarriesTheTagAndStopLineDoesNot)
{
    {
        CLog log("x.log");
        log.setLevel(GetParam().level);
        log.write("entry\n");
    }
    EXPECT_TRUE(logLinesAre("x.log", {"LOG NAME : x.log", "", "{T} -> -- LOGGING START --",
                                      std::string("{T}") + GetParam().tag + "entry", "{T} -> -- LOGGING STOP --"}));
}

INSTANTIATE_TEST_SUITE_P(Levels, CLogLevelTag, testing::ValuesIn(kLevelTags),
                         [](const auto& i) { return std::string(i.param.name); });

namespace
{

struct Unopenable
{
    const char* name;
    const char* file;
    const char* said;                                  // the one line on stderr
};

const Unopenable kUnopenable[] = {
    {"emptyName", "", "velk: cannot write : No such file or directory\n"},
    {"missingFolder", "no-such-folder/x.log", "velk: cannot write no-such-folder/x.log: No such file or directory\n"},
    {"folderItself", ".", "velk: cannot write .: Is a directory\n"},
    {"device", "/dev/full", "velk: cannot write /dev/full: Not a regular file\n"},
};

class CLogUnopenable : public testing::TestWithParam<Unopenable>
{
protected:
    testlog::ScratchDir scratch;
};

} // namespace

TEST_P(CLogUnopenable, DropsEveryWriteAndSaysSoOnceOnStderr)
{
    testing::internal::CaptureStderr();
    {
        CLog log(GetParam().file);
        EXPECT_EQ(log.getName(), GetParam().file);
        EXPECT_FALSE(log.isWritten());
        log.setLevel(4);
        log.write("dropped") << std::endl;
        EXPECT_TRUE(log.write("dropped").fail());
        EXPECT_TRUE(log.print(3).fail());
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), GetParam().said);
    EXPECT_TRUE(std::filesystem::is_empty(scratch.get()));
}

INSTANTIATE_TEST_SUITE_P(Names, CLogUnopenable, testing::ValuesIn(kUnopenable),
                         [](const auto& i) { return std::string(i.param.name); });

TEST_F(CLogFile, WriteThatFailsIsSaidOnce)
{
    // The file-size limit fails the log's second line as a full disk would, and leaves room
    // for the one line on stderr, which the test catches in a file.
    const std::string said = "velk: cannot write x.log: File too large\n";
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const rlimit small = {said.size(), saved.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN);
    testing::internal::CaptureStderr();
    setrlimit(RLIMIT_FSIZE, &small);
    CLog("x.log").write("entry") << std::endl;
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), said);
}
