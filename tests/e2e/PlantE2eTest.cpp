// PlantE2eTest.cpp -- the plants of the running program: the scene's
// polygon count against the plants the placement puts down and the models'
// polygon totals, per detail scheme, with frustum culling on and off (the 0
// key); and a walk through the default scene's meadows in screenshots.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "e2eHarness.h"

namespace {

class PlantEndToEnd : public ViewerTest {};

// Lua helpers: marker(name) is true once the steps have made WORK/name;
// waitMarker keeps drawing frames (and handling keys) until then.
std::string scriptPrelude(const std::string& work) {
    return e2eMarkerPrelude(work);
}

// polygonTotal of a model file beside the program: the sum of its objects'
// numPolygon.
int modelPolygons(const std::string& name) {
    std::string text = e2eReadFile(std::string(MORVISTA_BINARY_DIR) + "/" + name);
    std::regex count("numPolygon=\"([0-9]+)\"");
    int total = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), count), end; it != end; ++it)
        total += std::stoi((*it)[1]);
    return total;
}

// The plants one set puts on the 129 map, walked as the program does: the
// shared generator seeded with 0 (no set of the scene has another seed), the
// jitter drawn for x then z, a candidate below 0 moved to 1 and one beyond
// 128 to 128, the distribution draw, then for survivors the unit draw (the
// keep probability), the scale and the rotation draws.
struct SceneSet {
    const char* name;
    int spacing, jitterMin, jitterMax;
    float keepProbability;  // 1: every survivor of the map
};

int plantsPlaced(const SceneSet& set, const std::vector<uint8_t>& map) {
    const int size = 129;
    uint32_t state = 0;
    auto draw = [&state] {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    };
    auto place = [&](int g) {
        int span = set.jitterMax - set.jitterMin + 1;
        float v = static_cast<float>(g + set.jitterMin + draw() % span);
        if (v < 0.0f) v = 1.0f;
        if (v > 128.0f) v = 128.0f;
        return static_cast<int>(v);
    };
    int placed = 0;
    for (int gx = 0; gx < size; gx += set.spacing) {
        for (int gz = 0; gz < size; gz += set.spacing) {
            int x = place(gx);
            int z = place(gz);
            if (draw() % 255 >= map[static_cast<size_t>(x + z * size)]) continue;
            bool keep = static_cast<float>(draw()) / 32768.0f < set.keepProbability;
            draw();  // scale
            draw();  // rotation
            if (keep) ++placed;
        }
    }
    return placed;
}

}  // namespace

