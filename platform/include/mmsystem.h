// mmsystem.h: the Windows multimedia subset Varnel uses, for the Linux platform layer:
// the millisecond timer and the multimedia file services (mmio).
// Implemented in platform/linux/timer.cpp and platform/linux/mmio.cpp.
#pragma once

#include <windows.h>

typedef UINT MMRESULT;
#define MMSYSERR_NOERROR 0

DWORD WINAPI timeGetTime();
