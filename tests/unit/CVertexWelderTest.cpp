// Welding alone: corners in, records and the vertex of each corner out.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/CVertexRecord.h"
#include "engine/CVertexWelder.h"

namespace
{

using Floats = std::vector<float>;
using Numbers = std::vector<std::uint32_t>;

// Written over the position numbers, into room for every corner, as the loader does; on
// one thread, and on three whose ranges must find each other's vertices.
Numbers weld(const Floats& positions, const Floats& normals, const Floats& texCoords, const Numbers& p,
             const Numbers& t, const Numbers& n, Floats& vertices)
{
    Numbers results[2] = {p, p};
    Floats records[2];
    for (unsigned k = 0; k < 2; ++k) {
        records[k].resize(p.size() * CVertexRecord::kFloats);
        const std::size_t made = VELK::CVertexWelder::weldInto(
            {positions.data(), positions.size() / 3, normals.data(), normals.size() / 3, texCoords.data(),
             texCoords.size() / 2},
            {results[k].data(), t.data(), n.data(), p.size()}, records[k].data(), results[k].data(), k == 0 ? 1 : 3);
        records[k].resize(made * CVertexRecord::kFloats);
    }
    EXPECT_EQ(results[1], results[0]) << "three threads";
    EXPECT_EQ(records[1], records[0]) << "three threads";
    vertices = records[0];
    return results[0];
}

TEST(CVertexWelder, EqualRecordsShareTheVertexOfTheirFirstUse)
{
    // Positions 1 and 3 are equal; the fourth corner has no normal, so its record differs.
    Floats vertices;
    const Numbers corners = weld({0, 0, 0, 1, 0, 0, 0, 0, 0}, {0, 0, 1}, {0.5f, -0.5f}, {1, 2, 3, 1, 2},
                                 {1, 0, 1, 1, 1}, {1, 1, 1, 0, 1}, vertices);
    EXPECT_EQ(corners, (Numbers{0, 1, 0, 2, 3}));
    EXPECT_EQ(vertices, (Floats{0, 0, 0, 0, 0, 1, 0.5f, -0.5f, 1, 0, 0, 0, 0, 1, 0, 0,
                                0, 0, 0, 0, 0, 0, 0.5f, -0.5f, 1, 0, 0, 0, 0, 1, 0.5f, -0.5f}));
}

TEST(CVertexWelder, NumbersForAnEmptyListAreIgnored)
{
    Floats vertices;
    const Numbers corners = weld({1, 2, 3}, {}, {0.25f, -0.75f}, {1, 1}, {1, 0}, {5, 5}, vertices);
    EXPECT_EQ(corners, (Numbers{0, 1}));
    EXPECT_EQ(vertices, (Floats{1, 2, 3, 0.25f, -0.75f, 0, 0, 0, 1, 2, 3, 0, 0, 0, 0, 0}));
}

TEST(CVertexWelder, ManyVerticesOnOnePositionAreFoundAgain)
{
    // Forty normals on one position, then the same corners backwards.
    Floats normals;
    Numbers p, t, n;
    for (std::uint32_t k = 1; k <= 80; ++k) {
        normals.insert(normals.end(), {static_cast<float>(k), 0, 0});
        p.push_back(1);
        t.push_back(0);
        n.push_back(k <= 40 ? k : 81 - k);
    }
    Floats vertices;
    const Numbers corners = weld({0, 0, 0}, normals, {}, p, t, n, vertices);
    ASSERT_EQ(vertices.size(), 40u * 8);
    for (std::uint32_t k = 0; k < 40; ++k) {
        EXPECT_EQ(corners[k], k);
        EXPECT_EQ(corners[79 - k], k);
    }
}

} // namespace
