// ImportFuzz.cpp -- fuzz target for the elevation import: any bytes, as a
// GeoTIFF, PNG or ASCII grid held in GDAL's memory files, through
// importHeightmap, checking that a refusal names the file and gives a
// reason, and that an accepted file gives all four map sizes with every
// height finite and within the 0-255 height steps.
//
// Built twice (fuzz/import.cmake). With MORVISTA_LIBFUZZER it is a libFuzzer
// program (clang). Without, main() below replays every file named on the
// command line, or every file in a named folder, through the same entry.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <string>

#include "import.h"

// importFuzzMemory.cpp: GDAL's memory files.
bool putMemoryFile(const std::string& name, const uint8_t* data, size_t size);
long long rasterCells(const std::string& name);  // 0 when GDAL cannot open it
void dropMemoryFile(const std::string& name);

static void check(bool condition, const char* what, const std::string& detail = "") {
    if (!condition) {
        fprintf(stderr, "ImportFuzz: %s %s\n", what, detail.c_str());
        abort();
    }
}

// Rasters larger than this many cells are skipped: reading them is slow,
// not wrong, and a fuzzer's time is better spent elsewhere.
static constexpr long long fuzzCellLimit = 4LL << 20;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The format follows the bytes (GDAL knows TIFF and PNG by their
    // signatures); an ASCII grid is named as one.
    bool ascii = size >= 5 && (strncasecmp(reinterpret_cast<const char*>(data), "ncols", 5) == 0 ||
                               strncasecmp(reinterpret_cast<const char*>(data), "nrows", 5) == 0);
    const std::string name = ascii ? "/vsimem/fuzz.asc" : "/vsimem/fuzz.tif";
    if (!putMemoryFile(name, data, size)) return 0;
    if (rasterCells(name) <= fuzzCellLimit) {
        ImportOptions options;
        options.file = name;
        // The scales take turns by input length.
        if (size % 3 == 1) options.reliefShare = 0.5;
        if (size % 3 == 2) {
            options.heightRange = true;
            options.rangeLow = -1e6;
            options.rangeHigh = 1e6;
        }
        ImportedTerrain terrain;
        std::string error;
        if (!importHeightmap(options, terrain, error)) {
            check(error.rfind(name + ": ", 0) == 0 && error.size() > name.size() + 2,
                  "a refusal does not name the file and a reason:", error);
        } else {
            check(terrain.heights.size() == 4, "not every map size made");
            for (const auto& [mapSize, field] : terrain.heights) {
                check(field.size == mapSize && field.v.size() == (size_t)mapSize * mapSize, "a map of the wrong size");
                for (float v : field.v) check(std::isfinite(v) && v >= 0.0f && v <= 255.0f, "a height out of range");
            }
            check(std::isfinite(terrain.unitsPerStep) && terrain.unitsPerStep > 0.0, "no usable height step");
        }
    }
    dropMemoryFile(name);
    return 0;
}

#if defined(MORVISTA_LIBFUZZER) || defined(MORVISTA_IMPORT_FUZZ_SUPPRESSIONS)
// GDAL keeps its driver registry and caches for the process's life. (The
// sanitizer build links its own list, tests/sanitizers/lsan.supp.)
extern "C" const char* __lsan_default_suppressions() { return "leak:libgdal\nleak:libproj\nleak:libgeos\n"; }
#endif

#ifndef MORVISTA_LIBFUZZER
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

static void replay(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fprintf(stderr, "replay %s (%zu bytes)\n", path.c_str(), bytes.size());
    uint8_t* exact = static_cast<uint8_t*>(malloc(bytes.size() ? bytes.size() : 1));
    if (!bytes.empty()) memcpy(exact, bytes.data(), bytes.size());
    LLVMFuzzerTestOneInput(exact, bytes.size());
    free(exact);
}

int main(int argc, char** argv) {
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::directory_iterator(path))
                if (entry.is_regular_file()) files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            for (const auto& file : files) {
                replay(file);
                ++inputs;
            }
        } else if (std::filesystem::is_regular_file(path)) {
            replay(path);
            ++inputs;
        } else {
            fprintf(stderr, "ImportFuzz: %s is neither a file nor a folder\n", argv[i]);
            return 1;
        }
    }
    printf("replayed %d inputs\n", inputs);
    return inputs > 0 ? 0 : 1;
}
#endif
