// The picture loader over DevIL: loading with the layout chosen from what the file holds,
// and saving.
#include "engine/CPictureLoader.h"

#include <IL/il.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "debugging/CException.h"
#include "engine/CInputFile.h"
#include "math/StringUtils.h"

namespace VELK
{

namespace
{

// Enough of a file for the size its header declares: a JPEG's frame header may come after
// other segments (those of up to 64 KiB are common); one that lies further is judged once
// the whole file is read.
const std::size_t kHeaderBytes = 64 * 1024;

std::string tooLarge(std::uint64_t bytes)
{
    return "the file of " + std::to_string(bytes) + " bytes is too large";
}

// DevIL is one library-wide state: it is started with the first live loader and shut
// down with the last, so that two loaders may live at once.
int liveLoaders = 0;

// One DevIL image for one load or save. DevIL answers every query about the bound image,
// so the image is bound again before each one; it is deleted on every way out.
class CDevilImage
{
public:
    CDevilImage() : name(0)
    {
        ilGenImages(1, &name);
        ilBindImage(name);
    }
    ~CDevilImage()
    {
        ilDeleteImages(1, &name);
        // Failures leave codes on DevIL's error stack; none of them matters once the
        // operation is over, and a full stack would hide later ones.
        while (ilGetError() != IL_NO_ERROR) {
        }
    }
    CDevilImage(const CDevilImage&) = delete;
    CDevilImage& operator=(const CDevilImage&) = delete;

