// ScriptsE2eTest.cpp -- the scripts shipped beside the program, run by the
// program on a virtual display: benchmark.lua measures every configuration
// and writes its CSV, tour.lua flies its path and leaves its screenshots.
// Each test's script sets the shipped script's globals (a small map, few
// frames, files in the test's work folder) and then runs it with dofile.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "e2eHarness.h"
#include "util/checksum.h"

namespace {

namespace fs = std::filesystem;

class ScriptsEndToEnd : public ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        // runViewer's work folder for this test (it empties it first).
        work = e2eWorkFolder();
    }
    static std::string shipped(const char* name) { return (fs::path(MORVISTA_BINARY_DIR) / name).string(); }
    fs::path work;
};

std::string context(const ViewerResult& result) {
    return "\n--- stdout (end):\n" + result.out.substr(result.out.size() > 3000 ? result.out.size() - 3000 : 0) +
           "\n--- stderr:\n" + result.err + "\n--- files in " + result.workFolder;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) lines.push_back(line);
    return lines;
}

// Splits one CSV line; quoted fields may hold commas.
std::vector<std::string> csvFields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool inQuotes = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"') {
            if (inQuotes && i + 1 < line.size() && line[i + 1] == '"') fields.back() += '"', ++i;
            else inQuotes = !inQuotes;
        } else if (c == ',' && !inQuotes) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// Width and height from a PNG file's header; 0 x 0 when it is not a PNG.
std::pair<unsigned, unsigned> pngSize(const std::string& bytes) {
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
    auto word = [&](size_t at) {
        return unsigned(static_cast<unsigned char>(bytes[at])) << 24 |
               unsigned(static_cast<unsigned char>(bytes[at + 1])) << 16 |
               unsigned(static_cast<unsigned char>(bytes[at + 2])) << 8 | static_cast<unsigned char>(bytes[at + 3]);
    };
    return {word(16), word(20)};
}

const char* benchmarkHeader =
    "terrain,scheme,tolerance_px,size,ms_min,ms_median,ms_p95,ms_max,ms_mean,ms_median_spread,spread_over_5pct,"
    "polygons_median,terrain_error_p95_px,terrain_error_max_px,terrain_differing_share,terrain_psnr_db,"
    "plant_differing_share,plant_psnr_db,date,program_version,gl_renderer,gl_version,viewport,frames,rounds,"
    "lod_cpu_ms,plant_cpu_ms,gpu_ms,scene,height_crc32,status";
const char* framesHeader =
    "terrain,scheme,tolerance_px,round,frame,ms,polygons,terrain_error_p95_px,terrain_error_max_px,"
    "terrain_differing_share,terrain_psnr_db,plant_differing_share,plant_psnr_db,lod_cpu_ms,plant_cpu_ms,gpu_ms";
const char* terrainNames[] = {"brute force", "geomipmapping", "ROAM 2.0", "CDLOD", "Geometry Clipmaps"};
const char* schemeNames[] = {"full models", "crossed billboards", "billboards", "mixed by distance",
                             "smooth transition"};

}  // namespace

