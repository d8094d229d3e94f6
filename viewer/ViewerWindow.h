#pragma once
// The viewer's GLUT window: entry sequence, fixed GL state, camera and callbacks.

#include <string>

#include "engine/CPicture.h"
#include "viewer/ViewerOptions.h"

int runViewer(int argc, char** argv);                  // does not return: ends through exit

// The start-up both programs share: the heap's settings, the command line, the engine
// shutdown on the at-exit list, the exit signals, the window, the engine and the fixed GL
// state, the model. betweenSteps runs after the window, after the engine and after the model.
ViewerOptions startProgram(int argc, char** argv, bool snapshot, void (*betweenSteps)(const ViewerOptions&));

// Opens the GLUT window with the viewer's display mode; the engine shutdown then runs
// from the at-exit list while the window and its context still exist.
void openWindow(int& argc, char** argv, int width, int height, const char* title);

// The model named on the command line, or the bundled one.
std::string modelPath(const ViewerOptions& options);

// One frame without the swap: clear, the model rotations and placement, the scene, and
// the corner block of the model's facts when it is shown.
void renderFrame();

void initGLState();
void placeCamera();                                    // framed: the planes follow too
void setProjection();                                  // from the window size and, framed, the model's size

// The view the program starts with, once the scene is loaded: framed when asked for and
// the model has bounds, else the designed one, untouched.
void startView(bool frame);
void frameModel();                                     // F: framed, keeping the turn; nothing without bounds
void resetView();                                      // R: the starting view

// The back buffer as a picture, top row first, and writing a picture to a file.
CPicture readBackBuffer(int width, int height);
bool writePicture(CPicture& picture, const std::string& fileName, std::string& error);

void display();
void reshape(int width, int height);
void keyboard(unsigned char key, int x, int y);
void specialKeys(int key, int x, int y);
void mouse(int button, int state, int x, int y);
void motion(int x, int y);
