// velk-snapshot: renders a model through the viewer's own scene code into a PNG file,
// for machines without a screen to look at (it still needs an X display, e.g. Xvfb).
#include <GL/glew.h>
#include <GL/freeglut.h>

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "debugging/CLogManager.h"
#include "engine/CPicture.h"
#include "engine/CPictureLoader.h"
#include "viewer/ExitSignals.h"
#include "viewer/Scene.h"
#include "viewer/ViewerState.h"
#include "viewer/ViewerWindow.h"

namespace
{
const char* const kUsage =
    "usage: velk-snapshot [--output FILE.png] [--size WxH] [--rotate-y DEG] [--rotate-z DEG]\n"
    "                     [--distance D] [MODEL.obj]\n"
    "Renders MODEL.obj (default Data/005.obj) as the viewer shows it and writes the picture.\n"
    "The model's folder plays the part of the viewer's Data/ folder.\n"
    "  --output FILE    picture to write, in a format chosen by its extension (default snapshot.png)\n"
    "  --size WxH       picture size in pixels (default 1024x768)\n"
    "  --rotate-y DEG   model rotation about y, as a horizontal drag gives (default 0)\n"
    "  --rotate-z DEG   model rotation about z, as a vertical drag gives (default 0)\n"
    "  --distance D     camera parameter: the eye stands at (D, D, 0) (default 4)\n";

constexpr int kMaxSide = 8192;

struct Options
{
    std::string output = "snapshot.png";
    int width = 1024;
    int height = 768;
    float rotateY = 0.0f;
    float rotateZ = 0.0f;
    float distance = 4.0f;
    std::string model = "Data/005.obj";
};

[[noreturn]] void fail(const std::string& message)
{
    std::cerr << "velk-snapshot: " << message << "\n" << kUsage;
    std::exit(2);
}

float parseNumber(const std::string& option, const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno == ERANGE || !(value == value) || value > 1e30 || value < -1e30)
        fail(option + " takes a number, not '" + text + "'");
    return static_cast<float>(value);
}

int parseSide(const std::string& text)
{
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 1 || value > kMaxSide)
        return -1;
    return static_cast<int>(value);
}

Options parseOptions(int argc, char** argv)
{
    Options options;
    bool modelGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                fail(argument + " needs a value");
            return argv[++i];
        };
        if (argument == "--help" || argument == "-h") {
            std::cout << kUsage;
            std::exit(0);
        } else if (argument == "--output") {
            options.output = value();
            if (options.output.empty())
                fail("--output needs a file name");
        } else if (argument == "--size") {
            const std::string size = value();
            const std::size_t x = size.find('x');
            const int width = x == std::string::npos ? -1 : parseSide(size.substr(0, x));
            const int height = x == std::string::npos ? -1 : parseSide(size.substr(x + 1));
            if (width < 0 || height < 0)
                fail("--size takes WxH with sides from 1 to " + std::to_string(kMaxSide) + ", not '" + size + "'");
            options.width = width;
            options.height = height;
        } else if (argument == "--rotate-y") {
            options.rotateY = parseNumber(argument, value());
        } else if (argument == "--rotate-z") {
            options.rotateZ = parseNumber(argument, value());
        } else if (argument == "--distance") {
            options.distance = parseNumber(argument, value());
            if (options.distance < kMinCameraDistance)
                fail("--distance must be at least 0.1");
        } else if (!argument.empty() && argument[0] == '-') {
            fail("unknown option " + argument);
        } else if (modelGiven) {
            fail("only one model can be given");
        } else {
            options.model = argument;
            modelGiven = true;
        }
    }
    return options;
}

// Between its steps the program looks whether a termination signal asked it to end.
void endIfAsked(const Options& options)
{
    if (const int signal = exitSignal()) {
        std::cerr << "velk-snapshot: stopped by " << exitSignalName(signal) << ", " << options.output
                  << " not written\n";
        std::exit(1);
    }
}

// The back buffer as a picture, top row first.
CPicture readBackBuffer(int width, int height)
{
    CPicture picture(CMyVector<int, 2>(width, height), CPicture::FORMAT_BGR, nullptr);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_BGR, GL_UNSIGNED_BYTE, picture.pixels);
    picture.flipVertical();                           // GL rows start at the bottom
    return picture;
}
} // namespace

int main(int argc, char** argv)
{
    const Options options = parseOptions(argc, argv);
    std::atexit(engineShutdown);
    catchExitSignals();
    int glutArgc = 1;                                  // GLUT gets no options of ours
    openWindow(glutArgc, argv, options.width, options.height, "velk-snapshot");
    endIfAsked(options);

    const std::size_t slash = options.model.rfind('/');
    dataFolder = slash == std::string::npos ? "" : options.model.substr(0, slash + 1);
    modelFileName = slash == std::string::npos ? options.model : options.model.substr(slash + 1);

    engineStartup();
    initGLState();
    endIfAsked(options);
    loadScene();
    endIfAsked(options);
    if (!sceneHasModel()) {
        // Pointing to the log is only of use when the log could be written.
        const bool logged = DEBUGGING::globalLog && DEBUGGING::globalLog->isWritten();
        std::cerr << "velk-snapshot: " << options.model << " could not be loaded"
                  << (logged ? " (global.log says why)\n" : "\n");
        std::exit(1);
    }

    cameraDistance = options.distance;
    rotationY = options.rotateY;
    rotationZ = options.rotateZ;
    placeCamera();
    reshape(options.width, options.height);
    renderFrame();
    glFinish();
    endIfAsked(options);

    CPicture picture = readBackBuffer(options.width, options.height);
    // Left to exit like the factory's own loader, so that the image library is shut
    // down once, by the engine shutdown.
    VELK::CPictureLoader writer;
    try {
        writer.saveToFile(&picture, options.output);
    } catch (const std::exception& error) {
        std::cerr << "velk-snapshot: " << options.output << " could not be written (" << error.what() << ")\n";
        std::exit(1);
    }
    std::cout << "velk-snapshot: wrote " << options.output << " (" << options.width << "x" << options.height << ")"
              << std::endl;
    std::exit(0);
}
