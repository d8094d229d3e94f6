#pragma once
// Smooth edges: each frame is drawn into a multisampled framebuffer of the window's size and
// resolved into the window's back buffer. The window keeps its single-sampled display mode:
// software drivers offer multisampled visuals yet draw into them with one sample, while a
// multisampled framebuffer of their own they draw as asked.

// Needs the GL context and GLEW. Takes `samples` samples, or as many as the driver allows
// below that; says once on stderr, after the program's name, when it cannot take them all.
// 0 draws straight into the window, as without this.
void startMultisampling(const char* program, int samples);

// Around the drawing of a frame: the target bound (made or resized when the window's size
// changed), then the samples resolved into the back buffer, which is left bound.
void beginMultisampledFrame(int width, int height);
void endMultisampledFrame();
