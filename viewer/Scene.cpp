// Engine start-up and shutdown, scene loading and drawing.
#include "viewer/Scene.h"

#include <GL/glew.h>

#include <chrono>
#include <iostream>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include "debugging/CLogManager.h"
#include "debugging/CMemoryManager.h"
#include "engine/CFactoryLoader.h"
#include "engine/CMeshData.h"
#include "engine/CMeshNormals.h"
#include "engine/CObjLoader.h"
#include "engine/CPicture.h"
#include "engine/CPictureLoader.h"
#include "engine/CResourceManager.h"
#include "engine/CVertexRecord.h"
#include "gl/CGLModel.h"
#include "gl/CGLTexture.h"
#include "gl/GLRenderer.h"
#include "viewer/ViewerState.h"

namespace
{
using Texture = VELK_GL::CGLTexture<GL_TEXTURE_2D>;

// Taken during static initialisation, in this order, after the global log.
[[maybe_unused]] DEBUGGING::CLog* const openedGlobalLog = DEBUGGING::openGlobalLog();
VELK::CFactoryLoader* const factoryLoader = &VELK::CFactoryLoader::getInstance();
VELK::CResourceManager* const resourceManager = &VELK::CResourceManager::getInstance();
VELK_GL::GLRenderer* const renderer = &VELK_GL::GLRenderer::getInstance();

std::string modelName;                                 // the model's resource key: its file name
// One flag per group of the model: its diffuse colour lets what lies behind show through.
std::vector<bool> seeThroughGroups;
SceneFacts facts;

// Trilinear filtering, and anisotropic as far as the driver goes, keep a picture sharp and
// still at a slant; the texture's own parameters are those of the bundled scene's design.
void sharpen(Texture& texture)
{
    if (texture.textureId == 0)
        return;
    texture.minFilter = GL_LINEAR_MIPMAP_LINEAR;
    if (!GLEW_EXT_texture_filter_anisotropic)
        return;
    GLfloat most = 1.0f;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &most);
    glBindTexture(GL_TEXTURE_2D, texture.textureId);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, most);
    glBindTexture(GL_TEXTURE_2D, 0);
}

VELK_GL::CGLModel* findModel()
{
    return dynamic_cast<VELK_GL::CGLModel*>(resourceManager->getResource(modelName));
}

// The key each texture name of the model is stored under: the name itself, or, for another
// spelling of a picture already named (./tex.png after tex.png), the first spelling's.
std::map<std::string, std::string> textureKeys;

std::string textureKey(const std::string& name)
{
    const auto found = textureKeys.find(name);
    return found == textureKeys.end() ? name : found->second;
}

// A picture for every distinct file the texture names reach, stored under the first name
// that reaches it as the library wrote it. Spellings are told apart by the file they reach
// (its device and inode), so that tex.png, ./tex.png and sub/../tex.png load one picture;
// a name that reaches no file stands for itself. A picture that does not load leaves its
// groups untextured; each is tried once, however many materials name it.
void loadTextures(const VELK_GL::CGLModel& model, const std::string& folder, bool sharp)
{
    textureKeys.clear();
    std::map<std::pair<dev_t, ino_t>, std::string> keyOfFile;
    for (unsigned group = 0; group < model.getGroupCount(); ++group) {
        const std::string name = model.getTextureName(group);
        if (name.empty() || textureKeys.count(name))
            continue;
        const std::string path = folder + name;
        std::string key = name;
        struct stat file;
        if (::stat(path.c_str(), &file) == 0)
            key = keyOfFile.emplace(std::make_pair(file.st_dev, file.st_ino), name).first->second;
        textureKeys.emplace(name, key);
        if (key != name || resourceManager->getResource(name))
            continue;
        // Asked for as a picture: a file of any other kind is refused before it is read.
        std::unique_ptr<CPicture> picture(static_cast<CPicture*>(factoryLoader->loadFromFile(path, VELK::VLoader::kPicture)));
        if (!picture)
            continue;
        Texture* texture = new Texture();
        texture->createFromPicture(*picture);
        if (sharp)
            sharpen(*texture);
        resourceManager->addResource(name, texture);
        ++facts.pictures;
    }
}

