// platformConsole.cpp -- the console window: a separate top-level text
// window titled "Console" that shows everything printed after it opened.
//
// Text reaches it through the output hook of util/output.h, from any thread:
// it is collected under consoleMutex and shown by the main thread (at once
// when printed there, otherwise through a queued call).
// Writers of pendingText: any thread, under consoleMutex.
// The console follows its last line: after every append and every change
// of the scroll range (a line wider than the window brings in the
// horizontal bar, which takes a line's height from the view after the text
// went in) the view goes to the end, until the user scrolls up; scrolling
// back to the end follows again.
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

#include <mutex>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "platform/qtShell.h"
#include "util/output.h"

namespace {

std::mutex consoleMutex;
std::string pendingText;    // printed, not yet shown
bool flushQueued = false;   // a flush waits for the main thread

const int consoleLineLimit = 20000;  // older lines scroll away for good

bool followLastLine = true;  // main thread: false while the user has scrolled up

void showLastLine() {
    if (!shell.console || !followLastLine) return;
    QScrollBar* bar = shell.console->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void appendToConsole(const std::string& text) {
    if (!shell.console || text.empty()) return;
    QTextCursor cursor(shell.console->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    showLastLine();
}

void consoleHook(const char* text, size_t length) {
    std::unique_lock<std::mutex> lock(consoleMutex);
    pendingText.append(text, length);
    if (shell.application && std::this_thread::get_id() == shell.mainThread) {
        std::string shown;
        shown.swap(pendingText);
        lock.unlock();
        appendToConsole(shown);
        return;
    }
    if (!flushQueued && shell.relay) {
        flushQueued = true;
        QMetaObject::invokeMethod(shell.relay, "flushConsole", Qt::QueuedConnection);
    }
}

}  // namespace

void ShellRelay::flushConsole() {
    std::string shown;
    {
        std::lock_guard<std::mutex> lock(consoleMutex);
        shown.swap(pendingText);
        flushQueued = false;
    }
    appendToConsole(shown);
}

void platformCreateConsole() {
    if (!ensureApplication()) return;  // without a display, standard output is the console
    platformDestroyConsole();
    auto* console = new QPlainTextEdit;
    console->setObjectName(QStringLiteral("Console"));
    console->setWindowTitle(QStringLiteral("Console"));
    console->setReadOnly(true);
    console->setLineWrapMode(QPlainTextEdit::NoWrap);
    console->setMaximumBlockCount(consoleLineLimit);
    QFont font(QStringLiteral("Monospace"));
    font.setStyleHint(QFont::TypeWriter);
    console->setFont(font);
    console->resize(640, 400);
    console->setAttribute(Qt::WA_DeleteOnClose, false);
    followLastLine = true;
    QScrollBar* bar = console->verticalScrollBar();
    // Only what the user does to the bar (wheel, drag, clicks) decides
    // whether the console follows; the bar's position is already moved when
    // the action is announced.
    QObject::connect(bar, &QAbstractSlider::actionTriggered, console,
                     [bar](int) { followLastLine = bar->sliderPosition() >= bar->maximum(); });
    QObject::connect(bar, &QAbstractSlider::rangeChanged, console, [](int, int) { showLastLine(); });
    console->show();
    {
        std::lock_guard<std::mutex> lock(consoleMutex);
        pendingText.clear();
    }
    shell.console = console;
    setOutputHook(consoleHook);
}

void platformDestroyConsole() {
    if (!shell.console) return;
    setOutputHook(nullptr);
    shell.console->hide();
    shell.console->deleteLater();
    shell.console = nullptr;
}

bool platformHasConsole() { return shell.console != nullptr; }

void platformRaiseConsole() {
    if (!shell.console) return;
    shell.console->showNormal();
    shell.console->raise();
    shell.console->activateWindow();
}
