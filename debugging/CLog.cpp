// Log files: header, time-stamped entries, closing line.
#include "debugging/CLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A log is opened where the program runs, often a shared or unpacked folder: a symbolic
// link there could aim the truncation at any file the user may write, and a FIFO or a
// device is no place for a log. The open does not block (a FIFO without a reader would
// wait for one), and nothing is truncated before the opened file is known to be regular.
CLog::CFileBuffer::COpened CLog::CFileBuffer::openRegularFile(const std::string& name)
{
    const int descriptor =
        ::open(name.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    const int error = errno;
    struct stat info;
    if (descriptor < 0) {
        // Said in the system's words where they fit; for a link they would be "too many
        // levels of symbolic links".
        if (::lstat(name.c_str(), &info) != 0 || S_ISREG(info.st_mode) || S_ISDIR(info.st_mode))
            return {-1, std::strerror(error)};
        return {-1, S_ISLNK(info.st_mode) ? "Is a symbolic link" : "Not a regular file"};
    }
    std::string failure;
    if (::fstat(descriptor, &info) != 0)
        failure = std::strerror(errno);
    else if (!S_ISREG(info.st_mode))
        failure = "Not a regular file";
    else if (::ftruncate(descriptor, 0) != 0)
        failure = std::strerror(errno);
    if (!failure.empty()) {
        ::close(descriptor);
        return {-1, failure};
    }
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    return {descriptor, ""};
}

CLog::CFileBuffer::CFileBuffer(const std::string& name) : CFileBuffer(name, openRegularFile(name)) {}

CLog::CFileBuffer::CFileBuffer(const std::string& name, const COpened& opened)
    : stdio_filebuf(opened.descriptor, std::ios::out), name(name), failed(false)
{
    if (opened.descriptor < 0)
        reportFailure(opened.failure);
}

void CLog::CFileBuffer::reportFailure(int error)
{
    reportFailure(std::string(std::strerror(error)));
}

void CLog::CFileBuffer::reportFailure(const std::string& reason)
{
    if (failed)
        return;
    failed = true;
    std::fprintf(stderr, "velk: cannot write %s: %s\n", name.c_str(), reason.c_str());
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
    if (!file.is_open())
        stream.setstate(std::ios::failbit);
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
