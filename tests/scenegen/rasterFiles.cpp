// rasterFiles.cpp -- writing test rasters through GDAL (see rasterFiles.h).
#include "rasterFiles.h"

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_srs_api.h>

bool writeRaster(const std::string& path, const RasterSpec& spec, std::string& error)
{
    GDALAllRegister();
    CPLErrorReset();
    GDALDataType type = spec.floating ? GDT_Float32 : (spec.sixteenBit ? GDT_UInt16 : GDT_Byte);
    // Everything is made in memory first; drivers that cannot create (PNG,
    // ASCII grid) copy from there.
    GDALDatasetH memory = GDALCreate(GDALGetDriverByName("MEM"), "", spec.width, spec.height, 1, type, nullptr);
    if (!memory) {
        error = CPLGetLastErrorMsg();
        return false;
    }
    GDALRasterBandH band = GDALGetRasterBand(memory, 1);
    std::vector<double> values = spec.values;
    bool ok = GDALRasterIO(band, GF_Write, 0, 0, spec.width, spec.height, values.data(), spec.width, spec.height,
                           GDT_Float64, 0, 0) == CE_None;
    if (spec.hasNoData)
        GDALSetRasterNoDataValue(band, spec.noData);
    if (spec.scale != 1.0 || spec.offset != 0.0) {
        GDALSetRasterScale(band, spec.scale);
        GDALSetRasterOffset(band, spec.offset);
    }
    if (spec.georeferenced) {
        double transform[6];
        std::copy(spec.geoTransform, spec.geoTransform + 6, transform);
        GDALSetGeoTransform(memory, transform);
        if (spec.epsg) {
            OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
            OSRImportFromEPSG(srs, spec.epsg);
            OSRSetAxisMappingStrategy(srs, OAMS_TRADITIONAL_GIS_ORDER);
            GDALSetSpatialRef(memory, srs);
            OSRDestroySpatialReference(srs);
        }
    }
    GDALDatasetH copy = ok ? GDALCreateCopy(GDALGetDriverByName(spec.driver.c_str()), path.c_str(), memory, FALSE,
                                            nullptr, nullptr, nullptr)
                           : nullptr;
    if (!copy) {
        error = std::string("cannot write ") + path + ": " + CPLGetLastErrorMsg();
        GDALClose(memory);
        return false;
    }
    GDALClose(copy);
    GDALClose(memory);
    return true;
}
