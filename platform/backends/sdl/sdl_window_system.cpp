// sdl_window_system.cpp: the window system contract (window_system.h) on SDL2: starting the
// video subsystem, OpenGL-capable windows, the translation of SDL's events for the listeners,
// the relative mouse mode, what is held down, and the monotonic clock. Also the window
// helpers of sdl_window.h.
// Focus and input events reach the listeners through an SDL event watcher, which SDL calls as
// each event is queued, so that they are seen whoever drains SDL's queue.
#include "sdl_keymap.h"
#include "sdl_window.h"
#include "window_system.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace windowsystem {
namespace {

constexpr int listenerCapacity = 4;

struct SdlState {
    Listener listeners[listenerCapacity] = {};
    int listenerCount = 0;
    bool watching = false;
    int videoState = 0; // 0: not tried, 1: started, -1: unavailable
};

SdlState state;

void deliver(const Event& event) {
    // A listener may remove itself (its last device released) while the others run.
    Listener current[listenerCapacity];
    int count = state.listenerCount;
    memcpy(current, state.listeners, sizeof(Listener) * count);
    for (int i = 0; i < count; ++i)
        current[i](event);
}

// DirectInput's button order: left, right, middle, then the extra buttons; -1 beyond 8.
int buttonOf(int sdlButton) {
    switch (sdlButton) {
    case SDL_BUTTON_LEFT:
        return 0;
    case SDL_BUTTON_RIGHT:
        return 1;
    case SDL_BUTTON_MIDDLE:
        return 2;
    default:
        return sdlButton >= 1 && sdlButton - 1 < 8 ? sdlButton - 1 : -1;
    }
}

// The focus and input events of SDL, translated; false for every other event.
bool translate(const SDL_Event& sdlEvent, Event& event) {
    switch (sdlEvent.type) {
    case SDL_WINDOWEVENT:
        if (sdlEvent.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
            event.kind = EventKind::focusGained;
        else if (sdlEvent.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
            event.kind = EventKind::focusLost;
        else
            return false;
        event.window = sdlEvent.window.windowID;
        return true;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        event.kind = sdlEvent.type == SDL_KEYDOWN ? EventKind::keyDown : EventKind::keyUp;
        event.window = sdlEvent.key.windowID;
        event.key = dikOfScancode(sdlEvent.key.keysym.scancode);
        event.repeat = sdlEvent.key.repeat != 0;
        return event.key != 0;
    case SDL_MOUSEMOTION:
        event.kind = EventKind::mouseMotion;
        event.window = sdlEvent.motion.windowID;
        event.dx = sdlEvent.motion.xrel;
        event.dy = sdlEvent.motion.yrel;
        return true;
    case SDL_MOUSEWHEEL:
        event.kind = EventKind::mouseWheel;
        event.window = sdlEvent.wheel.windowID;
        event.notches = sdlEvent.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -sdlEvent.wheel.y
                                                                           : sdlEvent.wheel.y;
        return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        event.kind = sdlEvent.type == SDL_MOUSEBUTTONDOWN ? EventKind::mouseButtonDown
                                                          : EventKind::mouseButtonUp;
        event.window = sdlEvent.button.windowID;
        event.button = buttonOf(sdlEvent.button.button);
        return event.button >= 0;
    default:
        return false;
    }
}

int watchEvents(void*, SDL_Event* sdlEvent) {
    Event event;
    if (translate(*sdlEvent, event))
        deliver(event);
    return 0;
}

// SDL falls back to drivers that show nothing when there is no display; unless asked for by
// name (SDL_VIDEODRIVER), they count as no display.
bool showsNothing(const char* driver) {
    const char* requested = getenv("SDL_VIDEODRIVER");
    if (requested && requested[0] != '\0')
        return false;
    return driver && (strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0);
}

SDL_Window* sdlWindow(NativeWindow window) {
    return window ? SDL_GetWindowFromID(window) : nullptr;
}

} // namespace

bool addListener(Listener listener) {
    if (state.listenerCount == listenerCapacity)
        return false;
    state.listeners[state.listenerCount++] = listener;
    if (!state.watching) {
        SDL_AddEventWatch(watchEvents, nullptr);
        state.watching = true;
    }
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
    if (state.listenerCount == 0 && state.watching) {
        SDL_DelEventWatch(watchEvents, nullptr);
        state.watching = false;
    }
}

bool available() {
    if (state.videoState == 0) {
        state.videoState = -1;
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            if (showsNothing(SDL_GetCurrentVideoDriver()))
                SDL_QuitSubSystem(SDL_INIT_VIDEO);
            else
                state.videoState = 1;
        }
    }
    return state.videoState == 1;
}

NativeWindow createWindow(const char* title, int x, int y, bool placeByDefault, int width,
                          int height) {
    if (!available())
        return 0;
    setOpenGlAttributes();
    SDL_Window* window = SDL_CreateWindow(title, placeByDefault ? SDL_WINDOWPOS_UNDEFINED : x,
                                          placeByDefault ? SDL_WINDOWPOS_UNDEFINED : y, width,
                                          height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    return window ? SDL_GetWindowID(window) : 0;
}

void destroyWindow(NativeWindow window) {
    if (SDL_Window* found = sdlWindow(window))
        SDL_DestroyWindow(found);
}

void showWindow(NativeWindow window) {
    if (SDL_Window* found = sdlWindow(window))
        SDL_ShowWindow(found);
}

void hideWindow(NativeWindow window) {
    if (SDL_Window* found = sdlWindow(window))
        SDL_HideWindow(found);
}

void raiseWindow(NativeWindow window) {
    if (SDL_Window* found = sdlWindow(window)) {
        SDL_RaiseWindow(found);
        SDL_SetWindowInputFocus(found);
    }
}

void clientSize(NativeWindow window, int& width, int& height) {
    width = height = 0;
    if (SDL_Window* found = sdlWindow(window))
        SDL_GetWindowSize(found, &width, &height);
}

void clientPosition(NativeWindow window, int& x, int& y) {
    x = y = 0;
    if (SDL_Window* found = sdlWindow(window))
        SDL_GetWindowPosition(found, &x, &y);
}

void pumpEvents() {
    if (state.videoState != 1)
        return;
    SDL_Event sdlEvent;
    while (SDL_PollEvent(&sdlEvent)) {
        Event event;
        if (sdlEvent.type == SDL_WINDOWEVENT && sdlEvent.window.event == SDL_WINDOWEVENT_CLOSE) {
            event.kind = EventKind::closeRequested;
            event.window = sdlEvent.window.windowID;
        } else if (sdlEvent.type == SDL_QUIT) {
            event.kind = EventKind::quitRequested;
        } else {
            continue; // the rest went to the listeners when it was queued
        }
        deliver(event);
    }
}

bool setRelativeMouse(bool on) {
    return SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE) == 0;
}

void heldKeys(bool held[256]) {
    memset(held, 0, 256 * sizeof(bool));
    if (!available())
        return;
    int count = 0;
    const Uint8* keyboard = SDL_GetKeyboardState(&count);
    for (int scancode = 0; scancode < count; ++scancode)
        if (keyboard[scancode])
            if (unsigned char key = dikOfScancode(SDL_Scancode(scancode)))
                held[key] = true;
}

unsigned heldButtons() {
    if (!available())
        return 0;
    Uint32 mask = SDL_GetMouseState(nullptr, nullptr);
    unsigned buttons = 0;
    for (int sdlButton = 1; sdlButton <= 5; ++sdlButton)
        if (mask & SDL_BUTTON(sdlButton))
            buttons |= 1u << buttonOf(sdlButton);
    return buttons;
}

uint64_t milliseconds() {
    // The steady clock is the system's monotonic clock.
    auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count());
}

} // namespace windowsystem

SDL_Window* sdlWindowOf(HWND window) {
    return windowsystem::sdlWindow(windowsystem::nativeWindowOf(window));
}

bool videoAvailable() {
    return windowsystem::available();
}
