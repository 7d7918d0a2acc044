// platform.cpp -- the application object, the event queue, the main window
// with its drawing area and OpenGL context, and message boxes, on Qt 6.
//
// The drawing area is a QWindow with our own QOpenGLContext, embedded in a
// QMainWindow with QWidget::createWindowContainer; the program draws into it
// whenever no event is waiting and presents each frame itself. Headless, the
// windows are on Qt's offscreen platform and the context is an EGL one of
// Mesa's surfaceless platform, drawing into a pbuffer that follows the
// drawing area's size (the same Mesa drivers as in a window; the pbuffer's
// one colour buffer is its back buffer, which is what screenshots read).
// Main thread only (platformGetProcAddress: any thread with a current context).
#include "platform/platform.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <xcb/xcb.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QOpenGLContext>
#include <QResizeEvent>
#include <QScreen>
#include <QSurfaceFormat>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/qtShell.h"
#include "util/output.h"

ShellState shell;

namespace {

bool isOurWindow(QWindow* window) {
    if (!window) return false;
    if (window == shell.surface) return true;
    return shell.mainWindow && window == shell.mainWindow->windowHandle();
}

QString titleText(const char* text) {
    // "[*]" is Qt's placeholder for the modified mark; doubled it is shown as is.
    QString title = QString::fromUtf8(text ? text : "");
    title.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    return title;
}

QSurfaceFormat drawingFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setAlphaBufferSize(8);
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(0);
    format.setSwapInterval(0);
    return format;
}

// Handles events until the drawing area is on screen (or two seconds pass,
// e.g. when a window manager keeps the window minimised).
void waitUntilExposed() {
    auto start = std::chrono::steady_clock::now();
    while (shell.surface && !shell.surface->isExposed()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(2)) break;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Application and event queue.

namespace {

bool batchMode = false;
bool headlessMode = false;

const char* environmentText(const char* name) {
    const char* value = getenv(name);
    return value && *value ? value : nullptr;
}

// Qt would take the X display named by DISPLAY (no Wayland display and no
// other platform asked for): true when so.
bool usesXDisplay() {
    const char* platform = environmentText("QT_QPA_PLATFORM");
    if (platform) return strncmp(platform, "xcb", 3) == 0;
    return environmentText("DISPLAY") && !environmentText("WAYLAND_DISPLAY");
}

// 1 reachable, 0 not, -1 not tried yet. Qt ends the process with an abort
// when its display cannot be opened, so the display is tried first.
int xDisplayReachable = -1;

// The headless rendering context (unused in a window).
struct HeadlessGl {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLConfig config = nullptr;
    EGLContext context = EGL_NO_CONTEXT;
    EGLSurface surface = EGL_NO_SURFACE;
    int width = 0, height = 0;  // of the pbuffer
};
HeadlessGl headless;

bool openHeadlessDisplay() {
    if (headless.display != EGL_NO_DISPLAY) return true;
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) return false;
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) return false;
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8,
                                       EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8, EGL_DEPTH_SIZE, 24,
                                       EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(display, configAttributes, &headless.config, 1, &count) || count < 1) return false;
    headless.display = display;
    return true;
}

// Makes the headless context current on a pbuffer of the drawing area's
// size, making a new pbuffer when the size changed.
bool makeHeadlessCurrent() {
    if (headless.context == EGL_NO_CONTEXT) return false;
    int width = 0, height = 0;
    platformGetClientSize(width, height);
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    if (headless.surface == EGL_NO_SURFACE || width != headless.width || height != headless.height) {
        EGLSurface old = headless.surface;
        const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
        EGLSurface surface = eglCreatePbufferSurface(headless.display, headless.config, surfaceAttributes);
        if (surface == EGL_NO_SURFACE) return false;
        if (!eglMakeCurrent(headless.display, surface, surface, headless.context)) {
            eglDestroySurface(headless.display, surface);
            return false;
        }
        if (old != EGL_NO_SURFACE) eglDestroySurface(headless.display, old);
        headless.surface = surface;
        headless.width = width;
        headless.height = height;
        return true;
    }
    return eglMakeCurrent(headless.display, headless.surface, headless.surface, headless.context) == EGL_TRUE;
}

