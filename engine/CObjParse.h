#pragma once
// The reading of OBJ text into lists: the whole file in one part, or one chunk of it on a
// thread of its own. A part is read twice: first its elements, faces and corners are counted,
// so that its lists take their places in the whole model's arrays (CObjLists) before anything
// is stored, then it is parsed into those places. Every rule for a corner number is in
// CObjParseCorners.cpp.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/CMaterialRun.h"
#include "engine/CObjLists.h"
#include "engine/CPlacedList.h"

namespace VELK
{

class CObjParse
{
public:
    enum ElementKind { POSITION, TEXCOORD, NORMAL, ELEMENT_KINDS };

    // Corners and elements are numbered in signed 32 bits (the index array's positions).
    static const std::uint64_t kLargestNumber;

    struct CFault                                      // a faulty line and why; line 0 = none
    {
        std::uint64_t line = 0;
        std::string reason;
    };

    struct CCounts                                     // what a text's lists will hold
    {
        std::uint64_t elements[ELEMENT_KINDS] = {0, 0, 0};
        std::uint64_t faces = 0;                       // of three corners or more
        std::uint64_t corners = 0;                     // of those faces
    };

    // startsFile: a byte order mark is skipped, and every number is decided here; a text
    // further on leaves what depends on the text before it to the join.
    explicit CObjParse(bool startsFile);

    // Fills buffer with up to count bytes; fewer only at the end of what is read.
    using ByteSource = std::function<std::size_t(char* buffer, std::size_t count)>;

    // The first pass, over the text from read, size bytes as far as known, through a window
    // of windowSize bytes at first (grown for a longer line); or over a text in memory.
    CCounts countLines(const ByteSource& read, std::uint64_t size, std::size_t windowSize);
    CCounts countText(const char* begin, const char* end);

    // The parts' lists at their places in the whole model's, sized here from the parts'
    // counts, in file order.
    static void placeParts(const std::vector<std::unique_ptr<CObjParse>>& parts, const std::vector<CCounts>& counts,
                           CObjLists& whole);

    // The second pass, as the first.
    void streamLines(const ByteSource& read, std::uint64_t size, std::size_t windowSize);
    void parseText(const char* begin, const char* end);

    // The fault that rejects a file read whole in one part; line 0 when there is none.
    CFault fileFault() const;

    // Whether the chunks of one file, in file order, decide every number against the whole
    // file's lists; the numbers counted back are then written in. False when one pass over
    // the whole file must decide: a fault, or a number only the lines before a chunk judge.
    static bool settleChunks(const std::vector<std::unique_ptr<CObjParse>>& parts);

    // The parts' runs, libraries and corner total joined into the whole's, and any list that
    // did not fill its place exactly copied into one of the right size.
    static void joinParts(const std::vector<std::unique_ptr<CObjParse>>& parts, CObjLists& whole);

private:
    struct CForwardUse                                 // a number beyond the elements read so far
    {
        std::uint64_t line;
        std::uint32_t number;
    };

    struct CFixUp                                      // a number counted back, judged by the join
    {
        static constexpr std::size_t kNoCorner = static_cast<std::size_t>(-1);  // of a face that draws nothing
        std::size_t corner;                            // in the chunk, or kNoCorner: only checked
        std::int64_t local;                            // the element in the chunk's own numbering; < 1: before it
        ElementKind kind;
    };

    // The window over the text, and the lines in it (CObjParse.cpp).
    void readWindows(const ByteSource& read, std::uint64_t size, std::size_t windowSize);
    const char* readLines(const char* begin, const char* end, bool atEnd);  // returns the unfinished line
    const char* readLineGenerally(const char* begin, const char* end, bool atEnd);  // null: unfinished

    // The first pass (CObjParse.cpp).
    const char* countLine(const char* line, const char* end);  // null: the general way
    void countStatement(const char* begin, const char* end);

    // The second pass: the common lines read in one go, else one handler per keyword
    // (CObjParse.cpp).
    const char* parseLine(const char* line);           // a line end follows; null: the general way
    void parseStatement(const char* begin, const char* end);
    const char* readPlainVector(ElementKind kind, const char* p);  // as parseLine
    const char* readPlainColour(const float* position, const char* p);  // as parseLine, behind three numbers
    void readVector(ElementKind kind, const char* begin, const char* end);
    void addElement(ElementKind kind, const float* values);
    void addColour(const float* rgb);                  // of the position just added
    void readFace(const char* begin, const char* end);
    void finishFace(std::size_t firstCorner, std::uint64_t corners);
    void readUseMaterial(const char* begin, const char* end);
    void readMaterialLibrary(const char* begin, const char* end);
    void noteFault(std::uint64_t line, const std::string& reason);  // the earliest line is kept

    // Corner numbers (CObjParseCorners.cpp).
    const char* readPlainFace(const char* p);          // as parseLine
    const char* readPlainCorner(const char* begin, const char* end);  // null: not of the common form
    void readCorner(const char* begin, const char* end);
    std::uint32_t resolveNumber(ElementKind kind, const char* begin, const char* end);  // 0 for none yet
    std::size_t reach(ElementKind kind) const;         // the largest number the fast paths take
    void dropCorners(std::size_t firstCorner);         // those of a face that draws nothing

    const bool startsFile;
    bool counting;                                     // the first pass
    CCounts counts;                                    // of the first pass
    std::uint64_t lineNumber;                          // of the line being read, from 1
    CFault firstFault;                                 // the earliest faulty line
    CFault ifFilled[ELEMENT_KINDS];                    // the first fault while the list was empty: counts if it fills
    std::vector<CForwardUse> forward[ELEMENT_KINDS];   // each a larger number than the one before
    std::uint32_t highest[ELEMENT_KINDS];              // the largest positive number of each kind
    std::vector<CFixUp> fixUps;                        // in corner order
    std::string joinedLine;                            // a statement whose lines end in backslashes

    // The lists, in file order, each at its place in the whole model's.
    std::vector<CMaterialRun> runs;                    // one per "usemtl" line
    std::vector<CObjLists::CLibraryName> libraries;    // one per "mtllib" line
    std::size_t elementCount[ELEMENT_KINDS];           // elements read so far, of each kind
    CPlacedList<float> elements[ELEMENT_KINDS];        // x, y, z; u, -v; x, y, z
    CPlacedList<std::uint32_t> cornerNumbers[ELEMENT_KINDS];  // per corner as CObjLists says
    CPlacedList<std::uint32_t> faceSizes;
    std::uint64_t emittedCorners;                      // 3 per triangle
    // Per position of this part, from its first coloured one on: sized then for all the
    // part's positions, white until their v gives a colour; empty while none has.
    CUninitialisedVector<std::uint32_t> colours;
};

} // namespace VELK
