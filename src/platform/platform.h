// platform.h -- the one boundary between Morvista and the window system.
//
// Provides: the toolkit-free calls the rest of the program makes on the
// window system: the application and its event queue, the main window with
// its drawing area and OpenGL context, menus, the status bar, the console
// window, message boxes, dialogs, file and colour choosers, and the cursor.
// Only src/platform/ includes Qt or SDL headers; everything else calls these.
//
// Threads: every call here must be made on the main thread, except
// platformGetCursorPos and platformSetCursorPos, which the movement thread
// uses (they are thread-safe), and platformGetProcAddress, which only needs
// a current context on the calling thread.
//
// The application object is created lazily, on the first call that needs a
// window or a message box, so scripts that never open one run without a
// display. Calls that need a window do nothing while none exists.
#pragma once

#include <string>

// ---------------------------------------------------------------------------
// Messages the platform delivers to the program's window procedure (set with
// platformSetWindowProcedure). All arrive on the main thread, from inside
// platformPollEvents or a modal dialog's event loop.
enum PlatformMessage {
    messageCreate,      // the main window was created
    messageSize,        // drawing area resized: a = width, b = height (pixels)
    messageClose,       // the user asked to close the main window
    messageCommand,     // menu command: a = identifier
    messageKeyDown,     // a = virtual-key code (also for auto-repeated presses)
    messageKeyUp,       // a = virtual-key code (never for auto-repeat)
    messageButtonDown,  // a = button (1 left, 2 right, 3 middle), b, c = x, y in the drawing area
    messageButtonUp,    // as messageButtonDown
    messageSetCursor,   // cursor moved over the drawing area: return 1 to blank it, 0 for the arrow
    messageFocusLost,   // the main window lost the keyboard: held keys are released
};

using WindowProcedure = int (*)(int message, int a, int b, int c);
void platformSetWindowProcedure(WindowProcedure procedure);

// ---------------------------------------------------------------------------
// Application, screen and event queue.

// True when a display can be opened (the application may then be created).
// An X display named by DISPLAY is tried once (and the answer kept): one
// that cannot be reached counts as no display.
bool platformDisplayAvailable();
// Why platformDisplayAvailable is false: "cannot open the display NAME", or
// that DISPLAY is not set. "" while a display is available.
std::string platformDisplayProblem();

// Unattended runs. In batch mode no message box or dialog waits for anyone:
// a box's caption and text go to standard error and its default answer is
// taken at once (Ok, Yes for a question whose default button is Yes); a
// modal dialog is not shown and answers 2 (Cancel). Headless (implies
// batch) needs no display at all: Qt's offscreen platform holds the
// windows, which have no pixels, and the drawing area renders into an EGL
// pbuffer of its own size (surfaceless Mesa), so drawing, reading back and
// screenshots work as in a window. Both are set before the first window
// or box.
void platformSetBatchMode(bool batch);
bool platformBatchMode();
void platformSetHeadless(bool headless);
bool platformHeadless();

// Size of the primary screen in pixels; false when it cannot be read.
bool platformScreenSize(int& width, int& height);

enum PlatformPoll { platformPollIdle, platformPollHandled, platformPollQuit };

// Handles every event that is waiting, without ever waiting for one.
// Returns platformPollQuit (and the code) when a quit was posted — the quit is
// taken off the queue — platformPollHandled when a message reached the
// window procedure, and platformPollIdle otherwise: repaints and other work
// of the window system alone (console lines, status text, titles) leave
// the step idle.
PlatformPoll platformPollEvents(int& quitCode);

// Queues a quit; the next platformPollEvents returns it.
void platformPostQuit(int code);

// Ends the process at once with the code, after flushing standard output.
[[noreturn]] void platformExitProcess(int code);

// ---------------------------------------------------------------------------
// Main window and drawing area.

// Opens the main window: a drawing area of width x height pixels, centred on
// the screen (windowed), or covering the screen (fullScreen). objectName is
// the window's class name. Returns false when no window can be opened.
bool platformCreateMainWindow(const char* title, int width, int height, bool fullScreen,
                              const char* objectName);
bool platformHasMainWindow();
void platformHideMainWindow();
// Keeps the window's size and puts its centre at the centre of the screen.
void platformCentreMainWindow();
// Outer rectangle of the main window in screen coordinates.
void platformGetWindowRect(int& x, int& y, int& width, int& height);
// Size of the drawing area in pixels (0 x 0 without a window).
void platformGetClientSize(int& width, int& height);
// Sets the main window's title (nothing when there is no window).
void platformSetTitle(const char* text);

// ---------------------------------------------------------------------------
// OpenGL context of the drawing area: compatibility profile, double
// buffered, RGBA 8-8-8-8, depth 24 or more, no stencil, swap interval 0.

// Creates the context and makes it current; false when that fails.
bool platformCreateGlContext();
bool platformHasGlContext();
// Makes the context current on the drawing area (each frame starts so).
void platformMakeCurrent();
// Presents the back buffer (only while the drawing area is on screen).
void platformSwapBuffers();
// Makes no context current and deletes the context.
void platformReleaseGlContext();
// Address of an OpenGL entry point in the current context (null if none).
// Falls back to EGL when no window context is current (tests).
void* platformGetProcAddress(const char* name);

