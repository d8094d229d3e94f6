#pragma once
// What the viewer shows and how the engine comes and goes; the window calls these at
// fixed points.

void engineStartup();                                  // needs the GL context
void loadScene();                                      // before the main loop
void drawScene();                                      // every frame, rotations applied
void engineShutdown();                                 // from the at-exit list
