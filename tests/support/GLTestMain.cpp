// Main of the GL tests: a real context (Mesa under Xvfb) with GLEW initialised.
#include <GL/glew.h>
#include <GL/freeglut.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/GLTestContext.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(kGLTestWindowSize, kGLTestWindowSize);
    glutCreateWindow("velk GL test");
    if (glewInit() != GLEW_OK) {
        std::fprintf(stderr, "GL tests: GLEW could not be initialised\n");
        return 1;
    }
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
    return RUN_ALL_TESTS();
}
