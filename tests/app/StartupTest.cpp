// Start-up, by running the built program: its own folder becomes the
// current directory, the argument text picks the start script or chunk,
// relative scripts are also found where the user started it, failures end
// with exit code 1, and every printed line leaves the process at once.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

fs::path root;
fs::path programFolder;  // holds a copy of the program and its init.lua
fs::path userFolder;     // where the program is started from

void writeText(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

std::string readText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct ProgramRun {
    std::string out;
    std::string err;
    int exitCode = -1;  // -1 when a signal ended the program
};

// Starts the program copy in userFolder with the given arguments.
pid_t start(const std::vector<std::string>& arguments, int outFd, int errFd) {
    std::string program = (programFolder / "morvista").string();
    std::vector<char*> argv{program.data()};
    std::vector<std::string> copies = arguments;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(userFolder.c_str()) != 0) _exit(127);
        dup2(outFd, 1);
        dup2(errFd, 2);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

ProgramRun run(const std::vector<std::string>& arguments) {
    fs::path outPath = root / "stdout.txt";
    fs::path errPath = root / "stderr.txt";
    int outFd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int errFd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = start(arguments, outFd, errFd);
    close(outFd);
    close(errFd);
    int status = 0;
    waitpid(pid, &status, 0);
    ProgramRun result;
    result.out = readText(outPath);
    result.err = readText(errPath);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class StartupTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        root = fs::temp_directory_path() / ("morvista-startup-" + std::to_string(getpid()));
        programFolder = root / "program";
        userFolder = root / "user";
        fs::create_directories(programFolder);
        fs::create_directories(userFolder);
        fs::copy_file(fs::path(MORVISTA_BINARY_DIR) / "morvista", programFolder / "morvista");
        writeText(programFolder / "marker.txt", "program folder\n");
        writeText(programFolder / "init.lua", "readfrom(\"marker.txt\") print(\"init in \" .. read()) readfrom()\n");
        writeText(programFolder / "same.lua", "print(\"same from program\")\n");
        writeText(userFolder / "same.lua", "print(\"same from user\")\n");
        writeText(userFolder / "demo.lua", "print(\"demo ran\")\n");
        writeText(userFolder / "fails.lua", "print(\"before\")\nerror(\"stop here\")\nprint(\"after\")\n");
    }
    static void TearDownTestSuite() { fs::remove_all(root); }
};

TEST_F(StartupTest, ArgumentTextPicksTheStartScript) {
    struct Case {
        std::vector<std::string> arguments;
        std::string out;
    };
    const Case cases[] = {
        {{}, "init in program folder\n"},  // init.lua beside the program, found from elsewhere
        {{"demo.lua"}, "demo ran\n"},  // found in the folder the user started from
        {{"same.lua"}, "same from program\n"},  // the program's folder comes first
        {{(userFolder / "same.lua").string()}, "same from user\n"},
        {{"print(addone(41)); print(sin(90)); write(format(\"%d\\n\", strlen(\"abc\")))"}, "42\n1\n3\n"},
        {{"print(\"two\",", "2);", "print(\"joined\")"}, "two\t2\njoined\n"},  // arguments joined by blanks
        // Names no file but holds ";": a chunk, even with ".lua" in it.
        {{"x = \"demo\"; dofile(\"" + (userFolder / "demo.lua").string() + "\")"}, "demo ran\n"},
        // The leading options are no part of the argument text.
        {{"--batch", "--quiet", "demo.lua"}, "demo ran\n"},
        {{"--verbose", "print(1);"}, "1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.empty() ? "(none)" : c.arguments[0]);
        ProgramRun r = run(c.arguments);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.exitCode, 0);
    }
}

