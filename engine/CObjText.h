#pragma once
// Words of a line of OBJ or MTL text, cut in place by the rules of splitWords: white space
// is blank, tab, line feed, vertical tab, form feed and carriage return. A word that
// starts with '#' ends the statement. A line ending in a backslash goes on in the next one.

#include <cstdint>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

class CObjText
{
public:
    static bool isSpace(char c)
    {
        return c == ' ' || (c >= '\t' && c <= '\r');
    }

    // Moves p to the start of the next word, its end not yet looked for; false when the
    // statement ends.
    static bool skipToWord(const char*& p, const char* end)
    {
        while (p != end && isSpace(*p))
            ++p;
        return p != end && *p != '#';
    }

    // Moves p to the next word and sets wordEnd behind it; false when the statement ends.
    static bool nextWord(const char*& p, const char* end, const char*& wordEnd)
    {
        while (p != end && isSpace(*p))
            ++p;
        if (p == end || *p == '#')
            return false;
        wordEnd = p;
        while (wordEnd != end && !isSpace(*wordEnd))
            ++wordEnd;
        return true;
    }

    // The line end at or after p: there is one before end. Sixteen bytes are looked at a
    // time where that many are left: lines are short, and a library call would cost more
    // than the search.
    static const char* findLineEnd(const char* p, const char* end);

    // The words from p to the line end, which there is before end, added to words, as
    // nextWord cuts them (p follows a blank); returns the line end. plain is set false when
    // the line holds a '#' or a backslash, whose words the statement rules may count
    // otherwise (a comment, a line going on in the next one).
    static const char* countLineWords(const char* p, const char* end, std::uint64_t& words, bool& plain);

    // The set bits of a 16-bit mask, without a library call where the processor has no
    // instruction for it.
    static unsigned countBits(unsigned mask)
    {
        mask = mask - ((mask >> 1) & 0x5555u);
        mask = (mask & 0x3333u) + ((mask >> 2) & 0x3333u);
        mask = (mask + (mask >> 4)) & 0x0F0Fu;
        return (mask + (mask >> 8)) & 0x1Fu;
    }

    // The rest of the statement from p, blanks inside kept, and the end of its first word;
    // false when nothing is left.
    static bool restOfLine(const char* p, const char* end, const char*& restBegin, const char*& restEnd,
                           const char*& firstWordEnd);

    // Whether the line [begin, newline) ends in a backslash, a carriage return after it
    // allowed: its statement goes on in the next line.
    static bool continues(const char* begin, const char* newline)
    {
        const char* last = newline;
        if (last != begin && last[-1] == '\r')
            --last;
        return last != begin && last[-1] == '\\';
    }

    // The last line of a text, which no line end closes, without a backslash that would
    // join it to a next line there is none of.
    static const char* withoutContinuation(const char* begin, const char* end)
    {
        return continues(begin, end) ? (end[-1] == '\r' ? end - 2 : end - 1) : end;
    }

    // The statement starting at begin whose lines end in a backslash, joined into joined
    // with one blank for each backslash and its line end, so that words never run together.
    // Returns where the next statement starts and counts the lines taken; null when the
    // text stops inside the statement and more of it may still come (atEnd false).
    static const char* joinContinued(const char* begin, const char* end, bool atEnd, std::string& joined,
                                     std::uint64_t& lines);

    // The text without a byte order mark at its start.
    static const char* skipByteOrderMark(const char* begin, const char* end)
    {
        return end - begin >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0 ? begin + 3 : begin;
    }

    // A file name as written, with back slashes (folders written on Windows) turned to '/'.
    static std::string fileNameFrom(const char* begin, const char* end);
};

inline const char* CObjText::findLineEnd(const char* p, const char* end)
{
#if defined(__SSE2__)
    const __m128i newline = _mm_set1_epi8('\n');
    for (; end - p >= 16; p += 16) {
        const unsigned found = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), newline)));
        if (found != 0)
            return p + __builtin_ctz(found);
    }
#endif
    return static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
}

inline const char* CObjText::countLineWords(const char* p, const char* end, std::uint64_t& words, bool& plain)
{
    unsigned afterBlank = 1;
#if defined(__SSE2__)
    // Per byte, as bit masks: white space (the line end among it), the line end, and the
    // two characters that send the line to the statement rules.
    const __m128i newline = _mm_set1_epi8('\n');
    const __m128i blank = _mm_set1_epi8(' ');
    const __m128i belowTab = _mm_set1_epi8('\t' - 1);
    const __m128i aboveReturn = _mm_set1_epi8('\r' + 1);
    const __m128i hash = _mm_set1_epi8('#');
    const __m128i backslash = _mm_set1_epi8('\\');
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned lineEnd = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, newline)));
        const unsigned spaces = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, blank),
                         _mm_and_si128(_mm_cmpgt_epi8(bytes, belowTab), _mm_cmplt_epi8(bytes, aboveReturn)))));
        const unsigned odd = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, hash), _mm_cmpeq_epi8(bytes, backslash))));
        const unsigned within = lineEnd != 0 ? (lineEnd & (0u - lineEnd)) - 1 : 0xFFFFu;
        words += countBits(~spaces & ((spaces << 1) | afterBlank) & within);
        if ((odd & within) != 0)
            plain = false;
        if (lineEnd != 0)
            return p + __builtin_ctz(lineEnd);
        afterBlank = spaces >> 15;
    }
#endif
    for (; *p != '\n'; ++p) {
        const bool space = isSpace(*p);
        words += !space && afterBlank;
        afterBlank = space;
        plain = plain && *p != '#' && *p != '\\';
    }
    return p;
}
