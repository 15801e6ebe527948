// window_internal.h: internal link between the window functions (window.cpp) and the message
// queue (messages.cpp). Not part of any Windows API.
#pragma once

#include <windows.h>

// The procedure of a live window, or null when the handle names no live window.
WNDPROC windowProcOf(HWND window);

// Reads the window system's pending events: a close request posts WM_CLOSE to its window,
// and activation changes seen since the last call are sent to the procedures now.
void pumpWindowEvents();

// Posts a message on the calling thread's queue unless an identical one (same window and
// message) is already waiting; used for requests that must not pile up, such as WM_CLOSE.
void postMessageOnce(HWND window, UINT message);
