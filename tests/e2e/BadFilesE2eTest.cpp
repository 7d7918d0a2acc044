// BadFilesE2eTest.cpp -- start-up with scene files a user broke or replaced,
// on a virtual display: a start-up that cannot build the scene shows why and
// ends with exit code 1; a file the scene can do without is named with its
// reason and the start script goes on; a named pipe never blocks.
//
// Each case builds its own scene folder of links to the scene files the
// build generated, breaks some of them, and starts the program with a script
// that changes to that folder before createWindow.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "e2eHarness.h"

namespace {

namespace fs = std::filesystem;

class BadFilesEndToEnd : public ViewerTest {};

// How one scene file is broken.
enum class Break { remove, fifo, truncate };

struct BrokenFile {
    const char* name;
    Break how;
};

// A folder with a link to every scene file of the build, except that the
// broken ones are missing, named pipes or cut to their first 100 bytes.
std::string brokenScene(const std::vector<BrokenFile>& broken) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    fs::path folder = fs::path(MORVISTA_BINARY_DIR) / "test-output" / "e2e" /
                      (std::string(test->test_suite_name()) + "." + test->name() + ".scene");
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const fs::directory_entry& entry : fs::directory_iterator(MORVISTA_BINARY_DIR)) {
        std::string extension = entry.path().extension().string();
        if (extension == ".raw" || extension == ".tga" || extension == ".xml")
            fs::create_symlink(entry.path(), folder / entry.path().filename());
    }
    for (const BrokenFile& file : broken) {
        fs::path path = folder / file.name;
        fs::remove(path);
        if (file.how == Break::fifo) mkfifo(path.c_str(), 0600);
        if (file.how == Break::truncate) {
            std::string bytes = e2eReadFile(fs::path(MORVISTA_BINARY_DIR) / file.name).substr(0, 100);
            std::ofstream(path, std::ios::binary) << bytes;
        }
    }
    return folder.string();
}

std::string startIn(const std::string& folder) {
    return "setWindowMode(); setScreenSize(640, 480); chdir('" + folder + "'); createWindow('Morvista')\n"
           "for i = 1, 20 do renderScene() end\n"
           "print('the start script went on')\n";
}

// Steps that wait for the "Error" box, record its count and close it.
const std::vector<std::string> closeErrorBox = {
    "waitFor '^Error$'",
    "probe errorBoxes \"$(xdotool search --onlyvisible --name '^Error$' | wc -l)\"",
    "B=$(xdotool search --onlyvisible --name '^Error$' | head -1); xdotool windowfocus \"$B\"; sleep 0.3;"
    " xdotool key --window \"$B\" Return; xdotool key Return",
};

struct FatalCase {
    const char* label;
    std::vector<BrokenFile> broken;
    std::vector<std::pair<std::string, std::string>> environment;
    const char* console;  // the line on standard output that says why
    const char* boxText;  // the box's text, also written on standard error
};

TEST_F(BadFilesEndToEnd, AStartUpThatCannotBuildTheSceneEndsWithExitCode1) {
    const std::vector<FatalCase> cases = {
        {"no multitexturing", {}, {{"MESA_EXTENSION_OVERRIDE", "-GL_ARB_multitexture"}},
         "warning multitexture not available", "Multitexture not available - Exiting"},
        {"height file missing", {{"height129.raw", Break::remove}}, {},
         "Cannot load terrain file height129.raw: No such file or directory",
         "Cannot load terrain file height129.raw: No such file or directory - Exiting"},
        {"height file is a named pipe", {{"height129.raw", Break::fifo}}, {},
         "Cannot load terrain file height129.raw: not a regular file",
         "Cannot load terrain file height129.raw: not a regular file - Exiting"},
    };
    for (const FatalCase& c : cases) {
        SCOPED_TRACE(c.label);
        std::string folder = brokenScene(c.broken);
        ViewerOptions options;
        options.steps = closeErrorBox;
        options.environment = c.environment;
        options.timeoutSeconds = 90;
        ViewerResult result = runViewer(startIn(folder), options);
        EXPECT_FALSE(result.timedOut) << failureContext(result);
        EXPECT_EQ(result.exitCode, 1) << failureContext(result);
        EXPECT_EQ(probeValue(result, "errorBoxes"), "1") << failureContext(result);
        EXPECT_EQ(countLines(result.out, c.console), 1) << failureContext(result);
        EXPECT_NE(result.err.find(c.boxText), std::string::npos) << failureContext(result);
        EXPECT_EQ(result.out.find("the start script went on"), std::string::npos) << failureContext(result);
    }
}

TEST_F(BadFilesEndToEnd, FilesTheSceneCanDoWithoutAreNamedAndTheStartScriptGoesOn) {
    std::string folder = brokenScene({
        {"fern.xml", Break::remove},
        {"grassdist2.raw", Break::fifo},
        {"height129lm2.raw", Break::fifo},
        {"lightmap.tga", Break::truncate},
        {"SKY 20 1.tga", Break::remove},
        {"twig01ar.tga", Break::remove},
    });
    ViewerOptions options;
    options.timeoutSeconds = 90;
    ViewerResult result = runViewer(startIn(folder), options);
    EXPECT_FALSE(result.timedOut) << failureContext(result);
    EXPECT_EQ(result.exitCode, 0) << failureContext(result);
    EXPECT_EQ(countLines(result.out, "the start script went on"), 1) << failureContext(result);
    const char* lines[] = {
        "File fern.xml couldn't be opened: No such file or directory",
        "Plant set fern left out: fern.xml did not load",
        "Cannot load plant distribution map grassdist2.raw: not a regular file; the plant sets are not thinned",
        "Cannot load terrain file height129lm2.raw: not a regular file",
        "Cannot load texture file lightmap.tga: truncated: 100 bytes, a ",
        "Cannot load texture file SKY 20 1.tga: No such file or directory",
        "file twig01ar.tga not found",
    };
    for (const char* line : lines) EXPECT_EQ(countLines(result.out, line), 1) << line << failureContext(result);
}

}  // namespace
