// Every rule for a corner number: the corners of a face, the end of the file, the join of
// the chunks. A corner is "p", "p/t", "p//n" or "p/t/n": the position number always, the
// others where their part is not empty. A number of a list that holds count elements before
// its line (a chunk further on counts its own only) is:
//
//   number                 in a text that starts the file           in a chunk further on
//   1 to count             that element                             the same
//   above count            a later element: the end of the file     taken; the join checks the
//                          checks it against the whole list         largest against the whole list
//   -count to -1           counted back from the last element       a fix-up: the join adds the
//   below -count           "<kind> number <n> is out of range"      elements of the chunks before
//   0                      "<kind> number 0 is out of range"        the same
//   beyond signed 32 bits  "<kind> number <as written> is too large"  the same
//
// A fault in a list still empty counts only if the list fills later: numbers for a list the
// file never fills are ignored. A chunk holding a fault, or a number only the lines before it
// decide, is read again in one pass over the whole file, which names the line.
#include <algorithm>
#include <limits>
#include <string>

#include "engine/CObjParse.h"
#include "engine/CObjText.h"
#include "engine/CTextNumber.h"

namespace VELK
{

const std::uint64_t CObjParse::kLargestNumber = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());

namespace
{

const char* const kKindNames[] = {"position", "texture-coordinate", "normal"};

// Whether number (1-based) names one of count elements.
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

// A corner number of the common form, one to nine digits, at p, where a character that is
// no digit follows before the text ends (a line end): p moves past it.
inline bool readPlainNumber(const char*& p, std::uint32_t& value)
{
    const char* const first = p;
    std::uint64_t sum = 0;
    while (static_cast<unsigned char>(*p - '0') < 10)
        sum = sum * 10 + static_cast<std::uint64_t>(*p++ - '0');
    value = static_cast<std::uint32_t>(sum);
    return p != first && p - first <= 9;
}

std::string numberFault(int kind, const std::string& number, const char* what)
{
    return std::string(kKindNames[kind]) + " number " + number + what;
}

} // namespace

// The fast paths take the first row of the table only, and above count in a chunk further
// on, where count does not hold the chunks before.
inline std::size_t CObjParse::reach(ElementKind kind) const
{
    return startsFile ? elementCount[kind] : static_cast<std::size_t>(kLargestNumber);
}

const char* CObjParse::readPlainFace(const char* p)
{
    // A face line whose corners all take the fast paths, closed by the line end that follows:
    // nearly every face of a file. The numbers' reach is the same for the whole line, and
    // the largest numbers are kept aside until it is read. Anything else leaves the line,
    // from its start, to readFace.
    std::uint32_t reachOf[ELEMENT_KINDS];
    std::uint32_t most[ELEMENT_KINDS];
    for (int kind = 0; kind < ELEMENT_KINDS; ++kind) {
        reachOf[kind] = static_cast<std::uint32_t>(std::min<std::size_t>(reach(static_cast<ElementKind>(kind)), kLargestNumber));
        most[kind] = highest[kind];
    }
    // 1 to reach, in one comparison.
    const auto inReach = [&reachOf](ElementKind kind, std::uint32_t number) { return number - 1 < reachOf[kind]; };
    const std::size_t firstCorner = cornerNumbers[POSITION].size();
    std::uint64_t corners = 0;
    for (;; ++corners) {
        while (*p == ' ' || *p == '\t' || *p == '\r')
            ++p;
        if (*p == '\n')
            break;
        std::uint32_t number[ELEMENT_KINDS] = {0, 0, 0};
        bool plain = readPlainNumber(p, number[POSITION]) && inReach(POSITION, number[POSITION]);
        if (plain && *p == '/') {
            ++p;
            if (*p != '/')
                plain = readPlainNumber(p, number[TEXCOORD]) && inReach(TEXCOORD, number[TEXCOORD]);
            if (plain && *p == '/') {
                ++p;
                plain = readPlainNumber(p, number[NORMAL]) && inReach(NORMAL, number[NORMAL]);
            }
        }
        plain = plain && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n');
        for (int kind = 0; kind < ELEMENT_KINDS; ++kind)
            plain = plain && cornerNumbers[kind].hasRoom(1);
        if (!plain) {
            for (CPlacedList<std::uint32_t>& numbers : cornerNumbers)
                numbers.shrink(firstCorner);
            return nullptr;
        }
        for (int kind = 0; kind < ELEMENT_KINDS; ++kind) {
            cornerNumbers[kind].pushInRoom(number[kind]);
            most[kind] = std::max(most[kind], number[kind]);
        }
    }
    for (int kind = 0; kind < ELEMENT_KINDS; ++kind)
        highest[kind] = most[kind];
    ++lineNumber;
    finishFace(firstCorner, corners);
    return p + 1;
}

