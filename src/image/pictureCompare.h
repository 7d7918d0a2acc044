// pictureCompare.h -- how far one drawn picture is from another.
//
// Provides: PictureDifference, pictureDifferenceThreshold, comparePictures.
// Used by the terrain and plant error measurements: the share of pixels
// whose colour differs noticeably, and the peak signal-to-noise ratio of
// the pair. Pure computation; any thread.
#pragma once

#include <cstddef>
#include <cstdint>

// A pixel differs when any of its red, green and blue channels differs by
// more than this many levels (of 255).
constexpr int pictureDifferenceThreshold = 8;

struct PictureDifference {
    // Fraction (0..1) of the compared pixels that differ.
    double share = 0.0;
    // Peak signal-to-noise ratio in dB over the red, green and blue channels
    // of the compared pixels: 10 log10(255^2 / mean squared difference).
    // Infinite when the pictures are identical there (or nothing is compared).
    double psnr = 0.0;
    size_t compared = 0;  // pixels compared
    size_t differing = 0;
};

// Compares two RGBA pictures of pixelCount pixels each. With a mask only
// the pixels whose mask byte is not 0 are compared; without one, all.
// Alpha is not compared.
PictureDifference comparePictures(const uint8_t* first, const uint8_t* second, size_t pixelCount,
                                  const uint8_t* mask = nullptr);
