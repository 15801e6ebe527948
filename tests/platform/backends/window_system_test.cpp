// window_system_test.cpp: the window system contract as the SDL backend carries it out: SDL's
// events translated for the listeners (scan codes, DirectInput's button order, the wheel's
// direction), when each kind arrives, native windows, the key map and the clock. Needs a
// display (tools/with-display.sh provides one).
#include "platform/backends/sdl/sdl_keymap.h"
#include "platform/backends/sdl/sdl_window.h"
#include "platform/backends/window_system.h"

#include <dinput.h>
#include <mmsystem.h>

#include <gtest/gtest.h>
#include "support/display_rule.h"
#include "support/hidden_window.h"

#include <optional>
#include <thread>
#include <vector>

namespace {

using windowsystem::Event;
using windowsystem::EventKind;

std::vector<Event> received;
std::vector<int> listenerOrder;

void recordingListener(const Event& event) {
    received.push_back(event);
    listenerOrder.push_back(1);
}

void secondListener(const Event&) {
    listenerOrder.push_back(2);
}

// A native window of its own, not one of the window functions', and a listener that records.
class WindowSystemTest : public testing::Test {
protected:
    windowsystem::NativeWindow window = 0;

    void SetUp() override {
        if (!windowsystem::available())
            SKIP_OR_FAIL_WITHOUT_DISPLAY("no display");
        window = windowsystem::createWindow("contract", 40, 30, false, 200, 150);
        ASSERT_NE(window, 0u);
        windowsystem::pumpEvents();
        ASSERT_TRUE(windowsystem::addListener(recordingListener));
        received.clear();
        listenerOrder.clear();
    }

    void TearDown() override {
        windowsystem::removeListener(recordingListener);
        windowsystem::removeListener(secondListener);
        windowsystem::destroyWindow(window);
        windowsystem::pumpEvents();
    }

    void key(SDL_Scancode code, bool down, bool repeat = false) const {
        SDL_Event event = {};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.windowID = window;
        event.key.repeat = repeat ? 1 : 0;
        event.key.keysym.scancode = code;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }

    void button(Uint8 sdlButton, bool down) const {
        SDL_Event event = {};
        event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        event.button.windowID = window;
        event.button.button = sdlButton;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }

    void windowEvent(Uint8 what) const {
        SDL_Event event = {};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = window;
        event.window.event = what;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }
};

TEST_F(WindowSystemTest, KeysArriveAtOnceAsScanCodesWithTheirRepeats) {
    key(SDL_SCANCODE_PAGEUP, true);
    key(SDL_SCANCODE_PAGEUP, true, true);
    key(SDL_SCANCODE_PAGEUP, false);
    key(SDL_SCANCODE_KP_9, true);
    key(SDL_SCANCODE_F13, true); // no scan code of the PC keyboard: not delivered
    // Delivered as they were queued, before any pump.
    ASSERT_EQ(received.size(), 4u);
    EXPECT_EQ(received[0].kind, EventKind::keyDown);
    EXPECT_EQ(received[0].key, DIK_PRIOR);
    EXPECT_FALSE(received[0].repeat);
    EXPECT_EQ(received[0].window, window);
    EXPECT_EQ(received[1].kind, EventKind::keyDown);
    EXPECT_TRUE(received[1].repeat);
    EXPECT_EQ(received[2].kind, EventKind::keyUp);
    EXPECT_EQ(received[2].key, DIK_PRIOR);
    EXPECT_EQ(received[3].key, DIK_NUMPAD9);
    windowsystem::pumpEvents();
    EXPECT_EQ(received.size(), 4u); // and not a second time from the pump
}

TEST_F(WindowSystemTest, MouseEventsInDirectInputsButtonOrder) {
    button(SDL_BUTTON_LEFT, true);
    button(SDL_BUTTON_RIGHT, true);
    button(SDL_BUTTON_MIDDLE, false);
    button(SDL_BUTTON_X1, true);
    button(SDL_BUTTON_X2, false);
    button(9, true); // beyond the eight buttons: not delivered
    SDL_Event motion = {};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.windowID = window;
    motion.motion.xrel = -3;
    motion.motion.yrel = 5;
    SDL_PushEvent(&motion);
    SDL_Event wheel = {};
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.windowID = window;
    wheel.wheel.y = 2;
    wheel.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    SDL_PushEvent(&wheel);
    wheel.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
    SDL_PushEvent(&wheel);

    ASSERT_EQ(received.size(), 8u);
    const int buttons[] = {0, 1, 2, 3, 4};
    const EventKind kinds[] = {EventKind::mouseButtonDown, EventKind::mouseButtonDown,
                               EventKind::mouseButtonUp, EventKind::mouseButtonDown,
                               EventKind::mouseButtonUp};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(received[i].kind, kinds[i]) << i;
        EXPECT_EQ(received[i].button, buttons[i]) << i;
    }
    EXPECT_EQ(received[5].kind, EventKind::mouseMotion);
    EXPECT_EQ(received[5].dx, -3);
    EXPECT_EQ(received[5].dy, 5);
    EXPECT_EQ(received[6].kind, EventKind::mouseWheel);
    EXPECT_EQ(received[6].notches, 2);
    // A wheel whose driver reports the other way round turns back.
    EXPECT_EQ(received[7].notches, -2);
}

