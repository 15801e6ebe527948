// scripted_window_system.cpp: the in-memory window system of scripted_window_system.h.
#include "support/scripted_window_system.h"

#include <vector>

namespace scripted {
namespace {

struct NativeRecord {
    windowsystem::NativeWindow id;
    int width;
    int height;
    int x;
    int y;
    bool visible;
};

struct Display {
    WindowSystemState state;
    std::vector<windowsystem::Listener> listeners;
    std::vector<NativeRecord> windows;
    std::vector<windowsystem::Event> requests;
    windowsystem::NativeWindow nextId = 1;
};

Display display;

NativeRecord* find(windowsystem::NativeWindow window) {
    for (NativeRecord& record : display.windows)
        if (record.id == window)
            return &record;
    return nullptr;
}

void deliver(const windowsystem::Event& event) {
    std::vector<windowsystem::Listener> current = display.listeners;
    for (windowsystem::Listener listener : current)
        listener(event);
}

} // namespace

WindowSystemState& state() {
    return display.state;
}

void reset() {
    display.state = WindowSystemState{};
    display.windows.clear();
    display.requests.clear();
}

void send(const windowsystem::Event& event) {
    if (event.kind == windowsystem::EventKind::closeRequested ||
        event.kind == windowsystem::EventKind::quitRequested)
        display.requests.push_back(event);
    else
        deliver(event);
}

} // namespace scripted

namespace windowsystem {

using scripted::display;

bool addListener(Listener listener) {
    if (display.listeners.size() == 4)
        return false;
    display.listeners.push_back(listener);
    return true;
}

void removeListener(Listener listener) {
    for (size_t i = 0; i < display.listeners.size(); ++i)
        if (display.listeners[i] == listener) {
            display.listeners.erase(display.listeners.begin() + long(i));
            return;
        }
}

bool available() {
    return display.state.displayPresent;
}

NativeWindow createWindow(const char*, int x, int y, bool placeByDefault, int width, int height) {
    if (!display.state.displayPresent)
        return 0;
    NativeWindow id = display.nextId++;
    display.windows.push_back(
        {id, width, height, placeByDefault ? 0 : x, placeByDefault ? 0 : y, false});
    ++display.state.windowsCreated;
    ++display.state.windowsLive;
    return id;
}

void destroyWindow(NativeWindow window) {
    for (size_t i = 0; i < display.windows.size(); ++i)
        if (display.windows[i].id == window) {
            display.windows.erase(display.windows.begin() + long(i));
            --display.state.windowsLive;
            return;
        }
}

void showWindow(NativeWindow window) {
    if (scripted::NativeRecord* record = scripted::find(window))
        record->visible = true;
}

void hideWindow(NativeWindow window) {
    if (scripted::NativeRecord* record = scripted::find(window))
        record->visible = false;
}

void raiseWindow(NativeWindow window) {
    display.state.lastRaised = window;
}

void clientSize(NativeWindow window, int& width, int& height) {
    scripted::NativeRecord* record = scripted::find(window);
    width = record ? record->width : 0;
    height = record ? record->height : 0;
}

void clientPosition(NativeWindow window, int& x, int& y) {
    scripted::NativeRecord* record = scripted::find(window);
    x = record ? record->x : 0;
    y = record ? record->y : 0;
}

void pumpEvents() {
    std::vector<Event> requests;
    requests.swap(display.requests);
    for (const Event& event : requests)
        scripted::deliver(event);
}

bool setRelativeMouse(bool on) {
    if (display.state.refuseRelativeMouse)
        return false;
    display.state.relativeMouse = on;
    return true;
}

void heldKeys(bool held[256]) {
    for (int key = 0; key < 256; ++key)
        held[key] = display.state.heldKeys[key];
}

unsigned heldButtons() {
    return display.state.heldButtons;
}

bool showMessageBox(NativeWindow owner, const char* title, const char* text, MessageIcon icon) {
    scripted::WindowSystemState& state = display.state;
    if (state.refuseMessageBox)
        return false;
    ++state.messageBoxes;
    state.messageBoxOwner = owner;
    state.messageBoxTitle = title;
    state.messageBoxText = text;
    state.messageBoxIcon = icon;
    return true;
}

uint64_t milliseconds() {
    return display.state.clock;
}

} // namespace windowsystem
