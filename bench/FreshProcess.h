#pragma once
// One program run as a new process, measured from outside: what a user waits for when
// the program does one thing and exits.

#include <string>
#include <vector>

namespace BENCH
{

struct CProcessRun
{
    std::string output;                                // everything it wrote to stdout
    double seconds = 0.0;                              // wall time from start to exit
    long peakKilobytes = 0;                            // peak resident set (ru_maxrss)
    double systemSeconds = 0.0;                        // processor time in the kernel
    long minorFaults = 0;                              // page faults served without the disk
    long majorFaults = 0;
    long hugePagesFaulted = -1;                        // huge pages the whole system cleared meanwhile; -1: unknown
};

// Runs words[0] with words as its arguments and waits for it; throws std::runtime_error
// when it cannot start or does not exit with status 0. The peak includes what the
// program inherits at start from this process, so the caller keeps itself small.
CProcessRun runFreshProcess(const std::vector<std::string>& words);

} // namespace BENCH