const char* CObjParse::readPlainCorner(const char* begin, const char* end)
{
    // The four forms with short numbers the fast paths take, closed by a blank or the end of
    // the line: nearly every corner of a file. Anything else is left to readCorner.
    const char* p = begin;
    const auto number = [this, &p, end](ElementKind kind, std::uint32_t& value) {
        value = readShortNumber(p, end);
        return namesElement(value, reach(kind));
    };
    const auto closed = [&p, end]() { return p == end || CObjText::isSpace(*p); };
    std::uint32_t position = 0;
    std::uint32_t texCoord = 0;
    std::uint32_t normal = 0;
    if (!number(POSITION, position))
        return nullptr;
    if (!closed()) {
        if (*p++ != '/')
            return nullptr;
        if ((p == end || *p != '/') && !number(TEXCOORD, texCoord))
            return nullptr;
        if (!closed() && (*p++ != '/' || !number(NORMAL, normal) || !closed()))
            return nullptr;
    }
    highest[POSITION] = std::max(highest[POSITION], position);
    highest[TEXCOORD] = std::max(highest[TEXCOORD], texCoord);
    highest[NORMAL] = std::max(highest[NORMAL], normal);
    cornerNumbers[POSITION].push_back(position);
    cornerNumbers[TEXCOORD].push_back(texCoord);
    cornerNumbers[NORMAL].push_back(normal);
    return p;
}

