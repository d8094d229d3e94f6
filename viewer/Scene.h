#pragma once
// What the viewer shows and how the engine comes and goes; the window calls these at
// fixed points.

#include <string>

// The model the programs show when none is named; its libraries and pictures lie beside it.
constexpr const char* kBundledModel = "Data/005.obj";

void engineStartup();                                  // needs the GL context
// Before the main loop: the model at path, stored under its file name, with the libraries
// and pictures its materials name from its folder; prints the load time.
void loadScene(const std::string& path);
void drawScene();                                      // every frame, rotations applied
void engineShutdown();                                 // from the at-exit list; runs once
bool sceneHasModel();                                  // the model was loaded and stored
