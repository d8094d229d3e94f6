// The OBJ text into lists: the text streamed through a window, the line loop, one handler
// per keyword.
#include "engine/CObjParse.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "engine/CObjText.h"
#include "engine/CTextNumber.h"

namespace VELK
{

namespace
{

// Narrows [begin, end) to the rest of the statement, blanks inside kept; false when
// nothing is left.
bool restOfStatement(const char*& begin, const char*& end)
{
    const char* firstEnd = nullptr;
    return CObjText::restOfLine(begin, end, begin, end, firstEnd);
}

} // namespace

CObjParse::CObjParse(bool startsFile)
    : emittedCorners(0), startsFile(startsFile), lineNumber(0), highest{0, 0, 0}
{
}

void CObjParse::streamLines(const ByteSource& read, std::uint64_t size, std::size_t windowSize)
{
    // The lists start in blocks that a text of this size fills.
    for (CUninitialisedVector<float>* list : {&positions, &normals, &texCoords})
        reserveForText(*list, size);
    for (CUninitialisedVector<std::uint32_t>* list : {&positionIndices, &normalIndices, &texCoordIndices, &faceSizes})
        reserveForText(*list, size);
    // The window holds the unfinished line at its front, then what was read after it. It is
    // not zero-filled, so that the part no read reaches takes no memory.
    std::size_t capacity = std::max<std::size_t>(windowSize, 1);
    std::unique_ptr<char[]> window(new char[capacity]);
    std::uint64_t unread = size;                       // as far as is known
    std::size_t kept = 0;
    bool markLookedFor = !startsFile;                  // the mark counts only at the start of the file
    for (;;) {
        // Each read adds a window's worth, or as much as is kept while a long line grows.
        const std::size_t asked = std::min(capacity - kept, std::max(windowSize, kept));
        const std::size_t got = read(window.get() + kept, asked);
        unread -= std::min<std::uint64_t>(unread, got);
        const bool atEnd = got < asked;
        const char* begin = window.get();
        const char* end = begin + kept + got;
        // The mark is looked for once three bytes are in, or at the end of a shorter file.
        if (!markLookedFor && (end - begin >= 3 || atEnd)) {
            begin = CObjText::skipByteOrderMark(begin, end);
            markLookedFor = true;
        }
        const char* rest = markLookedFor ? parseLines(begin, end, atEnd) : begin;
        if (atEnd)
            return;
        kept = static_cast<std::size_t>(end - rest);
        std::memmove(window.get(), rest, kept);
        if (kept == capacity) {
            // A line longer than the window. Grown step by step, the window would hold its
            // old and its new size at once at every step; it grows once, to hold the whole
            // rest of the file, of which only what the reads reach takes memory. It doubles
            // only where the rest is not known.
            const std::size_t grown = unread > 0 ? static_cast<std::size_t>(kept + unread + 1) : capacity * 2;
            std::unique_ptr<char[]> larger(new char[grown]);
            std::memcpy(larger.get(), window.get(), kept);
            window = std::move(larger);
            capacity = grown;
        }
    }
}

void CObjParse::parseText(const char* begin, const char* end)
{
    parseLines(startsFile ? CObjText::skipByteOrderMark(begin, end) : begin, end, true);
}

const char* CObjParse::parseLines(const char* begin, const char* end, bool atEnd)
{
    const char* line = begin;
    while (line != end) {
        const char* newline = static_cast<const char*>(std::memchr(line, '\n', static_cast<std::size_t>(end - line)));
        if (!newline) {
            if (!atEnd)
                return line;
            ++lineNumber;
            parseLine(line, CObjText::withoutContinuation(line, end));
            return end;
        }
        if (CObjText::continues(line, newline)) {
            const char* next = parseContinuedLine(line, end, atEnd);
            if (!next)
                return line;
            line = next;
            continue;
        }
        ++lineNumber;
        parseLine(line, newline);
        line = newline + 1;
    }
    return end;
}

const char* CObjParse::parseContinuedLine(const char* begin, const char* end, bool atEnd)
{
    // Rare enough to be joined in a copy; the window keeps the statement's first line until
    // its last one has been read.
    std::uint64_t lines = 0;
    const char* next = CObjText::joinContinued(begin, end, atEnd, joinedLine, lines);
    if (!next)
        return nullptr;
    // Messages name the statement's first line; the lines after it count once it is read.
    ++lineNumber;
    parseLine(joinedLine.data(), joinedLine.data() + joinedLine.size());
    lineNumber += lines - 1;
    return next;
}

void CObjParse::parseLine(const char* begin, const char* end)
{
    const char* p = begin;
    const char* keywordEnd = nullptr;
    if (!CObjText::nextWord(p, end, keywordEnd))
        return;
    const std::size_t length = static_cast<std::size_t>(keywordEnd - p);
    const char first = *p;
    if (length == 1 && first == 'v')
        readVector(positions, keywordEnd, end, 3, false);
    else if (length == 1 && first == 'f')
        readFace(keywordEnd, end);
    else if (length == 2 && first == 'v' && p[1] == 'n')
        readVector(normals, keywordEnd, end, 3, false);
    else if (length == 2 && first == 'v' && p[1] == 't')
        readVector(texCoords, keywordEnd, end, 2, true);
    else if (length == 6 && std::memcmp(p, "usemtl", 6) == 0)
        readUseMaterial(keywordEnd, end);
    else if (length == 6 && std::memcmp(p, "mtllib", 6) == 0)
        readMaterialLibrary(keywordEnd, end);
}

void CObjParse::readVector(CUninitialisedVector<float>& list, const char* begin, const char* end, unsigned count,
                           bool flipSecond)
{
    // Missing numbers count as 0 so that the element still takes its place in the list.
    float values[3] = {0.0f, 0.0f, 0.0f};
    const char* p = begin;
    const char* wordEnd = nullptr;
    for (unsigned i = 0; i < count && CObjText::skipToWord(p, end); ++i) {
        // Nearly every number is plain decimal text and is read in the same pass that finds
        // its end; the word is cut out first only for anything else.
        const char* numberEnd = CTextNumber::toFloatInLine(p, end, values[i]);
        if (numberEnd) {
            p = numberEnd;
            continue;
        }
        CObjText::nextWord(p, end, wordEnd);
        values[i] = CTextNumber::toFloat(p, wordEnd);
        p = wordEnd;
    }
    // The file's v runs upwards, a picture's rows downwards; only v is turned.
    if (flipSecond)
        values[1] = -values[1];
    if (list.size() / count >= kLargestNumber)
        noteFault(lineNumber, "too many elements");
    list.insert(list.end(), values, values + count);
}

void CObjParse::readFace(const char* begin, const char* end)
{
    const std::size_t firstCorner = positionIndices.size();
    std::uint64_t corners = 0;
    const char* p = begin;
    const char* wordEnd = nullptr;
    while (CObjText::skipToWord(p, end)) {
        const char* cornerEnd = readPlainCorner(p, end);
        if (!cornerEnd) {
            CObjText::nextWord(p, end, wordEnd);
            readCorner(p, wordEnd);
            cornerEnd = wordEnd;
        }
        p = cornerEnd;
        ++corners;
    }
    // A face of fewer than three corners draws nothing; a rejected file needs no corners.
    if (corners < 3 || firstFault.line != 0) {
        dropCorners(firstCorner);
        return;
    }
    if (emittedCorners + 3 * (corners - 2) > kLargestNumber) {
        noteFault(lineNumber, "too many triangles");
        return;
    }
    emittedCorners += 3 * (corners - 2);
    faceSizes.push_back(static_cast<std::uint32_t>(corners));
}

void CObjParse::readUseMaterial(const char* begin, const char* end)
{
    // The name is the rest of the line: exporters keep the blanks of material names.
    if (restOfStatement(begin, end))
        runs.push_back(CMaterialRun{std::string(begin, end), static_cast<std::int32_t>(emittedCorners),
                                    static_cast<std::uint32_t>(faceSizes.size())});
}

void CObjParse::readMaterialLibrary(const char* begin, const char* end)
{
    if (!restOfStatement(begin, end))
        return;
    CLibraryName library{CObjText::fileNameFrom(begin, end), {}};
    const char* wordEnd = nullptr;
    for (const char* p = begin; CObjText::nextWord(p, end, wordEnd); p = wordEnd)
        library.words.push_back(CObjText::fileNameFrom(p, wordEnd));
    libraries.push_back(std::move(library));
}

void CObjParse::noteFault(std::uint64_t line, const std::string& reason)
{
    if (firstFault.line == 0 || line < firstFault.line)
        firstFault = CFault{line, reason};
}

} // namespace VELK
