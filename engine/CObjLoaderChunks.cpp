// The OBJ reader on several threads: the file cut into line-aligned chunks, each parsed by
// a loader of its own, and the chunks joined in file order into the lists one pass makes.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <thread>

#if defined(__linux__)
#include <sched.h>
#endif

#include "engine/CMemoryPages.h"
#include "engine/CObjLoader.h"
#include "engine/CObjText.h"

namespace VELK
{

namespace
{

// A thread earns its start, its own lists and the join only over this much text: a model of
// 20 MB loads no faster on two threads than on one.
const std::uint64_t kSmallestChunk = 16u << 20;

const std::uint64_t kMaxCorners = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());

// More chunks than threads, taken in turn by whichever thread is free, so that a thread
// whose chunks parse faster (vertices rather than faces) does not wait for the others.
const unsigned kChunksPerThread = 4;
const unsigned kMostThreads = 256;

// A chunk of this size fills its lists beyond their first block.
const std::uint64_t kLargeChunk = 1u << 20;
const std::size_t kFirstBlock = CMemoryPages::kMappedFrom;

// Runs work(0) to work(jobs - 1) on up to count threads, this one among them, each job once
// and in order of their numbers, and returns when all are done. Where no thread can be
// started the others take its share; work must not throw.
template <typename Work>
void runShared(unsigned count, unsigned jobs, const Work& work)
{
    std::atomic<unsigned> next(0);
    const auto worker = [&next, jobs, &work]() {
        for (unsigned job = next++; job < jobs; job = next++)
            work(job);
    };
    std::vector<std::thread> threads;
    threads.reserve(count);
    for (unsigned k = 1; k < count && k < jobs; ++k) {
        try {
            threads.emplace_back(worker);
        } catch (...) {
            break;
        }
    }
    worker();
    for (std::thread& thread : threads)
        thread.join();
}

// Where the first statement at or after from begins: just behind a line end whose line
// does not go on in the next (a backslash before the line end, a carriage return between
// them allowed); size when there is none. ok is set false when a read fails.
std::uint64_t statementStart(const CInputFile& file, std::uint64_t size, std::uint64_t from, bool& ok)
{
    const std::size_t kBlock = 64 * 1024;
    char block[kBlock];
    ok = true;
    if (from == 0)
        return 0;
    // A line end just before from makes from a start; the two bytes before each line end
    // are read with it.
    std::uint64_t scan = from - 1;
    while (scan < size) {
        const std::uint64_t base = scan >= 2 ? scan - 2 : 0;
        const std::size_t got = file.readAt(base, block, kBlock, ok);
        if (!ok || got <= scan - base)
            return size;
        for (std::size_t i = static_cast<std::size_t>(scan - base); i < got; ++i) {
            if (block[i] != '\n')
                continue;
            // The block holds the two bytes before each line end but at the file's start.
            if (!CObjText::continues(block, block + i))
                return base + i + 1;
        }
        scan = base + got;
    }
    return size;
}

// The first list's elements, then the second's, and so on, each chunk's copied by its own
// thread and released behind it, so that the lists are not held twice.
template <typename List>
void copyInto(List& joined, std::vector<List*>& parts, const std::vector<std::size_t>& offsets, unsigned k)
{
    List& part = *parts[k];
    if (!part.empty())
        std::memcpy(joined.data() + offsets[k], part.data(), part.size() * sizeof(part[0]));
    List().swap(part);
}

} // namespace

unsigned CObjLoader::threadsFor(std::uint64_t fileSize)
{
    unsigned threads = std::max(1u, std::thread::hardware_concurrency());
#if defined(__linux__)
    // A process held to fewer processors (taskset, a container's share) runs no more threads
    // than it has: more would only take turns and add the join.
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0)
        threads = std::min(threads, static_cast<unsigned>(CPU_COUNT(&allowed)));
#endif
    // VELK_THREADS caps the count when it is a positive whole number; anything else is ignored.
    if (const char* cap = std::getenv("VELK_THREADS")) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(cap, &end, 10);
        if (*cap >= '0' && *cap <= '9' && end != cap && *end == '\0' && value > 0)
            threads = static_cast<unsigned>(std::min<unsigned long>(threads, value));
    }
    return static_cast<unsigned>(std::min<std::uint64_t>(threads, std::max<std::uint64_t>(1, fileSize / kSmallestChunk)));
}

