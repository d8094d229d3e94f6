#pragma once
// The loader of Wavefront OBJ models and their MTL material libraries.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/CHugePageAllocator.h"
#include "engine/CInputFile.h"
#include "engine/CMaterialOrder.h"
#include "engine/CMaterialRun.h"
#include "engine/CMeshData.h"
#include "engine/CObjMaterial.h"
#include "engine/VLoader.h"

namespace VELK
{

class CObjLoader : public VLoader
{
public:
    // Puts the whole text of the file at path into text; false when it cannot be read.
    using FileReader = std::function<bool(const std::string& path, std::string& text)>;

    CObjLoader();
    ~CObjLoader() override;
    void* loadFromFile(std::string fileName) override;           // a new CMeshData; throws DEBUGGING::CException
    void saveToFile(void* data, std::string fileName) override;  // writes nothing
    const char* getProduct() const override;                     // "model"

    // loadFromFile with its parts chosen, for tests and fuzzing: the file is read through a
    // window of windowSize bytes at first (grown for longer lines), libraries through readFile.
    // With threads above 1 the file is cut into line-aligned chunks, however small it is,
    // parsed by that many threads at once and joined; the mesh and the log lines are those
    // of one thread.
    // kChooseThreads takes the processors, capped by VELK_THREADS and by the file's size.
    static const unsigned kChooseThreads = 0;
    CMeshData* loadStreamed(const std::string& fileName, const FileReader& readFile, std::size_t windowSize,
                            unsigned threads = 1);

    // The load once the model is in memory: fileName names it in messages and gives the
    // libraries' folder, readFile supplies the libraries. Throws like loadFromFile.
    CMeshData* loadFromText(const std::string& fileName, const std::string& objText, const FileReader& readFile);

    // The FileReader of loadFromFile: a library that is not there is no error and logs
    // nothing; one that is there but cannot be read (a folder, a FIFO) gets an ERROR line.
    static bool readWholeFile(const std::string& path, std::string& text);

    // Seconds spent in each step of the last load, for the benchmarks; filled only while
    // set, so that an ordinary load reads no clock.
    struct CPhaseTimes
    {
        double parse = 0.0;                            // reading the text, numbers and libraries included
        double weld = 0.0;                             // equal vertex records merged
        double regroup = 0.0;                          // triangles in material order
        double copyOut = 0.0;                          // subsets into the mesh (the records are welded in place)
    };
    void setPhaseTimes(CPhaseTimes* times);            // null: no timing

private:
    enum ElementKind { POSITION, TEXCOORD, NORMAL, ELEMENT_KINDS };

    struct CFault                                      // a faulty line and why; line 0 = none
    {
        std::uint64_t line = 0;
        std::string reason;
    };

    struct CForwardUse                                 // a number beyond the elements read so far
    {
        std::uint64_t line;
        std::uint32_t number;
    };

    struct CUndecided                                  // numbers of one kind that only the whole file decides
    {
        CFault ifFilled;                               // the first fault while the list was empty: counts if it fills
        std::vector<CForwardUse> forward;              // each a larger number than the one before
    };

    struct CFixUp                                      // a counted-back number in a chunk, judged by the join
    {
        static constexpr std::size_t kNoCorner = static_cast<std::size_t>(-1);  // of a face that draws nothing
        std::size_t corner;                            // in the chunk, or kNoCorner: only checked
        std::int64_t local;                            // the element in the chunk's own numbering; < 1: before it
        ElementKind kind;
    };

    struct CLibraryName                                // one "mtllib" line, back slashes turned to '/'
    {
        std::string wholeName;                         // the rest of the line, blanks included
        std::vector<std::string> words;
    };

