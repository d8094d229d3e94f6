// The picture loader over the real DevIL: every extension it declares, the layout chosen
// from what a file holds, top row first, save and load as each other's inverse, and bad
// files refused with the loadFromFile exception.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <zlib.h>

#include "debugging/CException.h"
#include "engine/CFactoryLoader.h"
#include "engine/CPictureLoader.h"
#include "tests/support/GlobalLogLines.h"
#include "tests/support/RowNames.h"

namespace
{

using testsupport::operator<<;

using Bytes = std::vector<unsigned char>;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

const std::string kPictures = VELK_TEST_DATA "/pictures/";
const std::string kRegress = VELK_TEST_DATA "/regress/";

Bytes readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes bytesOf(const CPicture& picture)
{
    return picture.pixels ? Bytes(picture.pixels, picture.pixels + picture.byteCount()) : Bytes{};
}

std::string loadFailure(const std::string& path)
{
    return "VELK::CPictureLoader::loadFromFile " + path + " [FAILED]";
}

std::string saveFailure(const std::string& path)
{
    return "VELK::CPictureLoader::saveToFile " + path + " [FAILED]";
}

// The 3x2 picture of the fixtures, top row red, green, blue; bottom row white, black and
// (64, 128, 192); in the loader's byte order.
const Bytes kBgr = {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 0, 0, 0, 192, 128, 64};
const Bytes kBgra = {0, 0, 255, 255, 0, 255, 0, 128, 255, 0, 0, 0,
                     255, 255, 255, 64, 0, 0, 0, 32, 192, 128, 64, 16};
const Bytes kGrey = {0, 50, 100, 150, 200, 250};
const Bytes kGreyAlpha = {0, 0, 0, 255, 50, 50, 50, 200, 100, 100, 100, 100,
                          150, 150, 150, 50, 200, 200, 200, 25, 250, 250, 250, 0};
// The palette's alpha goes with the colour: red 255, green 128, blue 255, white 64,
// black 0, the last colour 16.
const Bytes kPaletteAlpha = {0, 0, 255, 255, 0, 255, 0, 128, 255, 0, 0, 255,
                             255, 255, 255, 64, 0, 0, 0, 0, 192, 128, 64, 16};
const Bytes kRunLength = {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255, 255};

Bytes greenOverWhite()
{
    Bytes bytes;
    for (int i = 0; i < 16; ++i)
        bytes.insert(bytes.end(), {0, 255, 0, 255});
    for (int i = 0; i < 16; ++i)
        bytes.insert(bytes.end(), {255, 255, 255, 255});
    return bytes;
}

class PictureLoaderTest : public testing::Test
{
protected:
    CPicture* load(const std::string& path)
    {
        return static_cast<CPicture*>(loader.loadFromFile(path));
    }

    VELK::CPictureLoader loader;
};

// ---- What each fixture yields --------------------------------------------------------

struct Fixture
{
    const char* name;                                  // the fixture file
    int width;
    int height;
    int format;
    Bytes bytes;
};

const Fixture kFixtures[] = {
    {"rgb.bmp", 3, 2, CPicture::FORMAT_BGR, kBgr},
    {"top-down.bmp", 3, 2, CPicture::FORMAT_BGR, kBgr},
    {"palette.bmp", 3, 2, CPicture::FORMAT_BGR, kBgr},
    {"rle8.bmp", 3, 2, CPicture::FORMAT_BGR, kBgr},
    {"rle8-padded.bmp", 3, 2, CPicture::FORMAT_BGR, kBgr},
    {"rgba.dds", 3, 2, CPicture::FORMAT_BGRA, kBgra},
    {"dxt1.dds", 4, 8, CPicture::FORMAT_BGRA, greenOverWhite()},
    {"rgb.png", 3, 2, CPicture::FORMAT_BGR, kBgr},
    {"rgba.png", 3, 2, CPicture::FORMAT_BGRA, kBgra},
    {"grey.png", 3, 2, CPicture::FORMAT_LUMINANCE, kGrey},
    {"grey-alpha.png", 3, 2, CPicture::FORMAT_BGRA, kGreyAlpha},
    {"palette.png", 3, 2, CPicture::FORMAT_BGR, kBgr},
    {"palette-alpha.png", 3, 2, CPicture::FORMAT_BGRA, kPaletteAlpha},
    {"rgb16.png", 3, 2, CPicture::FORMAT_BGR, kBgr},
    {"rgba16.png", 3, 2, CPicture::FORMAT_BGRA, kBgra},
    {"grey16.png", 3, 2, CPicture::FORMAT_LUMINANCE, kGrey},
    {"rgb.ppm", 3, 2, CPicture::FORMAT_BGR, kBgr},
    {"ascii.ppm", 3, 2, CPicture::FORMAT_BGR, kBgr},
    {"grey.pgm", 3, 2, CPicture::FORMAT_LUMINANCE, kGrey},
    {"rgb.tga", 3, 2, CPicture::FORMAT_BGR, kBgr},
    {"rgba-top-left.tga", 3, 2, CPicture::FORMAT_BGRA, kBgra},
    {"rle.tga", 3, 2, CPicture::FORMAT_BGR, kRunLength},
    {"grey.tga", 3, 2, CPicture::FORMAT_LUMINANCE, kGrey},
};

class PictureFile : public PictureLoaderTest, public testing::WithParamInterface<Fixture> {};

TEST_P(PictureFile, YieldsItsLayoutAndExactBytesTopRowFirst)
{
    const Fixture& fixture = GetParam();
    std::unique_ptr<CPicture> picture(load(kPictures + fixture.name));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->size[0], fixture.width);
    EXPECT_EQ(picture->size[1], fixture.height);
    EXPECT_EQ(picture->format, fixture.format);
    EXPECT_EQ(bytesOf(*picture), fixture.bytes);
}

