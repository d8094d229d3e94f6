// The vertex layout copied from element lists.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "engine/CDeclaration.h"

namespace
{

using VELK::CDeclaration;

const CVertexElement kEnd = {0, 0, 0, 0};
const CVertexElement kPosition = {0, 3, 1, 0};
const CVertexElement kNormal = {12, 3, 2, 0};
const CVertexElement kTexture = {24, 2, 4, 0};

std::vector<CVertexElement> elementsOf(const CDeclaration& declaration)
{
    if (!declaration.elements)
        return {};
    return std::vector<CVertexElement>(declaration.elements, declaration.elements + declaration.count);
}

} // namespace

// Beside the type, where comparisons and gtest's printer look for them.
static bool operator==(const CVertexElement& a, const CVertexElement& b)
{
    return a.offset == b.offset && a.format == b.format && a.usage == b.usage && a.usageIndex == b.usageIndex;
}

static void PrintTo(const CVertexElement& e, std::ostream* out)
{
    *out << "{" << e.offset << ", " << e.format << ", " << e.usage << ", " << e.usageIndex << "}";
}

TEST(CDeclaration, StartsEmpty)
{
    const CDeclaration declaration;
    EXPECT_EQ(declaration.count, 0u);
    EXPECT_EQ(declaration.elements, nullptr);
}

TEST(CDeclaration, CopiesTheReadersLayoutWithoutTheTerminator)
{
    CVertexElement list[] = {kPosition, kNormal, kTexture, kEnd};
    CDeclaration declaration;
    declaration.setElements(list);
    list[0].offset = 99;                               // the declaration holds a copy
    EXPECT_EQ(declaration.count, 3u);
    EXPECT_EQ(elementsOf(declaration), (std::vector<CVertexElement>{kPosition, kNormal, kTexture}));
}

TEST(CDeclaration, ListStartingWithTheTerminatorLeavesItEmpty)
{
    const CVertexElement list[] = {kPosition, kEnd};
    const CVertexElement empty[] = {kEnd, kPosition, kEnd};
    CDeclaration declaration;
    declaration.setElements(list);
    declaration.setElements(empty);
    EXPECT_EQ(declaration.count, 0u);
    EXPECT_EQ(declaration.elements, nullptr);
}

TEST(CDeclaration, NullKeepsThePreviousLayout)
{
    const CVertexElement list[] = {kPosition, kNormal, kEnd};
    CDeclaration declaration;
    declaration.setElements(list);
    declaration.setElements(nullptr);
    EXPECT_EQ(elementsOf(declaration), (std::vector<CVertexElement>{kPosition, kNormal}));
}

// Only an entry whose every byte is zero ends the list.
TEST(CDeclaration, AnEntryWithOneNonZeroFieldIsNotTheTerminator)
{
    const CVertexElement offsetOnly = {8, 0, 0, 0};
    const CVertexElement indexOnly = {0, 0, 0, 1};
    const CVertexElement list[] = {kPosition, offsetOnly, indexOnly, kTexture, kEnd, kNormal, kEnd};
    CDeclaration declaration;
    declaration.setElements(list);
    EXPECT_EQ(elementsOf(declaration), (std::vector<CVertexElement>{kPosition, offsetOnly, indexOnly, kTexture}));
}

TEST(CDeclaration, ASecondListReplacesTheFirst)
{
    const CVertexElement first[] = {kPosition, kNormal, kTexture, kEnd};
    const CVertexElement second[] = {kTexture, kEnd};
    CDeclaration declaration;
    declaration.setElements(first);
    declaration.setElements(second);
    EXPECT_EQ(elementsOf(declaration), (std::vector<CVertexElement>{kTexture}));
}

TEST(CDeclaration, ClearEmptiesAndAllowsReuse)
{
    const CVertexElement list[] = {kPosition, kEnd};
    CDeclaration declaration;
    declaration.setElements(list);
    declaration.clear();
    EXPECT_EQ(declaration.count, 0u);
    EXPECT_EQ(declaration.elements, nullptr);
    declaration.setElements(list);
    EXPECT_EQ(elementsOf(declaration), (std::vector<CVertexElement>{kPosition}));
}
