// sdl_window.h: the SDL side of the layer's windows, for the backends that draw into a window
// (the Direct3D device's OpenGL context) and for tests that push SDL events to a window.
// Implemented in sdl_window_system.cpp, the OpenGL attributes in sdl_gl_attributes.cpp.
// Not part of any Windows API.
#pragma once

#include <windows.h>
#include <SDL.h>

// The SDL window behind a window handle, or null when the handle names no live window.
SDL_Window* sdlWindowOf(HWND window);

// True when the SDL video subsystem is (or can be) initialised: a display is available.
bool videoAvailable();

// Sets the OpenGL attributes that a window must be created with to carry the device's context.
void setOpenGlAttributes();
