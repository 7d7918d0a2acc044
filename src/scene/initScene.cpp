// initScene.cpp -- builds the scene once, right after the main window has
// opened (called by the script function createWindow). Main thread.
//
// The steps run in this order; loading of textures, plant models, plant
// sets, terrain objects and the sky goes between the camera and the
// movement thread.
#include "scene/initScene.h"

#include "app/input.h"
#include "app/menus.h"
#include "app/statusBar.h"
#include "app/window.h"
#include "camera/camera.h"
#include "camera/movement.h"
#include "image/tga.h"
#include "platform/platform.h"
#include "util/output.h"

namespace {
int mouseButtonUserValue = -50;  // handed to every mouse-button call
}

void initScene() {
    // Step: commandLock (app/menus.h) is a process-wide mutex, ready before
    // any script runs; nothing to set up.

    // Step: rendering context for the drawing area as it opened.
    int width = 0, height = 0;
    platformGetClientSize(width, height);
    initRendering(width, height);

    // Step: multitexturing is required; without it the program stops here.
    if (!initMultitexture()) {
        outputText("warning multitexture not available\n");
        platformMessageBox("Multitexture not available - Exiting", "Error", platformOk, false);
        destroyMainWindow();
        platformExitProcess(0);
    }

    // Step: camera, greeting, empty status text, mouse buttons.
    createCamera();
    outputText("hello\n");
    statusText[0] = '\0';
    setMouseButtonHandler(onMouseButton, &mouseButtonUserValue);

    // Step: the movement thread (mouse look and movement keys).
    startMovementThread();

    // Step: menu bar, status bar, and the projection for the viewport.
    buildMenus();
    createStatusBar();
    resizeView(viewportWidth, viewportHeight);
}
