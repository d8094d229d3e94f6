#pragma once
// The loader of Wavefront OBJ models and their MTL material libraries.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/CMeshData.h"
#include "engine/CObjMaterial.h"
#include "engine/CSystem.h"
#include "engine/VLoader.h"

namespace VELK
{

class CInputFile;
struct CObjLists;

class CObjLoader : public VLoader
{
public:
    // Puts the whole text of the file at path into text; false when it cannot be read.
    using FileReader = std::function<bool(const std::string& path, std::string& text)>;

    // A large file is parsed on up to threads threads at once.
    explicit CObjLoader(unsigned threads = CSystem::getProcessorCount());
    ~CObjLoader() override;
    void* loadFromFile(std::string fileName) override;           // a new CMeshData; throws DEBUGGING::CException
    void saveToFile(void* data, std::string fileName) override;  // writes nothing
    const char* getProduct() const override;                     // kModel

    // loadFromFile with its parts chosen, for tests and fuzzing: the file is read through a
    // window of windowSize bytes at first (grown for longer lines), libraries through readFile.
    // With threads above 1 the file is cut into line-aligned chunks, parsed by up to that
    // many threads at once, each taking smallestChunk bytes or more (by default however
    // small the file), and joined; the mesh and the log lines are those of one thread.
    CMeshData* loadStreamed(const std::string& fileName, const FileReader& readFile, std::size_t windowSize,
                            unsigned threads = 1, std::uint64_t smallestChunk = 1);

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
    // Reading the model (CObjLoader.cpp).
    void clearWorkingData();
    void beginLoad(const std::string& fileName);
    [[noreturn]] void abandonLoad();                   // in a handler: clears, then fails with the reason
    CMeshData* finishLoad(const FileReader& readFile);
    [[noreturn]] void reject(std::uint64_t line, const std::string& reason);
    double phaseClock() const;                         // seconds while timing, else 0

    // The file in one part, or in chunks on several threads, and their join (CObjLoaderChunks.cpp).
    bool parseFile(const CInputFile& file, std::size_t windowSize, unsigned threads);  // false: one pass decides
    void parseText(const std::string& text);

    // The material library (CObjLoaderMaterials.cpp).
    bool loadMaterialFile(const std::string& path, const FileReader& readFile);  // false: no such library
    void readMaterials(const char* begin, const char* end);
    void readMaterialLine(const char* begin, const char* end, float& alpha, std::size_t firstOfLibrary);
    void readTextureMap(const char* begin, const char* end, std::string& file);  // map_Kd, map_d

    // The mesh from the steps of CVertexWelder and CMaterialOrder (CObjLoaderBuild.cpp).
    void buildMesh(CMeshData& mesh);

    const unsigned threads;
    unsigned loadThreads;                              // of the load under way: as many weld and order it
    std::vector<CObjMaterial> materials;               // library order, all libraries
    std::unique_ptr<CObjLists> lists;                  // of the load under way; null between loads
    std::string fileName;                              // as given; in messages
    std::string folder;                                // up to the last '/', libraries are looked up there
    CPhaseTimes* phaseTimes;                           // not owned; null unless timing
    double loadStarted;                                // phaseClock() as the load began
};

} // namespace VELK