bool CObjLoader::parseInChunks(const CInputFile& file, std::size_t windowSize, unsigned threads)
{
    const std::uint64_t size = file.getSize();
    threads = std::min(threads, kMostThreads);
    const unsigned chunks = threads * kChunksPerThread;
    std::vector<std::uint64_t> starts(chunks + 1, size);
    starts[0] = 0;
    for (unsigned k = 1; k < chunks; ++k) {
        bool ok = true;
        starts[k] = std::max(starts[k - 1], statementStart(file, size, size / chunks * k, ok));
        if (!ok)
            return false;
    }
    std::vector<std::unique_ptr<CObjLoader>> parts;
    for (unsigned k = 0; k < chunks; ++k)
        parts.emplace_back(new CObjLoader());
    // A worker's exception (memory running out) ends the load here, as it would in one pass.
    std::vector<std::exception_ptr> failures(chunks);
    // The last chunk reads on to the end of the file, as one pass would where it grew.
    starts[chunks] = std::numeric_limits<std::uint64_t>::max();
    runShared(threads, chunks, [&](unsigned k) {
        try {
            parts[k]->parseChunk(file, starts[k], starts[k + 1], windowSize);
        } catch (...) {
            failures[k] = std::current_exception();
        }
    });
    for (const std::exception_ptr& failure : failures) {
        if (failure)
            std::rethrow_exception(failure);
    }
    return joinChunks(parts, threads);
}

void CObjLoader::parseChunk(const CInputFile& file, std::uint64_t begin, std::uint64_t end, std::size_t windowSize)
{
    inChunk = true;
    const std::uint64_t known = std::min(end, std::max(begin, file.getSize())) - begin;
    if (known >= kLargeChunk) {
        // Blocks of this size and more are mapped apart from the heap: the lists start
        // there, so that the small blocks of their first steps are not left behind in this
        // thread's heap, which keeps them to the end of the process.
        positions.reserve(kFirstBlock / sizeof(float));
        normals.reserve(kFirstBlock / sizeof(float));
        texCoords.reserve(kFirstBlock / sizeof(float));
        positionIndices.reserve(kFirstBlock / sizeof(std::uint32_t));
        normalIndices.reserve(kFirstBlock / sizeof(std::uint32_t));
        texCoordIndices.reserve(kFirstBlock / sizeof(std::uint32_t));
        faceSizes.reserve(kFirstBlock / sizeof(std::uint32_t));
    }
    std::uint64_t at = begin;
    streamLines(
        [this, &file, &at, end](char* buffer, std::size_t count) {
            bool ok = true;
            const std::size_t got =
                file.readAt(at, buffer, static_cast<std::size_t>(std::min<std::uint64_t>(count, end - at)), ok);
            if (!ok)
                chunkUnsure = true;
            at += got;
            return got;
        },
        known, windowSize, begin == 0);
}

