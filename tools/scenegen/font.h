// font.h -- a small built-in bitmap font for titles and labels.
//
// Provides: drawText, textWidth, glyphCellLit, makeGlyphSheet and the
// glyph sheet's layout constants.
// Glyphs are 5 x 7 cells (plus two rows of descender) drawn as solid squares
// with anti-aliased edges; a cell can be wider than tall so that text on a
// picture stretched to the screen comes out with the right proportions.
#pragma once

#include "image.h"
#include "paint.h"

#include <string>

// Width in pixels of `text` with cells of cellWidth pixels (one blank column
// between glyphs).
float textWidth(const std::string& text, float cellWidth);

// Draws `text` with its top-left corner at (left, top) in picture terms
// (y grows upward on the canvas, so the text extends downward from `top`).
void drawText(Canvas& canvas, const std::string& text, float left, float top, float cellWidth, float cellHeight,
              Vec3 colour, float opacity = 1.0f);

// Whether cell (column 0-4 from the left, row 0-8 from the top) of the
// character's glyph is lit; false for characters the font lacks.
bool glyphCellLit(char character, int column, int row);

// The glyph sheet ("font.tga"): the font for text drawn over the program's
// view. One 8-bit grey picture of glyphSheetSide pixels a side: 16 columns
// and 8 rows of cells of glyphSheetCellWidth x glyphSheetCellHeight pixels,
// character code c (32-126) in column c % 16 and row c / 16 counted from the
// top. A glyph's 5 x 9 lit cells are single pixels of value 255 starting
// glyphSheetInkLeft pixels from the cell's left and glyphSheetInkTop from its
// top; everything else is 0. Rows are stored bottom first, as TGA and OpenGL
// take them.
constexpr int glyphSheetSide = 128;
constexpr int glyphSheetCellWidth = 8;
constexpr int glyphSheetCellHeight = 16;
constexpr int glyphSheetInkLeft = 1;
constexpr int glyphSheetInkTop = 3;
Image makeGlyphSheet();
