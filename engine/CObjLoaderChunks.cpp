// The OBJ reader on several threads: the file cut into line-aligned chunks, each parsed on
// its own, and the chunks joined in file order into the lists one pass makes.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <exception>
#include <limits>
#include <thread>

#include "engine/CInputFile.h"
#include "engine/CObjLoader.h"
#include "engine/CObjParse.h"
#include "engine/CObjText.h"

namespace VELK
{

namespace
{

// More chunks than threads, taken in turn by whichever thread is free, so that a thread
// whose chunks parse faster (vertices rather than faces) does not wait for the others.
const unsigned kChunksPerThread = 4;
const unsigned kMostThreads = 256;

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

// The lists of a chunk the join copies: positions, texture coordinates, normals, corners (the
// three lists of corner numbers alike), faces.
const unsigned kLists = 5;

std::size_t listSize(const CObjParse& part, unsigned list)
{
    switch (list) {
    case 0:  return part.positions.size();
    case 1:  return part.texCoords.size();
    case 2:  return part.normals.size();
    case 3:  return part.positionIndices.size();
    default: return part.faceSizes.size();
    }
}

// A chunk's list into its place in the joined one, released behind it, so that the lists
// are not held twice.
template <typename List>
void copyInto(List& joined, List& part, std::size_t offset)
{
    if (!part.empty())
        std::memcpy(joined.data() + offset, part.data(), part.size() * sizeof(part[0]));
    List().swap(part);
}

} // namespace

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
    std::vector<std::unique_ptr<CObjParse>> parts;
    for (unsigned k = 0; k < chunks; ++k)
        parts.emplace_back(new CObjParse(starts[k] == 0));
    // A worker's exception (memory running out) ends the load here, as it would in one pass;
    // a read that fails leaves the file to one pass, which names the reason.
    std::vector<std::exception_ptr> failures(chunks);
    std::vector<char> readFailed(chunks, 0);
    // The last chunk reads on to the end of the file, as one pass would where it grew.
    starts[chunks] = std::numeric_limits<std::uint64_t>::max();
    runShared(threads, chunks, [&](unsigned k) {
        try {
            std::uint64_t at = starts[k];
            const std::uint64_t end = starts[k + 1];
            parts[k]->streamLines(
                [&file, &at, end, &failed = readFailed[k]](char* buffer, std::size_t count) {
                    bool ok = true;
                    const std::size_t got =
                        file.readAt(at, buffer, static_cast<std::size_t>(std::min<std::uint64_t>(count, end - at)), ok);
                    failed = failed || !ok;
                    at += got;
                    return got;
                },
                std::min(end, std::max(starts[k], size)) - starts[k], windowSize);
        } catch (...) {
            failures[k] = std::current_exception();
        }
    });
    for (const std::exception_ptr& failure : failures) {
        if (failure)
            std::rethrow_exception(failure);
    }
    std::vector<CObjParse*> settled;
    for (unsigned k = 0; k < chunks; ++k) {
        if (readFailed[k])
            return false;
        settled.push_back(parts[k].get());
    }
    if (!CObjParse::settleChunks(settled))
        return false;

    // The lists, sized once; each thread copies its own chunk's part of every list.
    std::size_t totals[kLists] = {};
    std::vector<std::array<std::size_t, kLists>> offsets(chunks);
    for (unsigned k = 0; k < chunks; ++k) {
        for (unsigned list = 0; list < kLists; ++list) {
            offsets[k][list] = totals[list];
            totals[list] += listSize(*parts[k], list);
        }
    }
    parse->positions.resize(totals[0]);
    parse->texCoords.resize(totals[1]);
    parse->normals.resize(totals[2]);
    parse->positionIndices.resize(totals[3]);
    parse->texCoordIndices.resize(totals[3]);
    parse->normalIndices.resize(totals[3]);
    parse->faceSizes.resize(totals[4]);
    runShared(threads, chunks, [&](unsigned k) {
        CObjParse& part = *parts[k];
        copyInto(parse->positions, part.positions, offsets[k][0]);
        copyInto(parse->texCoords, part.texCoords, offsets[k][1]);
        copyInto(parse->normals, part.normals, offsets[k][2]);
        copyInto(parse->positionIndices, part.positionIndices, offsets[k][3]);
        copyInto(parse->texCoordIndices, part.texCoordIndices, offsets[k][3]);
        copyInto(parse->normalIndices, part.normalIndices, offsets[k][3]);
        copyInto(parse->faceSizes, part.faceSizes, offsets[k][4]);
    });

    // Material runs start where the corners and faces of the chunks before end.
    for (unsigned k = 0; k < chunks; ++k) {
        CObjParse& part = *parts[k];
        for (CMaterialRun& run : part.runs) {
            run.firstIndex += static_cast<std::int32_t>(parse->emittedCorners);
            run.firstFace += static_cast<std::uint32_t>(offsets[k][4]);
            parse->runs.push_back(std::move(run));
        }
        for (CObjParse::CLibraryName& library : part.libraries)
            parse->libraries.push_back(std::move(library));
        parse->emittedCorners += part.emittedCorners;
    }
    return true;
}

} // namespace VELK
