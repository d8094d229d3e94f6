#pragma once
// The viewer's GLUT window: entry sequence, fixed GL state, camera and callbacks.

int runViewer(int argc, char** argv);                  // does not return: ends through exit

// Opens the GLUT window with the viewer's display mode; the engine shutdown then runs
// from the at-exit list while the window and its context still exist.
void openWindow(int& argc, char** argv, int width, int height, const char* title);

// One frame without the swap: clear, the model rotations, the scene.
void renderFrame();

void initGLState();
void placeCamera();

void display();
void reshape(int width, int height);
void keyboard(unsigned char key, int x, int y);
void specialKeys(int key, int x, int y);
void mouse(int button, int state, int x, int y);
void motion(int x, int y);
