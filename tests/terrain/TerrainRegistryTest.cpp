// TerrainRegistryTest.cpp -- the registry of terrain algorithms: the
// built-in entries and their keywords, the script's view of it, refusing an
// algorithm that cannot be selected, the set-up check that every algorithm
// draws the scene's samples, and the example algorithm of
// docs/adding-a-terrain-algorithm.md registered, selected, drawn, counted
// and measured like the others.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <string>

#include "app/menus.h"
#include "camera/camera.h"
#include "scene/sceneConfig.h"
#include "script/scriptFunctions.h"
#include "script/scriptHost.h"
#include "support/everyOtherSample.h"
#include "terrain/sceneGrids.h"
#include "terrain/splatting.h"
#include "terrain/terrainAlgorithm.h"
#include "terrain/terrainError.h"
#include "terrain/terrainFrame.h"
#include "terrain/terrainTestSupport.h"
#include "util/output.h"

namespace {

std::string captured;
void capture(const char* text, size_t length) { captured.append(text, length); }

// Console output of what runs while it lives.
struct Capture {
    Capture() {
        captured.clear();
        setOutputHook(capture);
    }
    ~Capture() { setOutputHook(nullptr); }
};

// Registered for the length of a test.
struct Registered {
    TerrainAlgorithm& algorithm;
    explicit Registered(TerrainAlgorithm& a) : algorithm(a) {
        std::string why;
        EXPECT_TRUE(registerTerrainAlgorithm(&algorithm, &why)) << why;
    }
    ~Registered() {
        algorithm.release();
        unregisterTerrainAlgorithm(&algorithm);
    }
};

// The example, said to need what this OpenGL lacks.
class Unavailable : public EveryOtherSample {
public:
    Unavailable() : EveryOtherSample(691) {}
    const char* name() const override { return "stub"; }
    std::vector<std::string> keywords() const override { return {"stub"}; }
    bool available(std::string& why) const override {
        why = "no vertex shaders on this OpenGL";
        return false;
    }
};

// The example, but its copy of the grid is off by one sample.
class Miscopying : public EveryOtherSample {
public:
    Miscopying() : EveryOtherSample(692) {}
    const char* name() const override { return "miscopy"; }
    std::vector<std::string> keywords() const override { return {"miscopy"}; }
    bool setUp(const Cheightmap& grid, std::string& failure) override {
        if (!EveryOtherSample::setUp(grid, failure)) return false;
        const_cast<Cheightmap*>(heightGrid())->data[7] ^= 1;
        return true;
    }
};

int bumpySample(int x, int z) {
    return static_cast<int>(120 + 60 * std::sin(x * 0.21) * std::cos(z * 0.17) + 25 * std::sin((x + 2 * z) * 0.9));
}

ScriptHost* scriptHostForTests() {
    static ScriptHost* host = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ScriptHost* made = createScriptHost();
        registerScriptFunctions(made);
        return made;
    }();
    return host;
}

std::string runChunk(const std::string& chunk) {
    Capture output;
    EXPECT_EQ(runScriptChunk(scriptHostForTests(), chunk.c_str()), 0) << chunk << "\n" << captured;
    return captured;
}

}  // namespace

