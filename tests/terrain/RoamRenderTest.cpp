// RoamRenderTest.cpp -- the ROAM mesh drawn offscreen over a 1025 fractal map:
// no cracks or holes (the terrain drawn white on black must leave no black
// pixel where the terrain covers the view, from above and at a slant with
// real frustum culling, and over the steepest ground at every error
// tolerance), every triangle faces up (front faces clockwise), a fixed
// slanted view matches its reference picture, and with uniform texturing
// the mesh gets the brute-force splatting and lightmap passes.
// Pictures for a person to look at land in <build>/test-output/.
#include <EGL/egl.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "camera/camera.h"
#include "image/tga.h"
#include "scene/sceneConfig.h"
#include "support/glTestContext.h"
#include "support/imageCompare.h"
#include "terrain/RoamTestMap.h"
#include "terrain/roam.h"
#include "terrain/splatting.h"

namespace {

constexpr int pictureSize = 256;

class RoamRender : public ::testing::Test {
protected:
    void SetUp() override {
        if (!makeTestGlContext(pictureSize, pictureSize)) GTEST_SKIP() << "no offscreen OpenGL context";
        roam = std::make_unique<Croam>();
        fillFractalMap(*roam, 1025, 5u);
        roam->setScale(1.0f, 0.25f, 1.0f);
        ASSERT_TRUE(roam->setupRoam(roamLevelsFor(1025), roamPoolSizeFor(1025), roamTriangleSlotsFor(1025)));
        glViewport(0, 0, pictureSize, pictureSize);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glFrontFace(GL_CCW);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    }

    void TearDown() override {
        glFrontFace(GL_CCW);
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_TEXTURE_2D);
        baseTexture = 0;
    }

    static void loadMatrices(const ViewMatrices& view) {
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(view.projection);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(view.modelview);
    }

    // Terrain white on black with back faces culled: a pixel left black is a
    // crack, a hole, or a triangle facing down.
    TestImage whiteOnBlack() {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glFrontFace(GL_CW);
        roam->drawRoam();
        glDisable(GL_CULL_FACE);
        glFrontFace(GL_CCW);
        return readFrameBuffer(pictureSize, pictureSize);
    }

    // Black lines over whatever is drawn (blending with zero factors turns
    // drawRoam's white into black).
    void wireframeOver() {
        glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT | GL_COLOR_BUFFER_BIT);
        glDisable(GL_TEXTURE_2D);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ZERO, GL_ZERO);
        roam->drawRoam();
        glPopAttrib();
    }

    static void keep(const std::string& name, const TestImage& image) {
        std::filesystem::path dir = std::filesystem::path(MORVISTA_BINARY_DIR) / "test-output";
        std::filesystem::create_directories(dir);
        writePpm((dir / (name + ".ppm")).string(), image);
    }

    static int blackPixels(const TestImage& image, int margin) {
        int count = 0;
        for (int y = margin; y < image.height - margin; ++y)
            for (int x = margin; x < image.width - margin; ++x) {
                const uint8_t* p = &image.rgb[(static_cast<size_t>(y) * image.width + x) * 3];
                if (p[0] < 128 && p[1] < 128 && p[2] < 128) ++count;
            }
        return count;
    }

    std::unique_ptr<Croam> roam;
};

TEST_F(RoamRender, FromAboveTheMeshCoversTheWholeMapFacingUp) {
    // Detail follows an eye low over one corner; the picture looks straight
    // down on the whole map, which fills the view exactly.
    setOpenFrustum();
    setCameraPositionRaw(200.0f, roam->sample(200, 200) * roam->yScale + 5.0f, 200.0f);
    for (int f = 0; f < 30; ++f) roam->optimise();
    ASSERT_EQ(checkRoamInvariants(*roam), "");

    const float eye[3] = {512.0f, 500.0f, 512.0f}, target[3] = {512.0f, 0.0f, 512.0f};
    ViewMatrices view = makeView(eye, target, 60.0f, 1.0f, 1.0f, 1000.0f);
    for (float& m : view.projection) m = 0.0f;  // orthographic over x, z in 0 .. 1024
    view.projection[0] = 2.0f / 1024.0f;
    view.projection[5] = 2.0f / 1024.0f;
    view.projection[10] = -2.0f / 999.0f;
    view.projection[14] = -1001.0f / 999.0f;
    view.projection[15] = 1.0f;
    loadMatrices(view);

    TestImage white = whiteOnBlack();
    keep("roam_above_white", white);
    EXPECT_EQ(blackPixels(white, 1), 0) << "background shows through the terrain from above";

    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    wireframeOver();
    keep("roam_above_wireframe", readFrameBuffer(pictureSize, pictureSize));
}

