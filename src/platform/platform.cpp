// platform.cpp -- placeholder platform layer used until the Qt shell exists:
// message boxes print their text, there is no window and no cursor.
#include "platform/platform.h"

#include <EGL/egl.h>

#include <atomic>

#include "util/output.h"

namespace {
std::atomic<int> cursorX{0};
std::atomic<int> cursorY{0};
}

int platformMessageBox(const char* text, const char* caption, int buttons, bool) {
    outputPrintf("[%s] %s\n", caption ? caption : "", text ? text : "");
    return buttons == platformYesNo ? platformAnswerNo : platformAnswerOk;
}

void* platformGetProcAddress(const char* name) {
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

void platformSetTitle(const char*) {}

void platformGetCursorPos(int& x, int& y) {
    x = cursorX.load(std::memory_order_relaxed);
    y = cursorY.load(std::memory_order_relaxed);
}

void platformSetCursorPos(int x, int y) {
    cursorX.store(x, std::memory_order_relaxed);
    cursorY.store(y, std::memory_order_relaxed);
}
