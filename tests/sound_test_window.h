// sound_test_window.h: a hidden window for the sound tests, which need one to set the sound
// device's cooperative level.
#pragma once

#include <windows.h>

inline HWND soundTestWindow() {
    static HWND window = [] {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "VarnelSoundTest";
        RegisterClassExA(&windowClass);
        return CreateWindowExA(0, "VarnelSoundTest", "sound test", WS_OVERLAPPEDWINDOW, 0, 0, 64,
                               64, nullptr, nullptr, windowClass.hInstance, nullptr);
    }();
    return window;
}