    void bind() const { ilBindImage(name); }
    ILint get(ILenum what) const
    {
        bind();
        return ilGetInteger(what);
    }

private:
    ILuint name;
};

[[noreturn]] void fail(const char* operation, const std::string& fileName)
{
    throw DEBUGGING::CException(std::string(operation) + " " + fileName + " [FAILED]");
}

const char* const kLoad = "VELK::CPictureLoader::loadFromFile";
const char* const kSave = "VELK::CPictureLoader::saveToFile";

// Why DevIL could not read a picture, from the first code on its error stack.
std::string devilFailure()
{
    const ILenum code = ilGetError();
    std::string text;
    switch (code) {
    case IL_OUT_OF_MEMORY:        text = "out of memory"; break;
    case IL_FORMAT_NOT_SUPPORTED: text = "this kind of picture is not supported"; break;
    case IL_ILLEGAL_FILE_VALUE:   text = "the file holds a value out of range"; break;
    case IL_INVALID_FILE_HEADER:  text = "its header is not valid"; break;
    case IL_FILE_READ_ERROR:      text = "its data ends too soon"; break;
    case IL_BAD_DIMENSIONS:       text = "its size is not valid"; break;
    case IL_LIB_JPEG_ERROR:       text = "the JPEG data is corrupt"; break;
    case IL_LIB_PNG_ERROR:        text = "the PNG data is corrupt"; break;
    default: {
        static const char digits[] = "0123456789ABCDEF";
        text = "error 0x";
        for (int shift = 12; shift >= 0; shift -= 4)
            text += digits[(code >> shift) & 15];
    }
    }
    return "DevIL cannot read it: " + text;
}

// The DevIL reader for a file name, from the text after its last '.'; IL_TYPE_UNKNOWN
// for anything else, so that DevIL never guesses a reader from the bytes.
ILenum typeOf(const std::string& fileName)
{
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos)
        return IL_TYPE_UNKNOWN;
    const std::string extension = toLower(fileName.substr(dot + 1));
    static const std::map<std::string, ILenum> types = {
        {"bmp", IL_BMP}, {"dds", IL_DDS}, {"jpg", IL_JPG}, {"jpeg", IL_JPG}, {"jpe", IL_JPG},
        {"png", IL_PNG}, {"ppm", IL_PNM}, {"pgm", IL_PNM}, {"tga", IL_TGA},
    };
    const auto found = types.find(extension);
    return found == types.end() ? IL_TYPE_UNKNOWN : found->second;
}

unsigned channelsOf(ILint format)
{
    switch (format) {
    case IL_COLOUR_INDEX:
    case IL_ALPHA:
    case IL_LUMINANCE:       return 1;
    case IL_LUMINANCE_ALPHA: return 2;
    case IL_RGB:
    case IL_BGR:             return 3;
    case IL_RGBA:
    case IL_BGRA:            return 4;
    default:                 return 0;
    }
}

unsigned bytesOfChannel(ILint type)
{
    switch (type) {
    case IL_BYTE:
    case IL_UNSIGNED_BYTE:   return 1;
    case IL_SHORT:
    case IL_UNSIGNED_SHORT:
    case IL_HALF:            return 2;
    case IL_INT:
    case IL_UNSIGNED_INT:
    case IL_FLOAT:           return 4;
    case IL_DOUBLE:          return 8;
    default:                 return 0;
    }
}

// Whether what DevIL says of a loaded image adds up: its channel type, bytes per
// channel, bytes per pixel and data size agree. Some of its readers get this wrong (a
// 16-bit PNM is labelled 16-bit but sized as 8-bit), and converting such an image reads
// past its buffer.
bool isConsistent(const CDevilImage& image)
{
    const unsigned channels = channelsOf(image.get(IL_IMAGE_FORMAT));
    const unsigned channelBytes = bytesOfChannel(image.get(IL_IMAGE_TYPE));
    const long long width = image.get(IL_IMAGE_WIDTH);
    const long long height = image.get(IL_IMAGE_HEIGHT);
    const long long depth = image.get(IL_IMAGE_DEPTH);
    const long long pixelBytes = image.get(IL_IMAGE_BPP);
    if (channels == 0 || channelBytes == 0 || image.get(IL_IMAGE_BPC) != static_cast<ILint>(channelBytes) ||
        pixelBytes != static_cast<long long>(channels * channelBytes) || depth < 1)
        return false;
    const long long size = static_cast<ILuint>(image.get(IL_IMAGE_SIZE_OF_DATA));
    return width > 0 && height > 0 && size >= width * height * depth * pixelBytes;
}

// Whether every index of a palette picture names a colour of its palette. DevIL's
// conversion looks each one up without a check, so an index past the palette (a BMP
// that declares fewer colours than its pixels use) reads past it.
bool indicesWithinPalette(const CDevilImage& image, std::string& reason)
{
    const long long colours = image.get(IL_PALETTE_NUM_COLS);       // the palette's size over its colour size
    const long long colourBytes = image.get(IL_PALETTE_BPP);
    reason = "the palette of " + std::to_string(colours) + " colours is not supported";
    if (colours < 1 || colours > 256 || colourBytes < 3 || colourBytes > 4)
        return false;
    const long long count = static_cast<long long>(image.get(IL_IMAGE_WIDTH)) * image.get(IL_IMAGE_HEIGHT) *
                            image.get(IL_IMAGE_DEPTH);
    image.bind();
    const ILubyte* indices = ilGetData();
    image.bind();
    if (!indices || !ilGetPalette())
        return false;
    for (long long i = 0; i < count; ++i) {
        if (indices[i] >= colours) {
            reason = "a pixel names a colour beyond the " + std::to_string(colours) + " of its palette";
            return false;
        }
    }
    return true;
}

// Bytes per pixel of the layout a picture is handed over in: grey stays luminance; any
// alpha (grey with alpha, a palette with alpha) gives BGRA; colour and colour palettes
// give BGR. 0 for a layout DevIL reports that is none of these.
unsigned targetBytesPerPixel(const CDevilImage& image)
{
    switch (image.get(IL_IMAGE_FORMAT)) {
    case IL_LUMINANCE:
        return 1;
    case IL_RGB:
    case IL_BGR:
        return 3;
    case IL_RGBA:
    case IL_BGRA:
    case IL_LUMINANCE_ALPHA:
    case IL_ALPHA:
        return 4;
    case IL_COLOUR_INDEX:
        switch (image.get(IL_PALETTE_TYPE)) {
        case IL_PAL_RGBA32:
        case IL_PAL_BGRA32:
            return 4;
        case IL_PAL_RGB24:
        case IL_PAL_BGR24:
        case IL_PAL_RGB32:
        case IL_PAL_BGR32:
            return 3;
        default:
            return 0;
        }
    default:
        return 0;
    }
}

} // namespace