INSTANTIATE_TEST_SUITE_P(Files, PictureFile, testing::ValuesIn(kFixtures), testsupport::RowName());

// JPEG is lossy: a flat red (black) block over a flat blue (white) block, 8x16, comes
// back within a few levels of its colours.
struct Jpeg
{
    const char* name;                                  // the fixture file
    int format;
    Bytes top;                                         // first pixel, loader byte order
    Bytes bottom;                                      // last pixel
};
const Jpeg kJpegs[] = {
    {"rgb.jpg", CPicture::FORMAT_BGR, {0, 0, 255}, {255, 0, 0}},
    {"progressive.jpe", CPicture::FORMAT_BGR, {0, 0, 255}, {255, 0, 0}},
    {"grey.jpeg", CPicture::FORMAT_LUMINANCE, {0}, {255}},
};

class JpegFile : public PictureLoaderTest, public testing::WithParamInterface<Jpeg> {};

TEST_P(JpegFile, YieldsItsLayoutWithinAFewLevels)
{
    const Jpeg& jpeg = GetParam();
    std::unique_ptr<CPicture> picture(load(kPictures + jpeg.name));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->size[0], 8);
    EXPECT_EQ(picture->size[1], 16);
    ASSERT_EQ(picture->format, jpeg.format);
    const std::size_t pixel = jpeg.top.size();
    for (std::size_t i = 0; i < pixel; ++i) {
        EXPECT_NEAR(picture->pixels[i], jpeg.top[i], 3) << "top, byte " << i;
        EXPECT_NEAR(picture->pixels[picture->byteCount() - pixel + i], jpeg.bottom[i], 3) << "bottom, byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, JpegFile, testing::ValuesIn(kJpegs), [](const auto& info) {
    std::string name = info.param.name;
    return name.substr(name.find('.') + 1);
});

TEST_F(PictureLoaderTest, ExtensionIsReadInAnyLetterCase)
{
    const Bytes bytes = readFile(kPictures + "rgb.png");
    std::unique_ptr<CPicture> picture(loader.loadFromMemory("Data/RGB.PNG", bytes.data(), bytes.size()));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(bytesOf(*picture), kBgr);
}

TEST_F(PictureLoaderTest, SameFileTwiceAndTwoLoadersAtOnce)
{
    std::unique_ptr<CPicture> first(load(kPictures + "rgba.png"));
    {
        VELK::CPictureLoader second;
        std::unique_ptr<CPicture> other(static_cast<CPicture*>(second.loadFromFile(kPictures + "grey.pgm")));
        EXPECT_EQ(bytesOf(*other), kGrey);
    }
    // The second loader's end leaves DevIL running for this one.
    std::unique_ptr<CPicture> again(load(kPictures + "rgba.png"));
    EXPECT_EQ(bytesOf(*first), kBgra);
    EXPECT_EQ(bytesOf(*again), kBgra);
}

// The DXT1 fixture changed at one little-endian field of its header.
Bytes dxt1With(std::size_t at, unsigned long value, const Bytes& appended = {})
{
    Bytes bytes = readFile(kPictures + "dxt1.dds");
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
    bytes.insert(bytes.end(), appended.begin(), appended.end());
    return bytes;
}

TEST_F(PictureLoaderTest, DdsWithSmallerLevelsGivesItsTopLevel)
{
    // Three levels, 4x8, 2x4 and 1x2: two more blocks after the two of the top level.
    Bytes dds = dxt1With(28, 3, Bytes(16, 0));
    dds[10] |= 0x02;                                   // mipmap count present
    dds[110] |= 0x40;                                  // mipmapped
    dds[108] |= 0x08;                                  // complex
    std::unique_ptr<CPicture> picture(loader.loadFromMemory("levels.dds", dds.data(), dds.size()));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->size[0], 4);
    EXPECT_EQ(picture->size[1], 8);
    EXPECT_EQ(bytesOf(*picture), greenOverWhite());

    // The same, one block short of what the levels need.
    dds.resize(dds.size() - 8);
    EXPECT_THROW(delete loader.loadFromMemory("levels.dds", dds.data(), dds.size()), DEBUGGING::CException);
}

