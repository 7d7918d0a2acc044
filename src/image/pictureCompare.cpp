// pictureCompare.cpp -- share of differing pixels and PSNR; see
// pictureCompare.h.
#include "image/pictureCompare.h"

#include <cmath>
#include <cstdlib>
#include <limits>

PictureDifference comparePictures(const uint8_t* first, const uint8_t* second, size_t pixelCount,
                                  const uint8_t* mask) {
    PictureDifference result;
    double squares = 0.0;
    for (size_t i = 0; i < pixelCount; ++i) {
        if (mask && mask[i] == 0) continue;
        ++result.compared;
        bool differs = false;
        for (int c = 0; c < 3; ++c) {
            const int d = static_cast<int>(first[4 * i + c]) - static_cast<int>(second[4 * i + c]);
            squares += static_cast<double>(d) * d;
            if (std::abs(d) > pictureDifferenceThreshold) differs = true;
        }
        if (differs) ++result.differing;
    }
    if (result.compared == 0 || squares == 0.0) {
        result.share = result.compared == 0 ? 0.0 : static_cast<double>(result.differing) / result.compared;
        result.psnr = std::numeric_limits<double>::infinity();
        return result;
    }
    result.share = static_cast<double>(result.differing) / static_cast<double>(result.compared);
    const double meanSquare = squares / (3.0 * static_cast<double>(result.compared));
    result.psnr = 10.0 * std::log10(255.0 * 255.0 / meanSquare);
    return result;
}
