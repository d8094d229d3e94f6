// The OBJ reader: the file streamed through a window, the line loop, one handler per keyword.
#include "engine/CObjLoader.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#include "debugging/CException.h"
#include "debugging/CLogManager.h"
#include "engine/CInputFile.h"
#include "engine/CObjText.h"
#include "engine/CTextNumber.h"

namespace VELK
{

namespace
{

// Large enough that reads cost nothing, small enough to stay in the processor's cache
// while its lines are parsed. A longer line makes the window grow.
const std::size_t kWindowSize = 256 * 1024;

// Corner positions in the index array are signed 32-bit numbers.
const std::uint64_t kMaxCorners = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());

const char* const kKindNames[] = {"position", "texture-coordinate", "normal"};

// The one test of a corner number against the elements of its list, for the fast paths
// and for resolveNumber alike: number (1-based, or counted back) names one of count.
inline bool namesElement(std::uint64_t number, std::size_t count)
{
    return number != 0 && number <= count;
}

// A number as nearly every corner writes it: up to nine digits, so that the sum cannot
// overflow. p moves past them; 0 when there is none. Longer numbers, signs and anything
// else are left to resolveNumber.
inline std::uint32_t readShortNumber(const char*& p, const char* end)
{
    const char* const first = p;
    std::uint32_t sum = 0;
    while (p != end && static_cast<unsigned char>(*p - '0') < 10 && p - first < 9)
        sum = sum * 10 + static_cast<std::uint32_t>(*p++ - '0');
    return sum;
}

std::string numberFault(int kind, const std::string& number, const char* what)
{
    return std::string(kKindNames[kind]) + " number " + number + what;
}

std::string failureMessage(const std::string& fileName)
{
    return "VELK::CObjLoader::loadFromFile " + fileName + " [FAILED]";
}

} // namespace

CObjLoader::CObjLoader()
    : VLoader("obj"), floatsPerVertex(0), lineNumber(0), emittedCorners(0), inChunk(false), chunkUnsure(false),
      highest{0, 0, 0}, phaseTimes(nullptr), loadStarted(0.0)
{
}

CObjLoader::~CObjLoader() = default;

void CObjLoader::saveToFile(void*, std::string) {}

const char* CObjLoader::getProduct() const
{
    return "model";
}

void CObjLoader::setPhaseTimes(CPhaseTimes* times)
{
    phaseTimes = times;
}