void CObjParse::readCorner(const char* begin, const char* end)
{
    // Parts up to each '/'. Parts are a few characters long, too short to be worth a library
    // search.
    const auto partEnd = [end](const char* p) {
        while (p != end && *p != '/')
            ++p;
        return p;
    };
    // A short number the fast paths would take is taken here at once too.
    const auto readPart = [&](ElementKind kind, const char* part, std::uint32_t& number) {
        const char* p = part;
        number = readShortNumber(p, end);
        if ((p == end || *p == '/') && namesElement(number, reach(kind))) {
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
    const char* stop = readPart(POSITION, begin, position);
    if (stop != end) {
        const char* part = stop + 1;
        if (part != end && *part != '/')
            stop = readPart(TEXCOORD, part, texCoord);
        else
            stop = part;
        if (stop != end) {
            part = stop + 1;
            if (part != end && *part != '/')
                readPart(NORMAL, part, normal);
        }
    }
    cornerNumbers[POSITION].push_back(position);
    cornerNumbers[TEXCOORD].push_back(texCoord);
    cornerNumbers[NORMAL].push_back(normal);
}

std::uint32_t CObjParse::resolveNumber(ElementKind kind, const char* begin, const char* end)
{
    const std::size_t count = elementCount[kind];
    std::int32_t number = 0;
    const bool fits = CTextNumber::toInt32(begin, end, number);
    const std::uint64_t magnitude = static_cast<std::uint64_t>(number < 0 ? -static_cast<std::int64_t>(number) : number);
    if (fits && number > 0) {
        highest[kind] = std::max(highest[kind], static_cast<std::uint32_t>(magnitude));
        std::vector<CForwardUse>& uses = forward[kind];
        if (startsFile && !namesElement(magnitude, count) && (uses.empty() || magnitude > uses.back().number))
            uses.push_back(CForwardUse{lineNumber, static_cast<std::uint32_t>(magnitude)});
        return static_cast<std::uint32_t>(magnitude);
    }
    if (fits && number < 0 && !startsFile) {
        fixUps.push_back(
            CFixUp{cornerNumbers[POSITION].size(), static_cast<std::int64_t>(count) + 1 - static_cast<std::int64_t>(magnitude), kind});
        return 0;
    }
    if (fits && number < 0 && namesElement(magnitude, count))
        return static_cast<std::uint32_t>(count + 1 - magnitude);
    // Once a line is faulty, later faults cannot be the first; the message is built once.
    if (firstFault.line != 0)
        return 0;
    CFault& fault = kind != POSITION && count == 0 ? ifFilled[kind] : firstFault;
    if (fault.line == 0)
        fault = CFault{lineNumber, fits ? numberFault(kind, std::to_string(number), " is out of range")
                                        : numberFault(kind, std::string(begin, end), " is too large")};
    return 0;
}

void CObjParse::dropCorners(std::size_t firstCorner)
{
    // A number among them counted back too far still rejects the file.
    for (auto fixUp = fixUps.rbegin();
         fixUp != fixUps.rend() && fixUp->corner != CFixUp::kNoCorner && fixUp->corner >= firstCorner; ++fixUp)
        fixUp->corner = CFixUp::kNoCorner;
    for (CPlacedList<std::uint32_t>& numbers : cornerNumbers)
        numbers.shrink(firstCorner);
}

CObjParse::CFault CObjParse::fileFault() const
{
    // What resolveNumber left to the end of the file, against the whole lists: a list the
    // file never fills takes no number. Of the numbers still beyond their list, the first
    // recorded is on the earliest line, since each recorded one is larger than the last.
    CFault fault = firstFault;
    const auto note = [&fault](std::uint64_t line, const std::string& reason) {
        if (fault.line == 0 || line < fault.line)
            fault = CFault{line, reason};
    };
    for (int kind = 0; kind < ELEMENT_KINDS; ++kind) {
        const std::size_t count = elementCount[kind];
        if (kind != POSITION && count == 0)
            continue;
        if (ifFilled[kind].line != 0)
            note(ifFilled[kind].line, ifFilled[kind].reason);
        for (const CForwardUse& use : forward[kind]) {
            if (!namesElement(use.number, count)) {
                note(use.line, numberFault(kind, std::to_string(use.number), " is out of range"));
                break;
            }
        }
    }
    return fault;
}

bool CObjParse::settleChunks(const std::vector<std::unique_ptr<CObjParse>>& parts)
{
    std::uint64_t totals[ELEMENT_KINDS] = {0, 0, 0};
    std::uint64_t emitted = 0;
    for (const std::unique_ptr<CObjParse>& part : parts) {
        if (part->firstFault.line != 0)
            return false;
        for (int kind = 0; kind < ELEMENT_KINDS; ++kind) {
            if (part->ifFilled[kind].line != 0)
                return false;
            totals[kind] += part->elementCount[kind];
        }
        emitted += part->emittedCorners;
    }
    if (emitted > kLargestNumber)
        return false;
    for (int kind = 0; kind < ELEMENT_KINDS; ++kind) {
        if (totals[kind] > kLargestNumber)
            return false;
        // A number of a list the file never fills is ignored, as in one pass.
        for (const std::unique_ptr<CObjParse>& part : parts) {
            if ((kind == POSITION || totals[kind] != 0) && part->highest[kind] > totals[kind])
                return false;
        }
    }
    // Numbers counted back, against the elements of the chunks before.
    std::uint64_t before[ELEMENT_KINDS] = {0, 0, 0};
    for (const std::unique_ptr<CObjParse>& part : parts) {
        for (const CFixUp& fixUp : part->fixUps) {
            const std::int64_t number = static_cast<std::int64_t>(before[fixUp.kind]) + fixUp.local;
            if (number < 1)
                return false;
            if (fixUp.corner == CFixUp::kNoCorner)
                continue;
            part->cornerNumbers[fixUp.kind][fixUp.corner] = static_cast<std::uint32_t>(number);
        }
        for (int kind = 0; kind < ELEMENT_KINDS; ++kind)
            before[kind] += part->elementCount[kind];
    }
    return true;
}

} // namespace VELK
