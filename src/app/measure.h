// measure.h -- frame-time measurement and the screenshot trigger.
//
// Provides: frameSamples, startMeasurement, measurementStep, measureFrameTime,
// triggerShot, takeScreenShot, screenshotRequested, screenshotSequence.
// Main thread only.
// (Placeholder until the measurement lands: the interface below is fixed.)
#pragma once

extern int frameSamples;         // frames in one run; default 1000
extern int screenshotRequested;  // capture at the end of the next frame

void startMeasurement();
void measurementStep();      // frame driver, after presentation
float measureFrameTime();    // starts a run; returns the last run's average
void triggerShot();
void takeScreenShot(const char* fileName);
void screenshotSequence();   // frame driver, before presentation
