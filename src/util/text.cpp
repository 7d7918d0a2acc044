// text.cpp -- text helpers; see text.h for the bounds each one keeps.
#include "util/text.h"

#include <cstring>

int findText(const char* text, const char* pattern) {
    if (!text || !pattern) return -1;
    const char* hit = strstr(text, pattern);
    return hit ? static_cast<int>(hit - text) : -1;
}

int findLastText(const char* text, const char* pattern) {
    if (!text || !pattern) return -1;
    if (!*pattern) return static_cast<int>(strlen(text));
    // Step one character past each occurrence so that overlapping
    // occurrences count ("aaa" / "aa" gives 1). Works on the text itself, so
    // a text of any length is searched to its end.
    int last = -1;
    const char* hit = strstr(text, pattern);
    while (hit) {
        last = static_cast<int>(hit - text);
        hit = strstr(hit + 1, pattern);
    }
    return last;
}

void copyRange(const char* source, int from, int to, char* destination) {
    if (!destination) return;
    char temporary[textLimit];
    size_t length = 0;
    if (source && from >= 0 && to >= from) {
        // from must lie inside the text: never read past its terminator.
        if (strnlen(source, static_cast<size_t>(from) + 1) > static_cast<size_t>(from)) {
            size_t wanted = static_cast<size_t>(to) - static_cast<size_t>(from) + 1;
            if (wanted > textLimit - 1) wanted = textLimit - 1;
            length = strnlen(source + from, wanted);
            memcpy(temporary, source + from, length);
        }
    }
    temporary[length] = '\0';
    memcpy(destination, temporary, length + 1);
}

void stripNewline(char* text) {
    if (!text) return;
    char* newline = strchr(text, '\n');
    if (newline) *newline = '\0';
}

int readLine(FILE* file, char* buffer, int bufferSize) {
    if (!buffer || bufferSize < 1) return 0;
    buffer[0] = '\0';
    if (!file || bufferSize < 2) return 0;
    if (bufferSize > lineLimit) bufferSize = lineLimit;
    if (!fgets(buffer, bufferSize, file)) {
        buffer[0] = '\0';
        return 0;
    }
    char* newline = strchr(buffer, '\n');
    if (newline) {
        if (newline > buffer && newline[-1] == '\r') --newline;
        *newline = '\0';
    }
    return 1;
}

int skipWhitespace(FILE* file) {
    if (!file) return EOF;
    int c;
    do {
        c = fgetc(file);
    } while (c == ' ' || c == '\n' || c == '\t');
    if (c != EOF) ungetc(c, file);
    return c;
}
