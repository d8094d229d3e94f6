// Engine start-up and shutdown, scene loading and drawing.
#include "viewer/Scene.h"

#include <GL/glew.h>

#include <chrono>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include "debugging/CErrorLines.h"
#include "debugging/CLogManager.h"
#include "debugging/CMemoryManager.h"
#include "engine/CFactoryLoader.h"
#include "engine/CMeshData.h"
#include "engine/CMeshNormals.h"
#include "engine/CObjLoader.h"
#include "engine/CPicture.h"
#include "engine/CPictureLoader.h"
#include "engine/CResourceManager.h"
#include "engine/CSystem.h"
#include "engine/CVertexRecord.h"
#include "gl/CGLModel.h"
#include "gl/CGLTexture.h"
#include "gl/GLRenderer.h"
#include "viewer/ModelFiles.h"
#include "viewer/ViewerState.h"

namespace
{
using Texture = VELK_GL::CGLTexture<GL_TEXTURE_2D>;

// Taken during static initialisation, in this order, after the global log.
[[maybe_unused]] DEBUGGING::CLog* const openedGlobalLog = DEBUGGING::openGlobalLog();
VELK::CFactoryLoader* const factoryLoader = &VELK::CFactoryLoader::getInstance();
VELK::CResourceManager* const resourceManager = &VELK::CResourceManager::getInstance();
VELK_GL::GLRenderer* const renderer = &VELK_GL::GLRenderer::getInstance();

std::string modelPath;                                 // as given
std::string modelFolder;                               // up to its last '/': where its files are looked up
std::string modelName;                                 // the model's resource key: its file name
ModelFiles files;                                      // what the model on screen was made from
SceneFacts facts;

// What each group of the model is drawn with, settled at load.
struct GroupLook
{
    float alpha = 1.0f;                                // the diffuse colour's: below 1, blended over the opaque groups
    std::string mask;                                  // map_d as written; empty for none
    std::string cutOutKey;                             // the texture with the mask in its alpha; empty: drawn solid
};
std::vector<GroupLook> looks;                          // one per group
// Whether the vertices carry colours. Colour material then takes the diffuse alpha from the
// vertices, which are opaque, so a see-through group's own alpha is blended as a constant.
bool colouredVertices = false;

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

// The key each picture name of the model is stored under: the name itself, or, for another
// spelling of a picture already named (./tex.png after tex.png), the first spelling's.
// Spellings are told apart by the file they reach (its device and inode), so that tex.png,
// ./tex.png and sub/../tex.png load one picture; a name that reaches no file stands for itself.
std::map<std::string, std::string> textureKeys;
std::map<std::pair<dev_t, ino_t>, std::string> keyOfFile;
std::set<std::string> failedKeys;                      // pictures that did not load: each is tried once

std::string textureKey(const std::string& name)
{
    const auto found = textureKeys.find(name);
    return found == textureKeys.end() ? name : found->second;
}

std::string settleKey(const std::string& name)
{
    const auto found = textureKeys.find(name);
    if (found != textureKeys.end())
        return found->second;
    std::string key = name;
    struct stat file;
    if (::stat((modelFolder + name).c_str(), &file) == 0)
        key = keyOfFile.emplace(std::make_pair(file.st_dev, file.st_ino), name).first->second;
    textureKeys.emplace(name, key);
    return key;
}

// The picture stored under a key, read from the model's folder; null when it does not load.
std::unique_ptr<CPicture> readPicture(const std::string& key)
{
    if (failedKeys.count(key))
        return nullptr;
    const std::string path = modelFolder + key;
    files.add(path);
    // Asked for as a picture: a file of any other kind is refused before it is read.
    std::unique_ptr<CPicture> picture(static_cast<CPicture*>(factoryLoader->loadFromFile(path, VELK::VLoader::kPicture)));
    if (!picture)
        failedKeys.insert(key);
    return picture;
}

void storeTexture(const std::string& key, const CPicture& picture, bool sharp)
{
    Texture* texture = new Texture();
    texture->createFromPicture(picture);
    if (sharp)
        sharpen(*texture);
    resourceManager->addResource(key, texture);
    ++facts.pictures;
}

// The texture of a picture name, stored under its key; a picture that does not load leaves
// its groups untextured.
void loadTexture(const std::string& name, bool sharp)
{
    if (name.empty())
        return;
    const std::string key = settleKey(name);
    if (resourceManager->getResource(key))
        return;
    if (const std::unique_ptr<CPicture> picture = readPicture(key))
        storeTexture(key, *picture, sharp);
}

// The texture of a group cut out by its mask: the diffuse picture (white without one) with
// the mask's alpha or grey as its alpha, or, where both name one file, that picture with its
// own alpha, or its grey where it has none. Its key; empty when the mask does not load.
std::string loadCutOut(const std::string& name, const std::string& mask, bool sharp)
{
    const std::string maskKey = settleKey(mask);
    const std::string nameKey = name.empty() ? std::string() : settleKey(name);
    // A library's names hold no '#' after a blank (it starts a comment): no picture's key is one of these.
    const std::string mergedKey = (nameKey.empty() ? "" : nameKey + " ") + "#masked by " + maskKey;
    std::string key = mergedKey;
    if (nameKey == maskKey) {
        // A picture that is its own mask serves as it is where it has alpha.
        const Texture* own = dynamic_cast<Texture*>(resourceManager->getResource(nameKey));
        key = !own || own->format == CPicture::FORMAT_BGRA ? nameKey : mergedKey;
    }
    if (resourceManager->getResource(key))
        return key;
    const std::unique_ptr<CPicture> maskPicture = readPicture(maskKey);
    if (!maskPicture)
        return std::string();
    if (nameKey == maskKey) {
        if (maskPicture->format == CPicture::FORMAT_BGRA)
            storeTexture(key, *maskPicture, sharp);
        else
            storeTexture(key, maskPicture->withMask(*maskPicture), sharp);
        return key;
    }
    std::unique_ptr<CPicture> picture = nameKey.empty() ? nullptr : readPicture(nameKey);
    if (!picture) {
        picture.reset(new CPicture(maskPicture->size, CPicture::FORMAT_LUMINANCE, nullptr));
        if (picture->pixels)
            std::memset(picture->pixels, 255, picture->byteCount());
    }
    storeTexture(key, picture->withMask(*maskPicture), sharp);
    return key;
}

// A texture for every distinct picture file the groups name; the groups with a mask after
// the others, so that a model without masks loads its pictures as it always has.
void loadTextures(const VELK_GL::CGLModel& model, bool sharp)
{
    textureKeys.clear();
    keyOfFile.clear();
    failedKeys.clear();
    for (unsigned group = 0; group < model.getGroupCount(); ++group) {
        if (group >= looks.size() || looks[group].mask.empty())
            loadTexture(model.getTextureName(group), sharp);
    }
    for (unsigned group = 0; group < model.getGroupCount() && group < looks.size(); ++group) {
        if (looks[group].mask.empty())
            continue;
        looks[group].cutOutKey = loadCutOut(model.getTextureName(group), looks[group].mask, sharp);
        if (looks[group].cutOutKey.empty())
            loadTexture(model.getTextureName(group), sharp);   // drawn solid
    }
}

// What the view needs of the mesh before it goes: where its positions lie (brought near
// the unit size where they are far from it), and how each group is drawn.
void noteMesh(CMeshData& mesh)
{
    const bool ownRecords =
        mesh.vertices && (mesh.vertexSize == sizeof(CVertexRecord) || mesh.vertexSize == sizeof(CColouredVertexRecord));
    const std::uint32_t floats = mesh.vertexSize / sizeof(float);
    modelBounds = ownRecords ? measureBounds(mesh.vertices + CVertexRecord::kPositionAt, mesh.vertexCount, floats)
                             : ModelBounds();
    if (ownRecords)
        scaleNearUnitSize(mesh.vertices + CVertexRecord::kPositionAt, mesh.vertexCount, floats, modelBounds);
    colouredVertices = false;
    for (std::uint32_t e = 0; mesh.vertexElements && e < mesh.vertexElementCount; ++e)
        colouredVertices = colouredVertices || mesh.vertexElements[e].usage == CVertexElement::USAGE_COLOUR;
    looks.clear();
    for (const CMeshSubset& subset : mesh.subsets)
        looks.push_back(GroupLook{subset.material.diffuse[3], subset.maskFile, std::string()});
    for (const std::string& library : mesh.libraries)
        files.add(library);
}

bool isSeeThrough(unsigned group)
{
    return group < looks.size() && looks[group].alpha < 1.0f;
}

// The model from its mesh, stored under its name, and its pictures.
void showMesh(CMeshData* loaded, bool sharp)
{
    std::unique_ptr<CMeshData> mesh(loaded);
    // Corners without a normal in the file get one from the faces around them; a layout the
    // computation does not know is drawn as it came.
    VELK::CMeshNormals::fillMissing(*mesh);
    noteMesh(*mesh);
    VELK_GL::CGLModel* model = new VELK_GL::CGLModel();
    model->build(*mesh);
    resourceManager->addResource(modelName, model);
    facts.vertices = mesh->vertexCount;
    facts.triangles = mesh->indexCount / 3;
    facts.groups = model->getGroupCount();
    mesh.reset();
    loadTextures(*model, sharp);
}

// Wall time, which is what the user waited; the processor clock would also count the time
// of the driver's other threads.
void noteLoadTime(std::chrono::steady_clock::time_point start)
{
    const auto stop = std::chrono::steady_clock::now();
    facts.loadSeconds = static_cast<float>(std::chrono::duration<double>(stop - start).count());
}

// A fresh start for the facts of the model named modelName, and for its files: the first, its
// own, stamped before it is read, so that a change while it is read is seen afterwards.
void beginModel(ModelFiles& modelFiles)
{
    facts = SceneFacts();
    facts.name = modelName;
    files = std::move(modelFiles);
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
    const auto start = std::chrono::steady_clock::now();
    const std::size_t slash = path.rfind('/');
    modelPath = path;
    modelFolder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    modelName = path.substr(modelFolder.size());
    ModelFiles modelFiles;
    modelFiles.add(path);
    beginModel(modelFiles);
    if (!resourceManager->getResource(modelName)) {
        // Asked for as a model: a picture named as the model is refused before it is read.
        if (CMeshData* mesh = static_cast<CMeshData*>(factoryLoader->loadFromFile(path, VELK::VLoader::kModel)))
            showMesh(mesh, sharpTextures);
    }
    noteLoadTime(start);
}

void printLoadingLine()
{
    std::cout << "Loading... " << facts.loadSeconds << std::endl;
}

bool reloadScene(bool sharpTextures)
{
    const auto start = std::chrono::steady_clock::now();
    ModelFiles modelFiles;
    modelFiles.add(modelPath);
    // The version shown stays until the new one has loaded, so that a failure leaves it; the
    // heap's free pages go back first, so that the two meet in no more memory than they hold.
    VELK::CSystem::returnFreedMemory();
    const DEBUGGING::CErrorLines errors;
    CMeshData* mesh = static_cast<CMeshData*>(factoryLoader->loadFromFile(modelPath, VELK::VLoader::kModel));
    if (!mesh) {
        files.restamp();                               // not tried again until the next change
        std::cerr << "velk-viewer: " << modelPath << " could not be reloaded"
                  << (errors.getLines().empty() ? std::string() : ": " + errors.getLines().front())
                  << (sceneHasModel() ? "; the last version stays" : "") << std::endl;
        return false;
    }
    releaseScene();
    beginModel(modelFiles);
    showMesh(mesh, sharpTextures);
    noteLoadTime(start);
    printLoadingLine();
    return true;
}

void releaseScene()
{
    looks.clear();
    modelBounds = ModelBounds();
    resourceManager->releaseAll();
    VELK::CSystem::returnFreedMemory();
}

bool sceneFilesChanged()
{
    return files.changed();
}

namespace
{
void drawGroup(VELK_GL::CGLModel& model, unsigned group)
{
    // A cut-out group draws nothing where its mask is below one half; elsewhere it is opaque
    // and hides what lies behind, or, see-through, blends as its colour's alpha says.
    const GroupLook* look = group < looks.size() ? &looks[group] : nullptr;
    if (look && !look->cutOutKey.empty()) {
        if (Texture* cutOut = dynamic_cast<Texture*>(resourceManager->getResource(look->cutOutKey))) {
            glEnable(GL_ALPHA_TEST);
            glAlphaFunc(GL_GEQUAL, 0.5f * look->alpha);
            model.drawGroup(cutOut, group);
            glDisable(GL_ALPHA_TEST);
            return;
        }
    }
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
        if (!isSeeThrough(group))
            continue;
        if (colouredVertices) {
            glBlendColor(0.0f, 0.0f, 0.0f, looks[group].alpha);
            glBlendFunc(GL_CONSTANT_ALPHA, GL_ONE_MINUS_CONSTANT_ALPHA);
        }
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
