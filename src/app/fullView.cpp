// fullView.cpp -- hiding and showing the bars; see fullView.h.
#include "app/fullView.h"

#include "app/statusBar.h"
#include "app/window.h"
#include "controls/controlState.h"
#include "platform/platform.h"

void hideMenus() {
    platformSetMenuBarAttached(false);
    destroyStatusBar();
    centreCursor();
    int x = 0, y = 0;
    platformGetCursorPos(x, y);
    lookCentreX = x;
    lookCentreY = y;
    // Mouse look starts only now: set before the look centre, a pass of the
    // movement thread would measure the cursor from an old centre and turn
    // the camera by the whole distance (a jump in a screenshot's view).
    menusHidden = 1;
    // The projection follows the drawing area as it is now (in a normal
    // window it keeps its size while the bars go).
    if (platformHasGlContext()) {
        int width = 0, height = 0;
        platformGetClientSize(width, height);
        resizeView(width, height);
    }
}

void showMenus() {
    platformSetMenuBarAttached(true);
    menusHidden = 0;
    createStatusBar();
}

void toggleMenus() {
    if (menusHidden) showMenus();
    else hideMenus();
}
