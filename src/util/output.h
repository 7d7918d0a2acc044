// output.h -- the program's one text output path.
//
// Provides: outputText, outputPrintf, setOutputHook.
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

void setOutputHook(OutputHook hook);
