// toLower and splitWords.
#include "math/StringUtils.h"

#include <cctype>
#include <sstream>

std::string toLower(const std::string& text)
{
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

void splitWords(std::string text, std::vector<std::string>& words)
{
    std::istringstream stream(text);
    std::string word;
    while (stream >> word)
        words.push_back(word);
}
