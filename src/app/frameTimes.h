// frameTimes.h -- where a frame's time goes.
//
// Provides: FrameTimes, lastFrameTimes, graphicsTimerWanted,
// graphicsTimerKind, beginFrameGraphicsTimer, endFrameGraphicsTimer,
// finishFrameTimes, collectGraphicsTimes.
//
// Beside the frame time (frameSeconds, app/mainLoop.h, unchanged: clear to
// presentation, wall clock), every frame keeps three parts, in milliseconds:
//   lodCpuMs       the selected terrain algorithm's level-of-detail work
//                  (TerrainAlgorithm::update: geomipmapping's level update,
//                  ROAM's optimiser; about 0 for brute force), CPU time of
//                  the main thread (CLOCK_THREAD_CPUTIME_ID; see
//                  terrainFrameTimes in terrain/terrainFrame.h);
//   plantCpuMs     the plant pass's placement walk, culling and detail
//                  selection, the same clock (not the batches' drawing
//                  calls);
//   graphicsMs     the graphics time of the frame's scene (sky, terrain,
//                  plants, grid: from before the clear to after the grid,
//                  not the screenshot read, the frame-time graph or the
//                  swap), measured with a GL_TIME_ELAPSED timer query
//                  (GL_ARB_timer_query, or else GL_EXT_timer_query). On a
//                  GPU it is the GPU's time for those commands; on a
//                  software rasteriser (llvmpipe, softpipe) it is the
//                  rasteriser's own work between the two points as the
//                  driver times it, done on its threads and overlapping
//                  the CPU parts. The scene is flushed just before the
//                  query ends, so a renderer that rasterises at the flush
//                  does so inside it (the frame already ended in a flush;
//                  this one comes before the shot and the graph).
// The CPU parts are CPU time, so on a busy machine they leave out the time
// the thread was waiting; the graphics part runs beside the CPU, so the
// parts may add up to more or less than the frame time.
//
// Timer results are never waited for: each frame's query goes into a ring of
// four and is read, when the driver says it is ready, at the end of a later
// frame (usually one or two frames later) or when a script asks. A result
// not ready after four frames is dropped. Where the driver offers neither
// extension (or graphicsTimerWanted is 0) there is no graphics time:
// hasGraphics stays false ("n/a", nil in scripts).
//
// Main thread only, inside or between frames with the context current:
// written by the frame driver (app/mainLoop.cpp); graphicsTimerWanted by
// tests and bench programs before the first frame.
#pragma once

struct FrameTimes {
    double frameMs = 0.0;       // the frame time, as getFrameTime gives it
    double lodCpuMs = 0.0;      // of the last frame
    double plantCpuMs = 0.0;    // of the last frame
    bool hasGraphics = false;   // a graphics time of one of the last four frames is known
    double graphicsMs = 0.0;    // the newest graphics time measured
    int graphicsFramesBack = 0;  // 0: of the last frame; 1: the one before; ...
};

// The last finished frame's parts, with the newest graphics time known (any
// results that became ready since the frame are taken first). All zero and
// no graphics time before the first frame.
FrameTimes lastFrameTimes();

// 1 (default): timer queries where the driver has them; 0: never (the path
// of a driver without them).
extern int graphicsTimerWanted;

// "GL_ARB_timer_query", "GL_EXT_timer_query", or "" where neither is used.
// Looked up once, with the context current, at the first frame.
const char* graphicsTimerKind();

// Frame driver: begin before the frame's first GL command, end after its
// scene; finish after the frame time (frameSeconds) is known, before the
// frame is counted (framesDrawn still the number of this frame).
void beginFrameGraphicsTimer(long long frame);
void endFrameGraphicsTimer();
void finishFrameTimes(long long frame, double frameSeconds);

// Takes the results that are ready (never waits); finishFrameTimes and
// lastFrameTimes call it.
void collectGraphicsTimes();
