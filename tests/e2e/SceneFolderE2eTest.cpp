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

}  // namespace

TEST_F(SceneFolderEndToEnd, AnImportedGeoTiffIsViewedFromItsOwnFolder) {
    // A dome with ripples and a no-data hole, 200 x 160 cells of 25 m.
    fs::path folder = scenesDir / "imported";
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
    ASSERT_EQ(shell("gdal_translate -q -ot UInt16 -a_srs EPSG:32633 -a_nodata 0 -of GTiff " +
                        e2eQuote((folder / "grid.asc").string()) + " " + e2eQuote((folder / "dem.tif").string()),
                    log),
              0)
        << e2eReadFile(log);
    ASSERT_EQ(shell(e2eQuote((binaryDir / "scenegen").string()) + " --heightmap " +
                        e2eQuote((folder / "dem.tif").string()) + " --sizes 129 --out " +
                        e2eQuote((folder / "scene").string()),
                    log),
              0)
        << e2eReadFile(log);
    const std::string report = e2eReadFile(log);
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
