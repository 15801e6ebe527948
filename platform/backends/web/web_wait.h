// web_wait.h: the two places where the program's own loop gives the browser its turn, through
// Asyncify (the program's stack is put aside while the browser runs and restored after): at
// each swap of the graphics surface and while a message box waits for OK. Both are Asyncify
// imports of the web build (cmake/web.cmake). Implemented in web_wait.cpp.
#pragma once

// Waits for the next animation frame (vsync true), or only for the browser's pending events
// and drawing (vsync false).
void waitForFrame(bool vsync);

// Shows the page's message dialog with UTF-8 texts and waits until OK is pressed. icon: 0
// information, 1 warning, 2 error.
void waitForDialog(const char* title, const char* text, int icon);
