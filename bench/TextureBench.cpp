// The texture benchmark: a picture file read through DevIL and uploaded with its whole
// mipmap chain, for a large and a small picture written at start-up. Needs a display
// (xvfb-run) for the GL context.
#include <GL/glew.h>
#include <GL/freeglut.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/CPicture.h"
#include "engine/CPictureLoader.h"
#include "gl/CGLTexture.h"

namespace
{

// A picture with some detail in it, so that the file's compression has work to do.
std::string writePicture(int width, int height)
{
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 3);
    std::size_t k = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels[k++] = static_cast<unsigned char>(x * 7 + y);
            pixels[k++] = static_cast<unsigned char>((x ^ y) * 3);
            pixels[k++] = static_cast<unsigned char>((x * y) >> 4);
        }
    }
    const CPicture picture(CMyVector<int, 2>(width, height), CPicture::FORMAT_BGR, pixels.data());
    const std::string path = "velk-texture-bench-" + std::to_string(width) + "x" + std::to_string(height) + ".png";
    std::remove(path.c_str());
    VELK::CPictureLoader().saveToFile(const_cast<CPicture*>(&picture), path);
    return path;
}

void loadTexture(benchmark::State& state, const std::string& path)
{
    VELK::CPictureLoader loader;
    for (auto _ : state) {
        std::unique_ptr<CPicture> picture(static_cast<CPicture*>(loader.loadFromFile(path)));
        VELK_GL::CGLTexture<GL_TEXTURE_2D> texture;
        texture.createFromPicture(*picture);
        glFinish();                                    // the upload is done, not merely queued
        benchmark::DoNotOptimize(texture.textureId);
    }
    state.SetLabel(path);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    glutInitWindowSize(64, 64);
    glutCreateWindow("velk texture benchmark");
    if (glewInit() != GLEW_OK) {
        std::fprintf(stderr, "velk-texture-bench: GLEW could not be initialised\n");
        return 1;
    }
    const std::string large = writePicture(2048, 2048);
    const std::string small = writePicture(300, 200);
    benchmark::RegisterBenchmark("texture load 2048x2048 PNG", loadTexture, large)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("texture load 300x200 PNG", loadTexture, small)->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(large.c_str());
    std::remove(small.c_str());
    return 0;
}
