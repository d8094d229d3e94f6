#pragma once
// An OpenGL buffer object of fixed-size elements, for vertex data (GL_ARRAY_BUFFER) or
// index data (GL_ELEMENT_ARRAY_BUFFER), through the ARB vertex-buffer-object entry points.

#include <GL/glew.h>

#include <cstddef>
#include <cstdint>

#include "engine/VirtualBuffer.h"

namespace VELK_GL
{

static_assert(sizeof(GLuint) == sizeof(std::uint32_t), "buffer names are unsigned 32-bit values");

template <GLenum target>
class CGLBuffer : public VELK::VirtualBuffer
{
    static_assert(target == GL_ARRAY_BUFFER || target == GL_ELEMENT_ARRAY_BUFFER,
                  "vertex and index buffers only");

public:
    CGLBuffer();                                       // empty: no buffer object, no GL call
    ~CGLBuffer() override;                             // deletes the buffer object if there is one
    CGLBuffer(const CGLBuffer&) = delete;
    CGLBuffer& operator=(const CGLBuffer&) = delete;

    void create(std::uint32_t count, std::uint32_t elementSize, std::uint32_t usage) override;  // replaces any old object; left bound
    bool release() override;                           // false (and no GL call) when there is no object
    void* lock(std::uint32_t firstElement, std::uint32_t access) override;  // binds, maps; null without an object
    bool unlock() override;                            // unmaps what is bound to target: the buffer lock bound

    std::uint32_t count;                               // elements of the current storage
    std::uint32_t elementSize;                         // bytes per element: vertex stride or index size
    GLuint bufferId;                                   // 0: no buffer object
};

template <GLenum target>
CGLBuffer<target>::CGLBuffer() : count(0), elementSize(0), bufferId(0)
{
}

template <GLenum target>
CGLBuffer<target>::~CGLBuffer()
{
    if (bufferId != 0) {
        glDeleteBuffersARB(1, &bufferId);
        bufferId = 0;
    }
}

template <GLenum target>
void CGLBuffer<target>::create(std::uint32_t newCount, std::uint32_t newElementSize, std::uint32_t usage)
{
    release();
    elementSize = newElementSize;
    count = newCount;
    // The product is formed in 64 bits: two 32-bit factors overflow 32 bits long before
    // they overflow the driver's size type.
    const std::uint64_t bytes = static_cast<std::uint64_t>(count) * elementSize;
    glGenBuffersARB(1, &bufferId);
    glBindBufferARB(target, bufferId);
    glBufferDataARB(target, static_cast<GLsizeiptrARB>(bytes), nullptr, static_cast<GLenum>(usage));
}

template <GLenum target>
bool CGLBuffer<target>::release()
{
    if (bufferId == 0)
        return false;
    glDeleteBuffersARB(1, &bufferId);
    bufferId = 0;
    return true;
}

template <GLenum target>
void* CGLBuffer<target>::lock(std::uint32_t firstElement, std::uint32_t access)
{
    // Binding name 0 and mapping it would only raise a GL error and give null anyway.
    if (bufferId == 0)
        return nullptr;
    glBindBufferARB(target, bufferId);
    void* mapped = glMapBufferARB(target, static_cast<GLenum>(access));
    if (!mapped)
        return nullptr;
    return static_cast<unsigned char*>(mapped) + static_cast<std::size_t>(firstElement) * elementSize;
}

template <GLenum target>
bool CGLBuffer<target>::unlock()
{
    return glUnmapBufferARB(target) == GL_TRUE;
}

} // namespace VELK_GL
