// Material order alone: faces and runs in, triangles by library material and groups out.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "engine/CMaterialOrder.h"

namespace
{

using Numbers = std::vector<std::uint32_t>;
using Groups = std::vector<std::tuple<std::string, std::uint32_t, std::uint32_t, std::uint32_t>>;

// A square's corners, 3 floats each; faces: one before any run, then under A (a quad), B,
// a name the library lacks, and A again.
const float kSquare[] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
const Numbers kCorners = {0, 1, 2, 0, 1, 2, 3, 1, 2, 3, 3, 2, 1, 0, 2, 3};
const Numbers kSizes = {3, 4, 3, 3, 3};
const std::vector<VELK::CMaterialRun> kRuns = {{"A", 3, 1}, {"B", 9, 2}, {"Missing", 12, 3}, {"A", 15, 4}};

// On one thread, and on three, which must give the same.
Groups order(const std::vector<VELK::CObjMaterial>& materials, Numbers& indices)
{
    Groups groups[2];
    Numbers written[2];
    for (unsigned k = 0; k < 2; ++k) {
        written[k].assign(18, 0);
        for (const VELK::CMaterialOrder::CGroup& group :
             VELK::CMaterialOrder::order({kCorners.data(), kSizes.data(), kSizes.size(), kSquare, 3}, kRuns, materials,
                                         written[k].data(), written[k].size(), k == 0 ? 1 : 3))
            groups[k].emplace_back(group.name, group.material, group.firstIndex, group.triangleCount);
    }
    EXPECT_EQ(written[1], written[0]) << "three threads";
    EXPECT_EQ(groups[1], groups[0]) << "three threads";
    indices = written[0];
    return groups[0];
}

TEST(CMaterialOrder, TrianglesGoToTheirMaterialInLibraryOrderAndTheRestLast)
{
    Numbers indices;
    const Groups groups = order({{"B", CMaterial(), ""}, {"A", CMaterial(), ""}}, indices);
    EXPECT_EQ(indices, (Numbers{1, 2, 3, 0, 1, 2, 0, 2, 3, 0, 2, 3, 0, 1, 2, 3, 2, 1}));
    EXPECT_EQ(groups, (Groups{{"B", 0, 0, 1}, {"A", 1, 3, 3}, {"", VELK::CMaterialOrder::kNoMaterial, 12, 2}}));
}

TEST(CMaterialOrder, WithoutMaterialsTrianglesKeepFileOrderInNoGroup)
{
    Numbers indices;
    EXPECT_EQ(order({}, indices), Groups{});
    EXPECT_EQ(indices, (Numbers{0, 1, 2, 0, 1, 2, 0, 2, 3, 1, 2, 3, 3, 2, 1, 0, 2, 3}));
}

} // namespace
