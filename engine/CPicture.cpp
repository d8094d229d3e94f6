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
