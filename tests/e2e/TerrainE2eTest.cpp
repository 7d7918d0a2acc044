// TerrainE2eTest.cpp -- the level-of-detail terrains as the program draws
// them on a virtual display: the script names that select geomipmapping and
// ROAM, their statistics titles, and their polygon counts against what the
// camera position implies (the geomipmapping level mix, a ROAM mesh that
// refines towards the ground and stays within its budget).
//
// One program run covers both algorithms (every start costs a few seconds).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "e2eHarness.h"

namespace {

namespace fs = std::filesystem;

class TerrainEndToEnd : public ViewerTest {};

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Expected geomipmapping triangles for the 129 map (8 x 8 patches of 16)
// seen straight down from a sequence of camera positions, worked out from
// the height file alone: the patch boxes (twice the patch, height range as
// half height) against the view frustum, levels by centre distance (20, 60,
// 100), levels of hidden patches kept from earlier frames, visible
// neighbours at most one level apart, and fans of 4 to 8 triangles that drop
// the mid-edge vertex towards a coarser neighbour.
class GeomipLevelMix {
public:
    explicit GeomipLevelMix(const std::vector<unsigned char>& heights) {
        for (int pz = 0; pz < side; ++pz)
            for (int px = 0; px < side; ++px) {
                Patch& patch = patches[pz * side + px];
                patch.minY = 1000.0f;
                patch.maxY = 0.0f;
                for (int z = pz * 16; z < pz * 16 + 16; ++z)
                    for (int x = px * 16; x < px * 16 + 16; ++x) {
                        const float h = heights[z * 129 + x] * 0.25f;
                        patch.minY = std::min(patch.minY, h);
                        patch.maxY = std::max(patch.maxY, h);
                    }
            }
    }

    // One frame with the camera at (x, y, z) looking straight down, north at
    // the top of a view of the given aspect (45 degrees high, near plane 1).
    int frame(float cameraX, float cameraY, float cameraZ, float aspect) {
        const float tanHalf = std::tan(22.5f * static_cast<float>(M_PI) / 180.0f);
        for (int i = 0; i < side * side; ++i) {
            Patch& patch = patches[i];
            const float cx = static_cast<float>((i % side) * 16 + 8);
            const float cz = static_cast<float>((i / side) * 16 + 8);
            const float cy = patch.minY + (patch.maxY - patch.minY) / 2.0f;
            const float hy = patch.maxY - patch.minY;
            // A box is hidden when all its corners lie outside one side plane.
            bool outside[5] = {true, true, true, true, true};
            for (int corner = 0; corner < 8; ++corner) {
                const float right = cx + (corner & 1 ? 16.0f : -16.0f) - cameraX;
                const float up = -(cz + (corner & 2 ? 16.0f : -16.0f) - cameraZ);
                const float depth = cameraY - (cy + (corner & 4 ? hy : -hy));
                const bool inside[5] = {right <= depth * tanHalf * aspect, -right <= depth * tanHalf * aspect,
                                        up <= depth * tanHalf, -up <= depth * tanHalf, depth >= 1.0f};
                for (int plane = 0; plane < 5; ++plane) outside[plane] = outside[plane] && !inside[plane];
            }
            patch.visible = !(outside[0] || outside[1] || outside[2] || outside[3] || outside[4]);
            if (!patch.visible) continue;
            const float dx = cx - cameraX, dy = cy - cameraY, dz = cz - cameraZ;
            const float distance = std::sqrt(dx * dx + dy * dy + dz * dz);
            patch.level = distance < 20.0f ? 0 : distance < 60.0f ? 1 : distance < 100.0f ? 2 : 3;
        }
        for (bool changed = true; changed;) {
            changed = false;
            for (int i = 0; i < side * side; ++i) {
                if (!patches[i].visible) continue;
                for (int n : neighbours(i)) {
                    if (n >= 0 && patches[n].visible && patches[n].level > patches[i].level + 1) {
                        patches[n].level = patches[i].level + 1;
                        changed = true;
                    }
                }
            }
        }
        int triangles = 0;
        for (int i = 0; i < side * side; ++i) {
            if (!patches[i].visible) continue;
            const std::vector<int> around = neighbours(i);  // west, north, east, south
            bool keeps[4];
            for (int s = 0; s < 4; ++s) keeps[s] = around[s] < 0 || patches[around[s]].level <= patches[i].level;
            const int step = 2 << patches[i].level, half = step / 2;
            for (int z = half; z + half <= 16; z += step)
                for (int x = half; x + half <= 16; x += step)
                    triangles += 4 + (x != half || keeps[0]) + (z < 16 - half || keeps[1]) +
                                 (x < 16 - half || keeps[2]) + (z != half || keeps[3]);
        }
        return triangles;
    }

    int patchesAtLevel(int level) const {
        int count = 0;
        for (const Patch& patch : patches) count += patch.visible && patch.level == level;
        return count;
    }

private:
    static constexpr int side = 8;
    struct Patch {
        float minY, maxY;
        int level = 3;  // the level every patch starts with
        bool visible = true;
    };
    Patch patches[side * side];

    std::vector<int> neighbours(int i) const {
        const int px = i % side, pz = i / side;
        return {px > 0 ? i - 1 : -1, pz < side - 1 ? i + side : -1, px < side - 1 ? i + 1 : -1,
                pz > 0 ? i - side : -1};
    }
};

}  // namespace

