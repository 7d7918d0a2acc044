// GeomipBench.cpp -- geomipmapping frame cost on a 1025 flight.
//
// BM_GeomipFlight: one terrain frame per iteration (renderTerrainFrame with
// geomipmapping, terrain only, glFinish included) into an offscreen
// 640 x 480 context, the camera flying a fixed circle 31 units over the
// ground of the scene's height1025.raw (beside the program; a synthetic
// fractal map of the same size when it is missing), looking ahead and a
// little down. First argument 0: one textured pass (splatting off); 1:
// splatting and the lightmap on. Second argument: the terrain error
// tolerance in pixels (0: the distance bands). Counter: triangles per frame
// (all passes).
// BM_EmptyFrame: the same frame with the terrain off (clear, frustum,
// glFinish): the floor under the flight's figures.
#include <EGL/egl.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <cmath>

#include "camera/camera.h"
#include "image/tga.h"
#include "scene/sceneConfig.h"
#include "terrain/RoamTestMap.h"
#include "terrain/geomipmapAlgorithm.h"
#include "terrain/splatting.h"
#include "terrain/terrainFrame.h"
// The bench links only the program library, so the offscreen context of the
// tests is compiled in here.
#include "support/glTestContext.cpp"

namespace {

constexpr int viewWidth = 640, viewHeight = 480;

bool prepareFlight() {
    static bool ready = false;
    if (ready) return true;
    if (!makeTestGlContext(viewWidth, viewHeight)) return false;
    glActiveTextureARB_ = reinterpret_cast<ActiveTextureProc>(eglGetProcAddress("glActiveTextureARB"));
    glMultiTexCoord2fARB_ = reinterpret_cast<MultiTexCoord2fProc>(eglGetProcAddress("glMultiTexCoord2fARB"));
    glClientActiveTextureARB_ = reinterpret_cast<ActiveTextureProc>(eglGetProcAddress("glClientActiveTextureARB"));
    glViewport(0, 0, viewWidth, viewHeight);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_TEXTURE_2D);
    if (!geomipTerrain.load("height1025.raw", 1025)) fillFractalMap(geomipTerrain, 1025, 2024u);
    geomipTerrain.setScale(1.0f, 0.25f, 1.0f);
    if (!geomipTerrain.setupPatches(16)) return false;
    geomipTerrain.multiTextureDistance = 40.0f;
    // Small repeating checkers, linear filtering.
    auto texture = [](int r, int g, int b) {
        uint8_t texels[8 * 8 * 3];
        for (int i = 0; i < 64; ++i) {
            const int shade = ((i ^ (i / 8)) & 1) ? 20 : 0;
            texels[3 * i] = static_cast<uint8_t>(r + shade);
            texels[3 * i + 1] = static_cast<uint8_t>(g + shade);
            texels[3 * i + 2] = static_cast<uint8_t>(b + shade);
        }
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 8, 8, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glBindTexture(GL_TEXTURE_2D, 0);
        return name;
    };
    baseTexture = texture(150, 120, 80);
    detailTexture1 = texture(60, 140, 40);
    detailTexture2 = texture(200, 170, 100);
    coverageTexture1 = texture(180, 180, 180);
    coverageTexture2 = texture(70, 70, 70);
    lightmapTexture = texture(220, 220, 220);
    ready = true;
    return true;
}

// Frame f of the flight: a circle of radius 300 round the map centre.
void placeCamera(int frame) {
    const float angle = static_cast<float>(frame) * 1.5f / 300.0f;
    const float x = 512.0f + 300.0f * std::cos(angle), z = 512.0f + 300.0f * std::sin(angle);
    const float y = static_cast<float>(geomipTerrain.height(static_cast<int>(x), static_cast<int>(z))) + 31.0f;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, static_cast<double>(viewWidth) / viewHeight, 1.0, 1500.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(x, y, z, x - 50.0f * std::sin(angle), y - 15.0f, z + 50.0f * std::cos(angle), 0.0, 1.0, 0.0);
    setCameraPositionRaw(x, y, z);
}

void BM_GeomipFlight(benchmark::State& state) {
    if (!prepareFlight()) {
        state.SkipWithError("no offscreen OpenGL context or height map");
        return;
    }
    terrainAlgorithm = terrainGeomipmap;
    showTerrain = 1;
    showPlants = showGrass = 0;
    anonymousMode = 1;
    splattingEnabled = lightmapEnabled = static_cast<int>(state.range(0));
    terrainErrorTolerance = static_cast<float>(state.range(1));
    int frame = 0;
    long long triangles = 0;
    for (auto _ : state) {
        placeCamera(frame++);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        triangles += renderTerrainFrame();
        glFinish();
    }
    state.counters["triangles"] =
        benchmark::Counter(static_cast<double>(triangles), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_GeomipFlight)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({0, 2})
    ->Args({0, 4})
    ->Unit(benchmark::kMillisecond);

void BM_EmptyFrame(benchmark::State& state) {
    if (!prepareFlight()) {
        state.SkipWithError("no offscreen OpenGL context or height map");
        return;
    }
    showTerrain = 0;
    showPlants = showGrass = 0;
    int frame = 0;
    for (auto _ : state) {
        placeCamera(frame++);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        renderTerrainFrame();
        glFinish();
    }
    showTerrain = 1;
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond);

}  // namespace
