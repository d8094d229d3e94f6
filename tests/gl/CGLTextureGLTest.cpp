// Textures on a real context: levels, formats and pixels read back from OpenGL.
#include <GL/glew.h>
#include <GL/glu.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "engine/CPicture.h"
#include "gl/CGLTexture.h"
#include "tests/support/GLTestState.h"
#include "tests/support/RowNames.h"

// glGenTextures, glDeleteTextures and gluBuild2DMipmaps are entry points of the GL and GLU
// libraries themselves, not GLEW pointers; this program's own definitions take their
// place, record the calls and pass each one on to the library's.
namespace
{

using testsupport::operator<<;
struct TextureCalls
{
    std::vector<GLuint> generated;
    std::vector<GLuint> deleted;
};
TextureCalls* textureCalls = nullptr;

struct MipmapCall
{
    GLint alignment;                                   // GL_UNPACK_ALIGNMENT at the call
    GLint rowLength;                                   // GL_UNPACK_ROW_LENGTH at the call
    GLint internalFormat;
    GLsizei width;
    GLsizei height;
    GLenum format;
    GLenum type;
    const void* data;
};
std::vector<MipmapCall> mipmapCalls;

// The GL library is found after this program; GLU may not be linked at all once this
// program defines the one GLU function the engine calls, so it is opened by name.
template <class Function>
Function libraryEntry(const char* library, const char* name)
{
    void* handle = library ? dlopen(library, RTLD_NOW | RTLD_GLOBAL) : RTLD_NEXT;
    void* entry = handle ? dlsym(handle, name) : nullptr;
    if (!entry) {
        std::fprintf(stderr, "GL tests: %s not found\n", name);
        std::abort();
    }
    return reinterpret_cast<Function>(entry);
}
} // namespace

void GLAPIENTRY glGenTextures(GLsizei n, GLuint* textures)
{
    static const auto real = libraryEntry<void (*)(GLsizei, GLuint*)>(nullptr, "glGenTextures");
    real(n, textures);
    if (textureCalls)
        textureCalls->generated.insert(textureCalls->generated.end(), textures, textures + n);
}

void GLAPIENTRY glDeleteTextures(GLsizei n, const GLuint* textures)
{
    static const auto real = libraryEntry<void (*)(GLsizei, const GLuint*)>(nullptr, "glDeleteTextures");
    if (textureCalls)
        textureCalls->deleted.insert(textureCalls->deleted.end(), textures, textures + n);
    real(n, textures);
}

GLint GLAPIENTRY gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height, GLenum format,
                                   GLenum type, const void* data)
{
    static const auto real =
        libraryEntry<GLint (*)(GLenum, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*)>("libGLU.so.1",
                                                                                     "gluBuild2DMipmaps");
    MipmapCall call{0, 0, internalFormat, width, height, format, type, data};
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &call.alignment);
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &call.rowLength);
    mipmapCalls.push_back(call);
    return real(target, internalFormat, width, height, format, type, data);
}

namespace
{

using Texture = VELK_GL::CGLTexture<GL_TEXTURE_2D>;
using Size = std::pair<int, int>;

class CGLTextureGL : public testing::Test
{
protected:
    CGLTextureGL()
    {
        textureCalls = &calls;
        mipmapCalls.clear();
    }
    ~CGLTextureGL() override { textureCalls = nullptr; }

