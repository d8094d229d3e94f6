#pragma once
// Number conversion for the model readers: the results of strtod (narrowed to float) and
// strtol, bit for bit, without copying the word out of the file's text.

#include <cstddef>
#include <cstdint>

class CTextNumber
{
public:
    // A plain decimal at begin, "-?digits.digits" or a part of it, with no exponent: its end,
    // and in value exactly the double the correctly rounded conversion gives; null, value
    // untouched, for any other shape or for more digits than the fast way takes. What comes
    // after the decimal is the caller's to judge.
    static const char* toPlainDouble(const char* begin, const char* end, double& value);
    // The same where a character that is no digit follows before the text ends (a line end),
    // so that nothing but the characters is looked at on the way.
    static const char* toPlainDoubleInLine(const char* begin, double& value);

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
    template <bool kCheckEnd>
    static const char* readPlainDecimal(const char* begin, const char* end, double& value);
    static const char* toFloatInLineSlowly(const char* begin, const char* end, float& value);
    static double slowToDouble(const char* begin, const char* end, const char** stop);
};

// Nearly every number of a model file is a short plain decimal, which this reads in a few
// steps where the general conversion takes several times as long. Clinger's rule makes it
// exact: a whole mantissa of at most 2^53 and a power of ten of at most 10^22 are both
// doubles exactly, so their quotient is rounded once, correctly.
template <bool kCheckEnd>
inline const char* CTextNumber::readPlainDecimal(const char* begin, const char* end, double& value)
{
    static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                              1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* p = begin;
    const bool negative = (!kCheckEnd || p != end) && *p == '-';
    p += negative;
    // Leading zeros take no place in the mantissa. Up to 19 digits after them it cannot
    // overflow; longer ones wrap, and are refused below.
    const char* const digitsStart = p;
    while ((!kCheckEnd || p != end) && *p == '0')
        ++p;
    std::uint64_t mantissa = 0;
    const char* const wholeStart = p;
    while ((!kCheckEnd || p != end) && static_cast<unsigned char>(*p - '0') < 10)
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p++ - '0');
    std::size_t digits = static_cast<std::size_t>(p - wholeStart);
    bool anyDigit = p != digitsStart;
    std::size_t fraction = 0;
    if ((!kCheckEnd || p != end) && *p == '.') {
        const char* const fractionStart = ++p;
        if (digits == 0) {
            while ((!kCheckEnd || p != end) && *p == '0')
                ++p;
        }
        const char* const significantStart = p;
        while ((!kCheckEnd || p != end) && static_cast<unsigned char>(*p - '0') < 10)
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p++ - '0');
        fraction = static_cast<std::size_t>(p - fractionStart);
        digits += static_cast<std::size_t>(p - significantStart);
        anyDigit = anyDigit || fraction != 0;
    }
    if (!anyDigit || digits > 19 || fraction > 22 || mantissa > (std::uint64_t(1) << 53))
        return nullptr;
    const double magnitude = static_cast<double>(mantissa) / kPowersOfTen[fraction];
    value = negative ? -magnitude : magnitude;
    return p;
}

inline const char* CTextNumber::toPlainDouble(const char* begin, const char* end, double& value)
{
    return readPlainDecimal<true>(begin, end, value);
}

inline const char* CTextNumber::toPlainDoubleInLine(const char* begin, double& value)
{
    return readPlainDecimal<false>(begin, nullptr, value);
}

inline const char* CTextNumber::toFloatInLine(const char* begin, const char* end, float& value)
{
    double number = 0.0;
    const char* stop = toPlainDouble(begin, end, number);
    if (stop && (stop == end || *stop == ' ' || (*stop >= '\t' && *stop <= '\r'))) {
        value = static_cast<float>(number);
        return stop;
    }
    return toFloatInLineSlowly(begin, end, value);
}
