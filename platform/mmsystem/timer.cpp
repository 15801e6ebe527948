// timer.cpp: the multimedia timer's millisecond count from the monotonic clock.
// Depends on: the C library's clock_gettime.
#include <mmsystem.h>

#include <ctime>

DWORD WINAPI timeGetTime() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Milliseconds since an arbitrary start, wrapping at 2^32 like the Windows count.
    uint64_t milliseconds = uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u;
    return static_cast<DWORD>(milliseconds);
}
