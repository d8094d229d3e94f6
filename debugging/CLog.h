#pragma once
// One log file: a header, then one entry per write, each prefixed with the local time
// of day and the tag of the level in force, and a closing line when it is deleted. A file
// that cannot be created or written is said once on stderr, since the log cannot say it.

#include <ext/stdio_filebuf.h>
#include <ostream>
#include <sstream>
#include <string>

namespace DEBUGGING
{

enum LogLevel
{
    LOG_NONE    = 0,
    LOG_INFOS   = 1,
    LOG_DEBUG   = 2,
    LOG_WARNING = 3,
    LOG_ERROR   = 4
};

class CLog
{
public:
    explicit CLog(const char* name);                   // truncates the file and writes the header
    virtual ~CLog();                                   // writes the STOP line and closes
    virtual std::ostream& write(const std::string& text);  // time + tag + text; no line end, no flush
    template <class V>
    std::ostream& print(const V& value);               // formats value, then write()
    void setLevel(int newLevel);                       // stays in force until set again
    int getLevel() const;
    const std::string& getName() const;
    bool isWritten() const;                            // the file was created and no write failed so far

private:
    // The file under the stream, opened only as a regular file and never through a symbolic
    // link; the first failure to open or write it goes to stderr as
    // "velk: cannot write <name>: <system's reason>".
    class CFileBuffer : public __gnu_cxx::stdio_filebuf<char>
    {
    public:
        explicit CFileBuffer(const std::string& name);  // created or truncated
        void reportFailure(int error);                 // once per file
        void reportFailure(const std::string& reason);
        bool hasFailed() const;

    protected:
        int_type overflow(int_type c) override;
        int sync() override;
        std::streamsize xsputn(const char_type* text, std::streamsize count) override;

    private:
        struct COpened                                 // descriptor -1: failure says why
        {
            int descriptor;
            std::string failure;
        };
        static COpened openRegularFile(const std::string& name);
        CFileBuffer(const std::string& name, const COpened& opened);

        std::string name;
        bool failed;
    };

    std::string name;                                  // also the path opened
    CFileBuffer file;
    std::ostream stream;                               // writes through file
    int level;                                         // a LogLevel; other values tag as LOG_NONE
};

template <class V>
std::ostream& CLog::print(const V& value)
{
    std::ostringstream text;
    text << value;
    return write(text.str());
}

} // namespace DEBUGGING
