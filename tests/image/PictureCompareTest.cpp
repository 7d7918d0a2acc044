// PictureCompareTest.cpp -- the share of differing pixels and the PSNR on
// pictures small enough to work out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "image/pictureCompare.h"

TEST(PictureCompare, ShareAndPsnrOfSmallPictures) {
    // Four grey pixels; the second picture changes pixel 0 in one channel.
    const std::vector<uint8_t> first = {100, 100, 100, 255, 100, 100, 100, 255,
                                        100, 100, 100, 255, 100, 100, 100, 255};
    const struct {
        const char* label;
        int channel, change;
        bool masked;  // compare pixels 0 and 1 only
        double share, psnr;
    } cases[] = {
        {"identical", 0, 0, false, 0.0, INFINITY},
        {"8 levels is not a difference", 1, 8, false, 0.0, 10.0 * std::log10(65025.0 / (64.0 / 12.0))},
        {"9 levels is: one pixel of four", 2, -9, false, 0.25, 10.0 * std::log10(65025.0 / (81.0 / 12.0))},
        {"alpha is not compared", 3, -200, false, 0.0, INFINITY},
        {"a mask leaves pixels out", 0, 40, true, 0.5, 10.0 * std::log10(65025.0 / (1600.0 / 6.0))},
    };
    const std::vector<uint8_t> mask = {1, 1, 0, 0};
    for (const auto& c : cases) {
        std::vector<uint8_t> second = first;
        second[c.channel] = static_cast<uint8_t>(second[c.channel] + c.change);
        PictureDifference d = comparePictures(first.data(), second.data(), 4, c.masked ? mask.data() : nullptr);
        EXPECT_EQ(d.compared, c.masked ? 2u : 4u) << c.label;
        EXPECT_DOUBLE_EQ(d.share, c.share) << c.label;
        if (std::isinf(c.psnr)) EXPECT_TRUE(std::isinf(d.psnr)) << c.label;
        else EXPECT_NEAR(d.psnr, c.psnr, 1e-9) << c.label;
    }
    // Nothing to compare counts as identical.
    const std::vector<uint8_t> none = {0, 0, 0, 0};
    PictureDifference empty = comparePictures(first.data(), first.data(), 4, none.data());
    EXPECT_EQ(empty.compared, 0u);
    EXPECT_EQ(empty.share, 0.0);
    EXPECT_TRUE(std::isinf(empty.psnr));
}
