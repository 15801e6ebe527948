// web_input.h: the web window system's input between the page's events and the listeners
// (window_system.h): a fixed queue of translated events, drained by pumpEvents(), what is held
// down as the page last reported it, and what is held down as the events taken from the queue
// tell. The page's events arrive while the program waits for the browser
// (web_window_system.cpp registers them), so they are queued and delivered at the program's
// next pump, in the order they came; the program is told what is held as of the events it has
// been given, so that a press still queued is neither seen early nor taken for a repeat.
#pragma once

#include "window_system.h"

namespace windowsystem {

// The wheel's units as the browser reports them (WheelEvent.deltaMode).
enum class WheelUnit { pixel, line, page };

struct InputQueue {
    static constexpr int capacity = 256;

    Event events[capacity];
    int start = 0;
    int count = 0;
    int dropped = 0;     // events lost to a full queue (what is held stays right)
    bool held[256] = {}; // as the page reported: which releases are events
    unsigned buttons = 0;
    bool heldTaken[256] = {}; // as the events taken from the queue tell
    unsigned buttonsTaken = 0;
    double wheelRest = 0.0; // moved but not yet reported (negative: reported ahead), in notches
    int wheelDirection = 0; // of the last wheel movement: 1 away from the user, -1 towards

    // Adds an event; false when the queue is full. Consecutive motions of one window merge.
    bool push(const Event& event);
    // Takes the oldest event, noting what it presses or releases; false when there is none.
    bool pop(Event& event);

    void keyDown(NativeWindow window, int key, bool repeat);
    void keyUp(NativeWindow window, int key);
    void buttonDown(NativeWindow window, int button);
    void buttonUp(NativeWindow window, int button);
    void motion(NativeWindow window, int dx, int dy);
    // A wheel movement, positive towards the user as the browser reports it; queues whole
    // notches (positive away from the user) and keeps the rest for the next movement.
    void wheel(NativeWindow window, double delta, WheelUnit unit);
    // The window lost the page's attention: every held key and button is released (their up
    // events queued), then the focus loss.
    void deactivate(NativeWindow window);
    void activate(NativeWindow window);
};

} // namespace windowsystem
