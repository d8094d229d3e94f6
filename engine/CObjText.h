#pragma once
// Words of a line of OBJ or MTL text, cut in place by the rules of splitWords: white space
// is blank, tab, line feed, vertical tab, form feed and carriage return. A word that
// starts with '#' ends the statement.

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

    // A file name as written, with back slashes (folders written on Windows) turned to '/'.
    static std::string fileNameFrom(const char* begin, const char* end);
};
