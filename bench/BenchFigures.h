#pragma once
// What every benchmark prints beside its figures: the spread of a set of timings and a
// description of the machine read from the machine itself.

#include <string>
#include <vector>

namespace BENCH
{

struct CSpread
{
    double median = 0.0;                               // of an even count: the mean of the middle two
    double min = 0.0;
    double max = 0.0;
};
CSpread spreadOf(std::vector<double> values);          // all zero for no values

// The choice a kernel setting marks with brackets ("always [madvise] never" gives
// "madvise"); the whole text, trimmed, when nothing is marked.
std::string markedChoice(const std::string& text);

// One line from the texts of /proc/cpuinfo, /proc/meminfo, the kernel release and the
// transparent huge page setting: "2 x AMD EPYC, 23.5 GiB, Linux 6.1.0, huge pages madvise".
std::string describeMachine(const std::string& cpuinfo, const std::string& meminfo, const std::string& kernel,
                            const std::string& hugePages);
std::string thisMachine();                             // the same, read from this machine
std::string loadAverage();                             // "load average 0.52 0.61 0.40"
// Huge pages the kernel has cleared on a page fault since it started, for the whole system
// (thp_fault_alloc of /proc/vmstat); -1 where it does not say.
long hugePageFaults();

} // namespace BENCH
