// SoundE2eTest.cpp -- playSound in the built program, with SDL's "disk"
// audio driver writing what the mixer plays to a file: sounds loop, two
// calls mix two sounds, and every failure is the fatal error line with exit
// code -1. No window is needed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "e2eHarness.h"

namespace {

namespace fs = std::filesystem;

// The mixer's output format: 44100 Hz, 16-bit, stereo.
constexpr int sampleRate = 44100;
constexpr int16_t level = 3000;            // every sample of the test sound
constexpr int soundFrames = sampleRate / 4;  // a quarter of a second

struct SoundRun {
    int exitCode = -1;
    std::string out;
    std::vector<int16_t> played;  // samples the disk driver wrote
};

class SoundEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(e2eBinary())) GTEST_SKIP() << "needs " << e2eBinary();
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        work = fs::path(MORVISTA_BINARY_DIR) / "test-output" / "sound" / test->name();
        fs::remove_all(work);
        fs::create_directories(work);
        wav = (work / "level.wav").string();
        writeLevelWav(wav);
    }

    // A WAV file of soundFrames stereo frames, every sample at `level`: a
    // sound playing shows in the output as that value, two as twice it.
    static void writeLevelWav(const std::string& path) {
        std::vector<int16_t> samples(soundFrames * 2, level);
        uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
        std::ofstream file(path, std::ios::binary);
        auto put32 = [&](uint32_t v) { file.write(reinterpret_cast<const char*>(&v), 4); };
        auto put16 = [&](uint16_t v) { file.write(reinterpret_cast<const char*>(&v), 2); };
        file.write("RIFF", 4);
        put32(36 + dataBytes);
        file.write("WAVEfmt ", 8);
        put32(16);
        put16(1);  // PCM
        put16(2);
        put32(sampleRate);
        put32(sampleRate * 4);
        put16(4);
        put16(16);
        file.write("data", 4);
        put32(dataBytes);
        file.write(reinterpret_cast<const char*>(samples.data()), dataBytes);
    }

    // Runs the program with a script chunk and the given audio driver.
    SoundRun play(const std::string& chunk, const std::string& driver = "disk") {
        std::string output = (work / "played.raw").string();
        std::string command = "SDL_AUDIODRIVER=" + e2eQuote(driver) + " SDL_DISKAUDIOFILE=" + e2eQuote(output) +
                              " " + e2eQuote(e2eBinary()) + " " + e2eQuote(chunk) + " > " +
                              e2eQuote((work / "stdout.txt").string()) + " 2> " +
                              e2eQuote((work / "stderr.txt").string());
        int status = std::system(command.c_str());
        SoundRun result;
        if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
        result.out = e2eReadFile(work / "stdout.txt");
        std::string bytes = e2eReadFile(output);
        result.played.resize(bytes.size() / 2);
        if (!result.played.empty()) memcpy(result.played.data(), bytes.data(), result.played.size() * 2);
        return result;
    }

    // Samples within 2 of value.
    static long countNear(const std::vector<int16_t>& samples, int value) {
        long count = 0;
        for (int16_t s : samples) count += std::abs(s - value) <= 2;
        return count;
    }

    fs::path work;
    std::string wav;
};

}  // namespace

TEST_F(SoundEndToEnd, ASoundLoopsAndASecondOnePlaysOnTopOfIt) {
    const long soundSamples = soundFrames * 2;

    SoundRun one = play("playSound('" + wav + "'); Sleep(1200)");
    EXPECT_EQ(one.exitCode, 0) << one.out;
    EXPECT_EQ(countLines(one.out, "playing sound"), 1) << one.out;
    // About 1.2 s of output from a 0.25 s file: it started over.
    EXPECT_GT(countNear(one.played, level), 3 * soundSamples) << "samples written: " << one.played.size();
    EXPECT_EQ(countNear(one.played, 2 * level), 0);

    SoundRun two = play("playSound('" + wav + "'); playSound('" + wav + "'); Sleep(1200)");
    EXPECT_EQ(two.exitCode, 0) << two.out;
    EXPECT_EQ(countLines(two.out, "playing sound"), 2) << two.out;
    EXPECT_GT(countNear(two.played, 2 * level), 3 * soundSamples)
        << "both sounds loop, mixed together; samples written: " << two.played.size();
}

TEST_F(SoundEndToEnd, EveryFailureIsTheErrorLineAndExitCodeMinusOne) {
    std::ofstream(work / "notes.wav") << "these are not sound samples\n";
    struct Case {
        const char* what;
        std::string file;
        const char* driver;
        const char* line;
    };
    const Case cases[] = {
        {"missing file", (work / "missing.wav").string(), "disk", "FMOD error! (22) File not found. \n"},
        {"not audio", (work / "notes.wav").string(), "disk", "FMOD error! (23) Unsupported file or audio format. \n"},
        {"no audio system", wav, "no-such-driver", "FMOD error! (1) The audio system could not be started. \n"},
    };
    for (const Case& c : cases) {
        SoundRun run = play("playSound('" + c.file + "'); print('went on')", c.driver);
        EXPECT_EQ(run.exitCode, 255) << c.what << "\n" << run.out;
        EXPECT_NE(run.out.find(c.line), std::string::npos) << c.what << "\n" << run.out;
        EXPECT_EQ(run.out.find("playing sound"), std::string::npos) << c.what;
        EXPECT_EQ(run.out.find("went on"), std::string::npos) << c.what << ": the process ends at once";
    }
}
