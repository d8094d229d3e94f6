// toLower and splitWords on the texts the loaders hand them.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "math/StringUtils.h"
#include "tests/support/RowNames.h"

namespace
{

using testsupport::operator<<;

struct Lowered
{
    const char* name;
    std::string text;
    std::string lower;
};

const Lowered kLowered[] = {
    {"extensions", "BMP Dds jPg", "bmp dds jpg"},
    {"empty", "", ""},
    {"nonLetters", "0-9 _.,;\t\r\n[@`{~", "0-9 _.,;\t\r\n[@`{~"},
    {"beyondAscii", "\xC3\x89T\xC9\xFF", "\xC3\x89t\xC9\xFF"},
    {"embeddedNul", std::string("A\0B", 3), std::string("a\0b", 3)},
};

class ToLower : public testing::TestWithParam<Lowered>
{
};

struct Split
{
    const char* name;
    const char* text;
    std::vector<std::string> words;
};

const Split kSplits[] = {
    {"pictureExtensions", "bmp dds jpg jpeg jpe png ppm tga pgm",
     {"bmp", "dds", "jpg", "jpeg", "jpe", "png", "ppm", "tga", "pgm"}},
    {"blanksTabsLineFeed", "  bmp\t\tdds \n", {"bmp", "dds"}},
    {"empty", "", {}},
    {"allWhiteSpace", " \t\r\n\v\f ", {}},
    {"everySeparator", "a b\tc\nd\ve\ff\rg", {"a", "b", "c", "d", "e", "f", "g"}},
    {"carriageReturnLineEnd", "f 1/2/3 4/5/6 7/8/9\r\n", {"f", "1/2/3", "4/5/6", "7/8/9"}},
    {"punctuationStays", "usemtl red, -0.5 a-b", {"usemtl", "red,", "-0.5", "a-b"}},
};

class SplitWords : public testing::TestWithParam<Split>
{
};

} // namespace

TEST_P(ToLower, ChangesOnlyAToZ)
{
    const std::string original = GetParam().text;
    EXPECT_EQ(toLower(original), GetParam().lower);
    EXPECT_EQ(original, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Texts, ToLower, testing::ValuesIn(kLowered),
                         [](const auto& i) { return std::string(i.param.name); });

TEST_P(SplitWords, GivesTheWordsInOrder)
{
    std::vector<std::string> words;
    splitWords(GetParam().text, words);
    EXPECT_EQ(words, GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(Texts, SplitWords, testing::ValuesIn(kSplits),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(SplitWordsAppending, WordsGoAfterWhatTheArrayHolds)
{
    std::vector<std::string> words = {"kept", "also"};
    splitWords("one\ttwo", words);
    splitWords("  ", words);
    splitWords("three\r\n", words);
    EXPECT_EQ(words, (std::vector<std::string>{"kept", "also", "one", "two", "three"}));
}