TEST(TerrainRegistry, BuiltInEntriesComeInMenuOrderAndMatchTheirKeywordsInOrder) {
    const std::vector<TerrainAlgorithm*>& all = terrainAlgorithms();
    ASSERT_GE(all.size(), 4u);
    std::set<int> ids;
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_TRUE(ids.insert(all[i]->id()).second) << "id " << all[i]->id() << " twice";
        if (i < 4) {
            EXPECT_EQ(all[i]->id(), 600 + static_cast<int>(i));
        }
        // Every name selects its own entry.
        EXPECT_EQ(matchTerrainAlgorithm(all[i]->name()), all[i]) << all[i]->name();
        EXPECT_EQ(findTerrainAlgorithm(all[i]->id()), all[i]);
    }
    EXPECT_FALSE(findTerrainAlgorithm(all[2]->id())->drawsTerrain());

    const struct {
        const char* name;
        int id;  // 0: nothing matches
    } cases[] = {
        {"brute", 600},         {"geomipmapping", 601}, {"geo", 601},       {"quad", 602},
        {"roam", 603},          {"roam brute", 600},    {"quad geo", 601},  {"roamquad", 602},
        {"Brute", 0},           {"", 0},                {"mipmap", 0},
    };
    for (const auto& c : cases) {
        const TerrainAlgorithm* match = matchTerrainAlgorithm(c.name);
        EXPECT_EQ(match ? match->id() : 0, c.id) << '"' << c.name << '"';
    }

    // Titles honour the tolerance only for the algorithms that have one.
    EXPECT_FALSE(findTerrainAlgorithm(600)->honoursTolerance());
    EXPECT_TRUE(findTerrainAlgorithm(601)->honoursTolerance());
    EXPECT_FALSE(findTerrainAlgorithm(602)->honoursTolerance());
    EXPECT_TRUE(findTerrainAlgorithm(603)->honoursTolerance());
}

TEST(TerrainRegistry, ScriptsListAndSelectTheRegisteredAlgorithms) {
    EveryOtherSample example;
    Registered added(example);
    const char* list =
        "local names, labels, draws = getTerrainAlgorithms()\n"
        "local text = ''\n"
        "for i = 1, getn(names) do text = text .. names[i] .. '/' .. labels[i] .. '/' .. tostring(draws[i]) .. ';' end\n"
        "print(text)\n";
    EXPECT_EQ(runChunk(list),
              "brute/Brute Force/true;geomipmapping/Geomipmapping/true;quadtree//false;roam/ROAM 2.0/true;"
              "cdlod/CDLOD/true;clipmap/Geometry Clipmaps/true;everyother/Every Other Sample/true;\n");

    const struct {
        const char* name;
        int id;
    } cases[] = {{"roam", 603}, {"brute", 600}, {"everyother", 690}, {"geo", 601}, {"quad", 602}, {"none", 602}};
    for (const auto& c : cases) {
        runChunk(std::string("setTerrainAlgorithm('") + c.name + "')");
        EXPECT_EQ(terrainAlgorithm, c.id) << c.name;
    }
}

TEST(TerrainRegistry, AnAlgorithmThatCannotBeSelectedIsRefusedWithItsReason) {
    Unavailable stub;
    Registered added(stub);
    std::string why;
    EXPECT_FALSE(terrainAlgorithmSelectable(691, why));
    EXPECT_NE(why.find("no vertex shaders on this OpenGL"), std::string::npos) << why;
    EXPECT_FALSE(terrainAlgorithmSelectable(699, why));

    // Menu command, the menus' selection and the script all keep the previous one.
    terrainAlgorithm = 601;
    {
        Capture output;
        onCommand(691);
        EXPECT_EQ(terrainAlgorithm, 601);
        selectTerrainAlgorithm(691);
        EXPECT_EQ(terrainAlgorithm, 601);
        EXPECT_NE(captured.find("Every Other Sample cannot be selected: no vertex shaders on this OpenGL"),
                  std::string::npos)
            << captured;
    }
    runChunk("setTerrainAlgorithm('stub')");
    EXPECT_EQ(terrainAlgorithm, 601);

    // A number already taken is not registered twice.
    EveryOtherSample twin(600);
    EXPECT_FALSE(registerTerrainAlgorithm(&twin, &why));
    EXPECT_EQ(findTerrainAlgorithm(600), terrainAlgorithms()[0]);
}

