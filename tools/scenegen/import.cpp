// import.cpp -- elevation data to map heights (see import.h).
#include "import.h"

#include "elevationFile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace {

const int mapSizes[] = {129, 257, 513, 1025};
constexpr float noHeight = std::numeric_limits<float>::quiet_NaN();
constexpr long long stripValues = 4 << 20; // source values read per block of rows

// A whole number from 0 to the largest raster side GDAL has (2147483647).
bool parseWhole(const std::string& item, long long& value)
{
    if (item.empty() || item.size() > 10 || !std::all_of(item.begin(), item.end(), [](char c) {
            return std::isdigit((unsigned char)c);
        }))
        return false;
    value = std::strtoll(item.c_str(), nullptr, 10);
    return value <= std::numeric_limits<int>::max();
}

// A double that lies between float values, as a float (rounding cannot
// carry it past the largest float).
float asFloat(double value)
{
    const double largest = std::numeric_limits<float>::max();
    return (float)std::clamp(value, -largest, largest);
}

// How one source cell of a row (or a column) of the square shares out over
// the cells of one map size: `first` of it goes to cell `index`, `second` to
// cell index + 1. A map cell covers side / size source cells.
struct CellShare {
    int index;
    double first, second;
};

std::vector<CellShare> cellShares(long long side, int size)
{
    const double cell = (double)side / size;
    std::vector<CellShare> shares((size_t)side);
    for (long long x = 0; x < side; x++) {
        int j = std::min((int)std::floor((double)x / cell), size - 1);
        double end = (j + 1) * cell;
        CellShare share{j, 1.0, 0.0};
        if (end < (double)(x + 1) && j + 1 < size) {
            share.first = end - (double)x;
            share.second = (double)(x + 1) - end;
        }
        shares[(size_t)x] = share;
    }
    return shares;
}

// Area average of the square onto one map size, fed one source row at a
// time: a source cell adds its height times the area it shares with each
// map cell; no-data cells add nothing.
struct AreaAverage {
    int size = 0;
    std::vector<CellShare> shares;
    std::vector<double> rowSum, rowWeight, sum, weight;

    AreaAverage(long long side, int n)
        : size(n), shares(cellShares(side, n)), rowSum((size_t)n), rowWeight((size_t)n), sum((size_t)n * n),
          weight((size_t)n * n)
    {
    }

    void addRow(const float* values, long long y)
    {
        std::fill(rowSum.begin(), rowSum.end(), 0.0);
        std::fill(rowWeight.begin(), rowWeight.end(), 0.0);
        for (size_t x = 0; x < shares.size(); x++) {
            float v = values[x];
            if (v != v)
                continue;
            const CellShare& s = shares[x];
            rowSum[(size_t)s.index] += s.first * v;
            rowWeight[(size_t)s.index] += s.first;
            if (s.second > 0.0) {
                rowSum[(size_t)s.index + 1] += s.second * v;
                rowWeight[(size_t)s.index + 1] += s.second;
            }
        }
        const CellShare& s = shares[(size_t)y];
        addToMapRow(s.index, s.first);
        if (s.second > 0.0)
            addToMapRow(s.index + 1, s.second);
    }

    void addToMapRow(int z, double share)
    {
        double* sums = &sum[(size_t)z * size];
        double* weights = &weight[(size_t)z * size];
        for (int x = 0; x < size; x++) {
            sums[x] += share * rowSum[(size_t)x];
            weights[x] += share * rowWeight[(size_t)x];
        }
    }

    // The averages; map cells that saw only no-data are marked no height.
    Field result() const
    {
        Field out(size);
        for (size_t i = 0; i < out.v.size(); i++)
            out.v[i] = weight[i] > 0.0 ? asFloat(sum[i] / weight[i]) : noHeight;
        return out;
    }
};

