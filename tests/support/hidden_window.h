// hidden_window.h: a window for the tests that need one (a device's, the sound device's
// cooperative level, input), not shown unless the test shows it, destroyed when the record
// goes. Its class is registered once per window procedure and kept for the process.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class HiddenWindow {
public:
    explicit HiddenWindow(int width = 1024, int height = 768, WNDPROC procedure = DefWindowProcA,
                          int x = 0, int y = 0) {
        const HINSTANCE instance = GetModuleHandleA(nullptr);
        className = "VarnelTestWindow" + std::to_string(reinterpret_cast<uintptr_t>(procedure));
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = className.c_str();
        RegisterClassExA(&windowClass); // fails harmlessly once the class is there
        handle = CreateWindowExA(0, className.c_str(), "Varnel", WS_OVERLAPPEDWINDOW, x, y, width,
                                 height, nullptr, nullptr, instance, nullptr);
    }
    ~HiddenWindow() {
        if (handle != nullptr && IsWindow(handle))
            DestroyWindow(handle);
    }
    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;

    HWND handle = nullptr;
    std::string className; // for more windows of the same procedure
};

// The one window of the sound tests, which need one for the sound device's cooperative level;
// kept for the whole process, as the program keeps its main window.
inline HWND soundTestWindow() {
    static HiddenWindow window(64, 64);
    return window.handle;
}
