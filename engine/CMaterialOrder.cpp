// Material order: a counting pass over the runs gives each group its place, then every
// face's triangles go straight there.
#include "engine/CMaterialOrder.h"

#include <limits>
#include <unordered_map>

namespace VELK
{

const std::uint32_t CMaterialOrder::kNoMaterial = std::numeric_limits<std::uint32_t>::max();

std::vector<CMaterialOrder::CGroup> CMaterialOrder::order(const CFaces& faces, const std::vector<CMaterialRun>& runs,
                                                          const std::vector<CObjMaterial>& materials,
                                                          std::uint32_t* indices, std::size_t indexCount)
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

    // Where each group starts: the runs' sizes in indices, added up by group.
    std::vector<std::uint64_t> groupStart(groupCount + 1, 0);
    const auto runEnd = [&](std::size_t r) {
        return r + 1 < runs.size() ? static_cast<std::uint64_t>(runs[r + 1].firstIndex) : indexCount;
    };
    if (grouped) {
        groupStart[leftover + 1] += static_cast<std::uint64_t>(runs.front().firstIndex);
        for (std::size_t r = 0; r < runs.size(); ++r)
            groupStart[runGroup[r] + 1] += runEnd(r) - static_cast<std::uint64_t>(runs[r].firstIndex);
    } else {
        groupStart[1] = indexCount;
    }
    for (std::size_t g = 0; g < groupCount; ++g)
        groupStart[g + 1] += groupStart[g];

    std::vector<std::uint64_t> cursor(groupStart.begin(), groupStart.end() - 1);
    const std::uint32_t* corner = faces.corners;
    std::size_t nextRun = 0;
    std::size_t group = leftover;
    for (std::size_t face = 0; face < faces.count; ++face) {
        while (grouped && nextRun < runs.size() && runs[nextRun].firstFace == face)
            group = runGroup[nextRun++];
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
    }

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