// Terrain off (as after start-up) and the sky off: the count is the plants'
// alone. With culling off every placed plant is drawn and counted, whichever
// way the camera looks; with it on, looking up at the sky counts fewer.
TEST_F(PlantEndToEnd, PolygonCountIsTheSumOfTheDrawnModels) {
    const std::string script = scriptPrelude(e2eWorkFolder()) +
        "setWindowMode(); setScreenSize(800, 600); createWindow('Morvista')\n"
        "turnSkyOff()\n"
        "function count() for i = 1, 6 do renderScene() end return getSceneNumPolygons() end\n"
        "function measure(label)\n"
        "  for _, scheme in ipairs({'brute', 'xbill', 'bill', 'mix', 'smooth'}) do\n"
        "    setPlantAlgorithm(scheme)\n"
        "    setCameraAutoHeight(64, 64, 0, 0); local ground = count()\n"
        "    setCameraAutoHeight(64, 64, 0, -90); local sky = count()\n"
        "    print(string.format('%s %s %d %d', label, scheme, ground, sky))\n"
        "  end\n"
        "end\n"
        "turnNonLODPlantsOff(); turnLODPlantsOff()\n"
        "print('NOTHING ' .. count())\n"
        "turnNonLODPlantsOn(); turnLODPlantsOn()\n"
        "measure('ON')\n"
        "print('READY')\n"
        "waitMarker('culling')\n"
        "measure('OFF')\n";
    ViewerOptions options;
    options.steps = {
        e2eWaitOutputStep,
        "waitWindow '^Morvista$'",
        "waitOutput '^READY'",
        "focusView",
        "xdotool key 0; sleep 0.5",
        "touch \"$WORK/culling\"",
    };
    ViewerResult result = runViewer(script, options);
    ASSERT_EQ(result.exitCode, 0) << failureContext(result);
    EXPECT_NE(result.out.find("NOTHING 0\n"), std::string::npos) << "no terrain, no sky" << failureContext(result);

    // counts[culling][scheme] = {looking level, looking up}
    std::map<std::string, std::map<std::string, std::pair<int, int>>> counts;
    std::istringstream lines(result.out);
    std::string line;
    while (std::getline(lines, line)) {
        char label[8], scheme[8];
        int ground = 0, sky = 0;
        if (sscanf(line.c_str(), "%7s %7s %d %d", label, scheme, &ground, &sky) == 4 &&
            (std::string(label) == "ON" || std::string(label) == "OFF"))
            counts[label][scheme] = {ground, sky};
    }
    ASSERT_EQ(counts["ON"].size(), 5u) << failureContext(result);
    ASSERT_EQ(counts["OFF"].size(), 5u) << failureContext(result);

    // What the placement puts down and what each drawn model counts.
    std::ifstream mapFile(std::string(MORVISTA_BINARY_DIR) + "/grassdist2.raw", std::ios::binary);
    std::vector<uint8_t> map((std::istreambuf_iterator<char>(mapFile)), std::istreambuf_iterator<char>());
    ASSERT_EQ(map.size(), 129u * 129u);
    const std::vector<std::pair<SceneSet, const char*>> fixedSets = {
        {{"fern", 10, -5, 5, 1.0f}, "fern.xml"},       {{"bboy", 15, -10, 10, 1.0f}, "bboy.xml"},
        {{"spear", 15, -10, 10, 0.25f}, "spear.xml"},  {{"broad16", 20, -5, 5, 1.0f}, "broad16.xml"},
        {{"broad01", 35, -8, 8, 1.0f}, "broad01.xml"}, {{"flower8", 20, -8, 8, 1.0f}, "flower8.xml"},
        {{"flower6", 30, -5, 5, 1.0f}, "flower6.xml"},
    };
    int fixedPolygons = 0;  // sets whose model does not depend on the scheme
    for (const auto& [set, model] : fixedSets) fixedPolygons += plantsPlaced(set, map) * modelPolygons(model);
    const int grass = plantsPlaced({"grass", 6, 0, 0, 1.0f}, map);
    ASSERT_GT(grass, 0);
    const std::map<std::string, int> expected = {
        {"brute", fixedPolygons + grass * modelPolygons("towergrass.xml")},
        {"xbill", fixedPolygons + grass * modelPolygons("grasscross.xml")},
        {"bill", fixedPolygons + grass * modelPolygons("grassbill.xml")},
    };

    for (const auto& [scheme, drawn] : counts["OFF"]) {
        EXPECT_EQ(drawn.first, drawn.second) << scheme << ": culling off draws every plant in any direction";
        if (expected.count(scheme)) {
            EXPECT_EQ(drawn.first, expected.at(scheme)) << scheme;
        }
        const std::pair<int, int>& culled = counts["ON"][scheme];
        EXPECT_LT(culled.second, culled.first) << scheme << ": fewer plants in view of the sky";
        EXPECT_LE(culled.first, drawn.first) << scheme << ": culling only leaves plants out";
    }
    const auto& off = counts["OFF"];
    EXPECT_LT(off.at("bill").first, off.at("brute").first);
    EXPECT_LT(counts["ON"]["bill"].first, counts["ON"]["brute"].first);
    // The distance schemes use full models near the camera and billboards
    // (2 polygons) far off; the smooth one adds the faded halves.
    EXPECT_LE(off.at("bill").first, off.at("mix").first);
    EXPECT_LE(off.at("mix").first, off.at("brute").first);
    EXPECT_GT(off.at("smooth").first, off.at("bill").first);
}

