#pragma once
// GL tests run with one GLUT window whose context stays current for the whole program;
// the window is 256 x 256 and drawing goes to its back buffer.

constexpr int kGLTestWindowSize = 256;