bool CObjLoader::joinChunks(std::vector<std::unique_ptr<CObjLoader>>& parts, unsigned threads)
{
    // What one pass would reject, or could only decide with the lines before each chunk, is
    // left to one pass, which names the line.
    const unsigned count = static_cast<unsigned>(parts.size());
    std::uint64_t totals[ELEMENT_KINDS] = {0, 0, 0};
    std::uint64_t corners = 0;
    std::uint64_t faces = 0;
    std::uint64_t emitted = 0;
    for (const std::unique_ptr<CObjLoader>& part : parts) {
        if (part->chunkUnsure || part->firstFault.line != 0)
            return false;
        for (int kind = 0; kind < ELEMENT_KINDS; ++kind)
            totals[kind] += part->elementCount(static_cast<ElementKind>(kind));
        corners += part->positionIndices.size();
        faces += part->faceSizes.size();
        emitted += part->emittedCorners;
    }
    if (emitted > kMaxCorners)
        return false;
    for (int kind = 0; kind < ELEMENT_KINDS; ++kind) {
        if (totals[kind] > kMaxCorners)
            return false;
        // A number of a list the file never fills is ignored, as in one pass.
        for (const std::unique_ptr<CObjLoader>& part : parts) {
            if ((kind == POSITION || totals[kind] != 0) && part->highest[kind] > totals[kind])
                return false;
        }
    }
    // Numbers counted back, against the elements of the chunks before.
    std::uint64_t before[ELEMENT_KINDS] = {0, 0, 0};
    for (const std::unique_ptr<CObjLoader>& part : parts) {
        for (const CFixUp& fixUp : part->fixUps) {
            const std::int64_t number = static_cast<std::int64_t>(before[fixUp.kind]) + fixUp.local;
            if (number < 1)
                return false;
            if (fixUp.corner == CFixUp::kNoCorner)
                continue;
            CHugeVector<std::uint32_t>& indices = fixUp.kind == POSITION   ? part->positionIndices
                                                  : fixUp.kind == TEXCOORD ? part->texCoordIndices
                                                                           : part->normalIndices;
            indices[fixUp.corner] = static_cast<std::uint32_t>(number);
        }
        for (int kind = 0; kind < ELEMENT_KINDS; ++kind)
            before[kind] += part->elementCount(static_cast<ElementKind>(kind));
    }

    // The lists, sized once; each thread copies its own chunk's part of every list.
    positions.resize(static_cast<std::size_t>(totals[POSITION] * 3));
    texCoords.resize(static_cast<std::size_t>(totals[TEXCOORD] * 2));
    normals.resize(static_cast<std::size_t>(totals[NORMAL] * 3));
    positionIndices.resize(static_cast<std::size_t>(corners));
    texCoordIndices.resize(static_cast<std::size_t>(corners));
    normalIndices.resize(static_cast<std::size_t>(corners));
    faceSizes.resize(static_cast<std::size_t>(faces));
    std::vector<CHugeVector<float>*> partPositions, partTexCoords, partNormals;
    std::vector<CHugeVector<std::uint32_t>*> partPositionIndices, partTexCoordIndices, partNormalIndices, partFaceSizes;
    std::vector<std::size_t> positionAt, texCoordAt, normalAt, cornerAt, faceAt;
    std::size_t offsets[5] = {0, 0, 0, 0, 0};
    for (const std::unique_ptr<CObjLoader>& part : parts) {
        partPositions.push_back(&part->positions);
        partTexCoords.push_back(&part->texCoords);
        partNormals.push_back(&part->normals);
        partPositionIndices.push_back(&part->positionIndices);
        partTexCoordIndices.push_back(&part->texCoordIndices);
        partNormalIndices.push_back(&part->normalIndices);
        partFaceSizes.push_back(&part->faceSizes);
        positionAt.push_back(offsets[0]);
        texCoordAt.push_back(offsets[1]);
        normalAt.push_back(offsets[2]);
        cornerAt.push_back(offsets[3]);
        faceAt.push_back(offsets[4]);
        offsets[0] += part->positions.size();
        offsets[1] += part->texCoords.size();
        offsets[2] += part->normals.size();
        offsets[3] += part->positionIndices.size();
        offsets[4] += part->faceSizes.size();
    }
    runShared(threads, count, [&](unsigned k) {
        copyInto(positions, partPositions, positionAt, k);
        copyInto(texCoords, partTexCoords, texCoordAt, k);
        copyInto(normals, partNormals, normalAt, k);
        copyInto(positionIndices, partPositionIndices, cornerAt, k);
        copyInto(texCoordIndices, partTexCoordIndices, cornerAt, k);
        copyInto(normalIndices, partNormalIndices, cornerAt, k);
        copyInto(faceSizes, partFaceSizes, faceAt, k);
    });

    // Material runs start where the corners and faces of the chunks before end.
    std::uint64_t emittedBefore = 0;
    for (unsigned k = 0; k < count; ++k) {
        CObjLoader& part = *parts[k];
        for (CMaterialRun& run : part.runs) {
            run.firstIndex += static_cast<std::int32_t>(emittedBefore);
            run.firstFace += static_cast<std::uint32_t>(faceAt[k]);
            runs.push_back(std::move(run));
        }
        for (CLibraryName& library : part.libraries)
            libraries.push_back(std::move(library));
        emittedBefore += part.emittedCorners;
        lineNumber += part.lineNumber;
    }
    emittedCorners = emitted;
    return true;
}

} // namespace VELK
