// DrawLimitBench.cpp -- how close terrain and plant drawing come to the
// rasteriser's own limit, measured in one run and one GL context.
//
// Reads the 1025 scene beside the program (the build makes it: target
// scene_data) and flies a walker round a circle over the map, drawing into a
// 640 x 480 offscreen context (EGL, Mesa). Per view of the flight it times,
// each frame cleared and ended with glFinish:
//   empty     the clear and glFinish alone;
//   geomip    geomipmapping with splatting and the lightmap (no plants);
//   plants    all eight plant sets (no terrain), schemes 1 and 4, batched and
//             one plant at a time; "walk" is the batched pass with drawing
//             switched off (placement, culling and the CPU transforms), and
//             scheme 1 once more with the transforms left out too
//             (placement and the culling test alone);
//   roam      ROAM at an error tolerance of 1 pixel, splatted and lit, its
//             mesh first settled at the view (optimise() run 60 times,
//             untimed), then its drawing alone, and the same with its
//             triangles sent from client memory in slot order, as before;
//   ceiling   the very triangles of the geomip, ROAM and plant frames,
//             captured once per view with GL feedback, drawn from one vertex
//             buffer with one glDrawArrays under one texture.
// The plant rows use the kept plants of each set (plantPlacementCache); one
// more row times placement and culling walking every frame, as before.
// The configurations are interleaved within each round. Prints medians per
// frame (wall time and the CPU time of all the program's threads), the ratios
// the drawing targets are stated in, from both, and the share of pixels in
// which the batched plant pictures differ from the one-plant-at-a-time ones.
//
//   build/DrawLimitBench [rounds]    (default 5 rounds over 8 views)
//   build/DrawLimitBench rounds walk|plants|roam   one configuration alone,
//                                                   for a profiler
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "camera/camera.h"
#include "camera/frustum.h"
#include "image/textureRegistry.h"
#include "image/tga.h"
#include "scene/sceneConfig.h"
#include "scene/sceneLoad.h"
#include "support/glTestContext.cpp"  // the offscreen context, compiled into this program
#include "terrain/RoamTestMap.h"
#include "terrain/roam.h"
#include "terrain/roamAlgorithm.h"
#include "terrain/splatting.h"
#include "terrain/terrainFrame.h"
#include "vegetation/plantBatch.h"
#include "vegetation/plantSet.h"
#include "vegetation/scenePlants.h"

namespace {

constexpr int width = 640, height = 480;
constexpr int mapSide = 1025;
constexpr int views = 8;

// View k of the flight: a walker 8 units over the ground on a circle of
// radius 300 round the map centre, looking along the circle and 8 degrees
// down, 45 degrees field of view.
ViewMatrices flightView(int k, float eye[3]) {
    const float centre = 512.0f, radius = 300.0f;
    float angle = 6.2831853f * static_cast<float>(k) / views;
    eye[0] = centre + radius * std::cos(angle);
    eye[2] = centre + radius * std::sin(angle);
    eye[1] = groundEyeHeight(eye[0], eye[2]);
    float target[3] = {eye[0] - 50.0f * std::sin(angle), eye[1] - 7.0f, eye[2] + 50.0f * std::cos(angle)};
    return makeView(eye, target, 45.0f, static_cast<float>(width) / height, 1.0f, 1500.0f);
}

void applyView(int k) {
    float eye[3];
    ViewMatrices view = flightView(k, eye);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(view.projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(view.modelview);
    setCameraPositionRaw(eye[0], eye[1], eye[2]);
}

enum class Draw { empty, geomip, plants };

// The frame buffer as RGB bytes.
std::vector<uint8_t> readFrame() {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

// Share of pixels whose largest channel difference is above 8.
double differingShare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    size_t differing = 0;
    for (size_t p = 0; p + 2 < a.size(); p += 3) {
        int largest = 0;
        for (int c = 0; c < 3; ++c) largest = std::max(largest, std::abs(a[p + c] - b[p + c]));
        if (largest > 8) ++differing;
    }
    return static_cast<double>(differing) / (a.size() / 3);
}

// One frame of the kind at view k; returns the triangles the plant or
// terrain pass reported.
int drawFrame(Draw kind, int k) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    applyView(k);
    int reported = 0;
    if (kind != Draw::empty) {
        showTerrain = kind == Draw::geomip;
        showPlants = showGrass = kind == Draw::plants;
        reported = renderTerrainFrame();
    }
    return reported;
}

double now() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double threadCpu() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1.0e6;
}

// CPU time of every thread of the program, the renderer's workers included:
// the work done, less disturbed than wall time by other programs' load.
double processCpu() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1.0e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n == 0 ? 0.0 : (n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]));
}

