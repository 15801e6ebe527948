// x_display.h: what a person sees and does on the X display, for the end-to-end tests: finding
// a program's window by its title, asking it to close as a window manager does, taking a
// picture of it, and typing and moving the mouse on it with xdotool.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct WindowPicture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0xAARRGGBB, rows top first, alpha always 0xFF

    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    bool savePpm(const std::string& path) const;
};

class XDisplay {
public:
    XDisplay();
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    bool open() const { return display != nullptr; }
    // The first viewable top-level window with this title, waiting up to `milliseconds`; 0 if none.
    unsigned long findWindow(const std::string& title, int milliseconds);
    // True when a window with this title exists and is viewable.
    bool windowShown(const std::string& title);
    // The close request a window manager sends (WM_DELETE_WINDOW).
    bool requestClose(unsigned long window);
    // The window's client area as it is on the screen now.
    bool capture(unsigned long window, WindowPicture& picture);

private:
    struct _XDisplay* display = nullptr;
};

// Waits so long.
void pause(int milliseconds);
// Runs xdotool with these arguments, its output discarded; true when it succeeded.
bool xdotool(const std::string& arguments);
// Presses and releases a key `times` times as separate strokes, 80 ms apart, as a person would.
void typeKey(unsigned long window, const char* name, int times = 1);
