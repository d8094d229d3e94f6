// Log files: header, time-stamped entries, closing line.
#include "debugging/CLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
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

CLog::CFileBuffer::CFileBuffer(const std::string& name) : name(name), failed(false) {}

void CLog::CFileBuffer::reportFailure(int error)
{
    if (failed)
        return;
    failed = true;
    std::fprintf(stderr, "velk: cannot write %s: %s\n", name.c_str(), std::strerror(error));
}

bool CLog::CFileBuffer::hasFailed() const
{
    return failed;
}

CLog::CFileBuffer::int_type CLog::CFileBuffer::overflow(int_type c)
{
    const int_type result = std::filebuf::overflow(c);
    if (traits_type::eq_int_type(result, traits_type::eof()) && !traits_type::eq_int_type(c, traits_type::eof()))
        reportFailure(errno);
    return result;
}

int CLog::CFileBuffer::sync()
{
    const int result = std::filebuf::sync();
    if (result != 0)
        reportFailure(errno);
    return result;
}

std::streamsize CLog::CFileBuffer::xsputn(const char_type* text, std::streamsize count)
{
    const std::streamsize written = std::filebuf::xsputn(text, count);
    if (written < count)
        reportFailure(errno);
    return written;
}

CLog::CLog(const char* name) : name(name), file(this->name), stream(&file), level(LOG_INFOS)
{
    if (!file.open(this->name, std::ios::out | std::ios::trunc)) {
        file.reportFailure(errno);
        stream.setstate(std::ios::failbit);
    }
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
    // Closing writes what is still buffered; a failure there is the last one to report.
    if (file.is_open() && !file.close())
        file.reportFailure(errno);
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

bool CLog::isWritten() const
{
    return !file.hasFailed();
}

} // namespace DEBUGGING
