// Fuzzes the OBJ reader, the MTL reader and the mesh builder. The input is an OBJ text,
// optionally followed by the marker line "=mtl=" and the text of the material library
// that the model's first "mtllib" line is given. The text is loaded from memory, and once
// more streamed from a file through a window of a few bytes, so that words and lines are
// cut at every window edge and long lines make the window grow, and once more cut into
// chunks parsed on several threads; all must give the same.
// Every mesh must keep the promises of tests/support/MeshInvariants.h; it then gets its
// missing normals computed, which must all come out finite. The parse's first pass must
// count exactly what its second stores for any text it accepts, so that no list is copied.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "debugging/CException.h"
#include "debugging/CLogManager.h"
#include "engine/CMeshNormals.h"
#include "engine/CObjLoader.h"
#include "engine/CObjParse.h"
#include "tests/support/MeshInvariants.h"

namespace
{

const char* const kStreamed = "fuzz-model.obj";

// One library, handed out once, as one file on disk would be read once.
VELK::CObjLoader::FileReader libraryReader(bool present, const std::string& mtl, int& reads)
{
    return [present, &mtl, &reads](const std::string&, std::string& text) {
        if (!present || reads++ > 0)
            return false;
        text = mtl;
        return true;
    };
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Rejections would otherwise pile up in global.log for the whole run.
    DEBUGGING::CLogManager::getInstance().shutdown();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string marker = "\n=mtl=\n";
    const std::size_t split = input.find(marker);
    const std::string obj = input.substr(0, split);
    const std::string mtl = split == std::string::npos ? std::string() : input.substr(split + marker.size());
    const bool hasLibrary = split != std::string::npos;

    VELK::CObjLoader loader;
    int textReads = 0;
    std::unique_ptr<CMeshData> fromText;
    try {
        fromText.reset(loader.loadFromText("fuzz/model.obj", obj, libraryReader(hasLibrary, mtl, textReads)));
        if (!meshFault(*fromText).empty())
            std::abort();
    } catch (const DEBUGGING::CException&) {
    }

    {
        std::vector<std::unique_ptr<VELK::CObjParse>> parts;
        parts.emplace_back(new VELK::CObjParse(true));
        const VELK::CObjParse::CCounts counts = parts[0]->countText(obj.data(), obj.data() + obj.size());
        VELK::CObjLists whole;
        VELK::CObjParse::placeParts(parts, {counts}, whole);
        parts[0]->parseText(obj.data(), obj.data() + obj.size());
        VELK::CObjParse::joinParts(parts, whole);
        if (parts[0]->fileFault().line == 0 &&
            (whole.positions.size() != 3 * counts.elements[VELK::CObjParse::POSITION] ||
             whole.texCoords.size() != 2 * counts.elements[VELK::CObjParse::TEXCOORD] ||
             whole.normals.size() != 3 * counts.elements[VELK::CObjParse::NORMAL] ||
             whole.faceSizes.size() != counts.faces || whole.positionIndices.size() != counts.corners))
            std::abort();
    }

    std::FILE* file = std::fopen(kStreamed, "wb");
    if (!file || std::fwrite(obj.data(), 1, obj.size(), file) != obj.size() || std::fclose(file) != 0)
        std::abort();
    const std::size_t window = 1 + (size == 0 ? 0 : data[size / 2] % 32);
    int streamReads = 0;
    std::unique_ptr<CMeshData> streamed;
    try {
        streamed.reset(loader.loadStreamed(kStreamed, libraryReader(hasLibrary, mtl, streamReads), window));
    } catch (const DEBUGGING::CException&) {
    }
    if (!fromText != !streamed || (fromText && !sameMesh(*fromText, *streamed)))
        std::abort();
    // The same file cut into chunks parsed on several threads, however small it is. Starting
    // threads under the sanitizers costs several times the parse of a small input, so this
    // runs for one input in four, chosen by its first byte so that the fuzzer can steer it.
    if (size != 0 && data[0] % 4 == 0) {
        const unsigned threads = 2 + data[0] / 4 % 6;
        int chunkReads = 0;
        std::unique_ptr<CMeshData> chunked;
        try {
            chunked.reset(loader.loadStreamed(kStreamed, libraryReader(hasLibrary, mtl, chunkReads), window, threads));
        } catch (const DEBUGGING::CException&) {
        }
        if (!fromText != !chunked || (fromText && !sameMesh(*fromText, *chunked)))
            std::abort();
    }
    if (fromText) {
        if (!VELK::CMeshNormals::fillMissing(*fromText))
            std::abort();
        for (std::uint32_t v = 0; v < fromText->vertexCount; ++v) {
            for (int i = 3; i < 6; ++i) {
                if (!std::isfinite(fromText->vertices[fromText->vertexSize / 4 * v + i]))
                    std::abort();
            }
        }
    }
    return 0;
}
