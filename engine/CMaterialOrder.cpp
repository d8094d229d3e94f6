// Material order: a counting pass over the faces gives each group, and each thread's part of
// it, its place; then every face's triangles go straight there.
#include "engine/CMaterialOrder.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <unordered_map>

#include "engine/CFaceTriangulator.h"
#include "engine/CParallel.h"

namespace VELK
{

const std::uint32_t CMaterialOrder::kNoMaterial = std::numeric_limits<std::uint32_t>::max();

std::vector<CMaterialOrder::CGroup> CMaterialOrder::order(const CFaces& faces, const std::vector<CMaterialRun>& runs,
                                                          const std::vector<CObjMaterial>& materials,
                                                          std::uint32_t* indices, std::size_t indexCount, unsigned threads)
{
    // Group g < materialCount holds material g; the last one, leftover, the faces under no
    // material of the library. Ungrouped, everything is in that one group, in file order.
    const std::size_t materialCount = materials.size();
    const bool grouped = materialCount != 0 && !runs.empty();
    const std::size_t groupCount = grouped ? materialCount + 1 : 1;
    const std::size_t leftover = groupCount - 1;

    // The group of each run.
    std::vector<std::uint32_t> runGroup(runs.size(), static_cast<std::uint32_t>(leftover));
    if (grouped) {
        std::unordered_map<std::string, std::uint32_t> byName;
        for (std::size_t m = 0; m < materialCount; ++m)
            byName.emplace(materials[m].name, static_cast<std::uint32_t>(m));
        for (std::size_t r = 0; r < runs.size(); ++r) {
            const auto found = byName.find(runs[r].name);
            if (found != byName.end())
                runGroup[r] = found->second;
        }
    }

    // The faces in ranges, one per thread. A range's faces take their group from the last
    // run that starts at or before them, as they would in one pass.
    const unsigned rangeCount = static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>(threads, faces.count)));
    const auto firstFace = [&faces, rangeCount](unsigned range) { return faces.count * range / rangeCount; };
    const auto firstRunAfter = [&runs](std::size_t face) {
        return static_cast<std::size_t>(
            std::upper_bound(runs.begin(), runs.end(), face,
                             [](std::size_t f, const CMaterialRun& run) { return f < run.firstFace; }) -
            runs.begin());
    };
    // Each range walks its faces twice: first to count its corners and the indices it gives
    // each group, then to write them where the counts place them.
    const auto walk = [&](unsigned range, const auto& visit) {
        std::size_t nextRun = grouped ? firstRunAfter(firstFace(range)) : runs.size();
        std::size_t group = grouped && nextRun > 0 ? runGroup[nextRun - 1] : leftover;
        for (std::size_t face = firstFace(range); face < firstFace(range + 1); ++face) {
            while (grouped && nextRun < runs.size() && runs[nextRun].firstFace == face)
                group = runGroup[nextRun++];
            visit(face, group);
        }
    };
    std::vector<std::uint64_t> counts(static_cast<std::size_t>(rangeCount) * groupCount, 0);
    std::vector<std::uint64_t> cornersBefore(rangeCount + 1, 0);
    CParallel::run(threads, rangeCount, [&](unsigned range) {
        std::uint64_t* count = &counts[static_cast<std::size_t>(range) * groupCount];
        walk(range, [&](std::size_t face, std::size_t group) {
            count[group] += 3 * static_cast<std::uint64_t>(faces.sizes[face] - 2);
            cornersBefore[range + 1] += faces.sizes[face];
        });
    });
    // Where each group starts, and within it each range's part.
    std::vector<std::uint64_t> groupStart(groupCount + 1, 0);
    std::vector<std::uint64_t> cursors(counts.size(), 0);
    for (std::size_t g = 0; g < groupCount; ++g) {
        std::uint64_t at = groupStart[g];
        for (unsigned range = 0; range < rangeCount; ++range) {
            cursors[range * groupCount + g] = at;
            at += counts[range * groupCount + g];
        }
        groupStart[g + 1] = at;
    }
    for (unsigned range = 0; range < rangeCount; ++range)
        cornersBefore[range + 1] += cornersBefore[range];
    if (groupStart[groupCount] > indexCount)
        throw std::length_error("VELK::CMaterialOrder::order: the faces give more indices than there is room for");

    CParallel::run(threads, rangeCount, [&](unsigned range) {
        CFaceTriangulator triangulator;                // keeps its scratch memory between faces
        std::uint64_t* cursor = &cursors[static_cast<std::size_t>(range) * groupCount];
        const std::uint32_t* corner = faces.corners + cornersBefore[range];
        walk(range, [&](std::size_t face, std::size_t group) {
            // Triangles, most faces of a file, are copied as they are; larger faces keep their
            // turning order in each of their triangles.
            const std::uint32_t size = faces.sizes[face];
            std::uint32_t* out = indices + cursor[group];
            if (size == 3) {
                out[0] = corner[0];
                out[1] = corner[1];
                out[2] = corner[2];
            } else {
                triangulator.triangulate(faces.vertices, faces.stride, corner, size, out);
            }
            cursor[group] += 3 * static_cast<std::uint64_t>(size - 2);
            corner += size;
        });
    });

    std::vector<CGroup> groups;
    if (!grouped)
        return groups;
    for (std::size_t g = 0; g < groupCount; ++g) {
        const std::uint64_t size = groupStart[g + 1] - groupStart[g];
        if (g == leftover && size == 0)
            break;
        groups.push_back(CGroup{g == leftover ? std::string() : materials[g].name,
                                g == leftover ? kNoMaterial : static_cast<std::uint32_t>(g),
                                static_cast<std::uint32_t>(groupStart[g]), static_cast<std::uint32_t>(size / 3)});
    }
    return groups;
}

} // namespace VELK