// ---- Through the factory ---------------------------------------------------------------

class PictureThroughFactory : public testing::Test
{
protected:
    void SetUp() override
    {
        factory.unregisterAll();
        factory.registerLoader(new VELK::CPictureLoader);
        fs::create_directories("Data");
        fs::copy_file(kPictures + "rgb.png", "Data/wood.png", fs::copy_options::overwrite_existing);
        fs::remove("Data/missing.png");
        log.mark();
    }
    void TearDown() override { factory.unregisterAll(); }

    VELK::CFactoryLoader& factory = VELK::CFactoryLoader::getInstance();
    GlobalLogLines log;
};

TEST_F(PictureThroughFactory, MissingPictureGivesItsReasonAndNull)
{
    EXPECT_EQ(factory.loadFromFile("Data/missing.png"), nullptr);
    EXPECT_EQ(log.sinceMark(), (Lines{"T -> [ ERROR ] VELK::CPictureLoader::loadFromFile : Data/missing.png : "
                                      "cannot open: No such file or directory",
                                      "T -> [ ERROR ] " + loadFailure("Data/missing.png")}));
}

TEST_F(PictureThroughFactory, UpperCaseExtensionIsNotFound)
{
    EXPECT_EQ(factory.loadFromFile("Data/wood.PNG"), nullptr);
    EXPECT_EQ(log.sinceMark(), Lines{"T -> [ ERROR ] VELK::CFactoryLoader::loadFromFile : PNG [NOT FOUND]"});
}

TEST_F(PictureThroughFactory, RefusedPictureGivesItsReasonThenTheFailedLine)
{
    Bytes cut = readFile(kPictures + "rgb.png");
    cut.resize(cut.size() - 1);
    writeFile("Data/cut.png", cut);
    EXPECT_EQ(factory.loadFromFile("Data/cut.png"), nullptr);
    EXPECT_EQ(log.sinceMark(), (Lines{"T -> [ ERROR ] VELK::CPictureLoader::loadFromFile : Data/cut.png : "
                                      "PNG data ends inside chunk IEND",
                                      "T -> [ ERROR ] " + loadFailure("Data/cut.png")}));
}

TEST_F(PictureThroughFactory, PictureComesBackAsACPicture)
{
    std::unique_ptr<CPicture> picture(static_cast<CPicture*>(factory.loadFromFile("Data/wood.png")));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->format, CPicture::FORMAT_BGR);
    EXPECT_EQ(bytesOf(*picture), kBgr);
    EXPECT_EQ(log.sinceMark(), Lines{});
}

// ---- Bad files -------------------------------------------------------------------------

TEST_F(PictureLoaderTest, MissingFileNamesThePathAsPassed)
{
    try {
        load("Data/missing.png");
        FAIL() << "no exception";
    } catch (const DEBUGGING::CException& failure) {
        EXPECT_STREQ(failure.what(), loadFailure("Data/missing.png").c_str());
    }
}

struct BadFile
{
    std::string name;                                  // also the file's name; its extension picks the reader
    Bytes bytes;
    std::string reason;                                // the log line's last part
};

class BadPicture : public PictureLoaderTest, public testing::WithParamInterface<BadFile> {};

TEST_P(BadPicture, IsRefusedWithTheLoadExceptionAfterOneLineSayingWhy)
{
    const BadFile& bad = GetParam();
    writeFile(bad.name, bad.bytes);
    GlobalLogLines log;
    try {
        delete load(bad.name);
        FAIL() << "loaded";
    } catch (const DEBUGGING::CException& failure) {
        EXPECT_STREQ(failure.what(), loadFailure(bad.name).c_str());
    }
    EXPECT_EQ(log.sinceMark(),
              Lines{"T -> [ ERROR ] VELK::CPictureLoader::loadFromFile : " + bad.name + " : " + bad.reason});
}

// A picture followed by 4 GiB of nothing (a sparse file): refused by its size, before it is read.
TEST_F(PictureLoaderTest, FileOverFourGiBUnread)
{
    fs::copy_file(kPictures + "rgb.tga", "huge.tga", fs::copy_options::overwrite_existing);
    fs::resize_file("huge.tga", (1ull << 32) + 1);
    GlobalLogLines log;
    EXPECT_THROW(delete load("huge.tga"), DEBUGGING::CException);
    EXPECT_EQ(log.sinceMark(), Lines{"T -> [ ERROR ] VELK::CPictureLoader::loadFromFile : huge.tga : "
                                     "the file of 4294967297 bytes is too large"});
    fs::remove("huge.tga");
}

// Each lossless fixture cut short: after its first bytes, in the middle, one byte short;
// with what is said of each cut (the empty file: "the file is empty").
struct Cut
{
    const char* name;
    const char* reasons[3];                            // cut after 12 bytes, in the middle, one byte short
};