// Fills every cell without a height, ring by ring from the cells that have
// one: each takes the mean of its filled eight neighbours. The field must
// hold at least one height.
void fillFromNeighbours(Field& field)
{
    const int n = field.size;
    std::vector<uint8_t> known(field.v.size());
    std::vector<int> ring;
    for (int z = 0; z < n; z++) {
        for (int x = 0; x < n; x++) {
            size_t i = (size_t)z * n + x;
            known[i] = field.v[i] == field.v[i];
        }
    }
    auto touchesKnown = [&](int x, int z) {
        for (int dz = -1; dz <= 1; dz++)
            for (int dx = -1; dx <= 1; dx++) {
                int nx = x + dx, nz = z + dz;
                if ((dx || dz) && nx >= 0 && nz >= 0 && nx < n && nz < n && known[(size_t)nz * n + nx] == 1)
                    return true;
            }
        return false;
    };
    // known: 0 no height, 1 has one, 2 waiting in the next ring.
    for (int z = 0; z < n; z++)
        for (int x = 0; x < n; x++)
            if (!known[(size_t)z * n + x] && touchesKnown(x, z)) {
                known[(size_t)z * n + x] = 2;
                ring.push_back(z * n + x);
            }
    std::vector<float> values;
    while (!ring.empty()) {
        values.assign(ring.size(), 0.0f);
        for (size_t r = 0; r < ring.size(); r++) {
            int x = ring[r] % n, z = ring[r] / n;
            double total = 0.0;
            int count = 0;
            for (int dz = -1; dz <= 1; dz++)
                for (int dx = -1; dx <= 1; dx++) {
                    int nx = x + dx, nz = z + dz;
                    if ((dx || dz) && nx >= 0 && nz >= 0 && nx < n && nz < n && known[(size_t)nz * n + nx] == 1) {
                        total += field.v[(size_t)nz * n + nx];
                        count++;
                    }
                }
            values[r] = (float)(total / count);
        }
        for (size_t r = 0; r < ring.size(); r++) {
            field.v[(size_t)ring[r]] = values[r];
            known[(size_t)ring[r]] = 1;
        }
        std::vector<int> next;
        for (int cell : ring) {
            int x = cell % n, z = cell / n;
            for (int dz = -1; dz <= 1; dz++)
                for (int dx = -1; dx <= 1; dx++) {
                    int nx = x + dx, nz = z + dz;
                    if (nx >= 0 && nz >= 0 && nx < n && nz < n && known[(size_t)nz * n + nx] == 0) {
                        known[(size_t)nz * n + nx] = 2;
                        next.push_back(nz * n + nx);
                    }
                }
        }
        ring.swap(next);
    }
}

// Bilinear samples of the (filled) square at the centres of the map's
// cells, for maps with more samples than the square has cells. Worked in
// double: neighbours near the float limits of opposite sign would overflow
// in float.
Field bilinearFromSquare(const Field& square, int size)
{
    Field out(size);
    const int n = square.size;
    const double cell = (double)n / size, maxCoord = n - 1;
    for (int z = 0; z < size; z++)
        for (int x = 0; x < size; x++) {
            double sx = std::clamp((x + 0.5) * cell - 0.5, 0.0, maxCoord);
            double sz = std::clamp((z + 0.5) * cell - 0.5, 0.0, maxCoord);
            int x0 = std::min((int)sx, n - 2), z0 = std::min((int)sz, n - 2);
            double fx = sx - x0, fz = sz - z0;
            const float* row0 = &square.v[(size_t)z0 * n + x0];
            const float* row1 = row0 + n;
            double a = row0[0] * (1.0 - fx) + row0[1] * fx;
            double b = row1[0] * (1.0 - fx) + row1[1] * fx;
            out.at(x, z) = asFloat(a * (1.0 - fz) + b * fz);
        }
    return out;
}

// Metres per unit of the band's heights: feet are converted, anything else
// is taken as metres.
double heightUnitMetres(const std::string& unit)
{
    std::string u;
    for (char c : unit)
        u += (char)std::tolower((unsigned char)c);
    if (u == "ft" || u == "foot" || u == "feet" || u == "international foot")
        return 0.3048;
    if (u == "us-ft" || u == "us survey foot" || u == "ftus")
        return 1200.0 / 3937.0;
    return 1.0;
}

