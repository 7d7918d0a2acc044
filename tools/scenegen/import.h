// import.h -- elevation data of a real place, read through GDAL, as the
// scene's terrain.
//
// Provides: ImportOptions, parseCrop, parseExaggeration, parseHeightRange,
// parseReliefShare, ImportedTerrain,
// importHeightmap, printImportReport.
// Any raster GDAL reads (GeoTIFF, 8- and 16-bit PNG, SRTM .hgt, Arc/Info
// ASCII grid, ...) of at least 129 x 129 cells is taken: the largest centred
// square of the raster (or of the crop window) is read in blocks of rows,
// so memory stays bounded whatever the file's size, and area averaged to
// every map size (bilinear where a map has more samples than the square).
// No-data cells are left out of the averages and filled from their
// neighbours. Heights keep full precision (floats on the viewer's 0-255
// height steps); only the RAW grids round them to bytes.
// Rows of the raster run north to south and become grid rows z = 0, 1, ...;
// columns run west to east along grid x.
#pragma once

#include "terrain.h"

#include <cstdio>
#include <map>
#include <string>

struct ImportOptions {
    std::string file;
    bool crop = false;  // use the window below instead of the whole raster
    long long cropX = 0, cropY = 0, cropWidth = 0, cropHeight = 0;
    // 0: heights fill the 0-255 range. Above 0: true-to-scale relief on the
    // 257 map times this factor (needs a georeferenced file).
    double exaggeration = 0.0;
    // Any file: the heights lo and hi (the file's units, after its scale and
    // offset) become height steps 0 and 255; heights outside are refused.
    bool heightRange = false;
    double rangeLow = 0.0, rangeHigh = 0.0;
    // Any file: above 0 and at most 1, the relief fills this share of the
    // 255 height steps from step 0 (0: not given).
    double reliefShare = 0.0;
    // Where progress lines go on long imports (squares of importProgressRows
    // rows or more): "rows read N of M" after every tenth of the rows. Null:
    // none.
    FILE* progress = nullptr;
};

// "x0,y0,w,h" (whole numbers, w and h above 0). false with the reason in error.
bool parseCrop(const char* text, ImportOptions& options, std::string& error);
// A number above 0 and at most 1000. false with the reason in error.
bool parseExaggeration(const char* text, ImportOptions& options, std::string& error);
// "lo,hi": two finite numbers, lo below hi. false with the reason in error.
bool parseHeightRange(const char* text, ImportOptions& options, std::string& error);
// A number above 0 and at most 1. false with the reason in error.
bool parseReliefShare(const char* text, ImportOptions& options, std::string& error);

// Largest side of the square read from a file; larger squares are refused
// (crop them).
constexpr long long importSideLimit = 100000;
constexpr int importMinimumSide = 129;
constexpr long long importProgressRows = 10000;

struct ImportedTerrain {
    std::map<int, Field> heights;  // every map size: height steps 0-255, full precision

    // What was read and how, for the report.
    std::string file;
    int rasterWidth = 0, rasterHeight = 0;
    long long squareX = 0, squareY = 0, squareSide = 0;
    double sourceMinimum = 0.0, sourceMaximum = 0.0;  // valid source heights, in the file's units
    double unitsPerStep = 1.0;                        // source height units per viewer height step
    double baseHeight = 0.0;                          // source height of height step 0
    std::string verticalScale;                        // how the scale was chosen, for the report
    bool georeferenced = false;
    double pixelMetresX = 0.0, pixelMetresY = 0.0;  // ground size of one source cell
    long long noDataCells = 0;                      // source cells of the square without a height
    std::string unitName = "m";                     // the band's height unit as reported
};

// Reads options.file and makes the four map sizes. false, with a message
// that names the file and the reason in error, when the file cannot be read
// as elevation data, is smaller than 129 x 129, its square is larger than
// importSideLimit, the crop leaves the raster, every cell is no-data, or the
// relief does not fit the height range at the asked exaggeration or falls
// outside the asked height range.
bool importHeightmap(const ImportOptions& options, ImportedTerrain& terrain, std::string& error);

// The mapping lines: the square read, source minimum and maximum, units per
// height step, filled no-data cells, and the ground metres per grid cell of
// each size when the file is georeferenced.
void printImportReport(const ImportedTerrain& terrain, FILE* to);