const char* const kBmpHeaderCut = "BMP header is cut short";
const char* const kDdsHeaderCut = "DDS header is cut short";
const char* const kJpegCut = "JPEG data ends before its end-of-image marker";
const char* const kPngCut = "PNG data ends before chunk IEND";
const char* const kTgaHeaderCut = "TGA header is cut short";

const Cut kCuts[] = {
    {"rgb.bmp", {kBmpHeaderCut, kBmpHeaderCut, "BMP pixel data is 1 byte short"}},
    {"palette.bmp", {kBmpHeaderCut, kBmpHeaderCut, "BMP pixel data is 1 byte short"}},
    {"rle8.bmp", {kBmpHeaderCut, kBmpHeaderCut, "BMP run-length data ends before its end-of-picture mark"}},
    {"top-down.bmp", {kBmpHeaderCut, kBmpHeaderCut, "BMP pixel data is 1 byte short"}},
    {"rgba.dds", {kDdsHeaderCut, kDdsHeaderCut, "DDS data is 1 byte short"}},
    {"dxt1.dds", {kDdsHeaderCut, kDdsHeaderCut, "DDS data is 1 byte short"}},
    {"rgb.jpg", {kJpegCut, kJpegCut, kJpegCut}},
    {"grey.jpeg", {kJpegCut, kJpegCut, kJpegCut}},
    {"progressive.jpe", {kJpegCut, kJpegCut, kJpegCut}},
    {"rgb.png", {kPngCut, kPngCut, "PNG data ends inside chunk IEND"}},
    {"palette.png", {kPngCut, "PNG data ends inside chunk PLTE", "PNG data ends inside chunk IEND"}},
    {"rgb16.png", {kPngCut, "PNG data ends inside chunk IDAT", "PNG data ends inside chunk IEND"}},
    {"rgb.ppm", {"PNM pixel data is 17 bytes short", "PNM pixel data is 15 bytes short", "PNM pixel data is 1 byte short"}},
    {"ascii.ppm",
     {"PNM width is not a number set off by blanks or line feeds", "PNM data ends after 3 of 18 samples",
      "PNM data ends after 17 of 18 samples"}},
    {"grey.pgm", {"PNM pixel data is 5 bytes short", "PNM pixel data is 6 bytes short", "PNM pixel data is 1 byte short"}},
    {"rgb.tga", {kTgaHeaderCut, "TGA pixel data is 18 bytes short", "TGA pixel data is 1 byte short"}},
    {"rle.tga", {kTgaHeaderCut, kTgaHeaderCut, "TGA run-length data ends before the picture's last pixel"}},
    {"rgba-top-left.tga", {kTgaHeaderCut, "TGA pixel data is 21 bytes short", "TGA pixel data is 1 byte short"}},
};

std::vector<BadFile> truncatedFiles()
{
    std::vector<BadFile> files;
    for (const Cut& cut : kCuts) {
        const Bytes whole = readFile(kPictures + cut.name);
        const std::size_t lengths[] = {0, 12, whole.size() / 2, whole.size() - 1};
        for (std::size_t i = 0; i < 4; ++i) {
            const std::string file = "cut" + std::to_string(lengths[i]) + "-" + cut.name;
            files.push_back({file, Bytes(whole.begin(), whole.begin() + static_cast<long>(lengths[i])),
                             i == 0 ? "the file is empty" : cut.reasons[i - 1]});
        }
    }
    return files;
}

INSTANTIATE_TEST_SUITE_P(Truncated, BadPicture, testing::ValuesIn(truncatedFiles()), testsupport::RowName());

Bytes text(const std::string& value)
{
    return Bytes(value.begin(), value.end());
}

Bytes garbage(std::size_t count, unsigned seed)
{
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = static_cast<unsigned char>(seed >> 16);
    }
    return bytes;
}

const BadFile kGarbage[] = {
    {"text.bmp", text("not a picture at all\n"), "not a BMP file"},
    {"text.dds", text("not a picture at all\n"), "not a DDS file"},
    {"text.jpg", text("not a picture at all\n"), "not a JPEG file"},
    {"text.png", text("not a picture at all\n"), "not a PNG file"},
    {"text.ppm", text("not a picture at all\n"), "not a PNM file"},
    {"text.tga", text("not a picture at all\n"), "8293 x 29793 pixels is over the limit of 67108864"},
    {"noise.bmp", garbage(300, 1), "not a BMP file"},
    {"noise.dds", garbage(300, 2), "not a DDS file"},
    {"noise.jpe", garbage(300, 3), "not a JPEG file"},
    {"noise.jpeg", garbage(300, 4), "not a JPEG file"},
    {"noise.png", garbage(300, 5), "not a PNG file"},
    {"noise.pgm", garbage(300, 6), "not a PNM file"},
    {"noise.tga", garbage(300, 7), "4798 x 17133 pixels is over the limit of 67108864"},
    {"png-named.bmp", readFile(kPictures + "rgb.png"), "not a BMP file"},
    {"bmp-named.png", readFile(kPictures + "rgb.bmp"), "not a PNG file"},
    {"tga-named.ppm", readFile(kPictures + "rgb.tga"), "not a PNM file"},
    {"unknown-extension.gif", readFile(kPictures + "rgb.png"),
     "the file name's extension names no picture format that is read"},
    {"no-extension", readFile(kPictures + "rgb.png"), "the file name's extension names no picture format that is read"},
    {"samples-short.ppm", text("P3\n1 1\n255\n1 2 \n"), "PNM data ends after 2 of 3 samples"},
    {"no-components.jpg", {0xFF, 0xD8, 0xFF, 0xC0, 0, 8, 8, 0, 2, 0, 3, 0, 0xFF, 0xDA, 0, 2, 0, 0, 0xFF, 0xD9},
     "DevIL cannot read it: the JPEG data is corrupt"},
};

