// Engine start-up and shutdown, scene loading and drawing.
#include "viewer/Scene.h"

#include "debugging/CLogManager.h"
#include "engine/CResourceManager.h"
#include "gl/GLRenderer.h"

namespace
{
// Taken during static initialisation, in this order, after the global log.
[[maybe_unused]] DEBUGGING::CLog* const openedGlobalLog = DEBUGGING::openGlobalLog();
VELK::CResourceManager* const resourceManager = &VELK::CResourceManager::getInstance();
VELK_GL::GLRenderer* const renderer = &VELK_GL::GLRenderer::getInstance();
} // namespace

void engineStartup()
{
    renderer->init();
}

void loadScene()
{
}

void drawScene()
{
}

void engineShutdown()
{
    // Registered twice with the at-exit list (see the window code); runs once.
    static bool done = false;
    if (done)
        return;
    done = true;
    resourceManager->releaseAll();
    DEBUGGING::CLogManager::getInstance().shutdown();
}
