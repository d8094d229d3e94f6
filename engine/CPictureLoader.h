#pragma once
// The loader of picture files: DevIL reads them, the loader hands them over as 8-bit
// BGR, BGRA or luminance pictures, top row first, and writes pictures back: PNG through
// libpng, set for speed, the other kinds through DevIL.

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/CPicture.h"
#include "engine/VLoader.h"

namespace VELK
{

class CPictureLoader : public VLoader
{
public:
    CPictureLoader();                                  // the first live picture loader starts DevIL
    ~CPictureLoader() override;                        // the last one shuts it down
    CPictureLoader(const CPictureLoader&) = delete;
    CPictureLoader& operator=(const CPictureLoader&) = delete;

    void* loadFromFile(std::string fileName) override;                // a new CPicture
    void saveToFile(void* data, std::string fileName) override;       // data: a CPicture, not taken over
    const char* getProduct() const override;                          // "picture"

    // The parsing step: the bytes of a file of the kind that fileName's extension names
    // (any letter case); fileName appears only in the error. Throws like loadFromFile.
    CPicture* loadFromMemory(const std::string& fileName, const unsigned char* bytes, std::size_t count);

    static constexpr long long defaultPixelLimit = 1LL << 26;  // 8192 x 8192
    void setPixelLimit(long long pixels);              // width x height; larger pictures are refused

private:
    // CPictureLoaderChecks.cpp: files that would make DevIL hang, run wild or report a
    // partial picture as whole are refused before DevIL sees them; reason says why.
    bool isWhole(unsigned type, const unsigned char* bytes, std::size_t count, std::string& reason) const;  // type: DevIL's
    // The size a picture's header declares, from its first bytes alone, so that a picture
    // over the limit is refused before its pixels are read; true when the bytes hold no size
    // (too few, or not of the kind): the checks of the whole file judge it then.
    bool fitsDeclaredSize(unsigned type, const unsigned char* bytes, std::size_t count, std::string& reason) const;
    bool isWholePng(const unsigned char* bytes, std::size_t count, std::string& reason) const;
    bool isWholePngData(const unsigned char* header,
                        const std::vector<std::pair<const unsigned char*, std::size_t>>& data,
                        std::string& reason) const;
    bool isWholeJpeg(const unsigned char* bytes, std::size_t count, std::string& reason) const;
    bool isWholePnm(const unsigned char* bytes, std::size_t count, std::string& reason) const;
    bool isWholeBmp(const unsigned char* bytes, std::size_t count, std::string& reason) const;
    static bool isWholeBmpRunLength(const unsigned char* bytes, std::size_t count, std::size_t at,
                                    long long width, long long height, bool fourBit,
                                    unsigned long long stride, std::string& reason);  // stride: bytes per stored row
    bool isWholeTga(const unsigned char* bytes, std::size_t count, std::string& reason) const;
    bool isWholeDds(const unsigned char* bytes, std::size_t count, std::string& reason) const;
    bool fitsLimits(long long width, long long height, std::string& reason) const;
    // CPictureLoaderPng.cpp: false, and no file left, when the picture cannot be written.
    static bool writePng(const CPicture& picture, const std::string& fileName);

    std::map<unsigned, int> formats;                   // bytes per pixel -> CPicture format
    std::map<unsigned, unsigned> devilFormats;         // bytes per pixel -> DevIL format (an ILenum)
    long long pixelLimit;
};

} // namespace VELK