INSTANTIATE_TEST_SUITE_P(Garbage, BadPicture, testing::ValuesIn(kGarbage), testsupport::RowName());

// Headers alone, each declaring 16384 x 16384 pixels (805 MB as a TGA): refused by the size,
// which is judged before the pixels are read.
const std::string kOverLimit = "16384 x 16384 pixels is over the limit of 67108864";
const BadFile kHeadersOverLimit[] = {
    {"header.png", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0x40, 0, 0, 0, 0x40, 0, 8, 2},
     kOverLimit},
    {"header.bmp", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 0, 0x40, 0, 0, 0, 0x40, 0, 0, 1, 0, 24, 0}, kOverLimit},
    {"header.tga", {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0x40, 24, 0x20}, kOverLimit},
    {"header.dds", {'D', 'D', 'S', ' ', 124, 0, 0, 0, 7, 0x10, 0, 0, 0, 0x40, 0, 0, 0, 0x40, 0, 0}, kOverLimit},
    {"header.ppm", text("P6\n16384 16384\n255\n"), kOverLimit},
    {"header.jpg", {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 0, 0, 0xFF, 0xC0, 0, 11, 8, 0x40, 0, 0x40, 0, 1, 1, 0x11, 0}, kOverLimit},
};

INSTANTIATE_TEST_SUITE_P(HeadersOverLimit, BadPicture, testing::ValuesIn(kHeadersOverLimit), testsupport::RowName());

// A PNG changed in one place: each change keeps every other chunk whole.
Bytes pngWith(std::size_t at, std::vector<unsigned char> replacement, std::size_t removed = 0)
{
    Bytes bytes = readFile(kPictures + "rgb.png");
    bytes.erase(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + removed));
    bytes.insert(bytes.begin() + static_cast<long>(at), replacement.begin(), replacement.end());
    return bytes;
}

Bytes pngWithoutEnd()
{
    Bytes bytes = readFile(kPictures + "rgb.png");
    bytes.resize(bytes.size() - 12);
    return bytes;
}

// A grey 3x2 PNG of 8 bits whose image data inflates to the given bytes; every CRC right.
Bytes greyPng(const Bytes& inflated, unsigned char interlace = 0)
{
    auto chunk = [](Bytes& out, const char* type, const Bytes& body) {
        const unsigned long length = body.size();
        out.insert(out.end(), {static_cast<unsigned char>(length >> 24), static_cast<unsigned char>(length >> 16),
                               static_cast<unsigned char>(length >> 8), static_cast<unsigned char>(length)});
        Bytes typed(type, type + 4);
        typed.insert(typed.end(), body.begin(), body.end());
        const uLong crc = crc32(crc32(0L, Z_NULL, 0), typed.data(), static_cast<uInt>(typed.size()));
        out.insert(out.end(), typed.begin(), typed.end());
        out.insert(out.end(), {static_cast<unsigned char>(crc >> 24), static_cast<unsigned char>(crc >> 16),
                               static_cast<unsigned char>(crc >> 8), static_cast<unsigned char>(crc)});
    };
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    chunk(png, "IHDR", {0, 0, 0, 3, 0, 0, 0, 2, 8, 0, 0, 0, interlace});
    uLongf packedSize = compressBound(static_cast<uLong>(inflated.size()));
    Bytes packed(packedSize);
    compress(packed.data(), &packedSize, inflated.data(), static_cast<uLong>(inflated.size()));
    packed.resize(packedSize);
    chunk(png, "IDAT", packed);
    chunk(png, "IEND", {});
    return png;
}

TEST_F(PictureLoaderTest, HandMadePngsOfWholeRowsLoad)
{
    const Bytes png = greyPng({0, 0, 50, 100, 0, 150, 200, 250});
    std::unique_ptr<CPicture> picture(loader.loadFromMemory("made.png", png.data(), png.size()));
    EXPECT_EQ(bytesOf(*picture), kGrey);

    // Interlaced, the seven passes hold (0,0); (2,0); (1,0); the bottom row.
    const Bytes interlaced = greyPng({0, 0, 0, 100, 0, 50, 0, 150, 200, 250}, 1);
    std::unique_ptr<CPicture> woven(loader.loadFromMemory("woven.png", interlaced.data(), interlaced.size()));
    EXPECT_EQ(bytesOf(*woven), kGrey);
}

