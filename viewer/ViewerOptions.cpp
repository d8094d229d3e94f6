// The programs' command line: parsing, usage and the exits for help and mistakes.
#include "viewer/ViewerOptions.h"

#include <cerrno>
#include <cstdlib>
#include <iostream>

namespace
{
constexpr int kMaxSide = 8192;

const char* const kViewerUsage =
    "usage: velk-viewer [--fit | --no-fit] [MODEL.obj]\n"
    "Shows MODEL.obj, or without it the bundled Data/005.obj from the designed starting view.\n"
    "The model's folder plays the part of Data/ for its libraries and pictures.\n";

const char* const kSnapshotUsage =
    "usage: velk-snapshot [--output FILE.png] [--size WxH] [--rotate-y DEG] [--rotate-z DEG]\n"
    "                     [--distance D] [--fit | --no-fit] [MODEL.obj]\n"
    "Renders MODEL.obj (default Data/005.obj) as the viewer first shows it and writes the picture.\n"
    "The model's folder plays the part of the viewer's Data/ folder.\n"
    "  --output FILE    picture to write, in a format chosen by its extension (default snapshot.png)\n"
    "  --size WxH       picture size in pixels (default 1024x768)\n"
    "  --rotate-y DEG   model rotation about y, as a horizontal drag gives (default 0)\n"
    "  --rotate-z DEG   model rotation about z, as a vertical drag gives (default 0)\n"
    "  --distance D     camera parameter: the eye stands at (D, D, 0) from the centre of the\n"
    "                   turning (default 4, or the framing distance)\n";

const char* const kFitUsage =
    "  --fit            frame the model: look at the centre of its bounds from the starting\n"
    "                   direction, from where it fills the view (the default for a named model)\n"
    "  --no-fit         keep the designed starting view: the eye at (4, 4, 0), turning about\n"
    "                   the origin (the default without a model)\n"
    "  --help           print this text and exit\n";

const char* const kKeysUsage =
    "Keys and mouse:\n"
    "  left drag        turn the model\n"
    "  Up, Down         move nearer, farther\n"
    "  mouse wheel      the same: forward nearer, back farther\n"
    "  F                frame the model, keeping its turn\n"
    "  R                back to the starting view\n"
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

int parseSide(const std::string& text)
{
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 1 || value > kMaxSide)
        return -1;
    return static_cast<int>(value);
}
} // namespace

bool ViewerOptions::framesAtStart() const
{
    return fit == FitChoice::always || (fit == FitChoice::automatic && !model.empty());
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
    bool modelGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        std::string value;
        const bool takesValue = snapshot && (argument == "--output" || argument == "--size" ||
                                             argument == "--rotate-y" || argument == "--rotate-z" ||
                                             argument == "--distance");
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
        } else if (modelGiven) {
            message = "only one model can be given";
            return ParseOutcome::bad;
        } else if (argument.empty()) {
            message = "the model's name is empty";
            return ParseOutcome::bad;
        } else {
            options.model = argument;
            modelGiven = true;
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
