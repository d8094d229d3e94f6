// The parse's two passes over a text: the first counts what the second stores, and lists
// placed by a wrong count are still the right lists.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/CObjParse.h"
#include "tests/support/RowNames.h"

namespace
{

using testsupport::operator<<;
using Parts = std::vector<std::unique_ptr<VELK::CObjParse>>;
using VELK::CObjParse;

// The texts, cut into parts at the given offsets, counted (or given counts), placed, parsed
// and joined.
VELK::CObjLists parse(const std::string& text, const std::vector<std::size_t>& cuts,
                      std::vector<CObjParse::CCounts> counts = {})
{
    Parts parts;
    std::vector<std::size_t> starts = {0};
    starts.insert(starts.end(), cuts.begin(), cuts.end());
    starts.push_back(text.size());
    for (std::size_t k = 0; k + 1 < starts.size(); ++k) {
        parts.emplace_back(new CObjParse(k == 0));
        if (counts.size() < parts.size())
            counts.push_back(parts.back()->countText(text.data() + starts[k], text.data() + starts[k + 1]));
    }
    VELK::CObjLists whole;
    CObjParse::placeParts(parts, counts, whole);
    for (std::size_t k = 0; k < parts.size(); ++k)
        parts[k]->parseText(text.data() + starts[k], text.data() + starts[k + 1]);
    EXPECT_EQ(parts.front()->fileFault().line, 0u);
    CObjParse::joinParts(parts, whole);
    return whole;
}

struct Counted
{
    const char* name;
    const char* text;
};
const Counted kCounted[] = {
    {"plain", "v 1 2 3\nvt 0.5 0.5\nvn 0 0 1\nf 1/1/1 1/1/1 1/1/1 1/1/1\n"},
    {"continued", "v 1 2 \\\n3\nf 1 1 \\\n 1\nv 0 0 0 \\\r\nf 1 1 1\n"},
    {"commentsInFacesAndContinued", "v 0 0 0\nf 1 1 1 # 1 1\n# x \\\nf 1 1 1\nf 1 1#2 1\n"},
    {"shortFacesAndKeywordsAlone", "v\nvt\nvn\nf 1 1\nf\nf 1 1 1\n"},
    {"blanksByteOrderMarkAndCr", "\xEF\xBB\xBF v 0 0 0\r\n\tf 1 1 1\r\nf\t1 1\t1\r\nf 1\v1\f1\n"},
    {"lastLineOpen", "v 0 0 0\nvt 0 0\nf 1/1 1/1 1/1"},
};
class ObjParseCounts : public testing::TestWithParam<Counted>
{
};
TEST_P(ObjParseCounts, FirstPassCountsWhatTheSecondStores)
{
    const std::string text = GetParam().text;
    CObjParse counter(true);
    const CObjParse::CCounts counts = counter.countText(text.data(), text.data() + text.size());
    const VELK::CObjLists whole = parse(text, {}, {counts});
    EXPECT_EQ(whole.positions.size(), 3 * counts.elements[CObjParse::POSITION]);
    EXPECT_EQ(whole.texCoords.size(), 2 * counts.elements[CObjParse::TEXCOORD]);
    EXPECT_EQ(whole.normals.size(), 3 * counts.elements[CObjParse::NORMAL]);
    EXPECT_EQ(whole.faceSizes.size(), counts.faces);
    EXPECT_EQ(whole.positionIndices.size(), counts.corners);
}
INSTANTIATE_TEST_SUITE_P(ObjParse, ObjParseCounts, testing::ValuesIn(kCounted), testsupport::RowName());

// Counts too small make a part go on in memory of its own, counts too large leave gaps;
// either way the joined lists are those of the right counts.
TEST(ObjParsePlaces, WrongCountsGiveTheSameLists)
{
    std::string text;
    for (int k = 1; k <= 40; ++k)
        text += "v " + std::to_string(k) + " 0 0\nvt 0 " + std::to_string(k) + "\nf " + std::to_string(k) + "/" +
                std::to_string(k) + " 1/1 1/1\n";
    const std::size_t cut = text.find("v 20 ");
    const VELK::CObjLists right = parse(text, {cut});
    for (const int scale : {0, 2}) {
        CObjParse::CCounts wrong;
        for (auto& count : wrong.elements)
            count = 19 * static_cast<std::uint64_t>(scale);
        wrong.faces = 19 * static_cast<std::uint64_t>(scale);
        wrong.corners = 57 * static_cast<std::uint64_t>(scale);
        const VELK::CObjLists joined = parse(text, {cut}, {wrong, wrong});
        EXPECT_EQ(std::vector<float>(joined.positions.begin(), joined.positions.end()),
                  std::vector<float>(right.positions.begin(), right.positions.end()));
        EXPECT_EQ(std::vector<float>(joined.texCoords.begin(), joined.texCoords.end()),
                  std::vector<float>(right.texCoords.begin(), right.texCoords.end()));
        EXPECT_EQ(std::vector<std::uint32_t>(joined.positionIndices.begin(), joined.positionIndices.end()),
                  std::vector<std::uint32_t>(right.positionIndices.begin(), right.positionIndices.end()));
        EXPECT_EQ(std::vector<std::uint32_t>(joined.faceSizes.begin(), joined.faceSizes.end()),
                  std::vector<std::uint32_t>(right.faceSizes.begin(), right.faceSizes.end()));
    }
}

// A statement going on into the last line, which no line end closes, once read both
// passes past the end of the text.
TEST(ObjParseRegress, FaceContinuedIntoAnOpenLastLine)
{
    std::ifstream file(VELK_TEST_DATA "/regress/obj-face-continued-into-an-open-last-line.obj", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(text.empty());
    const VELK::CObjLists whole = parse(text, {});
    EXPECT_EQ(std::vector<std::uint32_t>(whole.positionIndices.begin(), whole.positionIndices.end()),
              (std::vector<std::uint32_t>{1, 2, 3}));
}

} // namespace
