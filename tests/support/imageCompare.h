// imageCompare.h -- reading the frame buffer and comparing it with a stored
// reference picture.
//
// Provides: TestImage, readFrameBuffer, writePpm, readPpm, compareImages,
// expectMatchesReference.
// References live in tests/references/<name>.ppm with the renderer string in
// <name>.renderer. On a mismatch the picture drawn and a diff picture are
// kept in <build>/test-output/ for a person to look at. Set
// MORVISTA_UPDATE_REFERENCES=1 to (re)write a reference from the current output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TestImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // rows bottom to top, as OpenGL reads them
};

TestImage readFrameBuffer(int width, int height);
bool writePpm(const std::string& path, const TestImage& image);
bool readPpm(const std::string& path, TestImage& image);

// Fraction (0-1) of pixels whose largest channel difference exceeds
// channelTolerance; fills diff (white where they differ) when given.
double compareImages(const TestImage& a, const TestImage& b, int channelTolerance, TestImage* diff);

// GoogleTest check: at most maxDifferentFraction of the pixels may differ by
// more than channelTolerance from the reference called name.
void expectMatchesReference(const std::string& name, const TestImage& image, int channelTolerance,
                            double maxDifferentFraction);
