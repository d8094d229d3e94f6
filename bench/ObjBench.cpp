// The model-loading benchmark: this engine's OBJ loader against two widely used peers on
// the same file, and the loader's own steps one by one.
//
//   velk-obj-bench compare <model.obj> [runs]   loaders in turn, then peak memory of each
//   velk-obj-bench phases <model.obj> [runs]    the steps of this engine's load, and the
//                                               normals computed after it
//   velk-obj-bench memory <loader> <model.obj>  one load in this process, prints its peak RSS
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <tiny_obj_loader.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/CMeshData.h"
#include "engine/CMeshNormals.h"
#include "engine/CObjLoader.h"
#include "engine/CObjText.h"

extern char** environ;

namespace
{

const char* const kOurs = "velk";
const char* const kTinyobj = "tinyobjloader";
const char* const kAssimp = "assimp";

struct CLoader
{
    const char* name;
    const char* work;                                  // what the load includes
    std::function<std::size_t(const std::string&)> load;  // returns a count that proves the work was done
    std::vector<double> seconds;
};

std::size_t loadOurs(const std::string& path)
{
    VELK::CObjLoader loader;
    std::unique_ptr<CMeshData> mesh(static_cast<CMeshData*>(loader.loadFromFile(path)));
    return mesh->indexCount / 3;
}

std::size_t loadTinyobj(const std::string& path)
{
    tinyobj::attrib_t attributes;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warning;
    std::string error;
    const std::string::size_type slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
    if (!tinyobj::LoadObj(&attributes, &shapes, &materials, &warning, &error, path.c_str(), folder.c_str(), true))
        throw std::runtime_error("tinyobjloader: " + error);
    std::size_t triangles = 0;
    for (const tinyobj::shape_t& shape : shapes)
        triangles += shape.mesh.indices.size() / 3;
    return triangles;
}

std::size_t loadAssimp(const std::string& path)
{
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, aiProcess_Triangulate | aiProcess_JoinIdenticalVertices);
    if (!scene)
        throw std::runtime_error(std::string("assimp: ") + importer.GetErrorString());
    std::size_t triangles = 0;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m)
        triangles += scene->mMeshes[m]->mNumFaces;
    return triangles;
}

std::size_t loadByName(const std::string& name, const std::string& path)
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

