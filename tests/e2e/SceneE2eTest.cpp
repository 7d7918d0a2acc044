// SceneE2eTest.cpp -- the scene as the program builds and draws it, on a
// virtual display: polygon counts of the brute-force passes, the sky and the
// plants, the statistics title, the start-up lines, and two fixed views
// compared with reference pictures.
//
// Each program start costs a few seconds (the scene loads every file and
// waits a second while building the geomipmapping patches), so one run
// measures a whole table of configurations.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "e2eHarness.h"
#include "support/glTestContext.h"
#include "support/imageCompare.h"

namespace {

namespace fs = std::filesystem;

class SceneEndToEnd : public ViewerTest {};

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Values printed by the script as "count NAME VALUE" lines.
std::map<std::string, int> printedCounts(const std::string& out) {
    std::map<std::string, int> counts;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        char name[64];
        int value = 0;
        if (sscanf(line.c_str(), "count %63s %d", name, &value) == 2) counts[name] = value;
    }
    return counts;
}

// A screenshot file: 24 or 32 bits, uncompressed true colour. The image
// keeps OpenGL's row order (bottom to top), like the reference pictures.
bool readShot(const std::string& path, TestImage& image) {
    std::ifstream file(path, std::ios::binary);
    unsigned char header[18];
    if (!file.read(reinterpret_cast<char*>(header), sizeof header)) return false;
    const int width = header[12] | header[13] << 8;
    const int height = header[14] | header[15] << 8;
    const int bytes = header[16] / 8;
    const bool topDown = (header[17] & 0x20) != 0;
    if (header[2] != 2 || (bytes != 3 && bytes != 4) || width <= 0 || height <= 0) return false;
    file.seekg(18 + header[0]);
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * bytes);
    if (!file.read(reinterpret_cast<char*>(pixels.data()), static_cast<std::streamsize>(pixels.size())))
        return false;
    image.width = width;
    image.height = height;
    image.rgb.assign(static_cast<size_t>(width) * height * 3, 0);
    for (int row = 0; row < height; ++row) {
        const int target = topDown ? height - 1 - row : row;
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = &pixels[(static_cast<size_t>(row) * width + x) * bytes];
            unsigned char* q = &image.rgb[(static_cast<size_t>(target) * width + x) * 3];
            q[0] = p[2];  // stored blue, green, red
            q[1] = p[1];
            q[2] = p[0];
        }
    }
    return true;
}

// Highest height of the 129 map the build generated: samples times 0.25.
float highestHeight129() {
    std::ifstream file(fs::path(MORVISTA_BINARY_DIR) / "height129.raw", std::ios::binary);
    int highest = -1;
    for (int c = file.get(); c != EOF; c = file.get()) highest = std::max(highest, c);
    return highest * 0.25f;
}

}  // namespace