const BadFile kBrokenPng[] = {
    {"unknown-row-filter.png", greyPng({0, 0, 50, 100, 5, 150, 200, 250}), "PNG row filter type 5 is not valid"},
    {"image-data-one-byte-short.png", greyPng({0, 0, 50, 100, 0, 150, 200}),
     "PNG image data holds fewer rows than its header announces"},
    {"image-data-one-byte-long.png", greyPng({0, 0, 50, 100, 0, 150, 200, 250, 7}),
     "PNG image data holds more rows than its header announces"},
    {"interlaced-data-of-plain-rows.png", greyPng({0, 0, 50, 100, 0, 150, 200, 250}, 1),
     "PNG row filter type 50 is not valid"},
    {"bad-signature.png", pngWith(1, {'Q'}, 1), "not a PNG file"},
    {"bad-header-crc.png", pngWith(29, {0}, 1), "PNG chunk IHDR fails its CRC check"},
    {"chunk-past-end.png", pngWith(33, {0x7f, 0xff, 0xff, 0x00}, 4), "PNG data ends inside chunk IDAT"},
    {"no-end-chunk.png", pngWithoutEnd(), "PNG data ends before chunk IEND"},
    {"no-header-chunk.png", pngWith(8, {}, 25), "PNG does not begin with chunk IHDR"},
};

INSTANTIATE_TEST_SUITE_P(BrokenPng, BadPicture, testing::ValuesIn(kBrokenPng), testsupport::RowName());

const BadFile kRefusedDds[] = {
    {"premultiplied.dds", dxt1With(84, 0x34545844), "DDS compression DXT4 is not supported"},
    {"volume.dds", dxt1With(24, 2, Bytes(16, 0)), "DDS volume texture is not supported"},
    {"cube-map.dds", dxt1With(112, 0x200), "DDS cube map is not supported"},
    {"linear-size-past-data.dds", dxt1With(20, 17), "DDS pitch or linear size of 17 bytes is larger than its data"},
};

INSTANTIATE_TEST_SUITE_P(RefusedDds, BadPicture, testing::ValuesIn(kRefusedDds), testsupport::RowName());

// The padded run-length BMP (3 x 2, its rows stored as four pixels) with one run made longer.
Bytes paddedRunLengthWith(std::size_t at, unsigned char run)
{
    Bytes bytes = readFile(kPictures + "rle8-padded.bmp");
    bytes[1078 + at] = run;
    return bytes;
}

const BadFile kBrokenRunLength[] = {
    {"run-past-the-stored-row.bmp", paddedRunLengthWith(6, 2), "BMP run-length data draws past the end of a row"},
    {"run-past-the-last-row.bmp", paddedRunLengthWith(16, 2), "BMP run-length data draws past the end of a row"},
};

INSTANTIATE_TEST_SUITE_P(BrokenRunLength, BadPicture, testing::ValuesIn(kBrokenRunLength), testsupport::RowName());

// Inputs that once crashed, hung or exhausted memory inside DevIL.
const BadFile kRegressions[] = {
    {"pnm-short-samples-freed-twice.pgm", readFile(kRegress + "pnm-short-samples-freed-twice.pgm"),
     "PNM pixel data is 5 bytes short"},
    {"pnm-without-header-hangs.pgm", readFile(kRegress + "pnm-without-header-hangs.pgm"), "not a PNM file"},
    {"bmp-huge-colour-count.bmp", readFile(kRegress + "bmp-huge-colour-count.bmp"),
     "BMP palette of 4294967040 colours is too large for 8 bits per pixel"},
    {"tga-palette-past-end-hangs.tga", readFile(kRegress + "tga-palette-past-end-hangs.tga"),
     "49919 x 41216 pixels is over the limit of 67108864"},
    {"pnm-number-joined-to-magic-crashes.pgm", readFile(kRegress + "pnm-number-joined-to-magic-crashes.pgm"),
     "PNM width is not a number set off by blanks or line feeds"},
    {"pnm-form-feed-exhausts-memory.pgm", readFile(kRegress + "pnm-form-feed-exhausts-memory.pgm"),
     "PNM height is not a number set off by blanks or line feeds"},
    {"pnm-stray-bytes-in-header-hangs.pgm", readFile(kRegress + "pnm-stray-bytes-in-header-hangs.pgm"),
     "PNM width is not a number set off by blanks or line feeds"},
    {"pnm-tab-separator-freed-twice.ppm", readFile(kRegress + "pnm-tab-separator-freed-twice.ppm"),
     "PNM width is not a number set off by blanks or line feeds"},
    {"pnm-bitmap-comment-hangs.pgm", readFile(kRegress + "pnm-bitmap-comment-hangs.pgm"),
     "PNM width is not a number set off by blanks or line feeds"},
    {"pnm-16-bit-samples-overrun.ppm", readFile(kRegress + "pnm-16-bit-samples-overrun.ppm"),
     "16-bit PNM is not supported"},
    {"dds-sides-whose-product-overflows.dds", readFile(kRegress + "dds-sides-whose-product-overflows.dds"),
     "2980993732 x 3872784384 pixels is over the limit of 67108864"},
    {"bmp-index-past-palette-crashes.bmp", readFile(kRegress + "bmp-index-past-palette-crashes.bmp"),
     "a pixel names a colour beyond the 6 of its palette"},
    {"dds-linear-size-exhausts-memory.dds", readFile(kRegress + "dds-linear-size-exhausts-memory.dds"),
     "DDS pitch or linear size of 2214592528 bytes is larger than its data"},
    {"png-bad-data-checksum-leaks.png", readFile(kRegress + "png-bad-data-checksum-leaks.png"),
     "PNG chunk IDAT fails its CRC check"},
    {"dds-premultiplied-mipmaps-crash.dds", readFile(kRegress + "dds-premultiplied-mipmaps-crash.dds"),
     "DDS compression DXT4 is not supported"},
    {"dds-bit-count-exhausts-memory.dds", readFile(kRegress + "dds-bit-count-exhausts-memory.dds"),
     "DDS of 4294967040 bits per pixel is not supported"},
    {"dds-volume-depth-without-flag-exhausts-memory.dds",
     readFile(kRegress + "dds-volume-depth-without-flag-exhausts-memory.dds"), "DDS volume texture is not supported"},
};

