// main_window.cpp: registers the window class, creates the main window and handles its messages:
// activation acquires the input devices, destruction releases every device object.
#include "app/main_window.h"

#include "app/application_state.h"
#include "app/release_all.h"

const char mainWindowClassName[] = "VarnelWindow";

void createMainWindow(HINSTANCE instance) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(WNDCLASSEXA);
    windowClass.style = CS_CLASSDC;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = mainWindowClassName;
    RegisterClassExA(&windowClass);

    appState.mainWindow = CreateWindowExA(0, mainWindowClassName, "Varnel", WS_OVERLAPPEDWINDOW, 50,
                                          50, 1024, 768, nullptr, nullptr, instance, nullptr);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        releaseAll();
        PostQuitMessage(0);
        return 0;
    case WM_ACTIVATE:
        // The foreground input devices are taken away on deactivation; take them back here.
        if (wParam != 0 && appState.mouseDevice != nullptr && appState.keyboardDevice != nullptr) {
            appState.mouseDevice->Acquire();
            appState.keyboardDevice->Acquire();
        }
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
