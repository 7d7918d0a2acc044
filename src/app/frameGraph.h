// frameGraph.h -- the frame-time graph drawn over the view.
//
// Provides: frameGraphEnabled, FRAME_GRAPH_FRAMES, recordFrameTime,
// FrameGraphParts, recordFrameParts, recordFrameGraphics,
// frameGraphPartsHistory, frameGraphHistory, frameGraphMedian,
// frameGraphRect, frameGraphLabel, drawFrameGraph.
// The frame driver records every frame's time; while the graph is switched
// on ("Tools > Frame Time Graph", command 910, or the script switches) it
// draws the last FRAME_GRAPH_FRAMES frame times in the bottom left corner of
// the view, with their median (yellow) and the 16.7 ms and 33.3 ms lines of
// 60 and 30 frames a second (green, orange), each labelled with its value in
// milliseconds in the view's bitmap font (image/bitmapFont.h). Under each
// frame's line its parts (app/frameTimes.h) are stacked from the bottom: the
// terrain's LOD work (blue), the plant pass's placement and selection
// (cyan), then the graphics time (magenta, where it was measured; it runs
// beside the CPU, so the stack may pass the line). It is drawn after a
// screenshot has been read, is not counted in the scene's polygons and its
// drawing time is taken off the frame's, so shots, polygon counts, frame
// times and the terrain error measurement (which draws offscreen) never see
// it.
// Main thread only: written by the frame driver, the menu command and the
// script switches.
#pragma once

#include <string>
#include <vector>

enum { FRAME_GRAPH_FRAMES = 300 };

extern int frameGraphEnabled;  // 0 at start; menu item 910 carries its mark

// Frame driver, after every frame: the frame's time in milliseconds.
void recordFrameTime(double milliseconds);
// A frame's parts in milliseconds; graphicsMs is negative while unknown.
struct FrameGraphParts {
    float lodMs = 0.0f;
    float plantMs = 0.0f;
    float graphicsMs = -1.0f;
};
// After recordFrameTime: the CPU parts of the frame just recorded.
void recordFrameParts(double lodMs, double plantMs);
// The graphics time of the frame framesBack frames before the newest
// recorded one (0: the newest); nothing for one no longer kept.
void recordFrameGraphics(int framesBack, double milliseconds);
// The parts of the recorded frames, aligned with frameGraphHistory().
std::vector<FrameGraphParts> frameGraphPartsHistory();

// The recorded frame times, oldest first (at most FRAME_GRAPH_FRAMES).
std::vector<float> frameGraphHistory();
// Median of frameGraphHistory() (0 when nothing is recorded).
float frameGraphMedian();

// Where the graph goes in a view of that size: x, y of the bottom left
// corner in pixels from the bottom left of the view, width and height.
void frameGraphRect(int viewWidth, int viewHeight, int& x, int& y, int& width, int& height);

// A line's label value: milliseconds with one decimal ("16.7").
std::string frameGraphLabel(float milliseconds);

// Draws the graph over the current view (viewportWidth x viewportHeight) in
// screen pixels; every GL state it changes is restored.
void drawFrameGraph();
