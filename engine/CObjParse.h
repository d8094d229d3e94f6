#pragma once
// The working lists of one OBJ load and the reading of OBJ text into them: the whole file
// in one pass, or one chunk of it on a thread of its own. Every rule for a corner number is
// in CObjParseCorners.cpp.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/CHugePageAllocator.h"
#include "engine/CMaterialRun.h"

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

    struct CLibraryName                                // one "mtllib" line, back slashes turned to '/'
    {
        std::string wholeName;                         // the rest of the line, blanks included
        std::vector<std::string> words;
    };

    // startsFile: a byte order mark is skipped, and every number is decided here; a text
    // further on leaves what depends on the text before it to the join.
    explicit CObjParse(bool startsFile);

    // Fills buffer with up to count bytes; fewer only at the end of what is read.
    using ByteSource = std::function<std::size_t(char* buffer, std::size_t count)>;
    // The text from read, size bytes as far as known, through a window of windowSize bytes
    // at first (grown for a longer line).
    void streamLines(const ByteSource& read, std::uint64_t size, std::size_t windowSize);
    void parseText(const char* begin, const char* end);  // a whole text in memory

    // The fault that rejects a file read whole in one parse; line 0 when there is none.
    CFault fileFault() const;

    // Whether the chunks of one file, in file order, decide every number against the whole
    // file's lists; the numbers counted back are then written in. False when one pass over
    // the whole file must decide: a fault, or a number only the lines before a chunk judge.
    static bool settleChunks(const std::vector<std::unique_ptr<CObjParse>>& parts);

    // The lists, in file order.
    std::vector<CMaterialRun> runs;                    // one per "usemtl" line
    std::vector<CLibraryName> libraries;               // one per "mtllib" line
    CUninitialisedVector<float> positions;             // v: x, y, z
    CUninitialisedVector<float> normals;               // vn: x, y, z
    CUninitialisedVector<float> texCoords;             // vt: u, -v
    // One entry per corner of each face of three corners or more, 1-based and resolved
    // (numbers counted back turned positive); 0 where the corner gives none, or where the
    // join writes in a number counted back past the start of a chunk.
    CUninitialisedVector<std::uint32_t> positionIndices;
    CUninitialisedVector<std::uint32_t> normalIndices;
    CUninitialisedVector<std::uint32_t> texCoordIndices;
    CUninitialisedVector<std::uint32_t> faceSizes;     // corners per face; a face of c gives c - 2 triangles
    std::uint64_t emittedCorners;                      // 3 per triangle

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

    // The line loop, one handler per keyword (CObjParse.cpp).
    const char* parseLines(const char* begin, const char* end, bool atEnd);  // returns the unfinished line
    const char* parseContinuedLine(const char* begin, const char* end, bool atEnd);  // null: unfinished
    void parseLine(const char* begin, const char* end);
    void readVector(CUninitialisedVector<float>& list, const char* begin, const char* end, unsigned count,
                    bool flipSecond);
    void readFace(const char* begin, const char* end);
    void readUseMaterial(const char* begin, const char* end);
    void readMaterialLibrary(const char* begin, const char* end);
    void noteFault(std::uint64_t line, const std::string& reason);  // the earliest line is kept

    // Corner numbers (CObjParseCorners.cpp).
    std::size_t elementCount(ElementKind kind) const;
    const char* readPlainCorner(const char* begin, const char* end);  // null: not of the common form
    void readCorner(const char* begin, const char* end);
    std::uint32_t resolveNumber(ElementKind kind, const char* begin, const char* end);  // 0 for none yet
    std::size_t reach(ElementKind kind) const;         // the largest number the fast paths take
    void dropCorners(std::size_t firstCorner);         // those of a face that draws nothing

    const bool startsFile;
    std::uint64_t lineNumber;                          // of the line being read, from 1
    CFault firstFault;                                 // the earliest faulty line
    CFault ifFilled[ELEMENT_KINDS];                    // the first fault while the list was empty: counts if it fills
    std::vector<CForwardUse> forward[ELEMENT_KINDS];   // each a larger number than the one before
    std::uint32_t highest[ELEMENT_KINDS];              // the largest positive number of each kind
    std::vector<CFixUp> fixUps;                        // in corner order
    std::string joinedLine;                            // a statement whose lines end in backslashes
};

} // namespace VELK
