// qtShell.h -- the Qt objects behind platform.h; included only by the files
// of src/platform/ (and the tests of the Qt side).
//
// Provides: shell (the one record of the application's Qt objects),
// ensureApplication, deliverMessage, ShellMainWindow, DrawingSurface,
// ShellRelay, ShellEventFilter, and the helpers the platform files share.
// Everything here lives on the main thread. Other threads touch only the
// cursor atomics of platformInput.cpp and the console's pending text of
// platformConsole.cpp (under its mutex), and read application, mainThread
// and relay, which are set before any other thread of the program starts;
// they reach the main thread through ShellRelay's queued slots.
#pragma once

#include <QMainWindow>
#include <QObject>
#include <QWindow>

#include <map>
#include <thread>

#include "platform/platform.h"

class QAction;
class QActionGroup;
class QApplication;
class QLabel;
class QMenu;
class QMenuBar;
class QOpenGLContext;
class QPlainTextEdit;
class QStatusBar;
class QWidget;

// The main window: closing it is a request handed to the window procedure.
class ShellMainWindow : public QMainWindow {
    Q_OBJECT
public:
    using QMainWindow::QMainWindow;

protected:
    void closeEvent(QCloseEvent* event) override;
};

// The OpenGL drawing area, embedded in the main window with
// QWidget::createWindowContainer.
class DrawingSurface : public QWindow {
    Q_OBJECT
public:
    DrawingSurface();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void exposeEvent(QExposeEvent* event) override;
};

// Receives calls queued from other threads (cursor moves, console text);
// they name their slot, so no data of ours crosses threads inside Qt.
class ShellRelay : public QObject {
    Q_OBJECT
public slots:
    void applyCursorWarp();
    void flushConsole();
};

// Application-wide filter: keys for the main window and the drawing area,
// mouse moves over any of our windows, buttons on the drawing area.
class ShellEventFilter : public QObject {
    Q_OBJECT
public:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

struct ShellState {
    // Set once, before any other thread of the program starts.
    QApplication* application = nullptr;
    std::thread::id mainThread;
    ShellRelay* relay = nullptr;
    ShellEventFilter* eventFilter = nullptr;
    WindowProcedure procedure = nullptr;

    ShellMainWindow* mainWindow = nullptr;
    DrawingSurface* surface = nullptr;
    QWidget* container = nullptr;  // the drawing area's widget in the main window
    QOpenGLContext* context = nullptr;
    bool fullScreen = false;

    QMenuBar* menuBar = nullptr;  // kept while detached
    QMenu* currentMenu = nullptr;
    bool menuBarAttached = false;
    QSize barsTargetSize;  // window size asked for by the last bar change; invalid once reached
    std::map<int, QAction*> menuActions;
    std::map<int, QActionGroup*> radioGroups;

    QStatusBar* statusBar = nullptr;
    QLabel* statusLabel = nullptr;

    QPlainTextEdit* console = nullptr;

    bool quitPosted = false;
    int quitCode = 0;
    unsigned long messagesDelivered = 0;  // messages handed to the window procedure so far
};

extern ShellState shell;

// Creates the application object on first use; false when no display exists.
bool ensureApplication();

// Hands a message to the window procedure (0 when none is set).
int deliverMessage(int message, int a = 0, int b = 0, int c = 0);

// Moves the widget so that its frame's centre is the centre of the main
// window's frame (of the screen when there is no main window).
void centreOverMainWindow(QWidget* widget);

// Cursor bookkeeping of platformInput.cpp, called from the event filter.
void trackCursorMove(int globalX, int globalY);
void updateViewCursor();