// The default scene (1024 x 768, the 257 map, brute force with splatting
// and the lightmap, the start view) walked forward in shots: full models,
// then the smooth scheme in short steps, then billboards. Then a close-up
// of one grass plant with only the grass drawn, walked back through the
// smooth scheme's bands (full model; billboard fading in over it from 15;
// full model fading out over the billboard from 30; billboard alone from
// 40). The pictures are for looking at (walk.png and fade.png in the test's
// folder); the test checks that every shot is written whole and that the
// walk's view did not turn while the shots were taken.
TEST_F(PlantEndToEnd, WalkThroughTheMeadows) {
    const std::string work = e2eWorkFolder();
    const std::string script = scriptPrelude(work) +
        "setWindowMode(); setScreenSize(1024, 768); setHMSize(257); createWindow('Morvista')\n"
        "turnTerrainOn(); setTerrainAlgorithm('brute'); turnTerrainMultitexturingOn(); turnTerrainLightOn()\n"
        "chdir(WORK)\n"
        "function shot(name)\n"
        "  takeScreenShot(name)\n"
        "  local calls = 0\n"
        "  while calls < 20 and not marker(name) do renderScene(); calls = calls + 1 end\n"
        "end\n"
        // Forward along the start view's heading of 35 degrees.
        "h = 35; sx = math.sin(math.rad(h)); sz = -math.cos(math.rad(h))\n"
        "function walk(scheme, prefix, count, step)\n"
        "  setPlantAlgorithm(scheme)\n"
        "  for i = 0, count - 1 do\n"
        "    setCameraAutoHeight(60 + sx * i * step, 200 + sz * i * step, h, 8)\n"
        "    for k = 1, 3 do renderScene() end\n"
        "    shot(string.format('%s%d.tga', prefix, i))\n"
        "    print(string.format('ANGLES %f %f', getCameraHorizontalAngle(), getCameraVerticalAngle()))\n"
        "  end\n"
        "end\n"
        "walk('brute', 'brute', 3, 12)\n"
        "walk('smooth', 'smooth', 4, 2)\n"
        "walk('bill', 'bill', 1, 12)\n"
        // The grass plant at (78, 198), seen from the south, eye aimed at
        // 0.7 above its foot (ground 12.0 there).
        "turnTerrainOff(); turnSkyOff(); turnNonLODPlantsOff(); setPlantAlgorithm('smooth')\n"
        "for _, d in ipairs({12, 20, 27, 30, 35, 40}) do\n"
        "  setCameraAutoHeight(78, 198 + d, 0, 0)\n"
        "  local x, y, z = getCameraPosition()\n"
        "  setCameraAutoHeight(78, 198 + d, 0, math.deg(math.atan((y - 12.7) / d)))\n"
        "  for k = 1, 3 do renderScene() end\n"
        "  shot(string.format('fade%02d.tga', d))\n"
        "end\n";
    ViewerOptions options;
    options.timeoutSeconds = 120;
    ViewerResult result = runViewer(script, options);
    ASSERT_EQ(result.exitCode, 0) << failureContext(result);

    // Hiding the bars for a shot starts mouse look; the view must not turn.
    EXPECT_EQ(countLines(result.out, "ANGLES 35.000000 8.000000"), 8) << failureContext(result);

    const std::string quotedWork = e2eQuote(work);
    std::vector<std::string> walk = {"brute0", "brute1", "brute2", "smooth0", "smooth1", "smooth2", "smooth3", "bill0"};
    std::vector<std::string> fade = {"fade12", "fade20", "fade27", "fade30", "fade35", "fade40"};
    for (const std::vector<std::string>* names : {&walk, &fade}) {
        std::string pictures;
        for (const std::string& name : *names) {
            std::string tga = work + "/" + name + ".tga";
            EXPECT_EQ(std::system(("identify -format '%wx%h' " + e2eQuote(tga) +
                                   " | grep -qx 1024x768").c_str()),
                      0)
                << name << " written at the drawing area's size" << failureContext(result);
            pictures += " " + e2eQuote(tga);
        }
        // Contact sheets: the walk at half size, the close-ups cut around
        // the plant.
        std::string sheet = names == &walk ? "-resize 50% +append walk.png"
                                           : "-gravity center -crop 300x300+0+0 +repage +append fade.png";
        std::system(("cd " + quotedWork + " && convert" + pictures + " -auto-orient -alpha off " + sheet).c_str());
    }
}
