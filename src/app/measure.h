// measure.h -- frame-time measurement and the screenshot trigger.
//
// Provides: frameSeconds, frameSamples, measureCountdown, frameTimeSum, setFrameSamples,
// startMeasurement, measurementStep, measureFrameTime, screenshotRequested,
// menusHiddenBeforeShot, shotName, shotNamePending, SHOT_NAME_MAX,
// triggerShot, takeScreenShot, screenshotSequence, measurementStatus.
// A measurement run covers frameSamples frames: each prints
// "%0.2f milli sec", the last also "sum %0.2f avg %0.2f\n". A shot hides the
// menus when requested; the frame driver then captures the view twice
// before presenting (300 ms pause before each capture) and shows the menus
// again if they were shown before. The status bar follows a run: the frame
// driver appends measurementStatus() to the polygon count.
// Every value here is written on the main thread only: by this file, by the
// keys F and F12 and the screenshot command (through the functions), and by
// the measurement script functions.
#pragma once

enum { SHOT_NAME_MAX = 99 };

extern double frameSeconds;      // duration of the last frame; written by the frame driver
extern int frameSamples;         // frames in one run; default 1000, never below 1
extern int measureCountdown;     // frames still to measure; 0 = no run
extern float frameTimeSum;       // milliseconds summed over the run so far
extern int screenshotRequested;  // capture at the end of the next frame
extern int menusHiddenBeforeShot;
extern char shotName[SHOT_NAME_MAX + 1];  // file of a named shot
extern int shotNamePending;               // the next shot writes shotName

// Refuses (with a console line) counts below 1; returns whether it was set.
bool setFrameSamples(int count);
void startMeasurement();     // key F; restarts a run in progress
void measurementStep();      // frame driver, after presentation
float measureFrameTime();    // starts a run; returns the last finished run's average (0 before any)
// The run for the status bar: "" before the first run, "   measuring 312 / 1000"
// while one runs (frames measured so far / frames of the run), and after it
// "   measured 1000 frames: avg 23.45 ms" until the next run starts.
const char* measurementStatus();
void triggerShot();          // key F12, menu "&Screenshot\tF12"
// Named shot; names longer than SHOT_NAME_MAX characters are refused.
void takeScreenShot(const char* fileName);
void screenshotSequence();   // frame driver, before presentation, when screenshotRequested
