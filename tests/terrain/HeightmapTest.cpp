// Cheightmap: RAW layout (x along a row, rows of constant z), scales, short
// files, reloading and look-ups outside the grid.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "terrain/heightmap.h"

namespace {

namespace fs = std::filesystem;

class HeightmapTest : public testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("morvista-heightmap-" + std::to_string(getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string writeRaw(const char* name, const std::vector<uint8_t>& bytes) {
        std::string path = (folder / name).string();
        FILE* file = fopen(path.c_str(), "wb");
        fwrite(bytes.data(), 1, bytes.size(), file);
        fclose(file);
        return path;
    }

    // A 129 x 129 grid whose value depends on x and z differently.
    static std::vector<uint8_t> grid129() {
        std::vector<uint8_t> bytes(129 * 129);
        for (int z = 0; z < 129; ++z)
            for (int x = 0; x < 129; ++x) bytes[x + z * 129] = static_cast<uint8_t>((x * 7 + z * 3) % 251);
        bytes[0] = 0;
        bytes.back() = 255;
        return bytes;
    }

    fs::path folder;
};

TEST_F(HeightmapTest, LoadsRowsOfConstantZ) {
    std::vector<uint8_t> bytes = grid129();
    Cheightmap map;
    EXPECT_EQ(map.size, 0);
    EXPECT_EQ(map.multiTexCoords, 0);
    EXPECT_EQ(map.detailRepeat, 1);
    EXPECT_EQ(map.multiTextureDistance, 100.0f);
    ASSERT_TRUE(map.load(writeRaw("height129.raw", bytes).c_str(), 129));
    EXPECT_EQ(map.size, 129);
    map.setScale(1.0f, 0.25f, 1.0f);
    EXPECT_EQ(map.heightScale, 0.25f);
    EXPECT_EQ(map.yScale, 0.25f);

    EXPECT_EQ(map.height(128, 128), 63.75);  // the last byte of the file, 255
    EXPECT_EQ(map.height(0, 0), 0.0);
    // x picks the column within a row, z the row.
    const int points[][2] = {{5, 9}, {9, 5}, {128, 0}, {0, 128}, {64, 17}};
    for (const auto& p : points) {
        int x = p[0], z = p[1];
        EXPECT_EQ(map.sample(x, z), bytes[x + z * 129]) << x << "," << z;
        EXPECT_EQ(map.height(x, z), bytes[x + z * 129] * 0.25f) << x << "," << z;
    }
    EXPECT_NE(map.height(5, 9), map.height(9, 5));
}

TEST_F(HeightmapTest, ShortFileLoadsWithZeroTail) {
    std::vector<uint8_t> bytes(100, 200);
    Cheightmap map;
    ASSERT_TRUE(map.load(writeRaw("short.raw", bytes).c_str(), 129));
    EXPECT_EQ(map.size, 129);
    EXPECT_EQ(map.sample(99, 0), 200);
    EXPECT_EQ(map.sample(100, 0), 0);
    EXPECT_EQ(map.sample(128, 128), 0);

    Cheightmap empty;
    ASSERT_TRUE(empty.load(writeRaw("empty.raw", {}).c_str(), 129));
    EXPECT_EQ(empty.sample(64, 64), 0);
}

TEST_F(HeightmapTest, ReloadReplacesTheGridAndFailureEmptiesIt) {
    Cheightmap map;
    ASSERT_TRUE(map.load(writeRaw("first.raw", grid129()).c_str(), 129));
    ASSERT_TRUE(map.load(writeRaw("second.raw", std::vector<uint8_t>(9, 42)).c_str(), 3));
    EXPECT_EQ(map.size, 3);
    EXPECT_EQ(map.sample(2, 2), 42);

    EXPECT_FALSE(map.load((folder / "missing.raw").string().c_str(), 129));
    EXPECT_EQ(map.size, 0);
    EXPECT_EQ(map.data, nullptr);
    EXPECT_FALSE(map.load(writeRaw("third.raw", {1}).c_str(), 0));
}

TEST_F(HeightmapTest, LookupsOutsideTheGridReadZero) {
    Cheightmap map;
    map.setScale(1.0f, 0.25f, 1.0f);
    // An object whose file was missing: the camera still asks for heights.
    EXPECT_EQ(map.height(10, 10), 0.0);
    EXPECT_EQ(map.sample(0, 0), 0);

    ASSERT_TRUE(map.load(writeRaw("full.raw", std::vector<uint8_t>(129 * 129, 255)).c_str(), 129));
    const int outside[][2] = {{-1, 0}, {0, -1}, {129, 0}, {0, 129}, {100000, 3}};
    for (const auto& p : outside) {
        EXPECT_EQ(map.height(p[0], p[1]), 0.0) << p[0] << "," << p[1];
        EXPECT_EQ(map.sample(p[0], p[1]), 0) << p[0] << "," << p[1];
    }
    EXPECT_EQ(map.height(128, 0), 63.75);
}

}  // namespace