TEST_F(WindowSystemTest, FocusArrivesAtOnceAndCloseRequestsFromThePump) {
    windowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    windowEvent(SDL_WINDOWEVENT_CLOSE);
    windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    windowEvent(SDL_WINDOWEVENT_MOVED); // not an event of the contract
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].kind, EventKind::focusLost);
    EXPECT_EQ(received[0].window, window);
    EXPECT_EQ(received[1].kind, EventKind::focusGained);
    windowsystem::pumpEvents();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[2].kind, EventKind::closeRequested);
    EXPECT_EQ(received[2].window, window);
}

TEST_F(WindowSystemTest, ListenersHearInTheOrderAddedUntilRemoved) {
    ASSERT_TRUE(windowsystem::addListener(secondListener));
    key(SDL_SCANCODE_ESCAPE, true);
    EXPECT_EQ(listenerOrder, (std::vector<int>{1, 2}));
    windowsystem::removeListener(recordingListener);
    key(SDL_SCANCODE_ESCAPE, false);
    EXPECT_EQ(listenerOrder, (std::vector<int>{1, 2, 2}));
    EXPECT_EQ(received.size(), 1u);
}

TEST_F(WindowSystemTest, NativeWindowsHaveTheirClientSizeUntilDestroyed) {
    int width = 0;
    int height = 0;
    windowsystem::clientSize(window, width, height);
    EXPECT_EQ(width, 200);
    EXPECT_EQ(height, 150);
    windowsystem::NativeWindow other = windowsystem::createWindow("other", 0, 0, true, 64, 32);
    ASSERT_NE(other, 0u);
    EXPECT_NE(other, window);
    windowsystem::destroyWindow(other);
    windowsystem::clientSize(other, width, height);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
}

TEST(WindowSystemWindows, TheWindowFunctionsNameTheirNativeWindows) {
    auto hidden = std::make_optional<HiddenWindow>(100, 100);
    HWND window = hidden->handle;
    if (!window)
        SKIP_OR_FAIL_WITHOUT_DISPLAY("no display");
    windowsystem::NativeWindow native = windowsystem::nativeWindowOf(window);
    ASSERT_NE(native, 0u);
    EXPECT_EQ(SDL_GetWindowID(sdlWindowOf(window)), native);
    hidden.reset();
    EXPECT_EQ(windowsystem::nativeWindowOf(window), 0u);
    EXPECT_EQ(sdlWindowOf(window), nullptr);
    EXPECT_EQ(windowsystem::nativeWindowOf(nullptr), 0u);
}

TEST(SdlKeyMap, EachScanCodeComesFromOneKey) {
    // The ISO key beside Enter is the one documented exception: it is the backslash key.
    std::vector<int> sources(256, 0);
    for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode)
        ++sources[dikOfScancode(SDL_Scancode(scancode))];
    for (int key = 1; key < 256; ++key)
        EXPECT_LE(sources[key], key == DIK_BACKSLASH ? 2 : 1) << "key " << key;
    EXPECT_EQ(sources[DIK_BACKSLASH], 2);
}

TEST(SdlKeyMap, TheProgramsKeysAreTheMainBlocksNotTheKeypads) {
    const struct {
        SDL_Scancode scancode;
        int dik;
    } keys[] = {
        {SDL_SCANCODE_ESCAPE, 0x01},   {SDL_SCANCODE_RETURN, 0x1C}, {SDL_SCANCODE_KP_ENTER, 0x9C},
        {SDL_SCANCODE_RIGHT, 0xCD},    {SDL_SCANCODE_KP_6, 0x4D},   {SDL_SCANCODE_LEFT, 0xCB},
        {SDL_SCANCODE_KP_4, 0x4B},     {SDL_SCANCODE_PAGEUP, 0xC9}, {SDL_SCANCODE_KP_9, 0x49},
        {SDL_SCANCODE_PAGEDOWN, 0xD1}, {SDL_SCANCODE_KP_3, 0x51},   {SDL_SCANCODE_UNKNOWN, 0}};
    for (const auto& key : keys)
        EXPECT_EQ(dikOfScancode(key.scancode), key.dik) << SDL_GetScancodeName(key.scancode);
}

TEST(WindowSystemClock, TimerCountsTheClocksMilliseconds) {
    uint64_t before = windowsystem::milliseconds();
    DWORD timer = timeGetTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    uint64_t after = windowsystem::milliseconds();
    EXPECT_GE(after - before, 20u);
    // The timer is the clock's count cut to 32 bits.
    EXPECT_LE(DWORD(timer - DWORD(before)), DWORD(after - before));
}

} // namespace
