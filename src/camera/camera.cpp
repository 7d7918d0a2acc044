// camera.cpp -- the single camera: placement, view transform, walking,
// flying and crouching; see camera.h.
//
// Shared with the movement thread: position, angles, viewMatrix, moveSpeed,
// flyMode, standing and eyeRaise are atomics (relaxed order: no reader needs
// two values from one update). Terrain heights come from bruteTerrain, which
// is written once at scene set-up before the movement thread starts.
#include "camera/camera.h"

#include <GL/gl.h>

#include <cmath>

#include "scene/sceneConfig.h"
#include "terrain/sceneGrids.h"
#include "util/output.h"

Ccamera* camera = nullptr;

std::atomic<int> flyMode{0};
std::atomic<int> standing{1};
std::atomic<float> eyeRaise{4.0f};
float fallStep = -0.6f;
float initialMoveSpeed = 0.8f;
std::atomic<int> printCameraXZ{0};

namespace {
constexpr float standingEyeRaise = 4.0f;
constexpr float crouchingEyeRaise = 0.0f;
constexpr double eyeAboveRaise = 4.0;   // groundEyeHeight = ground + eyeRaise + 4
constexpr float hoverBand = 3.0f;       // free band above the eye height
constexpr double riseStep = 0.1;        // per frame while below the eye height
constexpr float viewPi = 3.14159265359f;

constexpr std::memory_order relaxed = std::memory_order_relaxed;

// x or z as a grid index: clamped into [0, mapExtent] (NaN becomes 0), then
// truncated, then kept inside the loaded grid.
int gridIndex(float v, int size) {
    if (!(v >= 0.0f)) v = 0.0f;
    if (v > mapExtent) v = mapExtent;
    int i = static_cast<int>(v);
    if (i > size - 1) i = size - 1;
    return i < 0 ? 0 : i;
}
}  // namespace

Ccamera::Ccamera() {
    // Identity until the first frame, so movement before it goes along -z.
    for (int i = 0; i < 16; ++i) viewMatrix[i].store(i % 5 == 0 ? 1.0f : 0.0f, relaxed);
    moveSpeed.store(initialMoveSpeed, relaxed);
}

void createCamera() {
    if (!camera) camera = new Ccamera;
}

Ccamera* getCamera() {
    createCamera();
    return camera;
}

float frameCameraX = 0.0f, frameCameraY = 0.0f, frameCameraZ = 0.0f;

void getCameraPositionXYZ(float& x, float& y, float& z) {
    Ccamera* c = getCamera();
    x = c->x.load(relaxed);
    y = c->y.load(relaxed);
    z = c->z.load(relaxed);
}

void setCameraPositionRaw(float x, float y, float z) {
    Ccamera* c = getCamera();
    c->x.store(x, relaxed);
    c->y.store(y, relaxed);
    c->z.store(z, relaxed);
}

void setCameraAll(float x, float y, float z, float horizontal, float vertical) {
    Ccamera* c = getCamera();
    std::lock_guard<std::mutex> guard(c->lock);
    c->x.store(x, relaxed);
    c->y.store(y, relaxed);
    c->z.store(z, relaxed);
    c->horizontalAngle.store(horizontal, relaxed);
    c->verticalAngle.store(vertical, relaxed);
}

void setMoveSpeedLocked(float speed) {
    Ccamera* c = getCamera();
    std::lock_guard<std::mutex> guard(c->lock);
    c->moveSpeed.store(speed, relaxed);
}

float getMoveSpeed() { return getCamera()->moveSpeed.load(relaxed); }

float groundEyeHeight(float x, float z) {
    double ground = 0.0;
    if (bruteTerrain.data && bruteTerrain.size > 0) {
        int size = bruteTerrain.size;
        ground = bruteTerrain.height(gridIndex(x, size), gridIndex(z, size));
    }
    return static_cast<float>(ground + eyeRaise.load(relaxed) + eyeAboveRaise);
}

void lookAtPoint(float eyeX, float eyeY, float eyeZ, float targetX, float targetY, float targetZ) {
    float dx = targetX - eyeX;
    float dz = targetZ - eyeZ;
    (void)targetY;
    // Signed turn from -z: angleBetween is unsigned, a target on the -x side
    // turns left (negative).
    float h = angleBetween(Cvector3{0.0f, 0.0f, -1.0f}, Cvector3{dx, 0.0f, dz});
    if (dx < 0.0f) h = -h;
    // Eye straight above or below the target: no direction to turn to, so
    // the camera keeps its heading.
    if (!std::isfinite(h)) h = getCamera()->horizontalAngle.load(relaxed);
    // The tilt towards the target is not applied: placing the camera with a
    // look-at always leaves it level.
    setCameraAll(eyeX, eyeY, eyeZ, h, 0.0f);
}

