// camera.h -- the single camera: position, angles, view transform, frustum.
//
// Provides: Ccamera, camera, the camera globals (flyMode, standing,
// eyeRaise, fallStep, initialMoveSpeed, printCameraXZ), createCamera,
// getCamera, the position and angle setters and getters, setMoveSpeedLocked,
// getMoveSpeed, groundEyeHeight, lookAtPoint, buildViewMatrix,
// getViewMatrix, moveForward, moveSideways, toggleCrouch, followTerrain,
// keepAboveGround, applyView.
//
// Threads: the main thread renders (applyView, followTerrain, extractFrustum),
// runs scripts, menus and dialogs; the movement thread (movement.h) turns the
// camera and calls moveForward / moveSideways every 16 ms. Everything both
// threads touch is an atomic read and written whole: position, angles,
// viewMatrix, moveSpeed, flyMode, standing, eyeRaise. No reader relies on
// seeing several of them from one update. `lock` is held only by
// setCameraAll and setMoveSpeedLocked. The frustum planes are main thread only.
//
// Angles are degrees. horizontalAngle 0 looks along -z and grows towards +x,
// never wrapped; verticalAngle 0 is level and grows downwards.
#pragma once

#include <atomic>
#include <mutex>

#include "math/vector.h"

class Ccamera {
public:
    // Eye position in world units.
    std::atomic<float> x{0.0f}, y{0.0f}, z{0.0f};
    std::atomic<float> horizontalAngle{0.0f};  // degrees; 0 looks along -z, + turns to +x
    std::atomic<float> verticalAngle{0.0f};    // degrees; + looks down, - looks up
    // Rotation part of the view transform, column-major, rebuilt every frame
    // by applyView on the main thread and read by moveForward / moveSideways
    // on the movement thread: one atomic per element. Read it whole with
    // getViewMatrix.
    std::atomic<float> viewMatrix[16];
    float mouseSensitivity = 0.15f;          // degrees per pixel of mouse look; never changed
    std::atomic<float> moveSpeed{0.8f};      // world units per movement step
    float fieldOfView = 45.0f;               // vertical, degrees; never changed
    float frustum[6][4] = {};  // right, left, bottom, top, far, near; main thread only
    std::mutex lock;           // held by setCameraAll and setMoveSpeedLocked only

    Ccamera();
    Ccamera(const Ccamera&) = delete;
    Ccamera& operator=(const Ccamera&) = delete;
};

// The camera; created by createCamera at scene set-up and never released.
// Written once on the main thread before the movement thread starts.
extern Ccamera* camera;

// Camera switches. Written on the main thread (menus, keys, scripts); flyMode
// is also read by the movement thread.
extern std::atomic<int> flyMode;         // 1: fly, 0: walk and follow the terrain; initially 0
extern std::atomic<int> standing;        // 1 standing, 0 crouching; initially 1
extern std::atomic<float> eyeRaise;      // 4 standing, 0 crouching
extern float fallStep;                   // -0.6: height change per frame while high above ground
extern float initialMoveSpeed;           // 0.8: moveSpeed of a new camera
extern std::atomic<int> printCameraXZ;   // Z key: print "XZ %f %f" each frame; initially 0

// Builds the camera once (later calls do nothing).
void createCamera();
// The camera, built on first use when scene set-up has not built it yet.
Ccamera* getCamera();

// Position copies and writes without the lock.
void getCameraPositionXYZ(float& x, float& y, float& z);

// The camera position as this frame drew it: copied by the frame driver at
// the start of each frame and again by the terrain frame after terrain
// following. Main thread only.
extern float frameCameraX, frameCameraY, frameCameraZ;
void setCameraPositionRaw(float x, float y, float z);
// Position and both angles under the camera lock.
void setCameraAll(float x, float y, float z, float horizontal, float vertical);
// moveSpeed under the camera lock (the camera speed dialog).
void setMoveSpeedLocked(float speed);
float getMoveSpeed();

// Eye height over grid point (x, z) of the brute-force terrain: the ground
// sample + eyeRaise + 4, so 8 standing and 4 crouching. x and z are clamped
// into [0, mapExtent] and into the loaded grid before the read; an empty grid
// counts as ground 0.
float groundEyeHeight(float x, float z);

// Puts the eye at eye and turns it towards target about the vertical axis;
// the camera is left level (vertical angle 0). When eye and target share x
// and z the horizontal angle is kept.
void lookAtPoint(float eyeX, float eyeY, float eyeZ, float targetX, float targetY, float targetZ);

// Rotation Rx(vertical) * Ry(horizontal), column-major, into the camera's
// viewMatrix. Its rows are the camera's right, up and backward axes.
void buildViewMatrix(float vertical, float horizontal);
// A copy of the camera's viewMatrix.
Cmatrix4 getViewMatrix();

// One step of signed length d along the view direction (the negated backward
// row of viewMatrix); the height changes only in fly mode.
void moveForward(float distance);
// One step of signed length d to the right (the right row of viewMatrix).
void moveSideways(float distance);
// Standing <-> crouching; prints "crouch\n" when crouching; puts the eye at
// groundEyeHeight at once (walk and fly mode).
void toggleCrouch();
// Walk mode, once a frame: clamp x and z to the terrain, rise 0.1 while below
// the eye height, fall 0.6 while more than 3 above it, never end below it.
void followTerrain();

// Fly mode, once a frame: an eye below groundEyeHeight (over the nearest
// grid point, also off the map) is lifted to it, so flying never goes
// under the terrain. x and z are left alone.
void keepAboveGround();

// Per frame, right after the clear: terrain following when walking, the
// ground limit of keepAboveGround when flying, then the view transform into the modelview matrix (leaves GL_MODELVIEW current).
void applyView();