// Ground size of one source cell from the geotransform and the coordinate
// system; false when the file carries no georeferencing. Without a
// coordinate system the geotransform is taken to be in metres.
bool groundCellSize(const ElevationFile& file, const ImportedTerrain& t, double& metresX, double& metresY)
{
    if (!file.georeferenced)
        return false;
    const double* gt = file.geoTransform;
    double sizeX = std::hypot(gt[1], gt[4]), sizeY = std::hypot(gt[2], gt[5]);
    if (file.geographic) {
        double centreX = t.squareX + t.squareSide * 0.5, centreY = t.squareY + t.squareSide * 0.5;
        double latitude = (gt[3] + gt[4] * centreX + gt[5] * centreY) * file.radiansPerUnit;
        metresX = sizeX * file.radiansPerUnit * file.semiMajorMetres * std::cos(latitude);
        metresY = sizeY * file.radiansPerUnit * file.semiMajorMetres;
    } else {
        metresX = sizeX * file.metresPerUnit;
        metresY = sizeY * file.metresPerUnit;
    }
    return metresX > 0.0 && metresY > 0.0 && std::isfinite(metresX) && std::isfinite(metresY);
}

} // namespace

bool parseCrop(const char* text, ImportOptions& options, std::string& error)
{
    std::vector<long long> values;
    std::string list = text;
    size_t start = 0;
    while (true) {
        size_t comma = list.find(',', start);
        long long value = 0;
        if (!parseWhole(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start), value))
            break;
        values.push_back(value);
        if (comma == std::string::npos) {
            if (values.size() == 4 && values[2] > 0 && values[3] > 0) {
                options.crop = true;
                options.cropX = values[0];
                options.cropY = values[1];
                options.cropWidth = values[2];
                options.cropHeight = values[3];
                return true;
            }
            break;
        }
        start = comma + 1;
    }
    error = "--crop: \"" + list + "\" is not x0,y0,w,h (four whole numbers from 0 to 2147483647, w and h above 0)";
    return false;
}

bool parseExaggeration(const char* text, ImportOptions& options, std::string& error)
{
    char* end = nullptr;
    double k = std::strtod(text, &end);
    if (*text == '\0' || *end != '\0' || !(k > 0.0) || k > 1000.0) {
        error = std::string("--vertical-exaggeration: \"") + text + "\" is not a number above 0 and at most 1000";
        return false;
    }
    options.exaggeration = k;
    return true;
}

bool parseHeightRange(const char* text, ImportOptions& options, std::string& error)
{
    const char* comma = std::strchr(text, ',');
    char* end = nullptr;
    double low = 0.0, high = 0.0;
    bool good = comma && comma != text;
    if (good) {
        low = std::strtod(text, &end);
        good = end == comma;
    }
    if (good) {
        high = std::strtod(comma + 1, &end);
        good = comma[1] != '\0' && *end == '\0';
    }
    if (!good || !std::isfinite(low) || !std::isfinite(high) || !(low < high) || !std::isfinite(high - low)) {
        error = std::string("--height-range: \"") + text + "\" is not lo,hi (two finite numbers, lo below hi)";
        return false;
    }
    options.heightRange = true;
    options.rangeLow = low;
    options.rangeHigh = high;
    return true;
}

bool parseReliefShare(const char* text, ImportOptions& options, std::string& error)
{
    char* end = nullptr;
    double k = std::strtod(text, &end);
    if (*text == '\0' || *end != '\0' || !(k > 0.0) || k > 1.0) {
        error = std::string("--relief-share: \"") + text + "\" is not a number above 0 and at most 1";
        return false;
    }
    options.reliefShare = k;
    return true;
}

