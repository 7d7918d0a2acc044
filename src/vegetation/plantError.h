// plantError.h -- how far the selected plant scheme's picture is from full
// plant models, measured offscreen.
//
// Provides: PlantErrorResult, PlantErrorStatus, measurePlantError,
// plantErrorLine, measureAndReportPlantError.
//
// The numbers, in the order the script function returns and the console
// line prints them:
//   1. share of differing pixels, a fraction from 0 to 1: pixels whose red,
//      green or blue differs by more than 8 of 255 levels between the
//      current scheme's plants and full models (scheme 1), over the pixels
//      where either picture shows a plant;
//   2. PSNR of the same pair over the same pixels, in dB; infinite when
//      identical (the script gets math.huge, the line says "inf").
// Both pictures show the same view of the current camera over the same
// ground: the full grid drawn identically in both with the single
// measurement pass of terrainError.h (base texture modulated by the
// lightmap), or no ground while the terrain is switched off; no sky. The
// plants drawn are those the frame draws (all sets, or grass alone).
//
// Like the terrain measurement it draws into a framebuffer object, restores
// every GL state it changes, puts back the plant polygon count, the scheme
// and the frustum planes, and runs between frames (its time is in no frame).
// Main thread, with the rendering context current, outside the frame.
#pragma once

#include <cstddef>
#include <string>

#include "terrain/terrainError.h"

struct PlantErrorResult {
    double imageShare = 0.0;    // fraction 0..1
    double psnr = 0.0;          // dB; infinite when identical
    size_t comparedPixels = 0;  // pixels where either picture shows a plant
};

enum class PlantErrorStatus {
    measured,
    plantsOff,    // neither the plant sets nor the grass are drawn
    noOffscreen,  // no framebuffer object could be made
};

PlantErrorStatus measurePlantError(const TerrainView& view, PlantErrorResult& result, std::string& why);

// "Plant error: differing pixels 0.0123, PSNR 38.21 dB" ("PSNR inf" when identical).
std::string plantErrorLine(const PlantErrorResult& result);

// Measures the current view and prints the line, or "Plant error: <why>".
PlantErrorStatus measureAndReportPlantError(PlantErrorResult& result);
