// plotImage.h -- the benchmark's picture, drawn and saved as a PNG file.
//
// Provides: PlotLine, PlotPoint, BenchmarkPlot, platformWriteBenchmarkPlot.
// The caller fills a BenchmarkPlot with plain numbers; the platform draws it
// (Qt's painter on an image) and writes the file. Main thread only (the
// drawing needs the application's fonts).
//
// The picture has a title and note lines at the top, then
//   (a) frame time along the walk: one line per PlotLine, frame number
//       across, milliseconds up, with a legend; when popping lines are
//       given, beside it popping along the walk: the per-frame popping
//       maximum (pixels) at the frames where it was measured, one line per
//       terrain algorithm (non-finite values are skipped);
//   (b) cost against quality: three panels, milliseconds per frame up and,
//       across, the terrain's geometric error (95th percentile, pixels), the
//       terrain's share of differing pixels (%), and the plants' share of
//       differing pixels (%). Each configuration is one point, coloured by
//       its colour group (the terrain algorithm), shaped by its shape group
//       (the plant scheme) and labelled with its label; the points that no
//       other point beats on both cost and error are joined by a dashed
//       line (the best trade-offs). A panel whose error was not measured
//       for any point says so instead of drawing points.
#pragma once

#include <string>
#include <vector>

struct PlotLine {
    std::string name;            // legend text
    std::vector<double> values;  // milliseconds at frames 1, 2, ...
};

struct PlotPoint {
    int colour = 0;         // index into BenchmarkPlot::colourNames
    int shape = 0;          // index into BenchmarkPlot::shapeNames
    std::string label;      // written beside the point
    double ms = 0.0;        // cost: milliseconds per frame
    // Quality; NaN where it was not measured (the point is left out of
    // that panel).
    double errorPixels = 0.0;   // terrain geometric error, 95th percentile, pixels
    double terrainShare = 0.0;  // terrain pixels differing, 0..1
    double plantShare = 0.0;    // plant pixels differing, 0..1
};

struct BenchmarkPlot {
    int width = 1600;
    int height = 1200;
    std::string title;
    std::vector<std::string> notes;  // one line each under the title
    std::string walkCaption;         // what the lines of (a) are
    std::vector<PlotLine> walk;
    std::string poppingCaption;       // what the popping lines are
    std::vector<PlotLine> popping;    // pixels at frames 1, 2, ...; NaN where not measured
    std::vector<std::string> colourNames;  // legend of the point colours
    std::vector<std::string> shapeNames;   // legend of the point shapes
    std::vector<PlotPoint> points;
};

// Draws the plot and writes it to fileName as PNG. On failure returns false
// and says why in `why` (no display for the fonts, a size below 400 x 300,
// or a file that cannot be written).
bool platformWriteBenchmarkPlot(const BenchmarkPlot& plot, const char* fileName, std::string& why);
