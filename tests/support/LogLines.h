#pragma once
// Log lines as the tests compare them: the time of day is the only part matched by a pattern.

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/LogFileMatch.h"

// "memory.log" of a run that ends cleanly, after its two header lines.
inline const std::vector<std::string> kCleanMemoryLog = {
    " -> -- LOGGING START --",
    " -> [ INFOS ] -------------------Verification memory----------------------",
    " -> [ INFOS ] Memory clean",
    " -> [ INFOS ] -----------------------------------------------------------",
    " -> -- LOGGING STOP --",
};

// A log's timed lines: START, the given lines (a text may hold several, split at its line
// ends), STOP.
inline std::vector<std::string> between(const std::vector<std::string>& lines)
{
    std::vector<std::string> all = {" -> -- LOGGING START --"};
    for (const std::string& text : lines) {
        for (std::size_t at = 0; at <= text.size();) {
            const std::size_t end = std::min(text.find('\n', at), text.size());
            all.push_back(text.substr(at, end - at));
            at = end + 1;
        }
    }
    all.push_back(" -> -- LOGGING STOP --");
    return all;
}

// A loader's reason line and its [FAILED] line, as one text.
inline std::string failureLines(const std::string& loader, const std::string& file, const std::string& reason)
{
    const std::string operation = " -> [ ERROR ] VELK::" + loader + "::loadFromFile ";
    return operation + ": " + file + " : " + reason + "\n" + operation + file + " [FAILED]";
}

// True when line is "H:M:S" (no leading zeros) followed by exactly rest.
inline bool isTimedLine(const std::string& line, const std::string& rest)
{
    std::size_t pos = 0;
    return testlog::consumeTime(line, pos) && line.compare(pos, std::string::npos, rest) == 0;
}

// Compares a whole log file: header lines exactly, every other line as a timed line.
inline std::string compareLog(const std::vector<std::string>& actual, const std::string& name,
                              const std::vector<std::string>& timedLines)
{
    std::vector<std::string> expected = {"LOG NAME : " + name, ""};
    if (actual.size() != timedLines.size() + 2)
        return "expected " + std::to_string(timedLines.size() + 2) + " lines, got " + std::to_string(actual.size());
    for (std::size_t i = 0; i < 2; ++i) {
        if (actual[i] != expected[i])
            return "line " + std::to_string(i + 1) + " is '" + actual[i] + "'";
    }
    for (std::size_t i = 0; i < timedLines.size(); ++i) {
        if (!isTimedLine(actual[i + 2], timedLines[i]))
            return "line " + std::to_string(i + 3) + " is '" + actual[i + 2] + "', expected time + '" + timedLines[i] +
                   "'";
    }
    return "";
}
