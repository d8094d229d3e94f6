// The OBJ reader over a file in one part, or on several threads: the file cut into
// line-aligned chunks, each counted, then parsed into its place in the whole model's lists,
// and the chunks joined in file order into the lists one pass makes.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <limits>

#include "engine/CInputFile.h"
#include "engine/CObjLists.h"
#include "engine/CObjLoader.h"
#include "engine/CObjParse.h"
#include "engine/CObjText.h"
#include "engine/CParallel.h"

namespace VELK
{

namespace
{

// More chunks than threads, taken in turn by whichever thread is free, so that a thread
// whose chunks parse faster (vertices rather than faces) does not wait for the others.
const unsigned kChunksPerThread = 4;
const unsigned kMostThreads = 256;

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

} // namespace

bool CObjLoader::parseFile(const CInputFile& file, std::size_t windowSize, unsigned threads)
{
    const std::uint64_t size = file.getSize();
    threads = std::max(1u, std::min(threads, kMostThreads));
    const unsigned chunks = threads > 1 ? threads * kChunksPerThread : 1;
    std::vector<std::uint64_t> starts(chunks + 1, size);
    starts[0] = 0;
    for (unsigned k = 1; k < chunks; ++k) {
        bool ok = true;
        starts[k] = std::max(starts[k - 1], statementStart(file, size, size / chunks * k, ok));
        if (!ok)
            reject(0, std::string("cannot read: ") + std::strerror(errno));
    }
    // The last chunk reads on to the end of the file, as one pass would where it grew.
    starts[chunks] = std::numeric_limits<std::uint64_t>::max();
    lists.reset(new CObjLists());
    std::vector<std::unique_ptr<CObjParse>> parts;
    for (unsigned k = 0; k < chunks; ++k)
        parts.emplace_back(new CObjParse(starts[k] == 0));

    // Each pass over the chunks; a worker's exception (memory running out) ends the load
    // here, as it would in one pass, and so does a read that fails.
    std::vector<CObjParse::CCounts> counts(chunks);
    const auto pass = [&](bool counting) {
        std::vector<std::exception_ptr> failures(chunks);
        std::vector<std::string> readFailures(chunks);
        CParallel::run(threads, chunks, [&](unsigned k) {
            try {
                std::uint64_t at = starts[k];
                const std::uint64_t end = starts[k + 1];
                const CObjParse::ByteSource read = [&file, &at, end, &failure = readFailures[k]](char* buffer,
                                                                                              std::size_t count) {
                    bool ok = true;
                    const std::size_t got =
                        file.readAt(at, buffer, static_cast<std::size_t>(std::min<std::uint64_t>(count, end - at)), ok);
                    if (!ok && failure.empty())
                        failure = std::string("cannot read: ") + std::strerror(errno);
                    at += got;
                    return got;
                };
                const std::uint64_t known = std::min(end, std::max(starts[k], size)) - starts[k];
                if (counting)
                    counts[k] = parts[k]->countLines(read, known, windowSize);
                else
                    parts[k]->streamLines(read, known, windowSize);
            } catch (...) {
                failures[k] = std::current_exception();
            }
        });
        for (const std::exception_ptr& failure : failures) {
            if (failure)
                std::rethrow_exception(failure);
        }
        for (const std::string& failure : readFailures) {
            if (!failure.empty())
                reject(0, failure);
        }
    };
    pass(true);
    CObjParse::placeParts(parts, counts, *lists);
    pass(false);
    if (chunks > 1 && !CObjParse::settleChunks(parts))
        return false;
    const CObjParse::CFault fault = parts.front()->fileFault();
    if (chunks == 1 && fault.line != 0)
        reject(fault.line, fault.reason);
    CObjParse::joinParts(parts, *lists);
    return true;
}

void CObjLoader::parseText(const std::string& text)
{
    lists.reset(new CObjLists());
    std::vector<std::unique_ptr<CObjParse>> parts;
    parts.emplace_back(new CObjParse(true));
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    CObjParse::placeParts(parts, {parts.front()->countText(begin, end)}, *lists);
    parts.front()->parseText(begin, end);
    const CObjParse::CFault fault = parts.front()->fileFault();
    if (fault.line != 0)
        reject(fault.line, fault.reason);
    CObjParse::joinParts(parts, *lists);
}

} // namespace VELK
