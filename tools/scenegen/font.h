// font.h -- a small built-in bitmap font for titles and labels.
//
// Provides: drawText, textWidth.
// Glyphs are 5 x 7 cells (plus two rows of descender) drawn as solid squares
// with anti-aliased edges; a cell can be wider than tall so that text on a
// picture stretched to the screen comes out with the right proportions.
#pragma once

#include "paint.h"

#include <string>

// Width in pixels of `text` with cells of cellWidth pixels (one blank column
// between glyphs).
float textWidth(const std::string& text, float cellWidth);

// Draws `text` with its top-left corner at (left, top) in picture terms
// (y grows upward on the canvas, so the text extends downward from `top`).
void drawText(Canvas& canvas, const std::string& text, float left, float top, float cellWidth, float cellHeight,
              Vec3 colour, float opacity = 1.0f);
