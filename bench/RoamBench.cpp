// RoamBench.cpp -- ROAM 2.0 cost per frame over a 1025 fractal map.
//
// BM_RoamOptimise: one optimise() per iteration while the camera flies a
// fixed closed loop low over the map (1.5 world units per frame), after a
// warm-up that lets the mesh settle. Counters: splits and merges per frame,
// triangles drawn. Mode 0 runs the scene's settings for the map
// (roamLevelsFor, roamPoolSizeFor, roamTriangleSlotsFor, split threshold
// 1990, tolerance 0); mode 1 a mesh refined until the reserves bind (24
// levels, 100,000 diamonds, 65,536 slots, threshold 1000), the optimiser's
// worst steady case; mode 2 the scene's settings with an error tolerance of
// 1 pixel (768 pixels high, 60 degrees).
// BM_RoamDraw: drawRoam() of the settled mesh into an offscreen 640 x 480
// context (Mesa; glFinish included), same two arguments.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "camera/camera.h"
#include "terrain/RoamTestMap.h"
#include "terrain/roam.h"
// The bench links only the program library, so the offscreen context of the
// tests is compiled in here.
#include "support/glTestContext.cpp"

namespace {

struct FlightMesh {
    std::unique_ptr<Croam> roam = std::make_unique<Croam>();
    int frame = 0;
    ViewMatrices view{};

    float centre, radius;

    FlightMesh(int size, int mode) : centre((size - 1) * 0.5f), radius((size - 1) * 0.3f) {
        fillFractalMap(*roam, size, 2024u);
        roam->setScale(1.0f, 0.25f, 1.0f);
        if (mode == 1) {
            roam->setupRoam(24, 100000);
            roam->splitThreshold = 1000;
        } else {
            roam->setupRoam(roamLevelsFor(size), roamPoolSizeFor(size), roamTriangleSlotsFor(size));
        }
        if (mode == 2) {
            roam->pixelTolerance = 1.0f;
            roam->pixelsPerUnit = 665.0f;
        }
        for (int f = 0; f < 300; ++f) step();
    }

    // One frame along a circle around the map centre, 10 units over the
    // ground, looking ahead and a little down.
    void step() {
        float angle = frame++ * 1.5f / radius;
        float eye[3] = {centre + radius * std::cos(angle), 0.0f, centre + radius * std::sin(angle)};
        eye[1] = roam->sample(static_cast<int>(eye[0]), static_cast<int>(eye[2])) * roam->yScale + 10.0f;
        float target[3] = {eye[0] - 50.0f * std::sin(angle), eye[1] - 15.0f, eye[2] + 50.0f * std::cos(angle)};
        view = makeView(eye, target, 60.0f, 4.0f / 3.0f, 1.0f, 1500.0f);
        setCameraView(eye, view);
        roam->optimise();
    }
};

void BM_RoamOptimise(benchmark::State& state) {
    FlightMesh mesh(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    long long operations = mesh.roam->splitCount + mesh.roam->mergeCount;
    long long triangles = 0;
    for (auto _ : state) {
        mesh.step();
        triangles += mesh.roam->triangleCount;
    }
    long long done = mesh.roam->splitCount + mesh.roam->mergeCount - operations;
    state.counters["splitsMergesPerFrame"] = benchmark::Counter(static_cast<double>(done), benchmark::Counter::kAvgIterations);
    state.counters["triangles"] = benchmark::Counter(static_cast<double>(triangles), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_RoamOptimise)
    ->Args({129, 0})
    ->Args({1025, 0})
    ->Args({1025, 2})
    ->Args({1025, 1})
    ->Unit(benchmark::kMicrosecond);

void BM_RoamDraw(benchmark::State& state) {
    if (!makeTestGlContext(640, 480)) {
        state.SkipWithError("no offscreen OpenGL context");
        return;
    }
    FlightMesh mesh(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    glViewport(0, 0, 640, 480);
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(mesh.view.projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(mesh.view.modelview);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        mesh.roam->drawRoam();
        glFinish();
    }
    state.counters["triangles"] = mesh.roam->triangleCount;
    state.counters["trianglesPerSecond"] = benchmark::Counter(static_cast<double>(mesh.roam->triangleCount),
                                                              benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RoamDraw)->Args({129, 0})->Args({1025, 0})->Args({1025, 2})->Args({1025, 1})->Unit(benchmark::kMicrosecond);

}  // namespace
