// web_canvas.h: the page's canvas as the web window system (web_window_system.cpp) gives it to
// the graphics surface (web_graphics_surface.cpp): the canvas is the client area of one
// window at a time. Not part of any Windows API.
#pragma once

#include "window_system.h"

// The page's canvas, by the selector of Emscripten's html5 functions.
constexpr const char* canvasSelector = "#canvas";

// The window whose client area the canvas is; 0 when no window has it.
windowsystem::NativeWindow canvasWindow();