TEST_F(TerrainEndToEnd, GeomipmappingLevelMixAndRoamRefinementOnThe129Map) {
    // Geomipmapping: straight down over the middle of the map from heights
    // where every patch is coarse, then where the mountain tops come within
    // 100 and the outer patches start to leave the view. The camera is placed
    // again before every frame (walking mode lowers a camera above the
    // ground each frame) and the position the frame used is printed.
    const float geomipHeights[] = {200.0f, 128.0f, 112.0f, 100.0f};
    // ROAM: from the south edge looking north and slightly down, from high
    // above towards the ground; the last ten frames of each height are printed.
    const float roamHeights[] = {150.0f, 60.0f, 25.0f};
    std::string script = std::string(e2eLuaUntilFile) +
                         "setWindowMode(); setScreenSize(800, 600); createWindow('Morvista')\n"
                         "lockCamera(); turnSkyOff(); turnNonLODPlantsOff(); turnLODPlantsOff()\n"
                         "turnTerrainOn(); turnTerrainMultitexturingOff(); turnTerrainLightOff()\n"
                         "setTerrainAlgorithm('geomipmapping')\n"
                         "for i = 1, 10 do renderScene() end\n";
    for (float y : geomipHeights) {
        char line[300];
        snprintf(line, sizeof line,
                 "for i = 1, 8 do setCamera(64, %g, 64, 0, 90); renderScene() end\n"
                 "print(string.format('geomip %%.9g %%.9g %%.9g', getCameraPosition()) .. "
                 "' ' .. getSceneNumPolygons())\n",
                 y);
        script += line;
    }
    script += replaceAll("untilFile('WORK/geomip.read')\n"
                         "setTerrainAlgorithm('roam')\n"
                         "untilFile('WORK/roam.read')\n",
                         "WORK", e2eWorkFolder());
    for (float y : roamHeights) {
        char line[300];
        snprintf(line, sizeof line,
                 "local counts = 'roam %g'\n"
                 "for i = 1, 40 do\n"
                 "  setCamera(64, %g, 124, 0, 20); renderScene()\n"
                 "  if i > 30 then counts = counts .. ' ' .. getSceneNumPolygons() end\n"
                 "end\n"
                 "print(counts)\n",
                 y, y);
        script += "do\n" + std::string(line) + "end\n";
    }

    ViewerOptions options;
    options.steps = {
        e2eTitleWithStep,
        "waitWindow '^(Morvista|GEOMIP .*|ROAM .*)$'",
        "probe geomipTitle \"$(titleWith GEOMIP)\"",
        "touch \"$WORK/geomip.read\"",
        "probe roamTitle \"$(titleWith ROAM)\"",
        "touch \"$WORK/roam.read\"",
    };
    ViewerResult result = runViewer(script, options);
    ASSERT_EQ(result.exitCode, 0) << failureContext(result);
    EXPECT_EQ(countLines(result.out, "gave up waiting"), 0) << failureContext(result);

    // "geomipmapping" contains "geo" and selects geomipmapping: its title
    // shows the largest x, height and z drawn.
    const std::string geomipTitle = probeValue(result, "geomipTitle");
    EXPECT_EQ(geomipTitle.rfind("GEOMIP 128.000000 ", 0), 0u) << failureContext(result);
    EXPECT_EQ(geomipTitle.substr(geomipTitle.size() - 11), " 128.000000") << geomipTitle;
    EXPECT_EQ(probeValue(result, "roamTitle").rfind("ROAM ", 0), 0u) << failureContext(result);

    std::ifstream heightFile(fs::path(MORVISTA_BINARY_DIR) / "height129.raw", std::ios::binary);
    std::vector<unsigned char> heights((std::istreambuf_iterator<char>(heightFile)), std::istreambuf_iterator<char>());
    ASSERT_EQ(heights.size(), 129u * 129u);
    GeomipLevelMix mix(heights);
    std::istringstream lines(result.out);
    std::string line;
    int geomipFrames = 0;
    std::vector<int> levelTwoPatches;
    while (std::getline(lines, line)) {
        float x, y, z;
        int count;
        if (sscanf(line.c_str(), "geomip %f %f %f %d", &x, &y, &z, &count) != 4) continue;
        ++geomipFrames;
        const int expected = mix.frame(x, y, z, 800.0f / 600.0f);
        EXPECT_EQ(count, expected) << "camera " << x << " " << y << " " << z;
        EXPECT_LT(count, 32768) << "fewer triangles than brute force";
        levelTwoPatches.push_back(mix.patchesAtLevel(2));
    }
    ASSERT_EQ(geomipFrames, 4) << failureContext(result);
    EXPECT_EQ(levelTwoPatches[0], 0) << "from 200 every patch is at level 3: 64 fans of 8";
    EXPECT_GT(levelTwoPatches[3], 0) << "the lower views mix levels 2 and 3";

    // ROAM: the count is the mesh's triangles (nothing else is drawn); it
    // stays still while the camera does, keeps within the triangle budget,
    // and grows as the camera comes down.
    std::vector<int> settled;
    std::istringstream roamLines(result.out);
    while (std::getline(roamLines, line)) {
        if (line.rfind("roam ", 0) != 0) continue;
        std::istringstream values(line.substr(5));
        float height;
        values >> height;
        std::vector<int> counts;
        for (int count; values >> count;) counts.push_back(count);
        ASSERT_EQ(counts.size(), 10u) << line;
        for (int count : counts) EXPECT_EQ(count, counts[0]) << "the mesh changes under a still camera: " << line;
        EXPECT_GT(counts[0], 2) << line;
        EXPECT_LE(counts[0], 200000) << line;
        settled.push_back(counts[0]);
    }
    ASSERT_EQ(settled.size(), 3u) << failureContext(result);
    EXPECT_LT(settled[0], settled[1]);
    EXPECT_LT(settled[1], settled[2]);
}
