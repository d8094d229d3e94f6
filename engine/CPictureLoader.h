#pragma once
// The loader of picture files: DevIL reads them, the loader hands them over as 8-bit
// BGR, BGRA or luminance pictures, top row first, and writes pictures back through DevIL.

#include <cstddef>
#include <map>
#include <string>

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

    // The parsing step: the bytes of a file of the kind that fileName's extension names
    // (any letter case); fileName appears only in the error. Throws like loadFromFile.
    CPicture* loadFromMemory(const std::string& fileName, const unsigned char* bytes, std::size_t count);

    static constexpr long long maxPixels = 1LL << 26;  // width x height; larger pictures are refused

private:
    // CPictureLoaderChecks.cpp: files that would make DevIL hang, run wild or report a
    // partial picture as whole are refused before DevIL sees them.
    static bool isWhole(unsigned type, const unsigned char* bytes, std::size_t count);  // type: DevIL's
    static bool isWholePng(const unsigned char* bytes, std::size_t count);
    static bool isWholeJpeg(const unsigned char* bytes, std::size_t count);
    static bool isWholePnm(const unsigned char* bytes, std::size_t count);
    static bool isWholeBmp(const unsigned char* bytes, std::size_t count);
    static bool isWholeBmpRunLength(const unsigned char* bytes, std::size_t count, std::size_t at,
                                    long long width, long long height, bool fourBit);
    static bool isWholeTga(const unsigned char* bytes, std::size_t count);
    static bool isWholeDds(const unsigned char* bytes, std::size_t count);
    static bool fitsLimits(long long width, long long height);

    std::map<unsigned, int> formats;                   // bytes per pixel -> CPicture format
    std::map<unsigned, unsigned> devilFormats;         // bytes per pixel -> DevIL format (an ILenum)
};

} // namespace VELK
