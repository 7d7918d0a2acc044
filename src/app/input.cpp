// input.cpp -- the main window's procedure and its key and button handlers;
// see input.h. Main thread only.
#include "app/input.h"

#include <string>

#include "app/fullView.h"
#include "app/measure.h"
#include "app/menus.h"
#include "app/overlay.h"
#include "app/statusBar.h"
#include "app/window.h"
#include "camera/camera.h"
#include "camera/frustum.h"
#include "camera/homeView.h"
#include "image/textureRegistry.h"
#include "image/tga.h"
#include "platform/platform.h"
#include "scene/sceneConfig.h"
#include "script/scriptStop.h"
#include "terrain/terrainAlgorithm.h"
#include "util/output.h"

namespace {
MouseButtonHandler mouseButtonHandler = nullptr;
int* mouseButtonUserValue = nullptr;

void storeLookCentre() {
    int x = 0, y = 0;
    platformGetCursorPos(x, y);
    lookCentreX = x;
    lookCentreY = y;
}
}  // namespace

int windowProcedure(int message, int a, int b, int c) {
    switch (message) {
    case messageCreate:
        centreWindow();
        return 0;
    case messageSize:
        // The drawing area changed size: the projection follows it. (Before
        // the context exists there is nothing to set.)
        if (platformHasGlContext()) {
            platformMakeCurrent();
            resizeView(a, b);
        }
        return 0;
    case messageClose:
        quitApplication();
        return 0;
    case messageSetCursor:
        return cameraLocked == 0 && (leftButtonDown || lookMode || menusHidden) ? 1 : 0;
    case messageCommand:
        onCommand(a & 0xFFFF);
        return 0;
    case messageKeyDown:
        onKeyDown(a);
        return 0;
    case messageKeyUp:
        onKeyUp(a);
        return 0;
    case messageButtonDown:
    case messageButtonUp: {
        int down = message == messageButtonDown ? 1 : 0;
        if (a >= 1 && a <= 3) mouseButtonState[a - 1] = down;
        if (mouseButtonHandler) mouseButtonHandler(a, down, b, c, mouseButtonUserValue);
        return 0;
    }
    case messageFocusLost:
        releaseAllKeys();
        return 0;
    default:
        return 0;
    }
}

void onKeyUp(int key) { keyState[key & 0xFF] = 0; }

void releaseAllKeys() {
    for (auto& key : keyState) key = 0;
}

void onKeyDown(int key) {
    key &= 0xFF;
    keyState[key] = 1;
    switch (key) {
    case keyEscape:
        // While the key table is shown Escape closes it; otherwise it quits.
        if (helpShown) closeHelp();
        else quitApplication();
        break;
    case keyF1:
        toggleHelp();
        break;
    case 'I':
        toggleInformation();
        break;
    case 'R':
        resetCameraToHome();
        break;
    case scriptStopKey:
        requestScriptStop(stopByKey);  // the running script ends; the viewer stays
        break;
    case keyF12:
        triggerShot();
        break;
    case 'S':
        toggleStatusBar();  // S is also the backward movement key
        break;
    case 'H':
        toggleMenus();
        break;
    case 'F':
        startMeasurement();
        break;
    case 'Z':
        printCameraXZ = 1 - printCameraXZ;
        break;
    case 'M':
    case '5':
        splattingEnabled = 1 - splattingEnabled;
        break;
    case '0':
        frustumCulling = 1 - frustumCulling;
        break;
    case '1':
    case '2':
    case '3':
    case '4':
    {
        // Keys switch without the lock and leave the menu's radio mark alone.
        std::string why;
        const int identifier = terrainBruteForce + (key - '1');
        if (terrainAlgorithmSelectable(identifier, why)) terrainAlgorithm = identifier;
        else outputPrintf("%s\n", why.c_str());
        break;
    }
    case '6':
        lightmapEnabled = 1 - lightmapEnabled;
        break;
    case '7':
        showTerrain = 1 - showTerrain;
        break;
    case 'C':
        toggleCrouch();
        break;
    case 'T':
        outputText("TTT\n");
        trilinearFiltering = 1 - trilinearFiltering;
        reloadAllTextures();
        platformMessageBox(trilinearFiltering ? "trilinear" : "bilinear", "texturemode", platformOk, false);
        break;
    default:
        break;
    }
}

void setMouseButtonHandler(MouseButtonHandler handler, int* userValue) {
    mouseButtonHandler = handler;
    mouseButtonUserValue = userValue;
}

void onMouseButton(int button, int down, int x, int y, int* userValue) {
    outputText(down == 1 ? "DOWN " : "UP ");
    outputText(button == 1 ? "LEFT\n" : button == 2 ? "RIGHT\n" : "MIDDLE\n");
    // Coordinates as the window system packs them: 16 unsigned bits each.
    outputPrintf("left %d %d %d %d  %d\n", button, down, x & 0xFFFF, y & 0xFFFF, userValue ? *userValue : 0);
    if (button == 1 && down) {
        // The blank cursor follows from leftButtonDown (see messageSetCursor).
        storeLookCentre();
        leftButtonDown = 1;
    } else if (button == 1) {
        leftButtonDown = 0;
    } else if (button == 2 && down) {
        rightButtonDown = 1;
        if (cameraLocked == 0) toggleLookMode();
    } else if (button == 2) {
        rightButtonDown = 0;
    }
}
