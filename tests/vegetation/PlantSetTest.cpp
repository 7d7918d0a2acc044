// PlantSetTest.cpp -- the grid walk that places a plant set's plants.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "math/random.h"
#include "scene/sceneConfig.h"
#include "support/glTestContext.h"
#include "terrain/sceneGrids.h"
#include "vegetation/modelDraw.h"
#include "vegetation/plantSet.h"

namespace {

struct Plant {
    float x, y, z, scale, rotation;
    float colour;  // red of plantColour when the plant was handed over
    bool operator==(const Plant& o) const {
        return x == o.x && y == o.y && z == o.z && scale == o.scale && rotation == o.rotation && colour == o.colour;
    }
};
std::vector<Plant> plants;

void recordPlant(const PlantSet&, float x, float y, float z, float scale, float rotation) {
    plants.push_back({x, y, z, scale, rotation, plantColour[0]});
}

class PlantPlacement : public ::testing::Test {
protected:
    std::string directory;
    float savedMapSize = 0.0f;
    float savedMapExtent = 0.0f;

    void SetUp() override {
        if (!makeTestGlContext(32, 32)) GTEST_SKIP() << "no offscreen OpenGL context (placement issues matrix calls)";
        char pattern[] = "/tmp/morvista-plants-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        savedMapSize = mapSize;
        savedMapExtent = mapExtent;
        plantLighting = 1;
    }

    void TearDown() override {
        if (directory.empty()) return;
        mapSize = savedMapSize;
        mapExtent = savedMapExtent;
        bruteTerrain.release();
        lightmapGrid.release();
        plantLighting = 1;
        std::string command = "rm -rf '" + directory + "'";
        (void)!system(command.c_str());
    }

    // A size x size RAW grid with sample value(x, z).
    std::string writeGrid(const std::string& name, int size, const std::function<int(int, int)>& value) {
        std::string bytes(static_cast<size_t>(size) * size, '\0');
        for (int z = 0; z < size; ++z)
            for (int x = 0; x < size; ++x) bytes[x + z * size] = static_cast<char>(value(x, z));
        std::string path = directory + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // Map of the given size; terrain height sample x + z, lightmap at light.
    void makeMap(int size, int light = 128) {
        mapSize = static_cast<float>(size);
        mapExtent = static_cast<float>(size - 1);
        ASSERT_TRUE(bruteTerrain.load(writeGrid("height.raw", size, [](int x, int z) { return (x + z) & 0xFF; }).c_str(),
                                      size));
        bruteTerrain.setScale(1.0f, 0.25f, 1.0f);
        ASSERT_TRUE(lightmapGrid.load(writeGrid("light.raw", size, [light](int, int) { return light; }).c_str(), size));
    }

    void setMap(PlantSet& set, int size, int value) {
        setDistributionMap(set, writeGrid("dist" + std::to_string(value) + ".raw", size, [value](int, int) {
                               return value;
                           }).c_str(),
                           size);
    }

    static std::vector<Plant> place(const PlantSet& set) {
        plants.clear();
        placePlants(set, recordPlant);
        return plants;
    }
};

}  // namespace

TEST_F(PlantPlacement, SecondPassMeetsTheSamePlantsAsTheFirst) {
    makeMap(65);
    PlantSet set;
    setSpacing(set, 4.0f);
    setSeed(set, 7.0f);
    setBaseScale(set, 1.0f);
    setPositionJitter(set, -3.0f, 3.0f);
    setScaleJitter(set, -0.5f, 2.0f);
    setRotationRange(set, 0.0f, 360.0f);
    setKeepProbability(set, 0.5f);
    setDistributionMap(set, writeGrid("gradient.raw", 65, [](int x, int) { return x * 4; }).c_str(), 65);
    std::vector<Plant> first = place(set);
    randomInt(0, 100);  // other users of the generator between passes
    std::vector<Plant> second = place(set);
    ASSERT_GT(first.size(), 10u);
    EXPECT_EQ(first, second);
}

TEST_F(PlantPlacement, RandomDrawsFollowTheirFixedOrder) {
    makeMap(5);
    PlantSet set;
    setSpacing(set, 4.0f);
    setSeed(set, 3.0f);
    setBaseScale(set, 2.0f);
    setPositionJitter(set, -1.0f, 1.0f);
    setScaleJitter(set, 0.0f, 1.0f);
    setRotationRange(set, 10.0f, 20.0f);
    setKeepProbability(set, 0.5f);
    setMap(set, 5, 200);
    std::vector<Plant> placed = place(set);

    // The same walk by hand: x jitter, z jitter, map draw; for survivors of
    // the map the unit, scale and rotation draws, kept or not.
    std::vector<Plant> expected;
    randomSeed(3);
    for (int gx = 0; gx < 5; gx += 4) {
        for (int gz = 0; gz < 5; gz += 4) {
            float x = static_cast<float>(gx - 1 + randomDraw() % 3);
            float z = static_cast<float>(gz - 1 + randomDraw() % 3);
            if (x < 0) x = 1.0f;
            if (z < 0) z = 1.0f;
            if (x > 4) x = 4.0f;
            if (z > 4) z = 4.0f;
            if (randomDraw() % 255 >= 200) continue;
            bool keep = randomDraw() / 32768.0f < 0.5f;
            float scale = 2.0f + (randomDraw() / 32767.0f * 1.0f + 0.0f);
            float rotation = randomDraw() / 32767.0f * 10.0f + 10.0f;
            if (keep) expected.push_back({x, (x + z) * 0.25f, z, scale, rotation, 128.0f});
        }
    }
    EXPECT_EQ(placed, expected);
}

TEST_F(PlantPlacement, JitteredPositionsAreClampedToTheMap) {
    makeMap(9);
    struct Case {
        bool jitter;
        float amount;
        std::vector<float> coordinates;  // x of the four plants, in walk order (z likewise)
    };
    const Case cases[] = {
        {false, 0.0f, {0, 0, 8, 8}},   // no jitter set: the grid points themselves
        {true, -3.0f, {1, 1, 5, 5}},   // -3 becomes 1.0, not 0
        {true, 5.0f, {5, 5, 8, 8}},    // 13 becomes the map extent
    };
    for (const Case& c : cases) {
        PlantSet set;
        setSpacing(set, 8.0f);
        if (c.jitter) setPositionJitter(set, c.amount, c.amount);
        std::vector<Plant> placed = place(set);
        ASSERT_EQ(placed.size(), 4u) << "jitter " << c.amount;
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(placed[i].x, c.coordinates[i]) << "jitter " << c.amount << ", plant " << i;
            EXPECT_EQ(placed[i].z, c.coordinates[i % 2 == 0 ? 0 : 2]) << "jitter " << c.amount << ", plant " << i;
        }
    }
}

