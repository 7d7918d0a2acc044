// threadClock.h -- the calling thread's own processor time.
//
// Provides: threadCpuSeconds, AddThreadCpuTime.
// The frame's CPU parts (the terrain algorithm's level-of-detail work, the
// plant pass's placement and selection) are read from this clock: the
// CPU time the calling thread has used (CLOCK_THREAD_CPUTIME_ID), monotonic
// and in seconds. Time the thread spends waiting (descheduled on a busy
// machine, blocked in the driver) is not in it, and neither is work other
// threads do for it (a software rasteriser's worker threads). Any thread.
#pragma once

// CPU seconds used by the calling thread so far; 0 where the clock cannot be
// read. Only differences between two readings on one thread mean anything.
double threadCpuSeconds();

// Adds the calling thread's CPU seconds from its construction to its
// destruction to total (every return of a scope counts).
class AddThreadCpuTime {
public:
    explicit AddThreadCpuTime(double& total) : total_(total), started_(threadCpuSeconds()) {}
    ~AddThreadCpuTime() { total_ += threadCpuSeconds() - started_; }
    AddThreadCpuTime(const AddThreadCpuTime&) = delete;
    AddThreadCpuTime& operator=(const AddThreadCpuTime&) = delete;

private:
    double& total_;
    double started_;
};