void buildViewMatrix(float vertical, float horizontal) {
    float a = vertical * viewPi / 180.0f;
    float b = horizontal * viewPi / 180.0f;
    float ca = std::cos(a), sa = std::sin(a);
    float cb = std::cos(b), sb = std::sin(b);
    const float m[16] = {
        cb, sa * sb, -ca * sb, 0.0f,  // column 0
        0.0f, ca, sa, 0.0f,           // column 1
        sb, -cb * sa, ca * cb, 0.0f,  // column 2
        0.0f, 0.0f, 0.0f, 1.0f,       // column 3
    };
    Ccamera* c = getCamera();
    for (int i = 0; i < 16; ++i) c->viewMatrix[i].store(m[i], relaxed);
}

Cmatrix4 getViewMatrix() {
    Ccamera* c = getCamera();
    Cmatrix4 m;
    for (int i = 0; i < 16; ++i) m.m[i] = c->viewMatrix[i].load(relaxed);
    return m;
}

void moveForward(float distance) {
    Ccamera* c = getCamera();
    // Backward row: indices 2, 6, 10.
    float b0 = c->viewMatrix[2].load(relaxed);
    float b1 = c->viewMatrix[6].load(relaxed);
    float b2 = c->viewMatrix[10].load(relaxed);
    c->x.fetch_sub(distance * b0, relaxed);
    if (flyMode.load(relaxed) == 1) c->y.fetch_sub(distance * b1, relaxed);
    c->z.fetch_sub(distance * b2, relaxed);
}

void moveSideways(float distance) {
    Ccamera* c = getCamera();
    // Right row: indices 0, 4, 8 (index 4 is always 0).
    float r0 = c->viewMatrix[0].load(relaxed);
    float r1 = c->viewMatrix[4].load(relaxed);
    float r2 = c->viewMatrix[8].load(relaxed);
    c->x.fetch_add(distance * r0, relaxed);
    if (flyMode.load(relaxed) == 1) c->y.fetch_add(distance * r1, relaxed);
    c->z.fetch_add(distance * r2, relaxed);
}

void toggleCrouch() {
    if (standing.load(relaxed) == 1) {
        standing.store(0, relaxed);
        outputText("crouch\n");
        eyeRaise.store(crouchingEyeRaise, relaxed);
    } else {
        standing.store(1, relaxed);
        eyeRaise.store(standingEyeRaise, relaxed);
    }
    Ccamera* c = getCamera();
    c->y.store(groundEyeHeight(c->x.load(relaxed), c->z.load(relaxed)), relaxed);
}

void followTerrain() {
    Ccamera* c = getCamera();
    float x = c->x.load(relaxed);
    float z = c->z.load(relaxed);
    // Only a clamped coordinate is written back, so a movement step taken
    // meanwhile by the movement thread is not undone. NaN counts as below 0.
    if (!(x >= 0.0f)) c->x.store(x = 0.0f, relaxed);
    else if (x > mapExtent) c->x.store(x = mapExtent, relaxed);
    if (!(z >= 0.0f)) c->z.store(z = 0.0f, relaxed);
    else if (z > mapExtent) c->z.store(z = mapExtent, relaxed);

    float eye = groundEyeHeight(x, z);
    float top = eye + hoverBand;
    float y = c->y.load(relaxed);
    if (y < eye) y = static_cast<float>(y + riseStep);
    else if (y > top) y = y + fallStep;
    if (!(y >= eye)) y = eye;  // also lifts a NaN height back onto the ground
    c->y.store(y, relaxed);

    if (printCameraXZ.load(relaxed)) outputPrintf("XZ %f %f\n", x, z);
}

void keepAboveGround() {
    Ccamera* c = getCamera();
    float eye = groundEyeHeight(c->x.load(relaxed), c->z.load(relaxed));
    float y = c->y.load(relaxed);
    // Only a height below the eye height is replaced, and only if no step
    // of the movement thread changed it meanwhile (that step is seen on the
    // next frame). NaN counts as below.
    while (!(y >= eye)) {
        if (c->y.compare_exchange_weak(y, eye, relaxed)) break;
    }
}

void applyView() {
    if (flyMode.load(relaxed) == 0) followTerrain();
    else keepAboveGround();
    Ccamera* c = getCamera();
    float vertical = c->verticalAngle.load(relaxed);
    float horizontal = c->horizontalAngle.load(relaxed);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    buildViewMatrix(vertical, horizontal);
    // Built from the two angles just read, so this frame's rotation is whole
    // even while the movement thread turns the camera.
    Cmatrix4 view = getViewMatrix();
    glLoadMatrixf(view.m);
    glTranslatef(-c->x.load(relaxed), -c->y.load(relaxed), -c->z.load(relaxed));
}
