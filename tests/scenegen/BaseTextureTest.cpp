// BaseTextureTest.cpp -- the generated base texture stands for the splatted
// ground seen from afar: distant views of the generated 257 map drawn by
// the program's brute-force renderer with the splatting passes and with the
// base texture in their place (the lightmap pass on in both) have the same
// mean colour within 3 of 255 levels per channel, and the base texture
// shows no bright ground (snow caps) the splatted ground does not have.
// Offscreen; reads the scene files the build writes beside the program.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "camera/camera.h"
#include "image/textureRegistry.h"
#include "scene/sceneConfig.h"
#include "scene/sceneLoad.h"
#include "terrain/bruteForce.h"
#include "terrain/sceneGrids.h"
#include "terrain/splatting.h"
#include "terrain/terrainTestSupport.h"

namespace {

constexpr int testMapSize = 257;

struct MeanColour {
    double channel[3] = {0, 0, 0};
    long pixels = 0;
    std::vector<uint8_t> rgba;
};

// Draws brute force over the loaded map with the given splatting switch
// and the lightmap pass, and averages the terrain's pixels.
MeanColour drawAndAverage(int splatting) {
    splattingEnabled = splatting;
    lightmapEnabled = 1;
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    renderBruteForce();
    std::vector<uint8_t> rgba(testViewSize * testViewSize * 4);
    std::vector<float> depth(testViewSize * testViewSize);
    glReadPixels(0, 0, testViewSize, testViewSize, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glReadPixels(0, 0, testViewSize, testViewSize, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    MeanColour mean;
    for (size_t i = 0; i < depth.size(); ++i) {
        if (depth[i] >= 1.0f) continue;
        for (int c = 0; c < 3; ++c) mean.channel[c] += rgba[4 * i + c];
        ++mean.pixels;
    }
    for (double& c : mean.channel) c /= std::max(1L, mean.pixels);
    mean.rgba = std::move(rgba);
    return mean;
}

}  // namespace

TEST(BaseTexture, DistantViewsMatchTheSplattedGround) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    std::filesystem::current_path(MORVISTA_BINARY_DIR);
    createTextureRegistry();
    loadTerrainTextures();
    ASSERT_NE(baseTexture, 0u);
    ASSERT_TRUE(bruteTerrain.load(sceneRow(testMapSize).heightFile, testMapSize)) << "the generated 257 map";
    bruteTerrain.setScale(1.0f, 0.25f, 1.0f);
    anonymousMode = 1;

    const struct {
        const char* label;
        float eye[3], target[3];
        double nearClip;
    } views[] = {
        {"the whole map from high above a corner", {-80, 160, -80}, {128, 20, 128}, 1.0},
        {"across the map, ground nearer than 120 left out", {128, 40, 300}, {128, 20, 0}, 120.0},
        {"the mountains from the valley, ground nearer than 80 left out", {40, 30, 40}, {200, 30, 200}, 80.0},
    };
    for (const auto& view : views) {
        SCOPED_TRACE(view.label);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, 1.0, view.nearClip, 10000.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(view.eye[0], view.eye[1], view.eye[2], view.target[0], view.target[1], view.target[2], 0, 1, 0);
        MeanColour splatted = drawAndAverage(1);
        MeanColour base = drawAndAverage(0);
        ASSERT_GT(splatted.pixels, testViewSize * testViewSize / 4) << "the view shows ground";
        for (int c = 0; c < 3; ++c)
            EXPECT_LT(std::abs(splatted.channel[c] - base.channel[c]), 3.0)
                << "channel " << c << ": splatted " << splatted.channel[c] << ", base texture " << base.channel[c];
        // White caps: ground the base texture shows much brighter, in every
        // channel, than the splatted ground at the same pixel.
        long caps = 0;
        for (size_t i = 0; i < base.rgba.size(); i += 4) {
            bool brighter = true;
            for (int c = 0; c < 3; ++c) brighter = brighter && base.rgba[i + c] > splatted.rgba[i + c] + 40;
            if (brighter) ++caps;
        }
        EXPECT_LT(caps, base.pixels / 500) << "pixels the base texture shows as bright caps";
    }
    anonymousMode = 0;
    splattingEnabled = 0;
}
