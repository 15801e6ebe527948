// main_window.h: the program's one window: its class, its creation and its procedure.
#pragma once

#include <windows.h>

// The window class name.
extern const char mainWindowClassName[];

// Registers the window class and creates the hidden 1024 x 768 main window; the handle, null or
// not, is stored in appState.mainWindow.
void createMainWindow(HINSTANCE instance);

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
