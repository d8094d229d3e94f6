#pragma once
// Log lines as the tests compare them: the time of day is the only part matched by a pattern.

#include <regex>
#include <string>
#include <vector>

// True when line is "H:M:S" (no leading zeros) followed by exactly rest.
inline bool isTimedLine(const std::string& line, const std::string& rest)
{
    static const std::regex time("^(1?[0-9]|2[0-3]):([1-5]?[0-9]):([1-5]?[0-9]|60)");
    std::smatch match;
    return std::regex_search(line, match, time) && line.substr(match.length(0)) == rest;
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