TEST_F(RoamRender, ASlantedViewHasNoCracksAndMatchesItsReference) {
    // Eye over the south of the map looking north and down, so every view
    // ray meets the ground inside the map; detail and culling follow this
    // very view.
    const float eye[3] = {512.0f, 120.0f, 700.0f}, target[3] = {512.0f, 0.0f, 560.0f};
    ViewMatrices view = makeView(eye, target, 50.0f, 1.0f, 1.0f, 2000.0f);
    setCameraView(eye, view);
    loadMatrices(view);

    // A generated texture stands in for the base texture: a checker of 32 x
    // 32 squares (32 world units each) over a colour ramp.
    std::vector<uint8_t> texels(256 * 256 * 3);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            uint8_t* t = &texels[(y * 256 + x) * 3];
            bool check = ((x / 8) + (y / 8)) % 2;
            t[0] = static_cast<uint8_t>(90 + x / 2);
            t[1] = static_cast<uint8_t>(check ? 170 : 120);
            t[2] = static_cast<uint8_t>(60 + y / 2);
        }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 256, 256, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    baseTexture = texture;

    // renderRoam is the frame entry: optimise, then draw with the base texture.
    glEnable(GL_TEXTURE_2D);
    for (int f = 0; f < 40; ++f) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        roam->renderRoam();
    }
    ASSERT_EQ(checkRoamInvariants(*roam), "");
    ASSERT_EQ(checkRoamCull(*roam), "");
    GLint frontFace = 0;
    glGetIntegerv(GL_FRONT_FACE, &frontFace);
    EXPECT_EQ(frontFace, GL_CCW) << "renderRoam restores the front-face winding it changes";
    TestImage filled = readFrameBuffer(pictureSize, pictureSize);
    keep("roam_slanted_filled", filled);
    glDisable(GL_TEXTURE_2D);

    TestImage white = whiteOnBlack();
    keep("roam_slanted_white", white);
    EXPECT_EQ(blackPixels(white, 0), 0) << "background shows through the terrain (crack, hole or wrong cull)";

    // Reference: the filled view with the mesh drawn over it. Up to 1% of
    // the pixels may differ by more than 16 per channel (line rasterisation
    // differences between renderer versions).
    glEnable(GL_TEXTURE_2D);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(1.0f, 1.0f);
    roam->renderRoam();
    glDisable(GL_POLYGON_OFFSET_FILL);
    wireframeOver();
    glDisable(GL_TEXTURE_2D);
    TestImage composite = readFrameBuffer(pictureSize, pictureSize);
    expectMatchesReference("roam_slanted", composite, 16, 0.01);
    glDeleteTextures(1, &texture);
}

