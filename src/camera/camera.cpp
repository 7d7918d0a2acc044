// camera.cpp -- placeholder camera: holds a position, draws from the origin.
#include "camera/camera.h"

#include <GL/gl.h>

Ccamera* camera = nullptr;
std::atomic<int> flyMode{0};
std::atomic<int> printCameraXZ{0};

void createCamera() {
    if (!camera) camera = new Ccamera;
}
Ccamera* getCamera() {
    createCamera();
    return camera;
}

void getCameraPositionXYZ(float& x, float& y, float& z) {
    Ccamera* c = getCamera();
    x = c->x.load(std::memory_order_relaxed);
    y = c->y.load(std::memory_order_relaxed);
    z = c->z.load(std::memory_order_relaxed);
}
void setCameraPositionRaw(float x, float y, float z) {
    Ccamera* c = getCamera();
    c->x = x;
    c->y = y;
    c->z = z;
}
void setCameraAll(float x, float y, float z, float horizontal, float vertical) {
    setCameraPositionRaw(x, y, z);
    getCamera()->horizontalAngle = horizontal;
    getCamera()->verticalAngle = vertical;
}
void setMoveSpeedLocked(float) {}
float getMoveSpeed() { return 0.8f; }
float groundEyeHeight(float, float) { return 8.0f; }
void lookAtPoint(float eyeX, float eyeY, float eyeZ, float, float, float) {
    setCameraPositionRaw(eyeX, eyeY, eyeZ);
}
void moveForward(float) {}
void moveSideways(float) {}
void toggleCrouch() {}
void followTerrain() {}
void applyView() {}
