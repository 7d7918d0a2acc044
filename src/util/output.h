// output.h -- the program's one text output path.
//
// Provides: outputText, outputPrintf, outputError, outputDiagnostic,
// outputDiagnosticPrintf, quietDiagnostics, diagnosticsQuiet, setOutputHook.
// Everything the program and its scripts print goes through here: it is
// written to standard output (flushed at every line end, so nothing is lost
// when the program ends abruptly) and, once a console window exists, handed
// to the hook that shows it there. Any thread may print; the hook is set by
// the platform layer on the main thread.
#pragma once

#include <cstddef>

// Called with every piece of text after it went to standard output, with
// the output lock held: a hook must not print itself.
using OutputHook = void (*)(const char* text, size_t length);

void outputText(const char* text);
void outputPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Also writes to standard error (used for failures the user must see even
// when standard output is redirected).
void outputError(const char* text);

// Diagnostic lines: the program's running commentary (start-up steps,
// patch bounds, per-frame times, path points), printed as outputText does
// unless quietDiagnostics(true) was called; errors, warnings and results
// never go through here. Off by default.
void outputDiagnostic(const char* text);
void outputDiagnosticPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void quietDiagnostics(bool quiet);
bool diagnosticsQuiet();

void setOutputHook(OutputHook hook);
