// SceneFolderE2eTest.cpp -- the viewer on a scene of its own folder: a
// 16-bit GeoTIFF made with gdal_translate from a grid the test writes,
// turned into a scene by scenegen --heightmap and opened with
// setSceneFolder; and a start on an incomplete or missing folder
// (MORVISTA_SCENE), which ends with the missing file named.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2eHarness.h"

namespace {

namespace fs = std::filesystem;

class SceneFolderEndToEnd : public ViewerTest {};

const fs::path binaryDir = MORVISTA_BINARY_DIR;
// Scenes live beside the work folders (runViewer empties those), and the
// viewer reaches them by a path relative to the folder it was started in.
const fs::path scenesDir = binaryDir / "test-output" / "e2e-scenes";

std::vector<unsigned char> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int shell(const std::string& command, const fs::path& log) {
    int status = std::system((command + " > " + e2eQuote(log.string()) + " 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A dome with ripples and a no-data hole, 200 x 160 cells of 25 m, as a
// 16-bit GeoTIFF made with gdal_translate, imported by scenegen into
// <scenesDir>/<name>/scene. The import's report is returned in report.
bool importDome(const std::string& name, const std::string& sizes, std::string& report) {
    fs::path folder = scenesDir / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    {
        std::ofstream grid(folder / "grid.asc");
        grid << "ncols 200\nnrows 160\nxllcorner 400000\nyllcorner 6000000\ncellsize 25\nNODATA_value 0\n";
        for (int y = 0; y < 160; ++y) {
            for (int x = 0; x < 200; ++x) {
                double r2 = (x - 100.0) * (x - 100.0) + (y - 80.0) * (y - 80.0);
                double h = 500 + 900 * std::exp(-r2 / 3000.0) + 40 * std::sin(x / 7.0) * std::cos(y / 9.0);
                bool hole = (x - 60) * (x - 60) + (y - 40) * (y - 40) < 36;
                grid << (hole ? 0 : (int)std::lround(h * 10)) << (x + 1 < 200 ? " " : "\n");
            }
        }
    }
    fs::path log = folder / "commands.log";
    if (shell("gdal_translate -q -ot UInt16 -a_srs EPSG:32633 -a_nodata 0 -of GTiff " +
                  e2eQuote((folder / "grid.asc").string()) + " " + e2eQuote((folder / "dem.tif").string()),
              log) != 0) {
        report = e2eReadFile(log);
        return false;
    }
    int status = shell(e2eQuote((binaryDir / "scenegen").string()) + " --heightmap " +
                           e2eQuote((folder / "dem.tif").string()) + " --sizes " + sizes + " --out " +
                           e2eQuote((folder / "scene").string()),
                       log);
    report = e2eReadFile(log);
    return status == 0;
}

}  // namespace

TEST_F(SceneFolderEndToEnd, AnImportedGeoTiffIsViewedFromItsOwnFolder) {
    fs::path folder = scenesDir / "imported";
    std::string report;
    ASSERT_TRUE(importDome("imported", "129", report)) << report;
    EXPECT_NE(report.find("no-data cells filled from their neighbours"), std::string::npos) << report;
    EXPECT_NE(report.find("129 map 31.01"), std::string::npos) << report;

    std::vector<unsigned char> imported = readBytes(folder / "scene" / "height129.raw");
    std::vector<unsigned char> generated = readBytes(binaryDir / "height129.raw");
    ASSERT_EQ(imported.size(), 129u * 129u);
    ASSERT_EQ(generated.size(), 129u * 129u);
    ASSERT_NE(imported[64 + 64 * 129], generated[64 + 64 * 129]) << "the check below must tell the scenes apart";

    // Screenshot names are limited to 99 characters: this one is relative
    // to the program's folder.
    const std::string shotName = "scene-folder-e2e.tga";
    const fs::path shot = binaryDir / shotName;
    fs::remove(shot);
    std::string script = std::string(e2eLuaUntilFile) +
                         "setSceneFolder('../../e2e-scenes/imported/scene')\n"
                         "setHMSize(129); setWindowMode(); setScreenSize(640, 480); createWindow('Morvista')\n"
                         "turnTerrainOn(); setTerrainAlgorithm('brute'); turnTerrainMultitexturingOn(); "
                         "turnTerrainLightOn()\n"
                         "setCameraPositionAutoHeight(64, 64)\n"
                         "renderScene()\n"
                         "print(string.format('camera %.6f %.6f %.6f', getCameraPosition()))\n"
                         "setCameraAutoHeight(10, 120, 45, 10)\n"
                         "for i = 1, 5 do renderScene() end\n"
                         "takeScreenShot('" + shotName + "')\n"
                         "untilFile('" + shotName + "')\n";
    ViewerOptions options;
    options.timeoutSeconds = 180;
    ViewerResult result = runViewer(script, options);
    ASSERT_EQ(result.exitCode, 0) << failureContext(result);
    EXPECT_EQ(countLines(result.out, "gave up waiting"), 0) << failureContext(result);
    EXPECT_EQ(countLines(result.out, "not found"), 0) << failureContext(result);
    EXPECT_EQ(countLines(result.out, "Cannot load"), 0) << failureContext(result);

    float x = 0, y = 0, z = 0;
    ASSERT_EQ(countLines(result.out, "camera "), 1) << failureContext(result);
    sscanf(result.out.substr(result.out.find("camera ")).c_str(), "camera %f %f %f", &x, &y, &z);
    EXPECT_NEAR(y, imported[64 + 64 * 129] * 0.25f + 8.0f, 1e-3) << "the camera stands on the imported ground";

    std::vector<unsigned char> picture = readBytes(shot);
    ASSERT_GT(picture.size(), 18u) << failureContext(result);
    std::set<unsigned> colours;
    for (size_t i = 18; i + 3 < picture.size(); i += 4)
        colours.insert(picture[i] | picture[i + 1] << 8 | picture[i + 2] << 16);
    EXPECT_GT(colours.size(), 500u) << "a textured, lit view, not an empty frame";
}

TEST_F(SceneFolderEndToEnd, AStartOnAnIncompleteOrMissingFolderNamesWhatIsMissing) {
    fs::path partial = scenesDir / "partial";
    fs::remove_all(partial);
    fs::create_directories(partial);
    std::ofstream(partial / "height129.raw") << std::string(129 * 129, '\x40');
    struct Case {
        std::string folder;
        std::string message;
    };
    const Case cases[] = {
        {"../../e2e-scenes/partial",
         "scene folder " + partial.string() + " is incomplete: missing grassdist2.raw, height129lm2.raw, "
                                              "twig01ar.tga"},
        {"../../e2e-scenes/nowhere", "MORVISTA_SCENE: scene folder " + (scenesDir / "nowhere").string() +
                                         " not found"},
    };
    for (const Case& c : cases) {
        ViewerOptions options;
        options.environment = {{"MORVISTA_SCENE", c.folder}};
        options.timeoutSeconds = 30;
        ViewerResult result = runViewer("setHMSize(129); createWindow('Morvista'); mainLoop()", options);
        EXPECT_EQ(result.exitCode, 1) << c.folder << failureContext(result);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << c.folder << failureContext(result);
        EXPECT_EQ(result.out.find("hello"), std::string::npos) << "no scene was built" << failureContext(result);
    }
}

// Every registered algorithm draws the imported heights: at a 1 px tolerance,
// with the same texturing as brute force, each measures within a pixel of the
// full grid at a few views, whether the folder is chosen by the start
// script (setSceneFolder) or by the environment (MORVISTA_SCENE). An
// algorithm that read another scene's heights would be tens of pixels off.
TEST_F(SceneFolderEndToEnd, EveryAlgorithmDrawsTheImportedTerrainWithinAPixel) {
    std::string report;
    ASSERT_TRUE(importDome("fidelity", "129", report)) << report;
    const std::string folder = "../../e2e-scenes/fidelity/scene";
    const std::string measure = R"LUA(
setHMSize(129); setWindowMode(); setScreenSize(640, 480); createWindow('Morvista')
hideMenus(); lockCamera(); turnTerrainOn(); turnUniformTexturingOn(); setTerrainError(1)
local views = {{64, 70, 20, 30, 20}, {20, 60, 100, 10, 60}, {110, 40, 30, 25, 200}}
for _, name in ipairs(getTerrainAlgorithms()) do
  setTerrainAlgorithm(name)
  for v, view in ipairs(views) do
    -- ROAM refines a little every frame: let it come to rest at the view.
    for i = 1, 40 do setCamera(view[1], view[2], view[3], view[4], view[5]); renderScene() end
    local p95, worst, share = measureTerrainError()
    if p95 then print(string.format('fidelity %s %d %.3f %.3f %.4f', name, v, p95, worst, share)) end
  end
end
)LUA";
    struct Route {
        const char* name;
        std::string script;
        std::vector<std::pair<std::string, std::string>> environment;
    };
    const Route routes[] = {
        {"setSceneFolder", "setSceneFolder('" + folder + "')\n" + measure, {}},
        {"MORVISTA_SCENE", measure, {{"MORVISTA_SCENE", folder}}},
    };
    for (const Route& route : routes) {
        SCOPED_TRACE(route.name);
        ViewerOptions options;
        options.environment = route.environment;
        options.timeoutSeconds = 300;
        ViewerResult result = runViewer(route.script, options);
        ASSERT_EQ(result.exitCode, 0) << failureContext(result);
        std::istringstream lines(result.out);
        std::string line;
        std::set<std::string> measured;
        while (std::getline(lines, line)) {
            if (line.rfind("fidelity ", 0) != 0) continue;
            char name[64] = {};
            int view = 0;
            double p95 = -1, worst = -1, share = -1;
            ASSERT_EQ(sscanf(line.c_str(), "fidelity %63s %d %lf %lf %lf", name, &view, &p95, &worst, &share), 5)
                << line;
            measured.insert(name);
            EXPECT_LE(p95, 1.0) << line;
            EXPECT_GE(p95, 0.0) << line;
        }
        // Brute force, geomipmapping and ROAM at least; the quad-tree draws nothing.
        for (const char* name : {"brute", "geo", "roam"}) {
            bool found = false;
            for (const std::string& m : measured) found = found || m.find(name) != std::string::npos;
            EXPECT_TRUE(found) << name << " was not measured" << failureContext(result);
        }
    }
}
