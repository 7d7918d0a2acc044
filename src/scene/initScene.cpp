// initScene.cpp -- builds the scene once, right after the main window has
// opened (called by the script function createWindow). Main thread.
//
// The steps run in a fixed order that the console shows ("hello", the
// "AAAA" lines around the terrain textures, "SCC"/"BF", "angle"): size
// row, rendering context, multitexture check, camera, loading screen,
// textures, plants, terrain objects, sky, colours, start-up settings,
// movement thread, menus and status bar. Every data file that cannot be used
// is reported on the console with its reason. A missing texture, lightmap
// grid, sky face or distribution map leaves its object empty and the
// sequence goes on; a plant model that does not load leaves its plant set
// out. Two failures leave no scene to show and stop the program with exit
// code 1 after an "Error" message box: a missing multitexture extension and
// a height file that cannot be loaded.
#include "scene/initScene.h"

#include <GL/gl.h>

#include <chrono>
#include <string>
#include <thread>

#include "app/input.h"
#include "app/menus.h"
#include "app/statusBar.h"
#include "app/window.h"
#include "camera/camera.h"
#include "camera/movement.h"
#include "image/tga.h"
#include "image/textureRegistry.h"
#include "math/vector.h"
#include "platform/platform.h"
#include "scene/sceneConfig.h"
#include "scene/sceneLoad.h"
#include "terrain/terrainFrame.h"
#include "util/output.h"
#include "vegetation/plantSet.h"

namespace {
int mouseButtonUserValue = -50;  // handed to every mouse-button call

// A start-up that cannot build the scene: the reason in an "Error" box and on
// standard error (seen even without a console), then the window goes and the
// process ends with exit code 1, as a start script that cannot run does.
[[noreturn]] void stopStartup(const std::string& boxText) {
    outputError((boxText + "\n").c_str());
    platformMessageBox(boxText.c_str(), "Error", platformOk, false);
    destroyMainWindow();
    platformExitProcess(1);
}

// White flash, then "load.tga" over the whole view while the scene loads.
void showLoadingScreen() {
    glPushMatrix();
    setBackgroundColour(255, 255, 255);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    platformSwapBuffers();
    std::this_thread::sleep_for(std::chrono::milliseconds(111));
    setBackgroundColour(136, 156, 88);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    unsigned picture = getTexture("load.tga");
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, 1.0, 1.0, 0.0, 0.0, 1.0);  // y grows downwards
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_CURRENT_BIT);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, picture);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(1.0f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(1.0f, 1.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 1.0f);
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glPopAttrib();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    platformSwapBuffers();
    glPopMatrix();
}
}  // namespace

void initScene() {
    // Size row: mapSize, mapExtent and the row's three grid files.
    selectSceneRow();

    // commandLock (app/menus.h) is a process-wide mutex, ready before any
    // script runs; nothing to set up.

    // Rendering context for the drawing area as it opened.
    int width = 0, height = 0;
    platformGetClientSize(width, height);
    initRendering(width, height);
    // A second window has a new context: the textures of the first scene
    // are loaded into it under their old names, which the registry hands
    // out again below without loading anything.
    loadTexturesIntoNewContext();

    // Multitexturing is required; without it the program stops here,
    // before any file is read.
    if (!initMultitexture()) {
        outputText("warning multitexture not available\n");
        stopStartup("Multitexture not available - Exiting");
    }

    // Camera, greeting, empty status text, mouse buttons, textures.
    createCamera();
    outputDiagnostic("hello\n");
    statusText[0] = '\0';
    setMouseButtonHandler(onMouseButton, &mouseButtonUserValue);
    createTextureRegistry();

    showLoadingScreen();
    loadTerrainTextures();

    // Plant models and the plant sets (with the plant colours they leave).
    loadScenePlants();
    setBackgroundColour(136, 156, 88);

    std::string terrainFailure;
    if (!loadTerrainObjects(terrainFailure)) stopStartup(terrainFailure + " - Exiting");
    loadSkyBox();
    setTerrainColour(255.0f, 255.0f, 255.0f);

    Cvector3 across{1.0f, 0.0f, 0.0f};
    Cvector3 up{0.0f, 1.0f, 0.0f};
    outputPrintf("angle %f\n", angleBetween(across, up));

    // Start-up settings: no terrain until a script or the user asks.
    terrainAlgorithm = terrainQuadTree;
    splattingEnabled = 0;
    showTerrain = 0;
    lightmapEnabled = 0;

    // The movement thread (mouse look and movement keys).
    startMovementThread();

    // Menu bar, status bar, and the projection for the viewport.
    buildMenus();
    createStatusBar();
    resizeView(viewportWidth, viewportHeight);
    // The window grew downward by the bars' height: centre it as it now is.
    centreWindow();
}
