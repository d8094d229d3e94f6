#pragma once
// What the viewer shows and how the engine comes and goes; the window calls these at
// fixed points.

#include <string>

extern std::string modelFileName;                      // below the data folder; also the model's resource key
extern std::string dataFolder;                         // put before every file name handed to the factory

void engineStartup();                                  // needs the GL context
void loadScene();                                      // before the main loop; prints the load time
void drawScene();                                      // every frame, rotations applied
void engineShutdown();                                 // from the at-exit list; runs once
bool sceneHasModel();                                  // the model was loaded and stored
