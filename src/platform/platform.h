// platform.h -- the one boundary between Morvista and the window system.
//
// Provides: the toolkit-free calls the rest of the program makes on the
// window system, the OpenGL context, the cursor and message boxes.
// Only src/platform/ includes Qt or SDL headers; everything else calls these.
// Every call here must be made on the main thread, except the two cursor
// calls, which the movement thread uses (they are thread-safe).
#pragma once

// Message box buttons and results.
enum PlatformButtons { platformOk = 0, platformYesNo = 1 };
enum PlatformAnswer { platformAnswerOk = 1, platformAnswerYes = 6, platformAnswerNo = 7 };

// Shows a modal message box and returns when it is closed. With
// ownedByMainWindow the box is centred over the main window (when one
// exists); otherwise it has no owner. A question icon is shown for yes/no.
int platformMessageBox(const char* text, const char* caption, int buttons, bool ownedByMainWindow);

// Address of an OpenGL entry point in the current context (null if none).
void* platformGetProcAddress(const char* name);

// Sets the main window's title (nothing when there is no window).
void platformSetTitle(const char* text);

// Cursor position in screen coordinates. Thread-safe: the main thread keeps
// the latest position; a set from another thread takes effect for readers
// at once and moves the real cursor on the main thread soon after.
void platformGetCursorPos(int& x, int& y);
void platformSetCursorPos(int x, int y);
