#pragma once
// The command line of velk-viewer and velk-snapshot: one parser, so that the options the
// two programs share cannot drift apart. GLUT sees none of them.

#include <cstddef>
#include <string>
#include <vector>

#include "viewer/ViewerState.h"

enum class FitChoice
{
    automatic,                                         // framed when a model is named
    always,                                            // --fit
    never,                                             // --no-fit
};

struct ViewerOptions
{
    std::vector<std::string> models;                   // as given; none: the bundled Data/005.obj
    FitChoice fit = FitChoice::automatic;
    UpAxis up = UpAxis::plusY;
    int samples = -1;                                  // -1: 4 for a named model, none for the bundled one
    bool watch = false;                                // velk-viewer: reload when the model's files change

    // velk-snapshot only.
    std::string output = "snapshot.png";
    int width = 1024;
    int height = 768;
    float rotateY = 0.0f;
    float rotateZ = 0.0f;
    float distance = 4.0f;
    bool distanceGiven = false;
    bool info = false;                                 // the model's facts drawn into the picture

    bool framesAtStart() const;
    bool namesModel() const;                           // rather than showing the bundled one
    int samplesAsked() const;                          // 0: no multisampling
};

enum class ParseOutcome
{
    run,
    help,
    bad,                                               // message says why
};

// snapshot: also take velk-snapshot's own options.
ParseOutcome parseOptions(int argc, const char* const* argv, bool snapshot, ViewerOptions& options,
                          std::string& message);
std::string usageText(bool snapshot);

// The viewer's title for the model at path, number index (from 0) of count: its file name,
// with its place among several and whether it failed to load.
std::string windowTitle(const std::string& path, std::size_t index, std::size_t count, bool loaded);

// Parses the command line, or ends the program: --help prints the usage and exits 0; a bad
// command line prints the reason and the usage on stderr and exits 2.
ViewerOptions readOptions(int argc, char** argv, bool snapshot);
