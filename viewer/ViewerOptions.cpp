// The programs' command line: parsing, usage and the exits for help and mistakes.
#include "viewer/ViewerOptions.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <cstdlib>
#include <iostream>

namespace
{
constexpr int kMaxSide = 8192;
constexpr int kMaxSamples = 32;
constexpr int kNamedModelSamples = 4;

// The spellings of --up, in the order of UpAxis.
const char* const kUpAxes[] = {"+X", "-X", "+Y", "-Y", "+Z", "-Z"};

const char* const kViewerUsage =
    "usage: velk-viewer [--fit | --no-fit] [--up AXIS] [--samples N] [--watch] [MODEL.obj...]\n"
    "Shows MODEL.obj, or without it the bundled Data/005.obj from the designed starting view.\n"
    "The model's folder plays the part of Data/ for its libraries and pictures. Of several\n"
    "models, the first is shown; Right and Left move between them.\n"
    "  --watch          reload the model when it, one of its libraries or one of its pictures\n"
    "                   changes on disk (looked at about once a second)\n";

const char* const kSnapshotUsage =
    "usage: velk-snapshot [--output FILE.png] [--size WxH] [--rotate-y DEG] [--rotate-z DEG]\n"
    "                     [--distance D] [--fit | --no-fit] [--up AXIS] [--samples N] [--info]\n"
    "                     [MODEL.obj]\n"
    "Renders MODEL.obj (default Data/005.obj) as the viewer first shows it and writes the picture.\n"
    "The model's folder plays the part of the viewer's Data/ folder.\n"
    "  --output FILE    picture to write, in a format chosen by its extension (default snapshot.png)\n"
    "  --size WxH       picture size in pixels (default 1024x768)\n"
    "  --rotate-y DEG   model rotation about y, as a horizontal drag gives (default 0)\n"
    "  --rotate-z DEG   model rotation about z, as a vertical drag gives (default 0)\n"
    "  --distance D     camera parameter: the eye stands at (D, D, 0) from the centre of the\n"
    "                   turning (default 4, or the framing distance)\n"
    "  --info           draw the model's facts in the top left corner, as the viewer's I key does\n";

const char* const kFitUsage =
    "  --fit            frame the model: look at the centre of its bounds from the starting\n"
    "                   direction, from where it fills the view (the default for a named model)\n"
    "  --no-fit         keep the designed starting view: the eye at (4, 4, 0), turning about\n"
    "                   the origin (the default without a model)\n"
    "  --up AXIS        the model's up direction, +X, -X, +Y, -Y, +Z or -Z (default +Y): up in\n"
    "                   the starting view, the framing and the view keys\n"
    "  --samples N      smooth edges: N samples a pixel, 0 for none (default 4 for a named\n"
    "                   model, none for the bundled one)\n"
    "  --help           print this text and exit\n";

const char* const kKeysUsage =
    "Keys and mouse:\n"
    "  left drag        turn the model about the point the view looks at\n"
    "  middle drag, Shift+left drag\n"
    "                   move the view in the window's plane\n"
    "  Up, Down         move nearer, farther\n"
    "  mouse wheel      the same: forward nearer, back farther\n"
    "  1, 3, 7          front, right, top view, framed (the number pad too, with Num Lock on)\n"
    "  9                the starting direction, framed\n"
    "  F                frame the model, keeping its turn, undoing a pan\n"
    "  R                back to the starting view\n"
    "  I                show or hide the model's facts: file, counts, load and frame time\n"
    "  Right, Left      the next or the previous model named, each framed as if opened alone\n"
    "  Page Down, Page Up\n"
    "                   the same\n"
    "  F5               read the model, its libraries and pictures again, keeping the view\n"
    "  F12              write the picture to velk-<n>.png in the working folder, the first free n\n"
    "  Escape           quit\n";

bool parseNumber(const std::string& text, float& out)
{
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno == ERANGE || !(value == value) || value > 1e30 || value < -1e30)
        return false;
    out = static_cast<float>(value);
    return true;
}

// A whole number from `least` to `most`; -1 for anything else.
int parseCount(const std::string& text, int most, int least = 0)
{
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < least || value > most)
        return -1;
    return static_cast<int>(value);
}

int parseSide(const std::string& text)
{
    return parseCount(text, kMaxSide, 1);
}
} // namespace

bool ViewerOptions::framesAtStart() const
{
    return fit == FitChoice::always || (fit == FitChoice::automatic && namesModel());
}

bool ViewerOptions::namesModel() const
{
    return !models.empty();
}