TEST_F(StartupTest, AStartScriptThatFailsEndsWithExitCodeOne) {
    struct Case {
        std::string argument;
        std::string outPart;  // part of standard output
        std::string err;      // all of standard error
    };
    const Case cases[] = {
        // Contains ".lua" and no ";": the whole text is the file name.
        {"missing.lua", "error: cannot open missing.lua", "Sorry could not run missing.lua.\n"},
        // Runs from the user's folder, named as given.
        {"fails.lua", "before\nerror: ", "Sorry could not run fails.lua.\n"},
        // A chunk reports only the error text.
        {"print(nil .. 1); print(\"after\")", "attempt to concatenate a nil value", ""},
        {std::string(996, ' ') + "x=1;", "", "The argument text is longer than 999 characters; nothing was run.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument.substr(0, 40));
        ProgramRun r = run({c.argument});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.out.find(c.outPart), std::string::npos) << r.out;
        EXPECT_EQ(r.err, c.err);
        if (!c.err.empty()) {
            ASSERT_GE(r.out.size(), c.err.size());
            EXPECT_EQ(r.out.substr(r.out.size() - c.err.size()), c.err);
        }
        EXPECT_EQ(r.out.find("after\n"), std::string::npos) << r.out;
    }
    // 999 characters are still accepted.
    ProgramRun r = run({std::string(990, ' ') + "print(1);"});
    EXPECT_EQ(r.out, "1\n");
    EXPECT_EQ(r.exitCode, 0);
}

// Text that is neither a script nor a chunk is not run, and standard error
// says so in one line; init.lua runs as before. A file named like a chunk
// still runs as that file.
TEST_F(StartupTest, AnArgumentThatIsNeitherScriptNorChunkIsReportedIgnored) {
    struct Case {
        std::vector<std::string> arguments;
        std::string text;  // the argument text named as ignored
    };
    const Case cases[] = {{{"x.LUA"}, "x.LUA"},  // ".lua" is case-sensitive
                          {{"--batch", "some", "words"}, "some words"}};
    for (const Case& c : cases) {
        ProgramRun r = run(c.arguments);
        EXPECT_EQ(r.out, "init in program folder\n");
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find("Ignored the arguments \"" + c.text + "\""), std::string::npos) << r.err;
    }
    writeText(userFolder / "odd;name.lua", "print(\"odd file\")\n");
    ProgramRun r = run({"odd;name.lua"});
    EXPECT_EQ(r.out, "odd file\n");
    EXPECT_EQ(r.err, "");
    // A chunk with ".lua" in it fails as a chunk does.
    r = run({"x = 1; y = nil .. \"a.lua\""});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("attempt to concatenate a nil value"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("cannot open"), std::string::npos) << r.out;
}

// A window asked for with no display to open it on: the reason on
// standard error and exit code 1, whether DISPLAY is unset or names no
// X server (where the toolkit would abort the process).
TEST_F(StartupTest, NoDisplayForTheWindowEndsWithTheReasonAndExitCodeOne) {
    writeText(userFolder / "window.lua", "setHMSize(129); createWindow(\"no display\"); print(\"after\")\n");
    struct Case {
        const char* display;  // nullptr: unset
        std::string reason;
    };
    const Case cases[] = {
        {nullptr, "createWindow: there is no display to open the window on (DISPLAY is not set)\n"},
        {":97", "createWindow: cannot open the display :97\n"},
    };
    std::string saved = getenv("DISPLAY") ? getenv("DISPLAY") : "";
    bool hadDisplay = getenv("DISPLAY") != nullptr;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.display ? c.display : "(unset)");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("QT_QPA_PLATFORM");
        if (c.display) setenv("DISPLAY", c.display, 1);
        else unsetenv("DISPLAY");
        ProgramRun r = run({"window.lua"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, c.reason + "Sorry could not run window.lua.\n");
        EXPECT_EQ(r.out.find("after\n"), std::string::npos) << r.out;
    }
    if (hadDisplay) setenv("DISPLAY", saved.c_str(), 1);
    else unsetenv("DISPLAY");
}