TEST_F(RoamRender, UniformTexturingDrawsTheBruteForcePassesAndCountsThem) {
    glActiveTextureARB_ = reinterpret_cast<ActiveTextureProc>(eglGetProcAddress("glActiveTextureARB"));
    glMultiTexCoord2fARB_ = reinterpret_cast<MultiTexCoord2fProc>(eglGetProcAddress("glMultiTexCoord2fARB"));
    glClientActiveTextureARB_ = reinterpret_cast<ActiveTextureProc>(eglGetProcAddress("glClientActiveTextureARB"));
    if (!glActiveTextureARB_ || !glMultiTexCoord2fARB_ || !glClientActiveTextureARB_)
        GTEST_SKIP() << "no multitexture entry points";
    auto solid = [](uint8_t r, uint8_t g, uint8_t b) {
        std::vector<uint8_t> texels(4 * 4 * 3);
        for (size_t i = 0; i < texels.size(); i += 3) texels[i] = r, texels[i + 1] = g, texels[i + 2] = b;
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 4, 4, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        return name;
    };
    // Layer 1 red under a white coverage map, layer 2 blue under half
    // coverage, a half-grey lightmap, a green base texture.
    baseTexture = solid(0, 200, 0);
    detailTexture1 = solid(200, 0, 0);
    coverageTexture1 = solid(255, 255, 255);
    detailTexture2 = solid(0, 0, 200);
    coverageTexture2 = solid(128, 128, 128);
    lightmapTexture = solid(128, 128, 128);

    setOpenFrustum();
    setCameraPositionRaw(512.0f, 100.0f, 512.0f);
    const float eye[3] = {512.0f, 400.0f, 540.0f}, target[3] = {512.0f, 0.0f, 512.0f};
    loadMatrices(makeView(eye, target, 40.0f, 1.0f, 1.0f, 2000.0f));
    glEnable(GL_TEXTURE_2D);

    struct Case {
        int uniform, splatting, lightmap;
        int red, green, blue;  // the middle of the picture
        int passes;
    };
    const Case cases[] = {
        {0, 1, 1, 0, 200, 0, 1},    // the base texture alone, whatever the switches say
        {1, 1, 1, 100, 0, 50, 3},   // (red + blue / 2) x lightmap
        {1, 1, 0, 200, 0, 100, 2},  // the two layers, unlit
        {1, 0, 1, 0, 100, 0, 2},    // base texture x lightmap
        {1, 0, 0, 0, 200, 0, 1},
    };
    const int savedUniform = uniformTexturing, savedSplatting = splattingEnabled, savedLightmap = lightmapEnabled;
    for (const Case& c : cases) {
        uniformTexturing = c.uniform;
        splattingEnabled = c.splatting;
        lightmapEnabled = c.lightmap;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        roam->renderRoam();
        TestImage picture = readFrameBuffer(pictureSize, pictureSize);
        const uint8_t* p = &picture.rgb[(static_cast<size_t>(pictureSize / 2) * pictureSize + pictureSize / 2) * 3];
        std::string what = "uniform " + std::to_string(c.uniform) + ", splatting " + std::to_string(c.splatting) +
                           ", lightmap " + std::to_string(c.lightmap);
        EXPECT_NEAR(p[0], c.red, 6) << what;
        EXPECT_NEAR(p[1], c.green, 6) << what;
        EXPECT_NEAR(p[2], c.blue, 6) << what;
        EXPECT_EQ(roam->drawnTriangles, roam->triangleCount * c.passes) << what;
        GLint arrayBuffer = -1;
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer);
        EXPECT_EQ(arrayBuffer, 0) << what << ": the ordered copy's buffer is unbound";
        // The same mesh sent from client memory in slot order draws the
        // same picture: only the order of the triangles differs.
        roam->orderedDrawing = 0;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        roam->drawRoamFrame();
        roam->orderedDrawing = 1;
        EXPECT_EQ(compareImages(picture, readFrameBuffer(pictureSize, pictureSize), 0, nullptr), 0.0) << what;

        // The passes leave unit 0 active with an identity texture matrix,
        // no client arrays and no blending.
        GLint activeUnit = 0, clientUnit = 0;
        glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &activeUnit);
        glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE_ARB, &clientUnit);
        EXPECT_EQ(activeUnit, GL_TEXTURE0_ARB) << what;
        EXPECT_EQ(clientUnit, GL_TEXTURE0_ARB) << what;
        GLfloat textureMatrix[16];
        glGetFloatv(GL_TEXTURE_MATRIX, textureMatrix);
        EXPECT_EQ(textureMatrix[0], 1.0f) << what;
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY)) << what;
        EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY)) << what;
        EXPECT_FALSE(glIsEnabled(GL_BLEND)) << what;
        glActiveTextureARB_(GL_TEXTURE1_ARB);
        glGetFloatv(GL_TEXTURE_MATRIX, textureMatrix);
        EXPECT_EQ(textureMatrix[0], 1.0f) << what;
        glActiveTextureARB_(GL_TEXTURE0_ARB);
    }
    uniformTexturing = savedUniform;
    splattingEnabled = savedSplatting;
    lightmapEnabled = savedLightmap;
    GLuint names[] = {baseTexture, detailTexture1, coverageTexture1, detailTexture2, coverageTexture2, lightmapTexture};
    glDeleteTextures(6, names);
    detailTexture1 = coverageTexture1 = detailTexture2 = coverageTexture2 = lightmapTexture = 0;
    glDisable(GL_TEXTURE_2D);
}

TEST_F(RoamRender, NoCracksOverTheSteepestGroundAtAnyTolerance) {
    // The steepest spot away from the map edges, seen from 80 units above
    // and 60 units south of it, so every view ray meets the ground.
    int steepX = 0, steepZ = 0, steepest = -1;
    for (int z = 300; z < 724; ++z)
        for (int x = 300; x < 724; ++x) {
            int slope = std::abs(roam->sample(x + 1, z) - roam->sample(x - 1, z)) +
                        std::abs(roam->sample(x, z + 1) - roam->sample(x, z - 1));
            if (slope > steepest) steepest = slope, steepX = x, steepZ = z;
        }
    const float ground = roam->sample(steepX, steepZ) * roam->yScale;
    const float eye[3] = {static_cast<float>(steepX), ground + 80.0f, steepZ + 60.0f};
    const float target[3] = {static_cast<float>(steepX), ground, static_cast<float>(steepZ)};
    ViewMatrices view = makeView(eye, target, 50.0f, 1.0f, 1.0f, 2000.0f);
    setCameraView(eye, view);
    loadMatrices(view);
    roam->pixelsPerUnit = view.projection[5] * 0.5f * pictureSize;
    for (float tolerance : {0.0f, 0.5f, 2.0f, 8.0f}) {
        roam->pixelTolerance = tolerance;
        for (int f = 0; f < 40; ++f) roam->optimise();
        ASSERT_EQ(checkRoamInvariants(*roam), "") << "tolerance " << tolerance;
        ASSERT_EQ(checkRoamCull(*roam), "") << "tolerance " << tolerance;
        TestImage white = whiteOnBlack();
        if (tolerance == 2.0f) keep("roam_steep_white", white);
        EXPECT_EQ(blackPixels(white, 0), 0) << "background shows through the terrain at tolerance " << tolerance;
    }
}

}  // namespace
