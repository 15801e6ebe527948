// scripted_window_system.h: a window system without a display for the tests of the window,
// message, timer and input functions: it carries out the contract of
// platform/backends/window_system.h in memory, and the test plays the user and the display.
#pragma once

#include "platform/backends/window_system.h"

#include <string>

namespace scripted {

// What the window functions asked of the window system, and what the test says is so.
struct WindowSystemState {
    bool displayPresent = true;
    bool relativeMouse = false;
    bool refuseRelativeMouse = false;
    bool heldKeys[256] = {};
    unsigned heldButtons = 0;
    uint64_t clock = 0;
    int windowsCreated = 0;
    int windowsLive = 0;
    windowsystem::NativeWindow lastRaised = 0;
    // The last message box shown; a box fails to show with refuseMessageBox.
    bool refuseMessageBox = false;
    int messageBoxes = 0;
    windowsystem::NativeWindow messageBoxOwner = 0;
    std::string messageBoxTitle;
    std::string messageBoxText;
    windowsystem::MessageIcon messageBoxIcon = windowsystem::MessageIcon::information;
};

WindowSystemState& state();

// Forgets every window and request and sets the state back to its start.
void reset();

// An event as the display has it: focus and input reach the listeners now, requests (close,
// quit) wait for the next pumpEvents().
void send(const windowsystem::Event& event);

} // namespace scripted
