// web_window_system.cpp: the window system contract (window_system.h) in a web page, on
// Emscripten's html5 functions. The page's canvas (#canvas) is the client area of the first
// window made, sized in CSS pixels with a backing store of device pixels so that it is sharp
// on high-density screens. Keys come from the whole page, the mouse from the canvas.
// Activation follows the browser's rules: a click on the canvas activates the window and
// locks the pointer (which browsers grant only on a click) when the program holds the mouse;
// losing the lock or the page's focus deactivates it, releasing what is held. A key pressed in
// the page while the window is inactive activates it too, since the page has the keyboard: the
// browser takes the first Escape under pointer lock for itself, and the second then reaches
// the program. Events are queued (web_input.h) and delivered by pumpEvents(). Also the clock.
#include "web_canvas.h"
#include "web_input.h"
#include "web_keymap.h"

#include <dinput.h>
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cmath>
#include <cstring>

namespace windowsystem {
namespace {

constexpr int listenerCapacity = 4;
constexpr int windowCapacity = 8;

struct WebWindow {
    NativeWindow id = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct WebState {
    Listener listeners[listenerCapacity] = {};
    int listenerCount = 0;
    int pageState = 0; // 0: not tried, 1: started, -1: no page with a canvas
    WebWindow windows[windowCapacity];
    NativeWindow nextId = 1;
    NativeWindow canvasOwner = 0;
    bool active = false;         // the canvas window has the page's attention
    bool relativeWanted = false; // the program holds the mouse (setRelativeMouse)
    bool locked = false;         // the pointer is locked to the canvas
    bool unlocking = false;      // the lock is being given up at the program's request
    InputQueue input;
};

WebState state;

void deliver(const Event& event) {
    // A listener may remove itself (its last device released) while the others run.
    Listener current[listenerCapacity];
    int count = state.listenerCount;
    memcpy(current, state.listeners, sizeof(Listener) * count);
    for (int i = 0; i < count; ++i)
        current[i](event);
}

WebWindow* findWindow(NativeWindow id) {
    if (id == 0)
        return nullptr;
    for (WebWindow& window : state.windows)
        if (window.id == id)
            return &window;
    return nullptr;
}

void activate() {
    if (state.canvasOwner == 0 || state.active)
        return;
    state.active = true;
    state.input.activate(state.canvasOwner);
}

void deactivate() {
    if (state.canvasOwner == 0 || !state.active)
        return;
    state.active = false;
    state.input.deactivate(state.canvasOwner);
}

// The page's buttons (0 left, 1 middle, 2 right) in DirectInput's order.
int buttonOf(unsigned short domButton) {
    switch (domButton) {
    case 0:
        return 0;
    case 1:
        return 2;
    case 2:
        return 1;
    default:
        return domButton < 8 ? domButton : -1;
    }
}

bool isFunctionKey(int key) {
    return (key >= DIK_F1 && key <= DIK_F10) || key == DIK_F11 || key == DIK_F12;
}

EM_BOOL onKey(int type, const EmscriptenKeyboardEvent* event, void*) {
    const int key = dikOfKeyCode(event->code);
    if (key == 0 || state.canvasOwner == 0)
        return EM_FALSE;
    if (type == EMSCRIPTEN_EVENT_KEYDOWN) {
        activate();
        state.input.keyDown(state.canvasOwner, key, event->repeat != 0);
    } else {
        state.input.keyUp(state.canvasOwner, key);
    }
    // The page does not scroll with the program's keys; the function keys keep the browser's
    // meaning (reload, full screen, tools).
    return isFunctionKey(key) ? EM_FALSE : EM_TRUE;
}

EM_BOOL onMouseButton(int type, const EmscriptenMouseEvent* event, void*) {
    if (state.canvasOwner == 0)
        return EM_FALSE;
    const int button = buttonOf(event->button);
    if (type == EMSCRIPTEN_EVENT_MOUSEDOWN) {
        // The program holds the mouse, or will as soon as the click has activated it.
        if (!state.locked && (state.relativeWanted || !state.active))
            emscripten_request_pointerlock(canvasSelector, EM_FALSE);
        activate();
        state.input.buttonDown(state.canvasOwner, button);
    } else {
        state.input.buttonUp(state.canvasOwner, button);
    }
    return EM_TRUE;
}

EM_BOOL onMouseMove(int, const EmscriptenMouseEvent* event, void*) {
    if (state.canvasOwner != 0 && state.active)
        state.input.motion(state.canvasOwner, int(event->movementX), int(event->movementY));
    return EM_FALSE;
}

EM_BOOL onWheel(int, const EmscriptenWheelEvent* event, void*) {
    if (state.canvasOwner == 0 || !state.active)
        return EM_FALSE;
    const WheelUnit unit = event->deltaMode == DOM_DELTA_LINE   ? WheelUnit::line
                           : event->deltaMode == DOM_DELTA_PAGE ? WheelUnit::page
                                                                : WheelUnit::pixel;
    state.input.wheel(state.canvasOwner, event->deltaY, unit);
    return EM_TRUE;
}

EM_BOOL onPointerLock(int, const EmscriptenPointerlockChangeEvent* event, void*) {
    state.locked = event->isActive != 0;
    if (!state.locked) {
        // A lock the program gave up is no loss of attention.
        if (!state.unlocking)
            deactivate();
        state.unlocking = false;
    }
    return EM_FALSE;
}

EM_BOOL onBlur(int, const EmscriptenFocusEvent*, void*) {
    deactivate();
    return EM_FALSE;
}

bool pageHasCanvas() {
    return EM_ASM_INT({
               return typeof document != 'undefined' && document.getElementById('canvas') != null;
           }) != 0;
}

void listen() {
    const char* page = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    emscripten_set_keydown_callback(page, nullptr, EM_TRUE, onKey);
    emscripten_set_keyup_callback(page, nullptr, EM_TRUE, onKey);
    emscripten_set_mousedown_callback(canvasSelector, nullptr, EM_TRUE, onMouseButton);
    // A button let go outside the canvas is still a release.
    emscripten_set_mouseup_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_TRUE,
                                    onMouseButton);
    emscripten_set_mousemove_callback(canvasSelector, nullptr, EM_TRUE, onMouseMove);
    emscripten_set_wheel_callback(canvasSelector, nullptr, EM_TRUE, onWheel);
    emscripten_set_pointerlockchange_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_TRUE,
                                              onPointerLock);
    emscripten_set_blur_callback(page, nullptr, EM_TRUE, onBlur);
}

void showCanvas(bool shown) {
    EM_ASM({ document.getElementById('canvas').style.display = $0 ? 'block' : 'none'; }, shown);
}

} // namespace

