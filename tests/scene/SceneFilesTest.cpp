// SceneFilesTest.cpp -- malformed scene files through the real loaders: each
// one is refused or patched with one console line that names the file and
// the reason, and none of them blocks the program (a named pipe included).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "image/textureRegistry.h"
#include "image/tga.h"
#include "scene/sceneLoad.h"
#include "support/glTestContext.h"
#include "terrain/heightmap.h"
#include "util/output.h"
#include "vegetation/modelLoader.h"
#include "vegetation/plantSet.h"

namespace {

namespace fs = std::filesystem;

std::string printed;
void capture(const char* text, size_t length) { printed.append(text, length); }

// What a file of the case is made of.
enum class Make { bytes, directory, fifo, missing };

// Which loader reads it, as the scene calls it.
enum class Loader { grid, distribution, texture, clampedTexture, model };

struct BadFile {
    const char* label;
    const char* name;
    Make make;
    std::vector<uint8_t> bytes;
    Loader loader;
    const char* line;  // the one line that names the file
};

std::vector<uint8_t> tga(int type, int width, int height, int bits, size_t pixelBytes, int colourMap = 0) {
    std::vector<uint8_t> bytes(18 + pixelBytes, 7);
    std::fill(bytes.begin(), bytes.begin() + 18, 0);
    bytes[1] = static_cast<uint8_t>(colourMap);
    bytes[2] = static_cast<uint8_t>(type);
    bytes[12] = static_cast<uint8_t>(width & 0xFF);
    bytes[13] = static_cast<uint8_t>(width >> 8);
    bytes[14] = static_cast<uint8_t>(height & 0xFF);
    bytes[15] = static_cast<uint8_t>(height >> 8);
    bytes[16] = static_cast<uint8_t>(bits);
    return bytes;
}

class SceneFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/morvista-scene-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        previous = fs::current_path();
        fs::current_path(folder);
        setOutputHook(capture);
        resetTextureRegistry();
    }
    void TearDown() override {
        setOutputHook(nullptr);
        fs::current_path(previous);
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    void make(const BadFile& c) {
        switch (c.make) {
        case Make::bytes: {
            std::ofstream out(c.name, std::ios::binary);
            out.write(reinterpret_cast<const char*>(c.bytes.data()), static_cast<std::streamsize>(c.bytes.size()));
            break;
        }
        case Make::directory: fs::create_directory(c.name); break;
        case Make::fifo: ASSERT_EQ(mkfifo(c.name, 0600), 0); break;
        case Make::missing: break;
        }
    }

    // Runs the loader on a thread of its own, so a loader that blocks fails
    // its case after a generous cap instead of hanging the whole run.
    bool load(const BadFile& c) {
        auto done = std::make_shared<std::promise<void>>();
        std::future<void> finished = done->get_future();
        Loader loader = c.loader;
        std::string name = c.name;
        std::thread([done, loader, name] {
            static Cheightmap grid;
            static PlantSet set;
            switch (loader) {
            case Loader::grid: loadSceneGrid(grid, name.c_str(), 129); break;
            case Loader::distribution: setDistributionMap(set, name.c_str(), 129); break;
            case Loader::texture: getTexture(name.c_str()); break;
            case Loader::clampedTexture: getClampedTexture(name.c_str()); break;
            case Loader::model: {
                ObjectList model = loadObjectList(name.c_str());
                releaseObjectList(model);
                break;
            }
            }
            done->set_value();
        }).detach();
        return finished.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    }

    void check(const std::vector<BadFile>& cases) {
        for (const BadFile& c : cases) {
            SCOPED_TRACE(c.label);
            make(c);
            printed.clear();
            ASSERT_TRUE(load(c)) << c.name << " blocked the loader";
            std::vector<std::string> naming;
            std::istringstream lines(printed);
            for (std::string line; std::getline(lines, line);)
                if (line.find(c.name) != std::string::npos) naming.push_back(line);
            EXPECT_EQ(naming, std::vector<std::string>{c.line}) << "everything printed:\n" << printed;
        }
    }

    std::string folder;
    fs::path previous;
};

