#pragma once
// Helpers shared by the GL tests: a guard that gives the next test the GL state this one
// found, a recorder of the buffer calls that go through GLEW's entry points, and reading
// pixels from the back buffer under an orthographic projection of the whole window.

#include <GL/glew.h>

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <vector>

#include "gl/GLRenderer.h"
#include "tests/support/GLTestContext.h"

// Saves every server and client attribute and the two matrices; on leaving, forgets the
// renderer's declaration (disabling its arrays), unbinds the buffers, restores the rest and
// fails the test if a GL error is pending.
class GLStateGuard
{
public:
    GLStateGuard()
    {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
    }
    ~GLStateGuard()
    {
        VELK_GL::GLRenderer::getInstance().setDeclaration(nullptr);
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
        glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glPopClientAttrib();
        glPopAttrib();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "a GL error was left pending";
        while (glGetError() != GL_NO_ERROR) {
        }
    }
    GLStateGuard(const GLStateGuard&) = delete;
    GLStateGuard& operator=(const GLStateGuard&) = delete;
};

// Records the names handed to glGenBuffersARB and glDeleteBuffersARB and the calls of
// glMapBufferARB, passing every call on to the driver. It can also play a driver's fault:
// every mapping failing (out of address space), or every unmap reporting the contents lost
// (the screen mode changed while mapped). One recorder at a time.
class BufferCallRecorder
{
public:
    enum Fault
    {
        NO_FAULT,
        MAPPING_FAILS,
        CONTENTS_LOST
    };

    explicit BufferCallRecorder(Fault fault = NO_FAULT) : fault(fault)
    {
        active() = this;
        realGen = __glewGenBuffersARB;
        realDelete = __glewDeleteBuffersARB;
        realMap = __glewMapBufferARB;
        realUnmap = __glewUnmapBufferARB;
        __glewGenBuffersARB = &recordGen;
        __glewDeleteBuffersARB = &recordDelete;
        __glewMapBufferARB = &recordMap;
        __glewUnmapBufferARB = &recordUnmap;
    }
    ~BufferCallRecorder()
    {
        __glewGenBuffersARB = realGen;
        __glewDeleteBuffersARB = realDelete;
        __glewMapBufferARB = realMap;
        __glewUnmapBufferARB = realUnmap;
        active() = nullptr;
    }
    BufferCallRecorder(const BufferCallRecorder&) = delete;
    BufferCallRecorder& operator=(const BufferCallRecorder&) = delete;

    std::vector<GLuint> generated;
    std::vector<GLuint> deleted;
    int mapCalls = 0;

private:
    static BufferCallRecorder*& active()
    {
        static BufferCallRecorder* recorder = nullptr;
        return recorder;
    }
    static void GLAPIENTRY recordGen(GLsizei n, GLuint* names)
    {
        active()->realGen(n, names);
        active()->generated.insert(active()->generated.end(), names, names + n);
    }
    static void GLAPIENTRY recordDelete(GLsizei n, const GLuint* names)
    {
        active()->deleted.insert(active()->deleted.end(), names, names + n);
        active()->realDelete(n, names);
    }
    static void* GLAPIENTRY recordMap(GLenum target, GLenum access)
    {
        ++active()->mapCalls;
        return active()->fault == MAPPING_FAILS ? nullptr : active()->realMap(target, access);
    }
    static GLboolean GLAPIENTRY recordUnmap(GLenum target)
    {
        const GLboolean kept = active()->realUnmap(target);
        return active()->fault == CONTENTS_LOST ? GL_FALSE : kept;
    }

    Fault fault;
    PFNGLGENBUFFERSARBPROC realGen = nullptr;
    PFNGLDELETEBUFFERSARBPROC realDelete = nullptr;
    PFNGLMAPBUFFERARBPROC realMap = nullptr;
    PFNGLUNMAPBUFFERARBPROC realUnmap = nullptr;
};

using RGB = std::array<int, 3>;

// Window coordinates become object coordinates: x and y in pixels from the lower left.
inline void usePixelProjection()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, kGLTestWindowSize, 0.0, kGLTestWindowSize, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

inline void clearToBlack()
{
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

inline RGB pixelAt(int x, int y)
{
    unsigned char rgb[3] = {0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return {rgb[0], rgb[1], rgb[2]};
}

// A colour as the 8-bit framebuffer stores it may differ from the exact product of the
// lighting terms by one step of rounding.
inline testing::AssertionResult isColour(const RGB& actual, const RGB& expected)
{
    for (std::size_t i = 0; i < 3; ++i) {
        const int difference = actual[i] - expected[i];
        if (difference < -1 || difference > 1)
            return testing::AssertionFailure() << "got (" << actual[0] << ", " << actual[1] << ", " << actual[2]
                                               << "), expected (" << expected[0] << ", " << expected[1] << ", "
                                               << expected[2] << ")";
    }
    return testing::AssertionSuccess();
}