// One run on the 129 map: the polygon counts of a table of configurations,
// the statistics title with and without anonymous mode, and the order of the
// start-up lines.
TEST_F(SceneEndToEnd, CountsTitlesAndStartUpOrderOnThe129Map) {
    // name, algorithm, terrain, splatting, lightmap, sky, plants and grass
    const struct {
        const char* name;
        const char* algorithm;
        int terrain, splatting, lightmap, sky, plants;
        int expected;  // -1: checked against other rows below
    } cases[] = {
        {"brute", "brute", 1, 0, 0, 0, 0, 32768},
        {"bruteLightmap", "brute", 1, 0, 1, 0, 0, 65536},
        {"bruteSplatting", "brute", 1, 1, 0, 0, 0, 65536},
        {"bruteSplattingLightmap", "brute", 1, 1, 1, 0, 0, 98304},
        {"bruteSky", "brute", 1, 0, 0, 1, 0, 32768 + 6},
        {"bruteAllSky", "brute", 1, 1, 1, 1, 0, 98304 + 6},
        {"quad", "quad", 1, 1, 1, 0, 0, 0},
        {"quadPlants", "quad", 1, 1, 1, 0, 1, -1},
        {"terrainOff", "brute", 0, 1, 1, 0, 0, 0},
        {"terrainOffPlants", "brute", 0, 1, 1, 0, 1, -1},
        {"bruteLightmapPlants", "brute", 1, 0, 1, 0, 1, -1},
    };
    std::string script = std::string(e2eLuaUntilFile) +
                         "setWindowMode(); setScreenSize(640, 480); createWindow('Morvista')\n"
                         "lockCamera()\n"
                         "setCameraAutoHeight(64, 120, 0, 10)\n"
                         "function on(value, turnOn, turnOff) if value == 1 then turnOn() else turnOff() end end\n"
                         "function measure(name, algorithm, terrain, splatting, lightmap, sky, plants)\n"
                         "  setTerrainAlgorithm(algorithm)\n"
                         "  on(terrain, turnTerrainOn, turnTerrainOff)\n"
                         "  on(splatting, turnTerrainMultitexturingOn, turnTerrainMultitexturingOff)\n"
                         "  on(lightmap, turnTerrainLightOn, turnTerrainLightOff)\n"
                         "  on(sky, turnSkyOn, turnSkyOff)\n"
                         "  on(plants, turnNonLODPlantsOn, turnNonLODPlantsOff)\n"
                         "  on(plants, turnLODPlantsOn, turnLODPlantsOff)\n"
                         // renderScene handles a waiting window event instead
                         // of drawing; a few calls make sure frames are drawn.
                         "  for i = 1, 10 do renderScene() end\n"
                         "  print('count ' .. name .. ' ' .. getSceneNumPolygons())\n"
                         "end\n"
                         "for i = 1, 10 do renderScene() end\n";
    for (const auto& c : cases) {
        char line[200];
        snprintf(line, sizeof line, "measure('%s', '%s', %d, %d, %d, %d, %d)\n", c.name, c.algorithm, c.terrain,
                 c.splatting, c.lightmap, c.sky, c.plants);
        script += line;
    }
    // The title: brute force writes its statistics; in anonymous mode no
    // renderer touches the title, whatever the algorithm.
    script += replaceAll(
        "setTerrainAlgorithm('brute'); turnTerrainOn()\n"
        "untilFile('WORK/brute.read')\n"
        "anonymous(); setTitle('Quiet')\n"
        "local algorithms = {'brute', 'geomipmapping', 'roam'}\n"
        "untilFile('WORK/quiet.read', function(i) setTerrainAlgorithm(algorithms[i % 3 + 1]) end)\n",
        "WORK", e2eWorkFolder());

    ViewerOptions options;
    options.steps = {
        e2eTitleWithStep,
        "waitWindow '^(Morvista|BRUTE .*)$'",
        // The first brute-force frame reports the extents before it has
        // drawn ("BRUTE 0.000000 ..."): wait for the drawn map's.
        "probe bruteTitle \"$(titleWith 'BRUTE 128')\"",
        "touch \"$WORK/brute.read\"",
        "probe quietTitle \"$(titleWith Quiet)\"",
        "sleep 1",  // all three algorithms draw meanwhile
        "probe quietTitleLater \"$(titleWith Quiet)\"",
        "touch \"$WORK/quiet.read\"",
    };
    ViewerResult result = runViewer(script, options);
    ASSERT_EQ(result.exitCode, 0) << failureContext(result);

    std::map<std::string, int> counts = printedCounts(result.out);
    for (const auto& c : cases) {
        ASSERT_EQ(counts.count(c.name), 1u) << c.name << failureContext(result);
        if (c.expected >= 0) {
            EXPECT_EQ(counts[c.name], c.expected) << c.name;
        }
    }
    // Without terrain (the quad-tree entry or showTerrain off) the plants
    // are still drawn, and they are all that is counted.
    EXPECT_GT(counts["quadPlants"], 0);
    EXPECT_EQ(counts["terrainOffPlants"], counts["quadPlants"]);
    EXPECT_EQ(counts["bruteLightmapPlants"], 65536 + counts["quadPlants"]);

    char title[100];
    snprintf(title, sizeof title, "BRUTE 128.000000 %f 128.000000", highestHeight129());
    EXPECT_EQ(probeValue(result, "bruteTitle"), title) << failureContext(result);
    EXPECT_EQ(probeValue(result, "quietTitle"), "Quiet") << failureContext(result);
    EXPECT_EQ(probeValue(result, "quietTitleLater"), "Quiet") << failureContext(result);
    EXPECT_EQ(countLines(result.out, "gave up waiting"), 0) << failureContext(result);

    // Start-up lines in the order the scene is built: greeting, terrain
    // textures between two AAAA lines, the plant models, the terrain objects
    // (geomipmapping heights, patches), then the angle check.
    std::vector<std::string> order;
    std::istringstream lines(result.out);
    std::string line;
    const char* shown[] = {"hello", "AAAAAAAAAAAAAAAAAAAAAAAA", "the path", "SCC ", "BF ", "patchesperside ", "angle "};
    while (std::getline(lines, line)) {
        for (const char* start : shown) {
            if (line.rfind(start, 0) != 0) continue;
            std::string key = start;
            if (!(key == "the path" && !order.empty() && order.back() == key)) order.push_back(key);
        }
        if (line.rfind("angle ", 0) == 0) break;
    }
    const std::vector<std::string> expected = {"hello", "AAAAAAAAAAAAAAAAAAAAAAAA", "AAAAAAAAAAAAAAAAAAAAAAAA",
                                               "the path", "SCC ", "BF ", "patchesperside ", "angle "};
    EXPECT_EQ(order, expected) << failureContext(result);
    EXPECT_NE(result.out.find("\nangle 90.000000\n"), std::string::npos);
    EXPECT_NE(result.out.find("\npatchesperside 8\n"), std::string::npos);
}

