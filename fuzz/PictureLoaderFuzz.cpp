// Arbitrary bytes to the picture loader's parsing step, as each kind of picture file:
// the first byte picks the file name's extension, the rest is the file.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "debugging/CException.h"
#include "engine/CPictureLoader.h"

namespace
{

// In the order of the loader's extension list; seeds start with the index of theirs.
const char* const kNames[] = {"fuzz.bmp", "fuzz.dds", "fuzz.jpg", "fuzz.jpeg", "fuzz.jpe",
                              "fuzz.png", "fuzz.ppm", "fuzz.tga", "fuzz.pgm"};
const unsigned kKinds = sizeof kNames / sizeof kNames[0];
const unsigned kPng = 5;

std::uint32_t readBig32(const unsigned char* at)
{
    return (std::uint32_t(at[0]) << 24) | (std::uint32_t(at[1]) << 16) | (std::uint32_t(at[2]) << 8) | at[3];
}

// Random changes almost never keep a PNG chunk's CRC right, so nothing past the CRC
// check would be reached. For half of the PNG inputs (the selector's next bit) every
// whole chunk gets its CRC mended first.
void mendPngCrcs(std::vector<unsigned char>& bytes)
{
    std::size_t at = 8;
    while (bytes.size() >= at + 12) {
        const std::uint32_t length = readBig32(&bytes[at]);
        if (length > bytes.size() - at - 12)
            return;
        const std::uint32_t crc = static_cast<std::uint32_t>(
            crc32(crc32(0L, Z_NULL, 0), &bytes[at + 4], static_cast<uInt>(length + 4)));
        unsigned char* out = &bytes[at + 8 + length];
        out[0] = static_cast<unsigned char>(crc >> 24);
        out[1] = static_cast<unsigned char>(crc >> 16);
        out[2] = static_cast<unsigned char>(crc >> 8);
        out[3] = static_cast<unsigned char>(crc);
        at += 12 + length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A picture of millions of pixels takes DevIL seconds under the sanitizers; the lower
    // limit keeps every input well inside the per-input time limit, and the checks that
    // enforce it are the same.
    static VELK::CPictureLoader& loader = *[] {
        static VELK::CPictureLoader made;
        made.setPixelLimit(1 << 20);
        return &made;
    }();
    if (size < 1)
        return 0;
    const unsigned kind = data[0] % kKinds;
    std::vector<unsigned char> bytes(data + 1, data + size);
    if (kind == kPng && (data[0] / kKinds) % 2 == 1)
        mendPngCrcs(bytes);
    try {
        delete loader.loadFromMemory(kNames[kind], bytes.data(), bytes.size());
    } catch (const DEBUGGING::CException&) {
        // A refused file is the expected outcome for most inputs.
    }
    return 0;
}