    // Reading the model (CObjLoader.cpp).
    void clearWorkingData();
    void beginLoad(const std::string& fileName);
    // Fills buffer with up to count bytes; fewer only at the end of what is read.
    using ByteSource = std::function<std::size_t(char* buffer, std::size_t count)>;
    void streamLines(const ByteSource& read, std::uint64_t size, std::size_t windowSize, bool markPossible);
    [[noreturn]] void abandonLoad();                   // in a handler: clears, then fails with the reason
    const char* skipByteOrderMark(const char* begin, const char* end) const;
    const char* parseLines(const char* begin, const char* end, bool atEnd);  // returns the unfinished line
    const char* parseContinuedLine(const char* begin, const char* end, bool atEnd);  // null: unfinished
    void parseLine(const char* begin, const char* end);
    void readVector(CHugeVector<float>& list, const char* begin, const char* end, unsigned count, bool flipSecond);
    void readFace(const char* begin, const char* end);
    const char* readPlainCorner(const char* begin, const char* end);  // null: not of the common form
    void readCorner(const char* begin, const char* end);
    std::uint32_t resolveNumber(ElementKind kind, const char* begin, const char* end);  // 0 for a fault
    void noteFault(std::uint64_t line, const std::string& reason);  // the earliest line is kept
    void readUseMaterial(const char* begin, const char* end);
    void readMaterialLibrary(const char* begin, const char* end);
    std::size_t elementCount(ElementKind kind) const;
    CMeshData* finishLoad(const FileReader& readFile);
    void rejectIfFaulty();
    [[noreturn]] void reject(std::uint64_t line, const std::string& reason);
    double phaseClock() const;                         // seconds while timing, else 0

    // The file in chunks on several threads, and their join (CObjLoaderChunks.cpp).
    static unsigned threadsFor(std::uint64_t fileSize);
    bool parseInChunks(const CInputFile& file, std::size_t windowSize, unsigned threads);  // false: one pass decides
    void parseChunk(const CInputFile& file, std::uint64_t begin, std::uint64_t end, std::size_t windowSize);
    bool joinChunks(std::vector<std::unique_ptr<CObjLoader>>& parts, unsigned threads);  // false: one pass decides
    std::size_t reach(std::size_t count) const;        // the largest number a corner may name without a record

    // The material library (CObjLoaderMaterials.cpp).
    bool loadMaterialFile(const std::string& path, const FileReader& readFile);  // false: no such library
    void readMaterials(const char* begin, const char* end);
    void readMaterialLine(const char* begin, const char* end, float& alpha, std::size_t firstOfLibrary);
    void readTextureMap(const char* begin, const char* end);

    // The mesh from the steps of CVertexWelder and CMaterialOrder (CObjLoaderBuild.cpp).
    void buildMesh(CMeshData& mesh);
    void fillLayout(CMeshData& mesh) const;
    void addSubsets(CMeshData& mesh, const std::vector<CMaterialOrder::CGroup>& groups) const;

    std::uint32_t floatsPerVertex;                     // 8 once a mesh is built
    std::vector<CObjMaterial> materials;               // library order, all libraries
    std::vector<CMaterialRun> runs;                    // one per "usemtl" line, file order
    CHugeVector<float> positions;                      // v: x, y, z
    CHugeVector<float> normals;                        // vn: x, y, z
    CHugeVector<float> texCoords;                      // vt: u, -v
    // One entry per corner of each face of three corners or more, 1-based and already
    // resolved (negative numbers turned positive); 0 where the corner gives none.
    CHugeVector<std::uint32_t> positionIndices;
    CHugeVector<std::uint32_t> normalIndices;
    CHugeVector<std::uint32_t> texCoordIndices;
    CHugeVector<std::uint32_t> faceSizes;              // corners per face; a face of c gives c - 2 triangles

    std::string fileName;                              // as given; in messages
    std::string folder;                                // up to the last '/', libraries are looked up there
    std::uint64_t lineNumber;                          // of the line being read, from 1
    std::uint64_t emittedCorners;                      // 3 per triangle so far
    CFault firstFault;                                 // the earliest faulty line: the one a rejection names
    CUndecided undecided[ELEMENT_KINDS];               // turned into firstFault, or not, by rejectIfFaulty
    std::vector<CLibraryName> libraries;
    std::string joinedLine;                            // a statement whose lines end in backslashes
    // While one chunk of a file is parsed, numbers are not judged against the lists read
    // so far, which do not hold the chunks before: the join judges them.
    bool inChunk;
    bool chunkUnsure;                                  // a read failed or a number needs the lists before it
    std::uint32_t highest[ELEMENT_KINDS];              // the largest positive number of each kind in the chunk
    std::vector<CFixUp> fixUps;                        // in corner order
    CPhaseTimes* phaseTimes;                           // not owned; null unless timing
    double loadStarted;                                // phaseClock() as the load began
};

} // namespace VELK
