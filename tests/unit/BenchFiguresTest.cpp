// The figures every benchmark prints beside its timings: spreads, the machine line and
// the resource use of a fresh process.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "bench/FreshProcess.h"

namespace
{

struct Marked
{
    const char* name;
    const char* text;
    const char* choice;
};

const Marked kMarked[] = {
    {"middle", "always [madvise] never\n", "madvise"},
    {"first", "[always] madvise never\n", "always"},
    {"noneMarked", " never\n", "never"},
};

class MarkedChoice : public testing::TestWithParam<Marked>
{
};

TEST_P(MarkedChoice, IsTheBracketedWord)
{
    EXPECT_EQ(BENCH::markedChoice(GetParam().text), GetParam().choice);
}

INSTANTIATE_TEST_SUITE_P(Bench, MarkedChoice, testing::ValuesIn(kMarked),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(BenchFigures, MachineLineCountsProcessorsAndNamesTheFirst)
{
    const std::string cpuinfo = "processor\t: 0\nmodel name\t: AMD EPYC\nflags\t: fpu\n\n"
                                "processor\t: 1\nmodel name\t: AMD EPYC\n";
    EXPECT_EQ(BENCH::describeMachine(cpuinfo, "MemTotal:       24683748 kB\nMemFree: 1 kB\n", "6.1.0\n",
                                     "always [madvise] never\n"),
              "2 x AMD EPYC, 23.5 GiB, Linux 6.1.0, huge pages madvise");
}

TEST(BenchFigures, SpreadOfOddAndEvenCounts)
{
    const BENCH::CSpread odd = BENCH::spreadOf({0.3, 0.1, 0.2});
    EXPECT_EQ(odd.median, 0.2);
    EXPECT_EQ(odd.min, 0.1);
    EXPECT_EQ(odd.max, 0.3);
    EXPECT_EQ(BENCH::spreadOf({4.0, 1.0, 3.0, 2.0}).median, 2.5);
    EXPECT_EQ(BENCH::spreadOf({}).max, 0.0);
}

TEST(FreshProcess, ReturnsTheOutputAndRefusesAFailedExit)
{
    const BENCH::CProcessRun run = BENCH::runFreshProcess({"/bin/sh", "-c", "echo 1 2"});
    EXPECT_EQ(run.output, "1 2\n");
    EXPECT_GT(run.seconds, 0.0);
    EXPECT_GT(run.peakKilobytes, 0);
    EXPECT_GT(run.minorFaults, 0);
    EXPECT_THROW(BENCH::runFreshProcess({"/bin/sh", "-c", "exit 3"}), std::runtime_error);
    EXPECT_THROW(BENCH::runFreshProcess({"/no/such/program"}), std::runtime_error);
}

} // namespace
