// PlantBench.cpp -- one frame of the plant sets on a 1025 x 1025 map, per
// detail scheme: placement of every set, the culling test of every placed
// model and the drawing through display lists, on the offscreen context.
//
// The scene's eleven model files, its distribution map, a height grid and a
// lightmap grid are written as synthetic stand-ins into a temporary folder
// (leafy full models of 24 to 60 triangles, billboards of 2, crossed
// billboards of 4), so the figures measure the code, not the art.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "camera/camera.h"
#include "camera/frustum.h"
#include "scene/sceneConfig.h"
#include "support/glTestContext.cpp"  // the offscreen context, compiled into this program
#include "terrain/sceneGrids.h"
#include "vegetation/plantSet.h"
#include "vegetation/scenePlants.h"

namespace {

constexpr int mapSide = 1025;

// A model of `triangles` leaves sharing one texture, fanned around the stem.
std::string leafyModel(int triangles, const char* texture) {
    std::string text = "<ObjectList numObject=\"1\" alpha=\"0.5\">\n<Object numPolygon=\"" +
                       std::to_string(triangles) + "\">\n";
    for (int i = 0; i < triangles; ++i) {
        float a = 6.2831853f * static_cast<float>(i) / static_cast<float>(triangles);
        float height = 0.5f + static_cast<float>(i % 5) * 0.3f;
        char polygon[512];
        snprintf(polygon, sizeof polygon,
                 "<Polygon numVertex=\"3\" isTextured=\"1\" texture=\"%s\" colour=\"255 255 255\">\n"
                 "<Vertex point=\"0 0 0\" normal=\"0 1 0\" colour=\"255 255 255\" uv=\"0.5 0\"/>\n"
                 "<Vertex point=\"%f %f %f\" normal=\"0 1 0\" colour=\"255 255 255\" uv=\"0 1\"/>\n"
                 "<Vertex point=\"%f %f %f\" normal=\"0 1 0\" colour=\"255 255 255\" uv=\"1 1\"/>\n"
                 "</Polygon>\n",
                 texture, std::cos(a) * 0.8f, height, std::sin(a) * 0.8f, std::cos(a + 0.3f) * 0.8f, height + 0.2f,
                 std::sin(a + 0.3f) * 0.8f);
        text += polygon;
    }
    return text + "</Object>\n</ObjectList>\n";
}

bool sceneReady = false;

// Removes the temporary folder of the stand-in scene when the program ends.
struct BenchFolder {
    std::string path;
    ~BenchFolder() {
        std::error_code error;
        if (!path.empty()) std::filesystem::remove_all(path, error);
    }
} benchFolder;

bool prepareScene() {
    if (sceneReady) return true;
    if (!makeTestGlContext(320, 240)) return false;
    char pattern[] = "/tmp/morvista-plant-bench-XXXXXX";
    if (!mkdtemp(pattern) || chdir(pattern) != 0) return false;
    benchFolder.path = pattern;

    const struct {
        const char* file;
        int triangles;
    } models[] = {{"fern.xml", 60},   {"towergrass.xml", 24}, {"grasscross.xml", 4}, {"grassbill.xml", 2},
                  {"broad01.xml", 40}, {"broad16.xml", 40},    {"palm01.xml", 10},    {"bboy.xml", 30},
                  {"spear.xml", 2},    {"flower8.xml", 30},    {"flower6.xml", 30}};
    for (const auto& m : models) std::ofstream(m.file) << leafyModel(m.triangles, "leaf.tga");

    std::string height(static_cast<size_t>(mapSide) * mapSide, '\0');
    std::string light = height;
    std::string density = height;
    for (int z = 0; z < mapSide; ++z) {
        for (int x = 0; x < mapSide; ++x) {
            size_t i = static_cast<size_t>(x) + static_cast<size_t>(z) * mapSide;
            height[i] = static_cast<char>(128 + 100 * std::sin(x / 90.0) * std::cos(z / 70.0));
            light[i] = static_cast<char>(150 + 80 * std::sin((x + z) / 40.0));
            density[i] = static_cast<char>(128 + 127 * std::sin(x / 50.0) * std::cos(z / 60.0));
        }
    }
    std::ofstream("height1025.raw", std::ios::binary) << height;
    std::ofstream("height1025lm2.raw", std::ios::binary) << light;
    std::ofstream("grassdist2_1025.raw", std::ios::binary) << density;

    setHMSize(mapSide);
    mapSize = static_cast<float>(mapSide);
    mapExtent = static_cast<float>(mapSide - 1);
    bruteTerrain.load("height1025.raw", mapSide);
    bruteTerrain.setScale(1.0f, 0.25f, 1.0f);
    lightmapGrid.load("height1025lm2.raw", mapSide);
    loadScenePlants();
    sceneReady = true;
    return true;
}

// A walker in the middle of the map looking north, 45 degrees of view.
void applyBenchView() {
    glViewport(0, 0, 320, 240);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double nearClip = 1.0, farClip = 10000.0;
    double top = nearClip * std::tan(22.5 * 3.14159265358979 / 180.0);
    glFrustum(-top * 320.0 / 240.0, top * 320.0 / 240.0, -top, top, nearClip, farClip);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    float x = 512.0f, z = 512.0f;
    float y = static_cast<float>(bruteTerrain.height(512, 512)) + 8.0f;
    setCameraPositionRaw(x, y, z);
    glTranslatef(-x, -y, -z);
}

void plantFrame(benchmark::State& state) {
    if (!prepareScene()) {
        state.SkipWithError("no offscreen OpenGL context");
        return;
    }
    plantAlgorithm = static_cast<int>(state.range(0));
    showGrass = 1;
    glEnable(GL_DEPTH_TEST);
    // The first frame compiles the display lists; measure the frames after.
    applyBenchView();
    extractFrustum();
    drawPlantSets();
    glFinish();
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        applyBenchView();
        extractFrustum();
        drawPlantSets();
        glFinish();
    }
    state.counters["plantPolygons"] = plantPolygons;
    state.counters["culling"] = frustumCulling;
}

// The grid walks of all eight sets alone (both passes), without culling or
// drawing: the share of a frame that placement costs.
void ignorePlant(const PlantSet&, float, float, float, float, float) {}

void plantPlacement(benchmark::State& state) {
    if (!prepareScene()) {
        state.SkipWithError("no offscreen OpenGL context");
        return;
    }
    const ScenePlantSets& s = scenePlantSets;
    const PlantSet* sets[] = {s.fern, s.bboy, s.spear, s.broad16, s.broad01, s.flower8, s.flower6, s.grass};
    for (auto _ : state) {
        for (const PlantSet* set : sets) {
            placePlants(*set, ignorePlant);
            placePlants(*set, ignorePlant);
        }
    }
}

}  // namespace

BENCHMARK(plantPlacement)->Unit(benchmark::kMillisecond);
BENCHMARK(plantFrame)->ArgName("scheme")->DenseRange(1, 5)->Unit(benchmark::kMillisecond)->UseRealTime();
