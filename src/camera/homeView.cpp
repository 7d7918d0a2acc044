// homeView.cpp -- the camera's home view; see homeView.h.
#include "camera/homeView.h"

#include "camera/camera.h"
#include "scene/sceneConfig.h"

namespace {

struct HomeView {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float horizontal = 0.0f, vertical = 0.0f;
};

HomeView home;
bool recorded = false;
bool fixed = false;

}  // namespace

void recordHomeView() {
    if (fixed) return;
    Ccamera* c = getCamera();
    getCameraPositionXYZ(home.x, home.y, home.z);
    home.horizontal = c->horizontalAngle.load();
    home.vertical = c->verticalAngle.load();
    recorded = true;
}

void fixHomeView() { fixed = true; }

bool homeViewRecorded() { return recorded; }

void resetCameraToHome() {
    if (recorded) {
        setCameraAll(home.x, home.y, home.z, home.horizontal, home.vertical);
        return;
    }
    float centre = 0.5f * mapExtent;
    setCameraAll(centre, groundEyeHeight(centre, centre), centre, 0.0f, 0.0f);
}
