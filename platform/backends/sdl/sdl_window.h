// sdl_window.h: internal link between the window backend and the backends that draw into a
// window or read its input (Direct3D device, DirectInput). Not part of any Windows API.
#pragma once

#include <windows.h>
#include <SDL.h>

// The SDL window behind a window handle, or null when the handle names no live window.
SDL_Window* sdlWindowOf(HWND window);

// The window handle of an SDL window id, or null.
HWND windowOfSdlId(Uint32 windowId);

// True when the SDL video subsystem is (or can be) initialised: a display is available.
bool videoAvailable();

// Sets the OpenGL attributes that a window must be created with to carry the device's context.
void setOpenGlAttributes();
