// Input files: only what resolves to a regular file is opened; every other kind is named,
// and nothing blocks, not even a FIFO without a writer.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "engine/CInputFile.h"
#include "tests/support/LogFileMatch.h"
#include "tests/support/RowNames.h"

namespace
{

struct Kind
{
    const char* name;
    void (*make)();                                    // makes "f" in the working folder
    const char* reason;                                // empty: opens and reads "abc"
};

const Kind kKinds[] = {
    {"linkToRegularFile", [] { std::ofstream("target") << "abc"; ASSERT_EQ(symlink("target", "f"), 0); }, ""},
    {"directory", [] { ASSERT_EQ(mkdir("f", 0755), 0); }, "is a directory"},
    {"fifo", [] { ASSERT_EQ(mkfifo("f", 0600), 0); }, "is a FIFO"},
    {"linkToDevice", [] { ASSERT_EQ(symlink("/dev/zero", "f"), 0); }, "is a device"},
    {"socket",
     [] {
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         std::snprintf(address.sun_path, sizeof address.sun_path, "f");
         const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
         ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
         close(listening);
     },
     "is a socket"},
    {"missing", [] {}, "cannot open: No such file or directory"},
    {"belowAFile", [] { std::ofstream("f-parent") << "x"; ASSERT_EQ(symlink("f-parent/x", "f"), 0); },
     "cannot open: Not a directory"},
};

class InputFile : public testing::TestWithParam<Kind>
{
protected:
    testlog::ScratchDir scratch;
};

TEST_P(InputFile, OpensOnlyARegularFileAndNamesAnyOtherKind)
{
    GetParam().make();
    VELK::CInputFile file("f");
    std::string text = "left over";
    const bool read = file.readAll(text);
    const std::string reason = GetParam().reason;
    EXPECT_EQ(file.getReason(), reason);
    EXPECT_EQ(file.isOpen(), reason.empty());
    EXPECT_EQ(read, reason.empty());
    EXPECT_EQ(text, reason.empty() ? "abc" : "");
    EXPECT_EQ(file.isMissing(), std::string(GetParam().name) == "missing" || std::string(GetParam().name) == "belowAFile");
    // Reads at an offset, as threads make them, give the same bytes or report the failure.
    char bytes[4] = {0, 0, 0, 0};
    bool ok = !reason.empty();
    EXPECT_EQ(file.readAt(1, bytes, 4, ok), reason.empty() ? 2u : 0u);
    EXPECT_EQ(ok, reason.empty());
}

class InputFileAt : public testing::Test
{
    testlog::ScratchDir scratch;
};

TEST_F(InputFileAt, ReadsFromAnOffsetWithoutMovingThePlaceOfRead)
{
    std::ofstream("f") << "abcdef";
    VELK::CInputFile file("f");
    char bytes[8] = {};
    bool ok = false;
    EXPECT_EQ(file.readAt(2, bytes, 3, ok), 3u);
    EXPECT_TRUE(ok);
    EXPECT_EQ(std::string(bytes, 3), "cde");
    EXPECT_EQ(file.readAt(4, bytes, 8, ok), 2u);   // short only at the end
    EXPECT_EQ(std::string(bytes, 2), "ef");
    EXPECT_EQ(file.read(bytes, 8), 6u);
    EXPECT_EQ(std::string(bytes, 6), "abcdef");
}

INSTANTIATE_TEST_SUITE_P(Kinds, InputFile, testing::ValuesIn(kKinds), testsupport::RowName());

} // namespace