    static GLint levelParameter(GLuint texture, GLint level, GLenum name)
    {
        GLint value = -1;
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
        glBindTexture(GL_TEXTURE_2D, 0);
        return value;
    }
    static GLint textureParameter(GLuint texture, GLenum name)
    {
        GLint value = -1;
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
        glBindTexture(GL_TEXTURE_2D, 0);
        return value;
    }
    static std::vector<Size> levelSizes(GLuint texture)
    {
        std::vector<Size> sizes;
        for (GLint level = 0; level < 16; ++level) {
            const GLint width = levelParameter(texture, level, GL_TEXTURE_WIDTH);
            if (width == 0)
                break;
            sizes.emplace_back(width, levelParameter(texture, level, GL_TEXTURE_HEIGHT));
        }
        return sizes;
    }
    static std::vector<unsigned char> levelPixels(GLuint texture, GLint level, GLenum format, std::size_t bytes)
    {
        std::vector<unsigned char> pixels(bytes, 0xEE);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexImage(GL_TEXTURE_2D, level, format, GL_UNSIGNED_BYTE, pixels.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        return pixels;
    }
    static GLint boundTexture()
    {
        GLint name = -1;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
        return name;
    }
    static std::vector<unsigned char> counting(std::size_t count)
    {
        std::vector<unsigned char> bytes(count);
        for (std::size_t i = 0; i < count; ++i)
            bytes[i] = static_cast<unsigned char>(11 * (i + 1));
        return bytes;
    }

    GLStateGuard guard;
    TextureCalls calls;
};

struct LevelCase
{
    const char* name;
    int width;
    int height;
    bool noMipmaps;
    std::vector<Size> levels;
};

const LevelCase kLevelCases[] = {
    {"NonPowerOfTwo", 300, 200, false,
     {{300, 200}, {150, 100}, {75, 50}, {37, 25}, {18, 12}, {9, 6}, {4, 3}, {2, 1}, {1, 1}}},
    {"PowerOfTwo", 256, 128, false,
     {{256, 128}, {128, 64}, {64, 32}, {32, 16}, {16, 8}, {8, 4}, {4, 2}, {2, 1}, {1, 1}}},
    {"TallerThanWide", 1, 5, false, {{1, 5}, {1, 2}, {1, 1}}},
    {"OnePixel", 1, 1, false, {{1, 1}}},
    {"NoMipmaps", 300, 200, true, {{300, 200}}},
};

class CreateLevels : public CGLTextureGL, public testing::WithParamInterface<LevelCase>
{
};

} // namespace

TEST_P(CreateLevels, AllocatesEveryLevelUpToMaxLevel)
{
    const LevelCase& c = GetParam();
    Texture texture;
    texture.create(CMyVector<int, 3>(c.width, c.height, 0), CPicture::FORMAT_BGR, c.noMipmaps);
    ASSERT_NE(texture.textureId, 0u);
    EXPECT_EQ(boundTexture(), 0);
    EXPECT_EQ(levelSizes(texture.textureId), c.levels);
    EXPECT_EQ(textureParameter(texture.textureId, GL_TEXTURE_MAX_LEVEL), static_cast<GLint>(c.levels.size()) - 1);
    for (GLint level = 0; level < static_cast<GLint>(c.levels.size()); ++level)
        EXPECT_EQ(levelParameter(texture.textureId, level, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB8) << "level " << level;
    EXPECT_EQ(texture.size[0], c.width);
    EXPECT_EQ(texture.size[1], c.height);
    EXPECT_EQ(texture.size[2], 0);
}

INSTANTIATE_TEST_SUITE_P(Texture, CreateLevels, testing::ValuesIn(kLevelCases), testsupport::RowName());

namespace
{

struct FormatCase
{
    const char* name;
    int format;
    GLint internalFormat;
    GLenum pixelFormat;
    unsigned bytesPerPixel;
};

const FormatCase kFormatCases[] = {
    {"Bgr", CPicture::FORMAT_BGR, GL_RGB8, GL_BGR, 3},
    {"Bgra", CPicture::FORMAT_BGRA, GL_RGBA8, GL_BGRA, 4},
    {"Luminance", CPicture::FORMAT_LUMINANCE, GL_LUMINANCE8, GL_LUMINANCE, 1},
};

class PictureFormat : public CGLTextureGL, public testing::WithParamInterface<FormatCase>
{
};

} // namespace

// 2 x 2 is left at its size by GLU, and its rows (6, 8 and 2 bytes) are not all multiples
// of 4, so level 0 must hold the picture's bytes exactly.
TEST_P(PictureFormat, LevelZeroHoldsThePicturesBytes)
{
    const FormatCase& c = GetParam();
    const std::vector<unsigned char> bytes = counting(2 * 2 * c.bytesPerPixel);
    const CPicture picture(CMyVector<int, 2>(2, 2), c.format, bytes.data());
    Texture texture;
    glBindTexture(GL_TEXTURE_2D, 0);
    texture.createFromPicture(picture);
    ASSERT_NE(texture.textureId, 0u);
    EXPECT_EQ(boundTexture(), 0);
    EXPECT_EQ(levelSizes(texture.textureId), (std::vector<Size>{{2, 2}, {1, 1}}));
    EXPECT_EQ(levelParameter(texture.textureId, 0, GL_TEXTURE_INTERNAL_FORMAT), c.internalFormat);
    EXPECT_EQ(levelParameter(texture.textureId, 1, GL_TEXTURE_INTERNAL_FORMAT), c.internalFormat);
    EXPECT_EQ(levelPixels(texture.textureId, 0, c.pixelFormat, bytes.size()), bytes);
}

// GLU widens a 3 x 3 picture to 4 x 4; the same image handed to GLU directly, its rows
// padded to OpenGL's default 4-byte alignment, must give the same bytes on every level.
TEST_P(PictureFormat, RowsOfThreePixelsGiveWhatPaddedRowsGive)
{
    const FormatCase& c = GetParam();
    const std::size_t row = 3 * c.bytesPerPixel;
    const std::vector<unsigned char> bytes = counting(3 * row);
    const CPicture picture(CMyVector<int, 2>(3, 3), c.format, bytes.data());

    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    const std::size_t paddedRow = (row + 3) / 4 * 4;
    std::vector<unsigned char> padded(3 * paddedRow, 0);
    for (std::size_t r = 0; r < 3; ++r)
        std::memcpy(padded.data() + r * paddedRow, bytes.data() + r * row, row);
    GLuint reference = 0;
    glGenTextures(1, &reference);
    glBindTexture(GL_TEXTURE_2D, reference);
    ASSERT_EQ(gluBuild2DMipmaps(GL_TEXTURE_2D, c.internalFormat, 3, 3, c.pixelFormat, GL_UNSIGNED_BYTE, padded.data()),
              0);
    glBindTexture(GL_TEXTURE_2D, 0);

    Texture texture;
    texture.createFromPicture(picture);
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);                           // given back as it was found

    const std::vector<Size> sizes = levelSizes(reference);
    ASSERT_EQ(sizes, (std::vector<Size>{{4, 4}, {2, 2}, {1, 1}}));
    EXPECT_EQ(levelSizes(texture.textureId), sizes);
    for (GLint level = 0; level < static_cast<GLint>(sizes.size()); ++level) {
        const std::size_t levelBytes = static_cast<std::size_t>(sizes[level].first * sizes[level].second) * c.bytesPerPixel;
        EXPECT_EQ(levelPixels(texture.textureId, level, c.pixelFormat, levelBytes),
                  levelPixels(reference, level, c.pixelFormat, levelBytes))
            << "level " << level;
    }
    glDeleteTextures(1, &reference);
}

// When GLU widens a picture without changing its height it drops the last row (a 3 x 2
// picture comes back 4 x 2 with a second row of zeros), so the levels cannot show how the
// rows of a 3 x 2 picture were read. What GLU is handed can: the pixel address and the
// unpack alignment in force fix the bytes it reads for each row.
TEST_P(PictureFormat, ThreeByTwoRowsReachGluAtTheirPackedStride)
{
    const FormatCase& c = GetParam();
    const std::size_t row = 3 * c.bytesPerPixel;
    const std::vector<unsigned char> bytes = counting(2 * row);
    const CPicture picture(CMyVector<int, 2>(3, 2), c.format, bytes.data());
    Texture texture;
    texture.createFromPicture(picture);

    ASSERT_EQ(mipmapCalls.size(), 1u);
    const MipmapCall& call = mipmapCalls[0];
    EXPECT_EQ(call.internalFormat, c.internalFormat);
    EXPECT_EQ(call.width, 3);
    EXPECT_EQ(call.height, 2);
    EXPECT_EQ(call.format, c.pixelFormat);
    EXPECT_EQ(call.type, static_cast<GLenum>(GL_UNSIGNED_BYTE));
    ASSERT_EQ(call.data, picture.pixels);
    ASSERT_EQ(call.rowLength, 0);
    ASSERT_GT(call.alignment, 0);
    const std::size_t alignment = static_cast<std::size_t>(call.alignment);
    const std::size_t stride = (row + alignment - 1) / alignment * alignment;
    ASSERT_LE(stride + row, picture.byteCount()) << "GLU would read past the picture's end";
    std::vector<unsigned char> read(picture.pixels, picture.pixels + row);
    read.insert(read.end(), picture.pixels + stride, picture.pixels + stride + row);
    EXPECT_EQ(read, bytes);
}

INSTANTIATE_TEST_SUITE_P(Texture, PictureFormat, testing::ValuesIn(kFormatCases), testsupport::RowName());

namespace
{

struct Unusable
{
    const char* name;
    int width;
    int height;
    int format;
};

const Unusable kUnusable[] = {
    {"FormatBelowTable", 2, 2, -1},
    {"FormatAboveTable", 2, 2, 3},
    {"FormatFarAboveTable", 2, 2, 7},
    {"ZeroWidth", 0, 2, CPicture::FORMAT_BGR},
    {"ZeroHeight", 2, 0, CPicture::FORMAT_BGRA},
    {"NegativeWidth", -3, 2, CPicture::FORMAT_LUMINANCE},
};

class UnusableTexture : public CGLTextureGL, public testing::WithParamInterface<Unusable>
{
};

} // namespace

TEST_P(UnusableTexture, MakesNoTextureObjectAndDropsTheOldOne)
{
    const Unusable& c = GetParam();
    Texture texture;
    texture.create(CMyVector<int, 3>(2, 2, 0), CPicture::FORMAT_BGR, false);
    const GLuint old = texture.textureId;
    texture.create(CMyVector<int, 3>(c.width, c.height, 0), c.format, false);
    EXPECT_EQ(texture.textureId, 0u);
    EXPECT_EQ(calls.generated, std::vector<GLuint>{old});
    EXPECT_EQ(calls.deleted, std::vector<GLuint>{old});
    EXPECT_EQ(texture.size[0], 0);
    EXPECT_EQ(texture.size[1], 0);
    EXPECT_EQ(boundTexture(), 0);
}

TEST_P(UnusableTexture, FromAPictureMakesNoTextureObject)
{
    const Unusable& c = GetParam();
    const CPicture picture(CMyVector<int, 2>(c.width, c.height), c.format, nullptr);
    {
        Texture texture;
        texture.createFromPicture(picture);
        EXPECT_EQ(texture.textureId, 0u);
    }
    EXPECT_TRUE(calls.generated.empty());
    EXPECT_TRUE(calls.deleted.empty());
}

INSTANTIATE_TEST_SUITE_P(Texture, UnusableTexture, testing::ValuesIn(kUnusable), testsupport::RowName());

namespace
{

struct Mismatch
{
    const char* name;
    int width;
    int height;
    int format;
};

const Mismatch kMismatches[] = {
    {"Narrower", 2, 2, CPicture::FORMAT_BGR},
    {"Taller", 3, 3, CPicture::FORMAT_BGR},
    {"OtherFormat", 3, 2, CPicture::FORMAT_BGRA},
};

class MismatchedUpload : public CGLTextureGL, public testing::WithParamInterface<Mismatch>
{
};

} // namespace

// GLU would widen a 3 x 2 texture to 4 x 2: an untouched level 0 shows it was not called.
TEST_P(MismatchedUpload, LeavesTheTextureAsCreated)
{
    const Mismatch& c = GetParam();
    const CPicture picture(CMyVector<int, 2>(c.width, c.height), c.format, nullptr);
    Texture texture;
    texture.create(CMyVector<int, 3>(3, 2, 0), CPicture::FORMAT_BGR, false);
    texture.upload(picture);
    EXPECT_EQ(levelSizes(texture.textureId), (std::vector<Size>{{3, 2}, {1, 1}}));
}

INSTANTIATE_TEST_SUITE_P(Texture, MismatchedUpload, testing::ValuesIn(kMismatches), testsupport::RowName());

TEST_F(CGLTextureGL, ApplyParametersSetsTheRecordedModesOnTheBoundTexture)
{
    const std::vector<unsigned char> bytes = counting(4 * 3);
    Texture texture;
    texture.createFromPicture(CPicture(CMyVector<int, 2>(2, 2), CPicture::FORMAT_BGR, bytes.data()));
    glBindTexture(GL_TEXTURE_2D, texture.textureId);
    // Away from OpenGL's defaults, which equal the ones create records.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_MIRRORED_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_BORDER);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    texture.applyParameters();
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(textureParameter(texture.textureId, GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(textureParameter(texture.textureId, GL_TEXTURE_WRAP_T), GL_REPEAT);
    EXPECT_EQ(textureParameter(texture.textureId, GL_TEXTURE_WRAP_R), GL_REPEAT);
    EXPECT_EQ(textureParameter(texture.textureId, GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_LINEAR);
    EXPECT_EQ(textureParameter(texture.textureId, GL_TEXTURE_MAG_FILTER), GL_LINEAR);

    texture.wrapS = GL_CLAMP_TO_EDGE;
    texture.wrapT = GL_MIRRORED_REPEAT;
    texture.wrapR = GL_CLAMP_TO_BORDER;
    texture.minFilter = GL_LINEAR_MIPMAP_NEAREST;
    texture.magFilter = GL_NEAREST;
    glBindTexture(GL_TEXTURE_2D, texture.textureId);
    texture.applyParameters();
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(textureParameter(texture.textureId, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(textureParameter(texture.textureId, GL_TEXTURE_WRAP_T), GL_MIRRORED_REPEAT);
    EXPECT_EQ(textureParameter(texture.textureId, GL_TEXTURE_WRAP_R), GL_CLAMP_TO_BORDER);
    EXPECT_EQ(textureParameter(texture.textureId, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
    EXPECT_EQ(textureParameter(texture.textureId, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
}

TEST_F(CGLTextureGL, EveryTextureObjectIsDeletedExactlyOnce)
{
    {
        Texture texture;
        texture.create(CMyVector<int, 3>(4, 4, 0), CPicture::FORMAT_BGRA, false);
        texture.create(CMyVector<int, 3>(2, 1, 0), CPicture::FORMAT_LUMINANCE, true);
        ASSERT_EQ(calls.generated.size(), 2u);
        EXPECT_EQ(calls.deleted, std::vector<GLuint>{calls.generated[0]});
        EXPECT_FALSE(glIsTexture(calls.generated[0]));
    }
    EXPECT_EQ(calls.deleted, calls.generated);
    EXPECT_FALSE(glIsTexture(calls.generated[1]));
}

TEST_F(CGLTextureGL, AnEmptyTextureMakesNoTextureCall)
{
    {
        Texture texture;
        texture.upload(CPicture(CMyVector<int, 2>(1, 1), CPicture::FORMAT_BGR, nullptr));
        EXPECT_EQ(texture.size[0], 0);
    }
    EXPECT_TRUE(calls.generated.empty());
    EXPECT_TRUE(calls.deleted.empty());
}
