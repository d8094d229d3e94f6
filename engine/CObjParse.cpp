// The OBJ text into lists: the text streamed through a window, the two passes over its lines
// (the common lines read in one go, every other statement by the general rules), one
// handler per keyword, and the parts' lists placed in the whole model's and joined.
#include "engine/CObjParse.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "engine/CObjText.h"
#include "engine/CTextNumber.h"
#include "engine/CVertexRecord.h"

namespace VELK
{

namespace
{

const unsigned kFloatsOf[CObjParse::ELEMENT_KINDS] = {3, 2, 3};

// Narrows [begin, end) to the rest of the statement, blanks inside kept; false when
// nothing is left.
bool restOfStatement(const char*& begin, const char*& end)
{
    const char* firstEnd = nullptr;
    return CObjText::restOfLine(begin, end, begin, end, firstEnd);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The statements the reader acts on. The first pass counts by the same keywords the second
// stores by, so both read them here; the vectors' values are their ElementKind.
enum Keyword { KEYWORD_POSITION, KEYWORD_TEXCOORD, KEYWORD_NORMAL, KEYWORD_FACE, KEYWORD_USE_MATERIAL,
               KEYWORD_MATERIAL_LIBRARY, KEYWORD_OTHER };
static_assert(KEYWORD_POSITION == static_cast<int>(CObjParse::POSITION) &&
                  KEYWORD_TEXCOORD == static_cast<int>(CObjParse::TEXCOORD) &&
                  KEYWORD_NORMAL == static_cast<int>(CObjParse::NORMAL),
              "a vector's keyword is its element kind");

// The keyword of the statement in [begin, end), and where the rest of it starts.
Keyword keywordOf(const char* begin, const char* end, const char*& rest)
{
    const char* p = begin;
    if (!CObjText::nextWord(p, end, rest))
        return KEYWORD_OTHER;
    const std::size_t length = static_cast<std::size_t>(rest - p);
    if (length == 1)
        return p[0] == 'v' ? KEYWORD_POSITION : p[0] == 'f' ? KEYWORD_FACE : KEYWORD_OTHER;
    if (length == 2 && p[0] == 'v')
        return p[1] == 't' ? KEYWORD_TEXCOORD : p[1] == 'n' ? KEYWORD_NORMAL : KEYWORD_OTHER;
    if (length == 6 && std::memcmp(p, "usemtl", 6) == 0)
        return KEYWORD_USE_MATERIAL;
    if (length == 6 && std::memcmp(p, "mtllib", 6) == 0)
        return KEYWORD_MATERIAL_LIBRARY;
    return KEYWORD_OTHER;
}

// Reads count plain decimals from p, each behind blanks and followed by white space: where
// the last ends, or null for any other text.
const char* readPlainNumbers(const char* p, float* values, unsigned count)
{
    for (unsigned i = 0; i < count; ++i) {
        while (isBlank(*p))
            ++p;
        double number = 0.0;
        const char* stop = CTextNumber::toPlainDoubleInLine(p, number);
        if (!stop || !CObjText::isSpace(*stop))
            return nullptr;
        values[i] = static_cast<float>(number);
        p = stop;
    }
    return p;
}

CUninitialisedVector<float>& wholeElements(CObjLists& whole, CObjParse::ElementKind kind)
{
    return kind == CObjParse::POSITION ? whole.positions : kind == CObjParse::TEXCOORD ? whole.texCoords : whole.normals;
}

CUninitialisedVector<std::uint32_t>& wholeCorners(CObjLists& whole, CObjParse::ElementKind kind)
{
    return kind == CObjParse::POSITION   ? whole.positionIndices
           : kind == CObjParse::TEXCOORD ? whole.texCoordIndices
                                         : whole.normalIndices;
}

// The whole's list made of the parts' lists. Where each part filled exactly its place, the
// parts are the whole already; a part whose count was wrong (a file changed while read) is
// copied, with the rest, into a list of the right size.
template <typename T, typename ListOf>
void fitWhole(const std::vector<std::unique_ptr<CObjParse>>& parts, const ListOf& listOf, CUninitialisedVector<T>& whole)
{
    std::size_t total = 0;
    bool inPlace = true;
    for (const std::unique_ptr<CObjParse>& part : parts) {
        const CPlacedList<T>& list = listOf(*part);
        inPlace = inPlace && (list.empty() || (list.isInRoom() && list.data() == whole.data() + total));
        total += list.size();
    }
    if (inPlace) {
        whole.resize(total);
        return;
    }
    CUninitialisedVector<T> joined;
    joined.resize(total);
    std::size_t at = 0;
    for (const std::unique_ptr<CObjParse>& part : parts) {
        const CPlacedList<T>& list = listOf(*part);
        if (!list.empty())
            std::memcpy(joined.data() + at, list.data(), list.size() * sizeof(T));
        at += list.size();
    }
    whole.swap(joined);
}

} // namespace

CObjParse::CObjParse(bool startsFile)
    : startsFile(startsFile), counting(false), lineNumber(0), highest{0, 0, 0}, elementCount{0, 0, 0},
      emittedCorners(0)
{
}

CObjParse::CCounts CObjParse::countLines(const ByteSource& read, std::uint64_t size, std::size_t windowSize)
{
    counting = true;
    counts = CCounts();
    readWindows(read, size, windowSize);
    counting = false;
    return counts;
}

CObjParse::CCounts CObjParse::countText(const char* begin, const char* end)
{
    counting = true;
    counts = CCounts();
    readLines(startsFile ? CObjText::skipByteOrderMark(begin, end) : begin, end, true);
    counting = false;
    return counts;
}

void CObjParse::streamLines(const ByteSource& read, std::uint64_t size, std::size_t windowSize)
{
    lineNumber = 0;
    readWindows(read, size, windowSize);
}

void CObjParse::parseText(const char* begin, const char* end)
{
    lineNumber = 0;
    readLines(startsFile ? CObjText::skipByteOrderMark(begin, end) : begin, end, true);
}

void CObjParse::readWindows(const ByteSource& read, std::uint64_t size, std::size_t windowSize)
{
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
        const char* rest = markLookedFor ? readLines(begin, end, atEnd) : begin;
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

const char* CObjParse::readLines(const char* begin, const char* end, bool atEnd)
{
    // The lines up to the last line end are read in one go where they take a common form;
    // a line that no line end closes, the last of the text, only by the general rules.
    const char* closed = end;
    while (closed != begin && closed[-1] != '\n')
        --closed;
    const char* line = begin;
    while (line < closed) {
        const char* next = counting ? countLine(line, end) : parseLine(line);
        if (!next)
            next = readLineGenerally(line, end, atEnd);
        if (!next)
            return line;
        line = next;
    }
    if (line == end || !atEnd)
        return line;
    return readLineGenerally(line, end, atEnd);
}

const char* CObjParse::readLineGenerally(const char* line, const char* end, bool atEnd)
{
    const auto statement = [this](const char* begin, const char* statementEnd) {
        if (counting)
            countStatement(begin, statementEnd);
        else
            parseStatement(begin, statementEnd);
    };
    const char* newline = static_cast<const char*>(std::memchr(line, '\n', static_cast<std::size_t>(end - line)));
    if (!newline) {
        if (!atEnd)
            return nullptr;
        ++lineNumber;
        statement(line, CObjText::withoutContinuation(line, end));
        return end;
    }
    if (!CObjText::continues(line, newline)) {
        ++lineNumber;
        statement(line, newline);
        return newline + 1;
    }
    // Rare enough to be joined in a copy; the window keeps the statement's first line until
    // its last one has been read.
    std::uint64_t lines = 0;
    const char* next = CObjText::joinContinued(line, end, atEnd, joinedLine, lines);
    if (!next)
        return nullptr;
    // Messages name the statement's first line; the lines after it count once it is read.
    ++lineNumber;
    statement(joinedLine.data(), joinedLine.data() + joinedLine.size());
    lineNumber += lines - 1;
    return next;
}

const char* CObjParse::countLine(const char* line, const char* end)
{
    // A line end follows line before end. Elements and faces count by their keyword; a line
    // that goes on in the next, or starts with a blank, is left to the general rules.
    const char* lineEnd = nullptr;
    switch (line[0]) {
    case '\n':
        return line + 1;
    case 'v': {
        ElementKind kind = POSITION;
        if (isBlank(line[1]))
            kind = POSITION;
        else if ((line[1] == 't' || line[1] == 'n') && isBlank(line[2]))
            kind = line[1] == 't' ? TEXCOORD : NORMAL;
        else
            return nullptr;
        lineEnd = CObjText::findLineEnd(line + 2, end);
        if (CObjText::continues(line, lineEnd))
            return nullptr;
        ++counts.elements[kind];
        return lineEnd + 1;
    }
    case 'f': {
        if (!isBlank(line[1]))
            return nullptr;
        std::uint64_t corners = 0;
        bool plain = true;
        lineEnd = CObjText::countLineWords(line + 1, end, corners, plain);
        if (!plain)
            return nullptr;
        if (corners >= 3) {
            ++counts.faces;
            counts.corners += corners;
        }
        return lineEnd + 1;
    }
    default:
        // Any other keyword counts nothing; only where its statement ends matters.
        if (CObjText::isSpace(line[0]))
            return nullptr;
        lineEnd = CObjText::findLineEnd(line + 1, end);
        return CObjText::continues(line, lineEnd) ? nullptr : lineEnd + 1;
    }
}

void CObjParse::countStatement(const char* begin, const char* end)
{
    const char* rest = nullptr;
    const Keyword keyword = keywordOf(begin, end, rest);
    if (keyword == KEYWORD_FACE) {
        std::uint64_t corners = 0;
        const char* wordEnd = nullptr;
        for (const char* word = rest; CObjText::nextWord(word, end, wordEnd); word = wordEnd)
            ++corners;
        if (corners >= 3) {
            ++counts.faces;
            counts.corners += corners;
        }
    } else if (keyword <= KEYWORD_NORMAL) {
        ++counts.elements[keyword];
    }
}

const char* CObjParse::parseLine(const char* line)
{
    // A line end follows line. The three vector keywords and faces, written with
    // single blanks after the keyword and plain numbers, are most lines of a file.
    switch (line[0]) {
    case '\n':
        ++lineNumber;
        return line + 1;
    case 'v':
        if (line[1] == ' ')
            return readPlainVector(POSITION, line + 2);
        if ((line[1] == 't' || line[1] == 'n') && line[2] == ' ')
            return readPlainVector(line[1] == 't' ? TEXCOORD : NORMAL, line + 3);
        return nullptr;
    case 'f':
        return line[1] == ' ' ? readPlainFace(line + 2) : nullptr;
    default:
        return nullptr;
    }
}

void CObjParse::parseStatement(const char* begin, const char* end)
{
    const char* rest = nullptr;
    const Keyword keyword = keywordOf(begin, end, rest);
    if (keyword <= KEYWORD_NORMAL)
        readVector(static_cast<ElementKind>(keyword), rest, end);
    else if (keyword == KEYWORD_FACE)
        readFace(rest, end);
    else if (keyword == KEYWORD_USE_MATERIAL)
        readUseMaterial(rest, end);
    else if (keyword == KEYWORD_MATERIAL_LIBRARY)
        readMaterialLibrary(rest, end);
}

void CObjParse::addElement(ElementKind kind, const float* read)
{
    if (elementCount[kind] >= kLargestNumber)
        noteFault(lineNumber, "too many elements");
    ++elementCount[kind];
    // The file's v runs upwards, a picture's rows downwards; only v is turned.
    const float values[3] = {read[0], kind == TEXCOORD ? -read[1] : read[1], read[2]};
    CPlacedList<float>& list = elements[kind];
    if (!list.hasRoom(3)) {
        list.append(values, kFloatsOf[kind]);
        return;
    }
    list.pushInRoom(values[0]);
    list.pushInRoom(values[1]);
    if (kind != TEXCOORD)
        list.pushInRoom(values[2]);
}

const char* CObjParse::readPlainVector(ElementKind kind, const char* p)
{
    // All its numbers plain decimals, and nothing after them but blanks: anything else (a
    // missing number, a w, an exponent, a comment, a backslash) is left to readVector.
    float values[3] = {0.0f, 0.0f, 0.0f};
    p = readPlainNumbers(p, values, kFloatsOf[kind]);
    if (!p)
        return nullptr;
    while (isBlank(*p) || *p == '\r')
        ++p;
    if (*p != '\n')
        return kind == POSITION ? readPlainColour(values, p) : nullptr;
    ++lineNumber;
    addElement(kind, values);
    return p + 1;
}

const char* CObjParse::readPlainColour(const float* position, const char* p)
{
    // Scanners write a colour behind every position; only a line of exactly six numbers
    // is one, and any other is left to readVector.
    float values[6] = {position[0], position[1], position[2], 0.0f, 0.0f, 0.0f};
    p = readPlainNumbers(p, values + 3, 3);
    if (!p)
        return nullptr;
    while (isBlank(*p) || *p == '\r')
        ++p;
    if (*p != '\n')
        return nullptr;
    ++lineNumber;
    addElement(POSITION, values);
    addColour(values + 3);
    return p + 1;
}

void CObjParse::readVector(ElementKind kind, const char* begin, const char* end)
{
    // Missing numbers count as 0 so that the element still takes its place in the list. A
    // position of exactly six words is coloured by the last three; words beyond the numbers
    // of a kind (a weight, or a colour of another length) are ignored.
    float values[6] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    const unsigned most = kind == POSITION ? 6 : kFloatsOf[kind];
    const char* p = begin;
    const char* wordEnd = nullptr;
    unsigned read = 0;
    for (; read < most && CObjText::skipToWord(p, end); ++read) {
        // Nearly every number is plain decimal text and is read in the same pass that finds
        // its end; the word is cut out first only for anything else.
        const char* numberEnd = CTextNumber::toFloatInLine(p, end, values[read]);
        if (numberEnd) {
            p = numberEnd;
            continue;
        }
        CObjText::nextWord(p, end, wordEnd);
        values[read] = CTextNumber::toFloat(p, wordEnd);
        p = wordEnd;
    }
    addElement(kind, values);
    if (read == 6 && !CObjText::skipToWord(p, end))
        addColour(values + 3);
}

void CObjParse::addColour(const float* rgb)
{
    const std::size_t position = elementCount[POSITION] - 1;
    if (colours.size() <= position) {
        // Sized once for the part's positions as counted; past them (a file that grew while
        // read) it doubles.
        const std::size_t counted = static_cast<std::size_t>(counts.elements[POSITION]);
        colours.resize(std::max(counted, 2 * position + 1), CColouredVertexRecord::kWhite);
    }
    colours[position] = CColouredVertexRecord::packColour(rgb);
}

void CObjParse::readFace(const char* begin, const char* end)
{
    const std::size_t firstCorner = cornerNumbers[POSITION].size();
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
    finishFace(firstCorner, corners);
}

void CObjParse::finishFace(std::size_t firstCorner, std::uint64_t corners)
{
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
    CObjLists::CLibraryName library{CObjText::fileNameFrom(begin, end), {}};
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

void CObjParse::placeParts(const std::vector<std::unique_ptr<CObjParse>>& parts, const std::vector<CCounts>& counts,
                           CObjLists& whole)
{
    CCounts total;
    for (const CCounts& part : counts) {
        for (int kind = 0; kind < ELEMENT_KINDS; ++kind)
            total.elements[kind] += part.elements[kind];
        total.faces += part.faces;
        total.corners += part.corners;
    }
    // Sized, not filled: only the pages the parts write take memory, each once.
    for (int kind = 0; kind < ELEMENT_KINDS; ++kind) {
        const ElementKind k = static_cast<ElementKind>(kind);
        wholeElements(whole, k).resize(kFloatsOf[kind] * total.elements[kind]);
        wholeCorners(whole, k).resize(total.corners);
    }
    whole.faceSizes.resize(total.faces);
    CCounts before;
    for (std::size_t p = 0; p < parts.size(); ++p) {
        CObjParse& part = *parts[p];
        const CCounts& count = counts[p];
        for (int kind = 0; kind < ELEMENT_KINDS; ++kind) {
            const ElementKind k = static_cast<ElementKind>(kind);
            part.elements[kind].place(wholeElements(whole, k).data() + kFloatsOf[kind] * before.elements[kind],
                                      kFloatsOf[kind] * count.elements[kind]);
            part.cornerNumbers[kind].place(wholeCorners(whole, k).data() + before.corners, count.corners);
            before.elements[kind] += count.elements[kind];
        }
        part.faceSizes.place(whole.faceSizes.data() + before.faces, count.faces);
        before.faces += count.faces;
        before.corners += count.corners;
    }
}

void CObjParse::joinParts(const std::vector<std::unique_ptr<CObjParse>>& parts, CObjLists& whole)
{
    // Material runs start where the corners and faces of the parts before end.
    std::size_t faces = 0;
    for (const std::unique_ptr<CObjParse>& part : parts) {
        for (CMaterialRun& run : part->runs) {
            run.firstIndex += static_cast<std::int32_t>(whole.emittedCorners);
            run.firstFace += static_cast<std::uint32_t>(faces);
            whole.runs.push_back(std::move(run));
        }
        for (CObjLists::CLibraryName& library : part->libraries)
            whole.libraries.push_back(std::move(library));
        whole.emittedCorners += part->emittedCorners;
        faces += part->faceSizes.size();
    }
    for (int kind = 0; kind < ELEMENT_KINDS; ++kind) {
        const ElementKind k = static_cast<ElementKind>(kind);
        fitWhole(parts, [kind](CObjParse& part) -> CPlacedList<float>& { return part.elements[kind]; },
                 wholeElements(whole, k));
        fitWhole(parts, [kind](CObjParse& part) -> CPlacedList<std::uint32_t>& { return part.cornerNumbers[kind]; },
                 wholeCorners(whole, k));
    }
    fitWhole(parts, [](CObjParse& part) -> CPlacedList<std::uint32_t>& { return part.faceSizes; }, whole.faceSizes);

    // Once any part has a colour, every position has one: white where its v gives none.
    if (std::none_of(parts.begin(), parts.end(), [](const std::unique_ptr<CObjParse>& part) { return !part->colours.empty(); }))
        return;
    whole.colours.resize(whole.positions.size() / 3);
    std::uint32_t* at = whole.colours.data();
    for (const std::unique_ptr<CObjParse>& part : parts) {
        const std::size_t positions = part->elements[POSITION].size() / 3;
        const std::size_t given = std::min(positions, part->colours.size());
        std::copy(part->colours.data(), part->colours.data() + given, at);
        std::fill(at + given, at + positions, CColouredVertexRecord::kWhite);
        at += positions;
        CUninitialisedVector<std::uint32_t>().swap(part->colours);
    }
}

} // namespace VELK
