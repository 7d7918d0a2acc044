// TerrainFidelityBench.cpp -- cost and fidelity of the terrain algorithms
// on the generated scene: the benchmark walk flown on the 257 and 1025 maps
// at 1024 x 768 for every registered algorithm that draws terrain (brute
// force, geomipmapping, ROAM, ...), those that honour the terrain error
// tolerance at 0, 1, 2 and 4 pixels.
//
// Each configuration (one benchmark, one iteration) loads the map's scene
// files from the program's folder (the build folder: run `cmake --build
// build --target scene_data` first), draws the walk's first view (ROAM
// 30 frames of it, to refine), then flies the `walkFrames` frames of the
// circle benchmark.lua walks (camera 8 units over the ground, looking along
// the way and 10 degrees down), drawing the terrain alone with splatting
// and lighting on, as the frame does (plants and sky off). Every
// `errorEvery`-th view is also measured with the terrain error instrument
// (terrain/terrainError.h); that time is not in the frame times. ROAM
// refines a little each frame, so flown it lags the moving camera; the
// "settle" configurations draw `settleFrames` more frames from each
// measured view before measuring it, which shows what its rule reaches at
// rest (their frame times include those extra frames' effect on the mesh).
// The whole run takes about 5 minutes on a shared 2-core machine with Mesa
// llvmpipe. Counters:
//   ms          median milliseconds per frame (clear, terrain, glFinish)
//   triangles   median terrain triangles per frame (all passes)
//   p95px       median over the measured views of the 95th-percentile
//               geometric error, pixels
//   p95WorstPx  the largest 95th percentile of any measured view, pixels
//   maxPx       largest geometric error of any measured view, pixels
//   share       median share of differing pixels (0..1)
//   psnrDb      median PSNR, dB (inf when every view is identical)
// Offscreen EGL context (Mesa); the figures depend on the machine.
#include <string>
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <vector>

#include "app/window.h"
#include "camera/camera.h"
#include "image/tga.h"
#include "image/textureRegistry.h"
#include "scene/sceneConfig.h"
#include "scene/sceneLoad.h"
#include "terrain/sceneGrids.h"
#include "terrain/terrainAlgorithm.h"
#include "terrain/terrainError.h"
#include "terrain/terrainFrame.h"
#include "util/output.h"
#include "vegetation/plantSet.h"
// The bench links only the program library, so the offscreen context of the
// tests is compiled in here.
#include "support/glTestContext.cpp"

