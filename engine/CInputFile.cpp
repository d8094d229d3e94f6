// Opening input files: regular files only, refused kinds named, reads to the end.
#include "engine/CInputFile.h"

#include <cerrno>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace VELK
{

namespace
{

const char* kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "is a directory";
    if (S_ISFIFO(mode))
        return "is a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "is a device";
    if (S_ISSOCK(mode))
        return "is a socket";
    return "is not a regular file";
}

} // namespace

CInputFile::CInputFile(const std::string& path)
    : descriptor(-1), size(0), position(0), missing(false), failed(false)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer, possibly for ever.
    const int opened = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (opened < 0) {
        const int error = errno;
        missing = error == ENOENT || error == ENOTDIR;
        // A socket cannot be opened at all; its name says more than the system's reason.
        struct stat info;
        if (error == ENXIO && ::stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode))
            fail("is a socket");
        else
            fail(std::string("cannot open: ") + std::strerror(error));
        return;
    }
    struct stat info;
    if (::fstat(opened, &info) != 0) {
        fail(std::string("cannot open: ") + std::strerror(errno));
        ::close(opened);
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        fail(kindOf(info.st_mode));
        ::close(opened);
        return;
    }
    // Reads from here on wait for the data, as reads of any file do.
    const int flags = ::fcntl(opened, F_GETFL);
    if (flags >= 0)
        ::fcntl(opened, F_SETFL, flags & ~O_NONBLOCK);
    descriptor = opened;
    size = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

bool CInputFile::isTooLongToName(const std::string& path)
{
    if (path.size() >= PATH_MAX)
        return true;
    for (std::size_t start = 0;;) {
        const std::size_t slash = path.find('/', start);
        if ((slash == std::string::npos ? path.size() : slash) - start > NAME_MAX)
            return true;
        if (slash == std::string::npos)
            return false;
        start = slash + 1;
    }
}

CInputFile::~CInputFile()
{
    if (descriptor >= 0)
        ::close(descriptor);
}

bool CInputFile::isOpen() const
{
    return descriptor >= 0;
}

bool CInputFile::isMissing() const
{
    return missing;
}

bool CInputFile::hasFailed() const
{
    return failed;
}

const std::string& CInputFile::getReason() const
{
    return reason;
}

std::uint64_t CInputFile::getSize() const
{
    return size;
}

void CInputFile::fail(const std::string& why)
{
    failed = true;
    reason = why;
}

std::size_t CInputFile::read(char* buffer, std::size_t count)
{
    bool ok = true;
    const std::size_t got = readAt(position, buffer, count, ok);
    position += got;
    if (!ok && isOpen() && !failed)
        fail(std::string("cannot read: ") + std::strerror(errno));
    return got;
}

std::size_t CInputFile::readAt(std::uint64_t offset, char* buffer, std::size_t count, bool& ok) const
{
    std::size_t total = 0;
    ok = descriptor >= 0 && !failed;
    while (ok && total < count) {
        const ssize_t got = ::pread(descriptor, buffer + total, count - total, static_cast<off_t>(offset + total));
        if (got < 0) {
            if (errno != EINTR)
                ok = false;
            continue;
        }
        if (got == 0)
            break;
        total += static_cast<std::size_t>(got);
    }
    return total;
}

bool CInputFile::readAll(std::string& text)
{
    text.clear();
    if (!isOpen() || failed)
        return false;
    // One byte more than the size found at the open, so that the end shows without a
    // second allocation; a file that grew meanwhile is read on to its end.
    std::size_t wanted = static_cast<std::size_t>(size) + 1;
    for (;;) {
        const std::size_t at = text.size();
        text.resize(at + wanted);
        const std::size_t got = read(&text[at], wanted);
        text.resize(at + got);
        if (failed)
            return false;
        if (got < wanted)
            return true;
        wanted = text.size();
    }
}

} // namespace VELK
