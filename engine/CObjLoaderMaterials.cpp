// The MTL reader: a library's colours, alpha, shininess, diffuse picture and mask.
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/CObjLoader.h"
#include "engine/CObjText.h"
#include "engine/CTextNumber.h"

namespace VELK
{

namespace
{

bool isKeyword(const char* begin, const char* end, const char* keyword)
{
    const std::size_t length = std::strlen(keyword);
    return static_cast<std::size_t>(end - begin) == length && std::memcmp(begin, keyword, length) == 0;
}

// How many words each map option takes; -1 for "up to three numbers".
int optionArguments(const char* begin, const char* end)
{
    static const char* const oneWord[] = {"-blendu", "-blendv", "-boost", "-cc", "-clamp", "-colorspace",
                                          "-imfchan", "-texres", "-type", "-bm"};
    for (const char* option : oneWord) {
        if (isKeyword(begin, end, option))
            return 1;
    }
    if (isKeyword(begin, end, "-mm"))
        return 2;
    if (isKeyword(begin, end, "-o") || isKeyword(begin, end, "-s") || isKeyword(begin, end, "-t"))
        return -1;
    return 0;
}

} // namespace

bool CObjLoader::loadMaterialFile(const std::string& path, const FileReader& readFile)
{
    std::string text;
    if (path.empty() || !readFile || !readFile(path, text))
        return false;
    readMaterials(text.data(), text.data() + text.size());
    return true;
}

void CObjLoader::readMaterials(const char* begin, const char* end)
{
    // Set by "d" or "Tr", given to the colours read after it, reset by each "newmtl".
    float alpha = 1.0f;
    // Statements before the library's first "newmtl" belong to no material, not to the
    // last one of the library read before.
    const std::size_t firstOfLibrary = materials.size();
    std::string joined;
    std::uint64_t lines = 0;
    const char* line = CObjText::skipByteOrderMark(begin, end);
    while (line != end) {
        const char* newline = static_cast<const char*>(std::memchr(line, '\n', static_cast<std::size_t>(end - line)));
        if (newline && CObjText::continues(line, newline)) {
            line = CObjText::joinContinued(line, end, true, joined, lines);
            readMaterialLine(joined.data(), joined.data() + joined.size(), alpha, firstOfLibrary);
            continue;
        }
        const char* lineEnd = newline ? newline : CObjText::withoutContinuation(line, end);
        readMaterialLine(line, lineEnd, alpha, firstOfLibrary);
        line = newline ? newline + 1 : end;
    }
}

void CObjLoader::readMaterialLine(const char* begin, const char* end, float& alpha, std::size_t firstOfLibrary)
{
    const char* p = begin;
    const char* keywordEnd = nullptr;
    if (!CObjText::nextWord(p, end, keywordEnd))
        return;
    const char* keyword = p;
    p = keywordEnd;
    const char* wordEnd = nullptr;

    if (isKeyword(keyword, keywordEnd, "newmtl")) {
        // The name is the rest of the line, as for "usemtl".
        const char* nameBegin = nullptr;
        const char* nameEnd = nullptr;
        if (CObjText::restOfLine(p, end, nameBegin, nameEnd, wordEnd)) {
            materials.push_back(CObjMaterial{std::string(nameBegin, nameEnd), CMaterial(), std::string()});
            alpha = 1.0f;
        }
        return;
    }
    if (materials.size() == firstOfLibrary)
        return;                                        // nothing to set before the first material
    CObjMaterial& last = materials.back();

    if (isKeyword(keyword, keywordEnd, "d") || isKeyword(keyword, keywordEnd, "Tr")) {
        if (CObjText::nextWord(p, end, wordEnd))
            alpha = CTextNumber::toFloat(p, wordEnd);
    } else if (isKeyword(keyword, keywordEnd, "Ns")) {
        if (CObjText::nextWord(p, end, wordEnd))
            last.material.shininess = CTextNumber::toFloat(p, wordEnd);
    } else if (isKeyword(keyword, keywordEnd, "Ka") || isKeyword(keyword, keywordEnd, "Kd") ||
               isKeyword(keyword, keywordEnd, "Ks")) {
        float rgb[3];
        for (float& component : rgb) {
            if (!CObjText::nextWord(p, end, wordEnd))
                return;                                // fewer than three numbers: the line is ignored
            component = CTextNumber::toFloat(p, wordEnd);
            p = wordEnd;
        }
        CMyVector<float, 4>& colour = keyword[1] == 'a'   ? last.material.ambient
                                      : keyword[1] == 'd' ? last.material.diffuse
                                                          : last.material.specular;
        colour.set(rgb[0], rgb[1], rgb[2], alpha);
    } else if (isKeyword(keyword, keywordEnd, "map_Kd")) {
        readTextureMap(p, end, last.textureFile);
    } else if (isKeyword(keyword, keywordEnd, "map_d")) {
        readTextureMap(p, end, last.maskFile);
    }
}

void CObjLoader::readTextureMap(const char* begin, const char* end, std::string& file)
{
    // Options come before the name and are skipped by what each takes; the name is the
    // rest of the line, so that a picture named with blanks keeps them.
    const char* p = begin;
    const char* wordEnd = nullptr;
    while (CObjText::nextWord(p, end, wordEnd)) {
        const int arguments = optionArguments(p, wordEnd);
        if (arguments == 0)
            break;
        p = wordEnd;
        if (arguments > 0) {
            for (int i = 0; i < arguments && CObjText::nextWord(p, end, wordEnd); ++i)
                p = wordEnd;
        } else {
            for (int i = 0; i < 3 && CObjText::nextWord(p, end, wordEnd) && CTextNumber::isWholeNumber(p, wordEnd); ++i)
                p = wordEnd;
        }
    }
    const char* nameBegin = nullptr;
    const char* nameEnd = nullptr;
    const char* firstEnd = nullptr;
    if (CObjText::restOfLine(p, end, nameBegin, nameEnd, firstEnd))
        file = CObjText::fileNameFrom(nameBegin, nameEnd);
}

} // namespace VELK
