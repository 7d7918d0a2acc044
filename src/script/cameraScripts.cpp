// cameraScripts.cpp -- the camera group of script functions.
//
// Provides: registerCameraGroup, registering in this order: setCameraLookAt,
// setCamera, setCameraPosition, setCameraLookAtAutoHeight,
// setCameraAutoHeight, setCameraPositionAutoHeight, getCameraPosition,
// getCameraHorizontalAngle, getCameraVerticalAngle, setCameraMoveSpeed.
// Thin adapters over camera/camera.h; every one that places the camera
// records the view as the home view (camera/homeView.h). Every argument is read (a script error
// when one is missing) before the camera is touched. Main thread only.
// Auto heights read the ground at x and z clamped into the terrain; the
// camera itself is put at the x and z given.
#include <lua.hpp>

#include "camera/camera.h"
#include "camera/homeView.h"
#include "script/scriptArgs.h"
#include "script/scriptFunctions.h"

namespace {
int scriptSetCameraLookAt(lua_State* L) {
    float eyeX = scriptNumber(L, 1), eyeY = scriptNumber(L, 2), eyeZ = scriptNumber(L, 3);
    float targetX = scriptNumber(L, 4), targetY = scriptNumber(L, 5), targetZ = scriptNumber(L, 6);
    lookAtPoint(eyeX, eyeY, eyeZ, targetX, targetY, targetZ);
    recordHomeView();
    return 0;
}

int scriptSetCamera(lua_State* L) {
    float x = scriptNumber(L, 1), y = scriptNumber(L, 2), z = scriptNumber(L, 3);
    float horizontal = scriptNumber(L, 4), vertical = scriptNumber(L, 5);
    setCameraAll(x, y, z, horizontal, vertical);
    recordHomeView();
    return 0;
}

int scriptSetCameraPosition(lua_State* L) {
    float x = scriptNumber(L, 1), y = scriptNumber(L, 2), z = scriptNumber(L, 3);
    setCameraPositionRaw(x, y, z);
    recordHomeView();
    return 0;
}

int scriptSetCameraLookAtAutoHeight(lua_State* L) {
    float eyeX = scriptNumber(L, 1), eyeZ = scriptNumber(L, 2);
    float targetX = scriptNumber(L, 3), targetZ = scriptNumber(L, 4);
    lookAtPoint(eyeX, groundEyeHeight(eyeX, eyeZ), eyeZ, targetX, groundEyeHeight(targetX, targetZ), targetZ);
    recordHomeView();
    return 0;
}

int scriptSetCameraAutoHeight(lua_State* L) {
    float x = scriptNumber(L, 1), z = scriptNumber(L, 2);
    float horizontal = scriptNumber(L, 3), vertical = scriptNumber(L, 4);
    setCameraAll(x, groundEyeHeight(x, z), z, horizontal, vertical);
    recordHomeView();
    return 0;
}

int scriptSetCameraPositionAutoHeight(lua_State* L) {
    float x = scriptNumber(L, 1), z = scriptNumber(L, 2);
    setCameraPositionRaw(x, groundEyeHeight(x, z), z);
    recordHomeView();
    return 0;
}

int scriptGetCameraPosition(lua_State* L) {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    getCameraPositionXYZ(x, y, z);
    pushScriptNumber(L, x);
    pushScriptNumber(L, y);
    pushScriptNumber(L, z);
    return 3;
}

int scriptGetCameraHorizontalAngle(lua_State* L) {
    pushScriptNumber(L, getCamera()->horizontalAngle.load(std::memory_order_relaxed));
    return 1;
}

int scriptGetCameraVerticalAngle(lua_State* L) {
    pushScriptNumber(L, getCamera()->verticalAngle.load(std::memory_order_relaxed));
    return 1;
}

// Any value, zero and negative included (a negative speed reverses the
// movement keys); without the camera lock.
int scriptSetCameraMoveSpeed(lua_State* L) {
    float speed = scriptNumber(L, 1);
    getCamera()->moveSpeed.store(speed, std::memory_order_relaxed);
    return 0;
}
}  // namespace

void registerCameraGroup(lua_State* L) {
    registerScriptFunction(L, "setCameraLookAt", scriptSetCameraLookAt);
    registerScriptFunction(L, "setCamera", scriptSetCamera);
    registerScriptFunction(L, "setCameraPosition", scriptSetCameraPosition);
    registerScriptFunction(L, "setCameraLookAtAutoHeight", scriptSetCameraLookAtAutoHeight);
    registerScriptFunction(L, "setCameraAutoHeight", scriptSetCameraAutoHeight);
    registerScriptFunction(L, "setCameraPositionAutoHeight", scriptSetCameraPositionAutoHeight);
    registerScriptFunction(L, "getCameraPosition", scriptGetCameraPosition);
    registerScriptFunction(L, "getCameraHorizontalAngle", scriptGetCameraHorizontalAngle);
    registerScriptFunction(L, "getCameraVerticalAngle", scriptGetCameraVerticalAngle);
    registerScriptFunction(L, "setCameraMoveSpeed", scriptSetCameraMoveSpeed);
}