bool createHeadlessContext() {
    if (headless.context != EGL_NO_CONTEXT) return makeHeadlessCurrent();
    if (!openHeadlessDisplay() || !eglBindAPI(EGL_OPENGL_API)) return false;
    // No version asked for: the highest compatibility profile, as the
    // window's context gets.
    headless.context = eglCreateContext(headless.display, headless.config, EGL_NO_CONTEXT, nullptr);
    if (headless.context == EGL_NO_CONTEXT) return false;
    if (makeHeadlessCurrent()) return true;
    eglDestroyContext(headless.display, headless.context);
    headless.context = EGL_NO_CONTEXT;
    return false;
}

void releaseHeadlessContext() {
    if (headless.context == EGL_NO_CONTEXT) return;
    eglMakeCurrent(headless.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (headless.surface != EGL_NO_SURFACE) eglDestroySurface(headless.display, headless.surface);
    eglDestroyContext(headless.display, headless.context);
    headless.surface = EGL_NO_SURFACE;
    headless.context = EGL_NO_CONTEXT;
    headless.width = headless.height = 0;
}

bool xDisplayAnswers() {
    if (xDisplayReachable < 0) {
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        xDisplayReachable = connection && !xcb_connection_has_error(connection) ? 1 : 0;
        if (connection) xcb_disconnect(connection);
    }
    return xDisplayReachable == 1;
}

// Qt's own messages, less the offscreen platform's remark on every resize
// of a window (it keeps no size hints: nothing is lost).
QtMessageHandler qtMessages = nullptr;
void headlessMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("does not support propagateSizeHints"))) return;
    if (qtMessages) qtMessages(type, context, message);
}

}  // namespace

void platformSetBatchMode(bool batch) { batchMode = batch; }
bool platformBatchMode() { return batchMode || headlessMode; }
void platformSetHeadless(bool headless) { headlessMode = headless; }
bool platformHeadless() { return headlessMode; }

bool platformDisplayAvailable() {
    if (shell.application || headlessMode) return true;
    bool named = false;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (environmentText(name)) named = true;
    }
    if (!named) return false;
    return !usesXDisplay() || xDisplayAnswers();
}

std::string platformDisplayProblem() {
    if (platformDisplayAvailable()) return "";
    const char* display = environmentText("DISPLAY");
    if (display && usesXDisplay()) return std::string("cannot open the display ") + display;
    return "there is no display to open the window on (DISPLAY is not set)";
}

bool ensureApplication() {
    if (shell.application) return true;
    if (!platformDisplayAvailable()) return false;
    // Headless: the windows live on Qt's offscreen platform, which needs
    // no display; the drawing area's pixels come from our own EGL context.
    if (headlessMode) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        qtMessages = qInstallMessageHandler(headlessMessages);
    }
    // QApplication keeps references to these for its whole life.
    static int argc = 1;
    static char programName[] = "morvista";
    static char* argv[] = {programName, nullptr};
    shell.application = new QApplication(argc, argv);
    shell.mainThread = std::this_thread::get_id();
    // Qt adopts the user's locale; numbers printed and read by the program
    // and its scripts always use a decimal point.
    setlocale(LC_NUMERIC, "C");
    QApplication::setQuitOnLastWindowClosed(false);
    shell.relay = new ShellRelay;
    shell.eventFilter = new ShellEventFilter;
    shell.application->installEventFilter(shell.eventFilter);
    QObject::connect(shell.application, &QGuiApplication::focusWindowChanged, shell.relay, [](QWindow* window) {
        if (!isOurWindow(window)) deliverMessage(messageFocusLost);
    });
    return true;
}

void platformSetWindowProcedure(WindowProcedure procedure) { shell.procedure = procedure; }

int deliverMessage(int message, int a, int b, int c) {
    ++shell.messagesDelivered;
    return shell.procedure ? shell.procedure(message, a, b, c) : 0;
}

bool platformScreenSize(int& width, int& height) {
    width = height = 0;
    if (!ensureApplication()) return false;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return false;
    QSize size = screen->size();
    width = size.width();
    height = size.height();
    return width > 0 && height > 0;
}

