// timer.cpp: the multimedia timer's millisecond count, from the window system's monotonic
// clock (window_system.h).
#include "window_system.h"

#include <mmsystem.h>

DWORD WINAPI timeGetTime() {
    // Milliseconds since an arbitrary start, wrapping at 2^32 like the Windows count.
    return static_cast<DWORD>(windowsystem::milliseconds());
}
