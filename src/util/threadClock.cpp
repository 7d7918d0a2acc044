// threadClock.cpp -- the calling thread's own processor time; see
// threadClock.h.
#include "util/threadClock.h"

#include <ctime>

double threadCpuSeconds() {
    timespec now{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0) return 0.0;
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1.0e-9;
}
