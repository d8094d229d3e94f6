// velk-snapshot: renders a model through the viewer's own scene code into a PNG file,
// for machines without a screen to look at (it still needs an X display, e.g. Xvfb).
#include <GL/glew.h>
#include <GL/freeglut.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <string>

#include "debugging/CLogManager.h"
#include "engine/CPicture.h"
#include "viewer/ExitSignals.h"
#include "viewer/Multisampling.h"
#include "viewer/Scene.h"
#include "viewer/ViewerOptions.h"
#include "viewer/ViewerState.h"
#include "viewer/ViewerWindow.h"

namespace
{
// Between its steps the program looks whether a termination signal asked it to end.
void endIfAsked(const ViewerOptions& options)
{
    if (const int signal = exitSignal()) {
        std::cerr << "velk-snapshot: stopped by " << exitSignalName(signal) << ", " << options.output
                  << " not written\n";
        std::exit(1);
    }
}

// 1234567 as "1,234,567", as a reader counts it.
std::string withThousands(std::uint64_t number)
{
    std::string digits = std::to_string(number);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}

// "velk-snapshot: loaded spider.obj (1,234 triangles) in 0.12 s"
void sayLoaded()
{
    const SceneFacts& facts = sceneFacts();
    std::cout << "velk-snapshot: loaded " << facts.name << " (" << withThousands(facts.triangles)
              << (facts.triangles == 1 ? " triangle" : " triangles") << ") in " << std::fixed
              << std::setprecision(2) << facts.loadSeconds << " s" << std::defaultfloat << std::endl;
}
} // namespace

int main(int argc, char** argv)
{
    const ViewerOptions options = startProgram(argc, argv, true, endIfAsked);
    if (!sceneHasModel()) {
        // Pointing to the log is only of use when the log could be written.
        const bool logged = DEBUGGING::globalLog && DEBUGGING::globalLog->isWritten();
        std::cerr << "velk-snapshot: " << modelPath(options) << " could not be loaded"
                  << (logged ? " (global.log says why)\n" : "\n");
        std::exit(1);
    }
    sayLoaded();

    // The viewer's first picture: its window size, then its starting view.
    reshape(options.width, options.height);
    startView(options.framesAtStart());
    if (options.distanceGiven)
        cameraDistance = distanceInView(options.distance);
    rotationY = options.rotateY;
    rotationZ = options.rotateZ;
    placeCamera();
    const auto start = std::chrono::steady_clock::now();
    renderFrame();
    glFinish();
    if (options.info) {
        // The block tells how long the picture took to draw, so it is drawn over a second one.
        lastFrameSeconds = std::chrono::duration<float>(std::chrono::steady_clock::now() - start).count();
        infoShown = true;
        renderFrame();
        glFinish();
    }
    endIfAsked(options);

    CPicture picture = readBackBuffer(options.width, options.height);
    std::string error;
    if (!writePicture(picture, options.output, error)) {
        std::cerr << "velk-snapshot: " << options.output << " could not be written (" << error << ")\n";
        std::exit(1);
    }
    std::cout << "velk-snapshot: wrote " << options.output << " (" << options.width << "x" << options.height << ")"
              << std::endl;
    std::exit(0);
}
