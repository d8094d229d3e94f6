#pragma once
// The owner of the named logs, and the global log that every part of the engine writes to.

#include <map>
#include <ostream>
#include <string>

#include "debugging/CLog.h"
#include "tools/CSingleton.h"

namespace DEBUGGING
{

class CLogManager : public TOOLS::CSingleton<CLogManager>
{
    friend class TOOLS::CSingleton<CLogManager>;

public:
    ~CLogManager() override;                           // frees the table only, not the logs
    CLog* getLog(std::string name);                    // one log per exact (case-sensitive) name
    void shutdown() override;                          // deletes every owned log; the manager stays usable

private:
    CLogManager();
    CLog* createLog(const std::string& name);

    std::map<std::string, CLog*> logs;                 // owned
};

// "global.log", opened during static initialisation before any other engine service.
// Cleared when the log manager deletes it, so that nothing writes into a freed log.
extern CLog* globalLog;

// Opens the global log if it is not open yet; every static initialiser that takes a
// service calls it first, so the log manager is the first singleton made.
CLog* openGlobalLog();

// A stream that drops everything, used once the global log is gone.
std::ostream& discardStream();

// Prints value on the global log and returns its stream for the caller to end the line.
template <class V>
std::ostream& logGlobal(const V& value)
{
    return globalLog ? globalLog->print(value) : discardStream();
}

// Sets the global log's level, prints text and ends the line.
void logMessage(int level, std::string text);

} // namespace DEBUGGING
