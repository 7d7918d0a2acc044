// screenshot.h -- frame-buffer rectangles written as uncompressed TGA files.
//
// Provides: writeTGA, writeNumberedTGA, saveScreenRect, saveScreenRectAs,
// getScreenshotCounter, setScreenshotCounter, decrementScreenshotCounter.
// Files: 18-byte header (image type 2 for 24 and 32 bits, else 3; no colour
// map; origin 0,0; descriptor 0 = bottom-left origin, no attribute bits),
// then the pixels with rows bottom to top as the frame buffer gives them,
// R,G,B stored as B,G,R and the fourth byte of 32-bit pixels stored as
// 255 - alpha.
// The counter (the number of the next numbered file, from 0 or past the
// files already there) is written on
// the main thread only, here and by the screenshot sequence (app/measure).
// Main thread only, with the rendering context current for the screen calls.
#pragma once

#include <cstdint>

// Writes the file; returns 1, or -1 when it cannot be written completely
// (a partial file is removed). Takes ownership of pixels (malloc'ed,
// width x height x bits/8 bytes) and always frees them.
int writeTGA(const char* fileName, uint16_t width, uint16_t height, uint8_t bits, unsigned char* pixels);

// writeTGA on "<baseName><counter>.tga"; on success the counter advances.
// The counter first moves past the highest n of the "<baseName><n>.tga"
// files already in that folder, so earlier shots are never overwritten;
// only the file this run wrote last may be written again (after
// decrementScreenshotCounter).
int writeNumberedTGA(const char* baseName, uint16_t width, uint16_t height, uint8_t bits, unsigned char* pixels);

// Reads the frame-buffer rectangle from (x1, y1) to (x2, y2) as RGBA and
// writes it as a 32-bit numbered file, or to exactly fileName (no extension
// added). -1 for an empty rectangle or one too large for a TGA file.
int saveScreenRect(const char* baseName, int x1, int y1, int x2, int y2);
int saveScreenRectAs(const char* fileName, int x1, int y1, int x2, int y2);

int getScreenshotCounter();
void setScreenshotCounter(int value);
void decrementScreenshotCounter();  // never below 0
