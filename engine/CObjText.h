#pragma once
// Words of a line of OBJ or MTL text, cut in place by the rules of splitWords: white space
// is blank, tab, line feed, vertical tab, form feed and carriage return. A word that
// starts with '#' ends the statement. A line ending in a backslash goes on in the next one.

#include <cstdint>
#include <cstring>
#include <string>

class CObjText
{
public:
    static bool isSpace(char c)
    {
        return c == ' ' || (c >= '\t' && c <= '\r');
    }

    // Moves p to the start of the next word, its end not yet looked for; false when the
    // statement ends.
    static bool skipToWord(const char*& p, const char* end)
    {
        while (p != end && isSpace(*p))
            ++p;
        return p != end && *p != '#';
    }

    // Moves p to the next word and sets wordEnd behind it; false when the statement ends.
    static bool nextWord(const char*& p, const char* end, const char*& wordEnd)
    {
        while (p != end && isSpace(*p))
            ++p;
        if (p == end || *p == '#')
            return false;
        wordEnd = p;
        while (wordEnd != end && !isSpace(*wordEnd))
            ++wordEnd;
        return true;
    }

    // The rest of the statement from p, blanks inside kept, and the end of its first word;
    // false when nothing is left.
    static bool restOfLine(const char* p, const char* end, const char*& restBegin, const char*& restEnd,
                           const char*& firstWordEnd);

    // Whether the line [begin, newline) ends in a backslash, a carriage return after it
    // allowed: its statement goes on in the next line.
    static bool continues(const char* begin, const char* newline)
    {
        const char* last = newline;
        if (last != begin && last[-1] == '\r')
            --last;
        return last != begin && last[-1] == '\\';
    }

    // The last line of a text, which no line end closes, without a backslash that would
    // join it to a next line there is none of.
    static const char* withoutContinuation(const char* begin, const char* end)
    {
        return continues(begin, end) ? (end[-1] == '\r' ? end - 2 : end - 1) : end;
    }

    // The statement starting at begin whose lines end in a backslash, joined into joined
    // with one blank for each backslash and its line end, so that words never run together.
    // Returns where the next statement starts and counts the lines taken; null when the
    // text stops inside the statement and more of it may still come (atEnd false).
    static const char* joinContinued(const char* begin, const char* end, bool atEnd, std::string& joined,
                                     std::uint64_t& lines);

    // The text without a byte order mark at its start.
    static const char* skipByteOrderMark(const char* begin, const char* end)
    {
        return end - begin >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0 ? begin + 3 : begin;
    }

    // A file name as written, with back slashes (folders written on Windows) turned to '/'.
    static std::string fileNameFrom(const char* begin, const char* end);
};