namespace {

constexpr int viewWidth = 1024;
constexpr int viewHeight = 768;
constexpr int roamWarmUpFrames = 30;  // ROAM refines over several frames
constexpr int walkFrames = 300;  // benchmark.lua's frames per circle
constexpr int errorEvery = 20;
constexpr int settleFrames = 40;  // ROAM at rest: enough to converge at any tolerance here

int loadedSize = 0;

void quiet(const char*, size_t) {}

// The scene's terrain of one map size from the files beside the program.
bool loadScene(int size) {
    if (loadedSize == size) return true;
    if (!makeTestGlContext(viewWidth, viewHeight)) return false;
    if (loadedSize == 0) {
        std::filesystem::current_path(std::filesystem::read_symlink("/proc/self/exe").parent_path());
        if (!initMultitexture()) return false;
        createCamera();
        createTextureRegistry();
        loadTerrainTextures();
    }
    // The set-up's per-patch lines are not wanted here.
    setOutputHook(quiet);
    heightmapSize = size;
    selectSceneRow();
    std::string terrainFailure;
    bool loaded = loadTerrainObjects(terrainFailure);
    setOutputHook(nullptr);
    if (!loaded) {
        fprintf(stderr, "%s\n", terrainFailure.c_str());
        return false;
    }
    loadedSize = size;
    return bruteTerrain.size == size;
}

// The frame's fixed state, and the window's viewport and projection as the
// program sets them for a view of this size.
void frameState() {
    resizeView(viewWidth, viewHeight);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glClearColor(136 / 255.0f, 156 / 255.0f, 88 / 255.0f, 1.0f);
}

// View i of the walk: benchmark.lua's placeCamera with walkFrames steps.
void placeCamera(int i, int size) {
    const float centre = (size - 1) / 2.0f;
    const float radius = (size - 1) * 0.3f;
    const float angle = 360.0f * static_cast<float>(i) / walkFrames;
    const float radians = angle * 3.14159265f / 180.0f;
    const float x = centre + radius * std::cos(radians);
    const float z = centre + radius * std::sin(radians);
    setCameraAll(x, groundEyeHeight(x, z), z, angle + 180.0f, 10.0f);
}

// One frame of the terrain; returns its triangles.
int drawFrame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadMatrixf(currentTerrainView().modelview);
    const int triangles = renderTerrainFrame();
    glFinish();
    return triangles;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// Arguments: map size, terrain algorithm (its registered id: 600 brute
// force, 601 geomipmapping, 603 ROAM, ...), tolerance in pixels, frames drawn from each
// measured view before it is measured (0: measured as flown).
void BM_TerrainFidelity(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    if (!loadScene(size)) {
        state.SkipWithError("no offscreen OpenGL context or no scene files beside the program");
        return;
    }
    frameState();
    terrainAlgorithm = static_cast<int>(state.range(1));
    terrainErrorTolerance = static_cast<float>(state.range(2));
    const int settle = static_cast<int>(state.range(3));
    showTerrain = 1;
    splattingEnabled = 1;
    lightmapEnabled = 1;
    showPlants = 0;
    showGrass = 0;
    anonymousMode = 1;

    std::vector<double> ms, triangles, p95, shares, psnrs;
    double worst = 0.0, worstP95 = 0.0;
    for (auto _ : state) {
        placeCamera(0, size);
        const int warmUp = terrainAlgorithm == terrainRoam ? roamWarmUpFrames : 1;
        for (int f = 0; f < warmUp; ++f) drawFrame();
        for (int i = 1; i <= walkFrames; ++i) {
            placeCamera(i, size);
            const auto start = std::chrono::steady_clock::now();
            triangles.push_back(drawFrame());
            ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            if (i % errorEvery != 0) continue;
            state.PauseTiming();
            for (int f = 0; f < settle; ++f) drawFrame();
            TerrainErrorResult result;
            std::string why;
            if (measureTerrainError(currentTerrainView(), result, why) == TerrainErrorStatus::measured) {
                p95.push_back(result.geometricP95);
                worst = std::max(worst, result.geometricMax);
                worstP95 = std::max(worstP95, result.geometricP95);
                shares.push_back(result.imageShare);
                psnrs.push_back(result.psnr);
            } else {
                state.SkipWithError(why.c_str());
            }
            state.ResumeTiming();
        }
    }
    state.counters["ms"] = median(ms);
    state.counters["triangles"] = median(triangles);
    state.counters["p95px"] = median(p95);
    state.counters["maxPx"] = worst;
    state.counters["p95WorstPx"] = worstP95;
    state.counters["share"] = median(shares);
    state.counters["psnrDb"] = median(psnrs);
    terrainErrorTolerance = 0.0f;
}

void configurations(benchmark::internal::Benchmark* bench) {
    for (int size : {257, 1025}) {
        // Every registered algorithm that draws terrain, in registry order:
        // at each tolerance when it honours one, else at its own rule.
        for (const TerrainAlgorithm* algorithm : terrainAlgorithms()) {
            if (!algorithm->drawsTerrain()) continue;
            if (!algorithm->honoursTolerance()) {
                bench->Args({size, algorithm->id(), 0, 0});
                continue;
            }
            for (int tolerance : {0, 1, 2, 4}) bench->Args({size, algorithm->id(), tolerance, 0});
        }
        // ROAM refines over frames; at rest it shows what its rule reaches.
        for (int tolerance : {1, 2, 4}) bench->Args({size, terrainRoam, tolerance, settleFrames});
    }
}
BENCHMARK(BM_TerrainFidelity)
    ->Apply(configurations)
    ->ArgNames({"map", "algorithm", "tolerance", "settle"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
