#pragma once
// Number conversion for the model readers: the results of strtod (narrowed to float) and
// strtol, bit for bit, without copying the word out of the file's text.

#include <cstdint>

class CTextNumber
{
public:
    // The longest numeric prefix of [begin, end) by strtod rules, narrowed to float;
    // 0 when there is none. The range holds one word, so no white space is skipped.
    static float toFloat(const char* begin, const char* end);

    // A plain decimal number at begin that a blank or end closes, read without looking for
    // the end of its word first: the end of the number, or null when the word is anything
    // else (toFloat on the whole word then gives its value).
    static const char* toFloatInLine(const char* begin, const char* end, float& value);

    // True when [begin, end) starts, by strtod rules, with a number that uses the whole range.
    static bool isWholeNumber(const char* begin, const char* end);

    // The longest integer prefix of [begin, end) by strtol rules (base 10); 0 when there is
    // none. False when the value does not fit in 32 bits.
    static bool toInt32(const char* begin, const char* end, std::int32_t& value);

private:
    static double slowToDouble(const char* begin, const char* end, const char** stop);
};