double CObjLoader::phaseClock() const
{
    if (!phaseTimes)
        return 0.0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void CObjLoader::clearWorkingData()
{
    // Swapped out rather than cleared, so that a large model's memory goes back at once.
    std::vector<CObjMaterial>().swap(materials);
    std::vector<CMaterialRun>().swap(runs);
    CHugeVector<float>().swap(positions);
    CHugeVector<float>().swap(normals);
    CHugeVector<float>().swap(texCoords);
    CHugeVector<std::uint32_t>().swap(positionIndices);
    CHugeVector<std::uint32_t>().swap(normalIndices);
    CHugeVector<std::uint32_t>().swap(texCoordIndices);
    CHugeVector<std::uint32_t>().swap(faceSizes);
    std::vector<CLibraryName>().swap(libraries);
    std::string().swap(joinedLine);
    for (CUndecided& numbers : undecided)
        numbers = CUndecided();
    firstFault = CFault();
    lineNumber = 0;
    emittedCorners = 0;
    chunkUnsure = false;
    for (std::uint32_t& number : highest)
        number = 0;
    std::vector<CFixUp>().swap(fixUps);
}

void CObjLoader::beginLoad(const std::string& name)
{
    loadStarted = phaseClock();
    clearWorkingData();
    fileName = name;
    const std::size_t slash = name.rfind('/');
    folder = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

bool CObjLoader::readWholeFile(const std::string& path, std::string& text)
{
    CInputFile file(path);
    if (file.readAll(text))
        return true;
    if (!file.isMissing())
        DEBUGGING::logMessage(DEBUGGING::LOG_ERROR, "VELK::CObjLoader::loadFromFile : " + path + " : " + file.getReason());
    text.clear();
    return false;
}

void* CObjLoader::loadFromFile(std::string name)
{
    return loadStreamed(name, &CObjLoader::readWholeFile, kWindowSize, kChooseThreads);
}

CMeshData* CObjLoader::loadStreamed(const std::string& name, const FileReader& readFile, std::size_t windowSize,
                                    unsigned threads)
{
    beginLoad(name);
    try {
        CInputFile file(name);
        if (!file.isOpen())
            reject(0, file.getReason());
        if (threads == kChooseThreads)
            threads = threadsFor(file.getSize());
        // A file the chunks cannot decide alone (a fault, a number counted back past the
        // start of the file) is read again in one pass, which finds the line to name.
        if (threads < 2 || !parseInChunks(file, windowSize, threads)) {
            clearWorkingData();
            streamLines(
                [this, &file](char* buffer, std::size_t count) {
                    const std::size_t got = file.read(buffer, count);
                    if (file.hasFailed())
                        reject(0, file.getReason());
                    return got;
                },
                file.getSize(), windowSize, true);
        }
    } catch (...) {
        abandonLoad();
    }
    return finishLoad(readFile);
}

void CObjLoader::streamLines(const ByteSource& read, std::uint64_t size, std::size_t windowSize, bool markPossible)
{
    // The window holds the unfinished line at its front, then what was read after it. It is
    // not zero-filled, so that the part no read reaches takes no memory.
    std::size_t capacity = std::max<std::size_t>(windowSize, 1);
    std::unique_ptr<char[]> window(new char[capacity]);
    std::uint64_t unread = size;                       // as far as is known
    std::size_t kept = 0;
    bool markLookedFor = !markPossible;                // the mark counts only at the start of the file
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
            begin = skipByteOrderMark(begin, end);
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

void CObjLoader::abandonLoad()
{
    // The working data goes first, so that a load that ran out of memory has some to report with.
    clearWorkingData();
    try {
        throw;
    } catch (const DEBUGGING::CException&) {
        throw;
    } catch (const std::exception& failure) {
        reject(0, reasonFor(failure));
    }
}

CMeshData* CObjLoader::loadFromText(const std::string& name, const std::string& objText, const FileReader& readFile)
{
    beginLoad(name);
    try {
        const char* end = objText.data() + objText.size();
        parseLines(skipByteOrderMark(objText.data(), end), end, true);
    } catch (...) {
        abandonLoad();
    }
    return finishLoad(readFile);
}

const char* CObjLoader::skipByteOrderMark(const char* begin, const char* end) const
{
    if (end - begin >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0)
        return begin + 3;
    return begin;
}

const char* CObjLoader::parseLines(const char* begin, const char* end, bool atEnd)
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

const char* CObjLoader::parseContinuedLine(const char* begin, const char* end, bool atEnd)
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

void CObjLoader::parseLine(const char* begin, const char* end)
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

void CObjLoader::readVector(CHugeVector<float>& list, const char* begin, const char* end, unsigned count,
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
    if (list.size() / count >= kMaxCorners)
        noteFault(lineNumber, "too many elements");
    list.insert(list.end(), values, values + count);
}

void CObjLoader::readFace(const char* begin, const char* end)
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
        // The corners go, but a number among them counted back too far still rejects the file.
        for (auto fixUp = fixUps.rbegin(); fixUp != fixUps.rend() && fixUp->corner >= firstCorner; ++fixUp)
            fixUp->corner = CFixUp::kNoCorner;
        positionIndices.resize(firstCorner);
        texCoordIndices.resize(firstCorner);
        normalIndices.resize(firstCorner);
        return;
    }
    if (emittedCorners + 3 * (corners - 2) > kMaxCorners) {
        noteFault(lineNumber, "too many triangles");
        return;
    }
    emittedCorners += 3 * (corners - 2);
    faceSizes.push_back(static_cast<std::uint32_t>(corners));
}

// A chunk cannot know how many elements the chunks before it read: any number that could
// name an element is taken, and the join checks the largest against the whole lists.
inline std::size_t CObjLoader::reach(std::size_t count) const
{
    return inChunk ? static_cast<std::size_t>(kMaxCorners) : count;
}

const char* CObjLoader::readPlainCorner(const char* begin, const char* end)
{
    // The forms "p", "p/t", "p//n" and "p/t/n" with numbers of elements read so far, closed
    // by a blank or the end of the line: nearly every corner of a file. Anything else is
    // left to readCorner, which knows every rule.
    const char* p = begin;
    const auto number = [&p, end](std::size_t count, std::uint32_t& value) {
        value = readShortNumber(p, end);
        return namesElement(value, count);
    };
    const auto closed = [&p, end]() { return p == end || CObjText::isSpace(*p); };
    std::uint32_t position = 0;
    std::uint32_t texCoord = 0;
    std::uint32_t normal = 0;
    if (!number(reach(positions.size() / 3), position))
        return nullptr;
    if (!closed()) {
        if (*p != '/')
            return nullptr;
        ++p;
        if (p != end && *p == '/') {
            ++p;
            if (!number(reach(normals.size() / 3), normal) || !closed())
                return nullptr;
        } else {
            if (!number(reach(texCoords.size() / 2), texCoord))
                return nullptr;
            if (!closed()) {
                if (*p != '/')
                    return nullptr;
                ++p;
                if (!number(reach(normals.size() / 3), normal) || !closed())
                    return nullptr;
            }
        }
    }
    if (inChunk) {
        highest[POSITION] = std::max(highest[POSITION], position);
        highest[TEXCOORD] = std::max(highest[TEXCOORD], texCoord);
        highest[NORMAL] = std::max(highest[NORMAL], normal);
    }
    positionIndices.push_back(position);
    texCoordIndices.push_back(texCoord);
    normalIndices.push_back(normal);
    return p;
}

void CObjLoader::readCorner(const char* begin, const char* end)
{
    // Parts up to each '/': the position number always, the others only when not empty.
    // Parts are a few characters long, too short to be worth a library search.
    const auto partEnd = [end](const char* p) {
        while (p != end && *p != '/')
            ++p;
        return p;
    };
    // Nearly every part is a plain number of the elements read so far; it is taken
    // here at once, and everything else by the rules of resolveNumber.
    const auto readPart = [&](ElementKind kind, const char* part, std::size_t count, std::uint32_t& number) {
        const char* p = part;
        number = readShortNumber(p, end);
        if ((p == end || *p == '/') && namesElement(number, reach(count))) {
            if (inChunk)
                highest[kind] = std::max(highest[kind], number);
            return p;
        }
        const char* stop = partEnd(part);
        number = resolveNumber(kind, part, stop);
        return stop;
    };

    std::uint32_t position = 0;
    std::uint32_t texCoord = 0;
    std::uint32_t normal = 0;
    const char* stop = readPart(POSITION, begin, positions.size() / 3, position);
    if (stop != end) {
        const char* part = stop + 1;
        if (part != end && *part != '/')
            stop = readPart(TEXCOORD, part, texCoords.size() / 2, texCoord);
        else
            stop = part;
        if (stop != end) {
            part = stop + 1;
            if (part != end && *part != '/')
                readPart(NORMAL, part, normals.size() / 3, normal);
        }
    }
    positionIndices.push_back(position);
    texCoordIndices.push_back(texCoord);
    normalIndices.push_back(normal);
}

std::size_t CObjLoader::elementCount(ElementKind kind) const
{
    switch (kind) {
    case POSITION: return positions.size() / 3;
    case TEXCOORD: return texCoords.size() / 2;
    default:       return normals.size() / 3;
    }
}

// Every rule for a corner number, written as [begin, end), of a list that holds count
// elements so far:
//   1 to count               that element;
//   -count to -1             counted back from the last element read before this line;
//   above count              may be defined by a later line: decided at the end of the
//                            file, against the whole list (rejectIfFaulty);
//   0, below -count          "<kind> number <n> is out of range";
//   beyond a signed 32 bits  "<kind> number <as written> is too large".
// A fault in a list still empty counts only if the list fills later: numbers for a list
// the file never fills are ignored. The fast paths take only the first case, through the
// same namesElement.
std::uint32_t CObjLoader::resolveNumber(ElementKind kind, const char* begin, const char* end)
{
    const std::size_t count = elementCount(kind);
    std::int32_t number = 0;
    const bool fits = CTextNumber::toInt32(begin, end, number);
    const std::uint64_t magnitude = static_cast<std::uint64_t>(number < 0 ? -static_cast<std::int64_t>(number) : number);
    if (inChunk) {
        // Only the lists of the chunks before tell what a number counted back names, and
        // whether a list was still empty at a fault: the join decides, or the one pass.
        if (fits && number > 0) {
            highest[kind] = std::max(highest[kind], static_cast<std::uint32_t>(magnitude));
            return static_cast<std::uint32_t>(magnitude);
        }
        if (fits && number < 0)
            fixUps.push_back(CFixUp{positionIndices.size(), static_cast<std::int64_t>(count) + 1 -
                                                                static_cast<std::int64_t>(magnitude), kind});
        else
            chunkUnsure = true;
        return 0;
    }
    if (fits && number > 0) {
        std::vector<CForwardUse>& forward = undecided[kind].forward;
        if (!namesElement(magnitude, count) && (forward.empty() || magnitude > forward.back().number))
            forward.push_back(CForwardUse{lineNumber, static_cast<std::uint32_t>(magnitude)});
        return static_cast<std::uint32_t>(magnitude);
    }
    if (fits && number < 0 && namesElement(magnitude, count))
        return static_cast<std::uint32_t>(count + 1 - magnitude);
    // Once a line is faulty, later faults cannot be the first; the message is built once.
    if (firstFault.line != 0)
        return 0;
    CFault& fault = kind != POSITION && count == 0 ? undecided[kind].ifFilled : firstFault;
    if (fault.line == 0)
        fault = CFault{lineNumber, fits ? numberFault(kind, std::to_string(number), " is out of range")
                                        : numberFault(kind, std::string(begin, end), " is too large")};
    return 0;
}

void CObjLoader::noteFault(std::uint64_t line, const std::string& reason)
{
    if (firstFault.line == 0 || line < firstFault.line)
        firstFault = CFault{line, reason};
}

void CObjLoader::readUseMaterial(const char* begin, const char* end)
{
    // The name is the rest of the line: exporters keep the blanks of material names.
    const char* nameBegin = nullptr;
    const char* nameEnd = nullptr;
    const char* firstEnd = nullptr;
    if (!CObjText::restOfLine(begin, end, nameBegin, nameEnd, firstEnd))
        return;
    runs.push_back(CMaterialRun{std::string(nameBegin, nameEnd), static_cast<std::int32_t>(emittedCorners),
                                static_cast<std::uint32_t>(faceSizes.size())});
}

void CObjLoader::readMaterialLibrary(const char* begin, const char* end)
{
    const char* wholeBegin = nullptr;
    const char* wholeEnd = nullptr;
    const char* firstEnd = nullptr;
    if (!CObjText::restOfLine(begin, end, wholeBegin, wholeEnd, firstEnd))
        return;
    CLibraryName library{CObjText::fileNameFrom(wholeBegin, wholeEnd), {}};
    const char* p = wholeBegin;
    const char* wordEnd = nullptr;
    for (; CObjText::nextWord(p, wholeEnd, wordEnd); p = wordEnd)
        library.words.push_back(CObjText::fileNameFrom(p, wordEnd));
    libraries.push_back(std::move(library));
}

void CObjLoader::reject(std::uint64_t line, const std::string& reason)
{
    std::string where = line ? " line " + std::to_string(line) : std::string();
    DEBUGGING::logMessage(DEBUGGING::LOG_ERROR,
                          "VELK::CObjLoader::loadFromFile : " + fileName + where + " : " + reason);
    throw DEBUGGING::CException(failureMessage(fileName));
}

void CObjLoader::rejectIfFaulty()
{
    // What resolveNumber left to the end of the file, against the whole lists: a list the
    // file never fills takes no number. Of the numbers still beyond their list, the first
    // recorded is on the earliest line, since each recorded one is larger than the last.
    for (int kind = 0; kind < ELEMENT_KINDS; ++kind) {
        const std::size_t count = elementCount(static_cast<ElementKind>(kind));
        if (kind != POSITION && count == 0)
            continue;
        const CUndecided& numbers = undecided[kind];
        if (numbers.ifFilled.line != 0)
            noteFault(numbers.ifFilled.line, numbers.ifFilled.reason);
        for (const CForwardUse& use : numbers.forward) {
            if (!namesElement(use.number, count)) {
                noteFault(use.line, numberFault(kind, std::to_string(use.number), " is out of range"));
                break;
            }
        }
    }
    if (firstFault.line != 0)
        reject(firstFault.line, firstFault.reason);
    if (faceSizes.empty())
        reject(0, "no faces");
}

CMeshData* CObjLoader::finishLoad(const FileReader& readFile)
{
    try {
        rejectIfFaulty();
        for (CUndecided& numbers : undecided)
            numbers = CUndecided();

        // Every library is read once, in the order of the lines naming it. The whole rest
        // of the line is the name when such a file exists, else each of its words in turn.
        std::vector<std::string> read;
        const auto readOnce = [&](const std::string& name) {
            const std::string path = folder + name;
            for (const std::string& done : read) {
                if (done == path)
                    return true;
            }
            if (!loadMaterialFile(path, readFile))
                return false;
            read.push_back(path);
            return true;
        };
        for (const CLibraryName& library : libraries) {
            // A line of many names can be too long to be one; it is not tried as one then,
            // so that no error is logged for a file it could never have named.
            const bool several = library.words.size() > 1;
            const bool oneName = !several || !CInputFile::isTooLongToName(folder + library.wholeName);
            if ((oneName && readOnce(library.wholeName)) || !several)
                continue;
            for (const std::string& word : library.words)
                readOnce(word);
        }

        if (phaseTimes)
            phaseTimes->parse = phaseClock() - loadStarted;
        std::unique_ptr<CMeshData> mesh(new CMeshData());
        buildMesh(*mesh);
        clearWorkingData();
        return mesh.release();
    } catch (...) {
        abandonLoad();
    }
}

} // namespace VELK
