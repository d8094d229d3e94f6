#pragma once
// Helpers for tests that read log files: a scratch working directory per test, and a
// whole-file comparison in which "{T}" stands for the time of day (H:M:S, no leading zeros).

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace testlog
{

// Logs are opened relative to the working directory, and ctest may run several tests of
// one program at once in the same folder, so each test works in a fresh folder of its own.
class ScratchDir
{
public:
    ScratchDir() : previous(std::filesystem::current_path())
    {
        std::string pattern = (previous / "scratch-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path = pattern;
        std::filesystem::current_path(path);
    }
    ~ScratchDir()
    {
        std::filesystem::current_path(previous);
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& get() const { return path; }

private:
    std::filesystem::path previous;
    std::filesystem::path path;
};

inline std::string readFile(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Reads H:M:S at text[pos]: each part one or two digits, no leading zero, within range.
inline bool consumeTime(const std::string& text, std::size_t& pos)
{
    const int limits[3] = {23, 59, 60};
    for (int part = 0; part < 3; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != ':')
                return false;
            ++pos;
        }
        const std::size_t start = pos;
        int value = 0;
        while (pos < text.size() && pos - start < 2 && std::isdigit(static_cast<unsigned char>(text[pos])))
            value = value * 10 + (text[pos++] - '0');
        if (pos == start || (pos - start == 2 && text[start] == '0') || value > limits[part])
            return false;
    }
    return true;
}

inline bool matchesLine(const std::string& pattern, const std::string& line)
{
    static const std::string marker = "{T}";
    std::size_t p = 0;
    std::size_t l = 0;
    while (p < pattern.size()) {
        if (pattern.compare(p, marker.size(), marker) == 0) {
            if (!consumeTime(line, l))
                return false;
            p += marker.size();
        } else {
            if (l >= line.size() || line[l] != pattern[p])
                return false;
            ++p;
            ++l;
        }
    }
    return l == line.size();
}

// Every line of the file, each ended by "\n"; a missing final line end is a failure.
inline testing::AssertionResult logLinesAre(const std::string& name, const std::vector<std::string>& expected)
{
    const std::string text = readFile(name);
    if (!text.empty() && text.back() != '\n')
        return testing::AssertionFailure() << name << ": last line has no line end:\n" << text;
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    bool same = lines.size() == expected.size();
    for (std::size_t i = 0; same && i < lines.size(); ++i)
        same = matchesLine(expected[i], lines[i]);
    if (same)
        return testing::AssertionSuccess();
    testing::AssertionResult failure = testing::AssertionFailure();
    failure << name << " differs.\nexpected:\n";
    for (const std::string& line : expected)
        failure << "  |" << line << "|\n";
    failure << "actual:\n";
    for (const std::string& line : lines)
        failure << "  |" << line << "|\n";
    return failure;
}

} // namespace testlog
