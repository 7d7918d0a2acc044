// platformConsole.cpp -- the console window: a separate top-level text
// window titled "Console" that shows everything printed after it opened.
//
// Text reaches it through the output hook of util/output.h, from any thread:
// it is collected under consoleMutex and shown by the main thread (at once
// when printed there, otherwise through a queued call).
// Writers of pendingText: any thread, under consoleMutex.
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

void appendToConsole(const std::string& text) {
    if (!shell.console || text.empty()) return;
    QScrollBar* bar = shell.console->verticalScrollBar();
    bool atEnd = bar->value() == bar->maximum();
    QTextCursor cursor(shell.console->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    if (atEnd) bar->setValue(bar->maximum());
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
