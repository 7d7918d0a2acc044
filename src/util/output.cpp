// output.cpp -- standard output plus the console hook; see output.h.
#include "util/output.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace {
std::mutex outputMutex;
std::atomic<OutputHook> outputHook{nullptr};
std::atomic<bool> quiet{false};  // written by start-up and scripts (main thread), read by any
}

void quietDiagnostics(bool on) { quiet.store(on); }
bool diagnosticsQuiet() { return quiet.load(); }

void setOutputHook(OutputHook hook) { outputHook.store(hook); }

static void writeLocked(const char* text, size_t length) {
    std::lock_guard<std::mutex> lock(outputMutex);
    fwrite(text, 1, length, stdout);
    if (memchr(text, '\n', length)) fflush(stdout);
    OutputHook hook = outputHook.load();
    if (hook) hook(text, length);
}

void outputText(const char* text) {
    if (!text) return;
    writeLocked(text, strlen(text));
}

static void writeFormatted(const char* format, va_list args);

void outputPrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeFormatted(format, args);
    va_end(args);
}

void outputDiagnostic(const char* text) {
    if (!quiet.load()) outputText(text);
}

void outputDiagnosticPrintf(const char* format, ...) {
    if (quiet.load()) return;
    va_list args;
    va_start(args, format);
    writeFormatted(format, args);
    va_end(args);
}

static void writeFormatted(const char* format, va_list args) {
    char small[1024];
    va_list copy;
    va_copy(copy, args);
    int needed = vsnprintf(small, sizeof small, format, args);
    if (needed < 0) {
        va_end(copy);
        return;
    }
    if (static_cast<size_t>(needed) < sizeof small) {
        va_end(copy);
        writeLocked(small, static_cast<size_t>(needed));
        return;
    }
    std::vector<char> large(static_cast<size_t>(needed) + 1);
    vsnprintf(large.data(), large.size(), format, copy);
    va_end(copy);
    writeLocked(large.data(), static_cast<size_t>(needed));
}

void outputError(const char* text) {
    if (!text) return;
    std::lock_guard<std::mutex> lock(outputMutex);
    fflush(stdout);
    fputs(text, stderr);
    fflush(stderr);
}
