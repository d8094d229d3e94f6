// Statement words and file names of OBJ and MTL text.
#include "engine/CObjText.h"

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
