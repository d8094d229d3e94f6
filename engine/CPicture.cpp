// The in-memory picture: allocation, deep copies, row flipping.
#include "engine/CPicture.h"

#include <algorithm>
#include <cstring>

namespace
{
unsigned char* copyPixels(const unsigned char* source, std::size_t count)
{
    if (count == 0)
        return nullptr;
    unsigned char* pixels = new unsigned char[count];
    if (source)
        std::memcpy(pixels, source, count);
    else
        std::memset(pixels, 0, count);
    return pixels;
}
} // namespace

CPicture::CPicture(const CMyVector<int, 2>& size, int format, const unsigned char* source)
    : size(size), format(format), pixels(nullptr)
{
    pixels = copyPixels(source, byteCount());
}

CPicture::CPicture(const CPicture& other)
    : size(other.size), format(other.format), pixels(copyPixels(other.pixels, other.byteCount()))
{
}

CPicture& CPicture::operator=(const CPicture& other)
{
    if (this == &other)
        return *this;
    unsigned char* copy = copyPixels(other.pixels, other.byteCount());
    delete[] pixels;
    size = other.size;
    format = other.format;
    pixels = copy;
    return *this;
}

CPicture::~CPicture()
{
    delete[] pixels;
}

unsigned CPicture::bytesPerPixel(int format)
{
    switch (format) {
    case FORMAT_BGR:       return 3;
    case FORMAT_BGRA:      return 4;
    case FORMAT_LUMINANCE: return 1;
    default:               return 0;
    }
}

std::size_t CPicture::rowBytes() const
{
    return size[0] > 0 ? static_cast<std::size_t>(size[0]) * bytesPerPixel(format) : 0;
}

std::size_t CPicture::byteCount() const
{
    return size[1] > 0 ? rowBytes() * static_cast<std::size_t>(size[1]) : 0;
}

unsigned char CPicture::maskAt(int x, int y) const
{
    const unsigned char* p = pixels + (static_cast<std::size_t>(y) * static_cast<std::size_t>(size[0]) + x) * bytesPerPixel(format);
    switch (format) {
    case FORMAT_BGRA:      return p[3];
    case FORMAT_LUMINANCE: return p[0];
    // The eye's weights of red, green and blue, as a grey picture would be made.
    default:               return static_cast<unsigned char>((114 * p[0] + 587 * p[1] + 299 * p[2] + 500) / 1000);
    }
}

CPicture CPicture::withMask(const CPicture& mask) const
{
    if (!pixels || !mask.pixels)
        return CPicture(CMyVector<int, 2>(0, 0), FORMAT_BGRA, nullptr);
    CPicture masked(size, FORMAT_BGRA, nullptr);
    const unsigned from = bytesPerPixel(format);
    unsigned char* out = masked.pixels;
    for (int y = 0; y < size[1]; ++y) {
        const int maskY = static_cast<int>(static_cast<long long>(y) * mask.size[1] / size[1]);
        for (int x = 0; x < size[0]; ++x, out += 4) {
            const unsigned char* p = pixels + (static_cast<std::size_t>(y) * static_cast<std::size_t>(size[0]) + x) * from;
            out[0] = p[0];
            out[1] = p[from == 1 ? 0 : 1];
            out[2] = p[from == 1 ? 0 : 2];
            out[3] = mask.maskAt(static_cast<int>(static_cast<long long>(x) * mask.size[0] / size[0]), maskY);
        }
    }
    return masked;
}

void CPicture::flipVertical()
{
    if (!pixels)
        return;
    const std::size_t row = rowBytes();
    const std::size_t height = static_cast<std::size_t>(size[1]);
    for (std::size_t i = 0; i < height / 2; ++i) {
        unsigned char* top = pixels + i * row;
        unsigned char* bottom = pixels + (height - 1 - i) * row;
        std::swap_ranges(top, top + row, bottom);
    }
}