// The instruments the benchmark uses are stood in for by the start script,
// with figures that tell the tolerances apart, so the test sees that each
// configuration's figures reach its row, its frames and the table.
TEST_F(ScriptsEndToEnd, BenchmarkWritesItsFilesWithQualityFigures) {
    std::string csv = (work / "bench.csv").string();
    std::string script = "tolerance = 0\n"
                         "function setTerrainError(pixels) tolerance = pixels end\n"
                         "function measureTerrainError()\n"
                         "  local psnr = 40 - tolerance\n"
                         "  if tolerance == 0 then psnr = math.huge end\n"
                         "  return tolerance + 0.25, 2 * tolerance + 1, 0.01 * (tolerance + 1), psnr\n"
                         "end\n"
                         "function measurePlantError() return 0.125, 33 end\n"
                         "BENCH_SIZE = 129\nBENCH_FRAMES = 3\nBENCH_ROUNDS = 1\nBENCH_WARM_UP = 1\n"
                         "BENCH_SEGMENT = 2\nBENCH_TOLERANCES = {0, 2}\nBENCH_ERROR_EVERY = 2\n"
                         "BENCH_CSV = '" + csv + "'\n"
                         "dofile('" + shipped("benchmark.lua") + "')\n";
    ViewerOptions options;
    options.timeoutSeconds = 600;
    ViewerResult result = runViewer(script, options);
    ASSERT_EQ(result.exitCode, 0) << "the program ends when the benchmark is done" << context(result);

    uint32_t crc = 0;
    ASSERT_TRUE(fileCrc32(shipped("height129.raw"), crc));
    const std::string heightCrc = crc32Text(crc);
    EXPECT_NE(result.out.find("scene default, heights height129.raw (CRC-32 " + heightCrc + ")"), std::string::npos)
        << "the table's heading names the scene" << context(result);

    // Brute force once per scheme; the level-of-detail algorithms at each tolerance.
    std::vector<std::string> rows = splitLines(e2eReadFile(csv));
    ASSERT_EQ(rows.size(), 1u + 5 + 4 * 2 * 5) << context(result);
    EXPECT_EQ(rows[0], benchmarkHeader);
    size_t row = 1;
    for (int t = 0; t < 5; ++t) {
        for (int tolerance : {0, 2}) {
            if (t == 0 && tolerance > 0) continue;
            for (int s = 0; s < 5; ++s, ++row) {
                std::vector<std::string> f = csvFields(rows[row]);
                ASSERT_EQ(f.size(), 31u) << rows[row];
                EXPECT_EQ(f[0], terrainNames[t]);
                EXPECT_EQ(f[1], schemeNames[s]);
                // Brute force has no tolerance: an empty cell.
                EXPECT_EQ(f[2], t == 0 ? "" : std::to_string(tolerance));
                EXPECT_EQ(f[3], "129");
                double low = std::stod(f[4]), median = std::stod(f[5]), p95 = std::stod(f[6]),
                       high = std::stod(f[7]);
                EXPECT_GT(low, 0.0) << rows[row];
                EXPECT_LE(low, median) << rows[row];
                EXPECT_LE(median, p95) << rows[row];
                EXPECT_LE(p95, high) << rows[row];
                EXPECT_EQ(f[9], "") << "one round has no spread";
                EXPECT_EQ(f[10], "");
                EXPECT_EQ(f[30], "complete");
                EXPECT_GT(std::stol(f[11]), 0) << rows[row];
                EXPECT_DOUBLE_EQ(std::stod(f[12]), tolerance + 0.25) << rows[row];
                EXPECT_DOUBLE_EQ(std::stod(f[13]), 2 * tolerance + 1) << rows[row];
                EXPECT_EQ(f[15], tolerance == 0 ? "inf" : "38.00") << rows[row];
                EXPECT_EQ(f[16], "0.125000");
                EXPECT_FALSE(f[19].empty()) << "program version";
                EXPECT_FALSE(f[20].empty()) << "renderer";
                EXPECT_EQ(f[22], "1024x768");
                EXPECT_EQ(f[23], "3");
                EXPECT_EQ(f[24], "1");
                // The frame's parts: CPU medians always, graphics where timed.
                EXPECT_GE(std::stod(f[25]), 0.0) << rows[row];
                EXPECT_GE(std::stod(f[26]), 0.0) << rows[row];
                if (!f[27].empty()) EXPECT_GE(std::stod(f[27]), 0.0) << rows[row];
                // The scene beside the program, named by its height file's CRC-32.
                EXPECT_EQ(f[28], "default");
                EXPECT_EQ(f[29], heightCrc) << rows[row];
                // The table on standard output shows the same configuration.
                char tableLine[100];
                snprintf(tableLine, sizeof tableLine, "%-14s %-20s %5d ", terrainNames[t], schemeNames[s], 129);
                EXPECT_GE(countLines(result.out, tableLine), 1) << tableLine << context(result);
            }
        }
    }

    // The walk went in turns of two frames, every configuration taking each
    // turn before the next began; the frame file still holds each
    // configuration's frames in walk order.
    for (const char* turn : {"round 1/1: frames 1-2 of 3 walked", "round 1/1: frames 3-3 of 3 walked"})
        EXPECT_EQ(countLines(result.out, turn), 1) << turn << context(result);

    // One row per measured frame; the error columns filled every second frame.
    std::vector<std::string> frameRows = splitLines(e2eReadFile(work / "bench-frames.csv"));
    ASSERT_EQ(frameRows.size(), 1u + 45 * 3) << context(result);
    EXPECT_EQ(frameRows[0], framesHeader);
    for (size_t i = 1; i < frameRows.size(); ++i) {
        std::vector<std::string> f = csvFields(frameRows[i]);
        ASSERT_EQ(f.size(), 16u) << frameRows[i];
        EXPECT_GE(std::stod(f[13]), 0.0) << frameRows[i];
        EXPECT_GE(std::stod(f[14]), 0.0) << frameRows[i];
        int frame = std::stoi(f[4]);
        EXPECT_EQ(frame, int((i - 1) % 3) + 1) << frameRows[i];
        EXPECT_EQ(f[3], "1") << "round";
        EXPECT_GT(std::stod(f[5]), 0.0) << frameRows[i];
        EXPECT_EQ(f[7].empty(), frame != 2) << frameRows[i];
        EXPECT_EQ(f[11].empty(), frame != 2) << frameRows[i];
    }

    auto [width, height] = pngSize(e2eReadFile(work / "bench.png"));
    EXPECT_EQ(width, 1600u) << context(result);
    EXPECT_EQ(height, 1200u);
    EXPECT_NE(result.out.find("renderer "), std::string::npos) << "the run record is printed";
}