INSTANTIATE_TEST_SUITE_P(Regress, BadPicture, testing::ValuesIn(kRegressions), testsupport::RowName());

// 3 x 16.6 million pixels of run-length BMP, most of them left out: within the default
// limit, but seconds of work for DevIL under the sanitizers.
const std::string kLargeRegression = "bmp-run-length-sixteen-million-rows.bmp";

TEST_F(PictureLoaderTest, PixelLimitRefusesLargerPictures)
{
    const Bytes small = readFile(kPictures + "rgb.png");
    loader.setPixelLimit(5);
    GlobalLogLines log;
    EXPECT_THROW(delete loader.loadFromMemory("small.png", small.data(), small.size()), DEBUGGING::CException);
    EXPECT_EQ(log.sinceMark(),
              Lines{"T -> [ ERROR ] VELK::CPictureLoader::loadFromFile : small.png : 3 x 2 pixels is over the limit of 5"});
    loader.setPixelLimit(6);
    std::unique_ptr<CPicture> picture(loader.loadFromMemory("small.png", small.data(), small.size()));
    EXPECT_EQ(bytesOf(*picture), kBgr);

    loader.setPixelLimit(1 << 20);
    const Bytes large = readFile(kRegress + kLargeRegression);
    ASSERT_FALSE(large.empty());
    try {
        delete loader.loadFromMemory(kLargeRegression, large.data(), large.size());
        FAIL() << "loaded";
    } catch (const DEBUGGING::CException& failure) {
        EXPECT_STREQ(failure.what(), loadFailure(kLargeRegression).c_str());
    }
}

TEST(PictureRegressions, EveryFileIsReplayed)
{
    std::vector<std::string> replayed = {kLargeRegression};
    for (const BadFile& bad : kRegressions) {
        EXPECT_FALSE(bad.bytes.empty()) << bad.name;
        replayed.push_back(bad.name);
    }
    // Models there are replayed by the OBJ reader's tests.
    for (const auto& entry : fs::directory_iterator(kRegress))
        EXPECT_TRUE(entry.path().extension() == ".obj" ||
                    std::find(replayed.begin(), replayed.end(), entry.path().filename().string()) != replayed.end())
            << entry.path().filename().string() << " is not replayed";
}

// ---- Saving ----------------------------------------------------------------------------

CPicture makePicture(int format, const Bytes& bytes)
{
    return CPicture(CMyVector<int, 2>(3, 2), format, bytes.data());
}

struct RoundTrip
{
    const char* name;
    const char* extension;
    int format;
    Bytes bytes;
    int formatBack;                                    // what the file gives back
    Bytes bytesBack;
};

