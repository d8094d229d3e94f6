#pragma once
// An OpenGL texture made from a picture: storage for every mipmap level, filled by GLU.

#include <GL/glew.h>
#include <GL/glu.h>

#include <cstdint>

#include "engine/CPicture.h"
#include "engine/VirtualTexture.h"
#include "math/CMyVector.h"

namespace VELK_GL
{

static_assert(sizeof(GLuint) == sizeof(std::uint32_t), "texture names are unsigned 32-bit values");
static_assert(sizeof(GLubyte) == 1, "picture components are single bytes");

template <GLenum target>
class CGLTexture : public VELK::VirtualTexture
{
    static_assert(target == GL_TEXTURE_2D, "textures are two-dimensional");

public:
    CGLTexture();                                      // empty: no texture object, no GL call
    ~CGLTexture() override;                            // deletes the texture object if there is one
    CGLTexture(const CGLTexture&) = delete;
    CGLTexture& operator=(const CGLTexture&) = delete;

    // Replaces any old texture object and leaves nothing bound. A format code that is not a
    // CPicture::Format, or a side below 1, makes no texture object; such a texture draws as
    // untextured.
    void create(CMyVector<int, 3> size, std::int32_t format, bool noMipmaps);
    // All levels from the picture's pixels (rows packed, first row first). Does nothing
    // unless the picture has the size and format that create was given.
    void upload(const CPicture& picture);
    void createFromPicture(const CPicture& picture);   // with the full mipmap chain
    void applyParameters();                            // to the texture bound to GL_TEXTURE_2D

    std::int32_t format;                               // a CPicture::Format code
    GLint wrapS;
    GLint wrapT;
    GLint wrapR;
    GLint minFilter;
    GLint magFilter;
    GLuint textureId;                                  // 0: no texture object

private:
    struct PixelFormat
    {
        GLenum pixelFormat;
        GLint internalFormat;
        GLenum componentType;
    };
    static const PixelFormat* pixelFormatOf(std::int32_t code);  // null for an unknown code
    void deleteTexture();
};

template <GLenum target>
CGLTexture<target>::CGLTexture()
    : format(0), wrapS(GL_REPEAT), wrapT(GL_REPEAT), wrapR(GL_REPEAT), minFilter(GL_NEAREST_MIPMAP_LINEAR),
      magFilter(GL_LINEAR), textureId(0)
{
}

template <GLenum target>
CGLTexture<target>::~CGLTexture()
{
    deleteTexture();
}

template <GLenum target>
const typename CGLTexture<target>::PixelFormat* CGLTexture<target>::pixelFormatOf(std::int32_t code)
{
    // Indexed by the picture format code.
    static const PixelFormat kPixelFormats[] = {
        {GL_BGR, GL_RGB8, GL_UNSIGNED_BYTE},           // FORMAT_BGR
        {GL_BGRA, GL_RGBA8, GL_UNSIGNED_BYTE},         // FORMAT_BGRA
        {GL_LUMINANCE, GL_LUMINANCE8, GL_UNSIGNED_BYTE},  // FORMAT_LUMINANCE
    };
    static_assert(sizeof(kPixelFormats) / sizeof(kPixelFormats[0]) == CPicture::FORMAT_COUNT,
                  "one row per picture format code");
    if (code < 0 || code >= CPicture::FORMAT_COUNT)
        return nullptr;
    return &kPixelFormats[code];
}

template <GLenum target>
void CGLTexture<target>::deleteTexture()
{
    if (textureId == 0)
        return;
    glDeleteTextures(1, &textureId);
    textureId = 0;
    size.set(0, 0, 0);
}

template <GLenum target>
void CGLTexture<target>::create(CMyVector<int, 3> newSize, std::int32_t newFormat, bool noMipmaps)
{
    deleteTexture();
    const PixelFormat* pixels = pixelFormatOf(newFormat);
    if (!pixels || newSize[0] < 1 || newSize[1] < 1)
        return;

    size = newSize;
    format = newFormat;
    glGenTextures(1, &textureId);
    glBindTexture(target, textureId);
    wrapS = GL_REPEAT;
    wrapT = GL_REPEAT;
    wrapR = GL_REPEAT;
    minFilter = GL_NEAREST_MIPMAP_LINEAR;
    magFilter = GL_LINEAR;

    const unsigned width = static_cast<unsigned>(size[0]);
    const unsigned height = static_cast<unsigned>(size[1]);
    GLint highestLevel = 0;
    if (!noMipmaps) {
        for (unsigned w = width, h = height; w > 1 || h > 1; ++highestLevel) {
            if (w > 1)
                w >>= 1;
            if (h > 1)
                h >>= 1;
        }
    }
    glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, highestLevel);
    unsigned w = width;
    unsigned h = height;
    for (GLint level = 0; level <= highestLevel; ++level) {
        glTexImage2D(target, level, pixels->internalFormat, static_cast<GLsizei>(w), static_cast<GLsizei>(h), 0,
                     pixels->pixelFormat, pixels->componentType, nullptr);
        if (w > 1)
            w /= 2;
        if (h > 1)
            h /= 2;
    }
    glBindTexture(target, 0);
}

template <GLenum target>
void CGLTexture<target>::upload(const CPicture& picture)
{
    // GLU reads width x height pixels of the texture's format from the picture; any other
    // picture would be read past its end.
    const PixelFormat* pixels = pixelFormatOf(format);
    if (textureId == 0 || !pixels || !picture.pixels || picture.format != format || picture.size[0] != size[0] ||
        picture.size[1] != size[1])
        return;

    // Picture rows are packed; OpenGL's default expects each row to start on 4 bytes, which
    // a 3-pixel BGR or luminance row does not.
    GLint savedAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &savedAlignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glBindTexture(target, textureId);
    gluBuild2DMipmaps(target, pixels->internalFormat, size[0], size[1], pixels->pixelFormat, pixels->componentType,
                      picture.pixels);
    glBindTexture(target, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, savedAlignment);
}

template <GLenum target>
void CGLTexture<target>::createFromPicture(const CPicture& picture)
{
    create(CMyVector<int, 3>(picture.size[0], picture.size[1], 0), picture.format, false);
    upload(picture);
}

template <GLenum target>
void CGLTexture<target>::applyParameters()
{
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapS);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_R, wrapR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
}

} // namespace VELK_GL
