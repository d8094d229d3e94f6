#pragma once
// The ERROR lines that logMessage writes while one of these lives, kept for a program that
// also shows them where its user is looking: a reload that fails says why on the console.

#include <string>
#include <vector>

namespace DEBUGGING
{

class CErrorLines
{
public:
    CErrorLines();                                     // keeps the lines from now on; a newer one takes them while it lives
    ~CErrorLines();
    CErrorLines(const CErrorLines&) = delete;
    CErrorLines& operator=(const CErrorLines&) = delete;

    const std::vector<std::string>& getLines() const;  // as logged, without time and tag
    static void note(int level, const std::string& text);  // from logMessage: kept by the newest one

private:
    std::vector<std::string> lines;
    CErrorLines* outer;                                // the one that kept the lines before this one
    static CErrorLines* newest;
};

} // namespace DEBUGGING