PlatformPoll platformPollEvents(int& quitCode) {
    if (shell.quitPosted) {
        shell.quitPosted = false;
        quitCode = shell.quitCode;
        return platformPollQuit;
    }
    if (!shell.application) return platformPollIdle;
    // Only what reaches the window procedure counts as handled. The window
    // system's own work -- repainting the console after a printed line, the
    // status bar after its text, the title after a renderer wrote it -- is
    // done here too but leaves the step free for a frame, so a script's
    // renderScene() draws one frame per call unless the user did something.
    unsigned long delivered = shell.messagesDelivered;
    bool anyEvent = QCoreApplication::eventDispatcher()->processEvents(QEventLoop::AllEvents);
    if (!anyEvent) {
        // Objects closed with deleteLater (about boxes, the old status bar)
        // are freed here: no QEventLoop runs at the top level to do it.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return shell.messagesDelivered != delivered ? platformPollHandled : platformPollIdle;
}

void platformPostQuit(int code) {
    shell.quitPosted = true;
    shell.quitCode = code;
}

void platformExitProcess(int code) {
    fflush(stdout);
    fflush(stderr);
    // At once: no destructors, so nothing of the window system is torn down
    // while threads still run.
    std::_Exit(code);
}

// ---------------------------------------------------------------------------
// Main window.

void ShellMainWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    deliverMessage(messageClose);
}

DrawingSurface::DrawingSurface() {
    setSurfaceType(QSurface::OpenGLSurface);
    setFormat(drawingFormat());
}

void DrawingSurface::resizeEvent(QResizeEvent* event) {
    QWindow::resizeEvent(event);
    qreal ratio = devicePixelRatio();
    deliverMessage(messageSize, qRound(width() * ratio), qRound(height() * ratio));
}

void DrawingSurface::exposeEvent(QExposeEvent* event) {
    // Frames are drawn continuously by the main loop; nothing to do here.
    QWindow::exposeEvent(event);
}

bool platformCreateMainWindow(const char* title, int width, int height, bool fullScreen, const char* objectName) {
    if (!ensureApplication()) return false;
    if (shell.mainWindow) {
        // A second window replaces the first: its context and bars go with it.
        platformReleaseGlContext();
        shell.mainWindow->hide();
        shell.mainWindow->deleteLater();
        shell.mainWindow = nullptr;
        shell.surface = nullptr;
        shell.container = nullptr;
        shell.menuBar = nullptr;
        shell.currentMenu = nullptr;
        shell.menuBarAttached = false;
        shell.menuActions.clear();
        shell.radioGroups.clear();
        shell.statusBar = nullptr;
        shell.statusLabel = nullptr;
    }
    if (width < 1) width = 1;
    if (height < 1) height = 1;

    auto* window = new ShellMainWindow;
    window->setObjectName(QString::fromUtf8(objectName ? objectName : ""));
    window->setWindowTitle(titleText(title));
    auto* surface = new DrawingSurface;
    surface->setObjectName(QStringLiteral("drawingArea"));
    // Headless, its pixels come from the EGL pbuffer: Qt draws nothing here.
    if (headlessMode) surface->setSurfaceType(QSurface::RasterSurface);
    QWidget* container = QWidget::createWindowContainer(surface, window);
    container->setFocusPolicy(Qt::StrongFocus);
    container->setMinimumSize(1, 1);
    window->setCentralWidget(container);

    shell.mainWindow = window;
    shell.surface = surface;
    shell.container = container;
    shell.fullScreen = fullScreen;

    QScreen* screen = QGuiApplication::primaryScreen();
    if (fullScreen && screen) {
        window->setGeometry(screen->geometry());
        window->showFullScreen();
    } else {
        window->resize(width, height);
        platformCentreMainWindow();
        window->show();
    }
    container->setFocus(Qt::OtherFocusReason);
    window->activateWindow();
    waitUntilExposed();
    deliverMessage(messageCreate);
    return true;
}

bool platformHasMainWindow() { return shell.mainWindow != nullptr; }

void platformHideMainWindow() {
    if (shell.mainWindow) shell.mainWindow->hide();
}

void platformCentreMainWindow() {
    if (!shell.mainWindow || shell.fullScreen) return;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = shell.mainWindow->frameGeometry();
    QRect available = screen->geometry();
    int x = available.x() + available.width() / 2 - frame.width() / 2;
    int y = available.y() + available.height() / 2 - frame.height() / 2;
    shell.mainWindow->move(x, y);
}

