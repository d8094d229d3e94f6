#pragma once
// The viewer's GLUT window: entry sequence, fixed GL state, camera and callbacks.

int runViewer(int argc, char** argv);                  // does not return: ends through exit

void initGLState();
void placeCamera();

void display();
void reshape(int width, int height);
void keyboard(unsigned char key, int x, int y);
void specialKeys(int key, int x, int y);
void mouse(int button, int state, int x, int y);
void motion(int x, int y);
