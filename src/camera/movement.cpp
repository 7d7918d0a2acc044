// movement.cpp -- the movement thread: mouse look and movement keys; see
// movement.h.
//
// The thread sleeps on a condition variable for 16 ms between passes, so a
// stop request wakes it at once. It is stopped and joined from an atexit
// handler registered when it starts (before any later static destructor
// runs), so a process that exits with the thread running ends cleanly.
#include "camera/movement.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "controls/controlState.h"
#include "camera/camera.h"
#include "platform/platform.h"

namespace {
constexpr std::chrono::milliseconds passInterval{16};
constexpr std::memory_order relaxed = std::memory_order_relaxed;

enum MovementKey { keyA = 0x41, keyD = 0x44, keyS = 0x53, keyW = 0x57 };

// Owned by the main thread: the thread object and the stop request. The
// thread reads stopRequested under threadMutex.
std::mutex threadMutex;
std::condition_variable threadWake;
bool stopRequested = false;
std::thread* movementThread = nullptr;  // never freed; null while not running
bool exitHandlerRegistered = false;

bool held(int key) { return keyState[key].load(relaxed) != 0; }

void movementThreadMain() {
    std::unique_lock<std::mutex> guard(threadMutex);
    while (!stopRequested) {
        guard.unlock();
        cameraControlStep();
        guard.lock();
        threadWake.wait_for(guard, passInterval, [] { return stopRequested; });
    }
}

void stopAtExit() { stopMovementThread(); }
}  // namespace

void startMovementThread() {
    if (movementThread) return;
    createCamera();  // the thread must never be the one to build it
    {
        std::lock_guard<std::mutex> guard(threadMutex);
        stopRequested = false;
    }
    movementThread = new std::thread(movementThreadMain);
    if (!exitHandlerRegistered) {
        exitHandlerRegistered = true;
        std::atexit(stopAtExit);
    }
}

void stopMovementThread() {
    if (!movementThread) return;
    {
        std::lock_guard<std::mutex> guard(threadMutex);
        stopRequested = true;
    }
    threadWake.notify_all();
    if (movementThread->joinable()) movementThread->join();
    delete movementThread;
    movementThread = nullptr;
}

void cameraControlStep() {
    if (cameraLocked.load(relaxed) != 0) return;
    mouseLook();
    keyMovement();
}

void mouseLook() {
    if (leftButtonDown.load(relaxed) == 0 && lookMode.load(relaxed) == 0 && menusHidden.load(relaxed) == 0)
        return;
    int cursorX = 0, cursorY = 0;
    platformGetCursorPos(cursorX, cursorY);
    int centreX = lookCentreX.load(relaxed);
    int centreY = lookCentreY.load(relaxed);
    if (cursorX == centreX && cursorY == centreY) return;
    platformSetCursorPos(centreX, centreY);
    float dx = static_cast<float>(cursorX - centreX);
    float dy = static_cast<float>(cursorY - centreY);  // screen y grows downwards

    Ccamera* c = getCamera();
    float sensitivity = c->mouseSensitivity;
    float vertical = c->verticalAngle.load(relaxed);
    // Beyond straight up or down (only a script can put it there) the view
    // is upside down, so the turn is reversed until the clamp below.
    bool upsideDown = (vertical > 90.0f && vertical < 270.0f) || (vertical > -270.0f && vertical < -90.0f);
    float turn = dx * sensitivity;
    c->horizontalAngle.fetch_add(upsideDown ? -turn : turn, relaxed);

    vertical += dy * sensitivity;
    if (vertical > 90.0f) vertical = 90.0f;
    if (vertical < -90.0f) vertical = -90.0f;
    c->verticalAngle.store(vertical, relaxed);
}

void keyMovement() {
    Ccamera* c = getCamera();
    if (held(keyUp) || held(keyW)) moveForward(c->moveSpeed.load(relaxed));
    if (held(keyDown) || held(keyS)) moveForward(-c->moveSpeed.load(relaxed));
    if (held(keyLeft) || held(keyA)) moveSideways(-c->moveSpeed.load(relaxed));
    if (held(keyRight) || held(keyD)) moveSideways(c->moveSpeed.load(relaxed));
}
