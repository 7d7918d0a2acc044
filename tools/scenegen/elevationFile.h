// elevationFile.h -- the one place the generator talks to GDAL.
//
// Provides: ElevationFile (open a raster, its size, no-data value, height
// scale, offset and unit, georeferencing, and rows of band 1 as floats),
// formatText (printf into a string of any length).
// Kept apart from the rest of the generator: GDAL's headers bring the C
// maths names into the global namespace, where the generator has its own.
#pragma once

#include <string>

// printf-style formatting into a string, however long the result.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

struct ElevationFile {
    int width = 0, height = 0;
    bool hasNoData = false;
    double noData = 0.0;
    double scale = 1.0, offset = 0.0; // height = stored value * scale + offset
    std::string unit;                 // the band's unit, "" when not given
    bool georeferenced = false;       // a geotransform other than the identity
    double geoTransform[6] = {0, 1, 0, 0, 0, 1};
    bool geographic = false;      // coordinates are angles (longitude, latitude)
    double radiansPerUnit = 0.0;  // geographic: size of one angle unit
    double semiMajorMetres = 0.0; // geographic: the ellipsoid's radius
    double metresPerUnit = 1.0;   // otherwise: size of one coordinate unit

    ElevationFile() = default;
    ElevationFile(const ElevationFile&) = delete;
    ElevationFile& operator=(const ElevationFile&) = delete;
    ~ElevationFile();

    // Opens band 1 of a raster GDAL reads. Anything but a readable, non-empty
    // regular file (and the same for every file the dataset reads from) is
    // refused before GDAL reads from it, as are a non-finite height scale
    // or offset. false with the reason in error.
    bool open(const std::string& name, std::string& error);
    // Reads rows y .. y + rows - 1, columns x .. x + columns - 1 as floats
    // (stored values, without scale and offset). false with the reason, also
    // for a window that is not inside the raster.
    bool readRows(long long x, long long y, long long columns, long long rows, float* out, std::string& error);

private:
    void* dataset = nullptr;
    void* band = nullptr;
};
