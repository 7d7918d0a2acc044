// overlay.h -- help, state and notice text drawn over the finished view.
//
// Provides: helpShown, informationShown, toggleHelp, closeHelp,
// toggleInformation, setViewNotice, viewNotice, viewOverlaysShown, OverlayFacts,
// terrainAlgorithmName, plantSchemeName, keyHelpLines, informationLines,
// drawViewOverlays, lastOverlayText, fontPaths.
//
// Three layers of text, each on a dark panel: the key table (help, centred;
// F1 or "Help > Keys" until F1 or Escape), the information corner (top left;
// key I or "Options > Information") and one notice line (bottom right; the
// script function setViewNotice, an empty text clears it). The frame driver
// draws them after the screenshot was read, outside the polygon count and
// the frame time (the scene is finished with glFinish first and the drawing
// time is taken off the frame), so shots, counts and times never see them.
// Main thread only: written by keys, menu commands and script functions.
#pragma once

#include <string>
#include <vector>

extern int helpShown;         // 0 at start; the key table is over the view
extern int informationShown;  // 0 at start; menu "Options > Information" carries its mark

// True while any of the three layers has something to show.
bool viewOverlaysShown();
void toggleHelp();
void closeHelp();
void toggleInformation();
// One line in a corner of the view; "" clears it.
void setViewNotice(const std::string& text);
const std::string& viewNotice();

// What the information corner reports, gathered by the frame driver.
struct OverlayFacts {
    int terrainAlgorithm = 0;  // 600-603
    float tolerance = 0.0f;    // screen pixels; 0 = the algorithm's fixed rule
    int plantScheme = 0;       // 1-5
    bool uniformTexturing = false;
    bool anonymous = false;  // algorithm names hidden
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float heading = 0.0f, pitch = 0.0f;  // degrees (camera.h)
    float framesPerSecond = 0.0f;
    int polygons = 0;  // of the last finished frame
};

// Display name of a terrain algorithm id ("Algorithm n" when anonymous,
// n = id - 599; "unknown" outside 600-603).
std::string terrainAlgorithmName(int id, bool anonymous);
// Display name of a plant scheme 1-5, as the menu names it.
std::string plantSchemeName(int scheme, bool anonymous);

// The key table, one line a key (algorithms by number when anonymous).
const std::vector<std::string>& keyHelpLines(bool anonymous);
// The information corner's lines.
std::vector<std::string> informationLines(const OverlayFacts& facts);

// Draws whatever is switched on over a view of width x height pixels (the
// font is loaded on first need); every GL state it changes is restored.
void drawViewOverlays(const OverlayFacts& facts, int width, int height);
// The lines drawn by the last drawViewOverlays, joined with "\n" (help
// first, then the information corner, then the notice); "" when none was.
const std::string& lastOverlayText();

// Where the glyph sheet is looked for: the scene folder when one is set,
// then the program's own folder (in full), then the current folder.
std::vector<std::string> fontPaths();