TEST(TerrainRegistry, SetUpRefusesAnAlgorithmWhoseGridDiffersFromTheScenes) {
    fillMap(bruteTerrain, 65, bumpySample);
    Miscopying miscopy;
    std::string why;
    EXPECT_FALSE(registerTerrainAlgorithm(&miscopy, &why));
    EXPECT_NE(why.find("differ"), std::string::npos) << why;
    EXPECT_EQ(findTerrainAlgorithm(692), nullptr);

    // Registered before the scene is built, it stops the scene's set-up.
    bruteTerrain.release();
    Registered added(miscopy);
    fillMap(bruteTerrain, 65, bumpySample);
    Capture output;
    std::string failure;
    EXPECT_FALSE(setUpTerrainAlgorithms(bruteTerrain, "scenes/mine/map65.raw", failure));
    EXPECT_NE(failure.find("scenes/mine/map65.raw"), std::string::npos) << failure;
    EXPECT_NE(failure.find("Every Other Sample"), std::string::npos) << failure;
    // The built-in algorithms took the scene's samples and printed their lines.
    EXPECT_NE(captured.find("SCC "), std::string::npos);
    for (int id : {600, 601, 603}) {
        SCOPED_TRACE(id);
        ASSERT_NE(findTerrainAlgorithm(id)->heightGrid(), nullptr);
        EXPECT_TRUE(findTerrainAlgorithm(id)->heightGrid()->sameSamples(bruteTerrain));
    }
    bruteTerrain.release();
}

TEST(TerrainRegistry, ExampleAlgorithmIsDrawnCountedAndMeasuredLikeTheOthers) {
    if (!prepareTerrainGl()) GTEST_SKIP() << "no offscreen OpenGL context";
    baseTexture = makeTestTexture(64, 64, true, [](int x, int y, uint8_t* rgb) {
        rgb[0] = static_cast<uint8_t>((x * 4) & 255);
        rgb[1] = static_cast<uint8_t>(((x / 4 + y / 4) % 2) ? 200 : 60);
        rgb[2] = static_cast<uint8_t>((y * 4) & 255);
    });
    lightmapTexture = makeTestTexture(16, 16, false, [](int x, int y, uint8_t* rgb) {
        rgb[0] = rgb[1] = rgb[2] = static_cast<uint8_t>(128 + 8 * ((x + y) % 16));
    });
    fillMap(bruteTerrain, 65, bumpySample);
    EveryOtherSample example;
    Registered added(example);
    selectTerrainAlgorithm(690);
    ASSERT_EQ(terrainAlgorithm, 690);

    const int plants = showPlants, grass = showGrass, terrain = showTerrain;
    showPlants = showGrass = 0;
    showTerrain = 1;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1.0, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    setCameraAll(10.0f, 60.0f, 70.0f, 30.0f, 25.0f);
    glLoadMatrixf(currentTerrainView().modelview);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // 32 x 32 coarse cells of two triangles.
    EXPECT_EQ(renderTerrainFrame(), 2048);
    EXPECT_EQ(terrainReport.triangles, 2048);
    EXPECT_STREQ(terrainReport.title, "EVERYOTHER 2048");

    // The instrument sees the samples it leaves out, brute force none.
    TerrainErrorResult result;
    std::string why;
    ASSERT_EQ(measureTerrainError(currentTerrainView(), result, why), TerrainErrorStatus::measured) << why;
    EXPECT_GT(result.meshPixels, 20000u);
    EXPECT_GT(result.geometricP95, 1.0);
    EXPECT_GT(result.imageShare, 0.0);
    selectTerrainAlgorithm(600);
    glLoadMatrixf(currentTerrainView().modelview);
    renderTerrainFrame();
    ASSERT_EQ(measureTerrainError(currentTerrainView(), result, why), TerrainErrorStatus::measured) << why;
    EXPECT_LT(result.geometricP95, 0.01);

    // The quad-tree: "QUADTREE" alone, nothing drawn, nothing to measure.
    selectTerrainAlgorithm(602);
    EXPECT_EQ(renderTerrainFrame(), 0);
    EXPECT_STREQ(terrainReport.title, "QUADTREE");
    EXPECT_EQ(measureTerrainError(currentTerrainView(), result, why), TerrainErrorStatus::quadTree);

    showPlants = plants;
    showGrass = grass;
    showTerrain = terrain;
    bruteTerrain.release();
}