TEST_F(PlantPlacement, SpacingBelowOneWalksEverySample) {
    makeMap(9);
    PlantSet set;
    setSpacing(set, 0.25f);
    EXPECT_FLOAT_EQ(set.spacing, 1.0f);
    EXPECT_EQ(place(set).size(), 81u);
    set.spacing = 0.0f;  // even written directly, the walk advances
    EXPECT_EQ(place(set).size(), 81u);
}

TEST_F(PlantPlacement, DistributionMapOfNothingAndOfEverything) {
    makeMap(33);
    PlantSet empty;
    setSpacing(empty, 4.0f);
    setMap(empty, 33, 0);
    EXPECT_TRUE(place(empty).empty());
    PlantSet full;
    setSpacing(full, 4.0f);
    setMap(full, 33, 255);
    EXPECT_EQ(place(full).size(), 81u);  // 9 x 9 grid points
}

TEST_F(PlantPlacement, KeepProbabilityThinsWithoutShiftingTheOthers) {
    makeMap(129);
    PlantSet set;
    setSpacing(set, 1.0f);
    setPositionJitter(set, -2.0f, 2.0f);
    setScaleJitter(set, 0.0f, 1.0f);
    setRotationRange(set, 0.0f, 360.0f);
    setKeepProbability(set, 1.0f);
    std::vector<Plant> all = place(set);
    ASSERT_EQ(all.size(), 129u * 129u);
    setKeepProbability(set, 0.25f);
    std::vector<Plant> kept = place(set);
    double fraction = static_cast<double>(kept.size()) / static_cast<double>(all.size());
    EXPECT_NEAR(fraction, 0.25, 0.02) << "sampling tolerance for 16641 candidates";
    // Dropped candidates still consume their draws: each kept plant is the
    // very plant of the unthinned walk.
    size_t at = 0;
    for (const Plant& plant : kept) {
        while (at < all.size() && !(all[at] == plant)) ++at;
        ASSERT_LT(at, all.size()) << "a kept plant differs from the unthinned walk";
        ++at;
    }
}

TEST_F(PlantPlacement, PlantsAreLitByTheLightmapOrWhite) {
    makeMap(17, 128);
    PlantSet set;
    setSpacing(set, 8.0f);
    std::vector<Plant> lit = place(set);
    ASSERT_FALSE(lit.empty());
    for (const Plant& plant : lit) {
        EXPECT_EQ(plant.colour, 128.0f);
        EXPECT_FLOAT_EQ(plant.y, (plant.x + plant.z) * 0.25f) << "height of the brute-force terrain";
    }
    plantLighting = 0;
    for (const Plant& plant : place(set)) EXPECT_EQ(plant.colour, 255.0f);
}

TEST_F(PlantPlacement, MissingDataFilesLeaveThePlantsOnFlatDarkGround) {
    makeMap(17);
    bruteTerrain.release();
    lightmapGrid.release();
    PlantSet set;
    setSpacing(set, 8.0f);
    setDistributionMap(set, (directory + "/absent.raw").c_str(), 17);
    EXPECT_EQ(set.hasDistributionMap, 0);
    std::vector<Plant> placed = place(set);
    ASSERT_EQ(placed.size(), 9u);
    for (const Plant& plant : placed) {
        EXPECT_EQ(plant.y, 0.0f);
        EXPECT_EQ(plant.colour, 0.0f);
    }
}
