// graphics_surface.h: what the Direct3D device needs of the window system to draw into a
// window: an OpenGL context on the window of a handle, made current, swapped with a swap
// interval, the drawable's size, whether the window is still alive, and the display's mode.
// Carried out by a backend (backends/sdl/sdl_graphics_surface.cpp on the desktop,
// backends/web/web_graphics_surface.cpp on WebGL 2 in a web page).
#pragma once

#include <windows.h>

namespace surface {

// A drawing context bound to one window.
struct Context;

struct DisplayMode {
    int width = 0;
    int height = 0;
    int refreshRate = 0; // Hz, 0 when unknown
};

// What a new context offers.
struct ContextInfo {
    // The window's client area in window pixels, and the drawable in the context's pixels:
    // more of them on a high-density screen where the window system draws sharp.
    int clientWidth = 0;
    int clientHeight = 0;
    int drawableWidth = 0;
    int drawableHeight = 0;
    int depthBits = 0;
    int stencilBits = 0;
    int refreshRate = 0; // of the window's display, 0 when unknown
};

enum class ContextResult { created, noWindow, notAvailable };

// True when windows can be shown and the drawing library is loaded; balanced by unloadLibrary.
bool loadLibrary();
void unloadLibrary();

// The desktop's display mode; false when it cannot be told.
bool desktopDisplayMode(DisplayMode& mode);

// Creates a context on the window of a handle and makes it current. noWindow when the handle
// names no live window, notAvailable when the window or the library cannot carry a context.
ContextResult createContext(HWND window, Context*& context, ContextInfo& info);
void destroyContext(Context* context);

// True while the context's window exists.
bool windowAlive(const Context* context);

// Makes the context current if its window is alive and it is not current already.
void makeCurrent(Context* context);

// 0 swaps at once, 1 waits for the display's refresh.
void setSwapInterval(Context* context, int interval);

// Shows the back buffer.
void swapBuffers(Context* context);

} // namespace surface
