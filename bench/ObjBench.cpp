// The model-loading benchmark: this engine's OBJ loader against two widely used peers on
// the same file, and the loader's own steps one by one. The headline figures come from
// fresh processes, one load each, since that is what a user waits for; loads repeated
// in one process find the allocator and the page tables warm and are shown apart.
//
//   velk-obj-bench compare <model.obj> [runs] [--baseline BENCH]
//   velk-obj-bench phases <model.obj> [runs]        the steps of a load, and the normals
//                                                   computed after it where the file has none
//   velk-obj-bench scaling [--runs N] <model.obj>...
//   velk-obj-bench shapes [--runs N] <model.obj>... peak memory per megabyte of file, beside
//                                                   tinyobjloader's, for hostile face shapes
//   velk-obj-bench machine
//   velk-obj-bench memory <loader> <model.obj>   one load in this process, for the above
//   velk-obj-bench phases-once <model.obj>       one timed load in this process, for phases
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <tiny_obj_loader.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "bench/FreshProcess.h"
#include "engine/CMeshData.h"
#include "engine/CMeshNormals.h"
#include "engine/CObjLoader.h"
#include "engine/CObjText.h"

namespace
{

const char* const kOurs = "velk";
const char* const kTinyobj = "tinyobjloader";
const char* const kAssimp = "assimp";

struct CLoadResult
{
    std::size_t triangles = 0;                         // proves the work was done
    std::shared_ptr<void> kept;                        // the loader's result, alive until released
};

struct CTinyobjResult
{
    tinyobj::attrib_t attributes;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
};

CLoadResult loadOurs(const std::string& path)
{
    VELK::CObjLoader loader;
    std::shared_ptr<CMeshData> mesh(static_cast<CMeshData*>(loader.loadFromFile(path)));
    return {mesh->indexCount / 3, mesh};
}

CLoadResult loadTinyobj(const std::string& path)
{
    auto result = std::make_shared<CTinyobjResult>();
    std::string warning;
    std::string error;
    const std::string::size_type slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
    if (!tinyobj::LoadObj(&result->attributes, &result->shapes, &result->materials, &warning, &error, path.c_str(),
                          folder.c_str(), true))
        throw std::runtime_error("tinyobjloader: " + error);
    std::size_t triangles = 0;
    for (const tinyobj::shape_t& shape : result->shapes)
        triangles += shape.mesh.indices.size() / 3;
    return {triangles, result};
}

CLoadResult loadAssimp(const std::string& path)
{
    auto importer = std::make_shared<Assimp::Importer>();    // owns the scene
    const aiScene* scene = importer->ReadFile(path, aiProcess_Triangulate | aiProcess_JoinIdenticalVertices);
    if (!scene)
        throw std::runtime_error(std::string("assimp: ") + importer->GetErrorString());
    std::size_t triangles = 0;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m)
        triangles += scene->mMeshes[m]->mNumFaces;
    return {triangles, importer};
}

struct CLoader
{
    const char* name;
    const char* work;                                  // what the load includes
};

const CLoader kLoaders[] = {
    {kOurs, "parse + weld + material order + mesh"},
    {kTinyobj, "parse + triangulate, no weld"},
    {kAssimp, "Triangulate | JoinIdenticalVertices"},
};

CLoadResult loadByName(const std::string& name, const std::string& path)
{
    if (name == kOurs)
        return loadOurs(path);
    if (name == kTinyobj)
        return loadTinyobj(path);
    if (name == kAssimp)
        return loadAssimp(path);
    throw std::runtime_error("no loader named " + name);
}

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Seconds from the call to the result in hand; releasing the result is not counted.
double timedLoad(const std::string& name, const std::string& path, CLoadResult& result)
{
    const double started = now();
    result = loadByName(name, path);
    return now() - started;
}

std::size_t fileSize(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        throw std::runtime_error("cannot open " + path);
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fclose(file);
    return static_cast<std::size_t>(size);
}