// A program without the error instruments (here: removed by the start
// script) still measures every terrain and scheme, at tolerance 0, and
// leaves the error figures empty.
TEST_F(ScriptsEndToEnd, BenchmarkWithoutErrorInstrumentsLeavesTheirColumnsEmpty) {
    std::string csv = (work / "bench.csv").string();
    std::string script = "setTerrainError = nil; measureTerrainError = nil; measurePlantError = nil\n"
                         "BENCH_SIZE = 129\nBENCH_FRAMES = 2\nBENCH_ROUNDS = 1\nBENCH_WARM_UP = 1\n"
                         "BENCH_CSV = '" + csv + "'\n"
                         "dofile('" + shipped("benchmark.lua") + "')\n";
    ViewerOptions options;
    options.timeoutSeconds = 600;
    ViewerResult result = runViewer(script, options);
    ASSERT_EQ(result.exitCode, 0) << context(result);
    std::vector<std::string> rows = splitLines(e2eReadFile(csv));
    ASSERT_EQ(rows.size(), 26u) << "header and 5 x 5 configurations" << context(result);
    for (size_t i = 1; i < rows.size(); ++i) {
        std::vector<std::string> f = csvFields(rows[i]);
        ASSERT_EQ(f.size(), 31u) << rows[i];
        EXPECT_EQ(f[2], i <= 5 ? "" : "0") << rows[i];  // brute force's five rows come first
        for (int column = 12; column <= 17; ++column) EXPECT_EQ(f[column], "") << rows[i];
    }
    EXPECT_GE(countLines(result.out, " n/a "), 15) << context(result);
    EXPECT_EQ(splitLines(e2eReadFile(work / "bench-frames.csv")).size(), 1u + 25 * 2);
}

TEST_F(ScriptsEndToEnd, TourFliesItsPathAndTakesItsScreenshots) {
    std::string script = "setWindowMode(); setScreenSize(640, 480)\n"
                         "MAP_SIZE = 129; setHMSize(MAP_SIZE)\n"
                         "createWindow('Morvista')\n"
                         "chdir('" + work.string() + "')\n"
                         "TOUR_STEPS = 60\n"
                         "dofile('" + shipped("tour.lua") + "')\n";
    ViewerResult result = runViewer(script);
    ASSERT_EQ(result.exitCode, 0) << context(result);
    EXPECT_EQ(countLines(result.out, "tour done"), 1) << context(result);
    EXPECT_EQ(countLines(result.out, "POS "), 120) << "two points of the path per step";
    EXPECT_EQ(splitLines(e2eReadFile(work / "tour129.txt")).size(), 8u) << "the key points it wrote";
    for (const char* name : {"tour1.tga", "tour2.tga", "tour3.tga"}) {
        std::string shot = e2eReadFile(work / name);
        ASSERT_GE(shot.size(), 18u + 640u * 480u * 3u) << name << context(result);
        int width = static_cast<unsigned char>(shot[12]) | static_cast<unsigned char>(shot[13]) << 8;
        int height = static_cast<unsigned char>(shot[14]) | static_cast<unsigned char>(shot[15]) << 8;
        EXPECT_EQ(width, 640) << name;
        EXPECT_EQ(height, 480) << name;
    }
}
