#pragma once
// What the viewer shows and how the engine comes and goes; the window calls these at
// fixed points.

#include <cstdint>
#include <string>

extern std::string modelFileName;                      // below the data folder; also the model's resource key
extern std::string dataFolder;                         // put before every file name handed to the factory

// What the last load brought, for the viewer's corner block.
struct SceneFacts
{
    std::uint32_t vertices = 0;
    std::uint32_t triangles = 0;
    std::uint32_t groups = 0;
    std::uint32_t pictures = 0;                        // textures made
    float loadSeconds = 0.0f;                          // as "Loading..." prints it
};

void engineStartup();                                  // needs the GL context
// Before the main loop; prints the load time. sharpTextures: trilinear and, where the driver
// has it, anisotropic filtering rather than the texture's own.
void loadScene(bool sharpTextures = false);
void drawScene();                                      // every frame, rotations applied
void engineShutdown();                                 // from the at-exit list; runs once
bool sceneHasModel();                                  // the model was loaded and stored
const SceneFacts& sceneFacts();
