#pragma once
// A file opened for reading only when its name resolves to a regular file (symbolic links
// followed): a folder, FIFO, device or socket is refused before anything is read from it.
// The open never blocks, not even on a FIFO that has no writer, and the kind is taken from
// the opened file itself, so that nothing can be put in its place between check and read.

#include <cstddef>
#include <cstdint>
#include <string>

namespace VELK
{

class CInputFile
{
public:
    explicit CInputFile(const std::string& path);      // never throws; see isOpen
    // Whether the system refuses path as too long (ENAMETOOLONG) before looking for it: a
    // part between slashes over NAME_MAX bytes, or the whole PATH_MAX or more.
    static bool isTooLongToName(const std::string& path);
    ~CInputFile();
    CInputFile(const CInputFile&) = delete;
    CInputFile& operator=(const CInputFile&) = delete;

    bool isOpen() const;
    bool isMissing() const;                            // not open because no file has that name
    bool hasFailed() const;                            // not open, or a read failed
    // Why not, in the words of a reason line: "is a directory", "is a FIFO", "is a device",
    // "is a socket", "cannot open: <system's reason>", "cannot read: <system's reason>".
    const std::string& getReason() const;
    std::uint64_t getSize() const;                     // when it was opened; a file may change while read

    std::size_t read(char* buffer, std::size_t count); // up to count bytes; fewer only at the end or on failure
    bool readAll(std::string& text);                   // the rest of the file; false on failure
    // Up to count bytes from offset, without moving the position read goes on from and without
    // changing the state, so that threads may read parts of one file at once; fewer only at
    // the end of the file or when ok is set false.
    std::size_t readAt(std::uint64_t offset, char* buffer, std::size_t count, bool& ok) const;

private:
    void fail(const std::string& why);

    int descriptor;                                    // -1 when not open
    std::uint64_t size;
    std::uint64_t position;                            // where read goes on
    bool missing;
    bool failed;
    std::string reason;
};

} // namespace VELK
