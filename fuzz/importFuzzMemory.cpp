// importFuzzMemory.cpp -- GDAL's memory files for ImportFuzz.cpp, apart
// from it: GDAL's headers bring the C maths names into the global
// namespace, where the generator's headers have their own.
#include <cpl_error.h>
#include <cpl_vsi.h>
#include <gdal.h>

#include <cstddef>
#include <cstdint>
#include <string>

bool putMemoryFile(const std::string& name, const uint8_t* data, size_t size) {
    // GDAL's complaints about broken files would only slow the run down.
    static bool registered = (GDALAllRegister(), CPLSetErrorHandler(CPLQuietErrorHandler), true);
    (void)registered;
    VSILFILE* file = VSIFileFromMemBuffer(name.c_str(), const_cast<GByte*>(data), size, FALSE);
    if (!file) return false;
    VSIFCloseL(file);
    return true;
}

long long rasterCells(const std::string& name) {
    GDALDatasetH peek = GDALOpenEx(name.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (!peek) return 0;
    long long cells = (long long)GDALGetRasterXSize(peek) * GDALGetRasterYSize(peek);
    GDALClose(peek);
    return cells;
}

void dropMemoryFile(const std::string& name) { VSIUnlink(name.c_str()); }
