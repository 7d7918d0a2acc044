// platformInput.cpp -- keys, mouse buttons and the cursor.
//
// Keys pressed while the main window or its drawing area has the keyboard,
// and buttons pressed on the drawing area, go to the window procedure.
// A held key arrives from X11 as pairs of release and press both marked as
// auto-repeat: the presses act again, the releases are ignored.
//
// The cursor position is kept for the movement thread, which must not call
// Qt: the latest position lives in one atomic (x and y together, so a reader
// never sees half of a move). A set from any thread stores the new position
// at once and has the main thread move the real cursor; the move event that
// the warp itself produces is recognised and not counted as the user's.
// Writers: the main thread (mouse moves) and any thread (platformSetCursorPos).
#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/keyMap.h"
#include "platform/platform.h"
#include "platform/qtShell.h"

namespace {

uint64_t packPoint(int x, int y) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(x)) << 32) | static_cast<uint32_t>(y);
}
int pointX(uint64_t packed) { return static_cast<int32_t>(static_cast<uint32_t>(packed >> 32)); }
int pointY(uint64_t packed) { return static_cast<int32_t>(static_cast<uint32_t>(packed)); }

std::atomic<uint64_t> cursorPosition{0};  // latest position, including warps not yet on screen
std::atomic<uint64_t> warpTarget{0};      // where the real cursor is to be moved
std::atomic<bool> warpQueued{false};      // a warp waits for the main thread

// Main thread only.
bool haveEventPosition = false;
int lastEventX = 0, lastEventY = 0;  // position of the last move event
bool warpPending = false;            // the warp's own move event is still to come
int pendingWarpX = 0, pendingWarpY = 0;
int showCount = 0;                   // cursor shown while 0 or more
bool viewWantsBlank = false;         // the window procedure's last answer
bool viewBlank = false;              // what the drawing area shows now

bool onMainThread() { return shell.application && std::this_thread::get_id() == shell.mainThread; }

void applyViewCursor() {
    if (!shell.surface) return;
    bool blank = showCount < 0 || viewWantsBlank;
    if (blank == viewBlank) return;
    viewBlank = blank;
    shell.surface->setCursor(blank ? Qt::BlankCursor : Qt::ArrowCursor);
}

bool isKeyboardWindow(QObject* object) {
    if (!object || !object->isWindowType()) return false;
    if (object == shell.surface) return true;
    return shell.mainWindow && object == shell.mainWindow->windowHandle();
}

bool isModifierKey(int qtKey) {
    return qtKey == Qt::Key_Alt || qtKey == Qt::Key_Shift || qtKey == Qt::Key_Control || qtKey == Qt::Key_Meta ||
           qtKey == Qt::Key_AltGr;
}

int buttonNumber(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 3;
    default: return 0;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Cursor.

void platformGetCursorPos(int& x, int& y) {
    uint64_t packed = cursorPosition.load(std::memory_order_relaxed);
    x = pointX(packed);
    y = pointY(packed);
}

void platformSetCursorPos(int x, int y) {
    cursorPosition.store(packPoint(x, y), std::memory_order_relaxed);
    warpTarget.store(packPoint(x, y), std::memory_order_relaxed);
    if (onMainThread()) {
        warpQueued.store(false, std::memory_order_relaxed);
        shell.relay->applyCursorWarp();
        return;
    }
    // Another thread: one queued warp at a time; it moves to the latest target.
    // shell.relay is created with the application, before any other thread
    // of ours starts, and never changes.
    if (!warpQueued.exchange(true)) {
        QObject* relay = shell.relay;
        if (relay) QMetaObject::invokeMethod(relay, "applyCursorWarp", Qt::QueuedConnection);
        else warpQueued.store(false);
    }
}

void ShellRelay::applyCursorWarp() {
    warpQueued.store(false);
    uint64_t target = warpTarget.load(std::memory_order_relaxed);
    warpPending = true;
    pendingWarpX = pointX(target);
    pendingWarpY = pointY(target);
    QCursor::setPos(pendingWarpX, pendingWarpY);
}

void trackCursorMove(int globalX, int globalY) {
    if (warpPending && globalX == pendingWarpX && globalY == pendingWarpY) {
        // The move caused by our own warp: the position is already counted.
        warpPending = false;
        lastEventX = globalX;
        lastEventY = globalY;
        haveEventPosition = true;
        return;
    }
    if (!haveEventPosition) {
        haveEventPosition = true;
        lastEventX = globalX;
        lastEventY = globalY;
        cursorPosition.store(packPoint(globalX, globalY), std::memory_order_relaxed);
        return;
    }
    // The user's travel since the last event, added to the latest position
    // (which may already be a warp target the screen has not reached yet).
    int dx = globalX - lastEventX;
    int dy = globalY - lastEventY;
    lastEventX = globalX;
    lastEventY = globalY;
    uint64_t current = cursorPosition.load(std::memory_order_relaxed);
    while (!cursorPosition.compare_exchange_weak(current, packPoint(pointX(current) + dx, pointY(current) + dy),
                                                 std::memory_order_relaxed)) {
    }
}

void updateViewCursor() {
    viewWantsBlank = deliverMessage(messageSetCursor) != 0;
    applyViewCursor();
}

void platformShowCursor(bool show) {
    showCount += show ? 1 : -1;
    applyViewCursor();
}

// ---------------------------------------------------------------------------
// Events.

bool ShellEventFilter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        if (!isKeyboardWindow(watched)) break;
        // An open menu or a modal dialog takes the keys itself.
        if (QApplication::activePopupWidget() || QApplication::activeModalWidget()) break;
        auto* key = static_cast<QKeyEvent*>(event);
        int code = virtualKeyFromQtKey(key->key(), key->modifiers() & Qt::KeypadModifier);
        if (code >= 0) {
            if (event->type() == QEvent::KeyPress) deliverMessage(messageKeyDown, code);
            else if (!key->isAutoRepeat()) deliverMessage(messageKeyUp, code);
        }
        // Modifier keys also go on to Qt, which opens the menus with Alt.
        return !isModifierKey(key->key());
    }
    case QEvent::MouseMove: {
        if (!watched->isWindowType()) break;
        auto* mouse = static_cast<QMouseEvent*>(event);
        QPoint global = mouse->globalPosition().toPoint();
        trackCursorMove(global.x(), global.y());
        if (watched == shell.surface) updateViewCursor();
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: {
        if (watched != shell.surface) break;
        auto* mouse = static_cast<QMouseEvent*>(event);
        int button = buttonNumber(mouse->button());
        if (button == 0) break;
        QPoint global = mouse->globalPosition().toPoint();
        trackCursorMove(global.x(), global.y());
        if (event->type() == QEvent::MouseButtonPress && shell.container) {
            shell.container->setFocus(Qt::MouseFocusReason);
        }
        qreal ratio = shell.surface->devicePixelRatio();
        QPointF position = mouse->position() * ratio;
        deliverMessage(event->type() == QEvent::MouseButtonPress ? messageButtonDown : messageButtonUp, button,
                       qRound(position.x()), qRound(position.y()));
        updateViewCursor();
        return true;
    }
    default:
        break;
    }
    return false;
}
