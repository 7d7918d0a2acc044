// elevationFile.cpp -- reading rasters through GDAL (see elevationFile.h).
#include "elevationFile.h"

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <algorithm>

namespace {

// GDAL's own messages are kept quiet while a file is read; the last one
// becomes part of the error this tool prints.
struct QuietGdal {
    QuietGdal()
    {
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~QuietGdal() { CPLPopErrorHandler(); }
};

std::string gdalReason()
{
    const char* message = CPLGetLastErrorMsg();
    return message && *message ? message : "GDAL gave no reason";
}

} // namespace

ElevationFile::~ElevationFile()
{
    if (dataset)
        GDALClose(dataset);
}

bool ElevationFile::open(const std::string& name, std::string& error)
{
    GDALAllRegister();
    // Rows are read once, in order: a small block cache keeps memory bounded
    // on large files (GDAL would otherwise keep a share of the machine's
    // memory of blocks already used).
    GDALSetCacheMax64(64LL << 20);
    QuietGdal quiet;
    dataset = GDALOpenEx(name.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (!dataset) {
        error = "cannot be read as elevation data: " + gdalReason();
        return false;
    }
    if (GDALGetRasterCount(dataset) < 1) {
        error = "holds no raster band";
        return false;
    }
    band = GDALGetRasterBand(dataset, 1);
    if (GDALDataTypeIsComplex(GDALGetRasterDataType(band))) {
        error = "holds complex numbers, not heights";
        return false;
    }
    width = GDALGetRasterXSize(dataset);
    height = GDALGetRasterYSize(dataset);

    int has = 0;
    noData = GDALGetRasterNoDataValue(band, &has);
    hasNoData = has != 0;
    double value = GDALGetRasterScale(band, &has);
    scale = has && value != 0.0 ? value : 1.0;
    value = GDALGetRasterOffset(band, &has);
    offset = has ? value : 0.0;
    const char* unitType = GDALGetRasterUnitType(band);
    unit = unitType ? unitType : "";

    const double identity[6] = {0, 1, 0, 0, 0, 1};
    georeferenced = GDALGetGeoTransform(dataset, geoTransform) == CE_None &&
                    !std::equal(geoTransform, geoTransform + 6, identity);
    OGRSpatialReferenceH srs = GDALGetSpatialRef(dataset);
    if (srs && OSRIsGeographic(srs)) {
        geographic = true;
        radiansPerUnit = OSRGetAngularUnits(srs, nullptr);
        semiMajorMetres = OSRGetSemiMajor(srs, nullptr);
    } else if (srs) {
        metresPerUnit = OSRGetLinearUnits(srs, nullptr);
    }
    return true;
}

bool ElevationFile::readRows(long long x, long long y, long long columns, long long rows, float* out,
                             std::string& error)
{
    QuietGdal quiet;
    if (GDALRasterIO(band, GF_Read, (int)x, (int)y, (int)columns, (int)rows, out, (int)columns, (int)rows,
                     GDT_Float32, 0, 0) == CE_None)
        return true;
    error = "cannot read rows " + std::to_string(y) + " to " + std::to_string(y + rows - 1) + ": " + gdalReason();
    return false;
}
