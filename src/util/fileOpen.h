// fileOpen.h -- opening data files without blocking on what is not a file.
//
// Provides: openRegularFile.
// Opening a named pipe for reading waits until a writer appears, and a
// directory opens but reads nothing, so every loader of scene data opens
// its file here: the name is opened without blocking, checked to be a
// regular file (symbolic links are followed), and only then handed back as
// an ordinary stdio stream. Any thread.
#pragma once

#include <cstdio>
#include <string>

// Opens fileName for reading ("rb" or "r"). Returns the stream, or null with
// reason set to why: the system's text for a file that cannot be opened
// ("No such file or directory"), "is a directory", or "not a regular file"
// for a pipe, socket or device. size, when given, receives the file's size
// in bytes.
FILE* openRegularFile(const char* fileName, const char* mode, std::string& reason, long long* size = nullptr);