// BMP carries neither grey nor alpha as DevIL reads it: grey comes back as equal colour
// channels and BGRA as its colour.
const RoundTrip kRoundTrips[] = {
    {"pngBgr", "png", CPicture::FORMAT_BGR, kBgr, CPicture::FORMAT_BGR, kBgr},
    {"pngBgra", "png", CPicture::FORMAT_BGRA, kBgra, CPicture::FORMAT_BGRA, kBgra},
    {"pngLuminance", "png", CPicture::FORMAT_LUMINANCE, kGrey, CPicture::FORMAT_LUMINANCE, kGrey},
    {"pngUpperCase", "PNG", CPicture::FORMAT_BGRA, kBgra, CPicture::FORMAT_BGRA, kBgra},
    {"tgaBgr", "tga", CPicture::FORMAT_BGR, kBgr, CPicture::FORMAT_BGR, kBgr},
    {"tgaBgra", "tga", CPicture::FORMAT_BGRA, kBgra, CPicture::FORMAT_BGRA, kBgra},
    {"tgaLuminance", "tga", CPicture::FORMAT_LUMINANCE, kGrey, CPicture::FORMAT_LUMINANCE, kGrey},
    {"bmpBgr", "bmp", CPicture::FORMAT_BGR, kBgr, CPicture::FORMAT_BGR, kBgr},
    {"bmpBgra", "bmp", CPicture::FORMAT_BGRA, kBgra, CPicture::FORMAT_BGR, kBgr},
    {"bmpLuminance", "bmp", CPicture::FORMAT_LUMINANCE, kGrey, CPicture::FORMAT_BGR,
     {0, 0, 0, 50, 50, 50, 100, 100, 100, 150, 150, 150, 200, 200, 200, 250, 250, 250}},
    {"ppmBgr", "ppm", CPicture::FORMAT_BGR, kBgr, CPicture::FORMAT_BGR, kBgr},
};

class SavedPicture : public PictureLoaderTest, public testing::WithParamInterface<RoundTrip> {};

TEST_P(SavedPicture, LoadsBackTheSameRowsInTheSameOrder)
{
    const RoundTrip& trip = GetParam();
    CPicture picture = makePicture(trip.format, trip.bytes);
    const std::string path = std::string("saved-") + trip.name + "." + trip.extension;
    loader.saveToFile(&picture, path);

    EXPECT_EQ(bytesOf(picture), trip.bytes) << "the caller's picture is left as it was";
    std::unique_ptr<CPicture> back(load(path));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->size[0], 3);
    EXPECT_EQ(back->size[1], 2);
    EXPECT_EQ(back->format, trip.formatBack);
    EXPECT_EQ(bytesOf(*back), trip.bytesBack);
}

INSTANTIATE_TEST_SUITE_P(Formats, SavedPicture, testing::ValuesIn(kRoundTrips), testsupport::RowName());

TEST_F(PictureLoaderTest, SavedFileIsNotUpsideDown)
{
    // A binary PPM stores its top row first; read it without DevIL.
    CPicture picture = makePicture(CPicture::FORMAT_BGR, kBgr);
    loader.saveToFile(&picture, "saved-raw.ppm");
    const Bytes file = readFile("saved-raw.ppm");
    const Bytes header = text("P6\n3 2\n255\n");
    ASSERT_GE(file.size(), header.size() + 18);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + static_cast<long>(header.size())), header);
    EXPECT_EQ(Bytes(file.end() - 18, file.end()),
              (Bytes{255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 64, 128, 192}));
}

TEST_F(PictureLoaderTest, SavingReplacesAnExistingFile)
{
    writeFile("replaced.png", text("old contents"));
    CPicture picture = makePicture(CPicture::FORMAT_LUMINANCE, kGrey);
    loader.saveToFile(&picture, "replaced.png");
    std::unique_ptr<CPicture> back(load("replaced.png"));
    EXPECT_EQ(bytesOf(*back), kGrey);
}

struct BadSave
{
    const char* name;
    int format;
    int width;
    const char* path;
};

const BadSave kBadSaves[] = {
    {"unknownFormat", 7, 3, "bad-format.png"},
    {"negativeFormat", -1, 3, "bad-negative.png"},
    {"zeroWidth", CPicture::FORMAT_BGR, 0, "bad-empty.png"},
    {"unknownExtension", CPicture::FORMAT_BGR, 3, "bad-extension.xyz"},
    {"missingFolder", CPicture::FORMAT_BGR, 3, "no-such-folder/bad.png"},
};

class RefusedSave : public PictureLoaderTest, public testing::WithParamInterface<BadSave> {};

TEST_P(RefusedSave, ThrowsTheSaveExceptionAndWritesNoFile)
{
    const BadSave& bad = GetParam();
    CPicture picture(CMyVector<int, 2>(bad.width, 2), bad.format, kBgra.data());
    fs::remove(bad.path);
    try {
        loader.saveToFile(&picture, bad.path);
        FAIL() << "saved";
    } catch (const DEBUGGING::CException& failure) {
        EXPECT_STREQ(failure.what(), saveFailure(bad.path).c_str());
    }
    EXPECT_FALSE(fs::exists(bad.path));
}

INSTANTIATE_TEST_SUITE_P(Pictures, RefusedSave, testing::ValuesIn(kBadSaves), testsupport::RowName());

TEST_F(PictureLoaderTest, SavingNullThrowsAndWritesNoFile)
{
    fs::remove("null.png");
    try {
        loader.saveToFile(nullptr, "null.png");
        FAIL() << "saved";
    } catch (const DEBUGGING::CException& failure) {
        EXPECT_STREQ(failure.what(), saveFailure("null.png").c_str());
    }
    EXPECT_FALSE(fs::exists("null.png"));
}

} // namespace
