// The keeper of ERROR lines, chained so that nested keepers each get their own.
#include "debugging/CErrorLines.h"

#include "debugging/CLog.h"

namespace DEBUGGING
{

CErrorLines* CErrorLines::newest = nullptr;

CErrorLines::CErrorLines() : outer(newest)
{
    newest = this;
}

CErrorLines::~CErrorLines()
{
    newest = outer;
}

const std::vector<std::string>& CErrorLines::getLines() const
{
    return lines;
}

void CErrorLines::note(int level, const std::string& text)
{
    if (newest && level == LOG_ERROR)
        newest->lines.push_back(text);
}

} // namespace DEBUGGING
