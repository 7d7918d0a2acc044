// initScene.h -- builds the whole scene once, right after the main window
// opens (called by the script function createWindow). Main thread.
// (Placeholder until the scene lands: the interface below is fixed.)
#pragma once

void initScene();
