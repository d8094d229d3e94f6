#pragma once
// Reads what the engine wrote to "global.log" in the test's working directory since the
// last mark. The time of day at the front of each line is checked against its pattern and
// replaced by "T", so that tests compare whole lines. Every engine line ends with
// std::endl, so the file holds it as soon as it is written.

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/LogFileMatch.h"

class GlobalLogLines
{
public:
    GlobalLogLines() { mark(); }

    // Forgets everything written so far.
    void mark() { seen = readAll().size(); }

    // Every line written since the last mark, with "T" for the time; a line whose front is
    // not a time is returned whole behind "NO TIME: ", so that the comparison fails.
    std::vector<std::string> sinceMark()
    {
        const std::vector<std::string> all = readAll();
        std::vector<std::string> lines;
        for (std::size_t i = seen; i < all.size(); ++i) {
            std::size_t pos = 0;
            if (testlog::consumeTime(all[i], pos) && all[i].compare(pos, 4, " -> ") == 0)
                lines.push_back("T" + all[i].substr(pos));
            else
                lines.push_back("NO TIME: " + all[i]);
        }
        return lines;
    }

    // The text of an ERROR line as sinceMark gives it; any other line comes back whole behind
    // "not an error line: ", so that the comparison fails.
    static std::string errorText(const std::string& line)
    {
        static const std::string front = "T -> [ ERROR ] ";
        if (line.compare(0, front.size(), front) != 0)
            return "not an error line: " + line;
        return line.substr(front.size());
    }

private:
    static std::vector<std::string> readAll()
    {
        std::ifstream file("global.log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        // The opening block (name, blank line, START line) belongs to no test; its last
        // line stays in the stream's buffer until the first entry ends with std::endl.
        if (!lines.empty() && lines[0] == "LOG NAME : global.log")
            lines.erase(lines.begin(), lines.begin() + std::min<std::size_t>(3, lines.size()));
        return lines;
    }

    std::size_t seen = 0;
};
