// text.h -- substring, range-copy and line-reading helpers.
//
// Provides: findText, findLastText, copyRange, stripNewline, readLine,
// skipWhitespace, textLimit, lineLimit.
// Texts are NUL-terminated 8-bit strings; positions are zero-based and -1
// means "not found". Every helper is bounded:
//   - findText, findLastText and stripNewline work on texts of any length
//     in place and never write beyond the text;
//   - copyRange writes at most textLimit - 1 characters plus the terminator
//     (a longer range is cut there) and may copy a text onto itself;
//   - readLine stores at most bufferSize - 1 characters (never more than
//     lineLimit - 1) and leaves the rest of an over-long line for the next
//     call.
// A null text or file is treated as empty / at its end. No state: any
// thread may call them.
#pragma once

#include <cstdio>

constexpr int textLimit = 1000;   // destination size of copyRange (999 characters + terminator)
constexpr int lineLimit = 10000;  // largest buffer readLine fills (9999 characters + terminator)

// Index of the first occurrence of pattern in text (case-sensitive), or -1.
// An empty pattern occurs at 0.
int findText(const char* text, const char* pattern);

// Index of the last occurrence; overlapping occurrences count ("aaa" and
// "aa" give 1). -1 when the pattern does not occur; an empty pattern gives
// the length of the text.
int findLastText(const char* text, const char* pattern);

// destination = source[from..to], both included; empty when to < from, from
// is negative or from lies beyond the text; cut at the end of the text and
// at textLimit - 1 characters. destination must hold textLimit characters
// and may be source itself.
void copyRange(const char* source, int from, int to, char* destination);

// Cuts text before its first newline, if it has one.
void stripNewline(char* text);

// Returns 1 and the next line without its line end, or 0 at end of file.
// A line end is "\n" or "\r\n" (files written on Windows read the same).
// buffer must hold bufferSize characters.
int readLine(FILE* file, char* buffer, int bufferSize = lineLimit);

// Returns the next character that is not a blank, newline or tab and
// leaves it unread in the file; EOF at the end.
int skipWhitespace(FILE* file);
