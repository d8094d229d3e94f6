#pragma once
// What the viewer shows and how the engine comes and goes; the window calls these at
// fixed points.

#include <cstdint>
#include <string>

// The model the programs show when none is named; its libraries and pictures lie beside it.
constexpr const char* kBundledModel = "Data/005.obj";

// What the last load brought, for the viewer's corner block.
struct SceneFacts
{
    std::string name;                                  // the model's file name
    std::uint32_t vertices = 0;
    std::uint32_t triangles = 0;
    std::uint32_t groups = 0;
    std::uint32_t pictures = 0;                        // textures made
    float loadSeconds = 0.0f;                          // wall time of the last load
};

void engineStartup();                                  // needs the GL context
// Before the main loop: the model at path, stored under its file name, with the libraries
// and pictures its materials name from its folder; the time it took goes to the facts, and
// each program says it in its own words. sharpTextures: trilinear and, where the driver has
// it, anisotropic filtering rather than the texture's own.
void loadScene(const std::string& path, bool sharpTextures = false);
void printLoadingLine();                               // the viewer's: "Loading... " and the seconds
// The model shown, its libraries and pictures read again from disk, and the viewer's line.
// When the model does not load, the version shown stays, the reason goes to stderr, and
// the answer is false.
bool reloadScene(bool sharpTextures = false);
void releaseScene();                                   // the model and its pictures, as at exit
bool sceneFilesChanged();                              // the model, a library or a picture, since read
void drawScene();                                      // every frame, rotations applied
void engineShutdown();                                 // from the at-exit list; runs once
bool sceneHasModel();                                  // the model was loaded and stored
const SceneFacts& sceneFacts();
