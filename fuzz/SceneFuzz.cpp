// Fuzzes the scene's own loading, the seams between the readers included: a model, its
// libraries and its pictures and masks, several named files in one input, are written into a
// scratch folder and loaded by loadScene in a real OpenGL context, then framed and drawn once,
// reloaded over what it left and drawn again. It needs an X display; scripts/fuzz starts a
// virtual one where there is none.
//
// The input is the model's text (the file m.obj), then for every further file a line
// "=file NAME=" followed by its bytes. NAME is made of letters, digits, '.', '_' and '-';
// one ending in '/', '|' or '@' makes a folder, a FIFO or a link to /dev/zero instead.
#include <GL/glew.h>
#include <GL/freeglut.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include <sys/stat.h>

#include "debugging/CLogManager.h"
#include "engine/CFactoryLoader.h"
#include "engine/CObjLoader.h"
#include "engine/CPictureLoader.h"
#include "gl/GLRenderer.h"
#include "viewer/Scene.h"
#include "viewer/ViewerWindow.h"

namespace
{

namespace fs = std::filesystem;

const char* const kFolder = "scene/";
const char* const kModel = "m.obj";
const std::string kMarker = "\n=file ";
const std::size_t kMaxFiles = 8;

bool isFileName(const std::string& name)
{
    if (name.empty() || name.size() > 40 || name == "." || name == "..")
        return false;
    for (char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '_' || c == '-';
        if (!plain)
            return false;
    }
    return true;
}

void writeEntry(std::string name, const std::string& bytes)
{
    const char kind = name.empty() ? '\0' : name.back();
    if (kind == '/' || kind == '|' || kind == '@')
        name.pop_back();
    if (!isFileName(name))
        return;
    const std::string path = kFolder + name;
    std::error_code ignored;
    if (fs::symlink_status(path, ignored).type() != fs::file_type::not_found)
        return;                                        // the first file of a name wins
    if (kind == '/')
        fs::create_directory(path, ignored);
    else if (kind == '|')
        ::mkfifo(path.c_str(), 0600);
    else if (kind == '@')
        fs::create_symlink("/dev/zero", path, ignored);
    else
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // GLUT is given the program's name only; the fuzzer's options are not for it.
    int glutArgc = 1;
    char* glutArgv[] = {(*argv)[0], nullptr};
    (void)argc;
    openWindow(glutArgc, glutArgv, 64, 64, "velk-scene-fuzz");
    VELK_GL::GLRenderer::getInstance().init();
    // The scene's loaders, with a lower picture limit: a small compressed picture may
    // stand for millions of pixels, which take seconds under the sanitizers.
    VELK::CPictureLoader* pictures = new VELK::CPictureLoader();
    pictures->setPixelLimit(1 << 16);
    VELK::CFactoryLoader::getInstance().registerLoader(pictures);
    VELK::CFactoryLoader::getInstance().registerLoader(new VELK::CObjLoader());
    initGLState();
    reshape(64, 64);
    // Every run would add its lines to global.log, "Loading..." to the output and a failed
    // reload's reason to stderr.
    DEBUGGING::CLogManager::getInstance().shutdown();
    std::cout.setstate(std::ios::failbit);
    std::cerr.setstate(std::ios::failbit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::error_code ignored;
    fs::remove_all(kFolder, ignored);
    fs::create_directory(kFolder, ignored);

    std::size_t at = input.find(kMarker);
    writeEntry(kModel, input.substr(0, at));
    for (std::size_t files = 1; at != std::string::npos && files < kMaxFiles; ++files) {
        const std::size_t nameStart = at + kMarker.size();
        const std::size_t nameEnd = input.find("=\n", nameStart);
        if (nameEnd == std::string::npos)
            break;
        const std::size_t next = input.find(kMarker, nameEnd + 2);
        const std::size_t end = next == std::string::npos ? input.size() : next;
        writeEntry(input.substr(nameStart, nameEnd - nameStart), input.substr(nameEnd + 2, end - nameEnd - 2));
        at = next;
    }

    loadScene(std::string(kFolder) + kModel, true);  // with a named model's sharper pictures
    startView(true);                                   // framed from the model's own bounds
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1)
            reloadScene(true);
        if (sceneHasModel()) {
            renderFrame();
            glFinish();
        }
    }
    releaseScene();
    return 0;
}
