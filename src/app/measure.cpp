// measure.cpp -- placeholder measurement.
#include "app/measure.h"

int frameSamples = 1000;
int screenshotRequested = 0;

void startMeasurement() {}
void measurementStep() {}
float measureFrameTime() { return 0.0f; }
void triggerShot() {}
void takeScreenShot(const char*) {}
void screenshotSequence() { screenshotRequested = 0; }
