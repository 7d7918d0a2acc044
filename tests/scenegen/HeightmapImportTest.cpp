// HeightmapImportTest.cpp -- elevation data imported through GDAL: the
// resampling of each map size against the source cells, no-data filling,
// the height mapping and georeferencing, the lightmap of a gentle 16-bit
// slope, bounded memory on a 20,000 x 20,000 file, and the refused files.
//
// Every raster is written by the test itself through GDAL (rasterFiles.h);
// the import code of the generator is compiled in, and the built scenegen
// is run for what only a whole run shows.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "import.h"
#include "rasterFiles.h"
#include "terrain.h"

namespace fs = std::filesystem;

namespace {

const fs::path binaryDir = MORVISTA_BINARY_DIR;
const fs::path scenegen = binaryDir / "scenegen";

// A folder of its own for each test case, emptied at the start.
fs::path workFolder()
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    fs::path folder = binaryDir / "test-output" / "import" / test->name();
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

std::string quote(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs a command (output and errors into `output`); returns its exit code.
int run(const std::string& command, std::string& output, const fs::path& folder)
{
    fs::path log = folder / "command.log";
    int status = std::system((command + " > " + quote(log.string()) + " 2>&1").c_str());
    output = readText(log);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A deterministic value in [0, 1) for cell (x, y).
double noise(int x, int y)
{
    uint32_t h = (uint32_t)x * 73856093u ^ (uint32_t)y * 19349663u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return (h & 0xffffff) / 16777216.0;
}

RasterSpec raster(int width, int height, double (*height_of)(int, int))
{
    RasterSpec spec;
    spec.width = width;
    spec.height = height;
    spec.values.resize((size_t)width * height);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            spec.values[(size_t)y * width + x] = height_of(x, y);
    return spec;
}

// 30 m cells of UTM zone 33 north.
void utm30(RasterSpec& spec)
{
    spec.georeferenced = true;
    spec.epsg = 32633;
    const double transform[6] = {500000, 30, 0, 5600000, 0, -30};
    std::copy(transform, transform + 6, spec.geoTransform);
}

fs::path written(const fs::path& folder, const std::string& name, const RasterSpec& spec)
{
    std::string error;
    fs::path path = folder / name;
    EXPECT_TRUE(writeRaster(path.string(), spec, error)) << error;
    return path;
}

ImportedTerrain imported(const fs::path& file, ImportOptions options = {})
{
    options.file = file.string();
    ImportedTerrain terrain;
    std::string error;
    EXPECT_TRUE(importHeightmap(options, terrain, error)) << error;
    return terrain;
}

// The import's report lines.
std::string reportOf(const ImportedTerrain& t)
{
    char* text = nullptr;
    size_t length = 0;
    FILE* memory = open_memstream(&text, &length);
    printImportReport(t, memory);
    fclose(memory);
    std::string report(text, length);
    free(text);
    return report;
}

// Length of the overlap of [a0, a1) and [b0, b1).
double overlap(double a0, double a1, double b0, double b1) { return std::max(0.0, std::min(a1, b1) - std::max(a0, b0)); }

} // namespace

TEST(HeightmapImport, EachMapSizeIsTheAreaAverageOfTheSourceSquare)
{
    // A 16-bit PNG wider than high: its centred 200 x 200 square starts at
    // column 70. Map cells of the 129 map cover 1.55 source cells each, so
    // most source cells are shared between two map cells.
    fs::path folder = workFolder();
    RasterSpec spec = raster(340, 200, [](int x, int y) { return 1000.0 + 60000.0 * noise(x, y) * (x >= 70 && x < 270); });
    spec.driver = "PNG";
    ImportedTerrain t = imported(written(folder, "rough.png", spec));
    ASSERT_EQ(t.heights.size(), 4u);
    EXPECT_EQ(t.squareSide, 200);
    EXPECT_EQ(t.squareX, 70);
    EXPECT_EQ(t.squareY, 0);
    EXPECT_FALSE(t.georeferenced);

    const int n = 129;
    const double cell = 200.0 / n;
    const Field& map = t.heights.at(n);
    double worst = 0.0;
    for (int j = 0; j < n; j++) {
        for (int i = 0; i < n; i++) {
            double sum = 0.0, area = 0.0;
            for (int y = (int)(j * cell); y < std::min(200, (int)((j + 1) * cell) + 1); y++)
                for (int x = (int)(i * cell); x < std::min(200, (int)((i + 1) * cell) + 1); x++) {
                    double a = overlap(x, x + 1, i * cell, (i + 1) * cell) * overlap(y, y + 1, j * cell, (j + 1) * cell);
                    sum += a * spec.values[(size_t)y * 340 + x + 70];
                    area += a;
                }
            double expected = (sum / area - t.sourceMinimum) / t.unitsPerStep;
            worst = std::max(worst, std::fabs(map.at(i, j) - expected));
        }
    }
    EXPECT_LT(worst, 0.01) << "largest difference from the area average, in height steps";
}

TEST(HeightmapImport, ASlopeStaysASlopeAtEverySize)
{
    // A plane: maps with more samples than the square interpolate it, maps
    // with fewer average it; both give the plane at the map cells' centres.
    fs::path folder = workFolder();
    RasterSpec spec = raster(200, 200, [](int x, int y) { return 100.0 + 3.0 * x + 1.0 * y; });
    ImportedTerrain t = imported(written(folder, "plane.tif", spec));
    EXPECT_DOUBLE_EQ(t.sourceMinimum, 100.0);
    EXPECT_DOUBLE_EQ(t.sourceMaximum, 100.0 + 3 * 199 + 199);
    EXPECT_NEAR(t.unitsPerStep, (3 * 199 + 199) / 255.0, 1e-9);
    for (const auto& [size, map] : t.heights) {
        const double cell = 200.0 / size;
        double worst = 0.0;
        // Away from the edges, where the interpolation holds the border value.
        for (int j = size / 8; j < size - size / 8; j++)
            for (int i = size / 8; i < size - size / 8; i++) {
                double x = (i + 0.5) * cell - 0.5, y = (j + 0.5) * cell - 0.5;
                worst = std::max(worst, std::fabs(map.at(i, j) - (3.0 * x + y) / t.unitsPerStep));
            }
        // Averaging whole source cells over a map cell that starts inside one
        // leaves at most a quarter of a cell's rise.
        EXPECT_LT(worst, size < 200 ? 0.25 * 4.0 / t.unitsPerStep : 0.01) << size << " map";
    }
}

TEST(HeightmapImport, NoDataHoleIsFilledFromItsNeighboursAndCounted)
{
    // A georeferenced GeoTIFF (30 m UTM cells) with a 20 x 20 hole and a
    // cut-off corner of no-data cells in a plane.
    fs::path folder = workFolder();
    RasterSpec spec = raster(300, 300, [](int x, int y) {
        bool hole = x >= 140 && x < 160 && y >= 140 && y < 160;
        return hole || x + y < 10 ? 0.0 : 1000.0 + 2.0 * x + y;
    });
    spec.hasNoData = true;
    spec.noData = 0.0;
    utm30(spec);
    ImportedTerrain t = imported(written(folder, "holed.tif", spec));
    EXPECT_EQ(t.noDataCells, 400 + 55);
    EXPECT_DOUBLE_EQ(t.sourceMinimum, 1000.0 + 10.0) << "no-data cells are no heights";
    for (const auto& [size, map] : t.heights) {
        const double cell = 300.0 / size;
        double worst = 0.0;
        for (int j = 0; j < size; j++)
            for (int i = 0; i < size; i++) {
                ASSERT_TRUE(std::isfinite(map.at(i, j))) << size << " map (" << i << ", " << j << ")";
                double x = (i + 0.5) * cell - 0.5, y = (j + 0.5) * cell - 0.5;
                if (x > 130 && x < 170 && y > 130 && y < 170)
                    worst = std::max(worst, std::fabs(map.at(i, j) - (1000.0 + 2.0 * x + y - t.sourceMinimum) / t.unitsPerStep));
            }
        // The fill is the mean of the neighbours, not the plane itself: it
        // stays within a few height steps of it across the hole.
        EXPECT_LT(worst, 6.0) << size << " map";
    }

    std::string report = reportOf(t);
    EXPECT_NE(report.find("455 no-data cells filled from their neighbours"), std::string::npos) << report;
    EXPECT_NE(report.find("heights 1010 to 1897 m"), std::string::npos) << report;
    EXPECT_NE(report.find("257 map 35.02"), std::string::npos) << report;
}

TEST(HeightmapImport, GroundCellSizeComesFromTheCoordinateSystem)
{
    fs::path folder = workFolder();
    struct Case {
        const char* name;
        int epsg;
        double transform[6];
        double metresX, metresY;
    };
    // One arc-second cells at 60 degrees north are half as wide as high.
    const double arcSecondMetres = 6378137.0 * M_PI / 180.0 / 3600.0;
    const Case cases[] = {
        {"utm.tif", 32633, {500000, 30, 0, 5600000, 0, -30}, 30.0, 30.0},
        {"feet.tif", 2227, {6000000, 100, 0, 2000000, 0, -100}, 30.48006, 30.48006}, // US survey feet
        {"degrees.tif", 4326, {10.0, 1 / 3600.0, 0, 60.0 + 100 / 3600.0, 0, -1 / 3600.0}, arcSecondMetres * 0.5,
         arcSecondMetres},
    };
    for (const Case& c : cases) {
        RasterSpec spec = raster(200, 200, [](int x, int y) { return 500.0 + x + y; });
        spec.georeferenced = true;
        spec.epsg = c.epsg;
        std::copy(c.transform, c.transform + 6, spec.geoTransform);
        ImportedTerrain t = imported(written(folder, c.name, spec));
        EXPECT_TRUE(t.georeferenced) << c.name;
        EXPECT_NEAR(t.pixelMetresX, c.metresX, c.metresX * 1e-3) << c.name;
        EXPECT_NEAR(t.pixelMetresY, c.metresY, c.metresY * 1e-3) << c.name;
    }
}

TEST(HeightmapImport, VerticalExaggerationScalesTrueReliefAndRefusesWhatDoesNotFit)
{
    // 300 cells of 30 m: a grid cell of the 257 map is 35.02 m, so true
    // scale is 8.755 m per height step (a step is a quarter of a cell).
    fs::path folder = workFolder();
    RasterSpec spec = raster(300, 300, [](int x, int y) { return 200.0 + 1000.0 * (x + y) / 598.0; });
    utm30(spec);
    fs::path file = written(folder, "hill.tif", spec);
    ImportOptions options;
    std::string error;
    ASSERT_TRUE(parseExaggeration("2", options, error)) << error;
    ImportedTerrain t = imported(file, options);
    const double trueScale = 30.0 * 300 / 257 / 4;
    EXPECT_NEAR(t.unitsPerStep, trueScale / 2, 1e-9);
    EXPECT_NEAR(t.heights.at(1025).at(1024, 1024), 1000.0 / (trueScale / 2), 0.2);

    options.exaggeration = 3.0; // 1000 m would need 343 steps
    ImportedTerrain refused;
    options.file = file.string();
    EXPECT_FALSE(importHeightmap(options, refused, error));
    EXPECT_NE(error.find("hill.tif"), std::string::npos) << error;
    EXPECT_NE(error.find("--vertical-exaggeration 2.23 or less"), std::string::npos) << error;

    // A flat file maps to height 0 without dividing by its zero relief.
    RasterSpec flat = raster(150, 150, [](int, int) { return 77.0; });
    ImportedTerrain level = imported(written(folder, "flat.tif", flat));
    EXPECT_EQ(level.unitsPerStep, 1.0);
    EXPECT_EQ(*std::max_element(level.heights.at(257).v.begin(), level.heights.at(257).v.end()), 0.0f);
}

TEST(HeightmapImport, AVerticalScaleWorksWithoutGeoreferencing)
{
    // An 8-bit PNG slope from 100 to 200 with no georeferencing: stretched
    // over 0-255 unless a height range or a relief share is given; the
    // report says which scale was used.
    fs::path folder = workFolder();
    RasterSpec spec = raster(200, 200, [](int x, int) { return 100.0 + std::round(x * 100.0 / 199.0); });
    spec.driver = "PNG";
    spec.sixteenBit = false;
    fs::path file = written(folder, "slope.png", spec);
    auto highest = [](const ImportedTerrain& t) {
        const std::vector<float>& v = t.heights.at(1025).v;
        return std::make_pair(*std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
    };
    std::string error;
    struct Case {
        const char* option;
        const char* value;
        float low, high;    // height steps of the lowest and highest samples
        const char* report; // the scale line
    };
    const Case cases[] = {
        {"", "", 0.0f, 255.0f, "vertical scale: the relief stretched over the full 255 height steps"},
        {"--height-range", "0,1020", 25.0f, 50.0f, "vertical scale: --height-range 0,1020 (units)"},
        {"--relief-share", "0.25", 0.0f, 63.75f, "vertical scale: --relief-share 0.25"},
    };
    for (const Case& c : cases) {
        ImportOptions options;
        if (std::string(c.option) == "--height-range")
            ASSERT_TRUE(parseHeightRange(c.value, options, error)) << error;
        if (std::string(c.option) == "--relief-share")
            ASSERT_TRUE(parseReliefShare(c.value, options, error)) << error;
        ImportedTerrain t = imported(file, options);
        auto [low, high] = highest(t);
        EXPECT_NEAR(low, c.low, 0.3) << c.option;
        EXPECT_NEAR(high, c.high, 0.3) << c.option;
        std::string report = reportOf(t);
        EXPECT_NE(report.find(c.report), std::string::npos) << report;
    }

    // Ranges that cannot be used.
    ImportOptions options;
    for (const char* bad : {"5,5", "9,1", "1", ",3", "0,inf", "nan,4", "-1e308,1e308"})
        EXPECT_FALSE(parseHeightRange(bad, options, error)) << bad;
    for (const char* bad : {"0", "1.5", "-0.5", "nan"})
        EXPECT_FALSE(parseReliefShare(bad, options, error)) << bad;
    ASSERT_TRUE(parseHeightRange("150,1000", options, error));
    options.file = file.string();
    ImportedTerrain refused;
    EXPECT_FALSE(importHeightmap(options, refused, error));
    EXPECT_NE(error.find("slope.png: its heights 100 to 200 units fall outside --height-range 150,1000"),
              std::string::npos)
        << error;
}

TEST(HeightmapImport, AGentle16BitSlopeLightsSmoothlyWhereAn8BitOneShowsBands)
{
    // The same gentle slope (40 steps of an 8-bit file over 300 cells),
    // once with 16-bit precision and once rounded to 8 bits. The lightmap is
    // made from the heights before they are rounded for the RAW grids, so
    // the 16-bit slope lights evenly; the 8-bit one is a staircase.
    fs::path folder = workFolder();
    auto lightRow = [&](const std::string& name, bool sixteenBit) {
        RasterSpec spec = raster(300, 300, [](int x, int) { return x * 40.0 / 299.0; });
        spec.driver = "PNG";
        spec.sixteenBit = sixteenBit;
        for (double& v : spec.values)
            v = sixteenBit ? std::round(v * 256.0) : std::round(v);
        fs::path file = written(folder, name + ".png", spec);
        std::string output;
        int code = run(quote(scenegen.string()) + " --heightmap " + quote(file.string()) + " --sizes 1025 --out " +
                           quote((folder / name).string()),
                       output, folder);
        EXPECT_EQ(code, 0) << output;
        std::string grid = readText(folder / name / "height1025lm2.raw");
        EXPECT_EQ(grid.size(), 1025u * 1025u);
        std::vector<int> row;
        for (int x = 100; x < 925 && grid.size() == 1025u * 1025u; x++)
            row.push_back((unsigned char)grid[512 * 1025 + x]);
        return row;
    };
    auto spread = [](const std::vector<int>& row) {
        return row.empty() ? -1 : *std::max_element(row.begin(), row.end()) - *std::min_element(row.begin(), row.end());
    };
    std::vector<int> smooth = lightRow("slope16", true);
    std::vector<int> banded = lightRow("slope8", false);
    EXPECT_LE(spread(smooth), 2) << "the 16-bit slope is lit unevenly";
    EXPECT_GE(spread(banded), 10) << "the 8-bit staircase should show in the light";
}

TEST(HeightmapImport, A20000By20000FileIsReadInBoundedMemory)
{
    // A sparse tiled GeoTIFF (a few kilobytes on disk) made with GDAL's own
    // tool. Held whole as floats it would take 1.6 GB; read in blocks, the
    // run stays far below that.
    fs::path folder = workFolder();
    std::string output;
    fs::path file = folder / "large.tif";
    ASSERT_EQ(run("gdal_create -of GTiff -outsize 20000 20000 -ot UInt16 -co SPARSE_OK=TRUE -co TILED=YES "
                  "-a_srs EPSG:32633 -a_ullr 500000 5600000 1100000 5000000 " + quote(file.string()),
                  output, folder),
              0)
        << output;
    ASSERT_EQ(run(quote(scenegen.string()) + " --heightmap " + quote(file.string()) + " --sizes 129 --out " +
                      quote((folder / "scene").string()),
                  output, folder),
              0)
        << output;
    EXPECT_NE(output.find("square of 20000 x 20000"), std::string::npos) << output;
    // A long import shows how far it got, a tenth at a time.
    EXPECT_NE(output.find(" of 20000 (10 %)"), std::string::npos) << output;
    EXPECT_NE(output.find("large.tif: rows read 20000 of 20000 (100 %)"), std::string::npos) << output;
    EXPECT_NE(output.find("129 map 4651"), std::string::npos) << output;
    struct rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    EXPECT_LT(usage.ru_maxrss, 600L * 1024) << "largest child process, kilobytes";
}

TEST(HeightmapImport, RefusedFilesNameTheFileAndTheReasonAndWriteNothing)
{
    // Each bad input is made here; every run must end (the `timeout` cap
    // only turns a hang into a failed case), fail with exit code 1 (2 for a
    // bad option), name the file and the reason, and leave no folder behind.
    fs::path folder = workFolder();
    std::ofstream(folder / "notes.tif") << "not a raster\n";
    std::ofstream(folder / "empty.png");
    {
        std::ofstream noise(folder / "noise.tif", std::ios::binary);
        for (int i = 0; i < 4096; i++)
            noise.put((char)(::noise(i, 7) * 256));
        std::ofstream truncated(folder / "N45E006.hgt", std::ios::binary);
        for (int i = 0; i < 1000; i++)
            truncated.put((char)i);
    }
    std::ofstream(folder / "huge.asc") << "ncols 2147483647\nnrows 2147483647\nxllcorner 0\nyllcorner 0\n"
                                          "cellsize 1\n1 2 3\n";
    ASSERT_EQ(mkfifo((folder / "pipe.tif").c_str(), 0644), 0);
    std::ofstream(folder / "piped.vrt")
        << "<VRTDataset rasterXSize=\"200\" rasterYSize=\"200\"><VRTRasterBand dataType=\"UInt16\" band=\"1\">"
           "<SimpleSource><SourceFilename relativeToVRT=\"1\">pipe.tif</SourceFilename><SourceBand>1</SourceBand>"
           "<SourceProperties RasterXSize=\"200\" RasterYSize=\"200\" DataType=\"UInt16\" BlockXSize=\"200\" "
           "BlockYSize=\"20\"/></SimpleSource></VRTRasterBand></VRTDataset>\n";
    fs::create_directories(folder / "folder.tif");
    RasterSpec narrow = raster(128, 300, [](int x, int y) { return 10.0 * x + y; });
    narrow.driver = "PNG";
    written(folder, "narrow.png", narrow);
    fs::path plain = written(folder, "plain.tif", raster(300, 300, [](int x, int y) { return 10.0 * x + y; }));
    fs::copy_file(plain, folder / "locked.tif");
    fs::permissions(folder / "locked.tif", fs::perms::none);
    RasterSpec allNoData = raster(200, 200, [](int, int) { return 5.0; });
    allNoData.hasNoData = true;
    allNoData.noData = 5.0;
    written(folder, "nodata.tif", allNoData);
    auto scaled = [&](const std::string& name, double scale, double offset) {
        RasterSpec spec = raster(200, 200, [](int x, int y) { return 1.0 + x + y; });
        spec.scale = scale;
        spec.offset = offset;
        written(folder, name, spec);
    };
    scaled("infscale.tif", INFINITY, 0.0);
    scaled("hugescale.tif", 1e308, 0.0);  // 1e308 x 398 is no finite height
    scaled("hugeoffset.tif", 1.0, 1e308); // every height becomes 1e308
    RasterSpec hill = raster(300, 300, [](int x, int y) { return 1.0 + x + y; });
    utm30(hill);
    hill.scale = 1e30;
    written(folder, "tall.tif", hill);

    // Root reads files without read permission; the locked case then runs
    // as nobody.
    const std::string asReader = geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    struct Case {
        std::string arguments;
        std::string reason;
        std::string file; // named in the message
        int code = 1;
    };
    const std::string f = folder.string() + "/";
    const Case cases[] = {
        {"--heightmap " + f + "notes.tif", "cannot be read as elevation data: not a raster format GDAL knows",
         "notes.tif"},
        {"--heightmap " + f + "noise.tif", "not a raster format GDAL knows", "noise.tif"},
        {"--heightmap " + f + "missing.tif", "missing.tif: no such file", "missing.tif"},
        {"--heightmap " + f + "empty.png", "empty.png: is empty", "empty.png"},
        {"--heightmap " + f + "folder.tif", "folder.tif: is a folder, not a file", "folder.tif"},
        {"--heightmap /dev/null", "is a device, not a regular file", "/dev/null"},
        {"--heightmap " + f + "pipe.tif", "pipe.tif: is a named pipe, not a regular file", "pipe.tif"},
        {"--heightmap " + f + "piped.vrt", "reads from " + f + "pipe.tif, which is a named pipe", "piped.vrt"},
        {asReader + "--heightmap " + f + "locked.tif", "locked.tif: permission denied", "locked.tif"},
        {"--heightmap " + f + "N45E006.hgt", "a .hgt file of 1000 bytes is not an SRTM tile", "N45E006.hgt"},
        {"--heightmap " + f + "huge.asc", "declaring 2147483647 x 2147483647 cells", "huge.asc"},
        {"--heightmap ''", "--heightmap: the file name is empty", "", 2},
        {"--heightmap " + f + "narrow.png", "128 x 300 cells is smaller than 129 x 129", "narrow.png"},
        {"--heightmap " + f + "plain.tif --crop 200,0,200,200", "reaches beyond the raster of 300 x 300", "plain.tif"},
        {"--heightmap " + f + "plain.tif --crop 2147483647,0,2147483647,200", "reaches beyond the raster of 300 x 300",
         "plain.tif"},
        {"--heightmap " + f + "plain.tif --crop 9223372034707292160,0,4294967496,200",
         "is not x0,y0,w,h (four whole numbers from 0 to 2147483647", "", 2},
        {"--heightmap " + f + "plain.tif --crop 0,0,300,100", "the crop of 300 x 100 cells is smaller", "plain.tif"},
        {"--heightmap " + f + "nodata.tif", "every cell of the square is no-data", "nodata.tif"},
        {"--heightmap " + f + "infscale.tif", "its height scale inf and offset 0 are not both finite", "infscale.tif"},
        {"--heightmap " + f + "hugescale.tif", "1e+308 + 0, is not a finite number", "hugescale.tif"},
        {"--heightmap " + f + "hugeoffset.tif", "leaves no precision for the relief", "hugeoffset.tif"},
        // A message far longer than a line keeps its end.
        {"--heightmap " + f + "tall.tif --vertical-exaggeration 1000",
         "255 fit, so use --vertical-exaggeration 3.73e-30 or less; nothing written", "tall.tif"},
        {"--heightmap " + f + "plain.tif --vertical-exaggeration 2", "needs a georeferenced file", "plain.tif"},
        {"--heightmap " + f + "plain.tif --crop 1,2,3", "--crop: \"1,2,3\" is not x0,y0,w,h", "", 2},
        {"--heightmap " + f + "plain.tif --vertical-exaggeration -1", "is not a number above 0", "", 2},
        {"--crop 0,0,200,200", "need --heightmap FILE", "", 2},
        {"--heightmap " + f + "plain.tif --height-range 0,100", "fall outside --height-range 0,100", "plain.tif"},
        {"--heightmap " + f + "plain.tif --height-range 0,1e400", "--height-range: \"0,1e400\" is not lo,hi", "", 2},
        {"--heightmap " + f + "plain.tif --relief-share 0.5 --height-range 0,9000", "give only one of", "", 2},
    };
    for (const Case& c : cases) {
        if (c.arguments.rfind("setpriv", 0) == 0 && access("/usr/bin/setpriv", X_OK) != 0) {
            std::printf("skipped (running as root without setpriv): %s\n", c.arguments.c_str());
            continue;
        }
        fs::path out = folder / "scene";
        std::string output;
        std::string command = c.arguments.rfind("setpriv", 0) == 0
                                  ? c.arguments.substr(0, asReader.size()) + quote(scenegen.string()) + " " +
                                        c.arguments.substr(asReader.size())
                                  : quote(scenegen.string()) + " " + c.arguments;
        int code = run("timeout 300 " + command + " --out " + quote(out.string()) + " < /dev/null", output, folder);
        EXPECT_EQ(code, c.code) << c.arguments << ": " << output;
        EXPECT_NE(output.find(c.reason), std::string::npos) << c.arguments << ": " << output;
        EXPECT_NE(output.find(c.file), std::string::npos) << c.arguments << ": " << output;
        EXPECT_FALSE(fs::exists(out)) << c.arguments << " wrote files";
    }
}

TEST(HeightmapImport, CellsNearTheFloatLimitsInterpolateWithoutHoles)
{
    // A Float32 checkerboard of the largest floats of both signs, with
    // infinities and NaN mixed in (taken as no-data): the maps larger than
    // the square interpolate between opposite extremes, which overflows in
    // float. Every height must come out finite, the checkerboard averaging
    // to the middle of the range.
    fs::path folder = workFolder();
    RasterSpec spec = raster(130, 130, [](int x, int y) {
        if (x == 5 && y == 5)
            return (double)INFINITY;
        if (x == 9 && y == 3)
            return (double)NAN;
        return (x + y) % 2 ? 3.4e38 : -3.4e38;
    });
    spec.floating = true;
    ImportedTerrain t = imported(written(folder, "extremes.tif", spec));
    EXPECT_EQ(t.noDataCells, 2);
    for (const auto& [size, map] : t.heights) {
        double sum = 0.0;
        for (float v : map.v) {
            ASSERT_TRUE(std::isfinite(v) && v >= 0.0f && v <= 255.0f) << size << " map: " << v;
            sum += v;
        }
        EXPECT_NEAR(sum / map.v.size(), 127.5, 2.0) << size << " map";
    }
}
