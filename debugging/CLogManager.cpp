// The log manager, the global log and its two helper functions.
#include "debugging/CLogManager.h"

#include "debugging/CErrorLines.h"

namespace DEBUGGING
{

CLog* globalLog = openGlobalLog();

CLog* openGlobalLog()
{
    if (!globalLog)
        globalLog = CLogManager::getInstance().getLog("global.log");
    return globalLog;
}

std::ostream& discardStream()
{
    static std::ostream nowhere(nullptr);
    return nowhere;
}

void logMessage(int level, std::string text)
{
    CErrorLines::note(level, text);
    if (!globalLog)
        return;
    globalLog->setLevel(level);
    globalLog->print(text) << std::endl;
}

CLogManager::CLogManager() = default;

CLogManager::~CLogManager() = default;

CLog* CLogManager::getLog(std::string name)
{
    const auto found = logs.find(name);
    if (found != logs.end() && found->second)
        return found->second;
    return createLog(name);
}

CLog* CLogManager::createLog(const std::string& name)
{
    CLog* log = new CLog(name.c_str());
    logs[name] = log;
    return log;
}

void CLogManager::shutdown()
{
    for (auto& entry : logs) {
        if (!entry.second)
            continue;
        if (entry.second == globalLog)
            globalLog = nullptr;
        delete entry.second;
        entry.second = nullptr;
    }
    logs.clear();
}

} // namespace DEBUGGING
