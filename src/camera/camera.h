// camera.h -- the single camera: position, angles, view transform, frustum.
//
// Provides: Ccamera, camera, the camera globals, createCamera, getCamera,
// the position and angle setters and getters, groundEyeHeight, lookAtPoint,
// moveForward, moveSideways, toggleCrouch, followTerrain, applyView.
// Threads: the main thread renders, runs scripts and menus; the movement
// thread turns and moves the camera every 16 ms. Position and angles are
// atomics, read and written whole, so the two threads never race.
// (Placeholder until the camera lands: the interface below is fixed.)
#pragma once

#include <atomic>

#include "math/vector.h"

class Ccamera {
public:
    std::atomic<float> x{0.0f}, y{0.0f}, z{0.0f};
    std::atomic<float> horizontalAngle{0.0f};  // degrees; 0 looks along -z, + turns to +x
    std::atomic<float> verticalAngle{0.0f};    // degrees; + looks down
    float frustum[6][4] = {};  // right, left, bottom, top, far, near; main thread only
};

extern Ccamera* camera;  // created by createCamera at scene set-up

extern std::atomic<int> flyMode;       // 1: fly, 0: walk and follow the terrain
extern std::atomic<int> printCameraXZ; // Z key: print "XZ %f %f" each frame

void createCamera();
Ccamera* getCamera();

void getCameraPositionXYZ(float& x, float& y, float& z);
void setCameraPositionRaw(float x, float y, float z);
void setCameraAll(float x, float y, float z, float horizontal, float vertical);
void setMoveSpeedLocked(float speed);
float getMoveSpeed();

float groundEyeHeight(float x, float z);
void lookAtPoint(float eyeX, float eyeY, float eyeZ, float targetX, float targetY, float targetZ);
void moveForward(float distance);
void moveSideways(float distance);
void toggleCrouch();
void followTerrain();

// Per frame, right after the clear: terrain following unless flying, then
// the view transform into the modelview matrix.
void applyView();