// Reads the file once in small pieces, so that every load finds it in the page cache and
// this process stays small: a new process starts with the peak of the one that starts it.
double readThrough(const std::string& path)
{
    const double started = now();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        throw std::runtime_error("cannot open " + path);
    std::vector<char> piece(1 << 20);
    while (std::fread(piece.data(), 1, piece.size(), file) == piece.size()) {
    }
    std::fclose(file);
    return now() - started;
}

double megabytesPerSecond(std::size_t bytes, double seconds)
{
    return seconds > 0.0 ? static_cast<double>(bytes) / 1e6 / seconds : 0.0;
}

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long minorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

std::string selfPath()
{
    char self[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        throw std::runtime_error("cannot find this program through /proc/self/exe");
    return self;
}

// The machine and how this program was built, on one line.
std::string machineLine()
{
#ifdef __clang__
    const char* const compiler = "clang " __clang_version__;
#else
    const char* const compiler = "gcc " __VERSION__;
#endif
    return BENCH::thisMachine() + "; build " + VELK_BUILD_TYPE + ", " + compiler;
}

void printHeader(const std::string& path, std::size_t bytes)
{
    std::printf("machine: %s\n", machineLine().c_str());
    std::printf("%s: %.1f MB, read through once so that it is in the page cache\n", path.c_str(), bytes / 1e6);
    std::printf("%s\n", BENCH::loadAverage().c_str());
}

// One load in a fresh process: the memory mode of this program, or of another build of it.
struct CFreshLoads
{
    std::string label;
    std::vector<std::string> command;
    std::vector<double> loadSeconds;                   // as the process timed its load; empty for an older build
    std::vector<double> processSeconds;                // start to exit, from outside
    std::vector<double> systemSeconds;                 // in the kernel
    std::vector<double> peaks;                         // kilobytes
    std::vector<double> faults;                        // minor page faults of the whole process
    std::vector<double> hugePages;                     // cleared on a fault meanwhile, the whole system's
    std::size_t triangles = 0;
};

CFreshLoads freshLoads(const std::string& label, const std::vector<std::string>& command)
{
    CFreshLoads loads;
    loads.label = label;
    loads.command = command;
    return loads;
}

void runFreshLoad(CFreshLoads& loads)
{
    const BENCH::CProcessRun run = BENCH::runFreshProcess(loads.command);
    // "<peak KB> <load seconds> <triangles>"; older builds print the peak alone.
    std::istringstream answer(run.output);
    long peak = 0;
    double seconds = 0.0;
    answer >> peak;
    if (answer >> seconds) {
        loads.loadSeconds.push_back(seconds);
        answer >> loads.triangles;
    }
    loads.processSeconds.push_back(run.seconds);
    loads.systemSeconds.push_back(run.systemSeconds);
    loads.peaks.push_back(static_cast<double>(run.peakKilobytes));
    loads.faults.push_back(static_cast<double>(run.minorFaults));
    loads.hugePages.push_back(static_cast<double>(run.hugePagesFaulted));
}

void printFreshHeading()
{
    std::printf("%-14s %8s %15s %7s | %9s %6s %8s %6s %8s %8s\n", "loader", "load s", "(min - max)", "MB/s",
                "process s", "sys s", "peak MB", "x file", "faults", "huge MB");
}

void printFreshRow(const CFreshLoads& loads, std::size_t bytes)
{
    const double peak = BENCH::spreadOf(loads.peaks).median;
    const double hugePages = BENCH::spreadOf(loads.hugePages).median;
    std::printf("%-14s ", loads.label.c_str());
    if (loads.loadSeconds.empty()) {
        std::printf("%8s %15s %7s", "-", "", "-");
    } else {
        const BENCH::CSpread load = BENCH::spreadOf(loads.loadSeconds);
        char range[32];
        std::snprintf(range, sizeof range, "(%.3f - %.3f)", load.min, load.max);
        std::printf("%8.3f %15s %7.0f", load.median, range, megabytesPerSecond(bytes, load.median));
    }
    std::printf(" | %9.3f %6.3f %8.1f %6.2f %8.0f ", BENCH::spreadOf(loads.processSeconds).median,
                BENCH::spreadOf(loads.systemSeconds).median, peak / 1e3, peak * 1024.0 / static_cast<double>(bytes),
                BENCH::spreadOf(loads.faults).median);
    if (hugePages < 0)
        std::printf("%8s\n", "-");
    else
        std::printf("%8.0f\n", 2.0 * hugePages);
}

// Each loader's time over velk's in the same round, then the median of those ratios: a
// round's loads ran moments apart, so that a slower machine slows both.
void printPairedRatios(const std::vector<CFreshLoads>& all, bool byLoad, const char* what)
{
    const auto times = [byLoad](const CFreshLoads& loads) { return byLoad ? loads.loadSeconds : loads.processSeconds; };
    const std::vector<double> ours = times(all[0]);
    for (std::size_t k = 1; k < all.size(); ++k) {
        const std::vector<double> theirs = times(all[k]);
        if (theirs.size() != ours.size() || ours.empty())
            continue;
        std::vector<double> ratios;
        for (std::size_t run = 0; run < ours.size(); ++run)
            ratios.push_back(theirs[run] / ours[run]);
        const BENCH::CSpread spread = BENCH::spreadOf(ratios);
        std::printf("%s / velk: %.2f x (%.2f - %.2f), %s\n", all[k].label.c_str(), spread.median, spread.min, spread.max,
                    what);
    }
}

int runCompare(const std::string& self, const std::string& path, int runs, const std::string& baseline)
{
    const std::size_t bytes = fileSize(path);
    const double readSeconds = readThrough(path);
    printHeader(path, bytes);
    std::printf("reading the file from the page cache: %.0f MB/s\n", megabytesPerSecond(bytes, readSeconds));
    for (const CLoader& loader : kLoaders)
        std::printf("  %-14s %s\n", loader.name, loader.work);

    std::vector<CFreshLoads> fresh;
    for (const CLoader& loader : kLoaders)
        fresh.push_back(freshLoads(loader.name, {self, "memory", loader.name, path}));
    if (!baseline.empty()) {
        fresh.push_back(freshLoads("velk baseline", {baseline, "memory", kOurs, path}));
        std::printf("  %-14s the velk load of %s\n", "velk baseline", baseline.c_str());
    }
    // Every round in the same order, so that each load follows another large process, as
    // a user's load follows whatever ran before: assimp, velk, tinyobjloader, the baseline.
    const std::size_t order[] = {2, 0, 1, 3};
    std::printf("\nFresh processes, one load each (what a user waits for): %d rounds of assimp, velk, tinyobjloader%s\n",
                runs, baseline.empty() ? "" : ", velk baseline");
    for (int run = 0; run < runs; ++run) {
        for (const std::size_t k : order) {
            if (k < fresh.size())
                runFreshLoad(fresh[k]);
        }
    }
    printFreshHeading();
    for (const CFreshLoads& loads : fresh)
        printFreshRow(loads, bytes);
    std::printf("load: the loader's call timed inside the process, up to the result in hand; process: start to\n"
                "exit, timed outside; sys: its time in the kernel; peak RSS and minor page faults: the whole\n"
                "process; huge MB: huge pages cleared on a fault meanwhile, by the whole system; all medians\n");
    for (const CFreshLoads& loads : fresh) {
        if (!loads.loadSeconds.empty())
            std::printf("  %-14s %zu triangles\n", loads.label.c_str(), loads.triangles);
    }
    printPairedRatios(fresh, true, "load, paired by round: median (min - max)");
    printPairedRatios(fresh, false, "start to exit, paired by round");
    std::printf("%s\n", BENCH::loadAverage().c_str());
    return 0;
}

int runOneLoad(const std::string& loader, const std::string& path)
{
    CLoadResult result;
    const double seconds = timedLoad(loader, path, result);
    std::printf("%ld %.6f %zu\n", peakKilobytes(), seconds, result.triangles);
    return 0;
}

// The reading and cutting of every line into words, as the loader does it, without
// converting any number: what remains of the loader's parse is number conversion and
// storing.
double tokenizeSeconds(const std::string& path, std::size_t& words)
{
    const double started = now();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        throw std::runtime_error("cannot open " + path);
    std::vector<char> window(256 * 1024);
    std::size_t kept = 0;
    words = 0;
    for (;;) {
        const std::size_t got = std::fread(window.data() + kept, 1, window.size() - kept, file);
        const char* end = window.data() + kept + got;
        const char* line = window.data();
        for (;;) {
            const char* newline = static_cast<const char*>(std::memchr(line, '\n', static_cast<std::size_t>(end - line)));
            if (!newline && got != 0)
                break;
            const char* stop = newline ? newline : end;
            const char* p = line;
            const char* wordEnd = nullptr;
            while (CObjText::nextWord(p, stop, wordEnd)) {
                ++words;
                p = wordEnd;
            }
            line = newline ? newline + 1 : end;
            if (line == end)
                break;
        }
        kept = static_cast<std::size_t>(end - line);
        std::memmove(window.data(), line, kept);
        if (got == 0)
            break;
        if (kept == window.size())
            window.resize(window.size() * 2);
    }
    std::fclose(file);
    return now() - started;
}

// The phases of one load in this process, on one line, for the phases mode.
int runPhasesOnce(const std::string& path)
{
    std::size_t words = 0;
    const double tokenize = tokenizeSeconds(path, words);
    VELK::CObjLoader::CPhaseTimes times;
    VELK::CObjLoader loader;
    loader.setPhaseTimes(&times);
    const long faultsBefore = minorFaults();
    const double started = now();
    std::unique_ptr<CMeshData> mesh(static_cast<CMeshData*>(loader.loadFromFile(path)));
    const double total = now() - started;
    const long faults = minorFaults() - faultsBefore;
    const double normalsStarted = now();
    VELK::CMeshNormals::fillMissing(*mesh);
    const double normals = now() - normalsStarted;
    std::printf("%zu %.6f %.6f %.6f %.6f %.6f %.6f %ld %.6f\n", words, tokenize, times.parse, times.weld,
                times.regroup, times.copyOut, total, faults, normals);
    return 0;
}

int runPhases(const std::string& self, const std::string& path, int runs)
{
    const std::size_t bytes = fileSize(path);
    readThrough(path);
    printHeader(path, bytes);
    std::printf("\nThe steps of one load, each run in a fresh process: %d runs\n", runs);
    enum { TOKENIZE, PARSE, WELD, REGROUP, COPY_OUT, TOTAL, FAULTS, NORMALS, FIGURES };
    std::vector<std::vector<double>> figures(FIGURES);
    std::vector<double> rest;
    std::vector<double> numbers;
    std::size_t words = 0;
    for (int run = 0; run < runs; ++run) {
        const BENCH::CProcessRun process = BENCH::runFreshProcess({self, "phases-once", path});
        std::istringstream answer(process.output);
        answer >> words;
        for (std::vector<double>& figure : figures) {
            double value = 0.0;
            answer >> value;
            figure.push_back(value);
        }
        if (!answer)
            throw std::runtime_error("phases-once answered '" + process.output + "'");
        const double parse = figures[PARSE].back();
        numbers.push_back(parse - std::min(figures[TOKENIZE].back(), parse));
        rest.push_back(figures[TOTAL].back() - parse - figures[WELD].back() - figures[REGROUP].back() -
                       figures[COPY_OUT].back());
    }
    const double totalTime = BENCH::spreadOf(figures[TOTAL]).median;
    const auto row = [&](const char* name, const std::vector<double>& values) {
        const BENCH::CSpread spread = BENCH::spreadOf(values);
        std::printf("  %-26s %7.3f s %6.1f %%   %7.3f - %.3f\n", name, spread.median,
                    100.0 * spread.median / totalTime, spread.min, spread.max);
    };
    std::printf("medians (%zu words), then the spread:\n", words);
    row("read + tokenize", figures[TOKENIZE]);
    row("numbers + storing", numbers);
    row("weld", figures[WELD]);
    row("regroup by material", figures[REGROUP]);
    row("subsets into the mesh", figures[COPY_OUT]);
    row("rest (freeing)", rest);
    row("whole load", figures[TOTAL]);
    std::printf("whole load: %.1f MB/s; minor page faults during the load: %.0f\n",
                megabytesPerSecond(bytes, totalTime), BENCH::spreadOf(figures[FAULTS]).median);
    row("normals where missing", figures[NORMALS]);
    std::printf("(normals: after the load, not part of it)\n");
    std::printf("%s\n", BENCH::loadAverage().c_str());
    return 0;
}

int runScaling(const std::string& self, const std::vector<std::string>& paths, int runs)
{
    std::printf("machine: %s\n", machineLine().c_str());
    std::vector<std::size_t> sizes;
    std::vector<CFreshLoads> loads;
    for (const std::string& path : paths) {
        sizes.push_back(fileSize(path));
        readThrough(path);
        loads.push_back(freshLoads(path, {self, "memory", kOurs, path}));
    }
    std::printf("%s\n", BENCH::loadAverage().c_str());
    std::printf("\nThe velk loader by file size, each load its own process: %d runs per file, alternating\n", runs);
    for (int run = 0; run < runs; ++run) {
        for (CFreshLoads& fileLoads : loads)
            runFreshLoad(fileLoads);
    }
    std::printf("%-24s %8s %8s %7s %7s %8s %7s %8s %6s %9s\n", "file", "MB", "load s", "min", "max", "spread",
                "MB/s", "peak MB", "x file", "faults");
    std::vector<double> speeds;
    for (std::size_t k = 0; k < paths.size(); ++k) {
        const BENCH::CSpread load = BENCH::spreadOf(loads[k].loadSeconds);
        const double peak = BENCH::spreadOf(loads[k].peaks).median;
        speeds.push_back(megabytesPerSecond(sizes[k], load.median));
        const std::size_t slash = paths[k].rfind('/');
        std::printf("%-24s %8.1f %8.3f %7.3f %7.3f %7.1f%% %7.1f %8.1f %6.2f %9.0f\n",
                    paths[k].substr(slash == std::string::npos ? 0 : slash + 1).c_str(), sizes[k] / 1e6,
                    load.median, load.min, load.max, 100.0 * (load.max - load.min) / load.median, speeds.back(),
                    peak / 1e3, peak * 1024.0 / static_cast<double>(sizes[k]),
                    BENCH::spreadOf(loads[k].faults).median);
    }
    std::printf("spread: (max - min) / median of the load times; MB/s from the median\n");
    if (speeds.size() > 1) {
        const auto slowest = std::min_element(speeds.begin(), speeds.end());
        const auto fastest = std::max_element(speeds.begin(), speeds.end());
        std::printf("MB/s, slowest size against the fastest: %.1f %% lower\n", 100.0 * (1.0 - *slowest / *fastest));
    }
    std::printf("%s\n", BENCH::loadAverage().c_str());
    return 0;
}

// Peak memory per megabyte of file, velk's beside tinyobjloader's, for models whose faces
// stress what a loader keeps per corner: the shapes bench/make-obj --shape writes.
int runShapes(const std::string& self, const std::vector<std::string>& paths, int runs)
{
    std::printf("machine: %s\n", machineLine().c_str());
    std::printf("%s\n", BENCH::loadAverage().c_str());
    std::printf("\nPeak RSS of one load per MB of file, each load its own process: %d runs each, alternating\n", runs);
    std::printf("%-24s %8s %10s %10s %8s %8s %8s\n", "file", "MB", "velk", "tinyobj", "ratio", "velk s", "tinyobj s");
    for (const std::string& path : paths) {
        const std::size_t bytes = fileSize(path);
        readThrough(path);
        CFreshLoads ours = freshLoads(kOurs, {self, "memory", kOurs, path});
        CFreshLoads theirs = freshLoads(kTinyobj, {self, "memory", kTinyobj, path});
        for (int run = 0; run < runs; ++run) {
            runFreshLoad(theirs);
            runFreshLoad(ours);
        }
        const double megabytes = static_cast<double>(bytes) / 1e6;
        const double ourPeak = BENCH::spreadOf(ours.peaks).median / 1e3 / megabytes;
        const double theirPeak = BENCH::spreadOf(theirs.peaks).median / 1e3 / megabytes;
        const std::size_t slash = path.rfind('/');
        std::printf("%-24s %8.1f %10.2f %10.2f %8.2f %8.3f %8.3f\n",
                    path.substr(slash == std::string::npos ? 0 : slash + 1).c_str(), megabytes, ourPeak, theirPeak,
                    ourPeak / theirPeak, BENCH::spreadOf(ours.loadSeconds).median,
                    BENCH::spreadOf(theirs.loadSeconds).median);
    }
    std::printf("velk, tinyobj: peak RSS in MB per MB of file (medians); ratio: velk's over tinyobjloader's\n");
    std::printf("%s\n", BENCH::loadAverage().c_str());
    return 0;
}

int usage()
{
    std::fprintf(stderr,
                 "usage: velk-obj-bench compare <model.obj> [runs] [--baseline BENCH]\n"
                 "       velk-obj-bench phases <model.obj> [runs]\n"
                 "       velk-obj-bench scaling [--runs N] <model.obj>...\n"
                 "       velk-obj-bench shapes [--runs N] <model.obj>...\n"
                 "       velk-obj-bench machine\n"
                 "       velk-obj-bench memory velk|tinyobjloader|assimp <model.obj>\n"
                 "       velk-obj-bench phases-once <model.obj>\n"
                 "Every load runs in a fresh process (runs: default 5; shapes: 1). BENCH is another build\n"
                 "of this program whose velk loads are run beside this one's. memory prints the peak RSS\n"
                 "in KB, the load's seconds and the triangles of one load; phases-once the steps of one load.\n");
    return 2;
}

int runCount(const std::string& text)
{
    char* end = nullptr;
    const long runs = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || runs < 1 || runs > 1000)
        throw std::runtime_error("runs must be a number from 1 to 1000, not '" + text + "'");
    return static_cast<int>(runs);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const std::string mode = argv[1];
    try {
        if (mode == "machine" && argc == 2) {
            std::printf("%s\n", machineLine().c_str());
            return 0;
        }
        if (mode == "memory" && argc == 4)
            return runOneLoad(argv[2], argv[3]);
        if (mode == "phases-once" && argc == 3)
            return runPhasesOnce(argv[2]);

        std::vector<std::string> positional;
        std::string baseline;
        int runs = 5;
        bool runsGiven = false;
        for (int i = 2; i < argc; ++i) {
            const std::string argument = argv[i];
            if ((argument == "--baseline" || argument == "--runs") && i + 1 < argc) {
                if (argument == "--baseline")
                    baseline = argv[++i];
                else
                    runs = runCount(argv[++i]);
                runsGiven = runsGiven || argument == "--runs";
            } else if (argument.rfind("--", 0) == 0) {
                return usage();
            } else {
                positional.push_back(argument);
            }
        }
        // compare and phases also take the runs as their second word.
        if ((mode == "compare" || mode == "phases") && positional.size() == 2) {
            runs = runCount(positional[1]);
            positional.pop_back();
        }
        if (mode == "compare" && positional.size() == 1)
            return runCompare(selfPath(), positional[0], runs, baseline);
        if (mode == "phases" && positional.size() == 1 && baseline.empty())
            return runPhases(selfPath(), positional[0], runs);
        if (mode == "scaling" && !positional.empty() && baseline.empty())
            return runScaling(selfPath(), positional, runs);
        if (mode == "shapes" && !positional.empty() && baseline.empty())
            return runShapes(selfPath(), positional, runsGiven ? runs : 1);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velk-obj-bench: %s\n", error.what());
        return 1;
    }
    return usage();
}
