// Engine start-up and shutdown, scene loading and drawing.
#include "viewer/Scene.h"

#include <GL/glew.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <set>

#include "debugging/CLogManager.h"
#include "debugging/CMemoryManager.h"
#include "engine/CFactoryLoader.h"
#include "engine/CMeshData.h"
#include "engine/CObjLoader.h"
#include "engine/CPicture.h"
#include "engine/CPictureLoader.h"
#include "engine/CResourceManager.h"
#include "gl/CGLModel.h"
#include "gl/CGLTexture.h"
#include "gl/GLRenderer.h"

namespace
{
using Texture = VELK_GL::CGLTexture<GL_TEXTURE_2D>;

// Taken during static initialisation, in this order, after the global log.
[[maybe_unused]] DEBUGGING::CLog* const openedGlobalLog = DEBUGGING::openGlobalLog();
VELK::CFactoryLoader* const factoryLoader = &VELK::CFactoryLoader::getInstance();
VELK::CResourceManager* const resourceManager = &VELK::CResourceManager::getInstance();
VELK_GL::GLRenderer* const renderer = &VELK_GL::GLRenderer::getInstance();

VELK_GL::CGLModel* findModel()
{
    return dynamic_cast<VELK_GL::CGLModel*>(resourceManager->getResource(modelFileName));
}

// A picture for every distinct texture name of the model, stored under the name as the
// library wrote it. A picture that does not load leaves its groups untextured; each name
// is tried once, however many materials name it.
void loadTextures(const VELK_GL::CGLModel& model)
{
    std::set<std::string> tried;
    for (unsigned group = 0; group < model.getGroupCount(); ++group) {
        const std::string name = model.getTextureName(group);
        if (name.empty() || !tried.insert(name).second)
            continue;
        const std::string path = dataFolder + name;
        if (resourceManager->getResource(name))
            continue;
        // Asked for as a picture: a file of any other kind is refused before it is read.
        std::unique_ptr<CPicture> picture(static_cast<CPicture*>(factoryLoader->loadFromFile(path, "picture")));
        if (!picture)
            continue;
        Texture* texture = new Texture();
        texture->createFromPicture(*picture);
        resourceManager->addResource(name, texture);
    }
}
} // namespace

std::string modelFileName = "005.obj";
std::string dataFolder = "Data/";

void engineStartup()
{
    renderer->init();
    factoryLoader->registerLoader(new VELK::CPictureLoader());
    factoryLoader->registerLoader(new VELK::CObjLoader());
}

void loadScene()
{
    // Wall time, which is what the user waited; the processor clock would also count
    // the time of the driver's other threads.
    const auto start = std::chrono::steady_clock::now();
    if (!resourceManager->getResource(modelFileName)) {
        // Asked for as a model: a picture named as the model is refused before it is read.
        CMeshData* mesh = static_cast<CMeshData*>(factoryLoader->loadFromFile(dataFolder + modelFileName, "model"));
        if (mesh) {
            VELK_GL::CGLModel* model = new VELK_GL::CGLModel();
            model->build(*mesh);
            resourceManager->addResource(modelFileName, model);
            delete mesh;
            loadTextures(*model);
        }
    }
    const auto stop = std::chrono::steady_clock::now();
    const float seconds = static_cast<float>(std::chrono::duration<double>(stop - start).count());
    std::cout << "Loading... " << seconds << std::endl;
}

void drawScene()
{
    VELK_GL::CGLModel* model = findModel();
    if (!model) {
        std::cout << modelFileName << " not found!" << std::endl;
        return;
    }
    for (unsigned group = 0; group < model->getGroupCount(); ++group) {
        // Anything stored under the name that is not a texture draws untextured.
        Texture* texture = dynamic_cast<Texture*>(resourceManager->getResource(model->getTextureName(group)));
        model->drawGroup(texture, group);
    }
}

void engineShutdown()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    resourceManager->releaseAll();
    factoryLoader->unregisterAll();
    DEBUGGING::CLogManager::getInstance().shutdown();
    DEBUGGING::CMemoryManager::getInstance().shutdown();
}

bool sceneHasModel()
{
    return findModel() != nullptr;
}
