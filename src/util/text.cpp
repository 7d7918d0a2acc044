// text.cpp -- text helpers; see text.h.
#include "util/text.h"

#include <cstring>

int findText(const char* text, const char* pattern) {
    if (!text || !pattern) return -1;
    const char* hit = strstr(text, pattern);
    return hit ? static_cast<int>(hit - text) : -1;
}

int findLastText(const char* text, const char* pattern) {
    if (!text || !pattern) return -1;
    char work[textLimit];
    strncpy(work, text, textLimit - 1);
    work[textLimit - 1] = '\0';
    if (!strstr(work, pattern)) return -1;
    // Step past each first occurrence one character at a time, so that
    // overlapping occurrences count ("aaa" / "aa" gives 1).
    int offset = 0;
    const char* rest = work;
    for (;;) {
        const char* hit = strstr(rest, pattern);
        if (!hit) break;
        int p = static_cast<int>(hit - rest);
        rest += p + 1;
        offset += p + 1;
    }
    return offset - 1;
}

void copyRange(const char* source, int from, int to, char* destination) {
    char temporary[textLimit];
    int length = 0;
    if (source && from >= 0 && to >= from) {
        int sourceLength = static_cast<int>(strnlen(source, textLimit - 1));
        if (from < sourceLength) {
            if (to >= sourceLength) to = sourceLength - 1;
            length = to - from + 1;
            memcpy(temporary, source + from, static_cast<size_t>(length));
        }
    }
    temporary[length] = '\0';
    memcpy(destination, temporary, static_cast<size_t>(length) + 1);
}

void stripNewline(char* text) {
    if (!text) return;
    char* newline = static_cast<char*>(memchr(text, '\n', strnlen(text, textLimit - 1)));
    if (newline) *newline = '\0';
    else if (strnlen(text, textLimit) >= static_cast<size_t>(textLimit)) text[textLimit - 1] = '\0';
}

int readLine(FILE* file, char* buffer, int bufferSize) {
    if (!file || !buffer || bufferSize < 2) return 0;
    if (bufferSize > lineLimit) bufferSize = lineLimit;
    if (!fgets(buffer, bufferSize, file)) return 0;
    char* newline = strchr(buffer, '\n');
    if (newline) *newline = '\0';
    return 1;
}

int skipWhitespace(FILE* file) {
    int c;
    do {
        c = fgetc(file);
    } while (c == ' ' || c == '\n' || c == '\t');
    if (c != EOF) ungetc(c, file);
    return c;
}
