// fileOpen.cpp -- non-blocking open and regular-file check; see fileOpen.h.
#include "util/fileOpen.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

FILE* openRegularFile(const char* fileName, const char* mode, std::string& reason, long long* size) {
    reason.clear();
    if (size) *size = 0;
    if (!fileName || !*fileName) {
        reason = "no file name";
        return nullptr;
    }
    // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer.
    int fd = open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = strerror(errno);
        return nullptr;
    }
    struct stat info;
    if (fstat(fd, &info) != 0) {
        reason = strerror(errno);
        close(fd);
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        reason = S_ISDIR(info.st_mode) ? "is a directory" : "not a regular file";
        close(fd);
        return nullptr;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    FILE* file = fdopen(fd, mode);
    if (!file) {
        reason = strerror(errno);
        close(fd);
        return nullptr;
    }
    if (size) *size = static_cast<long long>(info.st_size);
    return file;
}