// ---------------------------------------------------------------------------
// Menu bar. Built once item by item; a command reaches the window procedure
// as messageCommand after the menu has closed. The marks shown are the ones
// set here: the platform never changes a mark by itself.

void platformClearMenuBar();
void platformAddMenu(const char* title);  // later items go into this menu
// radioGroup 0: a plain item with a check mark; otherwise items sharing the
// number show radio marks (at most one of them marked).
void platformAddMenuItem(int identifier, const char* text, int radioGroup);
void platformSetMenuItemChecked(int identifier, bool checked);
// Attaches (shows) or detaches (hides) the menu bar. In a normal window the
// drawing area keeps its size: the window grows or shrinks around it.
void platformSetMenuBarAttached(bool attached);

// ---------------------------------------------------------------------------
// Status bar at the bottom of the main window (drawing area keeps its size,
// as for the menu bar).

void platformCreateStatusBar();
void platformDestroyStatusBar();
int platformStatusBarHeight();  // 0 when none exists
// False while the window has not yet taken the size the last menu or status
// bar change asked for: until then the drawing area shows the bars' space
// for a moment (a screenshot waits for this).
bool platformBarsSettled();
void platformSetStatusBarText(const char* text);

// ---------------------------------------------------------------------------
// Console: a separate top-level text window titled "Console" showing every
// line printed from its creation on. Creating it again replaces it.

void platformCreateConsole();
void platformDestroyConsole();
bool platformHasConsole();
// Shows the console above the other windows (nothing when there is none).
void platformRaiseConsole();

// ---------------------------------------------------------------------------
// Cursor.

// Cursor position in screen coordinates. Thread-safe: the main thread keeps
// the latest position; a set from another thread takes effect for readers
// at once and moves the real cursor on the main thread soon after. The move
// that the set itself causes is not counted as a move of the user.
void platformGetCursorPos(int& x, int& y);
void platformSetCursorPos(int x, int y);
// Show/hide counter: the cursor is hidden over the drawing area while the
// count is below 0 (it starts at 0). Each call moves the count by one.
void platformShowCursor(bool show);

// ---------------------------------------------------------------------------
// Message boxes.

enum PlatformButtons { platformOk = 0, platformYesNo = 1 };
enum PlatformAnswer { platformAnswerOk = 1, platformAnswerYes = 6, platformAnswerNo = 7 };

// Shows a modal message box and returns when it is closed. With
// ownedByMainWindow the box is centred over the main window (when one
// exists); otherwise it has no owner. A question icon is shown for yes/no.
// Without a display the text is printed and the default answer returned
// (Ok, or No for a question). In batch mode see platformSetBatchMode.
int platformMessageBox(const char* text, const char* caption, int buttons, bool ownedByMainWindow);

// ---------------------------------------------------------------------------
// Dialogs built from templates in dialog units (a quarter of the average
// character width across, an eighth of the character height down), centred
// over the main window. Buttons 1 (OK, the default button) and 2 (Cancel;
// also Escape and the close box) and any other button send dialogCommand;
// a change of an edit field sends dialogFieldChanged.

enum DialogControlKind {
    controlLabel,    // static text
    controlTitle,    // static text in a large bold font
    controlEdit,     // one-line edit field
    controlButton,   // push button
    controlPicture,  // the program's picture (about box)
    controlSwatch,   // colour swatch painted at fixed client pixels (see below)
};

struct DialogControl {
    DialogControlKind kind;
    int identifier;  // -1 for controls the procedure never addresses
    const char* text;
    int x, y, width, height;  // dialog units
};

struct DialogTemplate {
    const char* caption;
    int width, height;  // dialog units
    const DialogControl* controls;
    int controlCount;
};

enum DialogMessage { dialogInit, dialogCommand, dialogFieldChanged };

struct PlatformDialog;  // one open dialog
using DialogProcedure = void (*)(PlatformDialog* dialog, int message, int identifier);

// Runs the dialog modally; returns the code given to platformEndDialog
// (2 when closed otherwise). -1 without a window system; 2 at once in batch
// mode (nothing is changed).
int platformRunModalDialog(const DialogTemplate& dialogTemplate, DialogProcedure procedure);
// Opens the dialog without blocking; several may be open at once.
void platformShowModelessDialog(const DialogTemplate& dialogTemplate, DialogProcedure procedure);
void platformEndDialog(PlatformDialog* dialog, int result);
void platformSetDialogItemText(PlatformDialog* dialog, int identifier, const char* text);
std::string platformGetDialogItemText(PlatformDialog* dialog, int identifier);
// Message box owned by (and centred over) the dialog.
void platformDialogMessageBox(PlatformDialog* dialog, const char* text, const char* caption);
// The swatch control fills client pixels x 201-230, y 16-28 with the colour
// (each component 0-255) inside a black frame on x 200-231, y 15-29.
void platformSetSwatchColour(PlatformDialog* dialog, int red, int green, int blue);

// System colour chooser with no owner, starting at rgb; customColours (16
// colours, 0-255 each) are shown and kept. False when cancelled.
bool platformChooseColour(int rgb[3], int customColours[16][3]);

// Open-file dialog over the main window with the filters "Script LUA Files
// (*.LUA)" and "All Files (*.*)". path holds the previous choice on entry
// and the chosen file on success; false when cancelled.
bool platformOpenScriptDialog(std::string& path);
