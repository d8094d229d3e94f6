// The OBJ reader on several threads: the file cut into line-aligned chunks, each parsed on
// its own, and the chunks joined in file order into the lists one pass makes.
#include <algorithm>
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

// One list of the chunks joined, sized once; each chunk's part is copied by a thread of its
// own and released behind it, so that the list is not held twice.
template <typename List>
void joinList(List CObjParse::*list, CObjParse& joined, const std::vector<std::unique_ptr<CObjParse>>& parts,
              unsigned threads)
{
    std::vector<std::size_t> offsets(parts.size() + 1, 0);
    for (std::size_t k = 0; k < parts.size(); ++k)
        offsets[k + 1] = offsets[k] + (*parts[k].*list).size();
    (joined.*list).resize(offsets.back());
    runShared(threads, static_cast<unsigned>(parts.size()), [&](unsigned k) {
        List& part = *parts[k].*list;
        if (!part.empty())
            std::memcpy((joined.*list).data() + offsets[k], part.data(), part.size() * sizeof(part[0]));
        List().swap(part);
    });
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
    if (std::find(readFailed.begin(), readFailed.end(), 1) != readFailed.end() || !CObjParse::settleChunks(parts))
        return false;

    // Material runs start where the corners and faces of the chunks before end.
    std::size_t faces = 0;
    for (const std::unique_ptr<CObjParse>& part : parts) {
        for (CMaterialRun& run : part->runs) {
            run.firstIndex += static_cast<std::int32_t>(parse->emittedCorners);
            run.firstFace += static_cast<std::uint32_t>(faces);
            parse->runs.push_back(std::move(run));
        }
        for (CObjParse::CLibraryName& library : part->libraries)
            parse->libraries.push_back(std::move(library));
        parse->emittedCorners += part->emittedCorners;
        faces += part->faceSizes.size();
    }
    joinList(&CObjParse::positions, *parse, parts, threads);
    joinList(&CObjParse::texCoords, *parse, parts, threads);
    joinList(&CObjParse::normals, *parse, parts, threads);
    joinList(&CObjParse::positionIndices, *parse, parts, threads);
    joinList(&CObjParse::texCoordIndices, *parse, parts, threads);
    joinList(&CObjParse::normalIndices, *parse, parts, threads);
    joinList(&CObjParse::faceSizes, *parse, parts, threads);
    return true;
}

} // namespace VELK
