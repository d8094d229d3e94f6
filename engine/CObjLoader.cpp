// The OBJ loader: a load from a file, a stream or a text, its libraries, its rejection.
#include "engine/CObjLoader.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "debugging/CException.h"
#include "debugging/CLogManager.h"
#include "engine/CInputFile.h"
#include "engine/CObjLists.h"

namespace VELK
{

namespace
{

// Large enough that reads cost nothing, small enough to stay in the processor's cache
// while its lines are parsed. A longer line makes the window grow.
const std::size_t kWindowSize = 256 * 1024;

// A thread earns its start and its share of the weld's matching only over this much text:
// a model of 4 MB loads a little faster on two threads than on one, one of 20 MB in two
// thirds of the time.
const std::uint64_t kSmallestChunk = 2u << 20;

} // namespace

CObjLoader::CObjLoader(unsigned threads)
    : VLoader("obj"), threads(threads), loadThreads(1), phaseTimes(nullptr), loadStarted(0.0)
{
}

CObjLoader::~CObjLoader() = default;

void CObjLoader::saveToFile(void*, std::string) {}

const char* CObjLoader::getProduct() const
{
    return kModel;
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
    // Released rather than cleared, so that a large model's memory goes back at once.
    std::vector<CObjMaterial>().swap(materials);
    lists.reset();
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
    return loadStreamed(name, &CObjLoader::readWholeFile, kWindowSize, threads, kSmallestChunk);
}

CMeshData* CObjLoader::loadStreamed(const std::string& name, const FileReader& readFile, std::size_t windowSize,
                                    unsigned threadCount, std::uint64_t smallestChunk)
{
    beginLoad(name);
    try {
        CInputFile file(name);
        if (!file.isOpen())
            reject(0, file.getReason());
        threadCount = static_cast<unsigned>(
            std::min<std::uint64_t>(threadCount, std::max<std::uint64_t>(1, file.getSize() / smallestChunk)));
        loadThreads = std::max(1u, threadCount);
        // A file the chunks cannot decide alone (a fault, a number counted back past the
        // start of the file) is read again in one part, which finds the line to name.
        if (!parseFile(file, windowSize, threadCount))
            parseFile(file, windowSize, 1);
    } catch (...) {
        abandonLoad();
    }
    return finishLoad(readFile);
}

CMeshData* CObjLoader::loadFromText(const std::string& name, const std::string& objText, const FileReader& readFile)
{
    beginLoad(name);
    loadThreads = 1;
    try {
        parseText(objText);
    } catch (...) {
        abandonLoad();
    }
    return finishLoad(readFile);
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

void CObjLoader::reject(std::uint64_t line, const std::string& reason)
{
    const std::string where = line ? " line " + std::to_string(line) : std::string();
    DEBUGGING::logMessage(DEBUGGING::LOG_ERROR, "VELK::CObjLoader::loadFromFile : " + fileName + where + " : " + reason);
    throw DEBUGGING::CException("VELK::CObjLoader::loadFromFile " + fileName + " [FAILED]");
}

CMeshData* CObjLoader::finishLoad(const FileReader& readFile)
{
    try {
        if (lists->faceSizes.empty())
            reject(0, "no faces");

        // Every library is read once, in the order of the lines naming it. The whole rest
        // of the line is the name when such a file exists, else each of its words in turn.
        std::vector<std::string> read;
        const auto readOnce = [&](const std::string& name) {
            const std::string path = folder + name;
            if (std::find(read.begin(), read.end(), path) != read.end())
                return true;
            if (!loadMaterialFile(path, readFile))
                return false;
            read.push_back(path);
            return true;
        };
        for (const CObjLists::CLibraryName& library : lists->libraries) {
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
        mesh->libraries = std::move(read);
        clearWorkingData();
        return mesh.release();
    } catch (...) {
        abandonLoad();
    }
}

} // namespace VELK