TEST_F(SceneFiles, GridsAndPlantModelsNameTheFileAndTheReason) {
    const std::vector<BadFile> cases = {
        {"RAW grid too short", "short.raw", Make::bytes, std::vector<uint8_t>(100, 9), Loader::grid,
         "Terrain file short.raw: 16641 bytes expected for a 129 map, 100 read; the missing samples read as 0"},
        {"RAW grid empty", "empty.raw", Make::bytes, {}, Loader::grid,
         "Terrain file empty.raw: 16641 bytes expected for a 129 map, 0 read; the missing samples read as 0"},
        {"RAW grid too long", "long.raw", Make::bytes, std::vector<uint8_t>(16700, 9), Loader::grid,
         "Terrain file long.raw: 16641 bytes expected for a 129 map, the file has 16700; the rest is ignored"},
        {"RAW grid is a directory", "folder.raw", Make::directory, {}, Loader::grid,
         "Cannot load terrain file folder.raw: is a directory"},
        {"RAW grid is a named pipe", "pipe.raw", Make::fifo, {}, Loader::grid,
         "Cannot load terrain file pipe.raw: not a regular file"},
        {"RAW grid missing", "missing.raw", Make::missing, {}, Loader::grid,
         "Cannot load terrain file missing.raw: No such file or directory"},
        {"distribution map is a named pipe", "pipedist.raw", Make::fifo, {}, Loader::distribution,
         "Cannot load plant distribution map pipedist.raw: not a regular file; the plant sets are not thinned"},
        {"distribution map too short", "shortdist.raw", Make::bytes, std::vector<uint8_t>(10, 1),
         Loader::distribution,
         "Plant distribution map shortdist.raw: 16641 bytes expected for a 129 map, 10 read; the missing samples "
         "read as 0"},
        {"plant model empty", "empty.xml", Make::bytes, {}, Loader::model,
         "Cannot load plant model empty.xml: the file is empty"},
        {"plant model of NUL bytes", "zeros.xml", Make::bytes, std::vector<uint8_t>(2000, 0), Loader::model,
         "Cannot load plant model zeros.xml: no <ObjectList> with <Object> elements in the file"},
        {"plant model is a directory", "folder.xml", Make::directory, {}, Loader::model,
         "File folder.xml couldn't be opened: is a directory"},
        {"plant model is a named pipe", "pipe.xml", Make::fifo, {}, Loader::model,
         "File pipe.xml couldn't be opened: not a regular file"},
        {"plant model missing", "fern.xml", Make::missing, {}, Loader::model,
         "File fern.xml couldn't be opened: No such file or directory"},
    };
    check(cases);
}

TEST_F(SceneFiles, TexturesNameTheFileAndTheReason) {
    if (!makeTestGlContext(64, 64)) GTEST_SKIP() << "no offscreen OpenGL context";
    const std::vector<BadFile> cases = {
        {"truncated pixels", "cut.tga", Make::bytes, tga(2, 2, 2, 24, 5), Loader::texture,
         "Cannot load texture file cut.tga: truncated: 23 bytes, a 2 x 2 image of 24 bits needs 30"},
        {"truncated header", "stub.tga", Make::bytes, {0, 0, 2, 0, 0}, Loader::clampedTexture,
         "Cannot load texture file stub.tga: truncated: 5 bytes, a TGA header has 18"},
        {"zero size", "zero.tga", Make::bytes, tga(2, 0, 2, 24, 0), Loader::texture,
         "Cannot load texture file zero.tga: zero size (0 x 2)"},
        {"not a power of two", "odd.tga", Make::bytes, tga(2, 3, 2, 24, 18), Loader::texture,
         "Cannot load texture file odd.tga: size 3 x 2 is not a power of two"},
        {"oversized", "huge.tga", Make::bytes, tga(2, 32768, 1, 8, 16), Loader::clampedTexture,
         "Cannot load texture file huge.tga: size 32768 x 1 is too large (at most 16384 a side)"},
        {"16-bit depth", "deep.tga", Make::bytes, tga(2, 2, 2, 16, 8), Loader::texture,
         "Cannot load texture file deep.tga: unsupported depth of 16 bits (8, 24 or 32)"},
        {"run-length compressed", "rle.tga", Make::bytes, tga(10, 2, 2, 24, 12), Loader::texture,
         "Cannot load texture file rle.tga: image type 10 (run-length compressed) is not supported (only "
         "uncompressed true-colour 2 and grey 3)"},
        {"colour-mapped", "mapped.tga", Make::bytes, tga(1, 2, 2, 8, 4 + 768, 1), Loader::clampedTexture,
         "Cannot load texture file mapped.tga: colour-mapped images are not supported"},
        {"a directory", "folder.tga", Make::directory, {}, Loader::texture,
         "Cannot load texture file folder.tga: is a directory"},
        {"a named pipe", "pipe.tga", Make::fifo, {}, Loader::clampedTexture,
         "Cannot load texture file pipe.tga: not a regular file"},
        {"missing lightmap (clamped)", "lightmap.tga", Make::missing, {}, Loader::clampedTexture,
         "Cannot load texture file lightmap.tga: No such file or directory"},
        {"missing sky face (clamped)", "SKY 20 1.tga", Make::missing, {}, Loader::clampedTexture,
         "Cannot load texture file SKY 20 1.tga: No such file or directory"},
        {"missing base texture", "sbend1010.tga", Make::missing, {}, Loader::texture,
         "file sbend1010.tga not found"},
    };
    check(cases);
}

}  // namespace
