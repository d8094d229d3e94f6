// Number conversion: bit for bit what strtod (narrowed to float) and strtol give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/CTextNumber.h"
#include "tests/support/RowNames.h"

namespace
{

using testsupport::operator<<;

std::uint32_t bitsOf(float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::uint32_t expectedBits(const std::string& word)
{
    return bitsOf(static_cast<float>(std::strtod(word.c_str(), nullptr)));
}

float converted(const std::string& word)
{
    return CTextNumber::toFloat(word.data(), word.data() + word.size());
}

// Words of the kinds model files hold, and of the kinds that trip fast paths: signs,
// points at either end, exponents with and without digits, long mantissas, values at the
// edges of float and double, hexadecimal, inf and nan, trailing garbage.
std::string randomWord(std::mt19937_64& random)
{
    static const char* const pieces[] = {"0", "1", "5", "9", "00", "123456789", "3402823", "17976931348623157",
                                         "4940656458412465441765687928682213723651", "1175494", "7", "2"};
    static const char* const exponents[] = {"e", "E", "e-", "e+", "e-4", "e38", "e39", "e-38", "e-45", "e-46",
                                            "e308", "e309", "e-324", "e-330", "e5", "e+0", "e", "e99999"};
    static const char* const specials[] = {"inf", "-inf", "+inf", "infinity", "INF", "nan", "-nan", "NaN",
                                           "nan(123)", "0x1p3", "-0x1.8p-1", "0X10", "0x", "+", "-", ".",
                                           "-.", "+.5", "e5", "", "--1", "+-1", "1..2", "0x1g", "in", "na"};
    std::uniform_int_distribution<int> pick(0, 99);
    std::string word;
    if (pick(random) < 8)
        return specials[pick(random) % (sizeof specials / sizeof *specials)];
    const int sign = pick(random);
    if (sign < 30)
        word += '-';
    else if (sign < 35)
        word += '+';
    const int shape = pick(random);
    const auto digits = [&](int count) {
        for (int i = 0; i < count; ++i)
            word += pieces[pick(random) % (sizeof pieces / sizeof *pieces)];
    };
    if (shape < 40) {
        digits(1 + pick(random) % 3);
        word += '.';
        digits(pick(random) % 4);
    } else if (shape < 55) {
        word += '.';
        digits(1 + pick(random) % 3);
    } else if (shape < 75) {
        digits(1 + pick(random) % 2);
    } else {
        // Plain decimals as exporters write them.
        std::uniform_real_distribution<double> value(-1000.0, 1000.0);
        char text[64];
        std::snprintf(text, sizeof text, "%.*f", pick(random) % 10, value(random));
        word += text + (text[0] == '-' ? 1 : 0);
    }
    if (pick(random) < 35)
        word += exponents[pick(random) % (sizeof exponents / sizeof *exponents)];
    if (pick(random) < 10)
        word += pick(random) < 50 ? "x" : "/7";
    return word;
}

TEST(TextNumber, AgreesWithStrtodOnGeneratedWords)
{
    std::mt19937_64 random(20261207);
    int checked = 0;
    for (int i = 0; i < 400000; ++i) {
        const std::string word = randomWord(random);
        ASSERT_EQ(bitsOf(converted(word)), expectedBits(word)) << "word: " << word;
        ++checked;
    }
    EXPECT_EQ(checked, 400000);
}

TEST(TextNumber, AgreesWithStrtodOnEdgeWords)
{
    const std::vector<std::string> words = {
        "0", "-0", "-0.0", "+0", "1", "1.000", "1.", ".5", "-.5", "1e", "1e+", "1e-", "1.5e3x", "3.4028235e38",
        "3.4028236e38", "3.40282357e38", "1e39", "-1e39", "1.4e-45", "7e-46", "7.1e-46", "1e-400", "1e400",
        "0.1", "0.2", "0.30000000000000004", "2.7182818284590452353602874713527",
        "1.00000005960464477539062500000000000000000000000000000000000000000000000001",
        "1.000000059604644775390625", "9007199254740993", "0x1.fffffep127", "inf", "nan", "-nan(1)",
        "1,5", "1/2/3", "12abc", "abc", "", "\xEF\xBB\xBF" "1",
        std::string(400, '9'), "0." + std::string(400, '0') + "1", std::string("1\0" "5", 3)};
    for (const std::string& word : words)
        EXPECT_EQ(bitsOf(converted(word)), expectedBits(word)) << "word: " << word;
}

// Read in the line without cutting the word first: either exactly the whole word and its
// strtod value, or nothing, so that the caller cuts the word and converts it the long way.
TEST(TextNumber, NumberInLineIsTheWholeWordOrNothing)
{
    std::mt19937_64 random(7);
    const char* const closings[] = {" 2", "\t2", "\r", "", "x 2", "#c", "/2", "e"};
    int taken = 0;
    for (int i = 0; i < 200000; ++i) {
        const std::string line = randomWord(random) + closings[i % 8];
        const std::size_t wordLength = std::min(line.find_first_of(" \t\r"), line.size());
        const std::string word = line.substr(0, wordLength);
        float value = -1.0f;
        const char* end = CTextNumber::toFloatInLine(line.data(), line.data() + line.size(), value);
        if (!end)
            continue;
        ++taken;
        ASSERT_EQ(end, line.data() + wordLength) << "line: " << line;
        ASSERT_EQ(bitsOf(value), expectedBits(word)) << "line: " << line;
    }
    EXPECT_GT(taken, 30000);
    float value = 0.0f;
    const std::vector<std::string> refused = {"+1 ", "0x10 ", "inf ", "1e400 ", "-.", "1.5x", std::string(70, '1') + " "};
    for (const std::string& line : refused)
        EXPECT_EQ(CTextNumber::toFloatInLine(line.data(), line.data() + line.size(), value), nullptr) << line;
}

// The fast way for plain decimals: at the edges of double and float rounding, long
// mantissas, signed zeros and leading zeros it gives strtod's double, or leaves the word to
// the general conversion.
struct PlainDecimal
{
    const char* name;                                  // the word
    bool fast;                                         // whether the fast way reads it whole
};
const PlainDecimal kPlainDecimals[] = {
    {"0.1", true}, {"2.675", true}, {"1.005", true}, {"0.3000000000000000", true},
    {"0.30000000000000004", false},                    // mantissa above 2^53
    {"9007199254740992", true}, {"9007199254740993", false}, {"123456789012345.6", true},
    {"999999999999999", true}, {"9999999999999999", false}, {"1234567890123456789", false},
    {"12345678901234567890", false},
    {"16777217", true}, {"16777219", true},            // float ties: to even
    {"1.000000059604644", true}, {"1.000000059604645", true},  // either side of half a float step above 1
    {"-0", true}, {"-0.0", true}, {"-0.", true}, {"-.0", true}, {"0", true}, {"0.", true},
    {"007", true}, {"-000.125", true}, {"0.000000000000000000001", true}, {"0.0000000000000000000001", true},
    {"0.00000000000000000000001", false},              // 10^-23 is no double exactly
    {"00000000000000000000000000.5", true}, {"1e5", false}, {"-", false}, {".", false}, {"-.", false}, {"+1", false},
};
class PlainDecimals : public testing::TestWithParam<PlainDecimal> {};
TEST_P(PlainDecimals, GiveTheCorrectlyRoundedDouble)
{
    const std::string word = GetParam().name;
    double fast = -1.0;
    const char* stop = CTextNumber::toPlainDouble(word.data(), word.data() + word.size(), fast);
    ASSERT_EQ(stop == word.data() + word.size(), GetParam().fast);
    if (stop) {
        // What it read, also when the word goes on (an exponent), is strtod's double of that.
        const double slow = std::strtod(word.substr(0, static_cast<std::size_t>(stop - word.data())).c_str(), nullptr);
        std::uint64_t fastBits = 0;
        std::uint64_t slowBits = 0;
        std::memcpy(&fastBits, &fast, sizeof fast);
        std::memcpy(&slowBits, &slow, sizeof slow);
        EXPECT_EQ(fastBits, slowBits);
    }
    // Read in a line, the float is strtod's narrowed, whichever way it is read.
    float value = -1.0f;
    const std::string line = word + " 1";
    if (CTextNumber::toFloatInLine(line.data(), line.data() + line.size(), value)) {
        EXPECT_EQ(bitsOf(value), expectedBits(word));
    }
}
INSTANTIATE_TEST_SUITE_P(TextNumber, PlainDecimals, testing::ValuesIn(kPlainDecimals),
                         [](const auto& row) { return std::to_string(row.index); });

TEST(TextNumber, WholeNumberMeansStrtodReadsEveryCharacter)
{
    const auto whole = [](const std::string& word) {
        return CTextNumber::isWholeNumber(word.data(), word.data() + word.size());
    };
    EXPECT_TRUE(whole("1"));
    EXPECT_TRUE(whole("-2.5e3"));
    EXPECT_TRUE(whole("+.5"));
    EXPECT_TRUE(whole("0x10"));
    EXPECT_FALSE(whole(""));
    EXPECT_FALSE(whole("2.png"));
    EXPECT_FALSE(whole("1e"));
    EXPECT_FALSE(whole("on"));
    EXPECT_FALSE(whole(std::string("1\0", 2)));
}

TEST(TextNumber, IntegersAgreeWithStrtolWithinThirtyTwoBits)
{
    std::mt19937_64 random(7);
    std::vector<std::string> words = {"0", "-0", "+7", "12abc", "abc", "", "-", "+", "1/2", "2147483647",
                                      "-2147483648", "0000000000000000000042", "1.9", " 5"};
    std::uniform_int_distribution<std::int64_t> value(INT32_MIN, INT32_MAX);
    for (int i = 0; i < 20000; ++i)
        words.push_back(std::to_string(value(random)) + (i % 3 == 0 ? "/x" : ""));
    for (const std::string& word : words) {
        std::int32_t parsed = 1;
        ASSERT_TRUE(CTextNumber::toInt32(word.data(), word.data() + word.size(), parsed)) << word;
        // A word never starts with white space; strtol would skip it, this reader gives 0.
        const long expected = word[0] == ' ' ? 0 : std::strtol(word.c_str(), nullptr, 10);
        EXPECT_EQ(parsed, expected) << "word: " << word;
    }
}

TEST(TextNumber, IntegersBeyondThirtyTwoBitsAreRefused)
{
    for (const std::string word : {"2147483648", "-2147483649", "4294967297", "99999999999999999999999999",
                                   "-9223372036854775809"}) {
        std::int32_t parsed = 1;
        EXPECT_FALSE(CTextNumber::toInt32(word.data(), word.data() + word.size(), parsed)) << word;
    }
}

} // namespace