void platformGetWindowRect(int& x, int& y, int& width, int& height) {
    x = y = width = height = 0;
    if (!shell.mainWindow) return;
    QRect frame = shell.mainWindow->frameGeometry();
    x = frame.x();
    y = frame.y();
    width = frame.width();
    height = frame.height();
}

void platformGetClientSize(int& width, int& height) {
    width = height = 0;
    if (!shell.surface) return;
    qreal ratio = shell.surface->devicePixelRatio();
    width = qRound(shell.surface->width() * ratio);
    height = qRound(shell.surface->height() * ratio);
}

void platformSetTitle(const char* text) {
    if (shell.mainWindow) shell.mainWindow->setWindowTitle(titleText(text));
}

void centreOverMainWindow(QWidget* widget) {
    QRect target;
    if (shell.mainWindow && shell.mainWindow->isVisible()) {
        target = shell.mainWindow->frameGeometry();
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        target = screen->geometry();
    } else {
        return;
    }
    widget->adjustSize();
    QRect frame = widget->frameGeometry();
    widget->move(target.x() + target.width() / 2 - frame.width() / 2,
                 target.y() + target.height() / 2 - frame.height() / 2);
}

// ---------------------------------------------------------------------------
// OpenGL context.

bool platformCreateGlContext() {
    if (!shell.surface) return false;
    if (headlessMode) return createHeadlessContext();
    if (shell.context) return shell.context->makeCurrent(shell.surface);
    if (!shell.surface->handle()) shell.surface->create();
    auto* context = new QOpenGLContext;
    context->setFormat(shell.surface->requestedFormat());
    if (!context->create()) {
        delete context;
        return false;
    }
    shell.context = context;
    return context->makeCurrent(shell.surface);
}

bool platformHasGlContext() { return shell.context != nullptr || headless.context != EGL_NO_CONTEXT; }

void platformMakeCurrent() {
    if (headlessMode) makeHeadlessCurrent();
    else if (shell.context && shell.surface) shell.context->makeCurrent(shell.surface);
}

void platformSwapBuffers() {
    if (headlessMode) {
        if (headless.context != EGL_NO_CONTEXT) glFlush();  // nothing to present: the pbuffer keeps the frame
        return;
    }
    if (!shell.context || !shell.surface) return;
    if (shell.surface->isExposed()) {
        shell.context->swapBuffers(shell.surface);
    } else {
        glFlush();
    }
}

void platformReleaseGlContext() {
    releaseHeadlessContext();
    if (!shell.context) return;
    shell.context->doneCurrent();
    delete shell.context;
    shell.context = nullptr;
}

void* platformGetProcAddress(const char* name) {
    if (shell.context) {
        QOpenGLContext* current = QOpenGLContext::currentContext();
        if (current) return reinterpret_cast<void*>(current->getProcAddress(name));
    }
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

// ---------------------------------------------------------------------------
// Message boxes.

int platformMessageBox(const char* text, const char* caption, int buttons, bool ownedByMainWindow) {
    if (!text) text = "";
    if (!caption) caption = "";
    if (platformBatchMode()) {
        // Nobody is there to answer: the box goes to standard error and its
        // default button answers.
        std::string line = *caption ? std::string(caption) + ": " + text : std::string(text);
        if (line.empty() || line.back() != '\n') line += '\n';
        outputError(line.c_str());
        return buttons == platformYesNo ? platformAnswerYes : platformAnswerOk;
    }
    if (!ensureApplication()) {
        if (*caption) outputPrintf("%s: %s\n", caption, text);
        else outputPrintf("%s\n", text);
        return buttons == platformYesNo ? platformAnswerNo : platformAnswerOk;
    }
    QMessageBox box(ownedByMainWindow ? shell.mainWindow : nullptr);
    box.setWindowTitle(QString::fromUtf8(caption));
    box.setText(QString::fromUtf8(text));
    box.setTextFormat(Qt::PlainText);
    if (buttons == platformYesNo) {
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    int answer = box.exec();
    if (buttons == platformYesNo) return answer == QMessageBox::Yes ? platformAnswerYes : platformAnswerNo;
    return platformAnswerOk;
}
