// bitmapFont.h -- text in screen pixels over the finished view, drawn with
// the glyph sheet the scene generator writes ("font.tga").
//
// Provides: the glyph sheet's layout (glyphSheetSide, glyphCellWidth,
// glyphCellHeight, glyphInkLeft, glyphInkTop, glyphInkWidth, glyphInkHeight,
// glyphAdvance, textLineHeight), textScaleForView, textWidthPixels,
// loadBitmapFont, bitmapFontReady, OverlayPass, drawTextLine, drawPanel.
//
// The sheet is one 8-bit grey TGA of 128 x 128 pixels: 16 columns and 8 rows
// of 8 x 16 pixel cells, character code c (32-126) in column c % 16 and row
// c / 16 from the top; a glyph's ink is 5 x 9 pixels starting 1 pixel from
// the cell's left and 3 from its top. The sheet becomes an alpha texture
// with nearest filtering, so text at an integer scale stays sharp; glyphs
// take the current colour. Characters outside 32-126 draw as blanks.
//
// Units: pixels of the view, origin at its bottom left, y upward; text is
// placed by the top left corner of its first line. A line of n characters
// at scale s is (6 n - 1) s pixels wide and textLineHeight * s high.
//
// Main thread only, with the rendering context current. The texture name
// is taken from glGenTextures (the texture registry issues its own names
// from 51 up and never generates any); a replaced context is noticed and
// the sheet loaded again. Every GL state the drawing changes is restored
// by OverlayPass.
#pragma once

#include <string>
#include <vector>

constexpr int glyphSheetSide = 128;
constexpr int glyphCellWidth = 8;
constexpr int glyphCellHeight = 16;
constexpr int glyphInkLeft = 1;
constexpr int glyphInkTop = 3;
constexpr int glyphInkWidth = 5;
constexpr int glyphInkHeight = 9;
constexpr int glyphAdvance = 6;     // pixels from one character to the next at scale 1
constexpr int textLineHeight = 11;  // pixels from one line to the next at scale 1

// 2 on views at least 600 pixels high, else 1.
int textScaleForView(int viewHeight);
// (6 n - 1) * scale for n characters; 0 for an empty text.
int textWidthPixels(const std::string& text, int scale);

// Loads the sheet from the first of the paths that gives a usable picture
// (128 x 128, 8 bits). On failure prints once "Cannot load font file
// NAME: reason (no text over the view)" (the last path tried) and returns
// false; text then draws nothing. A call with the same paths as the last
// failed one returns false without reading the files again.
bool loadBitmapFont(const std::vector<std::string>& paths);
// True while the sheet is loaded in the current context.
bool bitmapFontReady();

// Saves every GL state the overlay drawing changes and sets a pixel
// orthographic projection over a view of width x height with an identity
// modelview; blending on, depth test, lighting, fog, culling, alpha test
// and texturing off, polygons filled. The destructor restores all of it.
class OverlayPass {
public:
    OverlayPass(int width, int height);
    ~OverlayPass();
    OverlayPass(const OverlayPass&) = delete;
    OverlayPass& operator=(const OverlayPass&) = delete;
};

// Inside an OverlayPass: one line of text in colour (r, g, b, a).
void drawTextLine(const std::string& text, float left, float top, int scale, float r, float g, float b, float a = 1.0f);

// Inside an OverlayPass: lines of text on a dark translucent panel with a
// margin of 4 * scale pixels, the panel's top left corner at (left, top).
// Returns the panel's width and height through the references.
void drawPanel(const std::vector<std::string>& lines, float left, float top, int scale, int& width, int& height);
// Size drawPanel would give the lines, without drawing.
void panelSize(const std::vector<std::string>& lines, int scale, int& width, int& height);