// In batch mode a box never waits: its caption and text go to standard
// error, the script goes on; without it and without a display the box's
// text is printed on standard output as before.
TEST_F(StartupTest, BatchModeBoxesGoToStandardErrorAndTheScriptGoesOn) {
    const char* chunk = "messageBoxTitle(\"all done\", \"Note\"); messageBox(\"plain\"); print(\"went on\")";
    std::string saved = getenv("DISPLAY") ? getenv("DISPLAY") : "";
    bool hadDisplay = getenv("DISPLAY") != nullptr;
    setenv("DISPLAY", ":97", 1);  // no server there: batch mode must not need one
    ProgramRun r = run({"--batch", chunk});
    EXPECT_EQ(r.out, "went on\n");
    EXPECT_EQ(r.err, "Note: all done\nplain\n");
    EXPECT_EQ(r.exitCode, 0);
    setenv("MORVISTA_BATCH", "1", 1);
    r = run({chunk});
    unsetenv("MORVISTA_BATCH");
    EXPECT_EQ(r.err, "Note: all done\nplain\n");
    unsetenv("DISPLAY");
    r = run({chunk});
    EXPECT_EQ(r.out, "Note: all done\nplain\nwent on\n");
    EXPECT_EQ(r.err, "");
    if (hadDisplay) setenv("DISPLAY", saved.c_str(), 1);
}

TEST_F(StartupTest, EachLineIsWrittenOutAtOnce) {
    // The program keeps running after its line; the line must arrive
    // before it ends, as it would before a crash.
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    int errFd = open("/dev/null", O_WRONLY);
    pid_t pid = start({"print(\"first line\"); while true do end"}, pipeFds[1], errFd);
    close(pipeFds[1]);
    close(errFd);
    std::string received;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (received.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{pipeFds[0], POLLIN, 0};
        if (poll(&p, 1, 200) > 0) {
            char buffer[256];
            ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
            if (n <= 0) break;
            received.append(buffer, static_cast<size_t>(n));
        }
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(pipeFds[0]);
    EXPECT_EQ(received, "first line\n");
}

// In batch mode SIGINT and SIGTERM stop the running script, also one that
// catches errors itself (pcall, dofile), with the line; the program ends
// with 128 + the signal's number. Outside batch mode the signal ends it as
// the system does.
TEST_F(StartupTest, BatchRunsStopTheScriptOnSigintAndSigterm) {
    writeText(userFolder / "spin.lua", "while true do end\n");
    struct Case {
        std::vector<std::string> arguments;
        int signalNumber;
        int exitCode;  // -1: ended by the signal itself
        bool stopLine;
    };
    const std::string spinFile = (userFolder / "spin.lua").string();
    const Case cases[] = {
        {{"--batch", "print(\"ready\"); while true do end"}, SIGTERM, 128 + SIGTERM, true},
        {{"--batch", "print(\"ready\"); while true do pcall(function() while true do end end) end"}, SIGINT,
         128 + SIGINT, true},
        {{"--batch", "print(\"ready\"); dofile(\"" + spinFile + "\"); print(\"after\")"}, SIGTERM, 128 + SIGTERM,
         true},
        {{"print(\"ready\"); while true do end"}, SIGTERM, -1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        fs::path outPath = root / "signal-out.txt";
        int outFd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int errFd = open("/dev/null", O_WRONLY);
        pid_t pid = start(c.arguments, outFd, errFd);
        close(outFd);
        close(errFd);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (readText(outPath).find("ready\n") == std::string::npos && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        kill(pid, c.signalNumber);
        int status = 0;
        waitpid(pid, &status, 0);
        if (c.exitCode < 0) {
            EXPECT_TRUE(WIFSIGNALED(status));
        } else {
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), c.exitCode);
        }
        std::string out = readText(outPath);
        EXPECT_EQ(out.find("Script stopped by the user\n") != std::string::npos, c.stopLine) << out;
        EXPECT_EQ(out.find("after"), std::string::npos) << out;
        EXPECT_EQ(out.find("error"), std::string::npos) << "a stop is no error: " << out;
    }
}

}  // namespace