// The triangles of one frame in window coordinates, from GL feedback.
struct CapturedVertex {
    float position[3];
    float uv[2];
    uint8_t colour[4];
};

// ROAM's settings for its rows, set and put back around them.
struct RoamSettings {
    float tolerance = terrainErrorTolerance;
    int uniform = uniformTexturing;
    RoamSettings() {
        terrainErrorTolerance = 1.0f;
        uniformTexturing = 1;
        showTerrain = 1;
        showPlants = showGrass = 0;
    }
    ~RoamSettings() {
        terrainErrorTolerance = tolerance;
        uniformTexturing = uniform;
    }
};

// Runs the optimiser 60 times at view k (it splits and merges a little
// every run, even with the view held, but its triangle count settles in far
// fewer runs); returns the splits and merges of the last run.
int settleRoam(int k) {
    RoamSettings settings;
    applyView(k);
    extractFrustum();
    roamTerrain.pixelTolerance = terrainErrorTolerance;
    roamTerrain.pixelsPerUnit = frustumPixelsPerUnit;
    long long before = 0;
    for (int run = 0; run < 60; ++run) {
        before = roamTerrain.splitCount + roamTerrain.mergeCount;
        roamTerrain.optimise();
    }
    return static_cast<int>(roamTerrain.splitCount + roamTerrain.mergeCount - before);
}

// The settled mesh drawn as the frame draws it; returns the triangles of
// its passes.
int drawRoamAlone(int k) {
    RoamSettings settings;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    applyView(k);
    extractFrustum();
    glDisable(GL_LIGHTING);
    roamTerrain.drawRoamFrame();
    resetTerrainTextures();
    return roamTerrain.drawnTriangles;
}

std::vector<CapturedVertex> captureWith(const std::function<void()>& draw) {
    static std::vector<GLfloat> buffer(1u << 24);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    GLint count = glRenderMode(GL_RENDER);
    std::vector<CapturedVertex> triangles;
    if (count < 0) {
        std::fprintf(stderr, "feedback buffer too small\n");
        return triangles;
    }
    const int stride = 3 + 4 + 4;
    auto vertexAt = [&](const GLfloat* v) {
        CapturedVertex out;
        for (int c = 0; c < 3; ++c) out.position[c] = v[c];
        for (int c = 0; c < 4; ++c) out.colour[c] = static_cast<uint8_t>(std::clamp(v[3 + c], 0.0f, 1.0f) * 255.0f);
        float q = v[10] != 0.0f ? v[10] : 1.0f;
        out.uv[0] = v[7] / q;
        out.uv[1] = v[8] / q;
        return out;
    };
    for (GLint i = 0; i < count;) {
        GLfloat token = buffer[i++];
        if (token == GL_POLYGON_TOKEN) {
            int n = static_cast<int>(buffer[i++]);
            const GLfloat* first = &buffer[i];
            for (int v = 1; v + 1 < n; ++v) {  // the clipped polygon as a fan
                triangles.push_back(vertexAt(first));
                triangles.push_back(vertexAt(first + v * stride));
                triangles.push_back(vertexAt(first + (v + 1) * stride));
            }
            i += n * stride;
        } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
                   token == GL_COPY_PIXEL_TOKEN) {
            i += stride;
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            i += 2 * stride;
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            i += 1;
        } else {
            break;
        }
    }
    return triangles;
}

std::vector<CapturedVertex> captureFrame(Draw kind, int k) {
    return captureWith([=] { drawFrame(kind, k); });
}

// Captured triangles in one vertex buffer, drawn with one call.
struct Ceiling {
    GLuint buffer = 0;
    GLsizei vertices = 0;
    GLuint texture = 0;
    bool alphaTested = false;
};

Ceiling makeCeiling(const std::vector<CapturedVertex>& triangles, GLuint texture, bool alphaTested) {
    Ceiling ceiling;
    glGenBuffers(1, &ceiling.buffer);
    glBindBuffer(GL_ARRAY_BUFFER, ceiling.buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(triangles.size() * sizeof(CapturedVertex)),
                 triangles.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    ceiling.vertices = static_cast<GLsizei>(triangles.size());
    ceiling.texture = texture;
    ceiling.alphaTested = alphaTested;
    return ceiling;
}

void drawCeiling(const Ceiling& ceiling) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, 0.0, -1.0);  // window depth 0-1 straight through
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, ceiling.texture);
    if (ceiling.alphaTested) {
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GREATER, 0.5f);
    }
    glBindBuffer(GL_ARRAY_BUFFER, ceiling.buffer);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    const auto* base = static_cast<const char*>(nullptr);
    glVertexPointer(3, GL_FLOAT, sizeof(CapturedVertex), base + offsetof(CapturedVertex, position));
    glTexCoordPointer(2, GL_FLOAT, sizeof(CapturedVertex), base + offsetof(CapturedVertex, uv));
    glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(CapturedVertex), base + offsetof(CapturedVertex, colour));
    glDrawArrays(GL_TRIANGLES, 0, ceiling.vertices);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDisable(GL_ALPHA_TEST);
    glBindTexture(GL_TEXTURE_2D, 0);
}

