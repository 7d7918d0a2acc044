// elevationFile.cpp -- reading rasters through GDAL (see elevationFile.h).
#include "elevationFile.h"

#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cmath>
#include <cstring>

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

std::string gdalReason(const char* otherwise)
{
    const char* message = CPLGetLastErrorMsg();
    return message && *message ? message : otherwise;
}

// What stands in the way of reading `name` as a file: missing, a folder, a
// pipe, socket or device (GDAL would block on a pipe or read a device
// without end), empty, or not readable. "" when it is a readable regular
// file. Never opens anything that could block.
std::string notAFile(const std::string& name, long long* bytes = nullptr)
{
    if (name.empty())
        return "no file name given";
    struct stat info;
    if (stat(name.c_str(), &info) != 0)
        return errno == ENOENT ? "no such file" : (errno == EACCES ? "permission denied" : std::strerror(errno));
    if (S_ISDIR(info.st_mode))
        return "is a folder, not a file";
    if (S_ISFIFO(info.st_mode))
        return "is a named pipe, not a regular file";
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        return "is a device, not a regular file";
    if (!S_ISREG(info.st_mode))
        return "is not a regular file";
    if (info.st_size == 0)
        return "is empty";
    int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EACCES ? "permission denied" : std::strerror(errno);
    ::close(fd);
    if (bytes)
        *bytes = (long long)info.st_size;
    return "";
}

// Why GDAL might have turned down a file it names no reason for, from what
// the file itself shows: an ASCII grid declaring a size no raster can have,
// or a .hgt file that is not the size of an SRTM tile. "" when nothing is
// seen.
std::string guessedReason(const std::string& name, long long bytes)
{
    std::string lower;
    for (char c : name)
        lower += (char)std::tolower((unsigned char)c);
    if (lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".hgt") == 0)
        return formatText("a .hgt file of %lld bytes is not an SRTM tile (2884802 or 25934402 bytes)", bytes);
    FILE* in = std::fopen(name.c_str(), "rb");
    if (!in)
        return "";
    char head[1024] = {};
    size_t length = std::fread(head, 1, sizeof head - 1, in);
    std::fclose(in);
    std::string text(head, length);
    for (char& c : text)
        c = (char)std::tolower((unsigned char)c);
    auto declared = [&](const char* key) {
        size_t at = text.find(key);
        return at == std::string::npos ? -1.0 : std::strtod(text.c_str() + at + std::strlen(key), nullptr);
    };
    double columns = declared("ncols"), rows = declared("nrows");
    if (columns >= 0.0 && rows >= 0.0 && (columns * rows > 1e12 || columns < 1.0 || rows < 1.0))
        return formatText("an ASCII grid declaring %.0f x %.0f cells, a size too large (or empty) to read", columns,
                          rows);
    return "";
}

} // namespace

std::string formatText(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string text(length > 0 ? (size_t)length : 0, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

ElevationFile::~ElevationFile()
{
    if (dataset)
        GDALClose(dataset);
}

bool ElevationFile::open(const std::string& name, std::string& error)
{
    long long fileBytes = 0;
    // GDAL's in-memory files (the fuzz target's inputs) cannot block; every
    // other name must be a regular file on disk.
    const bool inMemory = name.rfind("/vsimem/", 0) == 0;
    std::string problem = inMemory ? "" : notAFile(name, &fileBytes);
    if (!problem.empty()) {
        error = problem;
        return false;
    }
    GDALAllRegister();
    // Rows are read once, in order: a small block cache keeps memory bounded
    // on large files (GDAL would otherwise keep a share of the machine's
    // memory of blocks already used).
    GDALSetCacheMax64(64LL << 20);
    QuietGdal quiet;
    dataset = GDALOpenEx(name.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (!dataset) {
        std::string guess = CPLGetLastErrorMsg()[0] || inMemory ? "" : guessedReason(name, fileBytes);
        error = "cannot be read as elevation data: " +
                (guess.empty() ? gdalReason("not a raster format GDAL knows") : guess);
        return false;
    }
    // Files the dataset reads besides this one (a VRT's sources) must be
    // regular files too: a source that is a pipe would block the first read.
    char** files = GDALGetFileList(dataset);
    for (int i = 0; files && files[i]; i++) {
        std::string other = files[i];
        problem = other == name || other.rfind("/vsimem/", 0) == 0 ? "" : notAFile(other);
        if (!problem.empty()) {
            error = "reads from " + other + ", which " + (problem.rfind("is ", 0) == 0 ? problem : "gives: " + problem);
            CSLDestroy(files);
            return false;
        }
    }
    CSLDestroy(files);
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
    if (!std::isfinite(scale) || !std::isfinite(offset)) {
        error = formatText("its height scale %g and offset %g are not both finite numbers", scale, offset);
        return false;
    }
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
    if (x < 0 || y < 0 || columns < 1 || rows < 1 || x > width - columns || y > height - rows) {
        error = formatText("%lld rows from row %lld, %lld columns from column %lld are not inside the raster of "
                           "%d x %d cells",
                           rows, y, columns, x, width, height);
        return false;
    }
    QuietGdal quiet;
    if (GDALRasterIO(band, GF_Read, (int)x, (int)y, (int)columns, (int)rows, out, (int)columns, (int)rows,
                     GDT_Float32, 0, 0) == CE_None)
        return true;
    error = "cannot read rows " + std::to_string(y) + " to " + std::to_string(y + rows - 1) + ": " +
            gdalReason("GDAL gave no reason");
    return false;
}