int ViewerOptions::samplesAsked() const
{
    return samples >= 0 ? samples : namesModel() ? kNamedModelSamples : 0;
}

std::string windowTitle(const std::string& path, std::size_t index, std::size_t count, bool loaded)
{
    const std::string name = path.substr(path.rfind('/') + 1);
    if (count < 2)
        return name + " - velk-viewer";
    return name + " (" + std::to_string(index + 1) + "/" + std::to_string(count) + (loaded ? "" : ", not loaded") +
           ") - velk-viewer";
}

std::string usageText(bool snapshot)
{
    if (snapshot)
        return std::string(kSnapshotUsage) + kFitUsage;
    return std::string(kViewerUsage) + kFitUsage + kKeysUsage;
}

ParseOutcome parseOptions(int argc, const char* const* argv, bool snapshot, ViewerOptions& options,
                          std::string& message)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        std::string value;
        const bool takesValue = argument == "--up" || argument == "--samples" ||
                                (snapshot && (argument == "--output" || argument == "--size" ||
                                              argument == "--rotate-y" || argument == "--rotate-z" ||
                                              argument == "--distance"));
        if (takesValue) {
            if (i + 1 >= argc) {
                message = argument + " needs a value";
                return ParseOutcome::bad;
            }
            value = argv[++i];
        }
        if (argument == "--help" || argument == "-h") {
            return ParseOutcome::help;
        } else if (argument == "--fit") {
            options.fit = FitChoice::always;
        } else if (argument == "--no-fit") {
            options.fit = FitChoice::never;
        } else if (snapshot && argument == "--info") {
            options.info = true;
        } else if (!snapshot && argument == "--watch") {
            options.watch = true;
        } else if (argument == "--up") {
            const auto* axis = std::find(std::begin(kUpAxes), std::end(kUpAxes), value);
            if (axis == std::end(kUpAxes)) {
                message = "--up takes +X, -X, +Y, -Y, +Z or -Z, not '" + value + "'";
                return ParseOutcome::bad;
            }
            options.up = static_cast<UpAxis>(axis - std::begin(kUpAxes));
        } else if (argument == "--samples") {
            options.samples = parseCount(value, kMaxSamples);
            if (options.samples < 0) {
                message = "--samples takes a number from 0 to " + std::to_string(kMaxSamples) + ", not '" + value + "'";
                return ParseOutcome::bad;
            }
        } else if (takesValue && argument == "--output") {
            if (value.empty()) {
                message = "--output needs a file name";
                return ParseOutcome::bad;
            }
            options.output = value;
        } else if (takesValue && argument == "--size") {
            const std::size_t x = value.find('x');
            const int width = x == std::string::npos ? -1 : parseSide(value.substr(0, x));
            const int height = x == std::string::npos ? -1 : parseSide(value.substr(x + 1));
            if (width < 0 || height < 0) {
                message = "--size takes WxH with sides from 1 to " + std::to_string(kMaxSide) + ", not '" + value + "'";
                return ParseOutcome::bad;
            }
            options.width = width;
            options.height = height;
        } else if (takesValue) {
            float number = 0.0f;
            if (!parseNumber(value, number)) {
                message = argument + " takes a number, not '" + value + "'";
                return ParseOutcome::bad;
            }
            if (argument == "--rotate-y") {
                options.rotateY = number;
            } else if (argument == "--rotate-z") {
                options.rotateZ = number;
            } else if (!(number > 0.0f)) {
                message = "--distance must be above 0";
                return ParseOutcome::bad;
            } else {
                options.distance = number;
                options.distanceGiven = true;
            }
        } else if (!argument.empty() && argument[0] == '-') {
            message = "unknown option " + argument;
            return ParseOutcome::bad;
        } else if (snapshot && !options.models.empty()) {
            message = "only one model can be given";
            return ParseOutcome::bad;
        } else if (argument.empty()) {
            message = "the model's name is empty";
            return ParseOutcome::bad;
        } else {
            options.models.push_back(argument);
        }
    }
    return ParseOutcome::run;
}

ViewerOptions readOptions(int argc, char** argv, bool snapshot)
{
    ViewerOptions options;
    std::string message;
    switch (parseOptions(argc, argv, snapshot, options, message)) {
    case ParseOutcome::run:
        return options;
    case ParseOutcome::help:
        std::cout << usageText(snapshot);
        std::exit(0);
    case ParseOutcome::bad:
        break;
    }
    std::cerr << (snapshot ? "velk-snapshot: " : "velk-viewer: ") << message << "\n" << usageText(snapshot);
    std::exit(2);
}