// Median frame time over the rounds, each view in turn; the median CPU time
// of this thread per frame goes to cpu when given.
template <typename Frame>
double timeFrames(int rounds, Frame frame, double* cpu = nullptr) {
    std::vector<double> times, cpuTimes;
    for (int k = 0; k < views; ++k) {  // warm-up: display lists, texture residency
        frame(k);
        glFinish();
    }
    for (int r = 0; r < rounds; ++r) {
        for (int k = 0; k < views; ++k) {
            double start = now();
            double startCpu = threadCpu();
            frame(k);
            glFinish();
            times.push_back(now() - start);
            cpuTimes.push_back(threadCpu() - startCpu);
        }
    }
    if (cpu) *cpu = median(cpuTimes);
    return median(times);
}


}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::filesystem::path self = std::filesystem::absolute(argv[0]).parent_path();
    if (chdir(self.c_str()) != 0 || !std::filesystem::exists("height1025.raw") ||
        !std::filesystem::exists("towergrass.xml")) {
        std::fprintf(stderr, "DrawLimitBench: the 1025 scene files are not beside the program (build scene_data)\n");
        return 1;
    }
    if (!makeTestGlContext(width, height)) {
        std::fprintf(stderr, "DrawLimitBench: no offscreen OpenGL context\n");
        return 1;
    }
    setHMSize(mapSide);
    selectSceneRow();
    if (!initMultitexture()) return 1;
    createCamera();
    createTextureRegistry();
    loadTerrainTextures();
    loadScenePlants();
    std::string terrainFailure;
    if (!loadTerrainObjects(terrainFailure)) {
        fprintf(stderr, "%s\n", terrainFailure.c_str());
        return 1;
    }
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glClearColor(0.53f, 0.61f, 0.35f, 1.0f);
    terrainAlgorithm = terrainGeomipmap;
    splattingEnabled = 1;
    lightmapEnabled = 1;
    frustumCulling = 1;

    std::printf("DrawLimitBench: %s, %s, %d x %d, 1025 map, %d views x %d rounds\n",
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                reinterpret_cast<const char*>(glGetString(GL_VERSION)), width, height, views, rounds);

    // "walk", "plants" or "roam" after the rounds: only the batched scheme-1
    // walk, the whole batched plant pass, or ROAM's drawing, for a profiler.
    if (argc > 2 && std::string(argv[2]) == "roam") {
        // Ordered from the buffer and from client memory in slot order, in
        // turns.
        std::vector<double> times[2], cpuTimes[2];
        for (int k = 0; k < views; ++k) {
            settleRoam(k);
            for (int r = 0; r < rounds; ++r) {
                for (int ordered = 1; ordered >= 0; --ordered) {
                    roamTerrain.orderedDrawing = ordered;
                    double start = now(), startCpu = processCpu();
                    drawRoamAlone(k);
                    glFinish();
                    times[ordered].push_back(now() - start);
                    cpuTimes[ordered].push_back(processCpu() - startCpu);
                }
            }
        }
        roamTerrain.orderedDrawing = 1;
        std::printf("roam drawing, ordered from the buffer: %.2f ms, CPU %.2f ms; from client memory in slot order: "
                    "%.2f ms, CPU %.2f ms\n",
                    median(times[1]), median(cpuTimes[1]), median(times[0]), median(cpuTimes[0]));
        return 0;
    }
    if (argc > 2 && (std::string(argv[2]) == "walk" || std::string(argv[2]) == "plants")) {
        plantWalkOnly = std::string(argv[2]) == "walk";
        double cpu = 0;
        double wall = timeFrames(rounds, [](int k) { drawFrame(Draw::plants, k); }, &cpu);
        std::printf("%s, scheme 1: %.2f ms, thread CPU %.2f ms\n", argv[2], wall, cpu);
        return 0;
    }
    // Captures first: the picture check and the ceilings' triangles.
    GLuint grassTexture = scenePlantModels.towergrass.numObject ? scenePlantModels.towergrass.objects[0].texture : 0;
    const int schemes[2] = {1, 4};
    std::vector<Ceiling> ceilings[4];  // geomip, scheme 1 plants, scheme 4 plants, ROAM
    double reported[4] = {0, 0, 0, 0}, captured[4] = {0, 0, 0, 0}, differing[3] = {0, 0, 0};
    std::vector<int> roamMesh(views, 0);  // the settled mesh's triangles per view
    double settleRuns = 0;
    for (int k = 0; k < views; ++k) {
        reported[0] += drawFrame(Draw::geomip, k) / static_cast<double>(views);
        std::vector<CapturedVertex> triangles = captureFrame(Draw::geomip, k);
        captured[0] += triangles.size() / 3.0 / views;
        ceilings[0].push_back(makeCeiling(triangles, baseTexture, false));
        for (int i = 0; i < 2; ++i) {
            plantAlgorithm = schemes[i];
            plantBatching = 0;
            drawFrame(Draw::plants, k);
            glFinish();
            std::vector<uint8_t> one = readFrame();
            plantBatching = 1;
            reported[i + 1] += drawFrame(Draw::plants, k) / static_cast<double>(views);
            glFinish();
            differing[i + 1] = std::max(differing[i + 1], differingShare(one, readFrame()));
            triangles = captureFrame(Draw::plants, k);
            captured[i + 1] += triangles.size() / 3.0 / views;
            ceilings[i + 1].push_back(makeCeiling(triangles, grassTexture, true));
        }
        settleRuns += settleRoam(k) / static_cast<double>(views);
        roamMesh[k] = roamTerrain.triangleCount;
        reported[3] += drawRoamAlone(k) / static_cast<double>(views);
        triangles = captureWith([=] { drawRoamAlone(k); });
        captured[3] += triangles.size() / 3.0 / views;
        ceilings[3].push_back(makeCeiling(triangles, baseTexture, false));
    }
    int roamMeshChanges = 0;  // timed views whose settled mesh differs from the captured one

    // Every configuration once per view and round, interleaved, so a drift
    // of a shared machine's load spreads over all of them.
    struct Config {
        const char* name;
        std::function<void(int)> frame;
        std::vector<double> wall, cpu;
        std::function<void(int)> prepare = nullptr;  // untimed, before each frame
    };
    auto plants = [](int scheme, int batching, int walkOnly) {
        return [=](int k) {
            plantAlgorithm = scheme;
            plantBatching = batching;
            plantWalkOnly = walkOnly;
            drawFrame(Draw::plants, k);
            plantWalkOnly = 0;
            plantBatching = 1;
        };
    };
    std::vector<Config> configs = {
        {"empty (clear + glFinish)", [](int k) { drawFrame(Draw::empty, k); }, {}, {}},
        {"geomipmapping, splatted and lit", [](int k) { drawFrame(Draw::geomip, k); }, {}, {}},
        {"ceiling: those geomip triangles, one buffer draw", [&](int k) { drawCeiling(ceilings[0][k]); }, {}, {}},
        {"plants, scheme 1, one plant at a time", plants(1, 0, 0), {}, {}},
        {"plants, scheme 1, batched", plants(1, 1, 0), {}, {}},
        {"plants, scheme 1, walk alone (placement, culling, transforms)", plants(1, 1, 1), {}, {}},
        {"ceiling: those scheme 1 plant triangles, one buffer draw", [&](int k) { drawCeiling(ceilings[1][k]); }, {}, {}},
        {"plants, scheme 4, one plant at a time", plants(4, 0, 0), {}, {}},
        {"plants, scheme 4, batched", plants(4, 1, 0), {}, {}},
        {"plants, scheme 4, walk alone (placement, culling, transforms)", plants(4, 1, 1), {}, {}},
        {"ceiling: those scheme 4 plant triangles, one buffer draw", [&](int k) { drawCeiling(ceilings[2][k]); }, {}, {}},
        {"plants, scheme 1, placement and culling alone (no transforms)", plants(1, 1, 2), {}, {}},
        {"plants, scheme 1, placement and culling alone, walked every frame",
         [&](int k) {
             plantPlacementCache = 0;
             plants(1, 1, 2)(k);
             plantPlacementCache = 1;
         },
         {}, {}},
        {"ROAM at 1 px, splatted and lit, drawing of the settled mesh", [](int k) { drawRoamAlone(k); }, {}, {},
         [&](int k) {
             settleRoam(k);
             if (roamTerrain.triangleCount != roamMesh[k]) ++roamMeshChanges;
         }},
        {"ceiling: those ROAM triangles, one buffer draw", [&](int k) { drawCeiling(ceilings[3][k]); }, {}, {}},
        {"ROAM at 1 px, the same drawn from client memory in slot order",
         [](int k) {
             roamTerrain.orderedDrawing = 0;
             drawRoamAlone(k);
             roamTerrain.orderedDrawing = 1;
         },
         {}, {}},
    };
    const double triangles[16] = {0, reported[0], captured[0], captured[1], captured[1], 0, captured[1],
                                  captured[2], captured[2], 0, captured[2], 0, 0, reported[3], captured[3], reported[3]};
    for (int r = -1; r < rounds; ++r) {  // round -1 warms up (display lists, caches)
        for (int k = 0; k < views; ++k) {
            for (Config& c : configs) {
                if (c.prepare) c.prepare(k);
                double start = now(), startCpu = processCpu();
                c.frame(k);
                glFinish();
                if (r < 0) continue;
                c.wall.push_back(now() - start);
                c.cpu.push_back(processCpu() - startCpu);
            }
        }
    }
    std::vector<double> wall, cpu;
    for (Config& c : configs) {
        wall.push_back(median(c.wall));
        cpu.push_back(median(c.cpu));
    }

    char date[64];
    time_t t = time(nullptr);
    strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", gmtime(&t));
    double load[3] = {0, 0, 0};
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf %lf %lf", &load[0], &load[1], &load[2]) != 3) load[0] = 0;
        std::fclose(f);
    }
    std::printf("date %s, load average %.1f at the end\n\n", date, load[0]);
    std::printf("| Frame (median of %d) | wall ms | CPU ms, all threads | triangles |\n|---|---|---|---|\n",
                views * rounds);
    for (size_t i = 0; i < configs.size(); ++i) {
        if (triangles[i] > 0)
            std::printf("| %s | %.2f | %.2f | %.0f |\n", configs[i].name, wall[i], cpu[i], triangles[i]);
        else
            std::printf("| %s | %.2f | %.2f | – |\n", configs[i].name, wall[i], cpu[i]);
    }
    std::printf("\nThe geomip row counts the triangles of every pass as the renderer reports them; the ceilings\n"
                "draw the triangles that reach the screen (after clipping), captured with GL feedback.\n\n");
    // Ratios, from wall times and from CPU times.
    for (int use = 0; use < 2; ++use) {
        const std::vector<double>& m = use == 0 ? wall : cpu;
        std::printf("%s:\n", use == 0 ? "From wall times" : "From CPU times");
        std::printf("- geomipmapping frame / ceiling frame of its triangles (empty frame included): %.2f "
                    "(target at most 1.5)\n",
                    m[1] / std::max(m[2], 1e-6));
        for (int i = 0; i < 2; ++i) {
            int base = 3 + 4 * i;
            double ceilingDraw = std::max(m[base + 3] - m[0], 1e-6);
            double drawing = std::max(m[base + 1] - m[0] - m[base + 2], 1e-6);
            std::printf("- scheme %d: plant triangle rate / ceiling rate: %.0f %% for the drawing alone (pass "
                        "minus walk), %.0f %% for the whole pass (target at least 70 %%); walk %.2f ms (target "
                        "at most 5); batched pass %.2f x faster than one plant at a time\n",
                        schemes[i], 100.0 * ceilingDraw / drawing,
                        100.0 * ceilingDraw / std::max(m[base + 1] - m[0], 1e-6), m[base + 2],
                        m[base] / std::max(m[base + 1], 1e-6));
        }
        std::printf("- placement and culling of all eight sets (scheme 1), no transforms: %.2f ms (target at most 2); "
                    "walked every frame %.2f ms\n",
                    m[11], m[12]);
        std::printf("- ROAM at 1 px, drawing of the settled mesh / ceiling frame of its triangles (empty frame "
                    "included): %.2f (target at most 1.5); from client memory in slot order %.2f\n",
                    m[13] / std::max(m[14], 1e-6), m[15] / std::max(m[14], 1e-6));
    }
    std::printf("ROAM: %.0f triangles of all passes per frame, %.1f splits and merges in the last settling run on "
                "average; %d of %d timed views drew a settled mesh of another triangle count than the captured one\n",
                reported[3], settleRuns, roamMeshChanges, views * (rounds + 1));
    for (int i = 0; i < 2; ++i)
        std::printf("scheme %d: %.0f plant polygons counted per frame; batched and one-at-a-time pictures differ "
                    "(a channel by more than 8) in at most %.3f %% of the pixels of a view\n",
                    schemes[i], reported[i + 1], 100.0 * differing[i + 1]);
    return 0;
}