// Two fixed views of the 129 map taken with the program's own screenshot
// function and compared with reference pictures: brute force with splatting
// and the lightmap, and the sky box alone. Plants are off and the camera is
// locked; it is placed again before every frame because walking mode lowers
// a camera above the ground by a fixed step each frame.
//
// The program draws under Xvfb with Mesa's software rasteriser (llvmpipe),
// the same renderer as the offscreen test context on a machine without a
// GPU; the .renderer file beside each reference says so.
TEST_F(SceneEndToEnd, FixedViewsMatchReferencePictures) {
    const std::string work = e2eWorkFolder();
    std::string script = replaceAll(
        "setWindowMode(); setScreenSize(320, 240); createWindow('Morvista')\n"
        "lockCamera(); turnNonLODPlantsOff(); turnLODPlantsOff()\n"
        "function shoot(file, h, v)\n"
        "  for i = 1, 8 do setCamera(64, 60, 127, h, v); renderScene() end\n"
        "  takeScreenShot('WORK/' .. file)\n"
        "  for i = 1, 8 do setCamera(64, 60, 127, h, v); renderScene() end\n"
        "end\n"
        "turnTerrainOn(); setTerrainAlgorithm('brute')\n"
        "turnTerrainMultitexturingOn(); turnTerrainLightOn(); turnSkyOff()\n"
        "shoot('terrain.tga', 0, 25)\n"
        "turnTerrainOff(); turnSkyOn()\n"
        "shoot('sky.tga', 45, -10)\n",  // a corner of the box, above the horizon
        "WORK", work);
    ViewerResult result = runViewer(script);
    ASSERT_EQ(result.exitCode, 0) << failureContext(result);

    // The reference check keeps the picture drawn and a diff in
    // <build>/test-output/ on a mismatch. At most 1% of the pixels may differ
    // by more than 16 in a channel.
    makeTestGlContext();
    const struct {
        const char* shot;
        const char* reference;
    } views[] = {{"terrain.tga", "scene-brute-splatted-lit"}, {"sky.tga", "scene-sky-only"}};
    for (const auto& view : views) {
        TestImage image;
        ASSERT_TRUE(readShot(work + "/" + view.shot, image)) << view.shot << failureContext(result);
        EXPECT_EQ(image.width, 320);
        EXPECT_EQ(image.height, 240);
        expectMatchesReference(view.reference, image, 16, 0.01);
        const char* update = getenv("MORVISTA_UPDATE_REFERENCES");
        if (update && update[0] == '1') {
            std::ofstream(fs::path(MORVISTA_SOURCE_DIR) / "tests" / "references" /
                          (std::string(view.reference) + ".renderer"))
                << "the program under Xvfb (Mesa software GLX); test context: " << testGlRenderer() << "\n";
        }
    }
}
