// Spreads of timings and the description of the machine the figures come from.
#include "bench/BenchFigures.h"

#include <sys/utsname.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace BENCH
{
namespace
{

std::string trimmed(const std::string& text)
{
    const std::string blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string wholeFile(const char* path)
{
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

CSpread spreadOf(std::vector<double> values)
{
    CSpread spread;
    if (values.empty())
        return spread;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    spread.median = n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
    spread.min = values.front();
    spread.max = values.back();
    return spread;
}

std::string markedChoice(const std::string& text)
{
    const std::size_t open = text.find('[');
    const std::size_t close = open == std::string::npos ? open : text.find(']', open);
    if (close == std::string::npos)
        return trimmed(text);
    return text.substr(open + 1, close - open - 1);
}

std::string describeMachine(const std::string& cpuinfo, const std::string& meminfo, const std::string& kernel,
                            const std::string& hugePages)
{
    std::string model = "unknown processor";
    unsigned processors = 0;
    std::istringstream lines(cpuinfo);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string key = trimmed(line.substr(0, colon));
        if (key == "processor")
            ++processors;
        else if (key == "model name" && processors == 1)
            model = trimmed(line.substr(colon + 1));
    }
    double gibibytes = 0.0;
    const std::size_t total = meminfo.find("MemTotal:");
    if (total != std::string::npos)
        gibibytes = std::strtod(meminfo.c_str() + total + 9, nullptr) / (1024.0 * 1024.0);
    char memory[32];
    std::snprintf(memory, sizeof memory, "%.1f GiB", gibibytes);
    return std::to_string(processors) + " x " + model + ", " + memory + ", Linux " + trimmed(kernel) +
           ", huge pages " + (hugePages.empty() ? std::string("unknown") : markedChoice(hugePages));
}

std::string thisMachine()
{
    utsname names{};
    const std::string kernel = uname(&names) == 0 ? names.release : "unknown";
    return describeMachine(wholeFile("/proc/cpuinfo"), wholeFile("/proc/meminfo"), kernel,
                           wholeFile("/sys/kernel/mm/transparent_hugepage/enabled"));
}

std::string loadAverage()
{
    double load[3] = {0.0, 0.0, 0.0};
    if (getloadavg(load, 3) != 3)
        return "load average unknown";
    char text[64];
    std::snprintf(text, sizeof text, "load average %.2f %.2f %.2f", load[0], load[1], load[2]);
    return text;
}

long hugePageFaults()
{
    std::istringstream lines(wholeFile("/proc/vmstat"));
    std::string name;
    long count = 0;
    while (lines >> name >> count) {
        if (name == "thp_fault_alloc")
            return count;
    }
    return -1;
}

} // namespace BENCH
