// window_system.h: what the window, message, timer and input functions (platform/win32,
// platform/mmsystem/timer.cpp, platform/dinput8) need of the window system, and what they give
// the backends in return. The desktop backend: platform/backends/sdl/sdl_window_system.cpp and
// sdl_message_box.cpp; the web backend: platform/backends/web/web_window_system.cpp and
// web_message_box.cpp. Native windows are named by a non-zero number of the backend's choosing,
// never reused. Keys are named by the PC keyboard's scan codes (set 1, 0x80 added for the
// extended keys), the numbering of DirectInput's key codes; mouse buttons by DirectInput's
// order (0 left, 1 right, 2 middle, then the extra buttons, up to 7).
#pragma once

#include <windows.h>

#include <cstdint>

namespace windowsystem {

using NativeWindow = uint32_t;

enum class EventKind {
    closeRequested, // the user asked to close the window
    quitRequested,  // the session asks the program to end (window is 0)
    focusGained,
    focusLost,
    keyDown,
    keyUp,
    mouseMotion,
    mouseButtonDown,
    mouseButtonUp,
    mouseWheel,
};

// One event of the window system. `window` is 0 when the event belongs to no window of ours.
struct Event {
    EventKind kind = EventKind::focusLost;
    NativeWindow window = 0;
    int key = 0;         // keyDown, keyUp: the scan code, never 0
    bool repeat = false; // keyDown: the system's repeat of a held key
    int button = 0;      // mouseButtonDown, mouseButtonUp: 0 to 7
    int dx = 0;          // mouseMotion: relative movement in pixels
    int dy = 0;
    int notches = 0; // mouseWheel: positive away from the user
};

// Receives events. The requests (close, quit) arrive from pumpEvents(); focus and input arrive
// as soon as the window system has them, from pumpEvents() or from any other call that reads
// the display, so that whoever drains the events, every listener sees them at once.
using Listener = void (*)(const Event& event);

// Listeners are called in the order they were added; at most 4. Adding needs no display.
bool addListener(Listener listener);
void removeListener(Listener listener);

// True when windows can be made: a display is there. The first call starts the window system.
bool available();

// A hidden window with a client area of the given size (at least 1 x 1) and a UTF-8 title,
// its client area at x, y, or where the window system likes with `placeByDefault`; 0 on
// failure. A window can carry the device's drawing surface.
NativeWindow createWindow(const char* title, int x, int y, bool placeByDefault, int width,
                          int height);
void destroyWindow(NativeWindow window);
void showWindow(NativeWindow window);
void hideWindow(NativeWindow window);
// Brings the window to the front and asks for the input focus, which may come later or never.
void raiseWindow(NativeWindow window);
void clientSize(NativeWindow window, int& width, int& height);
// Where the client area's top left corner is on the screen.
void clientPosition(NativeWindow window, int& x, int& y);

// Reads the window system's pending events and delivers them to the listeners.
void pumpEvents();

// The mouse held by the program: hidden, and reporting relative motion without limits.
// False when the window system refuses.
bool setRelativeMouse(bool on);

// What is held down now: held[key] for every scan code, and a bit per button (bit 0 left).
void heldKeys(bool held[256]);
unsigned heldButtons();

enum class MessageIcon { information, warning, error };

// A modal box with the UTF-8 text and one OK button, over `owner` when not 0. False when it
// could not be shown; closing it counts as pressing OK.
bool showMessageBox(NativeWindow owner, const char* title, const char* text, MessageIcon icon);

// A monotonic millisecond count from an arbitrary start.
uint64_t milliseconds();

// Given by the window functions (platform/win32/window.cpp) to the backends: the native
// window behind a window handle, or 0 when the handle names no live window.
NativeWindow nativeWindowOf(HWND window);

} // namespace windowsystem
