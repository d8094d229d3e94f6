// The window, the fixed OpenGL state, the camera and the input callbacks.
#include "viewer/ViewerWindow.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glu.h>

#include <cstdlib>
#include <iostream>

#include "viewer/ExitSignals.h"
#include "viewer/Scene.h"
#include "viewer/ViewerState.h"

namespace
{
bool exiting = false;

// GLUT's own clean-up runs from the at-exit list too and destroys the window and its
// context; it was registered after engineShutdown, so it would run first. Registered once
// more after the window exists, the engine shutdown runs before it, with the context
// still current, and GL objects can be released.
void shutdownWhileWindowExists()
{
    exiting = true;
    engineShutdown();
}

// Every idle moment asks for the next frame, unless a termination signal asked the program
// to end: then it ends here, between two callbacks, as Escape ends it.
void idle()
{
    if (exitSignal() != 0)
        std::exit(0);
    glutPostRedisplay();
}

// A window manager's close button ends the program like Escape. GLUT also calls this
// while it destroys the window during exit; by then there is nothing more to do.
void closeWindow()
{
    if (!exiting)
        std::exit(0);
}
} // namespace

int runViewer(int argc, char** argv)
{
    std::atexit(engineShutdown);
    catchExitSignals();
    openWindow(argc, argv, static_cast<int>(windowWidth), static_cast<int>(windowHeight), "My Window");

    glutReshapeFunc(reshape);
    glutKeyboardFunc(keyboard);
    glutSpecialFunc(specialKeys);
    glutMouseFunc(mouse);
    glutMotionFunc(motion);
    glutDisplayFunc(display);
    glutIdleFunc(idle);
    glutCloseFunc(closeWindow);

    engineStartup();
    initGLState();
    loadScene();
    glutMainLoop();
    return 0;
}

void openWindow(int& argc, char** argv, int width, int height, const char* title)
{
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(width, height);
    glutInitWindowPosition(50, 50);
    glutCreateWindow(title);
    std::atexit(shutdownWhileWindowExists);
}

void initGLState()
{
    glPolygonMode(GL_FRONT, GL_FILL);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);

    const GLfloat ambient[] = {0.2f, 0.2f, 0.2f, 1.0f};
    const GLfloat diffuse[] = {1.0f, 1.0f, 1.0f, 1.0f};
    const GLfloat specular[] = {0.01f, 0.01f, 0.01f, 1.0f};
    const GLfloat position[] = {1.0f, 1.0f, 0.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);     // under the identity: fixed to the viewer

    placeCamera();
}

void placeCamera()
{
    const double d = cameraDistance;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(d, d, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
}

void renderFrame()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glRotatef(rotationZ, 0.0f, 0.0f, 1.0f);
    glRotatef(rotationY, 0.0f, 1.0f, 0.0f);
    drawScene();
    glPopMatrix();
}

void display()
{
    renderFrame();
    glutSwapBuffers();

    const GLenum error = glGetError();
    if (error != GL_NO_ERROR)
        std::cout << "OPENGL ERROR : " << gluErrorString(error) << std::endl;
}

void reshape(int width, int height)
{
    windowWidth = static_cast<float>(width);
    windowHeight = static_cast<float>(height);
    glViewport(0, 0, static_cast<GLsizei>(windowWidth), static_cast<GLsizei>(windowHeight));
    if (static_cast<int>(windowHeight) == 0)
        return;                                        // minimised: no aspect ratio to take
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(windowWidth / windowHeight), static_cast<double>(0.1f), 1000.0);
}

void keyboard(unsigned char key, int, int)
{
    if (key == 27)
        std::exit(0);
}

void specialKeys(int key, int, int)
{
    cameraDistance = stepCameraDistance(cameraDistance, key);
    placeCamera();
}

void mouse(int button, int state, int x, int y)
{
    if (button != GLUT_LEFT_BUTTON)
        return;
    if (state == GLUT_DOWN)
        pressLeftButton(x, y);
    else if (state == GLUT_UP)
        releaseLeftButton();
}

void motion(int x, int y)
{
    dragTo(x, y);
}