bool addListener(Listener listener) {
    if (state.listenerCount == listenerCapacity)
        return false;
    state.listeners[state.listenerCount++] = listener;
    return true;
}

void removeListener(Listener listener) {
    for (int i = 0; i < state.listenerCount; ++i)
        if (state.listeners[i] == listener) {
            --state.listenerCount;
            memmove(state.listeners + i, state.listeners + i + 1,
                    sizeof(Listener) * (state.listenerCount - i));
            break;
        }
}

bool available() {
    if (state.pageState == 0) {
        state.pageState = pageHasCanvas() ? 1 : -1;
        if (state.pageState == 1)
            listen();
    }
    return state.pageState == 1;
}

NativeWindow createWindow(const char* title, int x, int y, bool placeByDefault, int width,
                          int height) {
    if (!available() || width < 1 || height < 1)
        return 0;
    WebWindow* window = nullptr;
    for (WebWindow& slot : state.windows)
        if (slot.id == 0) {
            window = &slot;
            break;
        }
    if (window == nullptr)
        return 0;
    *window = {state.nextId++, placeByDefault ? 0 : x, placeByDefault ? 0 : y, width, height};
    if (state.canvasOwner == 0) {
        state.canvasOwner = window->id;
        state.active = false;
        emscripten_set_window_title(title);
        // CSS pixels for the layout, device pixels for the drawing.
        const double ratio = emscripten_get_device_pixel_ratio();
        emscripten_set_element_css_size(canvasSelector, width, height);
        emscripten_set_canvas_element_size(canvasSelector, int(std::lround(width * ratio)),
                                           int(std::lround(height * ratio)));
        showCanvas(false);
    }
    return window->id;
}

void destroyWindow(NativeWindow id) {
    WebWindow* window = findWindow(id);
    if (window == nullptr)
        return;
    if (state.canvasOwner == id) {
        showCanvas(false);
        state.canvasOwner = 0;
        state.active = false;
    }
    *window = WebWindow{};
}

void showWindow(NativeWindow window) {
    if (window != 0 && window == state.canvasOwner)
        showCanvas(true);
}

void hideWindow(NativeWindow window) {
    if (window != 0 && window == state.canvasOwner)
        showCanvas(false);
}

void raiseWindow(NativeWindow window) {
    if (window != 0 && window == state.canvasOwner) {
        EM_ASM({ document.getElementById('canvas').focus(); });
        // The window functions activate the window shown whatever the window system does; the
        // page's blur takes that back.
        state.active = true;
    }
}

void clientSize(NativeWindow id, int& width, int& height) {
    width = height = 0;
    if (const WebWindow* window = findWindow(id)) {
        width = window->width;
        height = window->height;
    }
}

void clientPosition(NativeWindow id, int& x, int& y) {
    x = y = 0;
    if (const WebWindow* window = findWindow(id)) {
        x = window->x;
        y = window->y;
    }
}

void pumpEvents() {
    // The events after an activation wait for the next pump: the window functions send
    // WM_ACTIVATE, where the program acquires its devices, once this pump returns, so the key
    // or click that activated the window then reaches the devices.
    Event event;
    while (state.input.pop(event)) {
        deliver(event);
        if (event.kind == EventKind::focusGained)
            break;
    }
}

bool setRelativeMouse(bool on) {
    if (state.pageState != 1)
        return false;
    state.relativeWanted = on;
    // Locking waits for the next click on the canvas; giving the lock up is at once.
    if (!on && state.locked) {
        state.unlocking = true;
        emscripten_exit_pointerlock();
    }
    return true;
}

void heldKeys(bool held[256]) {
    memcpy(held, state.input.heldTaken, 256 * sizeof(bool));
}

unsigned heldButtons() {
    return state.input.buttonsTaken;
}

uint64_t milliseconds() {
    // The page's clock is monotonic, in fractions of a millisecond.
    return uint64_t(emscripten_get_now());
}

} // namespace windowsystem

windowsystem::NativeWindow canvasWindow() {
    return windowsystem::state.canvasOwner;
}