// What the view needs of the mesh before it goes: where its positions lie (brought near
// the unit size where they are far from it), and which groups are see-through.
void noteMesh(CMeshData& mesh)
{
    modelBounds = mesh.vertices && mesh.vertexSize == sizeof(CVertexRecord)
                      ? measureBounds(mesh.vertices + CVertexRecord::kPositionAt, mesh.vertexCount, CVertexRecord::kFloats)
                      : ModelBounds();
    if (mesh.vertices && mesh.vertexSize == sizeof(CVertexRecord))
        scaleNearUnitSize(mesh.vertices + CVertexRecord::kPositionAt, mesh.vertexCount, CVertexRecord::kFloats,
                          modelBounds);
    seeThroughGroups.clear();
    for (const CMeshSubset& subset : mesh.subsets)
        seeThroughGroups.push_back(subset.material.diffuse[3] < 1.0f);
}

bool isSeeThrough(unsigned group)
{
    return group < seeThroughGroups.size() && seeThroughGroups[group];
}
} // namespace

void engineStartup()
{
    renderer->init();
    factoryLoader->registerLoader(new VELK::CPictureLoader());
    factoryLoader->registerLoader(new VELK::CObjLoader());
}

void loadScene(const std::string& path, bool sharpTextures)
{
    // Wall time, which is what the user waited; the processor clock would also count
    // the time of the driver's other threads.
    const auto start = std::chrono::steady_clock::now();
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    modelName = path.substr(folder.size());
    facts = SceneFacts();
    facts.name = modelName;
    if (!resourceManager->getResource(modelName)) {
        // Asked for as a model: a picture named as the model is refused before it is read.
        CMeshData* mesh = static_cast<CMeshData*>(factoryLoader->loadFromFile(path, VELK::VLoader::kModel));
        if (mesh) {
            // Corners without a normal in the file get one from the faces around them; a
            // layout the computation does not know is drawn as it came.
            VELK::CMeshNormals::fillMissing(*mesh);
            noteMesh(*mesh);
            VELK_GL::CGLModel* model = new VELK_GL::CGLModel();
            model->build(*mesh);
            resourceManager->addResource(modelName, model);
            facts.vertices = mesh->vertexCount;
            facts.triangles = mesh->indexCount / 3;
            facts.groups = model->getGroupCount();
            delete mesh;
            loadTextures(*model, folder, sharpTextures);
        }
    }
    const auto stop = std::chrono::steady_clock::now();
    const float seconds = static_cast<float>(std::chrono::duration<double>(stop - start).count());
    facts.loadSeconds = seconds;
    std::cout << "Loading... " << seconds << std::endl;
}

namespace
{
void drawGroup(VELK_GL::CGLModel& model, unsigned group)
{
    // Anything stored under the name that is not a texture draws untextured.
    Texture* texture = dynamic_cast<Texture*>(resourceManager->getResource(textureKey(model.getTextureName(group))));
    model.drawGroup(texture, group);
}
} // namespace

void drawScene()
{
    VELK_GL::CGLModel* model = findModel();
    if (!model) {
        std::cout << modelName << " not found!" << std::endl;
        return;
    }
    // Opaque groups first, in group order; then the see-through ones over them, blended,
    // hiding nothing behind them from each other.
    bool anySeeThrough = false;
    for (unsigned group = 0; group < model->getGroupCount(); ++group) {
        if (isSeeThrough(group))
            anySeeThrough = true;
        else
            drawGroup(*model, group);
    }
    if (!anySeeThrough)
        return;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    for (unsigned group = 0; group < model->getGroupCount(); ++group) {
        if (isSeeThrough(group))
            drawGroup(*model, group);
    }
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
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

const SceneFacts& sceneFacts()
{
    return facts;
}
