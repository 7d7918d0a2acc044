// ViewTextTest.cpp -- text over the view: what the information corner says
// for each setting, the keys that show and close the help, and drawing help,
// corner and notice with the generated glyph sheet without leaving any GL
// state changed or touching the view outside their panels.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/input.h"
#include "app/overlay.h"
#include "image/bitmapFont.h"
#include "support/glTestContext.h"
#include "util/output.h"

namespace {

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

std::string captured;
void capture(const char* text, size_t length) { captured.append(text, length); }

}  // namespace

TEST(ViewText, InformationCornerNamesTheSettingsThatApply) {
    struct Case {
        const char* what;
        OverlayFacts facts;
        std::vector<std::string> present, absent;
    };
    OverlayFacts brute;
    brute.terrainAlgorithm = 600;
    brute.plantScheme = 1;
    brute.x = 60.0f, brute.y = 12.25f, brute.z = 200.0f, brute.heading = 35.0f, brute.pitch = -8.0f;
    brute.framesPerSecond = 59.5f, brute.polygons = 123456;
    OverlayFacts geo = brute;
    geo.terrainAlgorithm = 601, geo.tolerance = 1.5f, geo.plantScheme = 4, geo.uniformTexturing = true;
    OverlayFacts roam = brute;
    roam.terrainAlgorithm = 603;
    OverlayFacts hidden = geo;
    hidden.anonymous = true;
    const Case cases[] = {
        {"brute force: no tolerance",
         brute,
         {"Terrain: Brute Force\n", "Plants: Brute Force\n", "Camera: x 60.0  y 12.2  z 200.0\n",
          "Heading 35.0  pitch -8.0\n", "FPS 59.5  polygons 123456\n"},
         {"Tolerance", "Uniform"}},
        {"geomipmapping with a tolerance and uniform texturing",
         geo,
         {"Terrain: Geomipmapping\n", "Tolerance: 1.5 px\n", "Plants: Mixed based on distance\n",
          "Uniform texturing on\n"},
         {}},
        {"ROAM with its fixed rule", roam, {"Terrain: ROAM 2.0\n", "Tolerance: off (fixed rule)\n"}, {"Uniform"}},
        {"anonymous", hidden, {"Terrain: Algorithm 2\n", "Plants: Algorithm 4\n"}, {"Geomip", "Mixed"}},
    };
    for (const Case& c : cases) {
        std::string text = joined(informationLines(c.facts));
        for (const std::string& piece : c.present) EXPECT_NE(text.find(piece), std::string::npos) << c.what << "\n" << text;
        for (const std::string& piece : c.absent) EXPECT_EQ(text.find(piece), std::string::npos) << c.what << "\n" << text;
    }
    EXPECT_EQ(terrainAlgorithmName(602, false), "Quad-tree (draws nothing)");
    EXPECT_EQ(terrainAlgorithmName(604, false), "CDLOD");
    EXPECT_EQ(terrainAlgorithmName(699, false), "unknown");
    EXPECT_EQ(plantSchemeName(0, false), "unknown");
}

TEST(ViewText, F1ShowsTheHelpAndF1OrEscapeClosesIt) {
    ASSERT_EQ(helpShown, 0);
    onKeyDown(keyF1);
    onKeyUp(keyF1);
    EXPECT_EQ(helpShown, 1);
    onKeyDown(keyF1);
    EXPECT_EQ(helpShown, 0) << "F1 again closes it";
    onKeyDown(keyF1);
    onKeyDown(keyEscape);  // with the help shown Escape only closes it
    EXPECT_EQ(helpShown, 0);
    onKeyDown('I');
    EXPECT_EQ(informationShown, 1);
    onKeyDown('I');
    EXPECT_EQ(informationShown, 0);
    releaseAllKeys();
}

TEST(ViewText, DrawsHelpCornerAndNoticeInTheirPanelsAndRestoresTheGlState) {
    const int width = 640, height = 480;
    if (!makeTestGlContext(width, height)) GTEST_SKIP() << "no offscreen OpenGL context";
    // A sheet that is not there is reported once, and nothing is drawn.
    captured.clear();
    setOutputHook(capture);
    EXPECT_FALSE(loadBitmapFont({"no-such-folder/font.tga"}));
    EXPECT_FALSE(loadBitmapFont({"no-such-folder/font.tga"}));
    setOutputHook(nullptr);
    EXPECT_EQ(captured.find("Cannot load font file no-such-folder/font.tga: "), 0u) << captured;
    EXPECT_EQ(captured.find("Cannot load", 1), std::string::npos) << "reported once: " << captured;

    // The sheet the build made beside the program (the tests run there).
    ASSERT_TRUE(loadBitmapFont(fontPaths())) << "font.tga beside the program";

    glViewport(0, 0, width, height);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1, 1, -1, 1, 1, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1.0f, 2.0f, -3.0f);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
    GLfloat projection[16], modelview[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);

    helpShown = 1;
    informationShown = 1;
    setViewNotice("Benchmark 2 / 5");
    OverlayFacts facts;
    facts.terrainAlgorithm = 601;
    drawViewOverlays(facts, width, height);
    ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    const std::string& text = lastOverlayText();
    EXPECT_EQ(text.find("Keys"), 0u) << text;
    EXPECT_NE(text.find("\nTerrain: Geomipmapping\n"), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.size() - 16), "\nBenchmark 2 / 5") << text;

    GLfloat after[16];
    glGetFloatv(GL_PROJECTION_MATRIX, after);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(after[i], projection[i]) << "projection " << i;
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(after[i], modelview[i]) << "modelview " << i;
    GLint mode = 0, polygonModes[2] = {0, 0};
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    glGetIntegerv(GL_POLYGON_MODE, polygonModes);
    EXPECT_EQ(polygonModes[0], GL_LINE);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 0.25f);
    EXPECT_FLOAT_EQ(colour[2], 0.75f);

    // Dark panels with white letters where the text goes, white elsewhere.
    std::vector<unsigned char> pixels(size_t(width) * height * 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    auto rowStats = [&](int x0, int x1, int y0, int y1, int& dark, int& bright) {
        dark = bright = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                unsigned char red = pixels[(size_t(y) * width + x) * 4];
                dark += red < 120;
                bright += red > 200;
            }
    };
    int dark = 0, bright = 0;
    rowStats(width / 2 - 60, width / 2 + 60, height / 2 - 60, height / 2 + 60, dark, bright);
    EXPECT_GT(dark, 4000) << "the key table's panel in the middle";
    EXPECT_GT(bright, 300) << "and its letters";
    rowStats(12, 140, height - 40, height - 12, dark, bright);
    EXPECT_GT(dark, 1000) << "the corner's panel at the top left";
    EXPECT_GT(bright, 50) << "and its letters";
    rowStats(width - 60, width - 12, height - 24, height - 12, dark, bright);
    EXPECT_GT(dark, 200) << "the notice at the top right";
    rowStats(0, 8, 0, height, dark, bright);
    EXPECT_EQ(dark, 0) << "nothing along the left edge";

    // Nothing switched on: nothing drawn, no text reported.
    helpShown = 0;
    informationShown = 0;
    setViewNotice("");
    glClear(GL_COLOR_BUFFER_BIT);
    drawViewOverlays(facts, width, height);
    EXPECT_EQ(lastOverlayText(), "");
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    rowStats(0, width, 0, height, dark, bright);
    EXPECT_EQ(dark, 0);
}
