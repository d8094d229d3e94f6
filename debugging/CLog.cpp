// Log files: header, time-stamped entries, closing line.
#include "debugging/CLog.h"

#include <ctime>

namespace DEBUGGING
{

namespace
{
const char* tagFor(int level)
{
    switch (level) {
    case LOG_INFOS:   return " -> [ INFOS ] ";
    case LOG_DEBUG:   return " -> [ DEBUG ] ";
    case LOG_WARNING: return " -> [WARNING] ";
    case LOG_ERROR:   return " -> [ ERROR ] ";
    default:          return " -> ";
    }
}
} // namespace

CLog::CLog(const char* name) : name(name), stream(name, std::ios::out | std::ios::trunc), level(LOG_INFOS)
{
    const int remembered = level;
    level = LOG_NONE;
    stream << "LOG NAME : " << this->name << std::endl << std::endl;
    write("-- LOGGING START --\n");
    level = remembered;
}

CLog::~CLog()
{
    const int remembered = level;
    level = LOG_NONE;
    write("-- LOGGING STOP --\n");
    level = remembered;
    if (stream.good())
        stream.close();
}

std::ostream& CLog::write(const std::string& text)
{
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    if (local)
        stream << local->tm_hour << ':' << local->tm_min << ':' << local->tm_sec;
    stream << tagFor(level) << text;
    return stream;
}

void CLog::setLevel(int newLevel)
{
    level = newLevel;
}

int CLog::getLevel() const
{
    return level;
}

const std::string& CLog::getName() const
{
    return name;
}

} // namespace DEBUGGING
