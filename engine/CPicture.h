#pragma once
// A picture in memory: 8-bit pixels, rows packed, top row first.

#include <cstddef>

#include "math/CMyVector.h"

class CPicture
{
public:
    // Codes of format; any other code has no pixels.
    enum Format
    {
        FORMAT_BGR       = 0,                          // blue, green, red
        FORMAT_BGRA      = 1,                          // blue, green, red, alpha
        FORMAT_LUMINANCE = 2,
        FORMAT_COUNT     = 3
    };

    CPicture(const CMyVector<int, 2>& size, int format, const unsigned char* source);  // null source: zeros
    CPicture(const CPicture& other);
    CPicture& operator=(const CPicture& other);
    ~CPicture();

    void flipVertical();                               // reverses the order of the rows
    // This picture's colours with the mask's alpha, or, where the mask has none, its grey,
    // taken from the nearest pixel of the mask stretched over this picture: a BGRA picture.
    // Empty when either has no pixels.
    CPicture withMask(const CPicture& mask) const;

    static unsigned bytesPerPixel(int format);         // 3, 4, 1; 0 for an unknown code
    std::size_t rowBytes() const;
    std::size_t byteCount() const;                     // width x height x bytes per pixel

    CMyVector<int, 2> size;                            // width, height in pixels
    int format;                                        // a Format code
    unsigned char* pixels;                             // owned, byteCount() bytes; null when empty

private:
    unsigned char maskAt(int x, int y) const;          // the alpha, or the grey of a picture without
};
