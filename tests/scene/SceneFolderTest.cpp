// SceneFolderTest.cpp -- reading the scene from a folder of its own: the
// path of each scene file, choosing the folder (relative to the folder the
// program was started in, by script or MORVISTA_SCENE), and the check that
// names every file a folder lacks before the window opens. No display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/startup.h"
#include "scene/sceneConfig.h"
#include "script/scriptFunctions.h"
#include "script/scriptHost.h"
#include "util/output.h"

namespace fs = std::filesystem;

namespace {

std::string captured;
void capture(const char* text, size_t length) { captured.append(text, length); }

class SceneFolder : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        base = fs::path(MORVISTA_BINARY_DIR) / "test-output" / "scene-folder" / test->name();
        fs::remove_all(base);
        fs::create_directories(base / "scene");
        sceneFolder.clear();
        savedStartFolder = startFolder;
        startFolder = base.string();
        unsetenv("MORVISTA_SCENE");
    }
    void TearDown() override {
        sceneFolder.clear();
        startFolder = savedStartFolder;
        unsetenv("MORVISTA_SCENE");
        setOutputHook(nullptr);
    }
    // Every file of the size row, less those named.
    void fillScene(int size, const std::vector<std::string>& leaveOut) {
        for (const std::string& name : sceneFileNames(size))
            if (std::find(leaveOut.begin(), leaveOut.end(), name) == leaveOut.end())
                std::ofstream(base / "scene" / name) << "x";
    }
    fs::path base;
    std::string savedStartFolder;
};

}  // namespace

TEST_F(SceneFolder, ScenePathJoinsTheFolderOnlyWhenOneIsSet) {
    EXPECT_EQ(scenePath("height257.raw"), "height257.raw") << "without a folder: the bare name, as always";
    std::string error;
    ASSERT_TRUE(chooseSceneFolder("scene/", startFolder, error)) << error;
    EXPECT_EQ(sceneFolder, (base / "scene").string()) << "relative to the start folder, without the slash";
    EXPECT_EQ(scenePath("SKY 20 1.tga"), (base / "scene" / "SKY 20 1.tga").string());
    EXPECT_EQ(scenePath("/elsewhere/fern.tga"), "/elsewhere/fern.tga");
    ASSERT_TRUE(chooseSceneFolder((base / "scene").c_str(), "/unused", error)) << error;
    EXPECT_EQ(sceneFolder, (base / "scene").string()) << "an absolute path is taken as it is";
}

TEST_F(SceneFolder, AFolderThatIsNotThereIsRefusedByName) {
    std::ofstream(base / "file") << "x";
    const std::string previous = (base / "scene").string();
    sceneFolder = previous;
    struct Case {
        const char* path;
        std::string reason;
    };
    const Case cases[] = {
        {"nowhere", "scene folder " + (base / "nowhere").string() + " not found"},
        {"file", "scene folder " + (base / "file").string() + " is not a folder"},
        {"", "the scene folder name is empty"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(chooseSceneFolder(c.path, startFolder, error)) << c.path;
        EXPECT_EQ(error, c.reason);
        EXPECT_EQ(sceneFolder, previous) << "a refused folder changes nothing";
    }

    setenv("MORVISTA_SCENE", "nowhere", 1);
    captured.clear();
    setOutputHook(capture);
    EXPECT_FALSE(chooseSceneFolderFromEnvironment());
    EXPECT_NE(captured.find("MORVISTA_SCENE: scene folder " + (base / "nowhere").string() + " not found"),
              std::string::npos)
        << captured;
    setenv("MORVISTA_SCENE", "scene", 1);
    sceneFolder.clear();
    EXPECT_TRUE(chooseSceneFolderFromEnvironment());
    EXPECT_EQ(sceneFolder, (base / "scene").string());
}

TEST_F(SceneFolder, MissingFilesOfTheChosenSizeAreListed) {
    fillScene(257, {"height257lm2.raw", "lightmap.tga", "flower6.xml"});
    std::string error;
    ASSERT_TRUE(chooseSceneFolder("scene", startFolder, error)) << error;
    EXPECT_EQ(missingSceneFiles(257), (std::vector<std::string>{"height257lm2.raw", "lightmap.tga", "flower6.xml"}));
    std::vector<std::string> other = missingSceneFiles(1025);
    EXPECT_EQ(other.size(), 5u) << "the 1025 row's three grids, the texture and the model left out";
    EXPECT_EQ(other[0], "height1025.raw");
}

TEST_F(SceneFolder, ScriptsChooseTheFolderAndCreateWindowRefusesAnIncompleteOne) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    fillScene(129, {"grassdist2.raw", "SKY 20 4.tga"});
    std::unique_ptr<ScriptHost, void (*)(ScriptHost*)> owned(createScriptHost(), destroyScriptHost);
    ScriptHost* host = owned.get();
    registerScriptFunctions(host);
    captured.clear();
    setOutputHook(capture);
    setHMSize(129);

    EXPECT_NE(runScriptChunk(host, "setSceneFolder('nowhere')"), 0);
    EXPECT_NE(captured.find("setSceneFolder: scene folder " + (base / "nowhere").string() + " not found"),
              std::string::npos)
        << captured;
    EXPECT_TRUE(sceneFolder.empty());

    captured.clear();
    EXPECT_NE(runScriptChunk(host, "setSceneFolder('scene') createWindow('Morvista')"), 0);
    EXPECT_EQ(sceneFolder, (base / "scene").string());
    EXPECT_NE(captured.find("createWindow: scene folder " + (base / "scene").string() +
                            " is incomplete: missing grassdist2.raw, SKY 20 4.tga"),
              std::string::npos)
        << captured;
    EXPECT_EQ(captured.find("no display"), std::string::npos) << "the scene is checked before the window opens";

    std::ofstream(base / "scene" / "grassdist2.raw") << "x";
    std::ofstream(base / "scene" / "SKY 20 4.tga") << "x";
    captured.clear();
    EXPECT_NE(runScriptChunk(host, "createWindow('Morvista')"), 0);
    EXPECT_NE(captured.find("no display"), std::string::npos) << "a complete folder passes: " << captured;
}
