// The multisampled framebuffer that frames are drawn into, and its resolve.
#include "viewer/Multisampling.h"

#include <GL/glew.h>

#include <algorithm>
#include <iostream>
#include <string>

namespace
{
const char* programName = "";
int samples = 0;                                       // 0: off
GLuint framebuffer = 0;
GLuint colour = 0;
GLuint depth = 0;
int width = 0;
int height = 0;

void release()
{
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteRenderbuffers(1, &colour);
    glDeleteRenderbuffers(1, &depth);
    framebuffer = colour = depth = 0;
    width = height = 0;
}

void giveUp(int got, const std::string& why)
{
    std::cerr << programName << ": " << why << "; drawing "
              << (got > 0 ? "with " + std::to_string(got) + " samples" : std::string("without multisampling"))
              << std::endl;
}
} // namespace

void startMultisampling(const char* program, int wish)
{
    programName = program;
    samples = 0;
    if (wish <= 0)
        return;
    GLint most = 0;
    if (GLEW_VERSION_3_0 || GLEW_ARB_framebuffer_object)
        glGetIntegerv(GL_MAX_SAMPLES, &most);
    samples = std::min(wish, static_cast<int>(most));
    if (samples < wish)
        giveUp(samples, "the display offers no multisampling of " + std::to_string(wish) + " samples");
}

void beginMultisampledFrame(int frameWidth, int frameHeight)
{
    if (samples == 0 || frameWidth <= 0 || frameHeight <= 0)
        return;
    if (framebuffer == 0) {
        glGenFramebuffers(1, &framebuffer);
        glGenRenderbuffers(1, &colour);
        glGenRenderbuffers(1, &depth);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    if (frameWidth == width && frameHeight == height)
        return;
    width = frameWidth;
    height = frameHeight;
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH_COMPONENT24, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        // Too large for the driver's memory, say: the window's own buffers still serve.
        giveUp(0, "no multisampled framebuffer of " + std::to_string(width) + "x" + std::to_string(height));
        release();
        samples = 0;
    }
}

void endMultisampledFrame()
{
    if (samples == 0 || framebuffer == 0)
        return;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}
