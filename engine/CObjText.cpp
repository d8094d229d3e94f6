// Statement words and file names of OBJ and MTL text.
#include "engine/CObjText.h"

#include <cstring>

bool CObjText::restOfLine(const char* p, const char* end, const char*& restBegin, const char*& restEnd,
                          const char*& firstWordEnd)
{
    const char* wordEnd = nullptr;
    if (!nextWord(p, end, wordEnd))
        return false;
    restBegin = p;
    firstWordEnd = wordEnd;
    do {
        restEnd = wordEnd;
        p = wordEnd;
    } while (nextWord(p, end, wordEnd));
    return true;
}

std::string CObjText::fileNameFrom(const char* begin, const char* end)
{
    std::string name(begin, end);
    for (char& c : name) {
        if (c == '\\')
            c = '/';
    }
    return name;
}

const char* CObjText::joinContinued(const char* begin, const char* end, bool atEnd, std::string& joined,
                                    std::uint64_t& lines)
{
    joined.clear();
    lines = 0;
    const char* line = begin;
    for (;;) {
        const char* newline = static_cast<const char*>(std::memchr(line, '\n', static_cast<std::size_t>(end - line)));
        if (!newline) {
            if (!atEnd)
                return nullptr;
            joined.append(line, withoutContinuation(line, end));
            if (line != end)
                ++lines;
            return end;
        }
        ++lines;
        if (!continues(line, newline)) {
            joined.append(line, newline);
            return newline + 1;
        }
        joined.append(line, withoutContinuation(line, newline));
        joined += ' ';
        line = newline + 1;
    }
}