bool importHeightmap(const ImportOptions& options, ImportedTerrain& t, std::string& error)
{
    if ((options.exaggeration > 0.0) + options.heightRange + (options.reliefShare > 0.0) > 1) {
        error = options.file + ": give only one of --vertical-exaggeration, --height-range and --relief-share";
        return false;
    }
    t = ImportedTerrain();
    t.file = options.file;
    const std::string name = options.file;
    ElevationFile file;
    if (!file.open(name, error)) {
        error = name + ": " + error;
        return false;
    }
    t.rasterWidth = file.width;
    t.rasterHeight = file.height;

    long long x0 = 0, y0 = 0, width = t.rasterWidth, height = t.rasterHeight;
    if (options.crop) {
        const long long largest = std::numeric_limits<int>::max();
        const bool inRange = options.cropX >= 0 && options.cropY >= 0 && options.cropWidth > 0 &&
                             options.cropHeight > 0 && options.cropX <= largest && options.cropY <= largest &&
                             options.cropWidth <= largest && options.cropHeight <= largest;
        if (!inRange || options.cropX > t.rasterWidth - options.cropWidth ||
            options.cropY > t.rasterHeight - options.cropHeight) {
            error = name + ": the crop " + std::to_string(options.cropX) + "," + std::to_string(options.cropY) + "," +
                    std::to_string(options.cropWidth) + "," + std::to_string(options.cropHeight) +
                    " reaches beyond the raster of " + std::to_string(t.rasterWidth) + " x " +
                    std::to_string(t.rasterHeight) + " cells";
            return false;
        }
        x0 = options.cropX;
        y0 = options.cropY;
        width = options.cropWidth;
        height = options.cropHeight;
    }
    const long long side = std::min(width, height);
    if (side < importMinimumSide) {
        error = name + ": " + (options.crop ? "the crop of " : "the raster of ") + std::to_string(width) + " x " +
                std::to_string(height) + " cells is smaller than " + std::to_string(importMinimumSide) + " x " +
                std::to_string(importMinimumSide);
        return false;
    }
    if (side > importSideLimit) {
        error = name + ": its square of " + std::to_string(side) + " x " + std::to_string(side) +
                " cells is larger than the " + std::to_string(importSideLimit) + " x " +
                std::to_string(importSideLimit) + " this tool reads; choose a part with --crop";
        return false;
    }
    t.squareX = x0 + (width - side) / 2;
    t.squareY = y0 + (height - side) / 2;
    t.squareSide = side;

    const bool hasNoData = file.hasNoData;
    const double noData = file.noData, scale = file.scale, offset = file.offset;
    t.georeferenced = groundCellSize(file, t, t.pixelMetresX, t.pixelMetresY);
    t.unitName = !file.unit.empty() ? file.unit : (t.georeferenced ? "m" : "units");
    if (options.exaggeration > 0.0 && !t.georeferenced) {
        error = name + ": --vertical-exaggeration needs a georeferenced file (the ground size of a cell is unknown)";
        return false;
    }

    // Maps with fewer samples than the square are area averaged from blocks
    // of rows; larger ones need the whole square (then under 1025 x 1025).
    std::vector<std::unique_ptr<AreaAverage>> averages;
    bool needSquare = false;
    for (int size : mapSizes) {
        if (size <= side)
            averages.push_back(std::make_unique<AreaAverage>(side, size));
        else
            needSquare = true;
    }
    Field square(needSquare ? (int)side : 0);

    const long long stripRows = std::max(1LL, std::min(side, stripValues / side));
    std::vector<float> strip((size_t)(stripRows * side));
    double lowest = std::numeric_limits<double>::infinity(), highest = -lowest;
    float storedLowest = std::numeric_limits<float>::infinity(), storedHighest = -storedLowest;
    const float noDataAsRead = (float)noData;
    for (long long row0 = 0; row0 < side; row0 += stripRows) {
        long long rows = std::min(stripRows, side - row0);
        if (!file.readRows(t.squareX, t.squareY + row0, side, rows, strip.data(), error)) {
            error = name + ": " + error;
            return false;
        }
        // Cells keep their stored values (finite floats) through the
        // averaging; scale and offset, being linear, are applied at the end.
        for (size_t i = 0; i < (size_t)(rows * side); i++) {
            float& v = strip[i];
            if (!std::isfinite(v) || (hasNoData && (v == noDataAsRead || (double)v == noData))) {
                v = noHeight;
                t.noDataCells++;
                continue;
            }
            double h = v * scale + offset;
            if (!std::isfinite(h)) {
                error = name + formatText(": the height of cell (%lld, %lld), %g x %g + %g, is not a finite number",
                                          t.squareX + (long long)(i % (size_t)side),
                                          t.squareY + row0 + (long long)(i / (size_t)side), (double)v, scale, offset);
                return false;
            }
            lowest = std::min(lowest, h);
            highest = std::max(highest, h);
            storedLowest = std::min(storedLowest, v);
            storedHighest = std::max(storedHighest, v);
        }
        if (options.progress && side >= importProgressRows) {
            // After every tenth of the rows (and the last).
            long long done = row0 + rows;
            if (done == side || done * 10 / side != row0 * 10 / side) {
                std::fprintf(options.progress, "scenegen: %s: rows read %lld of %lld (%lld %%)\n", name.c_str(), done,
                             side, done * 100 / side);
                std::fflush(options.progress);
            }
        }
        for (long long r = 0; r < rows; r++) {
            const float* values = &strip[(size_t)(r * side)];
            for (auto& average : averages)
                average->addRow(values, row0 + r);
            if (needSquare)
                std::copy(values, values + side, &square.v[(size_t)((row0 + r) * side)]);
        }
    }
    if (!(lowest <= highest)) {
        error = name + ": holds no heights (every cell of the square is no-data)";
        return false;
    }
    t.sourceMinimum = lowest;
    t.sourceMaximum = highest;

    // Height steps: the relief fills 0-255, or stands true to scale on the
    // 257 map times the exaggeration.
    const double relief = highest - lowest;
    if (!std::isfinite(relief)) {
        error = name + formatText(": its heights span %g to %g %s, a range too wide to scale", lowest, highest,
                                  t.unitName.c_str());
        return false;
    }
    if (relief == 0.0 && storedLowest < storedHighest) {
        error = name + formatText(": its stored values %g to %g become the one height %g (times %g plus %g): the "
                                  "offset leaves no precision for the relief",
                                  (double)storedLowest, (double)storedHighest, lowest, scale, offset);
        return false;
    }
    if (options.exaggeration > 0.0) {
        double cellMetres257 = 0.5 * (t.pixelMetresX + t.pixelMetresY) * (double)side / 257.0;
        t.unitsPerStep = cellMetres257 * 0.25 / heightUnitMetres(t.unitName) / options.exaggeration;
        if (!(t.unitsPerStep > 0.0) || !std::isfinite(t.unitsPerStep)) {
            error = name + formatText(": its ground cell of %g x %g m gives no usable height step at vertical "
                                      "exaggeration %g",
                                      t.pixelMetresX, t.pixelMetresY, options.exaggeration);
            return false;
        }
        double steps = relief / t.unitsPerStep;
        if (steps > 255.0 + 1e-6) {
            double fits = std::floor(options.exaggeration * 255.0 / steps * 1000.0) / 1000.0;
            error = name + formatText(": the relief of %.6g %s needs %.0f height steps at vertical exaggeration "
                                      "%.6g; 255 fit, so use --vertical-exaggeration %.3g or less",
                                      relief, t.unitName.c_str(), steps, options.exaggeration,
                                      fits > 0.0 ? fits : options.exaggeration * 255.0 / steps);
            return false;
        }
        t.verticalScale = formatText("--vertical-exaggeration %g (true to scale on the 257 map times %g)",
                                     options.exaggeration, options.exaggeration);
    } else if (options.heightRange) {
        if (lowest < options.rangeLow || highest > options.rangeHigh) {
            error = name + formatText(": its heights %.6g to %.6g %s fall outside --height-range %.6g,%.6g", lowest,
                                      highest, t.unitName.c_str(), options.rangeLow, options.rangeHigh);
            return false;
        }
        t.unitsPerStep = (options.rangeHigh - options.rangeLow) / 255.0;
        if (!(t.unitsPerStep > 0.0)) {
            error = name + formatText(": --height-range %g,%g is too narrow to divide into 255 height steps",
                                      options.rangeLow, options.rangeHigh);
            return false;
        }
        t.baseHeight = options.rangeLow;
        t.verticalScale = formatText("--height-range %.6g,%.6g (%s) onto height steps 0 to 255", options.rangeLow,
                                     options.rangeHigh, t.unitName.c_str());
    } else {
        // A relief too small to divide into steps is flat.
        const double share = options.reliefShare > 0.0 ? options.reliefShare : 1.0;
        t.unitsPerStep = relief / (255.0 * share) > 0.0 ? relief / (255.0 * share) : 1.0;
        t.verticalScale = options.reliefShare > 0.0
                              ? formatText("--relief-share %g (the relief fills %.4g of the 255 height steps)",
                                           options.reliefShare, 255.0 * options.reliefShare)
                              : std::string("the relief stretched over the full 255 height steps (no vertical scale "
                                            "given)");
    }
    if (!options.heightRange)
        t.baseHeight = lowest;

    if (needSquare && t.noDataCells > 0)
        fillFromNeighbours(square);
    for (int size : mapSizes) {
        Field field;
        if (size <= side) {
            for (auto& average : averages)
                if (average->size == size)
                    field = average->result();
            fillFromNeighbours(field);
        } else {
            field = bilinearFromSquare(square, size);
        }
        // Stored values, averaged or interpolated, lie between stored values
        // whose heights are finite, so every height here is finite too.
        for (float& v : field.v) {
            double step = ((double)v * scale + offset - t.baseHeight) / t.unitsPerStep;
            if (!std::isfinite(step)) {
                error = name + ": a height could not be scaled to height steps";
                return false;
            }
            v = (float)std::clamp(step, 0.0, 255.0);
        }
        t.heights[size] = std::move(field);
    }
    return true;
}

