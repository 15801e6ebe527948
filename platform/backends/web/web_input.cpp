// web_input.cpp: the web window system's input queue (web_input.h): queuing with merged
// motion, the keys and buttons held, the wheel's notches, and the releases on deactivation.
#include "web_input.h"

#include <algorithm>
#include <cmath>

namespace windowsystem {
namespace {

// How far the browser moves for one notch of a wheel, in its units: 100 pixels (a wheel step
// in Chromium on Windows), 3 lines (the common line step), one page.
double notchesOf(double delta, WheelUnit unit) {
    switch (unit) {
    case WheelUnit::pixel:
        return delta / 100.0;
    case WheelUnit::line:
        return delta / 3.0;
    default:
        return delta;
    }
}

} // namespace

bool InputQueue::push(const Event& event) {
    if (event.kind == EventKind::mouseMotion && count > 0) {
        Event& last = events[(start + count - 1) % capacity];
        if (last.kind == EventKind::mouseMotion && last.window == event.window) {
            last.dx += event.dx;
            last.dy += event.dy;
            return true;
        }
    }
    if (count == capacity) {
        ++dropped;
        return false;
    }
    events[(start + count) % capacity] = event;
    ++count;
    return true;
}

bool InputQueue::pop(Event& event) {
    if (count == 0)
        return false;
    event = events[start];
    start = (start + 1) % capacity;
    --count;
    switch (event.kind) {
    case EventKind::keyDown:
    case EventKind::keyUp:
        heldTaken[event.key] = event.kind == EventKind::keyDown;
        break;
    case EventKind::mouseButtonDown:
        buttonsTaken |= 1u << event.button;
        break;
    case EventKind::mouseButtonUp:
        buttonsTaken &= ~(1u << event.button);
        break;
    default:
        break;
    }
    return true;
}

void InputQueue::keyDown(NativeWindow window, int key, bool repeat) {
    if (key <= 0 || key > 255)
        return;
    held[key] = true;
    Event event;
    event.kind = EventKind::keyDown;
    event.window = window;
    event.key = key;
    event.repeat = repeat;
    push(event);
}

void InputQueue::keyUp(NativeWindow window, int key) {
    // A release of a key pressed before the page had the keyboard is no event of ours.
    if (key <= 0 || key > 255 || !held[key])
        return;
    held[key] = false;
    Event event;
    event.kind = EventKind::keyUp;
    event.window = window;
    event.key = key;
    push(event);
}

void InputQueue::buttonDown(NativeWindow window, int button) {
    if (button < 0 || button > 7)
        return;
    buttons |= 1u << button;
    Event event;
    event.kind = EventKind::mouseButtonDown;
    event.window = window;
    event.button = button;
    push(event);
}

void InputQueue::buttonUp(NativeWindow window, int button) {
    if (button < 0 || button > 7 || (buttons & (1u << button)) == 0)
        return;
    buttons &= ~(1u << button);
    Event event;
    event.kind = EventKind::mouseButtonUp;
    event.window = window;
    event.button = button;
    push(event);
}

void InputQueue::motion(NativeWindow window, int dx, int dy) {
    if (dx == 0 && dy == 0)
        return;
    Event event;
    event.kind = EventKind::mouseMotion;
    event.window = window;
    event.dx = dx;
    event.dy = dy;
    push(event);
}

void InputQueue::wheel(NativeWindow window, double delta, WheelUnit unit) {
    const double moved = -notchesOf(delta, unit);
    if (!std::isfinite(moved) || moved == 0.0)
        return;
    // A turn the other way starts afresh.
    const int direction = moved > 0.0 ? 1 : -1;
    if (direction != wheelDirection)
        wheelRest = 0.0;
    wheelDirection = direction;
    wheelRest += moved;
    const double whole = std::round(wheelRest);
    if (whole == 0.0)
        return;
    wheelRest -= whole;
    Event event;
    event.kind = EventKind::mouseWheel;
    event.window = window;
    event.notches = int(std::clamp(whole, -1000.0, 1000.0));
    push(event);
}

void InputQueue::deactivate(NativeWindow window) {
    for (int key = 1; key < 256; ++key)
        keyUp(window, key);
    for (int button = 0; button < 8; ++button)
        buttonUp(window, button);
    wheelRest = 0.0;
    wheelDirection = 0;
    Event event;
    event.kind = EventKind::focusLost;
    event.window = window;
    push(event);
}

void InputQueue::activate(NativeWindow window) {
    Event event;
    event.kind = EventKind::focusGained;
    event.window = window;
    push(event);
}

} // namespace windowsystem
