// Number conversion: a fast decimal path and the standard conversion for everything else.
#include "engine/CTextNumber.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include <fast_float/fast_float.h>

namespace
{

// Longer words are rare in model files; the standard conversion is the reference for them.
const std::ptrdiff_t kFastPathLength = 64;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The fast path covers plain decimal text only: an optional '-', then a digit or a point
// that is not the start of a hexadecimal number. Everything strtod reads differently
// (a '+', hexadecimal, "inf", "nan", text that is no number) goes to strtod.
bool fitsFastPath(const char* begin, const char* end)
{
    if (end - begin > kFastPathLength)
        return false;
    const char* p = begin;
    if (p != end && *p == '-')
        ++p;
    if (p == end)
        return false;
    if (*p == '.')
        return p + 1 != end && isDigit(p[1]);
    if (!isDigit(*p))
        return false;
    return !(*p == '0' && p + 1 != end && (p[1] == 'x' || p[1] == 'X'));
}

// fast_float and glibc's strtod both round correctly, so their doubles agree wherever
// both read the same characters; the test over generated words keeps that checked.
bool fastToDouble(const char* begin, const char* end, double& value, const char** stop)
{
    if (!fitsFastPath(begin, end))
        return false;
    const fast_float::from_chars_result result = fast_float::from_chars(begin, end, value);
    if (result.ec != std::errc() || !std::isfinite(value))
        return false;
    *stop = result.ptr;
    return true;
}

} // namespace

double CTextNumber::slowToDouble(const char* begin, const char* end, const char** stop)
{
    // strtod wants a terminated string; the word is copied only on this rare path.
    const std::string word(begin, end);
    char* wordStop = nullptr;
    const double value = std::strtod(word.c_str(), &wordStop);
    *stop = begin + (wordStop - word.c_str());
    return value;
}

float CTextNumber::toFloat(const char* begin, const char* end)
{
    double value = 0.0;
    const char* stop = nullptr;
    if (!fastToDouble(begin, end, value, &stop))
        value = slowToDouble(begin, end, &stop);
    return static_cast<float>(value);
}

const char* CTextNumber::toFloatInLineSlowly(const char* begin, const char* end, float& value)
{
    // The checks of fitsFastPath on the word's first characters; its length is known after.
    const char* p = begin;
    if (p != end && *p == '-')
        ++p;
    if (p == end || !(isDigit(*p) || (*p == '.' && p + 1 != end && isDigit(p[1]))) ||
        (*p == '0' && p + 1 != end && (p[1] == 'x' || p[1] == 'X')))
        return nullptr;
    double number = 0.0;
    const fast_float::from_chars_result result = fast_float::from_chars(begin, end, number);
    if (result.ec != std::errc() || !std::isfinite(number) || result.ptr - begin > kFastPathLength)
        return nullptr;
    if (result.ptr != end && !(*result.ptr == ' ' || (*result.ptr >= '\t' && *result.ptr <= '\r')))
        return nullptr;
    value = static_cast<float>(number);
    return result.ptr;
}

bool CTextNumber::isWholeNumber(const char* begin, const char* end)
{
    double value = 0.0;
    const char* stop = nullptr;
    if (!fastToDouble(begin, end, value, &stop))
        value = slowToDouble(begin, end, &stop);
    return begin != end && stop == end;
}

bool CTextNumber::toInt32(const char* begin, const char* end, std::int32_t& value)
{
    const char* p = begin;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    // Saturates well above the 32-bit range, so that any length of digits stays exact
    // enough to tell whether it fits.
    std::uint64_t magnitude = 0;
    for (; p != end && isDigit(*p); ++p) {
        if (magnitude <= 0xFFFFFFFFull)
            magnitude = magnitude * 10 + static_cast<std::uint64_t>(*p - '0');
    }
    if (negative ? magnitude > 0x80000000ull : magnitude > 0x7FFFFFFFull) {
        value = 0;
        return false;
    }
    value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                     : static_cast<std::int32_t>(magnitude);
    return true;
}
