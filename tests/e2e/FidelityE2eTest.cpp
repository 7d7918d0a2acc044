// FidelityE2eTest.cpp -- the terrain and plant error measurements in the
// running program on the generated 129 map: brute force and full models
// against themselves measure nothing, geomipmapping and a plant scheme
// measure something, the quad-tree gives nil, and the frame drawn after a
// measurement, with its polygon count, is the frame drawn before it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "e2eHarness.h"

namespace {

class FidelityEndToEnd : public ViewerTest {};

std::string fileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

TEST_F(FidelityEndToEnd, MeasurementsLeaveTheFrameAndGiveKnownAnswers) {
    const std::string work = e2eWorkFolder();
    const std::string script = "WORK = '" + work + R"LUA('
setWindowMode(); setScreenSize(320, 240); setHMSize(129); createWindow('Morvista')
chdir(WORK)  -- shot names are short relative to it
hideMenus(); lockCamera(); turnTerrainOn(); turnTerrainMultitexturingOn(); turnTerrainLightOn()
function frames(n) for i = 1, n do setCamera(40, 45, 110, 20, 20); renderScene() end end
function show(name, ...)
  local values = {...}
  local text = name
  for i = 1, select('#', ...) do text = text .. ' ' .. tostring(values[i]) end
  print(text)
end
for _, algorithm in ipairs({'brute', 'geomipmapping'}) do
  setTerrainAlgorithm(algorithm); setPlantAlgorithm('mix')
  frames(6)
  takeScreenShot(algorithm .. '-before.tga'); frames(4)
  local before = getSceneNumPolygons()
  show('terrain ' .. algorithm, measureTerrainError())
  show('plants mix', measurePlantError())
  setPlantAlgorithm('brute')
  show('plants brute', measurePlantError())
  setPlantAlgorithm('mix')
  takeScreenShot(algorithm .. '-after.tga'); frames(4)
  print('polygons ' .. algorithm .. ' ' .. before .. ' ' .. getSceneNumPolygons())
end
setTerrainAlgorithm('quad'); frames(1)
show('terrain quad', measureTerrainError())
)LUA";
    ViewerResult result = runViewer(script, ViewerOptions{{}, {}, 120});
    ASSERT_EQ(result.exitCode, 0) << failureContext(result);
    const std::string& out = result.out;

    // Brute force against itself: no error, identical pictures (what is left
    // of the geometric error is float rounding, far below a pixel).
    EXPECT_NE(out.find("Terrain error: 95th percentile 0.00 px, maximum 0.00 px, differing pixels 0.0000, PSNR inf\n"
                       "terrain brute "),
              std::string::npos)
        << failureContext(result);
    {
        std::istringstream line(out.substr(out.find("terrain brute ")));
        std::string word, name, psnr;
        double p95 = -1, worst = -1, share = -1;
        line >> word >> name >> p95 >> worst >> share >> psnr;
        EXPECT_GE(p95, 0.0);
        EXPECT_LT(p95, 0.005);
        EXPECT_LT(worst, 0.05);
        EXPECT_EQ(share, 0.0);
        EXPECT_EQ(psnr, "inf") << "math.huge";
    }
    EXPECT_NE(out.find("Plant error: differing pixels 0.0000, PSNR inf\nplants brute 0 inf\n"), std::string::npos)
        << failureContext(result);
    EXPECT_NE(out.find("terrain geomipmapping "), std::string::npos) << failureContext(result);
    EXPECT_EQ(out.find("terrain geomipmapping nil"), std::string::npos) << failureContext(result);
    EXPECT_EQ(out.find("plants mix nil"), std::string::npos) << failureContext(result);
    EXPECT_NE(out.find("Terrain error: the quad-tree draws no terrain; nothing to measure\nterrain quad nil\n"),
              std::string::npos)
        << failureContext(result);

    for (const char* algorithm : {"brute", "geomipmapping"}) {
        SCOPED_TRACE(algorithm);
        const std::string shotBefore = fileBytes(work + "/" + algorithm + "-before.tga");
        const std::string shotAfter = fileBytes(work + "/" + algorithm + "-after.tga");
        ASSERT_GT(shotBefore.size(), 18u) << failureContext(result);
        EXPECT_TRUE(shotBefore == shotAfter) << "the frame after the measurements is the frame before them";
        const size_t at = out.find(std::string("polygons ") + algorithm + " ");
        ASSERT_NE(at, std::string::npos) << failureContext(result);
        std::istringstream line(out.substr(at, out.find('\n', at) - at));
        std::string word, name;
        long before = -1, after = -2;
        line >> word >> name >> before >> after;
        EXPECT_GT(before, 0);
        EXPECT_EQ(before, after) << "polygons of the frames before and after the measurements";
    }
}