// Reads the file once so that every loader finds it in the page cache; returns seconds.
double readThrough(const std::string& path)
{
    const double started = now();
    std::string text;
    if (!VELK::CObjLoader::readWholeFile(path, text))
        throw std::runtime_error("cannot read " + path);
    return now() - started;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

double megabytesPerSecond(std::size_t bytes, double seconds)
{
    return static_cast<double>(bytes) / 1e6 / seconds;
}

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A fresh process loads the file once, so that no earlier load's memory is counted.
long peakOfFreshProcess(const char* self, const std::string& loader, const std::string& path)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        throw std::runtime_error("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    std::vector<std::string> words = {self, "memory", loader, path};
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(&word[0]);
    argv.push_back(nullptr);
    pid_t child = 0;
    const int failed = posix_spawn(&child, self, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (failed != 0) {
        close(pipeEnds[0]);
        throw std::runtime_error("cannot start " + std::string(self));
    }
    std::string answer;
    char buffer[256];
    ssize_t got = 0;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        answer.append(buffer, static_cast<std::size_t>(got));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the memory run of " + loader + " failed");
    return std::strtol(answer.c_str(), nullptr, 10);
}

int runMemory(const std::string& loader, const std::string& path)
{
    loadByName(loader, path);
    std::printf("%ld\n", peakKilobytes());
    return 0;
}

void printLoad()
{
    double load[3] = {0.0, 0.0, 0.0};
    if (getloadavg(load, 3) == 3)
        std::printf("load average %.2f %.2f %.2f\n", load[0], load[1], load[2]);
}

int runCompare(const char* self, const std::string& path, int runs)
{
    const std::size_t bytes = fileSize(path);
    std::printf("%s: %.1f MB, %d runs per loader, alternating\n", path.c_str(), bytes / 1e6, runs);
    printLoad();
    // Before this process has read anything: a new process starts from the peak of the
    // one that started it, which is small only now.
    std::vector<long> peaks;
    for (const char* name : {kOurs, kTinyobj, kAssimp})
        peaks.push_back(peakOfFreshProcess(self, name, path));
    const double readSeconds = readThrough(path);
    std::printf("read into memory: %.0f MB/s\n", megabytesPerSecond(bytes, readSeconds));

    std::vector<CLoader> loaders = {
        {kOurs, "parse + weld + material order + mesh", &loadOurs, {}},
        {kTinyobj, "parse + triangulate, no weld", &loadTinyobj, {}},
        {kAssimp, "Triangulate | JoinIdenticalVertices", &loadAssimp, {}},
    };
    for (int run = 0; run < runs; ++run) {
        for (CLoader& loader : loaders) {
            const double started = now();
            const std::size_t triangles = loader.load(path);
            loader.seconds.push_back(now() - started);
            if (run == 0)
                std::printf("  %-14s %zu triangles\n", loader.name, triangles);
        }
    }

    std::printf("%-14s %9s %9s %9s %9s  %s\n", "loader", "median s", "min s", "max s", "MB/s", "work");
    for (const CLoader& loader : loaders) {
        const double middle = median(loader.seconds);
        std::printf("%-14s %9.3f %9.3f %9.3f %9.1f  %s\n", loader.name, middle,
                    *std::min_element(loader.seconds.begin(), loader.seconds.end()),
                    *std::max_element(loader.seconds.begin(), loader.seconds.end()),
                    megabytesPerSecond(bytes, middle), loader.work);
    }
    const double ours = median(loaders[0].seconds);
    for (std::size_t k = 1; k < loaders.size(); ++k)
        std::printf("velk speed / %s: %.2f x (by medians)\n", loaders[k].name, median(loaders[k].seconds) / ours);

    for (std::size_t k = 0; k < loaders.size(); ++k) {
        std::printf("peak RSS %-14s %8.1f MB = %.2f x file (whole process)\n", loaders[k].name, peaks[k] / 1e3,
                    peaks[k] * 1024.0 / static_cast<double>(bytes));
    }
    printLoad();
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

int runPhases(const std::string& path, int runs)
{
    const std::size_t bytes = fileSize(path);
    std::printf("%s: %.1f MB, %d runs\n", path.c_str(), bytes / 1e6, runs);
    printLoad();
    readThrough(path);
    std::vector<double> tokenize, parse, weld, regroup, copyOut, rest, total, normals;
    std::size_t words = 0;
    for (int run = 0; run < runs; ++run) {
        tokenize.push_back(tokenizeSeconds(path, words));
        VELK::CObjLoader::CPhaseTimes times;
        VELK::CObjLoader loader;
        loader.setPhaseTimes(&times);
        const double started = now();
        std::unique_ptr<CMeshData> mesh(static_cast<CMeshData*>(loader.loadFromFile(path)));
        total.push_back(now() - started);
        parse.push_back(times.parse);
        weld.push_back(times.weld);
        regroup.push_back(times.regroup);
        copyOut.push_back(times.copyOut);
        rest.push_back(total.back() - times.parse - times.weld - times.regroup - times.copyOut);
        const double normalsStarted = now();
        VELK::CMeshNormals::fillMissing(*mesh);
        normals.push_back(now() - normalsStarted);
    }
    const double parseTime = median(parse);
    const double tokenizeTime = std::min(median(tokenize), parseTime);
    const double totalTime = median(total);
    const auto row = [&](const char* name, double seconds) {
        std::printf("  %-26s %7.3f s %6.1f %%\n", name, seconds, 100.0 * seconds / totalTime);
    };
    std::printf("medians (%zu words):\n", words);
    row("read + tokenize", tokenizeTime);
    row("numbers + storing", parseTime - tokenizeTime);
    row("weld", median(weld));
    row("regroup by material", median(regroup));
    row("copy-out into the mesh", median(copyOut));
    row("rest (freeing)", median(rest));
    std::printf("  %-26s %7.3f s = %.1f MB/s\n", "whole load", totalTime, megabytesPerSecond(bytes, totalTime));
    std::printf("  %-26s %7.3f s, after the load\n", "normals where missing", median(normals));
    printLoad();
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: velk-obj-bench compare|phases <model.obj> [runs]\n"
                         "       velk-obj-bench memory velk|tinyobjloader|assimp <model.obj>\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return usage();
    const std::string mode = argv[1];
    try {
        if (mode == "memory" && argc == 4)
            return runMemory(argv[2], argv[3]);
        const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
        // The fresh processes for memory are this same program, found through /proc.
        char self[4096] = {};
        const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
        if (length <= 0)
            return 1;
        if (mode == "compare")
            return runCompare(self, argv[2], runs);
        if (mode == "phases")
            return runPhases(argv[2], runs);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velk-obj-bench: %s\n", error.what());
        return 1;
    }
    return usage();
}
