// rasterFiles.h -- small elevation rasters written through GDAL for the
// import tests.
//
// Provides: RasterSpec, writeRaster.
// Apart from the tests themselves: GDAL's headers bring the C maths names
// into the global namespace, where the generator's headers have their own.
#pragma once

#include <string>
#include <vector>

struct RasterSpec {
    std::string driver = "GTiff"; // "GTiff", "PNG", "AAIGrid", ...
    int width = 0, height = 0;
    bool sixteenBit = true;       // UInt16, otherwise Byte
    bool floating = false;        // Float32 (overrides sixteenBit)
    std::vector<double> values;   // width * height, row 0 first (north)
    bool hasNoData = false;
    double noData = 0.0;
    int epsg = 0;                 // with geoTransform: the coordinate system
    double geoTransform[6] = {0, 1, 0, 0, 0, 1};
    bool georeferenced = false;
    double scale = 1.0, offset = 0.0; // band height scale and offset, written when not 1 and 0
};

// Writes the raster; false with GDAL's reason in error.
bool writeRaster(const std::string& path, const RasterSpec& spec, std::string& error);
