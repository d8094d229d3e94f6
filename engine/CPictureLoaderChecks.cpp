// The picture loader's structural checks: what DevIL must not be handed.
//
// DevIL reports success on a truncated PNG, BMP or TGA, the missing part made up, and
// loops for ever on some truncated PNGs; it frees a PNM whose samples fall short twice,
// and writes past its buffer for a PNM with 16-bit samples;
// a header that claims a huge picture makes it allocate without bound. So nothing reaches
// DevIL unchecked: a PNG must be whole chunks with good CRCs up to IEND, a JPEG whole
// segments up to its end-of-image marker, a PNM, BMP, TGA or DDS every byte that its
// header announces, and no picture may be larger than the pixel limit. A check that
// refuses a file says why in words a user can act on: what is cut short, broken or not
// supported.
#include "engine/CPictureLoader.h"

#include <IL/il.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace VELK
{

namespace
{

// Notes why a check refuses a file; false, for the check to return.
bool noteRefusal(std::string& reason, const std::string& text)
{
    reason = text;
    return false;
}

std::string number(unsigned long long value)
{
    return std::to_string(value);
}

std::string bytesShort(unsigned long long count)
{
    return number(count) + (count == 1 ? " byte short" : " bytes short");
}

std::string hexByte(unsigned value)
{
    static const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[(value >> 4) & 15] + digits[value & 15];
}

// A DDS format code: its four characters when they are printable, else its bytes.
std::string fourCcName(const unsigned char* code)
{
    std::string name;
    for (int i = 0; i < 4; ++i) {
        if (code[i] < 0x20 || code[i] > 0x7E) {
            name = hexByte(code[0]);
            for (int j = 1; j < 4; ++j)
                name += " " + hexByte(code[j]);
            return name;
        }
        name += static_cast<char>(code[i]);
    }
    return name;
}

unsigned long bigEndian32(const unsigned char* at)
{
    return (static_cast<unsigned long>(at[0]) << 24) | (static_cast<unsigned long>(at[1]) << 16) |
           (static_cast<unsigned long>(at[2]) << 8) | static_cast<unsigned long>(at[3]);
}

unsigned long littleEndian32(const unsigned char* at)
{
    return (static_cast<unsigned long>(at[3]) << 24) | (static_cast<unsigned long>(at[2]) << 16) |
           (static_cast<unsigned long>(at[1]) << 8) | static_cast<unsigned long>(at[0]);
}

unsigned littleEndian16(const unsigned char* at)
{
    return (static_cast<unsigned>(at[1]) << 8) | at[0];
}

// What is left after at, as a count that compares with any 64-bit size.
unsigned long long remaining(std::size_t count, std::size_t at)
{
    return at <= count ? static_cast<unsigned long long>(count - at) : 0;
}

unsigned bigEndian16(const unsigned char* at)
{
    return (static_cast<unsigned>(at[0]) << 8) | at[1];
}

const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

// The BMP headers of 32-bit sizes that are read: the Windows header and its longer forms.
bool isWindowsBmpHeader(unsigned long size)
{
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// A JPEG marker that opens a frame header, which holds the picture's size.
bool isStartOfFrame(unsigned char marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool isChunkLetter(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// DevIL's PNM reader takes only blanks and line feeds as separators (a tab or a carriage
// return throws it out of step with the samples, and a short read then frees the picture
// twice), and loses its way in comments that do not stand on their own. So the header is
// held to that form: tokens separated by blanks and line feeds, comments only where a
// token could start, each closed by a line feed.
bool isPnmSpace(unsigned char c)
{
    return c == ' ' || c == '\n';
}

// Reads the next number, which must be separated from what came before and end at a
// separator or the end of the data.
bool readPnmNumber(const unsigned char* bytes, std::size_t count, std::size_t& at, long long& value)
{
    if (at >= count || !isPnmSpace(bytes[at]))
        return false;
    for (;;) {
        while (at < count && isPnmSpace(bytes[at]))
            ++at;
        if (at >= count || bytes[at] != '#')
            break;
        while (at < count && bytes[at] != '\n')
            ++at;
    }
    if (at >= count || bytes[at] < '0' || bytes[at] > '9')
        return false;
    value = 0;
    for (int digits = 0; at < count && bytes[at] >= '0' && bytes[at] <= '9'; ++digits) {
        if (digits == 7)
            return false;
        value = value * 10 + (bytes[at++] - '0');
    }
    return at == count || isPnmSpace(bytes[at]);
}

// The size in a JPEG's frame header, found by stepping over the segments before it; false
// when the bytes end first or leave the form, which the check of the whole file names.
bool jpegFrameSize(const unsigned char* bytes, std::size_t count, long long& width, long long& height)
{
    if (count < 2 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return false;
    std::size_t at = 2;
    while (at < count && bytes[at] == 0xFF) {
        while (at < count && bytes[at] == 0xFF)        // fill bytes before a marker
            ++at;
        if (remaining(count, at) < 3)                  // the marker and a length
            return false;
        const unsigned char marker = bytes[at++];
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        const unsigned length = bigEndian16(bytes + at);
        if (isStartOfFrame(marker) && length >= 8 && remaining(count, at) >= 7) {
            height = bigEndian16(bytes + at + 3);
            width = bigEndian16(bytes + at + 5);
            return true;
        }
        if (isStartOfFrame(marker) || marker == 0xDA || marker == 0xD9 || marker == 0xD8 || marker == 0x00 ||
            length < 2)
            return false;
        at += length;
    }
    return false;
}

} // namespace

bool CPictureLoader::fitsDeclaredSize(unsigned type, const unsigned char* bytes, std::size_t count,
                                      std::string& reason) const
{
    long long width = 0;
    long long height = 0;
    std::size_t at = 2;                                // a PNM's numbers follow its two-byte magic
    switch (type) {
    case IL_PNG:                                       // IHDR is the first chunk
        if (count < 24 || std::memcmp(bytes, kPngSignature, 8) != 0 || std::memcmp(bytes + 12, "IHDR", 4) != 0)
            return true;
        width = bigEndian32(bytes + 16);
        height = bigEndian32(bytes + 20);
        break;
    case IL_BMP:
        if (count < 26 || bytes[0] != 'B' || bytes[1] != 'M')
            return true;
        if (littleEndian32(bytes + 14) == 12) {
            width = littleEndian16(bytes + 18);
            height = littleEndian16(bytes + 20);
        } else if (isWindowsBmpHeader(littleEndian32(bytes + 14))) {
            width = static_cast<std::int32_t>(littleEndian32(bytes + 18));
            height = static_cast<std::int32_t>(littleEndian32(bytes + 22));
            height = height < 0 ? -height : height;    // rows stored top first
        } else {
            return true;
        }
        break;
    case IL_TGA:
        if (count < 18)
            return true;
        width = littleEndian16(bytes + 12);
        height = littleEndian16(bytes + 14);
        break;
    case IL_DDS:
        if (count < 20 || std::memcmp(bytes, "DDS ", 4) != 0)
            return true;
        height = littleEndian32(bytes + 12);
        width = littleEndian32(bytes + 16);
        break;
    case IL_PNM:
        if (count < 2 || bytes[0] != 'P' || bytes[1] < '1' || bytes[1] > '6' ||
            !readPnmNumber(bytes, count, at, width) || !readPnmNumber(bytes, count, at, height))
            return true;
        break;
    case IL_JPG:
        if (!jpegFrameSize(bytes, count, width, height))
            return true;
        break;
    default:
        return true;
    }
    return fitsLimits(width, height, reason);
}

bool CPictureLoader::fitsLimits(long long width, long long height, std::string& reason) const
{
    // Each side is bounded first, so that the product cannot overflow.
    if (width > 0 && height > 0 && width <= pixelLimit && height <= pixelLimit && width * height <= pixelLimit)
        return true;
    const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
    if (width <= 0 || height <= 0)
        return noteRefusal(reason, size + " is an empty picture");
    return noteRefusal(reason, size + " is over the limit of " + std::to_string(pixelLimit));
}

bool CPictureLoader::isWhole(unsigned type, const unsigned char* bytes, std::size_t count, std::string& reason) const
{
    // The size first, as it is judged when only the header has been read.
    if (!fitsDeclaredSize(type, bytes, count, reason))
        return false;
    switch (type) {
    case IL_PNG: return isWholePng(bytes, count, reason);
    case IL_JPG: return isWholeJpeg(bytes, count, reason);
    case IL_PNM: return isWholePnm(bytes, count, reason);
    case IL_BMP: return isWholeBmp(bytes, count, reason);
    case IL_TGA: return isWholeTga(bytes, count, reason);
    case IL_DDS: return isWholeDds(bytes, count, reason);
    default:     return noteRefusal(reason, "the format is not supported");
    }
}

bool CPictureLoader::isWholePng(const unsigned char* bytes, std::size_t count, std::string& reason) const
{
    if (count < sizeof kPngSignature || std::memcmp(bytes, kPngSignature, sizeof kPngSignature) != 0)
        return noteRefusal(reason, "not a PNG file");

    const unsigned char* header = nullptr;
    std::vector<std::pair<const unsigned char*, std::size_t>> data;  // the IDAT chunks' contents
    std::size_t at = sizeof kPngSignature;
    for (;;) {
        if (count - at < 8)                            // length and type
            return noteRefusal(reason, "PNG data ends before chunk IEND");
        const unsigned long length = bigEndian32(bytes + at);
        const unsigned char* type = bytes + at + 4;
        if (!isChunkLetter(type[0]) || !isChunkLetter(type[1]) || !isChunkLetter(type[2]) ||
            !isChunkLetter(type[3]))
            return noteRefusal(reason, "PNG chunk at byte " + number(at) + " has no valid type");
        const std::string name(reinterpret_cast<const char*>(type), 4);
        if (length > 0x7fffffffUL)
            return noteRefusal(reason, "PNG chunk " + name + " is longer than the format allows");
        if (count - at < 12ULL + length)               // the data and the CRC
            return noteRefusal(reason, "PNG data ends inside chunk " + name);
        const uLong crc = crc32(crc32(0L, Z_NULL, 0), type, static_cast<uInt>(length + 4));
        if (crc != bigEndian32(type + 4 + length))
            return noteRefusal(reason, "PNG chunk " + name + " fails its CRC check");

        if (!header) {
            // IHDR comes first and says how large the picture is.
            if (name != "IHDR")
                return noteRefusal(reason, "PNG does not begin with chunk IHDR");
            if (length != 13)
                return noteRefusal(reason, "PNG chunk IHDR holds " + number(length) + " bytes instead of 13");
            header = type + 4;
        } else if (name == "IDAT") {
            data.emplace_back(type + 4, length);
        } else if (name == "IEND") {
            if (length != 0)
                return noteRefusal(reason, "PNG chunk IEND is not empty");
            if (data.empty())
                return noteRefusal(reason, "PNG has no chunk IDAT");
            return isWholePngData(header, data, reason);
        }
        at += 12 + length;
    }
}

// The image data must inflate to exactly the rows that the header announces, each row
// opening with a known filter: DevIL leaks its row table whenever the data stops short,
// fails its checksum or names an unknown filter.
bool CPictureLoader::isWholePngData(const unsigned char* header,
                                    const std::vector<std::pair<const unsigned char*, std::size_t>>& data,
                                    std::string& reason) const
{
    const long long width = static_cast<long long>(bigEndian32(header));
    const long long height = static_cast<long long>(bigEndian32(header + 4));
    const unsigned depth = header[8];
    const unsigned colour = header[9];
    if (!fitsLimits(width, height, reason))
        return false;
    if (header[10] != 0)
        return noteRefusal(reason, "PNG compression method " + number(header[10]) + " is not supported");
    if (header[11] != 0)
        return noteRefusal(reason, "PNG filter method " + number(header[11]) + " is not supported");
    if (header[12] > 1)
        return noteRefusal(reason, "PNG interlace method " + number(header[12]) + " is not supported");
    unsigned channels = 0;
    switch (colour) {
    case 0: channels = 1; break;
    case 2: channels = 3; break;
    case 3: channels = 1; break;
    case 4: channels = 2; break;
    case 6: channels = 4; break;
    default: return noteRefusal(reason, "PNG colour type " + number(colour) + " is not valid");
    }
    const bool depthFits = (depth == 8) || (depth == 16 && colour != 3) ||
                           ((depth == 1 || depth == 2 || depth == 4) && (colour == 0 || colour == 3));
    if (!depthFits)
        return noteRefusal(reason, "PNG bit depth " + number(depth) + " is not valid for colour type " + number(colour));
    const unsigned long long bitsPerPixel = static_cast<unsigned long long>(depth) * channels;

    // Rows of each pass: one pass, or the seven of the interlaced order.
    struct Pass { long long rows; unsigned long long rowBytes; };
    std::vector<Pass> passes;
    auto addPass = [&](long long passWidth, long long passHeight) {
        if (passWidth > 0 && passHeight > 0)
            passes.push_back({passHeight, 1 + (static_cast<unsigned long long>(passWidth) * bitsPerPixel + 7) / 8});
    };
    if (header[12] == 0) {
        addPass(width, height);
    } else {
        static const int kAdam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                         {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
        for (const auto& pass : kAdam7)
            addPass((width - pass[0] + pass[2] - 1) / pass[2], (height - pass[1] + pass[3] - 1) / pass[3]);
    }

    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return noteRefusal(reason, "PNG image data cannot be inflated");
    unsigned char out[16384];
    std::size_t pass = 0;
    long long row = 0;
    unsigned long long leftInRow = passes.empty() ? 0 : passes[0].rowBytes;
    bool ended = false;
    bool good = true;
    const auto bad = [&good, &reason](const std::string& text) {
        good = false;
        reason = text;
    };
    for (std::size_t chunk = 0; chunk < data.size() && good; ++chunk) {
        if (ended) {
            if (data[chunk].second != 0)               // nothing may follow the end of the stream
                bad("PNG image data goes on after its end");
            continue;
        }
        stream.next_in = const_cast<Bytef*>(data[chunk].first);
        stream.avail_in = static_cast<uInt>(data[chunk].second);
        while (good && !ended && stream.avail_in > 0) {
            stream.next_out = out;
            stream.avail_out = sizeof out;
            const int result = inflate(&stream, Z_NO_FLUSH);
            if (result != Z_OK && result != Z_STREAM_END) {
                bad(std::string("PNG image data is corrupt: ") + (stream.msg ? stream.msg : "cannot be inflated"));
                break;
            }
            ended = result == Z_STREAM_END;
            // Walk the rows through what came out: the first byte of each is its filter.
            const unsigned char* at = out;
            const unsigned char* end = out + (sizeof out - stream.avail_out);
            while (at < end) {
                if (pass == passes.size()) {
                    bad("PNG image data holds more rows than its header announces");
                    break;
                }
                if (leftInRow == passes[pass].rowBytes && *at > 4) {
                    bad("PNG row filter type " + number(*at) + " is not valid");
                    break;
                }
                const unsigned long long step = std::min<unsigned long long>(leftInRow, end - at);
                at += step;
                leftInRow -= step;
                if (leftInRow == 0) {
                    if (++row == passes[pass].rows) {
                        row = 0;
                        ++pass;
                    }
                    leftInRow = pass < passes.size() ? passes[pass].rowBytes : 0;
                }
            }
            if (ended && stream.avail_in > 0)
                bad("PNG image data goes on after its end");
        }
    }
    inflateEnd(&stream);
    if (!good)
        return false;
    if (!ended)
        return noteRefusal(reason, "PNG image data stops before its end");
    if (pass != passes.size())
        return noteRefusal(reason, "PNG image data holds fewer rows than its header announces");
    return true;
}

bool CPictureLoader::isWholeJpeg(const unsigned char* bytes, std::size_t count, std::string& reason) const
{
    if (count < 2 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return noteRefusal(reason, "not a JPEG file");
    const std::string cutShort = "JPEG data ends before its end-of-image marker";

    bool frame = false;
    bool scan = false;
    std::size_t at = 2;
    for (;;) {
        if (at >= count)
            return noteRefusal(reason, cutShort);
        if (bytes[at] != 0xFF)
            return noteRefusal(reason, "JPEG has no marker at byte " + number(at));
        while (at < count && bytes[at] == 0xFF)        // fill bytes before a marker
            ++at;
        if (at >= count)
            return noteRefusal(reason, cutShort);
        const unsigned char marker = bytes[at++];
        if (marker == 0xD9) {                          // end of image
            if (!frame)
                return noteRefusal(reason, "JPEG has no frame header");
            if (!scan)
                return noteRefusal(reason, "JPEG has no scan");
            return true;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;                                  // markers without a segment
        if (marker == 0xD8 || marker == 0x00)
            return noteRefusal(reason, "JPEG marker " + hexByte(marker) + " at byte " + number(at - 1) + " is out of place");

        if (count - at < 2)
            return noteRefusal(reason, cutShort);
        const unsigned length = bigEndian16(bytes + at);
        if (length < 2)
            return noteRefusal(reason, "JPEG segment " + hexByte(marker) + " at byte " + number(at - 1) +
                                      " has an invalid length");
        if (count - at < length)
            return noteRefusal(reason, cutShort);
        if (isStartOfFrame(marker)) {
            if (length < 8)
                return noteRefusal(reason, "JPEG frame header is too short");
            if (!fitsLimits(bigEndian16(bytes + at + 5), bigEndian16(bytes + at + 3), reason))
                return false;
            frame = true;
        }
        at += length;

        if (marker == 0xDA) {                          // start of scan: entropy-coded data follows
            if (!frame)
                return noteRefusal(reason, "JPEG scan comes before its frame header");
            scan = true;
            // The coded data ends at the first marker that is neither a stuffed zero nor a
            // restart marker.
            while (at + 1 < count) {
                if (bytes[at] != 0xFF) {
                    ++at;
                    continue;
                }
                const unsigned char next = bytes[at + 1];
                if (next == 0x00 || (next >= 0xD0 && next <= 0xD7))
                    at += 2;
                else if (next == 0xFF)
                    ++at;
                else
                    break;
            }
            if (at + 1 >= count)
                return noteRefusal(reason, cutShort);
        }
    }
}

bool CPictureLoader::isWholePnm(const unsigned char* bytes, std::size_t count, std::string& reason) const
{
    if (count < 2 || bytes[0] != 'P' || bytes[1] < '1' || bytes[1] > '6')
        return noteRefusal(reason, "not a PNM file");
    const int kind = bytes[1] - '0';
    const bool bitmap = kind == 1 || kind == 4;
    const long long channels = (kind == 3 || kind == 6) ? 3 : 1;

    std::size_t at = 2;
    long long width = 0;
    long long height = 0;
    long long maxValue = 1;
    const auto unreadable = [&reason](const std::string& what) {
        return noteRefusal(reason, "PNM " + what + " is not a number set off by blanks or line feeds");
    };
    if (!readPnmNumber(bytes, count, at, width))
        return unreadable("width");
    if (!readPnmNumber(bytes, count, at, height))
        return unreadable("height");
    if (!bitmap && !readPnmNumber(bytes, count, at, maxValue))
        return unreadable("maximum value");
    if (!fitsLimits(width, height, reason))
        return false;
    // DevIL labels samples wider than a byte as 16-bit but keeps them in a buffer sized
    // for bytes, and writes past it; such files are refused.
    if (maxValue > 255)
        return noteRefusal(reason, "16-bit PNM is not supported");
    if (maxValue < 1)
        return noteRefusal(reason, "PNM maximum value 0 is not valid");
    const long long samples = width * height * channels;

    if (kind >= 4) {
        // One separator ends the header; the samples follow, packed.
        const unsigned long long needed = static_cast<unsigned long long>(bitmap ? (width + 7) / 8 * height : samples);
        const unsigned long long left = remaining(count, at + 1);
        if (left < needed)
            return noteRefusal(reason, "PNM pixel data is " + bytesShort(needed - left));
        return true;
    }
    // Written out in digits: every sample there, each within the maximum and closed by a
    // separator (a file cut inside its last number would otherwise pass as whole), then
    // nothing but separators.
    for (long long i = 0; i < samples; ++i) {
        long long value = 0;
        std::size_t next = at;
        while (next < count && isPnmSpace(bytes[next]))
            ++next;
        if (next >= count)
            return noteRefusal(reason, "PNM data ends after " + number(i) + " of " + number(samples) + " samples");
        if (!readPnmNumber(bytes, count, at, value))
            return unreadable("sample " + number(i + 1));
        if (value > maxValue)
            return noteRefusal(reason, "PNM sample " + number(i + 1) + " is over the maximum value " + number(maxValue));
        if (at == count)
            return noteRefusal(reason, "PNM data ends after " + number(i) + " of " + number(samples) + " samples");
    }
    while (at < count && isPnmSpace(bytes[at]))
        ++at;
    if (at != count)
        return noteRefusal(reason, "PNM has more than its samples");
    return true;
}

bool CPictureLoader::isWholeBmp(const unsigned char* bytes, std::size_t count, std::string& reason) const
{
    if (count < 2 || bytes[0] != 'B' || bytes[1] != 'M')
        return noteRefusal(reason, "not a BMP file");
    const std::string headerCut = "BMP header is cut short";
    if (count < 26)
        return noteRefusal(reason, headerCut);
    const unsigned long pixelOffset = littleEndian32(bytes + 10);
    const unsigned long headerSize = littleEndian32(bytes + 14);

    long long width = 0;
    long long height = 0;
    unsigned bits = 0;
    unsigned long compression = 0;
    unsigned long colours = 0;
    unsigned long long paletteBytes = 0;
    if (headerSize == 12) {                            // the old OS/2 header: 16-bit sizes, 3-byte colours
        width = littleEndian16(bytes + 18);
        height = littleEndian16(bytes + 20);
        if (littleEndian16(bytes + 22) != 1)
            return noteRefusal(reason, "BMP plane count " + number(littleEndian16(bytes + 22)) + " is not 1");
        bits = littleEndian16(bytes + 24);
        colours = bits <= 8 ? 1UL << bits : 0;
        paletteBytes = 3ULL * colours;
    } else if (isWindowsBmpHeader(headerSize)) {
        if (count < 14 + 40)
            return noteRefusal(reason, headerCut);
        width = static_cast<std::int32_t>(littleEndian32(bytes + 18));
        height = static_cast<std::int32_t>(littleEndian32(bytes + 22));
        compression = littleEndian32(bytes + 30);
        // Rows stored top first; the format allows that for unpacked rows only.
        if (height < 0 && compression != 0 && compression != 3)
            return noteRefusal(reason, "top-down BMP with compression " + number(compression) + " is not supported");
        if (height < 0)
            height = -height;
        if (littleEndian16(bytes + 26) != 1)
            return noteRefusal(reason, "BMP plane count " + number(littleEndian16(bytes + 26)) + " is not 1");
        bits = littleEndian16(bytes + 28);
        colours = littleEndian32(bytes + 46);
        if (bits <= 8 && colours == 0)
            colours = 1UL << bits;
        if ((bits <= 8 && colours > (1UL << bits)) || (bits > 8 && colours > 256))
            return noteRefusal(reason, "BMP palette of " + number(colours) + " colours is too large for " + number(bits) +
                                      " bits per pixel");
        paletteBytes = 4ULL * colours;
        if (compression == 3 && headerSize == 40)      // the three channel masks follow the header
            paletteBytes += 12;
    } else {
        return noteRefusal(reason, "BMP header size " + number(headerSize) + " is not supported");
    }
    if (!fitsLimits(width, height, reason))
        return false;

    const bool paletted = bits == 1 || bits == 4 || bits == 8;
    const bool direct = bits == 16 || bits == 24 || bits == 32;
    const bool known = (compression == 0 && (paletted || direct)) || (compression == 1 && bits == 8) ||
                       (compression == 2 && bits == 4) || (compression == 3 && (bits == 16 || bits == 32));
    if (!known)
        return noteRefusal(reason, "BMP of " + number(bits) + " bits per pixel with compression " + number(compression) +
                                  " is not supported");
    if (14ULL + headerSize + paletteBytes > pixelOffset)
        return noteRefusal(reason, "BMP pixel data offset " + number(pixelOffset) + " lies inside its header or palette");
    const unsigned long long stride = (static_cast<unsigned long long>(width) * bits + 31) / 32 * 4;
    if (compression == 1 || compression == 2)
        return isWholeBmpRunLength(bytes, count, pixelOffset, width, height, compression == 2, stride, reason);

    const unsigned long long needed = stride * static_cast<unsigned long long>(height);
    if (remaining(count, pixelOffset) < needed)
        return noteRefusal(reason, "BMP pixel data is " + bytesShort(needed - remaining(count, pixelOffset)));
    return true;
}

// Run-length BMP data: every escape whole, nothing drawn outside the picture, and the
// end-of-picture escape reached before the data ends. Writers may end an 8-bit row with
// a run that pads it to its stored length (a multiple of four pixels), past the picture's
// width: DevIL writes rows one after another into one buffer, so such a run reaches into
// the next row, which the end of line then writes over, and it stops at the buffer's end.
// Its 4-bit reader does not recover from that, so 4-bit rows keep to the width.
bool CPictureLoader::isWholeBmpRunLength(const unsigned char* bytes, std::size_t count, std::size_t at,
                                         long long width, long long height, bool fourBit,
                                         unsigned long long stride, std::string& reason)
{
    const long long rowEnd = fourBit ? width : static_cast<long long>(stride);
    long long x = 0;
    long long y = 0;
    const auto drawn = [&]() {
        if (y >= height)
            return noteRefusal(reason, "BMP run-length data draws past the picture's last row");
        if (x > rowEnd)
            return noteRefusal(reason, "BMP run-length data draws past the end of a row");
        return true;
    };
    for (;;) {
        if (remaining(count, at) < 2)
            return noteRefusal(reason, "BMP run-length data ends before its end-of-picture mark");
        const unsigned first = bytes[at];
        const unsigned second = bytes[at + 1];
        at += 2;
        if (first > 0) {                               // a run of one index (two for 4 bits)
            x += first;
            if (!drawn())
                return false;
        } else if (second == 0) {                      // end of line
            x = 0;
            if (++y > height)
                return noteRefusal(reason, "BMP run-length data has more rows than the picture");
        } else if (second == 1) {                      // end of picture
            return true;
        } else if (second == 2) {                      // move right and up
            if (remaining(count, at) < 2)
                return noteRefusal(reason, "BMP run-length data ends before its end-of-picture mark");
            x += bytes[at];
            y += bytes[at + 1];
            at += 2;
            if (x > width || y > height)
                return noteRefusal(reason, "BMP run-length data moves outside the picture");
        } else {                                       // indices written out, padded to two bytes
            const std::size_t stored = fourBit ? (second + 1) / 2 : second;
            const std::size_t padded = stored + (stored & 1);
            if (remaining(count, at) < padded)
                return noteRefusal(reason, "BMP run-length data ends before its end-of-picture mark");
            at += padded;
            x += second;
            if (!drawn())
                return false;
        }
    }
}

bool CPictureLoader::isWholeTga(const unsigned char* bytes, std::size_t count, std::string& reason) const
{
    if (count < 18)
        return noteRefusal(reason, "TGA header is cut short");
    const unsigned idLength = bytes[0];
    const unsigned mapType = bytes[1];
    const unsigned imageType = bytes[2];
    const unsigned mapFirst = littleEndian16(bytes + 3);
    const unsigned mapLength = littleEndian16(bytes + 5);
    const unsigned mapBits = bytes[7];
    const long long width = littleEndian16(bytes + 12);
    const long long height = littleEndian16(bytes + 14);
    const unsigned bits = bytes[16];
    if (!fitsLimits(width, height, reason))
        return false;
    if (mapType > 1)
        return noteRefusal(reason, "TGA colour map type " + number(mapType) + " is not supported");

    const unsigned kind = imageType & 7;               // 1 palette, 2 colour, 3 grey; +8 run-length
    const bool runLength = (imageType & 8) != 0;
    if (kind < 1 || kind > 3 || (imageType & ~0xFu) != 0 || (imageType & 4) != 0)
        return noteRefusal(reason, "TGA image type " + number(imageType) + " is not supported");
    const std::string depth = " of " + number(bits) + " bits per pixel is not supported";
    if (kind == 1 && mapType != 1)
        return noteRefusal(reason, "TGA palette picture has no colour map");
    if (kind == 1 && bits != 8)
        return noteRefusal(reason, "TGA palette picture" + depth);
    if (kind == 1 && (mapFirst + mapLength > 256 || mapLength == 0))
        return noteRefusal(reason, "TGA colour map of " + number(mapLength) + " colours from " + number(mapFirst) +
                                  " is not supported");
    if (kind == 2 && bits != 15 && bits != 16 && bits != 24 && bits != 32)
        return noteRefusal(reason, "TGA colour picture" + depth);
    if (kind == 3 && bits != 8 && bits != 16)
        return noteRefusal(reason, "TGA grey picture" + depth);
    unsigned long long mapBytes = 0;
    if (mapType == 1) {
        if (mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32)
            return noteRefusal(reason, "TGA colour map of " + number(mapBits) + " bits per colour is not supported");
        mapBytes = static_cast<unsigned long long>(mapLength) * ((mapBits + 7) / 8);
    }

    const unsigned long long pixelBytes = (bits + 7) / 8;
    const unsigned long long pixels = static_cast<unsigned long long>(width) * height;
    std::size_t at = 18 + idLength;
    if (remaining(count, at) < mapBytes)
        return noteRefusal(reason, "TGA colour map is cut short");
    at += static_cast<std::size_t>(mapBytes);
    if (!runLength) {
        if (remaining(count, at) < pixels * pixelBytes)
            return noteRefusal(reason, "TGA pixel data is " + bytesShort(pixels * pixelBytes - remaining(count, at)));
        return true;
    }

    // Every packet whole, and together exactly the picture: a packet that runs past the
    // last pixel would be written past the end of the picture.
    unsigned long long done = 0;
    const std::string cutShort = "TGA run-length data ends before the picture's last pixel";
    while (done < pixels) {
        if (at >= count)
            return noteRefusal(reason, cutShort);
        const unsigned char packet = bytes[at++];
        const unsigned long long length = (packet & 0x7F) + 1ULL;
        const unsigned long long stored = (packet & 0x80) ? pixelBytes : length * pixelBytes;
        if (pixels - done < length)
            return noteRefusal(reason, "TGA run-length data runs past the picture's last pixel");
        if (remaining(count, at) < stored)
            return noteRefusal(reason, cutShort);
        at += static_cast<std::size_t>(stored);
        done += length;
    }
    return true;
}

bool CPictureLoader::isWholeDds(const unsigned char* bytes, std::size_t count, std::string& reason) const
{
    if (count < 4 || std::memcmp(bytes, "DDS ", 4) != 0)
        return noteRefusal(reason, "not a DDS file");
    if (count < 128)
        return noteRefusal(reason, "DDS header is cut short");
    if (littleEndian32(bytes + 4) != 124 || littleEndian32(bytes + 76) != 32)
        return noteRefusal(reason, "DDS header sizes are not valid");
    const long long height = littleEndian32(bytes + 12);
    const long long width = littleEndian32(bytes + 16);
    const unsigned long mipLevels = littleEndian32(bytes + 28);
    const unsigned long formatFlags = littleEndian32(bytes + 80);
    const unsigned char* fourCc = bytes + 84;
    const unsigned long bits = littleEndian32(bytes + 88);
    const unsigned long caps2 = littleEndian32(bytes + 112);

    // Plain 2D textures in DXT1, DXT3 or DXT5 or uncompressed: what a picture of this
    // engine can be. Cube maps, volumes (DevIL takes the header's depth when the volume
    // capability is set, whatever the flags say, so any depth above 1 counts) and the
    // premultiplied and rarer encodings are refused.
    if (caps2 & 0x200)
        return noteRefusal(reason, "DDS cube map is not supported");
    if ((caps2 & 0x200000) || littleEndian32(bytes + 24) > 1)
        return noteRefusal(reason, "DDS volume texture is not supported");
    const long long depth = 1;
    if (!fitsLimits(width, height, reason))
        return false;

    // DevIL reads the bit count even for compressed data, and allocates by it.
    if (bits != 0 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return noteRefusal(reason, "DDS of " + number(bits) + " bits per pixel is not supported");
    unsigned long long blockBytes = 0;                 // per 4x4 block; 0 when uncompressed
    unsigned long long pixelBytes = 0;
    if (formatFlags & 0x4) {
        if (std::memcmp(fourCc, "DXT1", 4) == 0)
            blockBytes = 8;
        else if (std::memcmp(fourCc, "DXT3", 4) == 0 || std::memcmp(fourCc, "DXT5", 4) == 0)
            blockBytes = 16;
        else
            return noteRefusal(reason, "DDS compression " + fourCcName(fourCc) + " is not supported");
    } else if (formatFlags & (0x40 | 0x20000)) {       // RGB or luminance
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
            return noteRefusal(reason, "DDS of " + number(bits) + " bits per pixel is not supported");
        pixelBytes = bits / 8;
    } else {
        return noteRefusal(reason, "DDS pixel format is not supported");
    }

    // Every level that the header announces must be there.
    const unsigned long levels = mipLevels == 0 ? 1 : mipLevels;
    if (levels > 32)
        return noteRefusal(reason, "DDS count of " + number(levels) + " mipmap levels is not valid");
    unsigned long long needed = 0;
    long long w = width;
    long long h = height;
    long long d = depth;
    for (unsigned long level = 0; level < levels; ++level) {
        if (blockBytes)
            needed += static_cast<unsigned long long>((w + 3) / 4) * ((h + 3) / 4) * blockBytes * d;
        else
            needed += static_cast<unsigned long long>(w) * h * d * pixelBytes;
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
        d = d > 1 ? d / 2 : 1;
    }
    // DevIL allocates what the header gives as the pitch or linear size; it may not claim
    // more than the file holds.
    const unsigned long long pitchOrSize = littleEndian32(bytes + 20);
    if (remaining(count, 128) < needed)
        return noteRefusal(reason, "DDS data is " + bytesShort(needed - remaining(count, 128)));
    if (remaining(count, 128) < pitchOrSize)
        return noteRefusal(reason, "DDS pitch or linear size of " + number(pitchOrSize) + " bytes is larger than its data");
    return true;
}

} // namespace VELK