CPictureLoader::CPictureLoader()
    : VLoader("bmp dds jpg jpeg jpe png ppm tga pgm"), pixelLimit(defaultPixelLimit)
{
    if (liveLoaders++ == 0)
        ilInit();
    ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
    ilEnable(IL_ORIGIN_SET);
    ilEnable(IL_FILE_OVERWRITE);

    formats = {{1, CPicture::FORMAT_LUMINANCE}, {3, CPicture::FORMAT_BGR}, {4, CPicture::FORMAT_BGRA}};
    devilFormats = {{1, IL_LUMINANCE}, {3, IL_BGR}, {4, IL_BGRA}};
}

CPictureLoader::~CPictureLoader()
{
    if (--liveLoaders == 0)
        ilShutDown();
}

void CPictureLoader::setPixelLimit(long long pixels)
{
    pixelLimit = pixels;
}

void* CPictureLoader::loadFromFile(std::string fileName)
{
    try {
        CInputFile file(fileName);
        // The header first: a TGA that declares 16384 x 16384 pixels holds 805 MB of them,
        // none of which need be read to refuse it.
        std::string reason;
        std::vector<unsigned char> header(kHeaderBytes);
        bool read = true;
        header.resize(file.readAt(0, reinterpret_cast<char*>(header.data()), header.size(), read));
        if (read && !fitsDeclaredSize(typeOf(fileName), header.data(), header.size(), reason))
            refuse(kLoad, fileName, reason);
        // The image library takes no more than 4 GiB: a larger file is refused before a byte
        // of it is held, with the reason a load from memory gives.
        if (file.getSize() > std::numeric_limits<ILuint>::max())
            refuse(kLoad, fileName, tooLarge(file.getSize()));
        std::string bytes;
        if (!file.readAll(bytes))
            refuse(kLoad, fileName, file.getReason());
        return loadFromMemory(fileName, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    } catch (const DEBUGGING::CException&) {
        throw;
    } catch (const std::exception& failure) {
        refuse(kLoad, fileName, reasonFor(failure));
    }
}

const char* CPictureLoader::getProduct() const
{
    return "picture";
}

CPicture* CPictureLoader::loadFromMemory(const std::string& fileName, const unsigned char* bytes,
                                         std::size_t count)
{
    const ILenum type = typeOf(fileName);
    if (type == IL_TYPE_UNKNOWN)
        refuse(kLoad, fileName, "the file name's extension names no picture format that is read");
    if (!bytes || count == 0)
        refuse(kLoad, fileName, "the file is empty");
    if (count > std::numeric_limits<ILuint>::max())
        refuse(kLoad, fileName, tooLarge(count));
    std::string reason;
    if (!isWhole(type, bytes, count, reason))
        refuse(kLoad, fileName, reason);

    // Only the top level of a DDS becomes the picture; DevIL is handed a header that
    // announces no smaller levels, so that it reads nothing it would throw away.
    std::vector<unsigned char> topLevelOnly;
    if (type == IL_DDS) {
        topLevelOnly.assign(bytes, bytes + count);
        topLevelOnly[10] &= 0xFD;                      // flags: no mipmap count
        std::fill(topLevelOnly.begin() + 28, topLevelOnly.begin() + 32, 0);
        topLevelOnly[108] &= 0xF7;                     // caps: not complex
        topLevelOnly[110] &= 0xBF;                     // caps: no mipmaps
        bytes = topLevelOnly.data();
    }

    CDevilImage image;
    if (!ilLoadL(type, bytes, static_cast<ILuint>(count)))
        refuse(kLoad, fileName, devilFailure());

    const ILint width = image.get(IL_IMAGE_WIDTH);
    const ILint height = image.get(IL_IMAGE_HEIGHT);
    if (!fitsLimits(width, height, reason))
        refuse(kLoad, fileName, reason);
    // What is left cannot come from a file that passed the checks; the words say where the
    // fault lies, should DevIL change.
    const std::string layoutFault = "DevIL gives a decoded picture whose layout does not add up";
    if (!isConsistent(image))
        refuse(kLoad, fileName, layoutFault);
    if (image.get(IL_IMAGE_FORMAT) == IL_COLOUR_INDEX && !indicesWithinPalette(image, reason))
        refuse(kLoad, fileName, reason);

    const unsigned target = targetBytesPerPixel(image);
    const auto format = formats.find(target);
    const auto devilFormat = devilFormats.find(target);
    if (format == formats.end() || devilFormat == devilFormats.end())
        refuse(kLoad, fileName, "DevIL gives a decoded picture of an unknown pixel layout");

    // Every channel type DevIL knows (16-bit, float, ...) becomes unsigned bytes here.
    image.bind();
    if (!ilConvertImage(devilFormat->second, IL_UNSIGNED_BYTE))
        refuse(kLoad, fileName, "DevIL cannot convert the picture to 8-bit channels");
    if (image.get(IL_IMAGE_FORMAT) != static_cast<ILint>(devilFormat->second) ||
        image.get(IL_IMAGE_TYPE) != IL_UNSIGNED_BYTE ||
        image.get(IL_IMAGE_BPP) != static_cast<ILint>(target) ||
        image.get(IL_IMAGE_WIDTH) != width || image.get(IL_IMAGE_HEIGHT) != height)
        refuse(kLoad, fileName, layoutFault);

    // The copy never reads past what DevIL holds.
    const long long needed = static_cast<long long>(width) * height * target;
    if (static_cast<ILuint>(image.get(IL_IMAGE_SIZE_OF_DATA)) < static_cast<unsigned long long>(needed))
        refuse(kLoad, fileName, layoutFault);
    const bool bottomFirst = image.get(IL_IMAGE_ORIGIN) == IL_ORIGIN_LOWER_LEFT;
    image.bind();
    const ILubyte* data = ilGetData();
    if (!data)
        refuse(kLoad, fileName, layoutFault);

    CPicture* picture = new CPicture(CMyVector<int, 2>(width, height), format->second, data);
    if (bottomFirst)
        picture->flipVertical();
    return picture;
}

void CPictureLoader::saveToFile(void* data, std::string fileName)
{
    if (!data)
        fail(kSave, fileName);
    const CPicture& picture = *static_cast<const CPicture*>(data);
    const auto devilFormat = devilFormats.find(CPicture::bytesPerPixel(picture.format));
    std::string reason;
    if (devilFormat == devilFormats.end() || !picture.pixels || !fitsLimits(picture.size[0], picture.size[1], reason))
        fail(kSave, fileName);
    if (typeOf(fileName) == IL_PNG) {
        // DevIL leaves libpng at its slowest settings and offers no way to change them;
        // for a picture of the screen that took longer than drawing it.
        if (!writePng(picture, fileName))
            fail(kSave, fileName);
        return;
    }

    // An image made by ilTexImage has its origin at the lower left: its first row is the
    // bottom one. The copy is turned that way, and the origin stated once more, so that
    // every writer puts the top row at the top; the caller's picture keeps its order.
    CPicture copy(picture);
    copy.flipVertical();

    CDevilImage image;
    if (!ilTexImage(static_cast<ILuint>(copy.size[0]), static_cast<ILuint>(copy.size[1]), 1,
                    static_cast<ILubyte>(devilFormat->first), devilFormat->second, IL_UNSIGNED_BYTE,
                    copy.pixels))
        fail(kSave, fileName);
    image.bind();
    ilRegisterOrigin(IL_ORIGIN_LOWER_LEFT);
    image.bind();
    if (!ilSaveImage(fileName.c_str()))
        fail(kSave, fileName);
}

} // namespace VELK
