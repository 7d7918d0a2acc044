// text.h -- substring, range-copy and line-reading helpers.
//
// Provides: findText, findLastText, copyRange, stripNewline, readLine,
// skipWhitespace, textLimit, lineLimit.
// Texts are NUL-terminated 8-bit strings; positions are zero-based and -1
// means "not found". The copying helpers work on at most textLimit - 1
// characters (longer texts are cut there) and may copy a text onto itself.
// readLine stores at most lineLimit - 1 characters and leaves the rest of an
// over-long line for the next call.
#pragma once

#include <cstdio>

constexpr int textLimit = 1000;   // buffer size of copyRange, findLastText, stripNewline
constexpr int lineLimit = 10000;  // buffer size of readLine

int findText(const char* text, const char* pattern);
int findLastText(const char* text, const char* pattern);

// destination = source[from..to], both included; empty when to < from or
// from lies beyond the text. destination must hold textLimit characters.
void copyRange(const char* source, int from, int to, char* destination);

void stripNewline(char* text);

// buffer must hold bufferSize characters (at most lineLimit are used).
// Returns 1 and the next line without its newline, or 0 at end of file.
int readLine(FILE* file, char* buffer, int bufferSize = lineLimit);

// Returns the next character that is not a blank, newline or tab, left
// unread in the file; EOF at the end.
int skipWhitespace(FILE* file);
