// FrameTimesTest.cpp -- the frame's time split: the terrain algorithm's LOD
// work, the plant pass, the graphics timer read late, and getFrameTimes.
// Structure only (values present, in range, nil where unmeasured): no
// figure here is a speed.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <string>

#include "app/frameTimes.h"
#include "camera/camera.h"
#include "scene/sceneConfig.h"
#include "script/scriptFunctions.h"
#include "script/scriptHost.h"
#include "terrain/roamAlgorithm.h"
#include "terrain/sceneGrids.h"
#include "terrain/terrainAlgorithm.h"
#include "terrain/terrainError.h"
#include "terrain/terrainFrame.h"
#include "terrain/terrainTestSupport.h"
#include "vegetation/plantSet.h"

namespace {

void lookAcrossTheMap(float step) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1.0, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    setCameraAll(10.0f + step, 40.0f, 20.0f + step, 30.0f + step, 25.0f);
    glLoadMatrixf(currentTerrainView().modelview);
}

}  // namespace

TEST(FrameTimes, LodWorkIsTheAlgorithmsUpdateAndGraphicsTimesArriveLate) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    fillMap(bruteTerrain, 129, [](int x, int z) { return (x * 7 + z * 13) % 200; });
    std::string why;
    ASSERT_TRUE(roamAlgorithm().setUp(bruteTerrain, why)) << why;
    const int plants = showPlants, grass = showGrass, terrain = showTerrain, algorithm = terrainAlgorithm;
    showPlants = showGrass = 0;
    showTerrain = 1;

    // Brute force has no LOD work; ROAM's optimiser runs in update. Per
    // frame, both are present and never negative; no plants, no plant time.
    double bruteLod = 0.0, roamLod = 0.0;
    for (int frame = 0; frame < 8; ++frame) {
        for (int id : {terrainBruteForce, terrainRoam}) {
            terrainAlgorithm = id;
            lookAcrossTheMap(static_cast<float>(frame));
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            EXPECT_GT(renderTerrainFrame(), 0);
            EXPECT_GE(terrainFrameTimes.lodCpuSeconds, 0.0);
            EXPECT_EQ(terrainFrameTimes.plantCpuSeconds, 0.0);
            (id == terrainRoam ? roamLod : bruteLod) += terrainFrameTimes.lodCpuSeconds;
        }
    }
    EXPECT_GT(roamLod, 0.0) << "the optimiser is timed as ROAM's LOD work";
    // An empty update costs two clock readings: far below a millisecond a
    // frame whatever the machine's load (the clock is the thread's own).
    EXPECT_LT(bruteLod / 8.0, 1.0e-3);
    terrainAlgorithm = terrainRoam;
    showTerrain = 0;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    renderTerrainFrame();
    EXPECT_EQ(terrainFrameTimes.lodCpuSeconds, 0.0) << "the terrain off: no LOD work";
    showTerrain = 1;

    // Frames as the frame driver brackets them. A graphics time comes a
    // frame or more late, and only where the driver has a timer.
    bool measured = false;
    for (long long frame = 1000; frame < 1200 && !measured; ++frame) {
        beginFrameGraphicsTimer(frame);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        renderTerrainFrame();
        endFrameGraphicsTimer();
        glFinish();
        finishFrameTimes(frame, 0.02);
        FrameTimes times = lastFrameTimes();
        EXPECT_DOUBLE_EQ(times.frameMs, 20.0);
        EXPECT_DOUBLE_EQ(times.lodCpuMs, terrainFrameTimes.lodCpuSeconds * 1000.0);
        EXPECT_GE(times.plantCpuMs, 0.0);
        if (graphicsTimerKind()[0] == '\0') {
            EXPECT_FALSE(times.hasGraphics);
            break;
        }
        if (times.hasGraphics) {
            measured = true;
            EXPECT_GE(times.graphicsMs, 0.0);
            EXPECT_GE(times.graphicsFramesBack, 0);
            EXPECT_LT(times.graphicsFramesBack, 4);
        }
    }
    if (graphicsTimerKind()[0] != '\0') EXPECT_TRUE(measured) << graphicsTimerKind();

    // Without a timer (the switch stands for a driver that has none): no
    // graphics time, the CPU parts as before.
    graphicsTimerWanted = 0;
    for (long long frame = 1200; frame < 1206; ++frame) {
        beginFrameGraphicsTimer(frame);
        renderTerrainFrame();
        endFrameGraphicsTimer();
        finishFrameTimes(frame, 0.01);
    }
    FrameTimes times = lastFrameTimes();
    EXPECT_FALSE(times.hasGraphics);
    EXPECT_STREQ(graphicsTimerKind(), "");
    EXPECT_DOUBLE_EQ(times.frameMs, 10.0);

    // getFrameTimes: five values, the graphics pair nil here.
    ScriptHost* host = createScriptHost();
    registerScriptFunctions(host);
    EXPECT_EQ(runScriptChunk(host,
                             "local f, l, p, g, b = getFrameTimes()\n"
                             "assert(f == 10, 'frame ' .. tostring(f))\n"
                             "assert(type(l) == 'number' and l >= 0, 'lod')\n"
                             "assert(type(p) == 'number' and p >= 0, 'plant')\n"
                             "assert(g == nil and b == nil, 'graphics without a timer')\n"),
              0)
        << lastScriptError();
    graphicsTimerWanted = 1;
    if (graphicsTimerKind()[0] != '\0') {
        for (long long frame = 1206; frame < 1220; ++frame) {
            beginFrameGraphicsTimer(frame);
            renderTerrainFrame();
            endFrameGraphicsTimer();
            glFinish();
            finishFrameTimes(frame, 0.01);
        }
        EXPECT_EQ(runScriptChunk(host,
                                 "local f, l, p, g, b = getFrameTimes()\n"
                                 "assert(type(g) == 'number' and g >= 0, 'graphics ' .. tostring(g))\n"
                                 "assert(b >= 0 and b < 4, 'frames back ' .. tostring(b))\n"),
                  0)
            << lastScriptError();
    }
    destroyScriptHost(host);

    roamAlgorithm().release();
    bruteTerrain.release();
    showPlants = plants;
    showGrass = grass;
    showTerrain = terrain;
    terrainAlgorithm = algorithm;
}