void printImportReport(const ImportedTerrain& t, FILE* to)
{
    std::fprintf(to, "scenegen: %s: %d x %d cells; square of %lld x %lld from (%lld, %lld)\n", t.file.c_str(),
                 t.rasterWidth, t.rasterHeight, t.squareSide, t.squareSide, t.squareX, t.squareY);
    std::fprintf(to, "scenegen: heights %.6g to %.6g %s -> height steps %.6g to %.6g, %.6g %s per height step\n",
                 t.sourceMinimum, t.sourceMaximum, t.unitName.c_str(), (t.sourceMinimum - t.baseHeight) / t.unitsPerStep,
                 (t.sourceMaximum - t.baseHeight) / t.unitsPerStep, t.unitsPerStep, t.unitName.c_str());
    if (!t.verticalScale.empty())
        std::fprintf(to, "scenegen: vertical scale: %s\n", t.verticalScale.c_str());
    if (t.noDataCells > 0)
        std::fprintf(to, "scenegen: %lld no-data cells filled from their neighbours\n", t.noDataCells);
    if (t.georeferenced) {
        std::fprintf(to, "scenegen: ground metres per grid cell:");
        for (const auto& [size, field] : t.heights) {
            double x = t.pixelMetresX * (double)t.squareSide / size, z = t.pixelMetresY * (double)t.squareSide / size;
            if (std::fabs(x - z) <= 0.005 * std::max(x, z))
                std::fprintf(to, " %d map %.4g;", size, x);
            else
                std::fprintf(to, " %d map %.4g east x %.4g south;", size, x, z);
        }
        std::fprintf(to, "\n");
    } else {
        std::fprintf(to, "scenegen: the file is not georeferenced: ground size of a cell unknown\n");
    }
}
